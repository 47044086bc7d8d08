// SPDX-License-Identifier: BSD-2-Clause
// A WebP decoder of our own for large pictures: libwebp decodes the picture once, in
// 8-bit samples, and the rows go into the reduction; the library's own read of a WebP
// file is several times slower. It reads only what it reads exactly as the library does.
#pragma once

#include <string>

#include "geometry.h"
#include "magick.h"

// Reads the WebP file at path, reduced by the factor the fit to terminal calls for, into
// the wand, and gives the picture's own size in source. False, with the wand untouched,
// when it does not apply: not a WebP, the reduction does not apply, an animation or a
// file with EXIF data (which the library may read an orientation from), a file libwebp
// cannot decode, or larger than 8192 x 8192; the library then reads the file as it
// always has.
bool read_webp_reduced(MagickWand *wand, const std::string &path, terminal_size terminal,
                       pixel_size &source);
