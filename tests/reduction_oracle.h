// SPDX-License-Identifier: BSD-2-Clause
// The reduction of large pictures written out plainly, pixel by pixel from the whole
// picture, for the tests and the fuzzer to check the row-at-a-time one against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "magick.h"

struct exported {
    std::size_t width, height, channels;
    std::vector<std::uint16_t> samples;
};

inline exported export_image(MagickWand *wand)
{
    exported e{MagickGetImageWidth(wand),
               MagickGetImageHeight(wand),
               MagickGetImageAlphaChannel(wand) == MagickTrue ? 4u : 3u,
               {}};
    e.samples.resize(e.width * e.height * e.channels);
    MagickExportImagePixels(wand, 0, 0, e.width, e.height, e.channels == 4 ? "RGBA" : "RGB",
                            ShortPixel, e.samples.data());
    return e;
}

// The reduction written out plainly, pixel by pixel, from the whole picture.
inline exported plainly_reduced(const exported &in, std::size_t f)
{
    exported out{in.width / f, in.height / f, in.channels, {}};
    for (std::size_t y = 0; y < out.height; ++y)
        for (std::size_t x = 0; x < out.width; ++x) {
            std::uint64_t colour[3] = {0, 0, 0}, alpha = 0;
            for (std::size_t j = y * f; j < y * f + f; ++j)
                for (std::size_t i = x * f; i < x * f + f; ++i) {
                    const std::uint16_t *p = &in.samples[in.channels * (j * in.width + i)];
                    std::uint64_t a = in.channels == 4 ? p[3] : 1;
                    for (int c = 0; c < 3; ++c)
                        colour[c] += a * p[c];
                    alpha += a;
                }
            for (int c = 0; c < 3; ++c)  // half up: floor(sum / alpha + 1/2)
                out.samples.push_back(
                    alpha == 0 ? 0
                               : static_cast<std::uint16_t>((2 * colour[c] + alpha) / (2 * alpha)));
            if (in.channels == 4)
                out.samples.push_back(
                    static_cast<std::uint16_t>((2 * alpha + f * f) / (2 * f * f)));
        }
    return out;
}
