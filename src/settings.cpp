// SPDX-License-Identifier: BSD-2-Clause
#include "settings.h"

match_mode matching_mode = match_mode::rgb;
double chroma_weight = 1.0;

void publish_settings(const run_settings &settings)
{
    matching_mode = settings.mode;
    chroma_weight = settings.chroma_weight;
}
