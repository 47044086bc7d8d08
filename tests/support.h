// SPDX-License-Identifier: BSD-2-Clause
// Helpers the tests share: running the built program with standard output on a
// pseudo-terminal of a chosen size (or a pipe), writing real image files, and
// reading the program's output back into cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cells.h"
#include "settings.h"

struct program_result {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    long max_rss_kib = 0;    // the program's peak resident memory
    double cpu_seconds = 0;  // user and system time: a busy machine does not change it
};

struct terminal_cells {
    unsigned columns, lines;
};

// Runs the program; standard output on a raw pty of the given size, standard
// input fed from stdin_data through a pipe.
program_result run_on_pty(const std::vector<std::string> &args, terminal_cells size,
                          const std::string &stdin_data = "");
// The same with standard output on a pipe.
program_result run_on_pipe(const std::vector<std::string> &args,
                           const std::string &stdin_data = "");

struct rgba {
    std::uint8_t r, g, b, a;
};
constexpr rgba opaque(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {r, g, b, 255};
}
constexpr rgba clear{0, 0, 0, 0};

// A fresh directory for the running test, removed at exit.
std::string scratch_dir();
// Writes pixels (row by row) with the image library; the format follows the name.
void write_image(const std::string &path, unsigned width, unsigned height,
                 const std::vector<rgba> &pixels);
// Runs an ImageMagick command line (convert ARGUMENTS DIR/NAME) to make a fixture;
// gives the file's path.
std::string made_by_convert_in(const std::string &dir, const std::string &name,
                               const std::string &arguments);
// Big-endian 32 bits, and a PNG chunk with its length and CRC, for hand-made files.
std::string be32(std::uint32_t v);
std::string png_chunk(const std::string &type, const std::string &data);
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);

// Sets the process-wide mode and weight and builds their table for one test;
// puts everything back when it goes.
struct palette_scope {
    explicit palette_scope(match_mode mode, double weight = 1.0);
    ~palette_scope();
    palette_scope(const palette_scope &) = delete;
    palette_scope &operator=(const palette_scope &) = delete;
};
