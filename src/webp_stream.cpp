// SPDX-License-Identifier: BSD-2-Clause
#include "webp_stream.h"

#include <webp/decode.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The picture is decoded whole, four bytes a pixel: no more than 256 MB of them. Past
// this (8192 x 8192) the library decides.
constexpr std::size_t largest_decoded_area = std::size_t{1} << 26;

// The first bytes of the file: enough for the header that gives the size.
std::vector<std::uint8_t> read_head(std::FILE *file)
{
    std::vector<std::uint8_t> bytes(64);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    return bytes;
}

// The rest of the file, as long as it stays within limit bytes in all.
bool read_rest(std::FILE *file, std::vector<std::uint8_t> &bytes, std::size_t limit)
{
    std::uint8_t buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && bytes.size() + n <= limit)
        bytes.insert(bytes.end(), buffer, buffer + n);
    return n == 0 && !std::ferror(file);
}

// The extended format's flags: an animation, or EXIF data, leave the file to the library.
bool plain_still(const std::vector<std::uint8_t> &bytes)
{
    if (bytes.size() < 21 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WEBP", 4) != 0)
        return false;
    if (std::memcmp(bytes.data() + 12, "VP8X", 4) != 0)
        return true;
    const std::uint8_t animation = 0x02, exif = 0x08;
    return (bytes[20] & (animation | exif)) == 0;
}

// In 8-bit RGB or RGBA, as the library asks for it; the filtering on a second thread,
// which changes no sample.
bool decode(const std::vector<std::uint8_t> &bytes, bool alpha, std::size_t width,
            std::vector<std::uint8_t> &decoded)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return false;
    config.options.use_threads = 1;
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = decoded.data();
    config.output.u.RGBA.stride = static_cast<int>((alpha ? 4 : 3) * width);
    config.output.u.RGBA.size = decoded.size();
    bool ok = WebPDecode(bytes.data(), bytes.size(), &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
    return ok;
}

}  // namespace

bool read_webp_reduced(MagickWand *wand, const std::string &path, terminal_size terminal,
                       pixel_size &source)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"),
                                                          std::fclose);
    // The header says the size: the rest of the file is read only for a picture reduced.
    if (!file)
        return false;
    std::vector<std::uint8_t> bytes = read_head(file.get());
    WebPBitstreamFeatures features;
    if (!plain_still(bytes) ||
        WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK ||
        features.has_animation || features.width <= 0 || features.height <= 0)
        return false;
    auto width = static_cast<std::size_t>(features.width);
    auto height = static_cast<std::size_t>(features.height);
    std::size_t factor = reduction_factor(width, height, fit_size(width, height, terminal));
    // No larger than a picture of the largest area decoded here could be stored plainly.
    if (factor == 1 || width * height > largest_decoded_area ||
        !read_rest(file.get(), bytes, 4 * largest_decoded_area))
        return false;
    std::size_t channels = features.has_alpha ? 4 : 3;
    std::vector<std::uint8_t> decoded(channels * width * height);
    if (!decode(bytes, features.has_alpha != 0, width, decoded))
        return false;
    bytes = {};
    // 8-bit samples, which the reduction takes as the library holds them: v x 257.
    reduction r = start_reduction(width, channels, factor);
    std::vector<std::uint16_t> reduced(channels * (width / factor) * (height / factor));
    std::uint16_t *out = reduced.data();
    for (std::size_t y = 0; y < height / factor * factor; ++y)
        if (reduce_row(r, &decoded[channels * width * y], out))
            out += channels * (width / factor);
    source = {width, height};
    return replace_image(wand, width / factor, height / factor, features.has_alpha ? "RGBA" : "RGB",
                         reduced);
}
