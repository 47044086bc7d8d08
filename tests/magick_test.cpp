#include "magick.h"

#include <gtest/gtest.h>

TEST(image_library, limits_only_tighten)
{
    MagickWandGenesis();
    struct {
        ResourceType type;
        MagickSizeType most;
    } limits[] = {
        {WidthResource, 65535},
        {HeightResource, 65535},
        {MemoryResource, MagickSizeType{256} << 20},
        {MapResource, MagickSizeType{512} << 20},
        {DiskResource, MagickSizeType{1} << 30},
    };
    MagickSizeType before[5];
    for (int i = 0; i < 5; ++i)
        before[i] = GetMagickResourceLimit(limits[i].type);
    ASSERT_TRUE(start_image_library());
    for (int i = 0; i < 5; ++i) {
        MagickSizeType now = GetMagickResourceLimit(limits[i].type);
        EXPECT_LE(now, limits[i].most) << i;
        EXPECT_LE(now, before[i]) << i;
        EXPECT_EQ(now, std::min(before[i], limits[i].most)) << i;
    }
}

TEST(image_library, refuses_readers_that_are_not_bitmaps)
{
    struct {
        const char *name;
        bool refused;
    } cases[] = {
        {"msl:x", true},           {"MSL:x", true},      {"text:/etc/hostname", true},
        {"mvg:drawing", true},     {"x:root", true},     {"https://example/x.png", true},
        {"photo.png", false},      {"png:photo", false}, {"anim.gif[2]", false},
        {"dir:with/colon", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(names_refused_reader(c.name), c.refused) << c.name;
    for (const char *format : {"MSL", "MVG", "TEXT", "HTTP"})
        EXPECT_TRUE(is_refused_format(format)) << format;
    for (const char *format : {"PNG", "JPEG", "SVG", "GIF"})
        EXPECT_FALSE(is_refused_format(format)) << format;
    EXPECT_FALSE(is_refused_format(nullptr));
}
