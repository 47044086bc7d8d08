// From an input name to the image the run draws: refuses names and formats that are
// not bitmaps, looks at a named file's header first (so that a large JPEG is decoded at
// reduced size), reads only the first frame, and leaves it upright in RGB or grey channels.
#pragma once

#include <string>

#include "magick.h"

struct terminal_size {
    unsigned columns, lines;
};

// False when the input cannot be read or is refused; the wand then holds no image to draw.
bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal);
