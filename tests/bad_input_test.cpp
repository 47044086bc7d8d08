// SPDX-License-Identifier: BSD-2-Clause
// Files people point the program at by mistake or in malice: each is either drawn or
// refused as unreadable, never a crash, a hang, a flood of memory or a false success.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "magick.h"
#include "support.h"

namespace {

const std::string png_signature = "\x89PNG\r\n\x1a\n";

std::string png_header(std::uint32_t width, std::uint32_t height)
{
    // 8-bit grey, no interlace
    return png_signature +
           png_chunk("IHDR", be32(width) + be32(height) + std::string("\x08\0\0\0\0", 5));
}

// A one-colour grey PNG whose rows are compressed as they are made: a few hundred
// kB on disk, 400 million pixels once decoded.
std::string png_bomb(std::uint32_t side)
{
    z_stream z{};
    deflateInit(&z, 9);
    std::string row(side + 1, '\0'), idat;
    std::vector<unsigned char> out(1 << 16);
    for (std::uint32_t y = 0; y <= side; ++y) {
        bool last = y == side;
        z.next_in = reinterpret_cast<Bytef *>(row.data());
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.append(reinterpret_cast<char *>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return png_header(side, side) + png_chunk("IDAT", idat) + png_chunk("IEND", "");
}

// A valid 3 x 3 grey image, then a text chunk that claims 1.9 GB and holds a few bytes.
std::string png_with_huge_text_chunk()
{
    std::string rows(12, '\0');  // three rows of a filter byte and three pixels
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::string data(size, '\0');
    compress(reinterpret_cast<Bytef *>(data.data()), &size,
             reinterpret_cast<const Bytef *>(rows.data()), static_cast<uLong>(rows.size()));
    data.resize(size);
    return png_header(3, 3) + png_chunk("IDAT", data) + be32(1946157093) + "tEXtComment";
}

std::string le_float(float f)
{
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &f, 4);
    return bytes;
}

// 2 x 2 RGB floats, little-endian: NaN, infinities, out-of-range values and a good pixel.
std::string pfm_with_nan_and_infinity()
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    std::string pixels;
    for (float v : {nan, 0.5f, 0.2f, inf, -inf, 0.7f, 2.5f, -1.0f, 0.3f, 0.1f, 0.9f, 0.4f})
        pixels += le_float(v);
    return "PF\n2 2\n-1.0\n" + pixels;
}

std::string random_bytes(std::size_t count)
{
    std::mt19937 random(12345);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

enum outcome { drawn, refused, either };

struct bad_input {
    const char *why;
    std::string name;  // as given on the command line
    outcome expected;
};

void expect_sound(const bad_input &c)
{
    std::string out = scratch_dir() + "/out.txt";
    program_result result = run_on_pty({c.name, out}, {80, 24});
    EXPECT_LT(result.status, 128) << c.why << ": killed by a signal";
    EXPECT_LT(result.max_rss_kib, 1L << 20) << c.why;
    EXPECT_LT(result.cpu_seconds, 10.0) << c.why;
    EXPECT_EQ(result.out, "") << c.why;
    struct stat info {};
    bool created = stat(out.c_str(), &info) == 0;
    if (result.status == 0) {
        EXPECT_NE(c.expected, refused) << c.why << ": drawn";
        EXPECT_EQ(result.err, "") << c.why;
        parsed_output cells = parse_cells(read_file(out));
        EXPECT_TRUE(cells.well_formed) << c.why << ": " << cells.problem;
        EXPECT_FALSE(cells.lines.empty()) << c.why;
    } else {
        EXPECT_EQ(result.status, 3) << c.why << ": " << result.err;
        EXPECT_NE(c.expected, drawn) << c.why << ": " << result.err;
        EXPECT_EQ(result.err,
                  std::string(CELLPAINT_BINARY) + ": couldn't open input file " + c.name + "\n")
            << c.why;
        EXPECT_FALSE(created) << c.why << ": output created over a failed input";
    }
}

}  // namespace

TEST(bad_input, broken_files_are_drawn_or_refused)
{
    std::string dir = scratch_dir();
    auto file = [&](const std::string &name, const std::string &bytes) {
        write_file(dir + "/" + name, bytes);
        return dir + "/" + name;
    };
    std::string png =
        read_file(made_by_convert_in(dir, "whole.png", "-seed 2 -size 200x150 plasma:fractal"));
    std::string jpeg =
        read_file(made_by_convert_in(dir, "whole.jpg", "-seed 2 -size 200x150 plasma:fractal"));
    bad_input cases[] = {
        {"an empty file", file("empty.png", ""), refused},
        {"random bytes", file("random.png", random_bytes(10000)), refused},
        {"a PNG signature alone", file("signature.png", png_signature), refused},
        {"a truncated PNG", file("truncated.png", png.substr(0, png.size() / 2)), either},
        {"a truncated JPEG", file("truncated.jpg", jpeg.substr(0, jpeg.size() / 2)), either},
        {"a JPEG cut after its header", file("header.jpg", jpeg.substr(0, 200)), refused},
        {"a 0 x 0 PNG", file("zero.png", png_header(0, 0) + png_chunk("IEND", "")), refused},
        {"a decompression bomb", file("bomb.png", png_bomb(20000)), either},
        // The largest the PNG decoder of our own takes on: seconds, in little memory.
        {"a decompression bomb our decoder reads", file("bomb16384.png", png_bomb(16384)), drawn},
        // After the image data the decoder zeroes a buffer of the length a text chunk
        // claims before it reads the chunk.
        {"a text chunk claiming 1.9 GB", file("text-chunk.png", png_with_huge_text_chunk()),
         refused},
        {"a PPM claiming 10^6 x 10^6", file("huge.ppm", "P6\n1000000 1000000\n255\nabcdef"),
         refused},
        {"a directory", dir, refused},
        {"/dev/null", "/dev/null", refused},
        {"a name that is not UTF-8", file("\xff\xfe-bytes.png", png), drawn},
        {"a JPEG named .gif", file("photo.gif", jpeg), drawn},
        {"floats with NaN and infinities", file("nan.pfm", pfm_with_nan_and_infinity()), drawn},
    };
    for (const auto &c : cases)
        expect_sound(c);
}

TEST(bad_input, readers_that_are_not_bitmaps_are_refused)
{
    std::string dir = scratch_dir();
    std::string written = dir + "/written.png";
    std::string msl = dir + "/script.msl";
    write_file(msl, "<?xml version=\"1.0\"?><image><read filename=\"xc:red\" size=\"4x4\"/>"
                    "<write filename=\"" +
                        written + "\"/></image>");
    std::string mvg = dir + "/drawing.mvg";
    write_file(mvg, "viewbox 0 0 10 10\nfill red rectangle 0,0 10,10\n");
    std::string list = dir + "/list.txt";
    write_file(list, made_by_convert_in(dir, "listed.png", "-size 4x4 xc:red") + "\n");
    std::string notes = dir + "/notes";
    write_file(notes, "plain text, no picture\n");
    bad_input cases[] = {
        {"a script", msl, refused},
        {"a script by prefix", "msl:" + msl, refused},
        {"vector drawing commands", mvg, refused},
        {"vector drawing by prefix", "mvg:" + mvg, refused},
        {"a text file drawn as an image", "text:" + notes, refused},
        {"a file list", "@" + list, refused},
        {"the network", "http://127.0.0.1:9/x.png", refused},
        {"the network, secured", "https://127.0.0.1:9/x.png", refused},
        {"the network, files", "ftp://127.0.0.1:9/x.png", refused},
        {"a file read then deleted", "ephemeral:" + dir + "/listed.png", refused},
        {"a window", "x:root", refused},
        {"a display", "show:" + dir + "/listed.png", refused},
        {"a Windows screen", "win:", refused},
    };
    for (const auto &c : cases)
        expect_sound(c);
    struct stat info {};
    EXPECT_NE(stat(written.c_str(), &info), 0) << "the script ran";
}

TEST(bad_input, bitmap_and_vector_formats_still_work)
{
    std::string dir = scratch_dir();
    std::vector<bad_input> cases;
    std::string svg = dir + "/drawing.svg";
    write_file(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\">"
                    "<rect width=\"40\" height=\"20\" fill=\"red\"/></svg>");
    // Where the library refuses the reader policy, SVG is refused as well.
    start_image_library();
    cases.push_back({"svg", svg, reader_policy_in_force ? drawn : refused});
    for (const char *format :
         {"png", "jpg", "gif", "webp", "tiff", "bmp", "ppm", "pam", "pfm", "tga", "ico"}) {
        std::string name = std::string("image.") + format;
        cases.push_back(
            {format, made_by_convert_in(dir, name, "-size 32x32 gradient:red-blue"), drawn});
    }
    for (const auto &c : cases)
        expect_sound(c);
}
