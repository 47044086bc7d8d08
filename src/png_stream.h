// SPDX-License-Identifier: BSD-2-Clause
// A PNG decoder of our own for large pictures: rows come from libpng one at a time and
// go straight into the reduction, so that memory grows with the width, not the area.
// It reads only what it reads exactly as the image library does; the rest it leaves.
#pragma once

#include <cstddef>
#include <string>

#include "geometry.h"
#include "magick.h"

// The largest picture it decodes: about 16384 x 16384, a few seconds of decoding. Past
// it, or past 65535 either way, the library decides (and refuses).
constexpr std::size_t largest_streamed_area = std::size_t{1} << 28;

// Reads the PNG file at path, reduced by the factor the fit to terminal calls for, into
// the wand (its only image), and gives the picture's own size in source. False, with the
// wand untouched, when it does not apply: not a PNG, the reduction does not apply, a
// kind of file the library reads otherwise (interlaced, an eXIf chunk, anything libpng
// warns of or fails on), or too large; the library then reads the file as it always has.
bool read_png_reduced(MagickWand *wand, const std::string &path, terminal_size terminal,
                      pixel_size &source);
