// SPDX-License-Identifier: BSD-2-Clause
#include "driver.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "output.h"
#include "palette.h"
#include "render.h"

// ---- command line ----

static const char usage_text[] =
    "Usage: %s [ options ] [ infile ] [ outfile ]\n"
    "\n"
    "Convert bitmap images to 256 color block elements suitable for display in xterm\n"
    "and similar terminal emulators.\n"
    "\n"
    "Options:\n"
    "  -h, --help                  display this message\n"
    "  -m, --margin [width]        add a margin to the left of the image\n"
    "  -b, --bw                    display image in black/white mode\n"
    "  -p, --perceptive            use the CIE94 color difference formula for color\n"
    "                              conversion instead of simple RGB linear distance\n"
    "  -w, --chroma-weight [mult]  weighting for chroma in --perceptive and --yiq\n"
    "                              modes (default: 1)\n"
    "  -y, --yiq                   use linear distance in the YIQ color space\n"
    "                              instead of RGB for color conversion\n"
    "\n"
    "If the output file name is omitted the image is written to stdout. If both the\n"
    "input file name and the output file name are missing, cellpaint will act as a\n"
    "filter.\n"
    "\n"
    "Examples:\n"
    "  cellpaint -yw 2 image.png   display a bitmap image on the terminal using the\n"
    "                              YIQ color space for conversion with weighted\n"
    "                              chroma\n"
    "  cellpaint banner.png motd   save a bitmap image as a text file to display\n"
    "                              later\n";

void show_usage(int status, const char *program)
{
    std::FILE *stream = status == 0 ? stdout : stderr;
    std::fprintf(stream, usage_text, program);
    if (std::fflush(stream) != 0 && status == 0) {
        std::fprintf(stderr, "%s: couldn't write output file <stdout>\n", program);
        std::exit(status_output_failed);
    }
    std::exit(status);
}

// The widest terminal a size query can report; a wider margin only floods the output.
constexpr unsigned long widest_margin = 65535;

static bool is_negative_number(const char *value)
{
    while (std::isspace(static_cast<unsigned char>(*value)))
        ++value;
    return *value == '-';
}

// The short letter a long option stands for, or 0 for an unknown name.
static char long_option_letter(const char *name)
{
    static const struct {
        const char *name;
        char letter;
    } long_options[] = {{"help", 'h'},       {"margin", 'm'},        {"bw", 'b'},
                        {"perceptive", 'p'}, {"chroma-weight", 'w'}, {"yiq", 'y'}};
    for (const auto &option : long_options)
        if (std::strcmp(name, option.name) == 0)
            return option.letter;
    return 0;
}

namespace {

// One left-to-right pass over the arguments. Each step gives false when the scan
// ends early, with help or a usage error in the result.
struct scanner {
    int argc;
    char **argv;
    int index;  // the argument being read
    command_line result;

    bool stop(int status, const char *format = nullptr, const char *what = nullptr)
    {
        result.status = status;
        if (format) {
            int length = std::snprintf(nullptr, 0, format, argv[0], what);
            result.message.resize(static_cast<std::size_t>(length) + 1);
            std::snprintf(&result.message[0], result.message.size(), format, argv[0], what);
            result.message.pop_back();
        }
        return false;
    }

    // Reads a value as "%lu" / "%lf" do: leading white space skipped, a trailing rest
    // ignored; an empty value converts nothing but is no error, and changes nothing.
    bool read_margin(const char *value)
    {
        unsigned long number = 0;
        int items = std::sscanf(value, "%lu", &number);
        if (items == 0)
            return stop(status_usage);
        // "%lu" wraps a negative number around to a huge one; "-0" is harmless.
        if (items == 1 && (number > widest_margin || (is_negative_number(value) && number != 0)))
            return stop(status_usage, "%s: invalid margin %s\n", value);
        if (items == 1)
            result.settings.margin = number;
        return true;
    }

    bool read_chroma_weight(const char *value)
    {
        double number = 0;
        int items = std::sscanf(value, "%lf", &number);
        if (items == 0)
            return stop(status_usage);
        // NaN or infinity would make every distance useless and every pixel index 0.
        if (items == 1 && !std::isfinite(number))
            return stop(status_usage, "%s: invalid chroma weight %s\n", value);
        if (items == 1)
            result.settings.chroma_weight = number;
        return true;
    }

    // The value is always the next argument, whatever it starts with.
    bool value_option(char letter)
    {
        if (index + 1 >= argc)
            return stop(status_usage);
        const char *value = argv[++index];
        return letter == 'm' ? read_margin(value) : read_chroma_weight(value);
    }

    bool option(char letter)
    {
        run_settings &settings = result.settings;
        switch (letter) {
        case 'b': settings.black_white = true; return true;
        case 'p': settings.mode = match_mode::perceptive; return true;
        case 'y': settings.mode = match_mode::yiq; return true;
        case 'h': return stop(status_ok);
        case 'm':
        case 'w': return value_option(letter);
        }
        char name[2] = {letter, '\0'};
        return stop(status_usage, "%s: unrecognised option -%s\n", name);
    }

    // The letters after the '-'; a lone "-" is an empty group.
    bool group(const char *letters)
    {
        for (const char *p = letters; *p; ++p) {
            if (*p == '-') {
                // A long option takes the rest of the argument, so "-b-yiq" works.
                char letter = long_option_letter(p + 1);
                if (letter == 0)
                    return stop(status_usage, "%s: unrecognised long option --%s\n", p + 1);
                return option(letter);
            }
            // Its value is the next argument, so a value letter must end the group.
            if ((*p == 'm' || *p == 'w') && p[1] != '\0')
                return stop(status_usage);
            if (!option(*p))
                return false;
        }
        return true;
    }

    bool name(const char *arg, int &names)
    {
        if (names == 0)
            result.settings.input_name = arg;
        else if (names == 1)
            result.settings.output_name = arg;
        else
            return stop(status_usage);
        ++names;
        return true;
    }

    void scan()
    {
        int names = 0;
        for (index = 1; index < argc; ++index) {
            const char *arg = argv[index];
            if (!(arg[0] == '-' ? group(arg + 1) : name(arg, names)))
                return;
        }
    }
};

}  // namespace

command_line scan_arguments(int argc, char **argv)
{
    scanner scan{argc, argv, 1, {}};
    scan.scan();
    return scan.result;
}

run_settings parse_command_line(int argc, char **argv)
{
    command_line line = scan_arguments(argc, argv);
    if (line.status == status_usage)
        std::fputs(line.message.c_str(), stderr);
    if (line.status >= 0)
        show_usage(line.status, argv[0]);
    return line.settings;
}

// ---- geometry ----

terminal_size query_terminal_size()
{
    winsize size{};
    if (ioctl(1, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0)
        return {80, 24};
    return {size.ws_col, size.ws_row};
}

// Truncated to a signed 32-bit value, as the size type's range needs, and at least 1.
static std::size_t to_dimension(double value)
{
    auto truncated = static_cast<std::int32_t>(value);
    return truncated < 1 ? 1 : static_cast<std::size_t>(truncated);
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

void fit_to_terminal(MagickWand *wand, terminal_size terminal)
{
    pixel_size size = fit_size(MagickGetImageWidth(wand), MagickGetImageHeight(wand), terminal);
    resize_image(wand, size.width, size.height, LanczosFilter);
}

// ---- the run ----

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
};

// Walks the rows two at a time, one text line each; an image with no rows writes nothing.
static void render_image(const pixel_walk &image, std::FILE *output, unsigned long margin,
                         row_buffers &rows)
{
    std::size_t upper_count = 0;
    PixelWand **upper = PixelGetNextIteratorRow(image.iterator, &upper_count);
    while (upper) {
        upper_count = std::min(upper_count, rows.capacity);
        std::size_t width = convert_row(upper, rows.upper.get(), upper_count, image.has_alpha);
        std::size_t lower_count = 0;
        PixelWand **lower = PixelGetNextIteratorRow(image.iterator, &lower_count);
        lower_count = lower ? std::min(lower_count, rows.capacity) : 0;
        if (lower)
            width =
                std::max(width, convert_row(lower, rows.lower.get(), lower_count, image.has_alpha));
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
    // Asked before the read: the JPEG size hint depends on it.
    terminal_size terminal = query_terminal_size();
    if (!read_image(wand, name, terminal))
        return report(status_input_failed, "%s: couldn't open input file %s\n", program,
                      input_label(name));
    if (settings.black_white)
        MagickTransformImageColorspace(wand, GRAYColorspace);
    fit_to_terminal(wand, terminal);
    PixelIterator *iterator = NewPixelIterator(wand);
    if (!iterator)
        return report(status_out_of_memory, "%s: out of memory\n", program);
    pixel_walk image{iterator, MagickGetImageWidth(wand),
                     MagickGetImageAlphaChannel(wand) == MagickTrue};
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
