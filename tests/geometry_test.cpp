// SPDX-License-Identifier: BSD-2-Clause
#include "geometry.h"

#include <gtest/gtest.h>

TEST(fit_size, keeps_the_aspect_ratio_within_the_terminal)
{
    struct {
        const char *why;
        std::size_t width, height;
        terminal_size terminal;
        pixel_size expected;
    } cases[] = {
        {"the height binds", 640, 480, {80, 24}, {64, 48}},
        {"the width binds", 800, 100, {80, 24}, {80, 10}},
        {"small images are enlarged", 16, 16, {80, 24}, {48, 48}},
        {"equal ratios take the width", 80, 48, {80, 24}, {80, 48}},
        {"a sliver stays one pixel wide", 1, 3000, {80, 24}, {1, 48}},
        {"a line stays one pixel high", 3000, 1, {80, 24}, {80, 1}},
        {"the widest terminal", 1000000, 10, {65535, 65535}, {65535, 1}},
        {"no pixels at all, as a truncated header claims", 0, 0, {80, 24}, {80, 1}},
        {"no width", 0, 100, {80, 24}, {1, 48}},
    };
    for (const auto &c : cases) {
        pixel_size size = fit_size(c.width, c.height, c.terminal);
        EXPECT_EQ(size.width, c.expected.width) << c.why;
        EXPECT_EQ(size.height, c.expected.height) << c.why;
    }
}

// -s 60x and -s x20 leave one side to the picture's shape, up to the longest a
// terminal can have.
TEST(fit_size, a_free_side_follows_the_picture)
{
    struct {
        const char *why;
        std::size_t width, height;
        terminal_size size;
        pixel_size fitted;
        terminal_size needed;  // what a decoder's size hint is reckoned from
    } cases[] = {
        {"60 columns, lines as needed", 640, 480, {60, 65535}, {60, 45}, {60, 23}},
        {"20 lines, columns as needed", 640, 480, {65535, 20}, {53, 40}, {53, 20}},
        {"a sliver taller than any terminal", 10, 100000, {60, 65535}, {13, 131070}, {60, 65535}},
        {"a bounded size stays as it is", 640, 480, {80, 24}, {64, 48}, {80, 24}},
    };
    for (const auto &c : cases) {
        pixel_size fitted = fit_size(c.width, c.height, c.size);
        EXPECT_EQ(fitted.width, c.fitted.width) << c.why;
        EXPECT_EQ(fitted.height, c.fitted.height) << c.why;
        terminal_size needed = needed_size(c.width, c.height, c.size);
        EXPECT_EQ(needed.columns, c.needed.columns) << c.why;
        EXPECT_EQ(needed.lines, c.needed.lines) << c.why;
    }
}
