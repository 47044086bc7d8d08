// SPDX-License-Identifier: BSD-2-Clause
// The run, from reading the image to the exit status: the only code besides the
// command line's usage text that prints messages or chooses exit statuses.
#pragma once

#include "settings.h"

// The whole run: sets up the image library, then shows the image.
int run_image(const run_settings &settings, const char *program);
// Reads, scales and writes the image, once the library is set up.
int show_image(const run_settings &settings, const char *program);
