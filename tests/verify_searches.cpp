// SPDX-License-Identifier: BSD-2-Clause
// Checks a fast search against its plain loop on every colour of the 8-bit cube (or every
// step-th value per channel): verify_searches rgb|perceptive|yiq WEIGHT [STEP]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "match.h"

#include "settings.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s rgb|perceptive|yiq weight [step]\n", argv[0]);
        return 2;
    }
    const char *mode = argv[1];
    matching_mode = std::strcmp(mode, "perceptive") == 0 ? match_mode::perceptive
                    : std::strcmp(mode, "yiq") == 0      ? match_mode::yiq
                                                         : match_mode::rgb;
    chroma_weight = std::atof(argv[2]);
    int step = argc > 3 ? std::atoi(argv[3]) : 1;
    if (!build_palette_table())
        return 2;
    nearest_search fast = search_for(matching_mode);
    nearest_search plain = reference_search_for(matching_mode);
    long checked = 0, differing = 0;
    for (int r = 0; r < 256; r += step)
        for (int g = 0; g < 256; g += step)
            for (int b = 0; b < 256; b += step, ++checked)
                if (fast(r, g, b) != plain(r, g, b) && differing++ < 10)
                    std::printf("%s weight %s: (%d, %d, %d) gives %lu, the plain loop %lu\n", mode,
                                argv[2], r, g, b, fast(r, g, b), plain(r, g, b));
    std::printf("%s weight %s: %ld colours, %ld differ\n", mode, argv[2], checked, differing);
    return differing == 0 ? 0 : 1;
}
