// SPDX-License-Identifier: BSD-2-Clause
#include "render.h"

#include <algorithm>

#include "colorspace.h"
#include "match.h"
#include "palette.h"
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

// A pixel the colour of the one before it takes its index: flat images repeat colours
// in runs.
template <bool has_alpha>
static std::size_t convert_pixels(PixelWand **pixels, unsigned long *indices, std::size_t count,
                                  nearest_search nearest)
{
    std::size_t width = 1;
    int last_red = -1, last_green = -1, last_blue = -1;
    unsigned long last_index = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // Exactly half opaque, and an alpha that is not a number, count as opaque.
        if (has_alpha && PixelGetAlpha(pixels[i]) < 0.5) {
            indices[i] = transparent_marker;
            continue;
        }
        int red = channel_to_8bit(PixelGetRed(pixels[i]));
        int green = channel_to_8bit(PixelGetGreen(pixels[i]));
        int blue = channel_to_8bit(PixelGetBlue(pixels[i]));
        if (red != last_red || green != last_green || blue != last_blue) {
            last_index = nearest(red, green, blue);
            last_red = red, last_green = green, last_blue = blue;
        }
        indices[i] = last_index;
        width = i + 1;
    }
    return width;
}

std::size_t convert_row(PixelWand **pixels, unsigned long *indices, std::size_t count,
                        bool has_alpha)
{
    nearest_search nearest = search_for(matching_mode);
    return has_alpha ? convert_pixels<true>(pixels, indices, count, nearest)
                     : convert_pixels<false>(pixels, indices, count, nearest);
}

// Floyd and Steinberg's weights, in sixteenths: to the pixel ahead in this row, then
// behind, below and ahead in the row below. Slots count from the spare pixel at the left.
static void spread(diffusion &state, std::size_t slot, bool leftward, const double error[3])
{
    std::size_t ahead = leftward ? slot - 1 : slot + 1, behind = leftward ? slot + 1 : slot - 1;
    for (std::size_t c = 0; c < 3; ++c) {
        double e = error[c] / 16;
        state.here[3 * ahead + c] += 7 * e;
        state.below[3 * behind + c] += 3 * e;
        state.below[3 * slot + c] += 5 * e;
        state.below[3 * ahead + c] += e;
    }
}

static double clamp_unit(double value)
{
    return value > 0 ? (value < 1 ? value : 1) : 0;  // NaN too goes to 0
}

// Every palette colour in linear light, worked out once.
struct linear_palette {
    double colour[palette_size][3];
    linear_palette()
    {
        for (unsigned long i = first_palette_colour; i < palette_size; ++i) {
            rgb_triple c = palette_rgb(i);
            colour[i][0] = srgb_to_linear(c.red);
            colour[i][1] = srgb_to_linear(c.green);
            colour[i][2] = srgb_to_linear(c.blue);
        }
    }
};

static const linear_palette linear_colours;

static unsigned long match_with_error(PixelWand *pixel, const double carried[3],
                                      nearest_search nearest, double error[3])
{
    double channel[3] = {PixelGetRed(pixel), PixelGetGreen(pixel), PixelGetBlue(pixel)};
    double wanted[3];
    int component[3];
    for (int c = 0; c < 3; ++c) {
        auto rounded = static_cast<int>(255 * clamp_unit(channel[c]) + 0.5);
        wanted[c] = clamp_unit(linear_component(rounded) + carried[c]);
        component[c] = component_from_linear(wanted[c]);
    }
    unsigned long index = nearest(component[0], component[1], component[2]);
    // A search that found no finite difference gives 0: nothing to reckon from.
    if (index < first_palette_colour) {
        error[0] = error[1] = error[2] = 0;
        return index;
    }
    for (int c = 0; c < 3; ++c)
        error[c] = wanted[c] - linear_colours.colour[index][c];
    return index;
}

std::size_t convert_row_diffused(PixelWand **pixels, unsigned long *indices, std::size_t count,
                                 bool has_alpha, diffusion &state)
{
    nearest_search nearest = search_for(matching_mode);
    // One spare pixel at each end takes what would leave the picture, and drops it.
    state.here.swap(state.below);
    state.here.resize(3 * (count + 2));
    state.below.assign(3 * (count + 2), 0.0);
    std::size_t width = 1;
    for (std::size_t n = 0; n < count; ++n) {
        std::size_t i = state.leftward ? count - 1 - n : n;
        // Transparent pixels neither take error nor pass it on.
        if (has_alpha && PixelGetAlpha(pixels[i]) < 0.5) {
            indices[i] = transparent_marker;
            continue;
        }
        double error[3];
        indices[i] = match_with_error(pixels[i], &state.here[3 * (i + 1)], nearest, error);
        spread(state, i + 1, state.leftward, error);
        width = std::max(width, i + 1);
    }
    state.leftward = !state.leftward;
    return width;
}

namespace {

// "\033[48;5;%lum" and "\033[38;5;%lum" for every palette index, made once: a photo
// changes colour at nearly every cell, and formatting each one costs more than the rest.
struct sgr_text {
    char text[12];
    std::size_t length;
};

struct sgr_table {
    sgr_text background[palette_size], foreground[palette_size];
    sgr_table()
    {
        for (unsigned long i = 0; i < palette_size; ++i) {
            background[i].length = make(background[i].text, "\033[48;5;%lum", i);
            foreground[i].length = make(foreground[i].text, "\033[38;5;%lum", i);
        }
    }
    static std::size_t make(char *text, const char *format, unsigned long index)
    {
        return static_cast<std::size_t>(std::snprintf(text, sizeof(sgr_text::text), format, index));
    }
};

const sgr_table sgr;

// Byte by byte without the stream's lock: a cell is a few bytes, and taking the lock
// and measuring the string for each of them costs more than writing them.
void put(std::FILE *output, const char *text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        putc_unlocked(text[i], output);
}

void put(std::FILE *output, const sgr_text &s)
{
    put(output, s.text, s.length);
}

const char upper_half[] = "\u2580", lower_half[] = "\u2584";

}  // namespace

void write_cell(std::FILE *output, unsigned long upper, unsigned long lower)
{
    const char *glyph = " ";
    std::size_t glyph_length = 1;
    unsigned long bg = upper;
    unsigned long fg = current_fg;
    if (upper != lower && lower == transparent_marker) {
        glyph = upper_half, glyph_length = sizeof upper_half - 1;
        bg = transparent_marker;
        fg = upper;
    } else if (upper != lower) {
        glyph = lower_half, glyph_length = sizeof lower_half - 1;
        fg = lower;
    }
    if (bg != current_bg) {
        if (bg == transparent_marker)
            put(output, "\033[49m", 5);
        else
            put(output, sgr.background[bg]);
    }
    if (fg != current_fg) {
        if (fg == 0)
            put(output, "\033[39m", 5);
        else
            put(output, sgr.foreground[fg]);
    }
    current_bg = bg;
    current_fg = fg;
    put(output, glyph, glyph_length);
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
