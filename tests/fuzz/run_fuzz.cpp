// SPDX-License-Identifier: BSD-2-Clause
// The whole run on image bytes written to a file: it must draw the image or report it
// unreadable, within the image library's limits, and nothing else.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"
#include "match.h"
#include "palette.h"
#include "render.h"

static std::string input_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char dir[] = "/tmp/cellpaint-fuzz-XXXXXX";
    if (!mkdtemp(dir) || !start_image_library())
        std::abort();
    input_path = std::string(dir) + "/input";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::FILE *file = std::fopen(input_path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    run_settings settings;
    settings.input_name = input_path;
    settings.output_name = "/dev/null";
    current_fg = current_bg = 0;
    int status = show_image(settings, "cellpaint");
    if (status != status_ok && status != status_input_failed)
        std::abort();
    return 0;
}
