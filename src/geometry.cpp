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

// sum / count rounded to nearest, halves up; 0 for an empty count.
static std::uint16_t rounded_mean(std::uint64_t sum, std::uint64_t count)
{
    return count ? static_cast<std::uint16_t>((2 * sum + count) / (2 * count)) : 0;
}

void reduce_band(const std::uint16_t *band, std::size_t width, std::size_t channels,
                 std::size_t factor, std::uint16_t *row)
{
    bool alpha = channels == 4;
    for (std::size_t x = 0; x < width / factor; ++x) {
        std::uint64_t sum[4] = {0, 0, 0, 0};
        for (std::size_t y = 0; y < factor; ++y) {
            const std::uint16_t *p = band + channels * (y * width + x * factor);
            for (std::size_t i = 0; i < factor; ++i, p += channels) {
                std::uint64_t weight = alpha ? p[3] : 1;
                for (std::size_t c = 0; c < 3; ++c)
                    sum[c] += weight * p[c];
                sum[3] += weight;
            }
        }
        std::uint64_t count = factor * factor;
        for (std::size_t c = 0; c < 3; ++c)
            row[channels * x + c] = rounded_mean(sum[c], sum[3]);
        if (alpha)
            row[channels * x + 3] = rounded_mean(sum[3], count);
    }
}

bool reduce_image(MagickWand *wand, std::size_t factor)
{
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    bool alpha = MagickGetImageAlphaChannel(wand) == MagickTrue;
    std::size_t channels = alpha ? 4 : 3;
    const char *map = alpha ? "RGBA" : "RGB";
    std::size_t reduced_width = width / factor, reduced_height = height / factor;
    // A band of f rows at a time: the whole picture is never copied out of the library.
    std::vector<std::uint16_t> band(channels * width * factor);
    std::vector<std::uint16_t> reduced(channels * reduced_width * reduced_height);
    for (std::size_t y = 0; y < reduced_height; ++y) {
        if (MagickExportImagePixels(wand, 0, static_cast<ssize_t>(y * factor), width, factor, map,
                                    ShortPixel, band.data()) == MagickFalse)
            return false;
        reduce_band(band.data(), width, channels, factor, &reduced[channels * reduced_width * y]);
    }
    // Made aside first, so that a failure leaves the picture as it was.
    MagickWand *made = NewMagickWand();
    bool ok = MagickConstituteImage(made, reduced_width, reduced_height, map, ShortPixel,
                                    reduced.data()) == MagickTrue &&
              MagickRemoveImage(wand) == MagickTrue && MagickAddImage(wand, made) == MagickTrue;
    DestroyMagickWand(made);
    return ok;
}

void fit_to_terminal(MagickWand *wand, terminal_size terminal)
{
    std::size_t width = MagickGetImageWidth(wand), height = MagickGetImageHeight(wand);
    pixel_size size = fit_size(width, height, terminal);
    std::size_t factor = reduction_factor(width, height, size);
    if (factor > 1)
        reduce_image(wand, factor);
    resize_image(wand, size.width, size.height, LanczosFilter);
}
