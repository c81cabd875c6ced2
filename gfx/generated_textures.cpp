#include "gfx/generated_textures.h"

#include <cstring>

#include "gfx/gl.h"
#include "gfx/texture_slots.h"

namespace gfx {

TextureSlot RunScript(texgen::TextureLayers& layers, std::span<const std::uint8_t> script) {
    const texgen::Layer& image = texgen::RunScript(layers, script);
    TextureImage upload;
    upload.width = texgen::layerSize;
    upload.height = texgen::layerSize;
    upload.internalFormat = GL_RGB;
    upload.pixelFormat = GL_RGB;
    // 768-byte rows suit the default unpack alignment of 4.
    upload.pixels.resize(texgen::layerBytes);
    std::memcpy(upload.pixels.data(), texgen::Bytes(image), texgen::layerBytes);
    return CreateTexture(std::move(upload));
}

void BuildGeneratedTextures() {
    const std::unique_ptr<texgen::TextureLayers> layers = texgen::CreateTextureLayers();
    if (!layers) return;
    // In run order, each handle stored at once. (Qualified: texgen::RunScript
    // is found by argument lookup as well.)
    for (const TextureSlotInfo& slot : generatedSlots) slot.field(textures) = gfx::RunScript(*layers, slot.script);
}

}  // namespace gfx
