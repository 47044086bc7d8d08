// SPDX-License-Identifier: BSD-2-Clause
#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

std::string quoted(const std::vector<std::string> &args)
{
    std::string text;
    for (const auto &arg : args)
        text += "'" + arg + "' ";
    return text;
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
        std::string shown = quoted(c.args);
        run_settings s = parse(c.args);
        EXPECT_EQ(s.mode, c.mode) << shown;
        EXPECT_EQ(s.chroma_weight, c.weight) << shown;
        EXPECT_EQ(s.margin, c.margin) << shown;
        EXPECT_EQ(s.black_white, c.black_white) << shown;
        EXPECT_EQ(s.input_name, c.input) << shown;
        EXPECT_EQ(s.output_name, c.output) << shown;
    }
}

TEST(command_line, dither_and_a_size_of_ones_own)
{
    struct {
        std::vector<std::string> args;
        bool dither;
        unsigned columns, lines;  // 0 x 0: the terminal's
        match_mode mode;
    } cases[] = {
        {{}, false, 0, 0, match_mode::rgb},
        {{"-d"}, true, 0, 0, match_mode::rgb},
        {{"--dither", "-p"}, true, 0, 0, match_mode::perceptive},
        {{"-pd"}, true, 0, 0, match_mode::perceptive},  // flags still group
        {{"-s", "80x24"}, false, 80, 24, match_mode::rgb},
        {{"-ds", "60x"}, true, 60, 65535, match_mode::rgb},  // the lines are the picture's
        {{"--size", "x20"}, false, 65535, 20, match_mode::rgb},
        {{"-s", "1x1"}, false, 1, 1, match_mode::rgb},
        {{"-s", "65535x65535"}, false, 65535, 65535, match_mode::rgb},
        {{"-s", "007x08"}, false, 7, 8, match_mode::rgb},
        {{"-s", "10x10", "-s", "x5"}, false, 65535, 5, match_mode::rgb},  // the last one holds
        {{"-b-size", "3x4"}, false, 3, 4, match_mode::rgb},
    };
    for (const auto &c : cases) {
        std::string shown = quoted(c.args);
        run_settings s = parse(c.args);
        EXPECT_EQ(s.dither, c.dither) << shown;
        EXPECT_EQ(s.columns, c.columns) << shown;
        EXPECT_EQ(s.lines, c.lines) << shown;
        EXPECT_EQ(s.mode, c.mode) << shown;
    }
}
