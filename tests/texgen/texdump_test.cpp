// The PNG dump: exactly the five files, each the CPU image row for row.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "data/texture_scripts.h"
#include "gfx/texture_slots.h"
#include "texgen/texgen.h"
#include "tools/texdump/texdump.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

namespace {

std::filesystem::path TempDir(const char* name) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("quandrix_texdump_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" + name);
    std::filesystem::remove_all(dir);
    return dir;
}

TEST(TexDump, WritesTheFiveImagesAndNothingElse) {
    const std::filesystem::path dir = TempDir("five");
    std::string error;
    ASSERT_TRUE(tools::DumpGeneratedTextures(dir, &error)) << error;
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"texGenUnusedGreen.png", "texGenSpotsRGB.png", "texGenFire.png",
                                            "texGenSpot.png", "texGenWarpGrey.png"}));

    auto layers = texgen::CreateTextureLayers();
    ASSERT_TRUE(layers);
    for (const gfx::TextureSlotInfo& script : gfx::generatedSlots) {
        const texgen::Layer& image = texgen::RunScript(*layers, script.script);
        int w = 0, h = 0, channels = 0;
        const std::string file = (dir / (std::string(script.name) + ".png")).string();
        unsigned char* png = stbi_load(file.c_str(), &w, &h, &channels, 0);
        ASSERT_NE(png, nullptr) << file;
        EXPECT_EQ(w, 256);
        EXPECT_EQ(h, 256);
        EXPECT_EQ(channels, 3);
        // PNG row r is layer row r.
        EXPECT_EQ(std::memcmp(png, texgen::Bytes(image), texgen::layerBytes), 0) << script.name;
        stbi_image_free(png);
    }
    std::filesystem::remove_all(dir);
}

TEST(TexDump, ReportsADirectoryItCannotMake) {
    const std::filesystem::path dir = TempDir("blocked");
    { std::ofstream(dir.string()) << "a file where the directory should be"; }
    std::string error;
    EXPECT_FALSE(tools::DumpGeneratedTextures(dir, &error));
    EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

}  // namespace
