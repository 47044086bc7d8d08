// The one place that knows which ImageMagick the program is built against:
// the header's path, the resize call and the filter type's name differ between 6 and 7.
#pragma once

#include <cstddef>

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
    return MagickResizeImage(wand, columns, rows, filter, 1.0); // 1.0: no extra blur
#endif
}
