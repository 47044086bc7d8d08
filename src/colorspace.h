// SPDX-License-Identifier: BSD-2-Clause
// Conversions of 8-bit sRGB to CIELAB (D65) and to YIQ for the perceptual matching
// modes. Both scale their two chroma components by the process-wide chroma weight,
// and are applied alike to pixels and to palette colours. Double precision
// throughout, sums left to right as written: results must be the same everywhere.
#pragma once

// (L, a, b) or (Y, I, Q): lightness or luma first, then the two weighted chroma axes.
struct color_point {
    double l, a, b;
};

double srgb_to_linear(int component);
// srgb_to_linear by table; and its inverse on 0..1, the component the companded value
// rounds to, for carrying colour in linear light.
double linear_component(int component);
int component_from_linear(double value);
color_point lab_from_srgb(int red, int green, int blue);
// lab_from_srgb without its powers, for searches that can prove their answer from it:
// each companded value it works from is within lab_estimate_error of the exact one.
color_point lab_estimate_from_srgb(int red, int green, int blue);
constexpr double lab_estimate_error = 1e-13;
color_point yiq_from_srgb(int red, int green, int blue);
