// SPDX-License-Identifier: BSD-2-Clause
#include "geometry.h"

#include <sys/ioctl.h>

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

void fit_to_terminal(MagickWand *wand, terminal_size terminal)
{
    pixel_size size = fit_size(MagickGetImageWidth(wand), MagickGetImageHeight(wand), terminal);
    resize_image(wand, size.width, size.height, LanczosFilter);
}
