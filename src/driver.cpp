// SPDX-License-Identifier: BSD-2-Clause
#include "driver.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "geometry.h"
#include "input.h"
#include "match.h"
#include "output.h"
#include "render.h"

struct row_buffers {
    std::unique_ptr<unsigned long[]> upper, lower;
    std::size_t capacity;
};

static bool allocate_rows(row_buffers &rows, std::size_t width)
{
    rows.upper.reset(new (std::nothrow) unsigned long[width]);
    rows.lower.reset(new (std::nothrow) unsigned long[width]);
    rows.capacity = width;
    return rows.upper && rows.lower;
}

// The scaled image as the run walks it.
struct pixel_walk {
    PixelIterator *iterator;
    std::size_t width;
    bool has_alpha;
    diffusion *diffused;  // null: each pixel matched alone
};

static std::size_t convert(const pixel_walk &image, PixelWand **pixels, unsigned long *indices,
                           std::size_t count)
{
    if (image.diffused)
        return convert_row_diffused(pixels, indices, count, image.has_alpha, *image.diffused);
    return convert_row(pixels, indices, count, image.has_alpha);
}

// Walks the rows two at a time, one text line each; an image with no rows writes nothing.
static void render_image(const pixel_walk &image, std::FILE *output, unsigned long margin,
                         row_buffers &rows)
{
    std::size_t upper_count = 0;
    PixelWand **upper = PixelGetNextIteratorRow(image.iterator, &upper_count);
    while (upper) {
        upper_count = std::min(upper_count, rows.capacity);
        std::size_t width = convert(image, upper, rows.upper.get(), upper_count);
        std::size_t lower_count = 0;
        PixelWand **lower = PixelGetNextIteratorRow(image.iterator, &lower_count);
        lower_count = lower ? std::min(lower_count, rows.capacity) : 0;
        if (lower)
            width = std::max(width, convert(image, lower, rows.lower.get(), lower_count));
        write_line(output, margin, rows.upper.get(), upper_count, rows.lower.get(), lower_count,
                   width);
        upper = PixelGetNextIteratorRow(image.iterator, &upper_count);
        if (upper)
            end_line(output);
        else
            end_image(output);
    }
}

template <typename... Args> static int report(int status, const char *format, Args... args)
{
    std::fprintf(stderr, format, args...);
    return status;
}

// Builds the table and draws every row; gives the run's status.
static int draw_rows(const pixel_walk &image, std::FILE *output, const run_settings &settings,
                     const char *program)
{
    row_buffers rows{};
    int status = status_ok;
    if (build_palette_table() && allocate_rows(rows, image.width))
        render_image(image, output, settings.margin, rows);
    else
        status = report(status_out_of_memory, "%s: out of memory\n", program);
    release_palette_table();
    return status;
}

static int write_image(const pixel_walk &image, const run_settings &settings, const char *program)
{
    const std::string &name = settings.output_name;
    output_file output = open_output(name);
    if (output.is_picture)
        return report(status_output_failed,
                      "%s: won't write over the picture %s (remove it first, or name another "
                      "output file)\n",
                      program, name.c_str());
    if (!output.stream)
        return report(status_output_failed, "%s: couldn't open output file %s\n", program,
                      name.c_str());
    int status = draw_rows(image, output.stream, settings, program);
    if (status != status_ok)
        abandon_output(output);
    else if (!finish_output(output))
        status = report(status_output_failed, "%s: couldn't write output file %s\n", program,
                        name.empty() ? "<stdout>" : name.c_str());
    return status;
}

static const char *input_label(const std::string &name)
{
    return name == "-" ? "<stdin>" : name.c_str();
}

static int read_and_draw(MagickWand *wand, const run_settings &settings, const char *program)
{
    const std::string &name = settings.input_name;
    // Asked before the read: the JPEG size hint depends on it. A size on the command
    // line takes the terminal's place.
    terminal_size terminal =
        settings.columns ? terminal_size{settings.columns, settings.lines} : query_terminal_size();
    pixel_size source{};
    if (!read_image(wand, name, terminal, !settings.black_white, source))
        return report(status_input_failed, "%s: couldn't open input file %s\n", program,
                      input_label(name));
    if (settings.black_white)
        MagickTransformImageColorspace(wand, GRAYColorspace);
    fit_to_terminal(wand, terminal, source);
    PixelIterator *iterator = NewPixelIterator(wand);
    if (!iterator)
        return report(status_out_of_memory, "%s: out of memory\n", program);
    diffusion diffused;
    pixel_walk image{iterator, MagickGetImageWidth(wand),
                     MagickGetImageAlphaChannel(wand) == MagickTrue,
                     settings.dither ? &diffused : nullptr};
    int status = write_image(image, settings, program);
    DestroyPixelIterator(iterator);
    return status;
}

int show_image(const run_settings &settings, const char *program)
{
    MagickWand *wand = NewMagickWand();
    int status = read_and_draw(wand, settings, program);
    DestroyMagickWand(wand);
    return status;
}

int run_image(const run_settings &settings, const char *program)
{
    // Without its limits the library is not let near the input.
    if (!start_image_library())
        return report(status_input_failed, "%s: couldn't open input file %s\n", program,
                      input_label(settings.input_name));
    return show_image(settings, program);
}
