#include "magick.h"

#include <cctype>
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

// Refused by format, since the library's SVG renderer draws through it.
static const char vector_drawing[] = "MVG";

static bool is_refused_reader(const std::string &format)
{
    for (const char *refused : refused_readers)
        if (format == refused)
            return true;
    return false;
}

bool is_refused_format(const char *format)
{
    return format && (std::strcmp(format, vector_drawing) == 0 || is_refused_reader(format));
}

bool names_refused_reader(const std::string &name)
{
    std::size_t colon = name.find(':');
    if (colon == std::string::npos)
        return false;
    std::string prefix = name.substr(0, colon);
    for (char &c : prefix)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return prefix == vector_drawing || is_refused_reader(prefix);
}

// Only denials: a policy of ours never grants what the system's own policy refuses.
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

bool start_image_library()
{
    MagickWandGenesis();
    std::atexit(MagickWandTerminus);
    // The policy first: loading it can reset the limits to the policy's own.
    return apply_security_policy() && tighten_limits();
}
