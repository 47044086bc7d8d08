// SPDX-License-Identifier: BSD-2-Clause
// Pictures as people have them: photos that say which way is up, TGA files stored from
// the bottom, files without an alpha channel. Each is checked against the same picture
// stored plainly, drawn by the built program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "geometry.h"
#include "input.h"
#include "palette.h"
#include "support.h"

namespace {

// An upright picture of 16-pixel blocks in palette colours, different in every corner,
// so that any turn or mirror shows; blocks stay whole in a JPEG at quality 100.
std::vector<rgba> blocks(unsigned width, unsigned height)
{
    std::vector<rgba> pixels;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            unsigned bx = x / 16, by = y / 16;
            rgb_triple c = palette_rgb(16 + (bx * 7 + by * 13 + bx * by * 5) % 216);
            pixels.push_back(opaque(c.red, c.green, c.blue));
        }
    return pixels;
}

std::string as_jpeg(const std::string &dir, const std::string &name, const std::string &source,
                    const std::string &turn)
{
    return made_by_convert_in(dir, name,
                              "'" + source + "' " + turn + " -quality 100 -sampling-factor 1x1");
}

std::string le16(unsigned v)
{
    return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
}

// EXIF data holding only the orientation tag.
std::string exif_orientation(unsigned orientation)
{
    return std::string("II*\0", 4) + le16(8) + le16(0) +  // header, IFD at 8
           le16(1) +                                      // one entry
           le16(0x0112) + le16(3) + le16(1) + le16(0) +   // Orientation, SHORT, 1
           le16(orientation) + le16(0) +                  // its value
           le16(0) + le16(0);                             // no next IFD
}

// The EXIF block put right after the JPEG's start marker.
std::string with_orientation(const std::string &jpeg, unsigned orientation)
{
    std::string body = std::string("Exif\0\0", 6) + exif_orientation(orientation);
    std::size_t length = body.size() + 2;
    std::string app1 = std::string("\xff\xe1", 2) + static_cast<char>(length >> 8) +
                       static_cast<char>(length & 0xff) + body;
    return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

// What turns an upright picture into the one stored under each EXIF orientation.
const char *const stored_turn[9] = {
    "",             // 0: not used
    "",             // 1: top-left, as it is
    "-flop",        // 2: top-right, mirrored
    "-rotate 180",  // 3: bottom-right
    "-flip",        // 4: bottom-left, upside down
    "-transpose",   // 5: left-top
    "-rotate -90",  // 6: right-top, a phone held upright
    "-transverse",  // 7: right-bottom
    "-rotate 90",   // 8: left-bottom
};

struct oriented_photos {
    std::string upright;
    std::string stored[9];
};

oriented_photos photos(unsigned width, unsigned height)
{
    std::string dir = scratch_dir();
    std::string png = dir + "/upright.png";
    write_image(png, width, height, blocks(width, height));
    oriented_photos p;
    p.upright = as_jpeg(dir, "upright.jpg", png, "");
    for (unsigned o = 1; o <= 8; ++o) {
        std::string plain = as_jpeg(dir, "plain" + std::to_string(o) + ".jpg", png, stored_turn[o]);
        p.stored[o] = dir + "/stored" + std::to_string(o) + ".jpg";
        write_file(p.stored[o], with_orientation(read_file(plain), o));
    }
    return p;
}

std::string shown(const std::vector<std::string> &args, terminal_cells terminal,
                  const std::string &stdin_data = "")
{
    program_result result = run_on_pty(args, terminal, stdin_data);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out;
}

}  // namespace

TEST(jpeg_size_hint, is_reckoned_in_the_upright_frame)
{
    terminal_size terminal{80, 24};  // at least 160 x 96 upright
    struct {
        const char *why;
        std::size_t width, height;
        OrientationType orientation;
        const char *hint;
    } cases[] = {
        {"upright, large enough", 1600, 400, TopLeftOrientation, "160x96"},
        {"no orientation", 160, 96, UndefinedOrientation, "160x96"},
        {"mirrored keeps its sides", 160, 96, TopRightOrientation, "160x96"},
        {"upside down keeps its sides", 160, 96, BottomRightOrientation, "160x96"},
        {"too narrow", 159, 400, TopLeftOrientation, ""},
        {"too low", 1600, 95, TopLeftOrientation, ""},
        {"sideways: the stored height is the width", 96, 160, RightTopOrientation, "96x160"},
        {"sideways, left-top", 400, 1600, LeftTopOrientation, "96x160"},
        {"sideways, right-bottom", 400, 1600, RightBottomOrientation, "96x160"},
        {"sideways, left-bottom", 400, 1600, LeftBottomOrientation, "96x160"},
        {"sideways and too small upright", 1600, 150, RightTopOrientation, ""},
        {"sideways, too narrow upright", 95, 1600, LeftBottomOrientation, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(jpeg_size_hint(c.width, c.height, c.orientation, terminal), c.hint) << c.why;
}

// -s 60x and -s x20: the free side is as long as the fitted picture needs, not the
// longest a terminal can be, so a large photo still takes the hint.
TEST(jpeg_size_hint, a_free_side_is_reckoned_from_the_fitted_picture)
{
    struct {
        const char *why;
        std::size_t width, height;
        OrientationType orientation;
        terminal_size size;
        const char *hint;
    } cases[] = {
        {"60 columns: 60 x 45 pixels, 23 lines",
         4000,
         3000,
         TopLeftOrientation,
         {60, 65535},
         "120x92"},
        {"20 lines: 53 x 40 pixels", 4000, 3000, TopLeftOrientation, {65535, 20}, "106x80"},
        {"sideways, 60 columns", 3000, 4000, RightTopOrientation, {60, 65535}, "92x120"},
        {"a small picture takes none", 100, 75, TopLeftOrientation, {60, 65535}, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(jpeg_size_hint(c.width, c.height, c.orientation, c.size), c.hint) << c.why;
}

// Large photos take the decoder's size hint, small ones do not; both come out as the
// same picture stored upright does, from a file and from a pipe.
TEST(input, photos_are_turned_upright_by_their_orientation)
{
    struct {
        const char *why;
        unsigned width, height;
        terminal_cells terminal;
    } cases[] = {
        {"small, no hint", 64, 48, {40, 12}},
        // Stored sideways it is 400 x 1600: a hint reckoned in the stored frame would
        // decode it at half size, not a quarter, and show other cells.
        {"large, with the hint", 1600, 400, {80, 24}},
    };
    for (const auto &c : cases) {
        oriented_photos p = photos(c.width, c.height);
        std::string expected = shown({p.upright}, c.terminal);
        std::string expected_piped = shown({}, c.terminal, read_file(p.upright));
        for (unsigned o = 1; o <= 8; ++o) {
            EXPECT_EQ(shown({p.stored[o]}, c.terminal), expected) << c.why << ", orientation " << o;
            EXPECT_EQ(shown({}, c.terminal, read_file(p.stored[o])), expected_piped)
                << c.why << ", orientation " << o << " from a pipe";
        }
    }
}

namespace {

std::string tga_header(unsigned width, unsigned height, unsigned bits, unsigned descriptor)
{
    return std::string("\0\0\x02\0\0\0\0\0", 8) + le16(0) + le16(0) + le16(width) + le16(height) +
           static_cast<char>(bits) + static_cast<char>(descriptor);
}

// Uncompressed true-colour TGA, blue-green-red, stored from the bottom row up unless
// the descriptor's bit 5 says from the top.
std::string tga(unsigned width, unsigned height, const std::vector<rgba> &pixels,
                unsigned descriptor)
{
    std::string bytes = tga_header(width, height, 24, descriptor);
    bool from_top = descriptor & 0x20;
    for (unsigned i = 0; i < height; ++i) {
        unsigned y = from_top ? i : height - 1 - i;
        for (unsigned x = 0; x < width; ++x) {
            const rgba &p = pixels[y * width + x];
            bytes += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r)};
        }
    }
    return bytes;
}

std::string le32(std::uint32_t v)
{
    return le16(v & 0xffff) + le16(v >> 16);
}

// A 32-bit BMP whose fourth byte is padding, zero, as screenshot tools write it.
std::string padded_bmp(unsigned width, unsigned height, const std::vector<rgba> &pixels)
{
    std::string data;
    for (unsigned i = 0; i < height; ++i)
        for (unsigned x = 0; x < width; ++x) {
            const rgba &p = pixels[(height - 1 - i) * width + x];
            data += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r), 0};
        }
    std::string info = le32(40) + le32(width) + le32(height) + le16(1) + le16(32) + le32(0) +
                       le32(static_cast<std::uint32_t>(data.size())) + le32(2835) + le32(2835) +
                       le32(0) + le32(0);
    return "BM" + le32(static_cast<std::uint32_t>(14 + info.size() + data.size())) + le32(0) +
           le32(14 + 40) + info + data;
}

// An eXIf chunk with the orientation, right after the PNG's header chunk.
std::string png_with_orientation(const std::string &png, unsigned orientation)
{
    const std::size_t after_header = 8 + 25;
    return png.substr(0, after_header) + png_chunk("eXIf", exif_orientation(orientation)) +
           png.substr(after_header);
}

OrientationType reported_orientation(const std::string &path)
{
    MagickWand *wand = NewMagickWand();
    MagickPingImage(wand, path.c_str());
    OrientationType orientation = MagickGetImageOrientation(wand);
    DestroyMagickWand(wand);
    return orientation;
}

}  // namespace

// A TIFF's orientation tag, and a PNG's eXIf chunk where the library reads it (6.9.11
// does not, 7 does): the picture is drawn upright exactly when the library says which
// way is up.
TEST(input, tiff_and_png_orientation_tags_are_followed)
{
    const unsigned width = 64, height = 48;
    std::string dir = scratch_dir();
    std::string png = dir + "/upright.png";
    write_image(png, width, height, blocks(width, height));
    std::string sideways = made_by_convert_in(dir, "sideways.png", "'" + png + "' -rotate -90");
    std::string tiff =
        made_by_convert_in(dir, "tagged.tif", "'" + sideways + "' -orient right-top");
    std::string tagged_png = dir + "/tagged.png";
    write_file(tagged_png, png_with_orientation(read_file(sideways), 6));
    terminal_cells terminal{40, 12};
    std::string upright = shown({png}, terminal), stored = shown({sideways}, terminal);
    for (const std::string &path : {tiff, tagged_png}) {
        bool told = reported_orientation(path) == RightTopOrientation;
        EXPECT_TRUE(told || path == tagged_png) << path;
        EXPECT_EQ(shown({path}, terminal), told ? upright : stored) << path;
    }
}

TEST(input, tga_origins_and_files_without_alpha_show_the_picture)
{
    const unsigned width = 48, height = 32;
    std::vector<rgba> pixels = blocks(width, height);
    std::string dir = scratch_dir();
    std::string png = dir + "/plain.png";
    write_image(png, width, height, pixels);
    struct {
        const char *why;
        std::string name, bytes;
        const char *piped;  // TGA has no signature: from a pipe its format is named
    } cases[] = {
        {"TGA stored from the bottom", "bottom.tga", tga(width, height, pixels, 0x00), "tga:-"},
        {"TGA stored from the top", "top.tga", tga(width, height, pixels, 0x20), "tga:-"},
        {"32-bit BMP with zero padding", "padded.bmp", padded_bmp(width, height, pixels), "-"},
    };
    terminal_cells terminal{30, 10};
    std::string expected = shown({png}, terminal);
    for (const auto &c : cases) {
        write_file(dir + "/" + c.name, c.bytes);
        EXPECT_EQ(shown({dir + "/" + c.name}, terminal), expected) << c.why;
        EXPECT_EQ(shown({c.piped}, terminal, c.bytes), expected) << c.why << " from a pipe";
    }
}

// The library may leave the alpha of a file without an alpha channel as the heap had it:
// the output must not change with what was freed before.
TEST(input, output_does_not_depend_on_what_the_heap_held)
{
    const unsigned width = 200, height = 120;
    std::vector<rgba> pixels = blocks(width, height);
    std::string dir = scratch_dir();
    std::string png = dir + "/plain.png", tga_file = dir + "/plain.tga";
    write_image(png, width, height, pixels);
    write_file(tga_file, tga(width, height, pixels, 0x20));
    std::string expected = run_on_pipe({png}).out;
    ASSERT_TRUE(start_image_library());
    for (int pattern : {0x00, 0x7f, 0xff}) {
        // Freed, these stay in the heap for the library's next buffers.
        std::vector<void *> blocks_freed;
        for (std::size_t size : {std::size_t{1} << 20, std::size_t{4} << 20, std::size_t{16} << 20})
            for (int i = 0; i < 4; ++i) {
                void *block = std::malloc(size);
                std::memset(block, pattern, size);
                blocks_freed.push_back(block);
            }
        for (void *block : blocks_freed)
            std::free(block);
        run_settings settings;
        settings.input_name = tga_file;
        settings.output_name = dir + "/out.txt";
        // Standard output on no terminal, so that the size is the 80 x 24 of a pipe.
        int saved_stdout = dup(1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        int status = show_image(settings, "cellpaint");
        dup2(saved_stdout, 1);
        close(null);
        close(saved_stdout);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(read_file(settings.output_name), expected) << "pattern " << pattern;
    }
}

// The image library's system policy must not stop it following links: the memory cap
// once made every linked input unreadable.
TEST(input, a_linked_name_reads_the_file_it_names)
{
    std::string dir = scratch_dir();
    std::string png = dir + "/plain.png";
    write_image(png, 2, 2, {opaque(255, 0, 0), opaque(0, 0, 255), clear, opaque(0, 255, 0)});
    ASSERT_EQ(symlink("plain.png", (dir + "/link.png").c_str()), 0);
    std::string expected = shown({png}, {20, 10});
    EXPECT_EQ(shown({dir + "/link.png"}, {20, 10}), expected);
}

// A decoder that stops part way with an error leaves pixels it never wrote: such a read
// is a failure, not a picture whose colours change with what the heap held.
TEST(input, a_read_that_ends_in_an_error_is_a_failure)
{
    std::string dir = scratch_dir();
    std::string whole =
        made_by_convert_in(dir, "whole.hdr", "-seed 3 -size 200x150 plasma:fractal");
    std::string truncated = dir + "/truncated.hdr";
    write_file(truncated, read_file(whole).substr(0, 20000));
    program_result result = run_on_pty({truncated}, {40, 12});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err,
              std::string(CELLPAINT_BINARY) + ": couldn't open input file " + truncated + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(shown({whole}, {40, 12}).empty(), false);
}
