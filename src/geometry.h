// SPDX-License-Identifier: BSD-2-Clause
// The size the picture is drawn at: the terminal's on standard output, or the one the
// command line names, and the largest size with the picture's shape that fits it, two
// pixel rows to a text line.
#pragma once

#include <cstddef>

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
void fit_to_terminal(MagickWand *wand, terminal_size terminal);
