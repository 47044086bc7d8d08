// SPDX-License-Identifier: BSD-2-Clause
#include "magick.h"

#include <cctype>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstdlib>
#include <cstring>
#include <string>

// Readers that are not bitmap images, and that run scripts, fetch from the network,
// read other files or open windows when named (an MSL file can write files; on
// 6.9.11 "msl:x" crashes and "text:/etc/hostname" aborts).
static const char *const refused_readers[] = {
    "MSL", "TEXT", "TXT", "URL",   "HTTP",    "HTTPS", "FTP",  "EPHEMERAL", "SHOW",
    "WIN", "X",    "VID", "LABEL", "CAPTION", "PANGO", "INFO", "PS",        "PS2",
    "PS3", "EPS",  "EPI", "EPSF",  "EPSI",    "PDF",   "XPS",
};

// Vector drawing: refused by format, not by the policy, since the SVG renderer draws
// through it. Without the policy, SVG is refused too: its drawings can name any file
// in any of the readers above, and only the policy stops those nested reads.
static const char *const vector_formats[] = {"SVG", "SVGZ", "MSVG", "RSVG"};

bool reader_policy_in_force = false;

static bool is_refused_name(const std::string &format)
{
    for (const char *refused : refused_readers)
        if (format == refused)
            return true;
    if (format == "MVG")
        return true;
    if (!reader_policy_in_force)
        for (const char *vector : vector_formats)
            if (format == vector)
                return true;
    return false;
}

bool is_refused_format(const char *format)
{
    return format && is_refused_name(format);
}

static std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// An explicit "format:" prefix, or the extension, which the library goes by (a ping of
// "script.msl" would already run the script).
bool names_refused_reader(const std::string &name)
{
    std::size_t colon = name.find(':');
    if (colon != std::string::npos && is_refused_name(upper(name.substr(0, colon))))
        return true;
    std::string file = name.substr(0, name.find('['));  // "anim.gif[2]" picks a frame
    std::size_t slash = file.rfind('/'), dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    return is_refused_name(upper(file.substr(dot + 1)));
}

// Only denials: a policy of ours never grants what the system's own policy refuses.
// The largest single allocation also caps what a decoder allocates for a chunk of the
// length a file claims (a 295-byte PNG once made the PNG decoder zero 1.9 GB). Its
// pattern names it alone: without one it also answered "may links be followed?" with no.
static std::string security_policy()
{
    std::string readers;
    for (const char *refused : refused_readers)
        readers += std::string(readers.empty() ? "" : ",") + refused;
    return "<policymap>"
           "<policy domain=\"coder\" rights=\"none\" pattern=\"{" +
           readers +
           "}\"/>"
           "<policy domain=\"path\" rights=\"none\" pattern=\"@*\"/>"
           "<policy domain=\"system\" name=\"max-memory-request\" pattern=\"max-memory-request\" "
           "value=\"256MiB\"/>"
           "</policymap>";
}

// Enough for a photo to be decoded in memory; a decompression bomb fails fast
// instead of swapping, and one run stays under about 1 GiB resident.
static const struct {
    ResourceType type;
    MagickSizeType limit;
} resource_limits[] = {
    {WidthResource, 65535},  // the widest a terminal can be: more is never needed
    {HeightResource, 65535},
    {MemoryResource, MagickSizeType{256} << 20},
    {MapResource, MagickSizeType{512} << 20},
    {DiskResource, MagickSizeType{1} << 30},
};

static bool apply_security_policy()
{
    ExceptionInfo *exception = AcquireExceptionInfo();
    bool ok = SetMagickSecurityPolicy(security_policy().c_str(), exception) == MagickTrue &&
              exception->severity == UndefinedException;
    DestroyExceptionInfo(exception);
    return ok;
}

static bool tighten_limits()
{
    for (const auto &resource : resource_limits) {
        MagickSizeType current = GetMagickResourceLimit(resource.type);
        MagickSizeType wanted = current < resource.limit ? current : resource.limit;
        if (SetMagickResourceLimit(resource.type, wanted) == MagickFalse ||
            GetMagickResourceLimit(resource.type) > wanted)
            return false;
    }
    return true;
}

void keep_freed_memory()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most glibc takes
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

bool start_image_library()
{
    keep_freed_memory();
    MagickWandGenesis();
    std::atexit(MagickWandTerminus);
    // Some builds refuse a policy of ours on top of the system's (Debian's 6.9.11 in some
    // updates); the checks by name and format then stand alone. The policy goes first:
    // loading it resets the limits to the policy's own.
    reader_policy_in_force = apply_security_policy();
    return tighten_limits();
}
