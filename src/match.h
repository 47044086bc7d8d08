// SPDX-License-Identifier: BSD-2-Clause
// The matching mode's one home: which search picks a pixel's palette index in each mode,
// and the run's palette table that the search reads, built once and released at the end.
#pragma once

#include "settings.h"

// A palette index 16-255 (0 when a perceptual search finds no finite difference).
using nearest_search = unsigned long (*)(int red, int green, int blue);

nearest_search search_for(match_mode mode);
// The plain loop over the table that the mode's fast search is checked against.
nearest_search reference_search_for(match_mode mode);

// Builds the table of the process-wide matching mode; false when out of memory.
bool build_palette_table();
void release_palette_table();
