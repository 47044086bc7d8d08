// SPDX-License-Identifier: BSD-2-Clause
// large_png WIDTH HEIGHT DEPTH OUT: writes a photo-like PNG (smooth colour fields with
// grain) a row at a time, so that sizes the image library's own limits refuse to make
// can still be benchmarked. DEPTH is 8 or 16.
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 5)
        return std::fprintf(stderr, "usage: %s WIDTH HEIGHT DEPTH OUT\n", argv[0]), 2;
    auto width = static_cast<png_uint_32>(std::atol(argv[1]));
    auto height = static_cast<png_uint_32>(std::atol(argv[2]));
    int depth = std::atoi(argv[3]);
    std::FILE *out = std::fopen(argv[4], "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!out || !png || !info || setjmp(png_jmpbuf(png)))
        return 1;
    png_init_io(png, out);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, depth, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(3 * width * static_cast<unsigned>(depth / 8));
    double top = depth == 16 ? 65535 : 255;
    std::uint32_t noise = 12345;
    for (png_uint_32 y = 0; y < height; ++y) {
        double v = static_cast<double>(y) / height;
        for (png_uint_32 x = 0; x < width; ++x) {
            double u = static_cast<double>(x) / width;
            double c[3] = {0.5 + 0.4 * std::sin(6 * u + 3 * v), 0.5 + 0.4 * std::sin(4 * v - 5 * u),
                           0.5 + 0.4 * std::cos(7 * u * v + 1)};
            for (int k = 0; k < 3; ++k) {
                noise = noise * 1664525u + 1013904223u;
                double s = c[k] + ((noise >> 24) / 255.0 - 0.5) * 0.06;
                auto q = static_cast<unsigned>(std::lround((s < 0 ? 0 : s > 1 ? 1 : s) * top));
                if (depth == 16) {
                    row[6 * x + 2 * k] = static_cast<unsigned char>(q >> 8);
                    row[6 * x + 2 * k + 1] = static_cast<unsigned char>(q & 255);
                } else {
                    row[3 * x + k] = static_cast<unsigned char>(q);
                }
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0 ? 0 : 1;
}
