#include "palette.h"

#include <new>

#include "perceptual.h"
#include "settings.h"

const std::uint8_t cube_levels[6] = {0, 95, 135, 175, 215, 255};

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

unsigned long nearest_rgb(int red, int green, int blue)
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

static bool build_rgb_table()
{
    rgb_table = new (std::nothrow) rgb_triple[palette_size];
    if (!rgb_table)
        return false;
    for (unsigned long c = first_palette_colour; c < palette_size; ++c)
        rgb_table[c] = palette_rgb(c);
    return true;
}

bool build_palette_table()
{
    if (matching_mode == match_mode::rgb)
        return build_rgb_table();
    return build_perceptual_table();
}

void release_palette_table()
{
    delete[] rgb_table;
    rgb_table = nullptr;
    release_perceptual_table();
}
