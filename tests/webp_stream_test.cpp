// SPDX-License-Identifier: BSD-2-Clause
// The WebP decoder of our own against the image library's read, on WebP files made
// here: lossy and lossless, with and without alpha, and what it leaves to the library
// (an animation). Where the rule applies, the reduced, fitted picture must be the one the
// library's read gives, sample for sample; where it does not, the library reads it.
#include "webp_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "input.h"
#include "support.h"

namespace {

struct fitted_picture {
    bool read = false, alpha = false;
    std::vector<std::uint16_t> samples;
};

fitted_picture fitted_by(bool ours, const std::string &path, terminal_size terminal)
{
    MagickWand *wand = NewMagickWand();
    pixel_size source{};
    fitted_picture p;
    p.read =
        ours ? read_image(wand, path, terminal, true, source) : read_image(wand, path, terminal);
    if (p.read) {
        if (!ours)
            source = {MagickGetImageWidth(wand), MagickGetImageHeight(wand)};
        fit_to_terminal(wand, terminal, source);
        p.alpha = MagickGetImageAlphaChannel(wand) == MagickTrue;
        std::size_t w = MagickGetImageWidth(wand), h = MagickGetImageHeight(wand);
        p.samples.resize(4 * w * h);
        MagickExportImagePixels(wand, 0, 0, w, h, "RGBA", ShortPixel, p.samples.data());
    }
    DestroyMagickWand(wand);
    return p;
}

}  // namespace

TEST(webp_stream, reads_as_the_library_reads)
{
    ASSERT_TRUE(start_image_library());
    std::string dir = scratch_dir();
    const std::string photo = "-seed 9 -size 150x100 plasma:fractal";
    const std::string alpha = photo + " \\( -size 150x100 radial-gradient:white-black \\) "
                                      "-alpha off -compose CopyOpacity -composite";
    struct {
        const char *why;
        std::string name, recipe;
        bool streamed;  // at 3 x 1 cells, where the rule applies
    } cases[] = {
        {"lossy", "lossy.webp", photo + " -quality 80", true},
        {"lossless", "lossless.webp", photo + " -define webp:lossless=true", true},
        {"lossy with alpha", "lossy-alpha.webp", alpha + " -quality 70", true},
        {"lossless with alpha", "lossless-alpha.webp", alpha + " -define webp:lossless=true", true},
        {"an animation is the library's", "anim.webp",
         "-delay 10 " + photo + " -seed 10 -size 150x100 plasma:fractal -loop 0", false},
    };
    for (const auto &c : cases) {
        std::string path = made_by_convert_in(dir, c.name, c.recipe);
        for (terminal_size terminal : {terminal_size{3, 1}, terminal_size{80, 24}}) {
            std::string what = std::string(c.why) + " at " + std::to_string(terminal.columns) +
                               "x" + std::to_string(terminal.lines);
            MagickWand *probe = NewMagickWand();
            pixel_size source{};
            bool streamed = read_webp_reduced(probe, path, terminal, source);
            DestroyMagickWand(probe);
            EXPECT_EQ(streamed, c.streamed && terminal.columns == 3) << what;
            fitted_picture ours = fitted_by(true, path, terminal);
            fitted_picture library = fitted_by(false, path, terminal);
            EXPECT_TRUE(ours.read) << what;
            EXPECT_EQ(ours.alpha, library.alpha) << what;
            EXPECT_TRUE(ours.samples == library.samples) << what;
        }
    }
}
