// SPDX-License-Identifier: BSD-2-Clause
// The built program, run as a user runs it: standard output on a pseudo-terminal of
// a chosen size, on real image files made here.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "geometry.h"
#include "match.h"
#include "palette.h"
#include "render.h"
#include "support.h"

namespace {

const rgba red = opaque(255, 0, 0), blue = opaque(0, 0, 255);

std::string image(const std::string &name, unsigned width, unsigned height,
                  const std::vector<rgba> &pixels)
{
    std::string path = scratch_dir() + "/" + name;
    write_image(path, width, height, pixels);
    return path;
}

std::string made_by_convert(const std::string &name, const std::string &arguments)
{
    return made_by_convert_in(scratch_dir(), name, arguments);
}

bool exists(const std::string &path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The single colour of a one-colour image's output, or -2 when it has several.
long only_colour(const parsed_output &out)
{
    long colour = -3;
    for (const auto &line : out.lines)
        for (const cell &c : line)
            for (long part : {c.upper, c.lower})
                if (part != -1)
                    colour = colour == -3 || colour == part ? part : -2;
    return colour;
}

// What the output should show: the image scaled as the program scales it, every
// pixel matched with the mode's search, read back as cells.
std::vector<std::vector<cell>> expected_cells(const std::string &path, terminal_cells terminal,
                                              match_mode mode, double weight = 1.0)
{
    palette_scope scope(mode, weight);
    MagickWand *wand = NewMagickWand();
    EXPECT_TRUE(MagickReadImage(wand, path.c_str()));
    MagickSetFirstIterator(wand);
    fit_to_terminal(wand, {terminal.columns, terminal.lines});
    auto width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    std::vector<std::vector<long>> indices(height, std::vector<long>(width, -1));
    std::vector<std::size_t> drawn(height, 0);
    PixelIterator *iterator = NewPixelIterator(wand);
    for (std::size_t y = 0; y < height; ++y) {
        std::size_t count = 0;
        PixelWand **row = PixelGetNextIteratorRow(iterator, &count);
        for (std::size_t x = 0; x < count; ++x) {
            if (PixelGetAlpha(row[x]) < 0.5)
                continue;
            int r = channel_to_8bit(PixelGetRed(row[x]));
            int g = channel_to_8bit(PixelGetGreen(row[x]));
            int b = channel_to_8bit(PixelGetBlue(row[x]));
            unsigned long index = search_for(mode)(r, g, b);
            indices[y][x] = static_cast<long>(index);
            drawn[y] = x + 1;
        }
    }
    DestroyPixelIterator(iterator);
    DestroyMagickWand(wand);
    std::vector<std::vector<cell>> lines;
    for (std::size_t y = 0; y < height; y += 2) {
        bool lower = y + 1 < height;
        std::size_t line_width = std::max<std::size_t>({1, drawn[y], lower ? drawn[y + 1] : 0});
        std::vector<cell> line;
        for (std::size_t x = 0; x < line_width; ++x)
            line.push_back({indices[y][x], lower ? indices[y + 1][x] : -1});
        lines.push_back(line);
    }
    return lines;
}

parsed_output shown(const program_result &result, unsigned margin = 0)
{
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    parsed_output parsed = parse_cells(result.out, margin);
    EXPECT_TRUE(parsed.well_formed) << parsed.problem;
    return parsed;
}

const std::string program = CELLPAINT_BINARY;

}  // namespace

TEST(program, draws_tiny_images_byte_for_byte)
{
    std::string example = image("example.png", 2, 3, {red, clear, blue, red, red, clear});
    std::string clear_row = image("clear.png", 2, 1, {clear, clear});
    struct {
        const char *why;
        std::vector<std::string> args;
        terminal_cells terminal;
        std::string expected;
    } cases[] = {
        {"odd height, transparent right end",
         {example},
         {2, 2},
         "\033[48;5;196m\033[38;5;21m\u2584\033[49m\033[38;5;196m\u2584\n\u2580\033[39m\n"},
        {"nothing opaque", {clear_row}, {2, 1}, "\033[49m \033[39m\n"},
        {"with a margin", {"-m", "2", clear_row}, {2, 1}, "  \033[49m \033[39m\n"},
    };
    for (const auto &c : cases) {
        program_result result = run_on_pty(c.args, c.terminal);
        EXPECT_EQ(result.status, 0) << c.why << result.err;
        EXPECT_EQ(result.out, c.expected) << c.why;
    }
}

TEST(program, fits_the_image_to_the_terminal)
{
    std::string photo = made_by_convert("photo.png", "-size 640x480 gradient:red-blue");
    std::string wide = made_by_convert("wide.png", "-size 800x100 gradient:green-yellow");
    std::string icon = made_by_convert("icon.png", "-size 16x16 xc:orange");
    std::string sliver = made_by_convert("sliver.png", "-size 1x3000 xc:purple");
    struct {
        const char *why;
        std::string path;
        terminal_cells terminal;  // 0 x 0: the terminal reports no size
        std::size_t lines, widest;
        std::vector<std::string> options;
    } cases[] = {
        {"the height binds", photo, {80, 24}, 24, 64, {}},
        {"the width binds", wide, {80, 24}, 5, 80, {}},
        {"an icon is enlarged", icon, {80, 24}, 24, 48, {}},
        {"a sliver is one pixel wide", sliver, {80, 24}, 24, 1, {}},
        {"a wider terminal", photo, {200, 30}, 30, 80, {}},
        {"a terminal without a size counts as 80 x 24", photo, {0, 0}, 24, 64, {}},
        {"a size of one's own, not the terminal's", photo, {80, 24}, 10, 26, {"-s", "40x10"}},
        {"a size of one's own where there is no terminal size",
         photo,
         {0, 0},
         10,
         26,
         {"-s", "40x10"}},
        {"60 columns, as many lines as the shape needs", photo, {80, 24}, 23, 60, {"-s", "60x"}},
        {"20 lines, as many columns as the shape needs", wide, {80, 24}, 20, 320, {"-s", "x20"}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(c.path);
        parsed_output out = shown(run_on_pty(args, c.terminal));
        EXPECT_EQ(out.lines.size(), c.lines) << c.why;
        std::size_t widest = 0;
        for (const auto &line : out.lines)
            widest = std::max(widest, line.size());
        EXPECT_EQ(widest, c.widest) << c.why;
    }
    // Standard output on a pipe has no terminal size either.
    EXPECT_EQ(shown(run_on_pipe({photo})).lines.size(), 24u);
}

TEST(program, every_mode_shows_the_searches_result)
{
    std::string photo = made_by_convert("plasma.png", "-seed 7 -size 300x200 plasma:fractal");
    std::string alpha = made_by_convert(
        "alpha.png",
        "-size 120x120 radial-gradient:white-none -fill none -draw 'rectangle 0,0 30,30'");
    // 16 times its 28 x 20 pixels at 30 x 10 cells: reduced by 4 before the resize.
    std::string large = made_by_convert("large.png", "-seed 8 -size 1000x700 plasma:fractal");
    terminal_cells terminal{60, 20};
    struct {
        std::vector<std::string> options;
        match_mode mode;
        double weight;
    } cases[] = {
        {{}, match_mode::rgb, 1},
        {{"-p"}, match_mode::perceptive, 1},
        {{"-y"}, match_mode::yiq, 1},
        {{"-yw", "2"}, match_mode::yiq, 2},
        {{"-p", "-w", "0.5"}, match_mode::perceptive, 0.5},
    };
    for (const std::string &path : {photo, alpha, large}) {
        terminal_cells cells = path == large ? terminal_cells{30, 10} : terminal;
        for (const auto &c : cases) {
            std::vector<std::string> args = c.options;
            args.push_back(path);
            parsed_output out = shown(run_on_pty(args, cells));
            EXPECT_EQ(out.lines, expected_cells(path, cells, c.mode, c.weight))
                << path << " mode " << static_cast<int>(c.mode);
        }
    }
}

// Diffusion changes which colours are drawn, not where: the same cells are drawn and
// transparent, and the same input gives the same bytes every time.
TEST(program, dithering_keeps_the_shape_and_gives_the_same_bytes_each_time)
{
    std::string alpha = made_by_convert(
        "dither-alpha.png",
        "-size 120x90 gradient:'#2060c0-#f0c080' \\( -size 120x90 radial-gradient:white-black \\) "
        "-alpha off -compose CopyOpacity -composite");
    struct {
        std::vector<std::string> dithered, plain;
    } cases[] = {
        {{"-d"}, {}},
        {{"-pd"}, {"-p"}},
        {{"-yd", "-w", "2"}, {"-y", "-w", "2"}},
        {{"-d", "-b"}, {"-b"}},
        {{"-d", "-m", "3"}, {"-m", "3"}},
    };
    for (auto c : cases) {
        std::vector<std::string> options = c.dithered, plain_args = c.plain;
        options.push_back(alpha);
        plain_args.push_back(alpha);
        unsigned margin = c.plain.size() > 1 && c.plain[0] == "-m" ? 3 : 0;
        program_result first = run_on_pty(options, {50, 20});
        parsed_output dithered = shown(first, margin);
        parsed_output plain = shown(run_on_pty(plain_args, {50, 20}), margin);
        EXPECT_EQ(run_on_pty(options, {50, 20}).out, first.out);
        ASSERT_EQ(dithered.lines.size(), plain.lines.size());
        std::size_t changed = 0;
        for (std::size_t y = 0; y < plain.lines.size(); ++y) {
            ASSERT_EQ(dithered.lines[y].size(), plain.lines[y].size()) << "line " << y;
            for (std::size_t x = 0; x < plain.lines[y].size(); ++x) {
                EXPECT_EQ(dithered.lines[y][x].upper == -1, plain.lines[y][x].upper == -1);
                EXPECT_EQ(dithered.lines[y][x].lower == -1, plain.lines[y][x].lower == -1);
                changed += !(dithered.lines[y][x] == plain.lines[y][x]);
            }
        }
        EXPECT_GT(changed, 50u) << "diffusion changed next to nothing";
    }
}

TEST(program, reports_failures_with_their_status)
{
    std::string dir = scratch_dir();
    std::string good = image("good.png", 1, 1, {red});
    std::string truncated = dir + "/truncated.jpg";
    write_file(truncated,
               read_file(made_by_convert("whole.jpg", "-seed 3 -size 400x300 plasma:fractal"))
                   .substr(0, 200));
    struct {
        const char *why;
        std::vector<std::string> args;
        std::string stdin_data;
        int status;
        std::string err;
        std::string not_created;
    } cases[] = {
        {"no such input",
         {dir + "/missing.png"},
         "",
         3,
         "couldn't open input file " + dir + "/missing.png\n",
         ""},
        {"empty standard input", {}, "", 3, "couldn't open input file <stdin>\n", ""},
        {"not an image on standard input",
         {},
         "hello\n",
         3,
         "couldn't open input file <stdin>\n",
         ""},
        {"a truncated JPEG that reads as 0 x 0",
         {truncated},
         "",
         3,
         "couldn't open input file " + truncated + "\n",
         ""},
        {"an output in a missing directory",
         {good, dir + "/no/out.txt"},
         "",
         2,
         "couldn't open output file " + dir + "/no/out.txt\n",
         ""},
        {"a bad input is reported first, and creates no output",
         {dir + "/missing.png", dir + "/out.txt"},
         "",
         3,
         "couldn't open input file " + dir + "/missing.png\n",
         dir + "/out.txt"},
    };
    for (const auto &c : cases) {
        program_result result = run_on_pty(c.args, {80, 24}, c.stdin_data);
        EXPECT_EQ(result.status, c.status) << c.why;
        EXPECT_EQ(result.err, program + ": " + c.err) << c.why;
        EXPECT_EQ(result.out, "") << c.why;
        if (!c.not_created.empty()) {
            EXPECT_FALSE(exists(c.not_created)) << c.why;
        }
    }
}

TEST(program, a_full_device_fails_at_the_last_write)
{
    if (!exists("/dev/full"))
        GTEST_SKIP() << "this system has no /dev/full";
    program_result result = run_on_pty({image("good.png", 1, 1, {red}), "/dev/full"}, {80, 24});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, program + ": couldn't write output file /dev/full\n");
}

TEST(program, writes_a_file_for_later_display)
{
    std::string photo = made_by_convert("banner.png", "-size 90x30 gradient:yellow-navy");
    std::string motd = scratch_dir() + "/motd";
    program_result saved = run_on_pty({photo, motd}, {40, 10});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "");
    // The terminal on standard output sets the size, also for a file.
    EXPECT_EQ(read_file(motd), run_on_pty({photo}, {40, 10}).out);
    EXPECT_EQ(shown(run_on_pty({photo}, {40, 10})).lines.size(), 7u);
}

TEST(program, reads_what_the_image_library_reads)
{
    std::string first_frame_red =
        made_by_convert("anim.gif", "-size 40x40 xc:red \\( -size 40x40 xc:red -fill blue -draw "
                                    "'rectangle 10,10 20,20' \\) -layers optimize");
    std::string cmyk = made_by_convert("cmyk.jpg", "-size 20x20 xc:red -colorspace CMYK");
    std::string grey = made_by_convert("grey.png", "-size 20x20 xc:'rgb(128,128,128)'");
    std::string cyan = image("cyan.png", 1, 1, {opaque(0, 255, 255)});
    struct {
        const char *why;
        std::vector<std::string> args;
        long colour;
    } cases[] = {
        {"an optimized GIF shows its first frame whole", {first_frame_red}, 196},
        {"a named frame is that frame", {first_frame_red + "[1]"}, 21},
        {"CMYK channels are turned into RGB", {cmyk}, 196},
        {"a grey image", {grey}, 244},
        {"black/white mode: cyan's luma of 201 is nearest the ramp's 198", {"-b", cyan}, 251},
    };
    for (const auto &c : cases)
        EXPECT_EQ(only_colour(shown(run_on_pty(c.args, {20, 10}))), c.colour) << c.why;
}

// A large JPEG is decoded at reduced size, but only when that changes nothing a
// smaller one would show: below four times the final size it is drawn exactly as
// from a pipe, which is never given the hint.
TEST(program, jpeg_size_hint_keeps_small_jpegs_exact)
{
    for (const char *size : {"100x80", "200x150", "300x200"}) {
        std::string path =
            made_by_convert(std::string("p") + size + ".jpg",
                            std::string("-seed 9 -size ") + size + " plasma:fractal");
        program_result from_file = run_on_pty({path}, {80, 24});
        program_result from_pipe = run_on_pty({}, {80, 24}, read_file(path));
        EXPECT_EQ(from_file.status, 0) << size;
        EXPECT_EQ(from_file.out, from_pipe.out) << size;
    }
    std::string large = made_by_convert("large.jpg", "-seed 9 -size 1300x1000 plasma:fractal");
    parsed_output out = shown(run_on_pty({large}, {80, 24}));
    EXPECT_EQ(out.lines.size(), 24u);
    EXPECT_EQ(out.lines[0].size(), 62u);
}

namespace {

std::string usage(const std::string &name)
{
    return "Usage: " + name + R"( [ options ] [ infile ] [ outfile ]

Convert bitmap images to 256 color block elements suitable for display in xterm
and similar terminal emulators.

Options:
  -h, --help                  display this message
  -m, --margin [width]        add a margin to the left of the image
  -b, --bw                    display image in black/white mode
  -p, --perceptive            use the CIE94 color difference formula for color
                              conversion instead of simple RGB linear distance
  -w, --chroma-weight [mult]  weighting for chroma in --perceptive and --yiq
                              modes (default: 1)
  -y, --yiq                   use linear distance in the YIQ color space
                              instead of RGB for color conversion
  -d, --dither                diffuse each pixel's color error to the pixels
                              next to it (smoother gradients)
  -s, --size [cols]x[lines]   fit this many columns and lines instead of the
                              terminal's; either number may be left out

If the output file name is omitted the image is written to stdout. If both the
input file name and the output file name are missing, cellpaint will act as a
filter.

Examples:
  cellpaint -yw 2 image.png   display a bitmap image on the terminal using the
                              YIQ color space for conversion with weighted
                              chroma
  cellpaint banner.png motd   save a bitmap image as a text file to display
                              later
)";
}

}  // namespace

TEST(program, help_and_usage_errors)
{
    const std::string text = usage(program);
    // An image on standard input shows that the run never started.
    std::string photo = read_file(image("in.png", 2, 2, {red, red, red, red}));
    struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // before the usage text
    } cases[] = {
        {{"-h"}, 0, ""},
        {{"--help", "-x"}, 0, ""},  // the scan stops at help
        {{"-b", "-h", "a", "b", "c"}, 0, ""},
        {{"-wy", "2"}, 1, ""},  // a value letter must end its group
        {{"-m5"}, 1, ""},
        {{"-m"}, 1, ""},
        {{"-w"}, 1, ""},
        {{"-m", "abc"}, 1, ""},
        {{"-w", "x1"}, 1, ""},
        {{"-x"}, 1, program + ": unrecognised option -x\n"},
        {{"-bx"}, 1, program + ": unrecognised option -x\n"},
        {{"--"}, 1, program + ": unrecognised long option --\n"},
        {{"--margin=3"}, 1, program + ": unrecognised long option --margin=3\n"},
        {{"--hel"}, 1, program + ": unrecognised long option --hel\n"},
        {{"a", "b", "c"}, 1, ""},
        {{"-m", "-1"}, 1, program + ": invalid margin -1\n"},
        {{"-m", "-18446744073709551615"}, 1, program + ": invalid margin -18446744073709551615\n"},
        {{"-m", "65536"}, 1, program + ": invalid margin 65536\n"},
        {{"--margin", " 99999999999999999999999"},
         1,
         program + ": invalid margin  99999999999999999999999\n"},
        {{"-w", "nan"}, 1, program + ": invalid chroma weight nan\n"},
        {{"-w", "-nan"}, 1, program + ": invalid chroma weight -nan\n"},
        {{"-w", "inf"}, 1, program + ": invalid chroma weight inf\n"},
        {{"--chroma-weight", "1e999"}, 1, program + ": invalid chroma weight 1e999\n"},
        {{"-s"}, 1, ""},
        {{"-sd", "60x"}, 1, ""},  // a value letter ends its group
        {{"-s", "0x10"}, 1, program + ": invalid size 0x10\n"},
        {{"-s", "-5x3"}, 1, program + ": invalid size -5x3\n"},
        {{"-s", "60"}, 1, program + ": invalid size 60\n"},
        {{"-s", "x"}, 1, program + ": invalid size x\n"},
        {{"-s", "abc"}, 1, program + ": invalid size abc\n"},
        {{"-s", "10x10px"}, 1, program + ": invalid size 10x10px\n"},
        {{"-s", "65536x1"}, 1, program + ": invalid size 65536x1\n"},
        {{"-s", "1x000065535"}, 1, program + ": invalid size 1x000065535\n"},
        {{"-s", " 60x"}, 1, program + ": invalid size  60x\n"},
        {{"-s", "60x+2"}, 1, program + ": invalid size 60x+2\n"},
        {{"--size", ""}, 1, program + ": invalid size \n"},
        {{"--size=60x"}, 1, program + ": unrecognised long option --size=60x\n"},
        {{"-Dx"}, 1, program + ": unrecognised option -D\n"},
    };
    for (const auto &c : cases) {
        program_result result = run_on_pipe(c.args, photo);
        std::string shown_args;
        for (const auto &arg : c.args)
            shown_args += arg + " ";
        EXPECT_EQ(result.status, c.status) << shown_args;
        EXPECT_EQ(result.out, c.status == 0 ? text : "") << shown_args;
        EXPECT_EQ(result.err, c.status == 0 ? "" : c.err + text) << shown_args;
    }
}
