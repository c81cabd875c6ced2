// BuildGeneratedTextures on a real OpenGL context: five 256 x 256 RGB
// textures with the stated parameters whose texels are the CPU images.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "data/texture_scripts.h"
#include "gfx/texture_slots.h"
#include "gfx/generated_textures.h"
#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "tests/support/texture_table_test.h"
#include "texgen/texgen.h"

namespace {

class GeneratedTextures : public testsupport::TextureTableTest {
protected:
    static GLint Parameter(GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }
    static GLint Level0(GLenum name) {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
        return value;
    }
    static std::vector<std::uint8_t> ReadBack(const gfx::TextureSlot& slot) {
        std::vector<std::uint8_t> texels(texgen::layerBytes);
        gfx::BindTexture(slot);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);  // 768-byte rows need no padding
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }
};

TEST_F(GeneratedTextures, FillTheFiveSlotsWithTheCpuImages) {
    gfx::BuildGeneratedTextures();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const gfx::TextureSlot* slots[] = {&gfx::textures.texGenUnusedGreen, &gfx::textures.texGenSpotsRGB,
                                       &gfx::textures.texGenFire, &gfx::textures.texGenSpot,
                                       &gfx::textures.texGenWarpGrey};
    auto layers = texgen::CreateTextureLayers();
    ASSERT_TRUE(layers);
    for (std::size_t i = 0; i < gfx::generatedSlots.size(); ++i) {
        const gfx::TextureSlot& slot = *slots[i];
        const char* name = gfx::generatedSlots[i].name;
        ASSERT_TRUE(slot) << name;
        EXPECT_TRUE(glIsTexture(slot->name)) << name;
        gfx::BindTexture(slot);
        EXPECT_EQ(Level0(GL_TEXTURE_WIDTH), 256) << name;
        EXPECT_EQ(Level0(GL_TEXTURE_HEIGHT), 256) << name;
        EXPECT_EQ(Level0(GL_TEXTURE_ALPHA_SIZE), 0) << name;
        EXPECT_EQ(Level0(GL_TEXTURE_RED_SIZE), 8) << name;
        EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR) << name;
        EXPECT_EQ(Parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR) << name;
        EXPECT_EQ(Parameter(GL_TEXTURE_WRAP_S), GL_REPEAT) << name;
        EXPECT_EQ(Parameter(GL_TEXTURE_WRAP_T), GL_REPEAT) << name;
        const std::vector<std::uint8_t> texels = ReadBack(slot);
        const texgen::Layer& image = texgen::RunScript(*layers, gfx::generatedSlots[i].script);
        EXPECT_EQ(std::memcmp(texels.data(), texgen::Bytes(image), texgen::layerBytes), 0) << name;
    }
    gfx::DeleteTextures();
    for (const gfx::TextureSlot* slot : slots) EXPECT_FALSE(*slot);
}

TEST_F(GeneratedTextures, RunScriptLeavesTheNewTextureBound) {
    auto layers = texgen::CreateTextureLayers();
    ASSERT_TRUE(layers);
    gfx::TextureSlot slot = gfx::RunScript(*layers, data::spotScript);
    ASSERT_TRUE(slot);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), slot->name);
    // An empty script uploads a black texture.
    gfx::TextureSlot black = gfx::RunScript(*layers, std::span<const std::uint8_t>());
    ASSERT_TRUE(black);
    const std::vector<std::uint8_t> texels = ReadBack(black);
    EXPECT_EQ(std::count(texels.begin(), texels.end(), 0), texgen::layerBytes);
    const GLuint names[] = {slot->name, black->name};
    glDeleteTextures(2, names);
}

}  // namespace
