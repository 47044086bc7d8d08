// SPDX-License-Identifier: BSD-2-Clause
// The size the picture is drawn at: the terminal's on standard output, or the one the
// command line names; the largest size with the picture's shape that fits it, two pixel
// rows to a text line; and the exact reduction of a large picture before it is resized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "magick.h"

struct terminal_size {
    unsigned columns, lines;
};

// The widest and tallest a terminal can report; a side the command line leaves free
// (-s 60x) is this long, so that the picture's shape decides it.
constexpr unsigned longest_side = 65535;

struct pixel_size {
    std::size_t width, height;
};

// The size of the terminal on standard output; 80 x 24 when there is none.
terminal_size query_terminal_size();
// Never below 1 x 1.
pixel_size fit_size(std::size_t width, std::size_t height, terminal_size terminal);
// A free side shortened to what the fitted picture needs, so that a decoder's size hint
// can be reckoned from it; sides the terminal or the command line bounds stay.
terminal_size needed_size(std::size_t width, std::size_t height, terminal_size terminal);

// A picture at least 16 times its fitted size both ways is first reduced by a whole
// factor to between 8 and 16 times it, each pixel the mean of an f x f block: the resize
// that follows then reads a few pixels each, not hundreds. Gives f, or 1 for no reduction.
std::size_t reduction_factor(std::size_t width, std::size_t height, pixel_size fitted);

// The reduction made a row at a time, so that a decoder can feed it rows as it decodes
// them and no more than one row of the picture is ever held. Samples are 16-bit RGB or
// RGBA (alpha last). With alpha, the alpha is the plain mean and each colour the mean
// weighted by alpha (0 where the block is wholly transparent); every mean is rounded to
// nearest, halves up, in integers. Columns past the last whole block are left out.
struct reduction {
    std::size_t width, channels, factor;  // of the rows fed in
    std::vector<std::uint64_t> sums;      // four a block: the weighted colours, the weight
    std::size_t rows = 0;                 // fed in since the last row came out
};
reduction start_reduction(std::size_t width, std::size_t channels, std::size_t factor);
// Adds one row; once factor rows are in, writes the reduced row (width / factor pixels)
// to out and gives true.
bool reduce_row(reduction &r, const std::uint16_t *row, std::uint16_t *out);
// The same for 8-bit samples, each standing for v x 257: the factor is applied to the
// sums, exactly, so that a decoder need not widen every sample first.
bool reduce_row(reduction &r, const std::uint8_t *row, std::uint16_t *out);

// Replaces the wand's image by its reduction by factor; false when the library fails.
bool reduce_image(MagickWand *wand, std::size_t factor);
// Replaces the wand's image by these 16-bit samples ("RGB" or "RGBA" map); false when the
// library fails, and the old image is then kept.
bool replace_image(MagickWand *wand, std::size_t width, std::size_t height, const char *map,
                   const std::vector<std::uint16_t> &samples);

// Reduces the wand's image when the rule applies, then resizes it to the size that fits
// the picture's own size (source), which a decoder of our own may have reduced already.
void fit_to_terminal(MagickWand *wand, terminal_size terminal, pixel_size source);
void fit_to_terminal(MagickWand *wand, terminal_size terminal);
