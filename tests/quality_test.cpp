// SPDX-License-Identifier: BSD-2-Clause
// The quality benchmark's scoring: CIEDE2000 against Sharma, Wu and Dalal's published
// pairs, and grids read back from real output.
#include "quality_score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "colorspace.h"
#include "palette.h"

TEST(quality, ciede2000_gives_the_published_differences)
{
    struct {
        double l1, a1, b1, l2, a2, b2, expected;
    } pairs[] = {
        {50, 2.6772, -79.7751, 50, 0, -82.7485, 2.0425},
        {50, 3.1571, -77.2803, 50, 0, -82.7485, 2.8615},
        {50, -1.3802, -84.2814, 50, 0, -82.7485, 1.0000},
        {50, 0, 0, 50, -1, 2, 2.3669},
        {50, 2.49, -0.001, 50, -2.49, 0.0011, 7.2195},
        {60.2574, -34.0099, 36.2677, 60.4626, -34.1751, 39.4387, 1.2644},
        {22.7233, 20.0904, -46.694, 23.0331, 14.973, -42.5619, 2.0373},
        {90.8027, -2.0831, 1.441, 91.1528, -1.6435, 0.0447, 1.4441},
    };
    for (const auto &p : pairs)
        EXPECT_NEAR(ciede2000(p.l1, p.a1, p.b1, p.l2, p.a2, p.b2), p.expected, 1e-4)
            << p.l1 << " " << p.a1 << " " << p.b1;
}

namespace {

// Output for a grid of palette indices, two rows to a line, as the program writes it.
std::string cells_for(const std::vector<std::vector<unsigned long>> &rows)
{
    std::string out;
    for (std::size_t y = 0; y < rows.size(); y += 2) {
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            out += "\033[48;5;" + std::to_string(rows[y][x]) + "m\033[38;5;" +
                   std::to_string(rows[y + 1][x]) + "m\u2584";
        out += "\033[39;49m\n";
    }
    return out;
}

// The same colours as a source image: 0..1 RGBA, opaque.
std::vector<float> source_for(const std::vector<std::vector<unsigned long>> &rows)
{
    std::vector<float> rgba;
    for (const auto &row : rows)
        for (unsigned long index : row) {
            rgb_triple c = palette_rgb(index);
            rgba.insert(rgba.end(), {c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f, 1.0f});
        }
    return rgba;
}

}  // namespace

TEST(quality, a_grid_shown_as_it_is_scores_zero_and_a_shifted_one_does_not)
{
    std::vector<std::vector<unsigned long>> rows = {
        {196, 21, 46, 231}, {16, 244, 226, 93}, {21, 196, 231, 46}, {244, 16, 93, 226}};
    pixel_grid reference = area_average(source_for(rows), 4, 4, 4, 4);
    pixel_grid shown;
    ASSERT_TRUE(shown_grid(cells_for(rows), 4, 4, shown));
    EXPECT_NEAR(mean_difference(shown, reference), 0, 1e-6);
    EXPECT_NEAR(mean_difference(blurred(shown), blurred(reference)), 0, 1e-6);

    std::vector<std::vector<unsigned long>> shifted = rows;
    for (auto &row : shifted)
        std::rotate(row.begin(), row.begin() + 1, row.end());
    ASSERT_TRUE(shown_grid(cells_for(shifted), 4, 4, shown));
    EXPECT_GT(mean_difference(shown, reference), 10);
    EXPECT_GT(mean_difference(blurred(shown), blurred(reference)), 1);
}

// An area average of a 2 x 2 checkerboard of black and white is a grey of half the
// light, not half the value; transparency shows as black.
TEST(quality, the_reference_averages_light_over_black)
{
    std::vector<float> checker = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1};
    pixel_grid grey = area_average(checker, 2, 2, 1, 1);
    EXPECT_NEAR(grey.at(0, 0).g, 0.5, 1e-9);
    std::vector<float> clear_white = {1, 1, 1, 0};
    EXPECT_NEAR(area_average(clear_white, 1, 1, 1, 1).at(0, 0).r, 0, 1e-9);
}
