// SPDX-License-Identifier: BSD-2-Clause
#include "driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(fit_size, keeps_the_aspect_ratio_within_the_terminal)
{
    struct {
        const char *why;
        std::size_t width, height;
        terminal_size terminal;
        pixel_size expected;
    } cases[] = {
        {"the height binds", 640, 480, {80, 24}, {64, 48}},
        {"the width binds", 800, 100, {80, 24}, {80, 10}},
        {"small images are enlarged", 16, 16, {80, 24}, {48, 48}},
        {"equal ratios take the width", 80, 48, {80, 24}, {80, 48}},
        {"a sliver stays one pixel wide", 1, 3000, {80, 24}, {1, 48}},
        {"a line stays one pixel high", 3000, 1, {80, 24}, {80, 1}},
        {"the widest terminal", 1000000, 10, {65535, 65535}, {65535, 1}},
    };
    for (const auto &c : cases) {
        pixel_size size = fit_size(c.width, c.height, c.terminal);
        EXPECT_EQ(size.width, c.expected.width) << c.why;
        EXPECT_EQ(size.height, c.expected.height) << c.why;
    }
}

namespace {

run_settings parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "cellpaint");
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return parse_command_line(static_cast<int>(args.size()), argv.data());
}

}  // namespace

TEST(command_line, valid_arguments_give_these_settings)
{
    struct {
        std::vector<std::string> args;
        match_mode mode;
        double weight;
        unsigned long margin;
        bool black_white;
        const char *input, *output;
    } cases[] = {
        {{}, match_mode::rgb, 1, 0, false, "-", ""},
        {{"-yw", "2", "image.png"}, match_mode::yiq, 2, 0, false, "image.png", ""},
        {{"-py"}, match_mode::yiq, 1, 0, false, "-", ""},  // the last mode letter wins
        {{"-yp"}, match_mode::perceptive, 1, 0, false, "-", ""},
        {{"-m", "3x"}, match_mode::rgb, 1, 3, false, "-", ""},  // a trailing rest is ignored
        {{"-m", " 7"}, match_mode::rgb, 1, 7, false, "-", ""},
        {{"-m", "-0"}, match_mode::rgb, 1, 0, false, "-", ""},
        {{"-m", "65535"}, match_mode::rgb, 1, 65535, false, "-", ""},
        {{"-m", "4", "-m", ""}, match_mode::rgb, 1, 4, false, "-", ""},  // empty: unchanged
        {{"-w", "-1.5"}, match_mode::rgb, -1.5, 0, false, "-", ""},
        {{"-w", "0"}, match_mode::rgb, 0, 0, false, "-", ""},
        {{"--margin", "2", "--chroma-weight", "0.5", "--bw", "--perceptive"},
         match_mode::perceptive,
         0.5,
         2,
         true,
         "-",
         ""},
        {{"-b-yiq"}, match_mode::yiq, 1, 0, true, "-", ""},
        {{"-", "out.txt"}, match_mode::rgb, 1, 0, false, "out.txt", ""},  // a lone dash is skipped
        {{"in.png", "-p", "out.txt"}, match_mode::perceptive, 1, 0, false, "in.png", "out.txt"},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &arg : c.args)
            shown += "'" + arg + "' ";
        run_settings s = parse(c.args);
        EXPECT_EQ(s.mode, c.mode) << shown;
        EXPECT_EQ(s.chroma_weight, c.weight) << shown;
        EXPECT_EQ(s.margin, c.margin) << shown;
        EXPECT_EQ(s.black_white, c.black_white) << shown;
        EXPECT_EQ(s.input_name, c.input) << shown;
        EXPECT_EQ(s.output_name, c.output) << shown;
    }
}
