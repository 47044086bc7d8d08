#include "input.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

// The decoder may scale a JPEG down by a power of two while it stays at least twice the
// final size. Only for a JPEG at least that large: a smaller one the hint enlarges.
static void hint_jpeg_size(MagickWand *wand, MagickWand *ping, const char *format,
                           terminal_size terminal)
{
    std::size_t across = 2 * std::size_t{terminal.columns};
    std::size_t down = 4 * std::size_t{terminal.lines};
    if (format && std::strcmp(format, "JPEG") == 0 && MagickGetImageWidth(ping) >= across &&
        MagickGetImageHeight(ping) >= down) {
        std::string hint = std::to_string(across) + "x" + std::to_string(down);
        MagickSetOption(wand, "jpeg:size", hint.c_str());
    }
}

// A header-only look at a named input before it is read. Standard input and existing
// pipes or devices are never looked at: they can be read only once.
static bool inspect_input(MagickWand *wand, const std::string &name, terminal_size terminal)
{
    struct stat info {};
    bool exists = stat(name.c_str(), &info) == 0;
    if (name == "-" || (exists && !S_ISREG(info.st_mode)))
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

bool read_image(MagickWand *wand, const std::string &name, terminal_size terminal)
{
    if (names_refused_reader(name) || !inspect_input(wand, name, terminal) ||
        MagickReadImage(wand, name.c_str()) == MagickFalse)
        return false;
    // After a read the current image is the last frame; an optimized GIF's last frame
    // is only the rectangle that changed.
    MagickSetFirstIterator(wand);
    // A truncated file can be read "successfully" as 0 x 0, which cannot be walked.
    if (MagickGetImageWidth(wand) == 0 || MagickGetImageHeight(wand) == 0)
        return false;
    // A pipe cannot be looked at before it is read.
    if (has_refused_format(wand))
        return false;
    if (!is_rgb_or_grey(MagickGetImageColorspace(wand)))
        MagickTransformImageColorspace(wand, sRGBColorspace);
    return true;
}
