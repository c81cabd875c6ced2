#include "gfx/generated_textures.h"
#include "gfx/gl.h"
#include "gfx/image_textures.h"
#include "gfx/point_sprites.h"
#include "gfx/texture_table.h"

namespace gfx {

namespace {

// One image resource into its slot; false when it yields no picture (the
// slot then stays empty).
bool LoadImage(const ImageSlotInfo& slot) {
    std::size_t size = 0;
    std::optional<platform::DecodedPicture> picture;
    {
        const MemoryBlock block = CopyResourceToMemory(slot.resourceName, imageResourceType, &size);
        GLint maxTextureSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
        picture = DecodePicture(block, maxTextureSize);
    }
    if (!picture) return false;
    TextureImage image = MakeTextureImage(*picture, slot.rule);
    picture.reset();
    SlotOf(textures, slot.id) = CreateTexture(std::move(image));
    return true;
}

}  // namespace

bool LoadTextures() {
    bool result = true;
    ProbePointSpritesOnContext();
    BuildGeneratedTextures();  // its outcome does not affect the result
    textures.texWhite = CreateTexture(MakeWhiteImage());

    // The five single images: a failure is remembered, the next one tried.
    for (std::size_t i = 0; i < 5; ++i) {
        if (!LoadImage(imageSlots[i])) result = false;
    }
    // The caustics frames stop at the first that fails: a partial animation
    // is of no use, and the caller gives up on a false result anyway.
    for (std::size_t i = 5; i < imageSlots.size(); ++i) {
        if (!LoadImage(imageSlots[i])) {
            result = false;
            break;
        }
    }
    return result;
}

}  // namespace gfx
