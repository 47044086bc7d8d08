// SPDX-License-Identifier: BSD-2-Clause
// The command line: one table of options, the scan of the arguments into the run's
// settings, and the usage text. Help and usage errors end the process here, before the
// image library is touched.
#pragma once

#include <string>

#include "settings.h"

// What the command line asks for: a run with these settings, help, or a usage error.
struct command_line {
    run_settings settings;
    int status = -1;      // -1: run; 0: help; 1: a usage error
    std::string message;  // written before the usage text of a usage error
};
command_line scan_arguments(int argc, char **argv);
run_settings parse_command_line(int argc, char **argv);
[[noreturn]] void show_usage(int status, const char *program);
