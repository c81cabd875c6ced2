#include "gfx/prepared_textures.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

#include "gfx/generated_textures.h"
#include "gfx/image_textures.h"

namespace gfx {

namespace {

std::array<std::optional<TextureImage>, slotCount> prepared;

}  // namespace

void PrepareTextures() {
    if (std::any_of(prepared.begin(), prepared.end(), [](const auto& image) { return image.has_value(); })) return;
    // The scripts share their layers, so all five or none.
    if (const std::unique_ptr<texgen::TextureLayers> layers = texgen::CreateTextureLayers()) {
        for (const TextureSlotInfo& slot : generatedSlots) {
            prepared[static_cast<std::size_t>(slot.id)] = MakeGeneratedImage(*layers, slot.script);
        }
    }
    // The target size is min(natural, largest texture): decoded without a
    // limit, the picture is right for every GL that takes its natural size.
    for (const TextureSlotInfo& slot : imageSlots) {
        prepared[static_cast<std::size_t>(slot.id)] = MakeImageTexture(slot, INT_MAX);
    }
}

std::optional<TextureImage> TakePreparedImage(SlotId id, int maxTextureSize) {
    std::optional<TextureImage>& image = prepared[static_cast<std::size_t>(id)];
    std::optional<TextureImage> taken;
    if (image && image->width <= maxTextureSize && image->height <= maxTextureSize) taken = std::move(image);
    image.reset();
    return taken;
}

void DropPreparedTextures() {
    for (std::optional<TextureImage>& image : prepared) image.reset();
}

}  // namespace gfx
