// SPDX-License-Identifier: BSD-2-Clause
// The PNG decoder of our own against the image library's read, on every file of
// PngSuite (every colour type, depth, interlace and corruption): where the rule applies
// the reduced, fitted picture must be the one the library's read gives, sample for
// sample, alpha channel and all; where it does not, the library reads the file.
#include "png_stream.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "input.h"
#include "support.h"

namespace {

std::vector<std::string> pngsuite_files()
{
    std::vector<std::string> names;
    if (DIR *dir = opendir(PNGSUITE_DIR)) {
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(std::string(PNGSUITE_DIR) + "/" + name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct fitted_picture {
    bool read = false, alpha = false;
    std::size_t width = 0, height = 0;
    std::vector<std::uint16_t> samples;
};

fitted_picture fitted(MagickWand *wand, terminal_size terminal, pixel_size source)
{
    fitted_picture p;
    p.read = true;
    fit_to_terminal(wand, terminal, source);
    p.alpha = MagickGetImageAlphaChannel(wand) == MagickTrue;
    p.width = MagickGetImageWidth(wand);
    p.height = MagickGetImageHeight(wand);
    p.samples.resize(4 * p.width * p.height);
    MagickExportImagePixels(wand, 0, 0, p.width, p.height, "RGBA", ShortPixel, p.samples.data());
    return p;
}

fitted_picture through_the_program(const std::string &path, terminal_size terminal, bool &streamed)
{
    MagickWand *wand = NewMagickWand();
    pixel_size source{};
    fitted_picture p;
    streamed = read_png_reduced(wand, path, terminal, source);
    MagickWand *again = NewMagickWand();
    if (read_image(again, path, terminal, true, source))
        p = fitted(again, terminal, source);
    DestroyMagickWand(again);
    DestroyMagickWand(wand);
    return p;
}

fitted_picture through_the_library(const std::string &path, terminal_size terminal)
{
    MagickWand *wand = NewMagickWand();
    fitted_picture p;
    if (read_image(wand, path, terminal))
        p = fitted(wand, terminal, {MagickGetImageWidth(wand), MagickGetImageHeight(wand)});
    DestroyMagickWand(wand);
    return p;
}

}  // namespace

TEST(png_stream, every_pngsuite_file_reads_as_the_library_reads_it)
{
    std::vector<std::string> files = pngsuite_files();
    if (files.empty())
        GTEST_SKIP() << "PngSuite is not at " PNGSUITE_DIR;
    ASSERT_TRUE(start_image_library());
    int streamed_files = 0;
    // 1 x 1 cells: a 32 x 32 picture is 16 times its fit and is reduced by 4; at 80 x 24
    // the rule does not apply.
    for (terminal_size terminal : {terminal_size{1, 1}, terminal_size{80, 24}}) {
        for (const std::string &path : files) {
            bool streamed = false;
            fitted_picture ours = through_the_program(path, terminal, streamed);
            fitted_picture library = through_the_library(path, terminal);
            std::string what = path.substr(path.rfind('/') + 1) + " at " +
                               std::to_string(terminal.columns) + "x" +
                               std::to_string(terminal.lines);
            EXPECT_EQ(ours.read, library.read) << what;
            EXPECT_EQ(ours.alpha, library.alpha) << what;
            EXPECT_EQ(ours.width, library.width) << what;
            EXPECT_EQ(ours.height, library.height) << what;
            EXPECT_TRUE(ours.samples == library.samples) << what;
            streamed_files += streamed;
            if (terminal.columns == 80) {
                EXPECT_FALSE(streamed) << what << ": the rule does not apply";
            }
        }
    }
    // Most of the suite is plain: the decoder must really have read it.
    EXPECT_GT(streamed_files, 100) << "files read by our own decoder";
    std::printf("read by our own decoder: %d of %zu files\n", streamed_files, files.size());
}
