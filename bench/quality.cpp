// SPDX-License-Identifier: BSD-2-Clause
// quality CELLPAINT [photo:|graphic:]IMAGE...: runs the program on each image in every
// matching mode, with and without -d, at 80x24 and 160x48, reads its output back into
// the pixel grid a terminal shows, and prints the mean CIEDE2000 against the image's
// area average, per pixel and blurred, as a Markdown table.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "geometry.h"
#include "magick.h"
#include "quality_score.h"

namespace {

struct source {
    std::string kind, path;
    std::size_t width = 0, height = 0;
    std::vector<float> rgba;
};

bool load(source &image)
{
    MagickWand *wand = NewMagickWand();
    bool ok = MagickReadImage(wand, image.path.c_str()) == MagickTrue;
    if (ok) {
        MagickAutoOrientImage(wand);
        image.width = MagickGetImageWidth(wand);
        image.height = MagickGetImageHeight(wand);
        image.rgba.resize(4 * image.width * image.height);
        ok = MagickExportImagePixels(wand, 0, 0, image.width, image.height, "RGBA", FloatPixel,
                                     image.rgba.data()) == MagickTrue;
    }
    DestroyMagickWand(wand);
    return ok;
}

std::string run(const std::string &command)
{
    std::string out;
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

struct score {
    double per_pixel = 0, blurred = 0;
    int count = 0;
};

const terminal_size sizes[] = {{80, 24}, {160, 48}};
const char *const modes[] = {"", "-p", "-y"};

std::string size_name(terminal_size size)
{
    return std::to_string(size.columns) + "x" + std::to_string(size.lines);
}

// The image resized as the program resizes it, with every colour as it is: what the
// palette and the cells cost is the rest.
pixel_grid resized_only(const source &image, pixel_size fitted)
{
    MagickWand *wand = NewMagickWand();
    MagickConstituteImage(wand, image.width, image.height, "RGBA", FloatPixel, image.rgba.data());
    resize_image(wand, fitted.width, fitted.height, LanczosFilter);
    std::vector<float> rgba(4 * fitted.width * fitted.height);
    MagickExportImagePixels(wand, 0, 0, fitted.width, fitted.height, "RGBA", FloatPixel,
                            rgba.data());
    DestroyMagickWand(wand);
    return area_average(rgba, fitted.width, fitted.height, fitted.width, fitted.height);
}

void measure(const std::string &program, const source &image, std::map<std::string, score> &scores)
{
    for (terminal_size size : sizes) {
        pixel_size fitted = fit_size(image.width, image.height, size);
        pixel_grid reference =
            area_average(image.rgba, image.width, image.height, fitted.width, fitted.height);
        pixel_grid reference_blurred = blurred(reference);
        pixel_grid resized = resized_only(image, fitted);
        score &floor = scores[image.kind + "|resize|" + size_name(size)];
        floor.per_pixel += mean_difference(resized, reference);
        floor.blurred += mean_difference(blurred(resized), reference_blurred);
        ++floor.count;
        std::fprintf(stderr, "%-60s %-8s %-6s %6.3f %6.3f\n", image.path.c_str(),
                     size_name(size).c_str(), "resize", mean_difference(resized, reference),
                     mean_difference(blurred(resized), reference_blurred));
        for (const char *mode : modes)
            for (bool dither : {false, true}) {
                std::string options = std::string(mode) + (dither ? " -d" : "");
                std::string out = run("'" + program + "' -s " + size_name(size) + " " + options +
                                      " '" + image.path + "'");
                pixel_grid shown;
                if (!shown_grid(out, fitted.width, fitted.height, shown))
                    std::fprintf(stderr, "%s %s: output not well-formed\n", image.path.c_str(),
                                 options.c_str());
                double per_pixel = mean_difference(shown, reference);
                double blur = mean_difference(blurred(shown), reference_blurred);
                std::fprintf(stderr, "%-60s %-8s %-6s %6.3f %6.3f\n", image.path.c_str(),
                             size_name(size).c_str(), options.c_str(), per_pixel, blur);
                score &s = scores[image.kind + "|" + options + "|" + size_name(size)];
                s.per_pixel += per_pixel, s.blurred += blur, ++s.count;
            }
    }
}

void print_table(const std::string &kind, std::map<std::string, score> &scores)
{
    std::printf("| %ss | 80x24 per pixel | 80x24 blurred | 160x48 per pixel | 160x48 blurred |\n",
                kind.c_str());
    std::printf("|---|---|---|---|---|\n");
    for (const char *mode : modes)
        for (bool dither : {false, true}) {
            std::string options = std::string(mode) + (dither ? " -d" : "");
            std::printf("| `cellpaint%s%s` |", options.empty() || options[0] == ' ' ? "" : " ",
                        options.c_str());
            for (terminal_size size : sizes) {
                const score &s = scores[kind + "|" + options + "|" + size_name(size)];
                std::printf(" %.2f | %.2f |", s.per_pixel / s.count, s.blurred / s.count);
            }
            std::printf("\n");
        }
    std::printf("| the resized image, every colour as it is |");
    for (terminal_size size : sizes) {
        const score &s = scores[kind + "|resize|" + size_name(size)];
        std::printf(" %.2f | %.2f |", s.per_pixel / s.count, s.blurred / s.count);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CELLPAINT [photo:|graphic:]IMAGE...\n", argv[0]);
        return 2;
    }
    MagickWandGenesis();
    std::map<std::string, score> scores;
    std::vector<std::string> kinds;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        source image;
        std::size_t colon = arg.find(':');
        image.kind = colon == std::string::npos ? "photo" : arg.substr(0, colon);
        image.path = colon == std::string::npos ? arg : arg.substr(colon + 1);
        if (!load(image)) {
            std::fprintf(stderr, "cannot read %s\n", image.path.c_str());
            return 2;
        }
        bool known = false;
        for (const auto &k : kinds)
            known = known || k == image.kind;
        if (!known)
            kinds.push_back(image.kind);
        measure(argv[1], image, scores);
    }
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        if (k)
            std::printf("\n");
        print_table(kinds[k], scores);
    }
    MagickWandTerminus();
    return 0;
}
