// SPDX-License-Identifier: BSD-2-Clause
#include "magick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support.h"

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

// With the policy in force the library itself refuses a text file, also when nothing
// of ours has looked at the name.
TEST(image_library, policy_refuses_readers_inside_the_library)
{
    ASSERT_TRUE(start_image_library());
    if (!reader_policy_in_force)
        GTEST_SKIP() << "this build of the library refused the policy; the checks by name "
                        "and format stand alone (and SVG is refused)";
    std::string notes = scratch_dir() + "/notes";
    write_file(notes, "plain text, no picture\n");
    MagickWand *wand = NewMagickWand();
    EXPECT_EQ(MagickReadImage(wand, ("text:" + notes).c_str()), MagickFalse);
    EXPECT_EQ(MagickReadImage(wand, "msl:/dev/null"), MagickFalse);
    DestroyMagickWand(wand);
}

TEST(image_library, refuses_readers_that_are_not_bitmaps)
{
    struct {
        const char *name;
        bool refused, refused_without_policy;
    } cases[] = {
        {"msl:x", true, true},           {"MSL:x", true, true},
        {"text:notes", true, true},      {"mvg:drawing", true, true},
        {"x:root", true, true},          {"https://example/x.png", true, true},
        {"script.msl", true, true},  // the library goes by the extension
        {"notes.TXT", true, true},       {"drawing.mvg", true, true},
        {"drawing.mvg[0]", true, true},  {"photo.png", false, false},
        {"png:photo", false, false},     {"anim.gif[2]", false, false},
        {"dir.msl/photo", false, false}, {"dir:with/colon", false, false},
        {"drawing.svg", false, true},  // its drawing can name files in any reader
    };
    bool saved = reader_policy_in_force;
    for (bool policy : {true, false}) {
        reader_policy_in_force = policy;
        for (const auto &c : cases)
            EXPECT_EQ(names_refused_reader(c.name), policy ? c.refused : c.refused_without_policy)
                << c.name << (policy ? "" : " without the policy");
        for (const char *format : {"MSL", "MVG", "TEXT", "HTTP"})
            EXPECT_TRUE(is_refused_format(format)) << format;
        for (const char *format : {"PNG", "JPEG", "GIF"})
            EXPECT_FALSE(is_refused_format(format)) << format;
        EXPECT_EQ(is_refused_format("SVG"), !policy);
        EXPECT_FALSE(is_refused_format(nullptr));
    }
    reader_policy_in_force = saved;
}
