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
#include "reduction_oracle.h"

namespace {

std::string input_path;

void check(terminal_size terminal)
{
    MagickWand *ours = NewMagickWand();
    pixel_size source{};
    if (read_png_reduced(ours, input_path, terminal, source)) {
        MagickWand *library = NewMagickWand();
        if (!read_image(library, input_path, terminal))
            std::abort();  // we drew what the library refuses
        pixel_size fitted = fit_size(source.width, source.height, terminal);
        exported expected = plainly_reduced(export_image(library),
                                            reduction_factor(source.width, source.height, fitted));
        exported got = export_image(ours);
        if (got.width != expected.width || got.height != expected.height ||
            got.channels != expected.channels || got.samples != expected.samples)
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
