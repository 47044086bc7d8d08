// SPDX-License-Identifier: BSD-2-Clause
#include "png_stream.h"

#include <png.h>
#include <sys/stat.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct png_file {
    std::FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool warned = false;  // the library may read such a file otherwise: let it decide
    ~png_file()
    {
        if (png)
            png_destroy_read_struct(&png, &info, nullptr);
        if (file)
            std::fclose(file);
    }
};

[[noreturn]] void on_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void on_warning(png_structp png, png_const_charp)
{
    static_cast<png_file *>(png_get_error_ptr(png))->warned = true;
}

// A chunk's length is what the file claims, and libpng allocates it: a few bytes can
// claim gigabytes. Rows take at most half a megabyte; larger text and profiles than
// this are rare, and an allocation refused is an error, after which the library reads
// the file under its own limits.
constexpr png_alloc_size_t largest_allocation = 32 << 20;

png_voidp allocate(png_structp, png_alloc_size_t size)
{
    return size <= largest_allocation ? std::malloc(size) : nullptr;
}

void release(png_structp, png_voidp pointer)
{
    std::free(pointer);
}

// Runs a step of libpng's, which leaves by longjmp on an error: nothing in this frame
// changes after the setjmp, and the step's own objects are the caller's.
template <typename Step> bool guarded(png_file &f, Step step)
{
    if (setjmp(png_jmpbuf(f.png)))
        return false;
    step();
    return !f.warned;
}

bool open_png(png_file &f, const std::string &path)
{
    f.file = std::fopen(path.c_str(), "rb");
    unsigned char signature[8];
    if (!f.file || std::fread(signature, 1, 8, f.file) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        return false;
    f.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &f, on_error, on_warning, nullptr,
                                     allocate, release);
    f.info = f.png ? png_create_info_struct(f.png) : nullptr;
    if (!f.info)
        return false;
    png_init_io(f.png, f.file);
    png_set_sig_bytes(f.png, 8);
    png_set_user_limits(f.png, 65535, 65535);
    return true;
}

struct header {
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    bool alpha = false;
};

// The samples as the library holds them: palette, grey and depths below 8 expanded to
// 8-bit RGB (which the reduction takes as v x 257), the tRNS colour as alpha, 16 bits in
// host order.
void ask_for_rgb(png_file &f, header &h)
{
    png_read_info(f.png, f.info);
    png_get_IHDR(f.png, f.info, &h.width, &h.height, &h.depth, &h.colour, &h.interlace, nullptr,
                 nullptr);
    h.alpha =
        (h.colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(f.png, f.info, PNG_INFO_tRNS) != 0;
    png_set_expand(f.png);
    png_set_gray_to_rgb(f.png);
    const std::uint16_t probe = 1;
    if (h.depth == 16 && *reinterpret_cast<const unsigned char *>(&probe) == 1)
        png_set_swap(f.png);
    png_read_update_info(f.png, f.info);
}

bool has_exif(png_file &f)
{
#ifdef PNG_eXIf_SUPPORTED
    return png_get_valid(f.png, f.info, PNG_INFO_eXIf) != 0;
#else
    (void)f;
    return false;
#endif
}

// Which files are left to the library: what it reads differently, or would refuse.
bool streamable(png_file &f, const header &h)
{
    // Wider or taller than 65535, libpng has already stopped at the user limits.
    return h.interlace == PNG_INTERLACE_NONE && !has_exif(f) &&
           std::size_t{h.width} * h.height <= largest_streamed_area &&
           png_get_rowbytes(f.png, f.info) ==
               (h.alpha ? 4u : 3u) * (h.depth == 16 ? 2u : 1u) * h.width;
}

}  // namespace

bool read_png_reduced(MagickWand *wand, const std::string &path, terminal_size terminal,
                      pixel_size &source)
{
    png_file f;
    header h;
    if (!open_png(f, path) || !guarded(f, [&] { ask_for_rgb(f, h); }) || !streamable(f, h))
        return false;
    source = {h.width, h.height};
    std::size_t factor = reduction_factor(h.width, h.height, fit_size(h.width, h.height, terminal));
    if (factor == 1)
        return false;
    std::size_t channels = h.alpha ? 4 : 3;
    std::size_t width = h.width / factor, height = h.height / factor;
    reduction r = start_reduction(h.width, channels, factor);
    std::vector<std::uint16_t> row(channels * h.width), reduced(channels * width * height);
    auto *bytes = reinterpret_cast<std::uint8_t *>(row.data());
    std::size_t done = 0;
    // Every row is read, and the chunks after them: the library reads them all, and a
    // file that fails there is its to refuse.
    auto decode = [&] {
        for (png_uint_32 y = 0; y < h.height; ++y) {
            png_read_row(f.png, bytes, nullptr);
            std::uint16_t *out = &reduced[channels * width * done];
            if (y < height * factor &&
                (h.depth == 16 ? reduce_row(r, row.data(), out) : reduce_row(r, bytes, out)))
                ++done;
        }
        png_read_end(f.png, f.info);
    };
    if (!guarded(f, decode) || has_exif(f))
        return false;
    return replace_image(wand, width, height, h.alpha ? "RGBA" : "RGB", reduced);
}
