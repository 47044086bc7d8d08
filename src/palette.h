// SPDX-License-Identifier: BSD-2-Clause
// The terminal's 256-colour palette (only entries 16-255 are ever chosen), the
// rgb mode's table, and the default match: smallest squared 8-bit RGB distance.
#pragma once

#include <cstdint>

struct rgb_triple {
    std::uint8_t red, green, blue;
};

// Stands for a transparent or missing pixel; drawn in the terminal's default colour.
constexpr unsigned long transparent_marker = 1;
constexpr unsigned long first_palette_colour = 16;
constexpr unsigned long palette_size = 256;

constexpr std::uint8_t cube_levels[6] = {0, 95, 135, 175, 215, 255};

// Indexed directly by palette index; entries 0-15 are never filled or read.
extern rgb_triple *rgb_table;

rgb_triple palette_rgb(unsigned long index);  // index 16-255
// The first palette index, in index order, at the smallest squared distance.
unsigned long nearest_rgb(int red, int green, int blue);
// The plain loop over rgb_table that the fast search is checked against.
unsigned long nearest_rgb_reference(int red, int green, int blue);

// Called through build_palette_table / release_palette_table (match.h).
bool build_rgb_table();
void release_rgb_table();
