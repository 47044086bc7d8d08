// SPDX-License-Identifier: BSD-2-Clause
// From an input name to the image the run draws: refuses names and formats that are
// not bitmaps, looks at a named file's header first (so that a large JPEG is decoded at
// reduced size), reads only the first frame, and leaves it upright in RGB or grey channels.
#pragma once

#include <cstddef>
#include <string>

#include "geometry.h"
#include "magick.h"

// The decoder may scale a JPEG down by a power of two while it stays at least twice the
// final size: the "jpeg:size" to ask for, or "" for a JPEG too small to gain from it (the
// hint would enlarge it). The terminal's sides are those of the upright picture; a side
// left free is reckoned from the fitted picture.
std::string jpeg_size_hint(std::size_t width, std::size_t height, OrientationType orientation,
                           terminal_size terminal);

// False when the input cannot be read or is refused; the wand then holds no image to draw.
// A large PNG file may be read reduced (when reduce allows it: not before a grey
// conversion); source is the picture's own size either way.
bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal, bool reduce,
                pixel_size &source);
// The library's read alone, as for a file no decoder of ours reads.
bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal);
