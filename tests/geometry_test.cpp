// SPDX-License-Identifier: BSD-2-Clause
#include "geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reduction_oracle.h"
#include "support.h"

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

TEST(reduction_factor, applies_from_sixteen_times_the_fit)
{
    struct {
        const char *why;
        std::size_t width, height;
        pixel_size fitted;
        std::size_t factor;
    } cases[] = {
        {"just below, across", 1279, 768, {80, 48}, 1},
        {"just below, down", 1280, 767, {80, 48}, 1},
        {"just at sixteen times", 1280, 768, {80, 48}, 2},
        {"a 4K screenshot at 80 x 24", 3840, 2160, {80, 45}, 6},
        {"the lesser side decides", 16000, 800, {80, 48}, 2},
        {"a large photo at a small size", 6000, 4000, {10, 6}, 75},
    };
    for (const auto &c : cases)
        EXPECT_EQ(reduction_factor(c.width, c.height, c.fitted), c.factor) << c.why;
}

// The library's own read of real files, reduced, against the plain loop: sizes that f
// does not divide, 16-bit samples, grey, partial and wholly transparent blocks.
TEST(reduce_image, equals_the_plain_mean_of_every_block)
{
    std::string dir = scratch_dir();
    struct {
        const char *why;
        const char *name, *recipe;
        std::size_t factor;
    } cases[] = {
        {"8-bit RGB, 3 columns and 2 rows left over", "rgb.png",
         "-seed 1 -size 333x242 plasma:fractal -depth 8", 5},
        {"16-bit RGB", "deep.png", "-seed 2 -size 200x130 plasma:fractal -depth 16", 4},
        {"grey", "grey.png", "-seed 3 -size 130x99 plasma:fractal -colorspace Gray -depth 8", 3},
        {"alpha, with wholly transparent blocks", "alpha.png",
         "-seed 4 -size 160x120 plasma:fractal \\( -size 160x120 radial-gradient:white-black "
         "-fill black -draw 'rectangle 0,0 40,40' \\) -alpha off -compose CopyOpacity -composite "
         "-depth 16",
         6},
    };
    MagickWandGenesis();
    for (const auto &c : cases) {
        std::string path = made_by_convert_in(dir, c.name, c.recipe);
        MagickWand *wand = NewMagickWand();
        ASSERT_TRUE(MagickReadImage(wand, path.c_str())) << c.why;
        exported before = export_image(wand);
        ASSERT_TRUE(reduce_image(wand, c.factor)) << c.why;
        exported after = export_image(wand);
        exported expected = plainly_reduced(before, c.factor);
        EXPECT_EQ(after.width, expected.width) << c.why;
        EXPECT_EQ(after.height, expected.height) << c.why;
        EXPECT_EQ(after.channels, before.channels)
            << c.why << ": alpha exactly when the source has it";
        EXPECT_TRUE(after.samples == expected.samples) << c.why;
        DestroyMagickWand(wand);
    }
}

// Just below the threshold the picture is resized as it is; at it, reduced first.
TEST(fit_to_terminal, reduces_only_from_sixteen_times_the_fit)
{
    std::string dir = scratch_dir();
    MagickWandGenesis();
    terminal_size terminal{10, 30};  // the width binds: 10 x 6 pixels
    for (auto [width, factor] : {std::pair{159u, 1u}, std::pair{160u, 2u}}) {
        std::string path = made_by_convert_in(dir, "wide" + std::to_string(width) + ".png",
                                              "-seed 5 -size " + std::to_string(width) +
                                                  "x96 plasma:fractal -depth 8");
        pixel_size size = fit_size(width, 96, terminal);
        ASSERT_EQ(reduction_factor(width, 96, size), factor);
        MagickWand *fitted = NewMagickWand(), *plain = NewMagickWand();
        ASSERT_TRUE(MagickReadImage(fitted, path.c_str()));
        ASSERT_TRUE(MagickReadImage(plain, path.c_str()));
        fit_to_terminal(fitted, terminal);
        if (factor > 1) {
            ASSERT_TRUE(reduce_image(plain, factor));
        }
        resize_image(plain, size.width, size.height, LanczosFilter);
        EXPECT_TRUE(export_image(fitted).samples == export_image(plain).samples) << width;
        DestroyMagickWand(fitted);
        DestroyMagickWand(plain);
    }
}
