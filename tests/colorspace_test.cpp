// SPDX-License-Identifier: BSD-2-Clause
#include "colorspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support.h"

namespace {

struct weight_scope {
    explicit weight_scope(double weight) { chroma_weight = weight; }
    ~weight_scope() { chroma_weight = 1.0; }
};

}  // namespace

TEST(colorspace, srgb_to_linear_switches_to_the_power_curve_after_10)
{
    EXPECT_EQ(srgb_to_linear(0), 0.0);
    EXPECT_EQ(srgb_to_linear(10), 10 / 255.0 / 12.92);  // linear side: exactly the quotient
    EXPECT_NEAR(srgb_to_linear(11), 0.0033465358, 1e-10);
    EXPECT_EQ(srgb_to_linear(255), 1.0);
}

// Exact bit patterns from an independent implementation of the same formulas
// (Python floats, the same order of operations). A fused multiply-add or a reordered
// sum changes the last bits, and with them an occasional palette choice.
TEST(colorspace, conversions_are_bit_exact)
{
    struct {
        int red, green, blue;
        color_point lab, yiq;
    } cases[] = {
        {100,
         150,
         200,
         {0x1.e40ec6aa0caf2p+5, -0x1.64beb18e04498p+1, -0x1.eee3f11e215fap+4},
         {0x1.1a9a9a9a9a9aap-1, -0x1.703ae12d5ce06p-3, 0x1.403942ae67f38p-6}},
        // 11 and 10 sit on either side of the linear/power threshold
        {11,
         10,
         200,
         {0x1.920bdb9f83fc0p+4, 0x1.ff4c9757c6ce1p+5, -0x1.6136f252b7d0fp+6},
         {0x1.00acb4e60cf67p-3, -0x1.e5734852dbcbdp-3, 0x1.dc7a642446e14p-3}},
        {255,
         0,
         0,
         {0x1.a9ed257a8fdd0p+5, 0x1.405eadba7b25ep+6, 0x1.0cd012bf58ffdp+6},
         {0x1.322d0e5604189p-2, 0x1.3101b003686a5p-1, 0x1.b10fd7e45803dp-3}},
    };
    for (const auto &c : cases) {
        color_point lab = lab_from_srgb(c.red, c.green, c.blue);
        color_point yiq = yiq_from_srgb(c.red, c.green, c.blue);
        EXPECT_EQ(lab.l, c.lab.l) << c.red;
        EXPECT_EQ(lab.a, c.lab.a) << c.red;
        EXPECT_EQ(lab.b, c.lab.b) << c.red;
        EXPECT_EQ(yiq.l, c.yiq.l) << c.red;
        EXPECT_EQ(yiq.a, c.yiq.a) << c.red;
        EXPECT_EQ(yiq.b, c.yiq.b) << c.red;
    }
}

TEST(colorspace, black_and_white)
{
    color_point black = lab_from_srgb(0, 0, 0);
    EXPECT_EQ(black.l, 0.0);
    EXPECT_EQ(black.a, 0.0);
    EXPECT_EQ(black.b, 0.0);
    // The Y row's coefficients sum to a little more than 1.
    color_point white = lab_from_srgb(255, 255, 255);
    EXPECT_GT(white.l, 100.0);
    EXPECT_LT(white.l, 100.0001);
    EXPECT_NEAR(white.a, 0.0, 1e-4);
    EXPECT_NEAR(white.b, 0.0, 1e-4);

    color_point yiq_white = yiq_from_srgb(255, 255, 255);
    EXPECT_NEAR(yiq_white.l, 1.0, 1e-12);
    EXPECT_NEAR(yiq_white.a, 0.0, 1e-12);
    EXPECT_NEAR(yiq_white.b, 0.0, 1e-12);
    color_point yiq_black = yiq_from_srgb(0, 0, 0);
    EXPECT_EQ(yiq_black.l, 0.0);
}

TEST(colorspace, chroma_weight_scales_both_chroma_axes_only)
{
    const color_point lab1 = lab_from_srgb(100, 150, 200);
    const color_point yiq1 = yiq_from_srgb(100, 150, 200);
    for (double weight : {0.0, -1.0, 2.0}) {
        weight_scope scope(weight);
        color_point lab = lab_from_srgb(100, 150, 200);
        color_point yiq = yiq_from_srgb(100, 150, 200);
        EXPECT_EQ(lab.l, lab1.l) << weight;
        EXPECT_EQ(lab.a, lab1.a * weight) << weight;
        EXPECT_EQ(lab.b, lab1.b * weight) << weight;
        EXPECT_EQ(yiq.l, yiq1.l) << weight;
        EXPECT_EQ(yiq.a, yiq1.a * weight) << weight;
        EXPECT_EQ(yiq.b, yiq1.b * weight) << weight;
    }
}

// The perceptive search proves its answers from the estimate with this bound, so it is
// checked on every colour there is.
TEST(colorspace, lab_estimate_stays_within_its_bound_on_the_whole_cube)
{
    double worst_l = 0, worst_a = 0, worst_b = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                color_point exact = lab_from_srgb(r, g, b),
                            estimate = lab_estimate_from_srgb(r, g, b);
                worst_l = std::max(worst_l, std::fabs(exact.l - estimate.l));
                worst_a = std::max(worst_a, std::fabs(exact.a - estimate.a));
                worst_b = std::max(worst_b, std::fabs(exact.b - estimate.b));
            }
    // L = 116 fy - 16, a = 500 (fx - fy), b = 200 (fy - fz)
    EXPECT_LE(worst_l, 116 * lab_estimate_error);
    EXPECT_LE(worst_a, 1000 * lab_estimate_error);
    EXPECT_LE(worst_b, 400 * lab_estimate_error);
    EXPECT_GT(worst_l, 0);  // it is an estimate: the check above is not empty
}
