// SPDX-License-Identifier: BSD-2-Clause
#include "palette.h"

#include <new>

rgb_triple *rgb_table = nullptr;

rgb_triple palette_rgb(unsigned long index)
{
    if (index >= 232) {
        auto grey = static_cast<std::uint8_t>(8 + 10 * (index - 232));
        return {grey, grey, grey};
    }
    unsigned long n = index - 16;
    return {cube_levels[(n / 36) % 6], cube_levels[(n / 6) % 6], cube_levels[n % 6]};
}

unsigned long nearest_rgb_reference(int red, int green, int blue)
{
    unsigned long best_distance = 4294967295UL;
    unsigned long best_index = 0;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c) {
        int dr = rgb_table[c].red - red;
        int dg = rgb_table[c].green - green;
        int db = rgb_table[c].blue - blue;
        auto d = static_cast<unsigned long>(dr * dr + dg * dg + db * db);
        if (d < best_distance) {
            best_distance = d;
            best_index = c;
        }
    }
    return best_index;
}

namespace {

constexpr int square(int x)
{
    return x * x;
}

// For each 8-bit value, the cube level nearest it; on a tie (115, 155, 195, 235) the
// lower one, which belongs to the lower palette index.
struct level_table {
    std::uint8_t level[256];
    constexpr level_table() : level()
    {
        for (int v = 0; v < 256; ++v) {
            int best = 0;
            for (int i = 1; i < 6; ++i)
                if (square(cube_levels[i] - v) < square(cube_levels[best] - v))
                    best = i;
            level[v] = static_cast<std::uint8_t>(best);
        }
    }
};

constexpr level_table nearest_level;

}  // namespace

// The same choice as the reference loop, without visiting 240 entries. Distance in the
// cube is a sum of one term per channel, so its nearest entry takes the nearest level
// in each channel, and the lowest index among equals takes the lowest levels. On the
// grey ramp the distance is a parabola in the grey's value with its vertex at the mean
// of the components: only the two greys either side of the mean can be nearest. The
// ramp's indices all follow the cube's, so a grey must be strictly nearer to win.
unsigned long nearest_rgb(int red, int green, int blue)
{
    int r = nearest_level.level[red], g = nearest_level.level[green], b = nearest_level.level[blue];
    unsigned long best_index =
        first_palette_colour + static_cast<unsigned long>(36 * r + 6 * g + b);
    int best = square(cube_levels[r] - red) + square(cube_levels[g] - green) +
               square(cube_levels[b] - blue);
    int below = (red + green + blue - 24) / 30;  // greys are 8 + 10k; the mean is sum / 3
    for (int k = below < 0 ? 0 : below; k <= below + 1 && k < 24; ++k) {
        int grey = 8 + 10 * k;
        int d = square(grey - red) + square(grey - green) + square(grey - blue);
        if (d < best) {
            best = d;
            best_index = 232 + static_cast<unsigned long>(k);
        }
    }
    return best_index;
}

bool build_rgb_table()
{
    rgb_table = new (std::nothrow) rgb_triple[palette_size];
    if (!rgb_table)
        return false;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c)
        rgb_table[c] = palette_rgb(c);
    return true;
}

void release_rgb_table()
{
    delete[] rgb_table;
    rgb_table = nullptr;
}
