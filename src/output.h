// SPDX-License-Identifier: BSD-2-Clause
// Where the text goes. Standard output is written as the text is made; a named regular
// file is replaced whole or not at all: the text goes to a new file beside it, which is
// synced and then renamed over it. Terminals, devices, pipes and files this process
// already has open are written in place, as is a file whose directory takes no new file.
// A signal that ends the run removes the temporary file; a picture is never written over.
#pragma once

#include <cstdio>
#include <string>

struct output_file {
    std::FILE *stream = nullptr;  // null when the output cannot be opened or is a picture
    bool is_picture = false;      // the name is an existing image file, left untouched
    std::string temporary;        // empty when written in place
    std::string target;           // what the temporary file replaces: the name, links followed
};

// True when the bytes open the way an image file does (PNG, JPEG, GIF, WebP, TIFF, ...).
bool has_picture_signature(const std::string &head);
output_file open_output(const std::string &name);
// Flushes and closes, and puts the temporary file in place; false when anything failed,
// in which case the temporary file is gone and the old file untouched.
bool finish_output(output_file &output);
// For a run that failed before its end: the old file stays as it was.
void abandon_output(output_file &output);
