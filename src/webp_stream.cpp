// SPDX-License-Identifier: BSD-2-Clause
#include "webp_stream.h"

#include <webp/decode.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The picture is decoded whole, four bytes a pixel: no more than 256 MB of them. Past
// this (8192 x 8192) the library decides.
constexpr std::size_t largest_decoded_area = std::size_t{1} << 26;

bool is_webp(const std::uint8_t *start)
{
    return std::memcmp(start, "RIFF", 4) == 0 && std::memcmp(start + 8, "WEBP", 4) == 0;
}

// The whole file, once its first bytes say WebP: the decoder takes it in one piece. No
// larger than a picture of the largest area decoded here could be stored uncompressed.
bool read_file(const std::string &path, std::vector<std::uint8_t> &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::uint8_t buffer[1 << 16];
    std::size_t n = std::fread(buffer, 1, 12, file);
    bool ok = n == 12 && is_webp(buffer);
    if (ok)
        bytes.assign(buffer, buffer + n);
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        ok = bytes.size() <= 4 * largest_decoded_area;
    }
    ok = ok && !std::ferror(file);
    std::fclose(file);
    return ok;
}

// The extended format's flags: an animation, or EXIF data, leave the file to the library.
bool plain_still(const std::vector<std::uint8_t> &bytes)
{
    if (bytes.size() < 21)
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
    std::vector<std::uint8_t> bytes;
    WebPBitstreamFeatures features;
    if (!read_file(path, bytes) || !plain_still(bytes) ||
        WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK ||
        features.has_animation || features.width <= 0 || features.height <= 0)
        return false;
    auto width = static_cast<std::size_t>(features.width);
    auto height = static_cast<std::size_t>(features.height);
    std::size_t factor = reduction_factor(width, height, fit_size(width, height, terminal));
    if (factor == 1 || width * height > largest_decoded_area)
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
