// SPDX-License-Identifier: BSD-2-Clause
#include "perceptual.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "match.h"
#include "palette.h"
#include "support.h"

namespace {

unsigned long nearest(match_mode mode, int red, int green, int blue)
{
    return search_for(mode)(red, green, blue);
}

// A spread of colours over the cube, with near-greys among them.
std::vector<rgb_triple> sample_colours()
{
    std::vector<rgb_triple> colours;
    for (int r = 0; r < 256; r += 37)
        for (int g = 3; g < 256; g += 41)
            for (int b = 1; b < 256; b += 29)
                colours.push_back({static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                   static_cast<std::uint8_t>(b)});
    for (int v = 0; v < 256; v += 5)
        colours.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v),
                           static_cast<std::uint8_t>(v)});
    return colours;
}

}  // namespace

TEST(perceptual, searches_pick_the_expected_palette_colours)
{
    struct {
        match_mode mode;
        int red, green, blue;
        unsigned long expected;
    } cases[] = {
        {match_mode::perceptive, 255, 0, 0, 196},
        {match_mode::yiq, 255, 0, 0, 196},
        {match_mode::perceptive, 0, 0, 255, 21},
        {match_mode::yiq, 0, 0, 255, 21},
        {match_mode::perceptive, 128, 128, 128, 244},
        {match_mode::yiq, 128, 128, 128, 244},
        {match_mode::perceptive, 100, 150, 200, 67},
        {match_mode::yiq, 100, 150, 200, 68},
        // greys: the dH radicand of nearly parallel chroma is a rounding residue
        {match_mode::perceptive, 254, 254, 254, 231},
        {match_mode::perceptive, 1, 1, 1, 16},
        {match_mode::perceptive, 90, 90, 90, 240},
        {match_mode::yiq, 4, 4, 4, 16},  // as far from 16 as from 232: the lower index wins
    };
    for (const auto &c : cases) {
        palette_scope scope(c.mode);
        EXPECT_EQ(nearest(c.mode, c.red, c.green, c.blue), c.expected)
            << static_cast<int>(c.mode) << ": " << c.red << "," << c.green << "," << c.blue;
    }
}

TEST(perceptual, cie94_of_a_colour_with_itself_is_zero)
{
    for (const rgb_triple &c : sample_colours()) {
        color_point lab = lab_from_srgb(c.red, c.green, c.blue);
        EXPECT_EQ(cie94_distance(lab.l, lab.a, lab.b, lab.l, lab.a, lab.b), 0.0);
    }
}

TEST(perceptual, negative_weight_chooses_as_its_positive)
{
    for (match_mode mode : {match_mode::perceptive, match_mode::yiq}) {
        std::vector<unsigned long> positive;
        {
            palette_scope scope(mode, 1.5);
            for (const rgb_triple &c : sample_colours())
                positive.push_back(nearest(mode, c.red, c.green, c.blue));
        }
        palette_scope scope(mode, -1.5);
        std::size_t i = 0;
        for (const rgb_triple &c : sample_colours())
            EXPECT_EQ(nearest(mode, c.red, c.green, c.blue), positive[i++]);
    }
}

// With weight 0 only lightness counts: the first palette entry of the nearest
// lightness (luma) wins.
TEST(perceptual, weight_zero_matches_by_lightness_alone)
{
    for (match_mode mode : {match_mode::perceptive, match_mode::yiq}) {
        palette_scope scope(mode, 0.0);
        for (const rgb_triple &c : sample_colours()) {
            double light = mode == match_mode::perceptive ? lab_from_srgb(c.red, c.green, c.blue).l
                                                          : yiq_from_srgb(c.red, c.green, c.blue).l;
            unsigned long expected = 0;
            double best = std::numeric_limits<double>::infinity();
            for (unsigned long p = first_palette_colour; p < palette_size; ++p) {
                double d = std::fabs(light - perceptual_table[p].l);
                if (d < best) {
                    best = d;
                    expected = p;
                }
            }
            EXPECT_EQ(nearest(mode, c.red, c.green, c.blue), expected);
        }
    }
}

TEST(perceptual, a_distance_that_is_not_a_number_never_wins)
{
    for (match_mode mode : {match_mode::perceptive, match_mode::yiq}) {
        palette_scope scope(mode, std::nan(""));
        EXPECT_EQ(nearest(mode, 100, 150, 200), 0UL);
    }
}

// The full cube at the first five weights is checked by make verify; this samples it.
// At 1e6 the estimated Lab proves nothing and CIE94 falls back to the exact search.
TEST(perceptual, fast_searches_equal_the_plain_loops)
{
    for (match_mode mode : {match_mode::perceptive, match_mode::yiq}) {
        for (double weight : {1.0, 0.0, 2.0, -1.0, 0.5, 3.7, 1e6}) {
            palette_scope scope(mode, weight);
            nearest_search fast = search_for(mode), plain = reference_search_for(mode);
            for (int r = 0; r < 256; r += 9)
                for (int g = 4; g < 256; g += 9)
                    for (int b = 2; b < 256; b += 9)
                        ASSERT_EQ(fast(r, g, b), plain(r, g, b))
                            << static_cast<int>(mode) << " weight " << weight << ": " << r << ","
                            << g << "," << b;
            // Near-greys, where rounding residues decide.
            for (int v = 0; v < 256; ++v)
                for (int d : {-1, 0, 1})
                    ASSERT_EQ(fast(v, std::clamp(v + d, 0, 255), v),
                              plain(v, std::clamp(v + d, 0, 255), v))
                        << static_cast<int>(mode) << " weight " << weight << ": grey " << v;
        }
    }
}
