#include "render.h"

#include "palette.h"
#include "perceptual.h"
#include "settings.h"

unsigned long current_fg = 0;
unsigned long current_bg = 0;

int channel_to_8bit(double value)
{
    double scaled = value * 255;
    if (!(scaled > 0))  // also NaN
        return 0;
    if (scaled >= 255)
        return 255;
    return static_cast<int>(scaled);
}

// The search is a template argument so that the mode is chosen once per row.
template <unsigned long (*nearest)(int, int, int)>
static std::size_t convert_pixels(PixelWand **pixels, unsigned long *indices, std::size_t count)
{
    std::size_t width = 1;
    for (std::size_t i = 0; i < count; ++i) {
        // Exactly half opaque, and an alpha that is not a number, count as opaque.
        if (PixelGetAlpha(pixels[i]) < 0.5) {
            indices[i] = transparent_marker;
            continue;
        }
        indices[i] = nearest(channel_to_8bit(PixelGetRed(pixels[i])),
                             channel_to_8bit(PixelGetGreen(pixels[i])),
                             channel_to_8bit(PixelGetBlue(pixels[i])));
        width = i + 1;
    }
    return width;
}

std::size_t convert_row(PixelWand **pixels, unsigned long *indices, std::size_t count)
{
    switch (matching_mode) {
    case match_mode::perceptive: return convert_pixels<nearest_cie94>(pixels, indices, count);
    case match_mode::yiq: return convert_pixels<nearest_yiq>(pixels, indices, count);
    case match_mode::rgb: break;
    }
    return convert_pixels<nearest_rgb>(pixels, indices, count);
}

void write_cell(std::FILE *output, unsigned long upper, unsigned long lower)
{
    const char *glyph = " ";
    unsigned long bg = upper;
    unsigned long fg = current_fg;
    if (upper != lower && lower == transparent_marker) {
        glyph = "\u2580";  // upper half block
        bg = transparent_marker;
        fg = upper;
    } else if (upper != lower) {
        glyph = "\u2584";  // lower half block
        fg = lower;
    }
    if (bg != current_bg) {
        if (bg == transparent_marker)
            std::fputs("\033[49m", output);
        else
            std::fprintf(output, "\033[48;5;%lum", bg);
    }
    if (fg != current_fg) {
        if (fg == 0)
            std::fputs("\033[39m", output);
        else
            std::fprintf(output, "\033[38;5;%lum", fg);
    }
    current_bg = bg;
    current_fg = fg;
    std::fputs(glyph, output);
}

void write_line(std::FILE *output, unsigned long margin, const unsigned long *upper,
                std::size_t upper_count, const unsigned long *lower, std::size_t lower_count,
                std::size_t width)
{
    for (unsigned long i = 0; i < margin; ++i)
        std::fputc(' ', output);
    for (std::size_t column = 0; column < width; ++column)
        write_cell(output, column < upper_count ? upper[column] : transparent_marker,
                   column < lower_count ? lower[column] : transparent_marker);
}

void end_line(std::FILE *output)
{
    if (current_bg == transparent_marker) {
        std::fputs("\n", output);
        return;
    }
    std::fputs("\033[49m\n", output);
    current_bg = transparent_marker;
}

void end_image(std::FILE *output)
{
    std::fputs(current_bg == transparent_marker ? "\033[39m\n" : "\033[39;49m\n", output);
}
