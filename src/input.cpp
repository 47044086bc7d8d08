// SPDX-License-Identifier: BSD-2-Clause
#include "input.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "png_stream.h"
#include "webp_stream.h"

// Stored sideways: upright, the width is the stored height.
static bool swaps_sides(OrientationType orientation)
{
    switch (orientation) {
    case LeftTopOrientation:
    case RightTopOrientation:
    case RightBottomOrientation:
    case LeftBottomOrientation: return true;
    default: return false;
    }
}

std::string jpeg_size_hint(std::size_t width, std::size_t height, OrientationType orientation,
                           terminal_size terminal)
{
    bool sideways = swaps_sides(orientation);
    terminal =
        sideways ? needed_size(height, width, terminal) : needed_size(width, height, terminal);
    std::size_t across = 2 * std::size_t{terminal.columns};
    std::size_t down = 4 * std::size_t{terminal.lines};
    if (sideways)
        std::swap(across, down);
    if (width < across || height < down)
        return "";
    return std::to_string(across) + "x" + std::to_string(down);
}

static void hint_jpeg_size(MagickWand *wand, MagickWand *ping, const char *format,
                           terminal_size terminal)
{
    if (!format || std::strcmp(format, "JPEG") != 0)
        return;
    std::string hint = jpeg_size_hint(MagickGetImageWidth(ping), MagickGetImageHeight(ping),
                                      MagickGetImageOrientation(ping), terminal);
    if (!hint.empty())
        MagickSetOption(wand, "jpeg:size", hint.c_str());
}

// "-", or "-" with a format named ("tga:-": formats without a signature need it).
static bool names_standard_input(const std::string &name)
{
    return name == "-" || (name.size() > 2 && name.compare(name.size() - 2, 2, ":-") == 0);
}

static bool starts_like_jpeg(const std::string &path)
{
    unsigned char start[3] = {};
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool jpeg = std::fread(start, 1, 3, file) == 3 && start[0] == 0xff && start[1] == 0xd8 &&
                start[2] == 0xff;
    std::fclose(file);
    return jpeg;
}

// A header-only look at a named input before it is read. Standard input and existing
// pipes or devices are never looked at: they can be read only once. Under the reader
// policy the library itself refuses what is not a bitmap, so only a JPEG, for its size
// hint, is looked at: some decoders decode the whole image even for a look (WebP).
static bool inspect_input(MagickWand *wand, const std::string &name, terminal_size terminal)
{
    struct stat info {};
    bool exists = stat(name.c_str(), &info) == 0;
    if (names_standard_input(name) || (exists && !S_ISREG(info.st_mode)))
        return true;
    if (reader_policy_in_force && !(exists && starts_like_jpeg(name)))
        return true;
    bool accepted = true;
    MagickWand *ping = NewMagickWand();
    if (MagickPingImage(ping, name.c_str()) == MagickTrue) {
        char *format = MagickGetImageFormat(ping);
        accepted = !is_refused_format(format);
        if (accepted && exists)
            hint_jpeg_size(wand, ping, format, terminal);
        MagickRelinquishMemory(format);
    }
    DestroyMagickWand(ping);
    return accepted;
}

static bool has_refused_format(MagickWand *wand)
{
    char *format = MagickGetImageFormat(wand);
    bool refused = is_refused_format(format);
    MagickRelinquishMemory(format);
    return refused;
}

// Colourspaces whose channels already are red, green and blue, or grey.
static bool is_rgb_or_grey(ColorspaceType space)
{
    switch (space) {
    case sRGBColorspace:
    case RGBColorspace:
    case scRGBColorspace:
    case GRAYColorspace:
    case LinearGRAYColorspace:
    case TransparentColorspace:
    case UndefinedColorspace: return true;
    default: return false;
    }
}

// Photos store their pixels as the sensor saw them and say which way is up (EXIF,
// TIFF and PNG tags); TGA files may be stored from the bottom or the right.
static void turn_upright(MagickWand *wand)
{
    OrientationType orientation = MagickGetImageOrientation(wand);
    if (orientation != UndefinedOrientation && orientation != TopLeftOrientation)
        MagickAutoOrientImage(wand);
}

// Only the first frame is drawn, so only it is decoded: the later pages of a fax TIFF
// cost more than the first. A name that picks its own frames ("anim.gif[2]") keeps them.
static std::string first_frame(const std::string &name)
{
    return !name.empty() && name.back() == ']' ? name : name + "[0]";
}

// A named regular file, as it is named: no format prefix, no frame, not a pipe.
static bool names_plain_file(const std::string &name)
{
    struct stat info {};
    return !names_standard_input(name) && name.back() != ']' && stat(name.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal, bool reduce,
                pixel_size &source)
{
    if (reduce && names_plain_file(name) &&
        (read_png_reduced(wand, name, terminal, source) ||
         read_webp_reduced(wand, name, terminal, source)))
        return true;
    if (!read_image(wand, name, terminal))
        return false;
    source = {MagickGetImageWidth(wand), MagickGetImageHeight(wand)};
    return true;
}

bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal)
{
    if (names_refused_reader(name) || !inspect_input(wand, name, terminal) ||
        MagickReadImage(wand, first_frame(name).c_str()) == MagickFalse)
        return false;
    // Some decoders give up part way and still return the image, with an error: the
    // pixels they never wrote hold whatever the heap held (a truncated HDR file).
    if (MagickGetExceptionType(wand) >= ErrorException)
        return false;
    // After a read the current image is the last frame; an optimized GIF's last frame
    // is only the rectangle that changed.
    MagickSetFirstIterator(wand);
    // A truncated file can be read "successfully" as 0 x 0, which cannot be walked.
    if (MagickGetImageWidth(wand) == 0 || MagickGetImageHeight(wand) == 0)
        return false;
    // What was not looked at before the read: a pipe, or a file the policy guards.
    if (has_refused_format(wand))
        return false;
    if (!is_rgb_or_grey(MagickGetImageColorspace(wand)))
        MagickTransformImageColorspace(wand, sRGBColorspace);
    turn_upright(wand);
    return true;
}
