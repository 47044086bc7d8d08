// SPDX-License-Identifier: BSD-2-Clause
#include "command_line.h"
#include "driver.h"

int main(int argc, char **argv)
{
    // A process can be started with no arguments at all, not even its name.
    const char *program = argc > 0 ? argv[0] : "cellpaint";
    run_settings settings = parse_command_line(argc, argv);
    publish_settings(settings);
    return run_image(settings, program);
}
