// SPDX-License-Identifier: BSD-2-Clause
// The program's driver: the command line, and the run from reading the image to the
// exit status. The only code that prints messages or chooses exit statuses.
#pragma once

#include <cstddef>
#include <string>

#include "input.h"
#include "magick.h"
#include "settings.h"

// Exit statuses that scripts rely on.
enum exit_status {
    status_ok = 0,
    status_usage = 1,
    status_output_failed = 2,
    status_input_failed = 3,
    status_out_of_memory = 4,
};

struct pixel_size {
    std::size_t width, height;
};

// What the command line asks for: a run with these settings, help, or a usage error.
struct command_line {
    run_settings settings;
    int status = -1;      // -1: run; status_ok: help; status_usage: a usage error
    std::string message;  // written before the usage text of a usage error
};
command_line scan_arguments(int argc, char **argv);
// Help and usage errors end the process here, before the image library is touched.
run_settings parse_command_line(int argc, char **argv);
[[noreturn]] void show_usage(int status, const char *program);

// The size of the terminal on standard output; 80 x 24 when there is none.
terminal_size query_terminal_size();
// The largest size with the image's aspect ratio that fits the terminal's cells,
// two pixel rows to a text line; never below 1 x 1.
pixel_size fit_size(std::size_t width, std::size_t height, terminal_size terminal);
void fit_to_terminal(MagickWand *wand, terminal_size terminal);

// The whole run: sets up the image library, then shows the image.
int run_image(const run_settings &settings, const char *program);
// Reads, scales and writes the image, once the library is set up.
int show_image(const run_settings &settings, const char *program);
