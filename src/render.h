// SPDX-License-Identifier: BSD-2-Clause
// Pixel rows to palette indices, and pairs of indices to half-block cells with SGR
// colour sequences. Owns the writer's state: the colours last written, so that a
// sequence is written only when a colour changes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "magick.h"

// Both start at 0; current_bg equal to the transparent marker means the default background.
extern unsigned long current_fg;
extern unsigned long current_bg;

// A channel value of 0..1 as an 8-bit component: clamped, truncated, and 0 for NaN.
int channel_to_8bit(double value);

// Fills one palette index per pixel; gives the drawn width (transparent pixels at the
// right end are not drawn, and a row with nothing opaque is still one cell wide). Without
// an alpha channel every pixel is opaque: the library may leave such pixels' alpha unset.
std::size_t convert_row(PixelWand **pixels, unsigned long *indices, std::size_t count,
                        bool has_alpha);

// Error diffusion down one image, a row at a time from the top: what each pixel's match
// missed by is carried to the pixels ahead of it and below it.
struct diffusion {
    std::vector<double> here, below;  // three channels a pixel, one spare pixel each end
    bool leftward = false;            // every other row is scanned right to left
};
// convert_row with the error of the rows above taken in and passed on.
std::size_t convert_row_diffused(PixelWand **pixels, unsigned long *indices, std::size_t count,
                                 bool has_alpha, diffusion &state);

void write_cell(std::FILE *output, unsigned long upper, unsigned long lower);
// One text line: the margin, then width cells of the two rows' indices; a column past
// the end of a row (or of a missing lower row, count 0) is transparent.
void write_line(std::FILE *output, unsigned long margin, const unsigned long *upper,
                std::size_t upper_count, const unsigned long *lower, std::size_t lower_count,
                std::size_t width);
void end_line(std::FILE *output);   // a line that another one follows
void end_image(std::FILE *output);  // the last line: leaves the terminal's default colours
