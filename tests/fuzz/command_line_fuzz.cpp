// SPDX-License-Identifier: BSD-2-Clause
// Arguments built from the bytes (NUL-separated): the scan must end in a run, help or a
// usage error with one of its documented messages, and never start the image library.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "magick.h"

static bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

static bool documented_message(const std::string &message)
{
    if (message.empty())
        return true;
    for (const char *form : {"cellpaint: unrecognised option -",
                             "cellpaint: unrecognised long option --", "cellpaint: invalid margin ",
                             "cellpaint: invalid chroma weight ", "cellpaint: invalid size "})
        if (starts_with(message, form))
            return message.back() == '\n';
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> args{"cellpaint"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (size > 0)
        args.push_back(current);
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    command_line line = scan_arguments(static_cast<int>(args.size()), argv.data());
    const run_settings &s = line.settings;
    bool sound = line.status >= -1 && line.status <= 1 && documented_message(line.message) &&
                 (line.status == 1 || line.message.empty()) && s.margin <= 65535 &&
                 std::isfinite(s.chroma_weight) &&
                 // Both sides from the terminal, or both from -s, a free one the longest.
                 (s.columns == 0) == (s.lines == 0) && s.columns <= 65535 && s.lines <= 65535 &&
                 (s.input_name == "-" || s.input_name.empty() || s.input_name[0] != '-') &&
                 (s.output_name.empty() || s.output_name[0] != '-') &&
                 IsMagickWandInstantiated() == MagickFalse;
    if (!sound)
        std::abort();
    return 0;
}
