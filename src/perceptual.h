// SPDX-License-Identifier: BSD-2-Clause
// The perceptual matching modes: CIE94 on CIELAB (perceptive) and squared distance
// in YIQ (yiq), over the run's perceptual table, which holds the palette colours
// converted once with the chroma weight in force when it is built. Both searches give
// the first smallest distance in index order, as their plain loops do.
#pragma once

#include "colorspace.h"

// Indexed directly by palette index, entries 16-255: Lab in mode perceptive, YIQ in yiq.
extern color_point *perceptual_table;

// CIE94, graphic-arts weights, with the first colour as the reference.
double cie94_distance(double l1, double a1, double b1, double l2, double a2, double b2);
unsigned long nearest_cie94(int red, int green, int blue);
unsigned long nearest_yiq(int red, int green, int blue);
// The plain loops over perceptual_table that the fast searches are checked against.
unsigned long nearest_cie94_reference(int red, int green, int blue);
unsigned long nearest_yiq_reference(int red, int green, int blue);

// Called through build_palette_table / release_palette_table (match.h).
bool build_perceptual_table();
void release_perceptual_table();
