// SPDX-License-Identifier: BSD-2-Clause
// Reads the program's output back into cells, following its escape sequences as a
// terminal would, and checks that every line ends in the terminal's default colours.
#pragma once

#include <string>
#include <vector>

// One cell of output read back: palette indices, -1 for the terminal's default.
struct cell {
    long upper, lower;
    bool operator==(const cell &other) const
    {
        return upper == other.upper && lower == other.lower;
    }
};
struct parsed_output {
    std::vector<std::vector<cell>> lines;
    bool well_formed = true;  // every line ends on the default background
    std::string problem;
};
// Each line must start with margin spaces.
parsed_output parse_cells(const std::string &bytes, unsigned margin = 0);
