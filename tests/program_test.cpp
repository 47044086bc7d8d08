// The built program, run as a user runs it: standard output on a pseudo-terminal of
// a chosen size, on real image files made here.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "driver.h"
#include "palette.h"
#include "perceptual.h"
#include "render.h"
#include "support.h"

namespace {

const rgba red = opaque(255, 0, 0), blue = opaque(0, 0, 255), green = opaque(0, 255, 0);

std::string image(const std::string &name, unsigned width, unsigned height,
                  const std::vector<rgba> &pixels)
{
    std::string path = scratch_dir() + "/" + name;
    write_image(path, width, height, pixels);
    return path;
}

std::string made_by_convert(const std::string &name, const std::string &arguments)
{
    std::string path = scratch_dir() + "/" + name;
    run_convert(arguments + " '" + path + "'");
    return path;
}

bool exists(const std::string &path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
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
            unsigned long index = mode == match_mode::rgb          ? nearest_rgb(r, g, b)
                                  : mode == match_mode::perceptive ? nearest_cie94(r, g, b)
                                                                   : nearest_yiq(r, g, b);
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
        {"odd height, transparent right end", {example}, {2, 2},
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
    } cases[] = {
        {"the height binds", photo, {80, 24}, 24, 64},
        {"the width binds", wide, {80, 24}, 5, 80},
        {"an icon is enlarged", icon, {80, 24}, 24, 48},
        {"a sliver is one pixel wide", sliver, {80, 24}, 24, 1},
        {"a wider terminal", photo, {200, 30}, 30, 80},
        {"a terminal without a size counts as 80 x 24", photo, {0, 0}, 24, 64},
    };
    for (const auto &c : cases) {
        parsed_output out = shown(run_on_pty({c.path}, c.terminal));
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
        "alpha.png", "-size 120x120 radial-gradient:white-none -fill none -draw 'rectangle 0,0 30,30'");
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
    for (const std::string &path : {photo, alpha}) {
        for (const auto &c : cases) {
            std::vector<std::string> args = c.options;
            args.push_back(path);
            parsed_output out = shown(run_on_pty(args, terminal));
            EXPECT_EQ(out.lines, expected_cells(path, terminal, c.mode, c.weight))
                << path << " mode " << static_cast<int>(c.mode);
        }
    }
}
