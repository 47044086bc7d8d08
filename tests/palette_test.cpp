// SPDX-License-Identifier: BSD-2-Clause
#include "palette.h"

#include <gtest/gtest.h>

#include "support.h"

TEST(palette, colours_follow_the_cube_and_the_grey_ramp)
{
    struct {
        unsigned long index;
        int red, green, blue;
    } cases[] = {
        {16, 0, 0, 0},        {21, 0, 0, 255},      {46, 0, 255, 0},    {196, 255, 0, 0},
        {231, 255, 255, 255}, {102, 135, 135, 135}, {67, 95, 135, 175}, {232, 8, 8, 8},
        {255, 238, 238, 238}, {244, 128, 128, 128},
    };
    for (const auto &c : cases) {
        rgb_triple p = palette_rgb(c.index);
        EXPECT_EQ(p.red, c.red) << c.index;
        EXPECT_EQ(p.green, c.green) << c.index;
        EXPECT_EQ(p.blue, c.blue) << c.index;
    }
}

TEST(palette, table_holds_every_palette_colour)
{
    palette_scope scope(match_mode::rgb);
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        rgb_triple expected = palette_rgb(c);
        EXPECT_EQ(rgb_table[c].red, expected.red) << c;
        EXPECT_EQ(rgb_table[c].green, expected.green) << c;
        EXPECT_EQ(rgb_table[c].blue, expected.blue) << c;
    }
}

TEST(palette, nearest_rgb_picks_the_first_smallest_distance)
{
    palette_scope scope(match_mode::rgb);
    struct {
        int red, green, blue;
        unsigned long expected;
    } cases[] = {
        {0, 0, 0, 16},
        {255, 255, 255, 231},
        {255, 0, 0, 196},
        {0, 0, 255, 21},
        {128, 128, 128, 244},  // the grey ramp's exact match beats the cube's
                               // 135s at 102
        {4, 4, 4, 16},         // distance 48 from 16 and from 232: the lower index wins
        {8, 8, 8, 232},
        {100, 150, 200, 68},
        {238, 238, 238, 255},  // the ramp's last entry
        {250, 250, 250, 231},  // nearer white than the ramp's end
    };
    for (const auto &c : cases)
        EXPECT_EQ(nearest_rgb(c.red, c.green, c.blue), c.expected)
            << c.red << "," << c.green << "," << c.blue;
}

// The full cube is checked by make verify; this samples it.
TEST(palette, fast_search_equals_the_plain_loop)
{
    palette_scope scope(match_mode::rgb);
    for (int r = 0; r < 256; r += 3)
        for (int g = 1; g < 256; g += 3)
            for (int b = 2; b < 256; b += 3)
                ASSERT_EQ(nearest_rgb(r, g, b), nearest_rgb_reference(r, g, b))
                    << r << "," << g << "," << b;
}
