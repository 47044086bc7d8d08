// SPDX-License-Identifier: BSD-2-Clause
#include "geometry.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

terminal_size query_terminal_size()
{
    winsize size{};
    if (ioctl(1, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0)
        return {80, 24};
    return {size.ws_col, size.ws_row};
}

// Truncated to a signed 32-bit value, as the size type's range needs, and at least 1. A
// size that is not a number (a picture of no pixels, as a truncated header claims) is 1.
static std::size_t to_dimension(double value)
{
    if (!(value >= 1))
        return 1;
    if (value >= 2147483647.0)
        return 2147483647;
    return static_cast<std::size_t>(static_cast<std::int32_t>(value));
}

pixel_size fit_size(std::size_t width, std::size_t height, terminal_size terminal)
{
    auto w = static_cast<double>(width);
    auto h = static_cast<double>(height);
    double c = terminal.columns;
    double p = 2.0 * terminal.lines;  // two pixel rows to a text line
    if (w / h < c / p)
        return {to_dimension(std::floor(p * w / h)), to_dimension(p)};
    return {to_dimension(c), to_dimension(std::floor(h * c / w))};
}

terminal_size needed_size(std::size_t width, std::size_t height, terminal_size terminal)
{
    if (terminal.columns != longest_side && terminal.lines != longest_side)
        return terminal;
    pixel_size fitted = fit_size(width, height, terminal);
    if (terminal.columns == longest_side)
        terminal.columns = static_cast<unsigned>(fitted.width);
    if (terminal.lines == longest_side)
        terminal.lines = static_cast<unsigned>((fitted.height + 1) / 2);
    return terminal;
}

std::size_t reduction_factor(std::size_t width, std::size_t height, pixel_size fitted)
{
    if (width < 16 * fitted.width || height < 16 * fitted.height)
        return 1;
    return std::min(width / (8 * fitted.width), height / (8 * fitted.height));
}

bool replace_image(MagickWand *wand, std::size_t width, std::size_t height, const char *map,
                   const std::vector<std::uint16_t> &samples)
{
    // Made aside first, so that a failure leaves the picture as it was.
    MagickWand *made = NewMagickWand();
    bool ok =
        MagickConstituteImage(made, width, height, map, ShortPixel, samples.data()) == MagickTrue &&
        (MagickGetNumberImages(wand) == 0 || MagickRemoveImage(wand) == MagickTrue) &&
        MagickAddImage(wand, made) == MagickTrue;
    DestroyMagickWand(made);
    return ok;
}

// sum / count rounded to nearest, halves up; 0 for an empty count.
static std::uint16_t rounded_mean(std::uint64_t sum, std::uint64_t count)
{
    return count ? static_cast<std::uint16_t>((2 * sum + count) / (2 * count)) : 0;
}

reduction start_reduction(std::size_t width, std::size_t channels, std::size_t factor)
{
    return {width, channels, factor, std::vector<std::uint64_t>(4 * (width / factor), 0)};
}

// Block by block, so that a pixel's block is not found by a division.
template <bool alpha, typename sample>
static void add_row(reduction &r, const sample *row, std::size_t blocks)
{
    const sample *p = row;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::uint64_t *sum = &r.sums[4 * b];
        for (std::size_t i = 0; i < r.factor; ++i, p += alpha ? 4 : 3) {
            std::uint64_t weight = alpha ? p[3] : 1;
            sum[0] += weight * p[0];
            sum[1] += weight * p[1];
            sum[2] += weight * p[2];
            sum[3] += weight;
        }
    }
}

// With 8-bit samples v standing for 257 v, a weighted colour sum is 257 x 257 times, and
// a weight 257 times, what was summed: scale is 257 for them, 1 for 16-bit samples.
static void put_row(reduction &r, std::uint64_t scale, std::uint16_t *out)
{
    bool alpha = r.channels == 4;
    std::uint64_t count = r.factor * r.factor;
    for (std::size_t b = 0; b < r.width / r.factor; ++b) {
        std::uint64_t *sum = &r.sums[4 * b];
        for (std::size_t c = 0; c < 3; ++c)
            out[r.channels * b + c] =
                alpha ? rounded_mean(scale * sum[c], sum[3]) : rounded_mean(scale * sum[c], count);
        if (alpha)
            out[r.channels * b + 3] = rounded_mean(scale * sum[3], count);
    }
    std::fill(r.sums.begin(), r.sums.end(), 0);
    r.rows = 0;
}

template <typename sample>
static bool reduce(reduction &r, const sample *row, std::uint16_t *out, std::uint64_t scale)
{
    std::size_t blocks = r.width / r.factor;
    if (r.channels == 4)
        add_row<true>(r, row, blocks);
    else
        add_row<false>(r, row, blocks);
    if (++r.rows < r.factor)
        return false;
    put_row(r, scale, out);
    return true;
}

bool reduce_row(reduction &r, const std::uint16_t *row, std::uint16_t *out)
{
    return reduce(r, row, out, 1);
}

bool reduce_row(reduction &r, const std::uint8_t *row, std::uint16_t *out)
{
    return reduce(r, row, out, 257);
}

bool reduce_image(MagickWand *wand, std::size_t factor)
{
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    bool alpha = MagickGetImageAlphaChannel(wand) == MagickTrue;
    std::size_t channels = alpha ? 4 : 3;
    const char *map = alpha ? "RGBA" : "RGB";
    reduction r = start_reduction(width, channels, factor);
    // A row at a time: the whole picture is never copied out of the library.
    std::vector<std::uint16_t> row(channels * width);
    std::vector<std::uint16_t> reduced(channels * (width / factor) * (height / factor));
    std::uint16_t *out = reduced.data();
    for (std::size_t y = 0; y < height / factor * factor; ++y) {
        if (MagickExportImagePixels(wand, 0, static_cast<ssize_t>(y), width, 1, map, ShortPixel,
                                    row.data()) == MagickFalse)
            return false;
        if (reduce_row(r, row.data(), out))
            out += channels * (width / factor);
    }
    return replace_image(wand, width / factor, height / factor, map, reduced);
}

void fit_to_terminal(MagickWand *wand, terminal_size terminal, pixel_size source)
{
    pixel_size size = fit_size(source.width, source.height, terminal);
    std::size_t factor = reduction_factor(source.width, source.height, size);
    // A decoder of our own may have reduced it already: it is then narrower than source.
    if (factor > 1 && MagickGetImageWidth(wand) == source.width)
        reduce_image(wand, factor);
    resize_image(wand, size.width, size.height, LanczosFilter);
}

void fit_to_terminal(MagickWand *wand, terminal_size terminal)
{
    fit_to_terminal(wand, terminal, {MagickGetImageWidth(wand), MagickGetImageHeight(wand)});
}
