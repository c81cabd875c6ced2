// LoadTextures and DeleteTextures on a real (Mesa) OpenGL context with the
// intro's own resources.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/gl.h"
#include "gfx/image_textures.h"
#include "gfx/point_sprites.h"
#include "gfx/prepared_textures.h"
#include "gfx/texture_table.h"
#include "tests/support/texture_table_test.h"

namespace {

using LoadTexturesTest = testsupport::TextureTableTest;

std::vector<std::uint8_t> ReadBack(const gfx::TextureSlot& slot, int* width, int* height) {
    gfx::BindTexture(slot);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(*width * *height * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

TEST_F(LoadTexturesTest, EveryImageBecomesItsTextureExactly) {
    ASSERT_TRUE(gfx::LoadTextures());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);

    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) {
        SCOPED_TRACE(slot.name);
        const gfx::TextureSlot& cell = gfx::SlotOf(gfx::textures, slot.id);
        ASSERT_TRUE(cell);
        int width = 0, height = 0;
        const std::vector<std::uint8_t> uploaded = ReadBack(cell, &width, &height);
        EXPECT_EQ(width, slot.width);
        EXPECT_EQ(height, slot.height);
        GLint format = 0, minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        EXPECT_EQ(format, GL_RGBA8);
        EXPECT_EQ(minFilter, GL_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
        EXPECT_EQ(wrapS, GL_REPEAT);
        EXPECT_EQ(wrapT, GL_REPEAT);
        // The texture is the CPU image byte for byte, row 0 first.
        const auto expected = gfx::MakeImageTexture(slot, maxTextureSize);
        ASSERT_TRUE(expected);
        EXPECT_TRUE(uploaded == expected->pixels);
    }

    ASSERT_TRUE(gfx::textures.texWhite);
    int width = 0, height = 0;
    const std::vector<std::uint8_t> white = ReadBack(gfx::textures.texWhite, &width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    for (std::uint8_t b : white) ASSERT_EQ(b, 255);
}

TEST_F(LoadTexturesTest, PointSpriteProbeFollowsTheDriver) {
    ASSERT_TRUE(gfx::LoadTextures());
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const bool listed = extensions && std::strstr(extensions, "GL_ARB_point_parameters");
    EXPECT_EQ(gfx::pointSpritesAvailable, listed);
    if (gfx::pointSpritesAvailable) {
        ASSERT_NE(gfx::glPointParameterfARB, nullptr);
        ASSERT_NE(gfx::glPointParameterfvARB, nullptr);
        // The entry points work on this context.
        gfx::glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, 1.0f);
        const GLfloat attenuation[3] = {1.0f, 0.0f, 0.01f};
        gfx::glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

// Every texture as the GL holds it, by slot.
std::vector<std::vector<std::uint8_t>> ReadAll() {
    std::vector<std::vector<std::uint8_t>> all;
    for (const gfx::TextureSlotInfo& slot : gfx::textureSlots) {
        int width = 0, height = 0;
        const gfx::TextureSlot& cell = gfx::SlotOf(gfx::textures, slot.id);
        all.push_back(cell ? ReadBack(cell, &width, &height) : std::vector<std::uint8_t>());
    }
    return all;
}

// The images made ahead (as the web page makes them while it waits) are the
// textures made at start-up, byte for byte; one too large for the GL's
// largest texture is made again at the size that GL takes.
TEST_F(LoadTexturesTest, PreparedImagesAreTheSameTextures) {
    ASSERT_TRUE(gfx::LoadTextures());
    const auto fresh = ReadAll();
    gfx::DeleteTextures();

    gfx::PrepareTextures();
    ASSERT_TRUE(gfx::LoadTextures());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(ReadAll() == fresh);
    for (const gfx::TextureSlotInfo& slot : gfx::textureSlots) EXPECT_FALSE(gfx::TakePreparedImage(slot.id, 1 << 20));

    gfx::PrepareTextures();
    const gfx::TextureSlotInfo& caustics = gfx::Slot(gfx::SlotId::Caustics0);
    EXPECT_FALSE(gfx::TakePreparedImage(caustics.id, caustics.width / 2));
    EXPECT_FALSE(gfx::TakePreparedImage(caustics.id, caustics.width));  // handed over once, or never
    const auto spot = gfx::TakePreparedImage(gfx::SlotId::GenSpot, 256);
    ASSERT_TRUE(spot);
    EXPECT_EQ(spot->width, 256);
    gfx::DropPreparedTextures();
    EXPECT_FALSE(gfx::TakePreparedImage(gfx::SlotId::GenFire, 256));
}

TEST_F(LoadTexturesTest, DeleteTexturesEmptiesEverySlot) {
    ASSERT_TRUE(gfx::LoadTextures());
    std::vector<GLuint> names;
    names.push_back(gfx::textures.texWhite->name);
    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) names.push_back(gfx::SlotOf(gfx::textures, slot.id)->name);
    for (GLuint name : names) EXPECT_TRUE(glIsTexture(name));
    gfx::DeleteTextures();
    EXPECT_FALSE(gfx::textures.texWhite);
    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) EXPECT_FALSE(gfx::SlotOf(gfx::textures, slot.id));
    EXPECT_FALSE(gfx::textures.texGenFire);
    for (GLuint name : names) EXPECT_FALSE(glIsTexture(name));
}

}  // namespace
