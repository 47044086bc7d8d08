// SPDX-License-Identifier: BSD-2-Clause
// The settings of one run, as the command line leaves them, and the two of them
// that are process-wide because the colour conversions and searches read them
// directly: the matching mode and the chroma weight.
#pragma once

#include <string>

// Exit statuses that scripts rely on.
enum exit_status {
    status_ok = 0,
    status_usage = 1,
    status_output_failed = 2,
    status_input_failed = 3,
    status_out_of_memory = 4,
};

enum class match_mode { rgb = 0, perceptive = 1, yiq = 2 };

struct run_settings {
    match_mode mode = match_mode::rgb;
    double chroma_weight = 1.0;
    unsigned long margin = 0;  // spaces before every text line
    bool black_white = false;
    bool dither = false;  // error diffusion
    // The cells to fit (-s); 0 x 0: the terminal's. A side left free is the longest a
    // terminal can have, so that the picture's shape decides it.
    unsigned columns = 0, lines = 0;
    std::string input_name = "-";  // "-" is standard input
    std::string output_name;       // empty: standard output
};

// Written only from the command line's result, before any table is built.
extern match_mode matching_mode;
extern double chroma_weight;

// Makes the run's mode and weight the process-wide ones.
void publish_settings(const run_settings &settings);
