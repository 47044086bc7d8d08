// SPDX-License-Identifier: BSD-2-Clause
#include "render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "colorspace.h"
#include "match.h"
#include "palette.h"
#include "support.h"

namespace {

// Captures what the writer writes, from a fresh writer state.
class writer : public ::testing::Test {
protected:
    void SetUp() override
    {
        current_fg = current_bg = 0;
        stream = open_memstream(&data, &size);
    }
    void TearDown() override
    {
        text();
        std::free(data);
        current_fg = current_bg = 0;
    }
    std::string text()
    {
        if (stream) {
            std::fclose(stream);
            stream = nullptr;
        }
        return std::string(data, size);
    }
    void cell(unsigned long upper, unsigned long lower) { write_cell(stream, upper, lower); }

    std::FILE *stream = nullptr;
    char *data = nullptr;
    std::size_t size = 0;
};

constexpr unsigned long T = transparent_marker;

}  // namespace

TEST_F(writer, two_lines_of_cells_write_only_the_colour_changes)
{
    // Rows (red, clear), (blue, red), (red, clear) in rgb mode.
    cell(196, 21);
    cell(T, 196);
    end_line(stream);
    cell(196, T);
    end_image(stream);
    EXPECT_EQ(text(), "\033[48;5;196m\033[38;5;21m\u2584\033[49m\033[38;5;196m\u2584\n"
                      "\u2580\033[39m\n");
}

TEST_F(writer, state_rules)
{
    struct {
        const char *why;
        std::vector<std::pair<unsigned long, unsigned long>> cells;
        const char *expected;
    } cases[] = {
        {"the first cell writes its background; its foreground is the state's 0",
         {{30, 30}},
         "\033[48;5;30m "},
        {"a repeated cell writes no sequence",
         {{196, 21}, {196, 21}},
         "\033[48;5;196m\033[38;5;21m\u2584\u2584"},
        {"a space keeps the foreground in force",
         {{196, 21}, {50, 50}, {50, 21}},
         "\033[48;5;196m\033[38;5;21m\u2584\033[48;5;50m \u2584"},
        {"two transparent pixels are a space on the default background", {{T, T}}, "\033[49m "},
        {"foreground 0 is the default foreground",
         {{196, 21}, {196, 0}},
         "\033[48;5;196m\033[38;5;21m\u2584\033[39m\u2584"},
        {"background 0 is written as a colour",
         {{196, 21}, {0, 0}},
         "\033[48;5;196m\033[38;5;21m\u2584\033[48;5;0m "},
    };
    for (const auto &c : cases) {
        current_fg = current_bg = 0;
        char *buffer = nullptr;
        std::size_t length = 0;
        std::FILE *out = open_memstream(&buffer, &length);
        for (auto [upper, lower] : c.cells)
            write_cell(out, upper, lower);
        std::fclose(out);
        EXPECT_EQ(std::string(buffer, length), c.expected) << c.why;
        std::free(buffer);
    }
}

TEST_F(writer, line_endings_reset_the_background_only)
{
    cell(196, 21);
    end_line(stream);  // coloured background: reset it
    cell(T, 21);
    end_line(stream);  // already default: a bare newline
    cell(21, 21);
    end_image(stream);
    EXPECT_EQ(text(), "\033[48;5;196m\033[38;5;21m\u2584\033[49m\n"
                      "\u2584\n"
                      "\033[48;5;21m \033[39;49m\n");
}

TEST(channels, values_are_clamped_and_truncated)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct {
        double value;
        int expected;
    } cases[] = {
        {-0.1, 0},  {0.0, 0},           {0.5, 127},        {std::nextafter(1.0, 0.0), 254},
        {1.0, 255}, {1.2, 255},         {std::nan(""), 0}, {inf, 255},
        {-inf, 0},  {100.0 / 255, 100},
    };
    for (const auto &c : cases)
        EXPECT_EQ(channel_to_8bit(c.value), c.expected) << c.value;
}

namespace {

struct pixel_row {
    std::vector<PixelWand *> wands;
    explicit pixel_row(const std::vector<rgba> &pixels)
    {
        MagickWandGenesis();
        for (const rgba &p : pixels) {
            PixelWand *w = NewPixelWand();
            PixelSetRed(w, p.r / 255.0);
            PixelSetGreen(w, p.g / 255.0);
            PixelSetBlue(w, p.b / 255.0);
            PixelSetAlpha(w, p.a / 255.0);
            wands.push_back(w);
        }
    }
    ~pixel_row()
    {
        for (PixelWand *w : wands)
            DestroyPixelWand(w);
    }
};

}  // namespace

TEST(convert_row, drawn_width_stops_after_the_last_opaque_pixel)
{
    palette_scope scope(match_mode::rgb);
    const rgba red = opaque(255, 0, 0), half{0, 0, 255, 128}, thin{0, 0, 255, 127};
    struct {
        const char *why;
        std::vector<rgba> pixels;
        std::size_t width;
        std::vector<unsigned long> indices;
    } cases[] = {
        {"transparent right end is not drawn", {red, clear, clear}, 1, {196, T, T}},
        {"transparent pixels before an opaque one are", {clear, red}, 2, {T, 196}},
        {"nothing opaque is still one cell", {clear, clear}, 1, {T, T}},
        {"an empty row is one cell", {}, 1, {}},
        {"alpha at one half or more is opaque", {thin, half}, 2, {T, 21}},
    };
    for (const auto &c : cases) {
        pixel_row row(c.pixels);
        std::vector<unsigned long> indices(c.pixels.size(), 99);
        EXPECT_EQ(convert_row(row.wands.data(), indices.data(), c.pixels.size(), true), c.width)
            << c.why;
        EXPECT_EQ(indices, c.indices) << c.why;
    }
}

// The library can leave the alpha of an image without an alpha channel unset (0, or
// whatever the heap held): such pixels are opaque whatever their alpha says.
TEST(convert_row, without_an_alpha_channel_every_pixel_is_opaque)
{
    palette_scope scope(match_mode::rgb);
    pixel_row row({{255, 0, 0, 0}, {0, 0, 255, 127}, {0, 255, 0, 0}});
    std::vector<unsigned long> indices(3, 99);
    EXPECT_EQ(convert_row(row.wands.data(), indices.data(), 3, false), 3u);
    EXPECT_EQ(indices, (std::vector<unsigned long>{196, 21, 46}));
}

TEST(convert_row, uses_the_search_of_the_mode)
{
    for (auto [mode, expected] :
         {std::pair{match_mode::rgb, 68UL}, std::pair{match_mode::perceptive, 67UL},
          std::pair{match_mode::yiq, 68UL}}) {
        palette_scope scope(mode);
        pixel_row row({opaque(100, 150, 200)});
        unsigned long index = 0;
        convert_row(row.wands.data(), &index, 1, true);
        EXPECT_EQ(index, expected) << static_cast<int>(mode);
    }
}

namespace {

using pixel_grid = std::vector<std::vector<rgba>>;

// Every row of the grid through one diffusion, from the top, as the run does it.
std::vector<std::vector<unsigned long>> diffused(const pixel_grid &grid)
{
    diffusion state;
    std::vector<std::vector<unsigned long>> indices;
    for (const auto &pixels : grid) {
        pixel_row row(pixels);
        indices.emplace_back(pixels.size(), 99);
        convert_row_diffused(row.wands.data(), indices.back().data(), pixels.size(), true, state);
    }
    return indices;
}

pixel_grid flat(rgba colour, std::size_t width, std::size_t height)
{
    return pixel_grid(height, std::vector<rgba>(width, colour));
}

// A channel's mean over a block of the grid as drawn, in linear light, where the eye
// adds neighbouring colours up.
double shown_mean(const std::vector<std::vector<unsigned long>> &indices, std::size_t x0,
                  std::size_t x1, int channel)
{
    double sum = 0;
    for (const auto &row : indices)
        for (std::size_t x = x0; x < x1; ++x) {
            rgb_triple c = palette_rgb(row[x]);
            sum += srgb_to_linear(channel == 0 ? c.red : channel == 1 ? c.green : c.blue);
        }
    return sum / static_cast<double>(indices.size() * (x1 - x0));
}

}  // namespace

// A palette colour leaves no error: no pattern, in any mode.
TEST(convert_row_diffused, a_flat_palette_colour_shows_no_pattern)
{
    for (match_mode mode : {match_mode::rgb, match_mode::perceptive, match_mode::yiq})
        for (rgba colour : {opaque(95, 135, 175), opaque(0, 0, 0), opaque(255, 255, 255),
                            opaque(238, 238, 238)}) {
            palette_scope scope(mode);
            unsigned long expected = search_for(mode)(colour.r, colour.g, colour.b);
            for (const auto &row : diffused(flat(colour, 23, 9)))
                for (unsigned long index : row)
                    ASSERT_EQ(index, expected) << static_cast<int>(mode) << " " << int{colour.r};
        }
}

// A smooth ramp has no bands: every stretch of it shows, on average, the light it holds,
// where matching each pixel alone shows steps of up to 40 levels.
TEST(convert_row_diffused, a_gradient_keeps_its_mean_colour_everywhere)
{
    for (match_mode mode : {match_mode::rgb, match_mode::perceptive, match_mode::yiq}) {
        palette_scope scope(mode);
        pixel_grid grid(16);
        for (auto &row : grid)
            for (int x = 0; x < 256; ++x)
                row.push_back(
                    opaque(static_cast<std::uint8_t>(x), 90, static_cast<std::uint8_t>(255 - x)));
        auto indices = diffused(grid);
        for (int x0 = 0; x0 < 256; x0 += 16) {
            double wanted_red = 0;
            for (int x = x0; x < x0 + 16; ++x)
                wanted_red += srgb_to_linear(x) / 16;
            auto from = static_cast<std::size_t>(x0);
            EXPECT_NEAR(shown_mean(indices, from, from + 16, 0), wanted_red, 0.015)
                << static_cast<int>(mode) << ": columns " << x0 << "-" << x0 + 15;
            EXPECT_NEAR(shown_mean(indices, from, from + 16, 1), srgb_to_linear(90), 0.015)
                << static_cast<int>(mode) << ": columns " << x0 << "-" << x0 + 15;
        }
    }
}

// Pixels less than half opaque neither take error nor pass it on, so the opaque half
// of a picture is drawn as if the rest were not there; and nothing is drawn into them.
TEST(convert_row_diffused, transparent_pixels_take_and_pass_no_error)
{
    palette_scope scope(match_mode::perceptive);
    const rgba colour = opaque(120, 60, 200);
    pixel_grid alone = flat(colour, 9, 8), beside = flat(colour, 9, 8);
    for (auto &row : beside)
        row.insert(row.begin(), 7, rgba{250, 250, 250, 100});
    auto expected = diffused(alone);
    auto drawn = diffused(beside);
    for (std::size_t y = 0; y < drawn.size(); ++y) {
        EXPECT_EQ(std::vector<unsigned long>(drawn[y].begin(), drawn[y].begin() + 7),
                  std::vector<unsigned long>(7, T))
            << "row " << y;
        EXPECT_EQ(std::vector<unsigned long>(drawn[y].begin() + 7, drawn[y].end()), expected[y])
            << "row " << y;
    }
}
