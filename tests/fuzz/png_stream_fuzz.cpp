// SPDX-License-Identifier: BSD-2-Clause
// Bytes written to a file and read by the PNG decoder of our own at sizes where the
// reduction applies: whenever it reads a file, the reduced picture must be the plain mean
// of the blocks of what the image library's own read gives, sample for sample, with an
// alpha channel exactly when the library's has one. Seeded with PngSuite.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "geometry.h"
#include "input.h"
#include "png_stream.h"

namespace {

std::string input_path;

struct samples {
    std::size_t width = 0, height = 0, channels = 0;
    std::vector<std::uint16_t> values;
};

samples exported(MagickWand *wand)
{
    samples s{MagickGetImageWidth(wand),
              MagickGetImageHeight(wand),
              MagickGetImageAlphaChannel(wand) == MagickTrue ? 4u : 3u,
              {}};
    s.values.resize(s.channels * s.width * s.height);
    MagickExportImagePixels(wand, 0, 0, s.width, s.height, s.channels == 4 ? "RGBA" : "RGB",
                            ShortPixel, s.values.data());
    return s;
}

// The reduction written out plainly, block by block, from the whole picture.
samples plainly_reduced(const samples &in, std::size_t f)
{
    samples out{in.width / f, in.height / f, in.channels, {}};
    for (std::size_t y = 0; y < out.height; ++y)
        for (std::size_t x = 0; x < out.width; ++x) {
            std::uint64_t colour[3] = {0, 0, 0}, alpha = 0;
            for (std::size_t j = y * f; j < y * f + f; ++j)
                for (std::size_t i = x * f; i < x * f + f; ++i) {
                    const std::uint16_t *p = &in.values[in.channels * (j * in.width + i)];
                    std::uint64_t a = in.channels == 4 ? p[3] : 1;
                    for (int c = 0; c < 3; ++c)
                        colour[c] += a * p[c];
                    alpha += a;
                }
            for (int c = 0; c < 3; ++c)
                out.values.push_back(
                    alpha ? static_cast<std::uint16_t>((2 * colour[c] + alpha) / (2 * alpha)) : 0);
            if (in.channels == 4)
                out.values.push_back(static_cast<std::uint16_t>((2 * alpha + f * f) / (2 * f * f)));
        }
    return out;
}

void check(terminal_size terminal)
{
    MagickWand *ours = NewMagickWand();
    pixel_size source{};
    if (read_png_reduced(ours, input_path, terminal, source)) {
        MagickWand *library = NewMagickWand();
        if (!read_image(library, input_path, terminal))
            std::abort();  // we drew what the library refuses
        pixel_size fitted = fit_size(source.width, source.height, terminal);
        samples expected = plainly_reduced(exported(library),
                                           reduction_factor(source.width, source.height, fitted));
        samples got = exported(ours);
        if (got.width != expected.width || got.height != expected.height ||
            got.channels != expected.channels || got.values != expected.values)
            std::abort();
        DestroyMagickWand(library);
    }
    DestroyMagickWand(ours);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char dir[] = "/tmp/cellpaint-fuzz-XXXXXX";
    if (!mkdtemp(dir) || !start_image_library())
        std::abort();
    input_path = std::string(dir) + "/input.png";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::FILE *file = std::fopen(input_path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    check({1, 1});
    check({3, 1});
    return 0;
}
