// SPDX-License-Identifier: BSD-2-Clause
#include "match.h"

#include "palette.h"
#include "perceptual.h"

nearest_search search_for(match_mode mode)
{
    switch (mode) {
    case match_mode::perceptive: return nearest_cie94;
    case match_mode::yiq: return nearest_yiq;
    case match_mode::rgb: break;
    }
    return nearest_rgb;
}

nearest_search reference_search_for(match_mode mode)
{
    switch (mode) {
    case match_mode::perceptive: return nearest_cie94_reference;
    case match_mode::yiq: return nearest_yiq_reference;
    case match_mode::rgb: break;
    }
    return nearest_rgb_reference;
}

bool build_palette_table()
{
    if (matching_mode == match_mode::rgb)
        return build_rgb_table();
    return build_perceptual_table();
}

void release_palette_table()
{
    release_rgb_table();
    release_perceptual_table();
}
