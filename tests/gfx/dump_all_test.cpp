// quandrix-texdump --all: the image textures as PNG files and the contact
// sheet, without a display.
#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "gfx/image_textures.h"
#include "tools/texdump/dump_all.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

namespace {

TEST(DumpAll, WritesEveryImageTextureAndTheContactSheet) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("quandrix_dump_all_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::string error;
    ASSERT_TRUE(tools::DumpImageTextures(dir, &error)) << error;

    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"texWhite.png", "texLogo.png", "texCredits.png", "texFont.png",
                                            "texFont2.png", "texRock.png", "texCaustics0.png", "texCaustics1.png",
                                            "texCaustics2.png", "texCaustics3.png", "contact-sheet.png"}));

    // Each PNG is the texture byte for byte, PNG row r = texture row r.
    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) {
        const auto expected = gfx::MakeImageTexture(slot, tools::dumpMaxTextureSize);
        ASSERT_TRUE(expected);
        int w = 0, h = 0, channels = 0;
        const std::string file = (dir / (std::string(slot.name) + ".png")).string();
        stbi_uc* png = stbi_load(file.c_str(), &w, &h, &channels, 4);
        ASSERT_NE(png, nullptr) << file;
        EXPECT_EQ(w, slot.width);
        EXPECT_EQ(h, slot.height);
        EXPECT_EQ(channels, 4);
        EXPECT_TRUE(std::equal(expected->pixels.begin(), expected->pixels.end(), png)) << file;
        stbi_image_free(png);
    }

    int w = 0, h = 0, channels = 0;
    stbi_uc* sheet = stbi_load((dir / "contact-sheet.png").string().c_str(), &w, &h, &channels, 4);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(w, 4 * 256 + 5 * 16);
    EXPECT_GT(h, 256 + 128 + 256 + 256 + 128);
    stbi_image_free(sheet);
    std::filesystem::remove_all(dir);
}

TEST(DumpAll, ContactSheetShowsAlphaOverTheCheckerboard) {
    // A 2 x 1 texture: the left texel opaque red, the right one transparent.
    tools::DumpedTexture t{"texTest", 2, 1, {255, 0, 0, 255, 255, 0, 0, 0}};
    const tools::DumpedTexture sheet = tools::MakeContactSheet({t});
    auto at = [&](int x, int y) { return &sheet.rgba[(static_cast<std::size_t>(y) * sheet.width + x) * 4]; };
    EXPECT_EQ(at(16, 16)[0], 255);  // the opaque texel
    EXPECT_EQ(at(16, 16)[1], 0);
    EXPECT_EQ(at(17, 16)[0], at(17, 16)[1]);  // the checkerboard's grey shows through
}

}  // namespace
