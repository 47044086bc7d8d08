// SPDX-License-Identifier: BSD-2-Clause
#include "command_line.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "geometry.h"

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
    "  -d, --dither                diffuse each pixel's color error to the pixels\n"
    "                              next to it (smoother gradients)\n"
    "  -s, --size [cols]x[lines]   fit this many columns and lines instead of the\n"
    "                              terminal's; either number may be left out\n"
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

namespace {

// What an option's value did to the settings.
enum class outcome {
    applied,
    not_read,  // nothing could be read: the usage text alone
    invalid,   // read, but out of range: a message naming the value first
};

bool is_negative_number(const char *value)
{
    while (std::isspace(static_cast<unsigned char>(*value)))
        ++value;
    return *value == '-';
}

// Read as "%lu" reads: leading white space skipped, a trailing rest ignored; an empty
// value converts nothing but is no error, and changes nothing.
outcome read_margin(run_settings &settings, const char *value)
{
    unsigned long number = 0;
    int items = std::sscanf(value, "%lu", &number);
    if (items == 0)
        return outcome::not_read;
    // "%lu" wraps a negative number around to a huge one; "-0" is harmless. A margin
    // wider than the widest terminal only floods the output.
    if (items == 1 && (number > longest_side || (is_negative_number(value) && number != 0)))
        return outcome::invalid;
    if (items == 1)
        settings.margin = number;
    return outcome::applied;
}

outcome read_chroma_weight(run_settings &settings, const char *value)
{
    double number = 0;
    int items = std::sscanf(value, "%lf", &number);
    if (items == 0)
        return outcome::not_read;
    // NaN or infinity would make every distance useless and every pixel index 0.
    if (items == 1 && !std::isfinite(number))
        return outcome::invalid;
    if (items == 1)
        settings.chroma_weight = number;
    return outcome::applied;
}

// Digits alone, 1 to 65535; an empty side is free (0).
bool read_side(const char *begin, const char *end, unsigned &side)
{
    side = 0;
    if (end - begin > 5)
        return false;
    for (const char *p = begin; p < end; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return false;
        side = 10 * side + static_cast<unsigned>(*p - '0');
    }
    return begin == end || (side >= 1 && side <= longest_side);
}

// COLSxLINES, COLSx or xLINES.
outcome read_size(run_settings &settings, const char *value)
{
    const char *x = std::strchr(value, 'x');
    unsigned columns = 0, lines = 0;
    if (!x || !read_side(value, x, columns) || !read_side(x + 1, x + std::strlen(x), lines) ||
        (columns == 0 && lines == 0))
        return outcome::invalid;
    settings.columns = columns ? columns : longest_side;
    settings.lines = lines ? lines : longest_side;
    return outcome::applied;
}

struct option {
    char letter;
    const char *name;   // the long option, after "--"
    const char *value;  // what its value is called in a message; null: it takes none
    outcome (*apply)(run_settings &settings, const char *value);  // null: help
};

// A flag's setting, as a row of the table can hold it.
template <auto setting, auto value> outcome set(run_settings &settings, const char *)
{
    settings.*setting = value;
    return outcome::applied;
}

const option options[] = {
    {'h', "help", nullptr, nullptr},
    {'m', "margin", "margin", read_margin},
    {'b', "bw", nullptr, set<&run_settings::black_white, true>},
    {'p', "perceptive", nullptr, set<&run_settings::mode, match_mode::perceptive>},
    {'w', "chroma-weight", "chroma weight", read_chroma_weight},
    {'y', "yiq", nullptr, set<&run_settings::mode, match_mode::yiq>},
    {'d', "dither", nullptr, set<&run_settings::dither, true>},
    {'s', "size", "size", read_size},
};

const option *by_letter(char letter)
{
    for (const option &o : options)
        if (o.letter == letter)
            return &o;
    return nullptr;
}

const option *by_name(const char *name)
{
    for (const option &o : options)
        if (std::strcmp(o.name, name) == 0)
            return &o;
    return nullptr;
}

// One left-to-right pass over the arguments. Each step gives false when the scan
// ends early, with help or a usage error in the result.
struct scanner {
    int argc;
    char **argv;
    int index;  // the argument being read
    command_line result;

    bool stop(int status, const char *phrase = nullptr, const char *what = nullptr)
    {
        result.status = status;
        if (phrase)
            result.message = std::string(argv[0]) + ": " + phrase + " " + what + "\n";
        return false;
    }

    // The value is always the next argument, whatever it starts with.
    bool take(const option &o)
    {
        if (!o.apply)
            return stop(status_ok);
        if (!o.value)
            return o.apply(result.settings, nullptr) == outcome::applied;
        if (index + 1 >= argc)
            return stop(status_usage);
        const char *value = argv[++index];
        switch (o.apply(result.settings, value)) {
        case outcome::applied: return true;
        case outcome::not_read: return stop(status_usage);
        case outcome::invalid: break;
        }
        return stop(status_usage, (std::string("invalid ") + o.value).c_str(), value);
    }

    // The letters after the '-'; a lone "-" is an empty group.
    bool group(const char *letters)
    {
        for (const char *p = letters; *p; ++p) {
            if (*p == '-') {
                // A long option takes the rest of the argument, so "-b-yiq" works.
                const option *o = by_name(p + 1);
                if (!o)
                    return stop(status_usage, "unrecognised long option",
                                (std::string("--") + (p + 1)).c_str());
                return take(*o);
            }
            const option *o = by_letter(*p);
            if (!o) {
                char name[3] = {'-', *p, '\0'};
                return stop(status_usage, "unrecognised option", name);
            }
            // Its value is the next argument, so a value letter must end the group.
            if (o->value && p[1] != '\0')
                return stop(status_usage);
            if (!take(*o))
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
