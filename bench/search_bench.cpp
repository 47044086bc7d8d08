// SPDX-License-Identifier: BSD-2-Clause
// Cost per pixel of the searches and of row conversion plus cell writing, on the pixels
// of a photo-like image scaled to a 240 x 67 terminal (nearly every colour distinct)
// and of a flat one (a few colours).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "geometry.h"
#include "match.h"
#include "palette.h"
#include "perceptual.h"
#include "render.h"
#include "settings.h"

namespace {

MagickWand *scaled_image(const char *source)
{
    MagickWandGenesis();
    SeedPseudoRandomGenerator(7);
    MagickWand *wand = NewMagickWand();
    MagickSetSize(wand, 640, 480);
    if (!MagickReadImage(wand, source))
        std::abort();
    fit_to_terminal(wand, {240, 67});
    return wand;
}

const char *const photo = "plasma:fractal";
const char *const flat = "pattern:checkerboard";

std::vector<rgb_triple> pixels_of(const char *source)
{
    MagickWand *wand = scaled_image(source);
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    std::vector<rgb_triple> pixels(width * height);
    MagickExportImagePixels(wand, 0, 0, width, height, "RGB", CharPixel, pixels.data());
    DestroyMagickWand(wand);
    return pixels;
}

void per_pixel(benchmark::State &state, std::size_t pixels)
{
    // Seconds per pixel, shown with its SI prefix (for example "160n" for 160 ns).
    state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(pixels),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

using search = unsigned long (*)(int, int, int);

void search_bench(benchmark::State &state, search nearest, match_mode mode, const char *source)
{
    matching_mode = mode;
    build_palette_table();
    std::vector<rgb_triple> pixels = pixels_of(source);
    for (auto _ : state)
        for (const rgb_triple &p : pixels)
            benchmark::DoNotOptimize(nearest(p.red, p.green, p.blue));
    per_pixel(state, pixels.size());
    release_palette_table();
    matching_mode = match_mode::rgb;
}

void convert_and_write(benchmark::State &state, match_mode mode, const char *source,
                       bool dither = false)
{
    matching_mode = mode;
    build_palette_table();
    MagickWand *wand = scaled_image(source);
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    std::vector<unsigned long> upper(width), lower(width);
    bool has_alpha = MagickGetImageAlphaChannel(wand) == MagickTrue;
    std::FILE *sink = std::fopen("/dev/null", "w");
    static char buffer[1 << 16];
    std::setvbuf(sink, buffer, _IOFBF, sizeof buffer);
    auto convert = [&](PixelWand **row, unsigned long *indices, std::size_t count,
                       diffusion &diffused) {
        return dither ? convert_row_diffused(row, indices, count, has_alpha, diffused)
                      : convert_row(row, indices, count, has_alpha);
    };
    for (auto _ : state) {
        PixelIterator *iterator = NewPixelIterator(wand);
        diffusion diffused;
        std::size_t count = 0;
        while (PixelWand **row = PixelGetNextIteratorRow(iterator, &count)) {
            std::size_t w = convert(row, upper.data(), count, diffused);
            std::size_t lower_count = 0;
            if (PixelWand **next = PixelGetNextIteratorRow(iterator, &lower_count))
                w = std::max(w, convert(next, lower.data(), lower_count, diffused));
            write_line(sink, 0, upper.data(), count, lower.data(), lower_count, w);
            end_line(sink);
        }
        DestroyPixelIterator(iterator);
    }
    per_pixel(state, width * height);
    std::fclose(sink);
    DestroyMagickWand(wand);
    release_palette_table();
    matching_mode = match_mode::rgb;
}

}  // namespace

BENCHMARK_CAPTURE(search_bench, rgb_photo, nearest_rgb, match_mode::rgb, photo);
BENCHMARK_CAPTURE(search_bench, rgb_flat, nearest_rgb, match_mode::rgb, flat);
BENCHMARK_CAPTURE(search_bench, rgb_plain_photo, nearest_rgb_reference, match_mode::rgb, photo);
BENCHMARK_CAPTURE(search_bench, cie94_photo, nearest_cie94, match_mode::perceptive, photo);
BENCHMARK_CAPTURE(search_bench, cie94_flat, nearest_cie94, match_mode::perceptive, flat);
BENCHMARK_CAPTURE(search_bench, cie94_plain_photo, nearest_cie94_reference, match_mode::perceptive,
                  photo);
BENCHMARK_CAPTURE(search_bench, yiq_photo, nearest_yiq, match_mode::yiq, photo);
BENCHMARK_CAPTURE(search_bench, yiq_flat, nearest_yiq, match_mode::yiq, flat);
BENCHMARK_CAPTURE(search_bench, yiq_plain_photo, nearest_yiq_reference, match_mode::yiq, photo);
BENCHMARK_CAPTURE(convert_and_write, rgb_photo, match_mode::rgb, photo);
BENCHMARK_CAPTURE(convert_and_write, cie94_photo, match_mode::perceptive, photo);
BENCHMARK_CAPTURE(convert_and_write, yiq_photo, match_mode::yiq, photo);
BENCHMARK_CAPTURE(convert_and_write, rgb_flat, match_mode::rgb, flat);
BENCHMARK_CAPTURE(convert_and_write, rgb_photo_dithered, match_mode::rgb, photo, true);
BENCHMARK_CAPTURE(convert_and_write, cie94_photo_dithered, match_mode::perceptive, photo, true);
BENCHMARK_CAPTURE(convert_and_write, yiq_photo_dithered, match_mode::yiq, photo, true);

BENCHMARK_MAIN();
