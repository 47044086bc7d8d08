// SPDX-License-Identifier: BSD-2-Clause
// Synthetic pixel rows (NaN, infinities, out-of-range channels, alpha around one half,
// empty and very long rows) through convert_row, alone or diffused, and the line writer. The output
// must read back as the cells of the rows' indices, every line ending in the default colours.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "cells.h"
#include "match.h"
#include "palette.h"
#include "render.h"
#include "settings.h"

namespace {

struct byte_reader {
    const std::uint8_t *data;
    std::size_t size, pos = 0;
    unsigned next() { return pos < size ? data[pos++] : 0; }
    bool done() const { return pos >= size; }
};

double channel_value(byte_reader &in)
{
    static const double special[] = {std::nan(""),
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     -0.1,
                                     0.0,
                                     0.4999999,
                                     0.5,
                                     0.5000001,
                                     std::nextafter(1.0, 0.0),
                                     1.0,
                                     1.2,
                                     1e300,
                                     -1e300,
                                     4.0 / 255};
    unsigned b = in.next();
    if (b < 128)
        return b / 127.0;
    return special[b % (sizeof special / sizeof special[0])];
}

// Sets the channels as they are, unclamped, as a high-dynamic-range build may give them.
void set_pixel(PixelWand *wand, double r, double g, double b, double alpha)
{
#ifdef CELLPAINT_MAGICK7
    PixelInfo pixel;
    PixelGetMagickColor(wand, &pixel);
    pixel.red = QuantumRange * r;
    pixel.green = QuantumRange * g;
    pixel.blue = QuantumRange * b;
    pixel.alpha = QuantumRange * alpha;
    PixelSetPixelColor(wand, &pixel);
#else
    MagickPixelPacket pixel;
    PixelGetMagickColor(wand, &pixel);
    pixel.red = QuantumRange * r;
    pixel.green = QuantumRange * g;
    pixel.blue = QuantumRange * b;
    pixel.opacity = QuantumRange * (1.0 - alpha);
    pixel.matte = MagickTrue;
    PixelSetMagickColor(wand, &pixel);
#endif
}

struct row {
    std::vector<PixelWand *> wands;
    std::vector<unsigned long> indices;
    std::size_t width = 0;
};

// Diffused when given a state: rows of any length in turn, as the run converts them.
row make_row(byte_reader &in, diffusion *diffused)
{
    row r;
    unsigned length = in.next();
    if (length > 250)
        length = 1000 + 100 * (length - 250);  // some very long rows
    for (unsigned i = 0; i < length; ++i) {
        PixelWand *wand = NewPixelWand();
        double red = channel_value(in), green = channel_value(in), blue = channel_value(in);
        set_pixel(wand, red, green, blue, channel_value(in));
        r.wands.push_back(wand);
    }
    r.indices.assign(length, 0);
    r.width = diffused
                  ? convert_row_diffused(r.wands.data(), r.indices.data(), length, true, *diffused)
                  : convert_row(r.wands.data(), r.indices.data(), length, true);
    return r;
}

long shown(unsigned long index)
{
    return index == transparent_marker ? -1 : long(index);
}

bool matches(const std::vector<cell> &line, const row &upper, const row *lower)
{
    std::size_t width = std::max(upper.width, lower ? lower->width : 0);
    if (line.size() != width)
        return false;
    for (std::size_t x = 0; x < width; ++x) {
        long up = x < upper.indices.size() ? shown(upper.indices[x]) : -1;
        long down = lower && x < lower->indices.size() ? shown(lower->indices[x]) : -1;
        if (line[x].upper != up || line[x].lower != down)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    MagickWandGenesis();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    byte_reader in{data, size};
    matching_mode = static_cast<match_mode>(in.next() % 3);
    chroma_weight = (static_cast<int>(in.next()) - 128) / 32.0;
    unsigned options = in.next();
    unsigned margin = options % 4;
    diffusion diffused;
    bool dither = options & 4;
    if (!build_palette_table())
        std::abort();
    std::vector<row> rows;
    while (!in.done() && rows.size() < 64)
        rows.push_back(make_row(in, dither ? &diffused : nullptr));

    char *text = nullptr;
    std::size_t length = 0;
    std::FILE *out = open_memstream(&text, &length);
    current_fg = current_bg = 0;
    for (std::size_t y = 0; y < rows.size(); y += 2) {
        const row &upper = rows[y];
        const row *lower = y + 1 < rows.size() ? &rows[y + 1] : nullptr;
        write_line(out, margin, upper.indices.data(), upper.indices.size(),
                   lower ? lower->indices.data() : nullptr, lower ? lower->indices.size() : 0,
                   std::max(upper.width, lower ? lower->width : 0));
        if (y + 2 < rows.size())
            end_line(out);
        else
            end_image(out);
    }
    std::fclose(out);
    parsed_output parsed = parse_cells(std::string(text, length), margin);
    std::free(text);

    bool sound = parsed.well_formed && parsed.lines.size() == (rows.size() + 1) / 2;
    for (std::size_t y = 0; sound && y < rows.size(); y += 2)
        sound = matches(parsed.lines[y / 2], rows[y], y + 1 < rows.size() ? &rows[y + 1] : nullptr);
    for (const row &r : rows)
        for (PixelWand *wand : r.wands)
            DestroyPixelWand(wand);
    release_palette_table();
    if (!sound)
        std::abort();
    return 0;
}
