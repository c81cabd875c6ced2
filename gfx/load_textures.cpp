#include "gfx/generated_textures.h"
#include "gfx/gl.h"
#include "gfx/image_textures.h"
#include "gfx/point_sprites.h"
#include "gfx/prepared_textures.h"
#include "gfx/texture_slots.h"
#include "gfx/texture_table.h"

namespace gfx {

namespace {

// One image resource into its slot (its prepared image where one fits);
// false when it yields no picture (the slot then stays empty).
bool LoadImage(const TextureSlotInfo& slot) {
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    std::optional<TextureImage> image = TakePreparedImage(slot.id, maxTextureSize);
    if (!image) image = MakeImageTexture(slot, maxTextureSize);
    if (!image) return false;
    slot.field(textures) = CreateTexture(std::move(*image));
    return true;
}

}  // namespace

bool LoadTextures() {
    bool result = true;
    ProbePointSpritesOnContext();
    BuildGeneratedTextures();  // its outcome does not affect the result
    SlotOf(textures, SlotId::White) = CreateTexture(MakeWhiteImage());

    for (const TextureSlotInfo& slot : imageSlots) {
        if (LoadImage(slot)) continue;
        result = false;
        // A partial caustics animation is of no use, and the caller gives up
        // on a false result anyway: the frames stop at the first failure.
        if (slot.source == SlotSource::Animation) break;
    }
    DropPreparedTextures();  // those a failure left behind
    return result;
}

}  // namespace gfx
