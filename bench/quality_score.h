// SPDX-License-Identifier: BSD-2-Clause
// Scores what a terminal shows against the picture: both as grids of linear-light RGB,
// compared pixel by pixel by CIEDE2000, and again after a Gaussian blur of one pixel,
// which is roughly what the eye sees of the cells from a normal distance.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct linear_rgb {
    double r, g, b;  // 0..1, linear light
};

struct pixel_grid {
    std::size_t width = 0, height = 0;
    std::vector<linear_rgb> pixels;  // row by row
    linear_rgb &at(std::size_t x, std::size_t y) { return pixels[y * width + x]; }
    const linear_rgb &at(std::size_t x, std::size_t y) const { return pixels[y * width + x]; }
};

// CIEDE2000 between two colours given as CIELAB (D65).
double ciede2000(double l1, double a1, double b1, double l2, double a2, double b2);
// The mean CIEDE2000 of two grids of one size.
double mean_difference(const pixel_grid &shown, const pixel_grid &reference);
// A Gaussian blur of sigma 1 pixel, in linear light; at the edges the weights that fall
// outside are left out and the rest renormalised.
pixel_grid blurred(const pixel_grid &grid);
// The source's area average over each pixel of a width x height grid, in linear light,
// over black where the source is transparent. The source is RGBA, 0..1, companded sRGB.
pixel_grid area_average(const std::vector<float> &rgba, std::size_t source_width,
                        std::size_t source_height, std::size_t width, std::size_t height);
// The grid a terminal shows for the program's output: each cell's two halves in the
// xterm palette's colours, the default background (and anything not drawn) as black.
// False when the output is not well-formed.
bool shown_grid(const std::string &output, std::size_t width, std::size_t height, pixel_grid &grid);
