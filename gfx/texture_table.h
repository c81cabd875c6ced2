#pragma once
// The texture table: every texture the intro binds lives in one slot here
// (each slot is described in gfx/texture_slots.h).
// Slots are filled once at start-up (LoadTextures) and emptied once at exit
// (DeleteTextures); in between only the scene's frame copy rewrites the image
// of texGenFire. Main thread only, with the OpenGL context current.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace gfx {

// A separately allocated cell holding one OpenGL texture name.
struct TextureHandle {
    std::uint32_t name = 0;  // GL texture name
};

// A slot holds a cell or nothing.
using TextureSlot = std::unique_ptr<TextureHandle>;

// The image handed to CreateTexture, which consumes it.
struct TextureImage {
    int width = 0;                     // pixels
    int height = 0;                    // pixels
    int internalFormat = 0;            // GL internal format, e.g. GL_RGBA8 or GL_RGB
    unsigned pixelFormat = 0;          // GL pixel format, e.g. GL_RGBA or GL_RGB
    std::vector<std::uint8_t> pixels;  // rows bottom to top: row 0 is t = 0
};

// The caustics pictures the left tube cycles through (IDB_CAUST0 to
// IDB_CAUST3, in the slot table of texture_slots.h).
inline constexpr int kCausticsPictures = 4;

struct TextureTable {
    // Painted by the texture generator, 256 x 256 RGB.
    TextureSlot texGenSpotsRGB;
    TextureSlot texGenFire;
    TextureSlot texGenSpot;
    TextureSlot texGenWarpGrey;
    TextureSlot texGenUnusedGreen;
    // Built in and from the image resources, RGBA.
    TextureSlot texWhite;
    TextureSlot texLogo;
    TextureSlot texCredits;
    TextureSlot texFont;
    TextureSlot texFont2;
    TextureSlot texRock;
    std::array<TextureSlot, kCausticsPictures> texCaustics;
};

extern TextureTable textures;

// Uploads the image as a new texture (linear filters, repeat wrap, no
// mipmaps) and leaves it bound to GL_TEXTURE_2D. Returns the cell, or an
// empty slot when the cell cannot be allocated. The image is consumed.
TextureSlot CreateTexture(TextureImage image);

// Fills the table; true when every image resource became a texture.
bool LoadTextures();

// Deletes every texture of the table and empties its slot, in deletionOrder
// (gfx/texture_slots.h); empty slots are skipped.
void DeleteTextures();

// Binds the slot's texture to GL_TEXTURE_2D; an empty slot binds texture 0.
void BindTexture(const TextureSlot& slot);

}  // namespace gfx
