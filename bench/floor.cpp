// SPDX-License-Identifier: BSD-2-Clause
// What the image library alone costs for cellpaint's work: the same read (with the same
// JPEG size hint and the header look that decides it, and the same decoder of our own
// for a large PNG), the same reduction, fit and resize to the
// terminal on standard output, and the pixels exported; no matching, no output.
#include <cstdio>
#include <vector>

#include "geometry.h"
#include "input.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s image\n", argv[0]);
        return 1;
    }
    // The library and the heap set up as cellpaint sets them up: the same limits, and
    // the same reader policy, under which only a JPEG is looked at before its read.
    if (!start_image_library())
        return 3;
    MagickWand *wand = NewMagickWand();
    terminal_size terminal = query_terminal_size();
    pixel_size source{};
    if (!read_image(wand, argv[1], terminal, true, source))
        return 3;
    fit_to_terminal(wand, terminal, source);
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    std::vector<float> pixels(width * height * 4);
    MagickExportImagePixels(wand, 0, 0, width, height, "RGBA", FloatPixel, pixels.data());
    DestroyMagickWand(wand);
    return pixels[0] < -1;  // keeps the export from being optimised away
}
