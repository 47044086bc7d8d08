// SPDX-License-Identifier: BSD-2-Clause
// The one place that knows the image library: which ImageMagick the program is built
// against (the header's path, the resize call and the filter type's name differ between
// 6 and 7), and how it is set up before it sees untrusted input.
#pragma once

#include <cstddef>
#include <string>

#ifdef CELLPAINT_MAGICK7
#include <MagickWand/MagickWand.h>
using magick_filter = FilterType;
#else
#include <wand/MagickWand.h>
using magick_filter = FilterTypes;
#endif

inline MagickBooleanType resize_image(MagickWand *wand, std::size_t columns, std::size_t rows,
                                      magick_filter filter)
{
#ifdef CELLPAINT_MAGICK7
    return MagickResizeImage(wand, columns, rows, filter);
#else
    return MagickResizeImage(wand, columns, rows, filter, 1.0);  // 1.0: no extra blur
#endif
}

// The library frees and allocates image-sized buffers all through a run. Served from
// the heap and kept there when freed, they reuse pages already touched instead of
// faulting in fresh ones (a fault costs microseconds on a virtual machine).
void keep_freed_memory();

// Initialises the library (shut down at exit), refuses its non-bitmap readers where
// the library lets it, and tightens its resource limits; false when the limits did not take.
bool start_image_library();

// Whether the library took the policy that refuses non-bitmap readers, even in reads
// that other images make (an SVG drawing can name any file). Set by start_image_library.
extern bool reader_policy_in_force;

// Formats, and names (by "format:" prefix or extension), that are not bitmap images.
bool is_refused_format(const char *format);
bool names_refused_reader(const std::string &name);
