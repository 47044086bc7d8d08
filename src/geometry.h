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

// One band of f rows of 16-bit samples (RGB or RGBA, alpha last) reduced to one row of
// width / f pixels; the columns past the last whole block are left out. With alpha, the
// alpha is the plain mean and each colour the mean weighted by alpha (0 where the block
// is wholly transparent); every mean rounded to nearest, halves up, in integers.
void reduce_band(const std::uint16_t *band, std::size_t width, std::size_t channels,
                 std::size_t factor, std::uint16_t *row);

// Replaces the wand's image by its reduction by factor; false when the library fails.
bool reduce_image(MagickWand *wand, std::size_t factor);

// Reduces the wand's image when the rule applies, then resizes it to the fitted size.
void fit_to_terminal(MagickWand *wand, terminal_size terminal);
