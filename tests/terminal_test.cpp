// SPDX-License-Identifier: BSD-2-Clause
// The output as real terminals show it: xterm under Xvfb, checked pixel by pixel against
// xterm's default 256-colour palette, and tmux's own parse of the same bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "magick.h"
#include "palette.h"
#include "support.h"

namespace {

bool have(const char *command)
{
    return std::system((std::string("command -v ") + command + " >/dev/null 2>&1").c_str()) == 0;
}

// Solid blocks of palette colours, a transparent column, and an odd last row, so the
// last line has no lower half. Every line ends in a half block: tmux trims nothing.
const rgba B = opaque(0, 0, 255), R = opaque(255, 0, 0), G = opaque(0, 255, 0),
           Y = opaque(128, 128, 128), M = opaque(95, 135, 175), T = clear;
const unsigned width = 8, height = 5;
const std::vector<rgba> blocks = {
    B, B, B, T, R, R, R, R,  //
    B, B, B, T, R, R, Y, Y,  //
    R, R, R, T, R, G, G, Y,  //
    R, R, R, T, R, G, G, M,  //
    M, M, M, T, M, G, G, G,  //
};
const terminal_cells size{width, 4};  // the width binds: drawn unscaled, 3 lines

// The palette index each pixel is matched to, -1 for transparent or missing.
long expected_index(unsigned x, unsigned y)
{
    if (y >= height || blocks[y * width + x].a == 0)
        return -1;
    const rgba &p = blocks[y * width + x];
    palette_scope scope(match_mode::rgb);
    return static_cast<long>(nearest_rgb(p.r, p.g, p.b));
}

struct pixel {
    int r, g, b;
};

pixel expected_pixel(long index)
{
    if (index < 0)
        return {0x12, 0x34, 0x56};  // the xterm's background
    rgb_triple c = palette_rgb(static_cast<unsigned long>(index));
    return {c.red, c.green, c.blue};
}

int to_8bit(double v)
{
    return static_cast<int>(std::lround(v * 255));
}

pixel screen_pixel(MagickWand *shot, long x, long y)
{
    PixelWand *colour = NewPixelWand();
    MagickGetImagePixelColor(shot, x, y, colour);
    pixel p{to_8bit(PixelGetRed(colour)), to_8bit(PixelGetGreen(colour)),
            to_8bit(PixelGetBlue(colour))};
    DestroyPixelWand(colour);
    return p;
}

std::string shown(const pixel &p)
{
    return std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b);
}

// Reads tmux's capture: SGR colours carry over from line to line, as tmux writes them.
std::vector<std::vector<cell>> tmux_cells(const std::string &text, std::size_t lines)
{
    std::vector<std::vector<cell>> result(1);
    long fg = -1, bg = -1;
    for (std::size_t pos = 0; pos < text.size() && result.size() <= lines;) {
        if (text[pos] == '\n') {
            result.emplace_back();
            ++pos;
        } else if (text.compare(pos, 2, "\033[") == 0) {
            std::size_t end = text.find('m', pos);
            std::vector<long> codes;
            for (std::size_t i = pos + 2; i < end;) {
                codes.push_back(std::stol(text.substr(i)));
                i = text.find_first_of(";m", i) + 1;
            }
            for (std::size_t i = 0; i < codes.size(); ++i) {
                if (codes[i] == 0)
                    fg = bg = -1;
                else if (codes[i] == 39)
                    fg = -1;
                else if (codes[i] == 49)
                    bg = -1;
                else if ((codes[i] == 38 || codes[i] == 48) && i + 2 < codes.size())
                    (codes[i] == 38 ? fg : bg) = codes[i + 2], i += 2;
            }
            pos = end + 1;
        } else if (text[pos] == ' ') {
            result.back().push_back({bg, bg});
            ++pos;
        } else if (text.compare(pos, 3, "\u2580") == 0) {
            result.back().push_back({fg, bg});
            pos += 3;
        } else if (text.compare(pos, 3, "\u2584") == 0) {
            result.back().push_back({bg, fg});
            pos += 3;
        } else {
            ADD_FAILURE() << "unexpected byte " << int(text[pos]) << " from tmux";
            break;
        }
    }
    result.resize(lines);
    return result;
}

}  // namespace

TEST(terminal, xterm_shows_each_half_cell_in_its_palette_colour)
{
    if (!have("Xvfb") || !have("xterm") || !have("xwd"))
        GTEST_SKIP() << "needs Xvfb, xterm and xwd";
    std::string dir = scratch_dir();
    std::string image = dir + "/blocks.png", screenshot = dir + "/screen.xwd";
    write_image(image, width, height, blocks);
    std::string command = std::string(TERMINAL_SCRIPTS "/xterm-shot ") + CELLPAINT_BINARY + " " +
                          image + " " + std::to_string(size.columns) + " " +
                          std::to_string(size.lines) + " " + screenshot;
    ASSERT_EQ(std::system(command.c_str()), 0);
    MagickWand *shot = NewMagickWand();
    ASSERT_TRUE(MagickReadImage(shot, ("xwd:" + screenshot).c_str()));
    // Cells are 10 x 20 pixels; each half is sampled at its middle.
    for (unsigned line = 0; line < 3; ++line)
        for (unsigned column = 0; column < width; ++column)
            for (unsigned half = 0; half < 2; ++half) {
                long expected = expected_index(column, 2 * line + half);
                pixel seen = screen_pixel(shot, 10 * column + 5, 20 * line + 5 + 10 * half);
                EXPECT_EQ(shown(seen), shown(expected_pixel(expected)))
                    << "line " << line << ", column " << column << (half ? ", lower" : ", upper")
                    << " half, palette index " << expected;
            }
    DestroyMagickWand(shot);
}

TEST(terminal, tmux_reads_back_the_colours_written)
{
    if (!have("tmux") || !have("timeout"))
        GTEST_SKIP() << "needs tmux and timeout";
    std::string dir = scratch_dir();
    std::string image = dir + "/blocks.png";
    write_image(image, width, height, blocks);
    std::string tmux = "tmux -L cellpaint-test-" + std::to_string(getpid()) + " -f /dev/null ";
    std::string start = tmux + "new-session -d -x " + std::to_string(size.columns) + " -y " +
                        std::to_string(size.lines) + " \"" + CELLPAINT_BINARY + " " + image + "; " +
                        tmux + "wait-for -S shown; sleep 60\"";
    ASSERT_EQ(std::system(start.c_str()), 0);
    // Bounded, so that a stuck tmux fails the test instead of hanging the suite; the
    // server goes whatever happened.
    int shown = std::system(("timeout 30 " + tmux + "wait-for shown").c_str());
    std::string capture = dir + "/capture.txt";
    int captured =
        std::system(("timeout 30 " + tmux + "capture-pane -e -p -N > " + capture).c_str());
    int killed = std::system(("timeout 30 " + tmux + "kill-server 2>/dev/null").c_str());
    ASSERT_EQ(shown, 0) << "tmux did not show the picture within 30 s";
    ASSERT_EQ(captured, 0);
    EXPECT_EQ(killed, 0);

    std::vector<std::vector<cell>> written = parse_cells(run_on_pty({image}, size).out).lines;
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(tmux_cells(read_file(capture), 3), written);
    for (unsigned line = 0; line < 3; ++line)
        for (unsigned column = 0; column < width; ++column)
            EXPECT_EQ(written[line][column], (cell{expected_index(column, 2 * line),
                                                   expected_index(column, 2 * line + 1)}))
                << "line " << line << ", column " << column;
}
