#include "gfx/generated_textures.h"

#include <array>
#include <climits>
#include <cstring>

#include "gfx/gl.h"
#include "gfx/prepared_textures.h"
#include "gfx/texture_slots.h"

namespace gfx {

TextureImage MakeGeneratedImage(texgen::TextureLayers& layers, std::span<const std::uint8_t> script) {
    const texgen::Layer& image = texgen::RunScript(layers, script);
    TextureImage upload;
    upload.width = texgen::layerSize;
    upload.height = texgen::layerSize;
    upload.internalFormat = GL_RGB;
    upload.pixelFormat = GL_RGB;
    // 768-byte rows suit the default unpack alignment of 4.
    upload.pixels.resize(texgen::layerBytes);
    std::memcpy(upload.pixels.data(), texgen::Bytes(image), texgen::layerBytes);
    return upload;
}

TextureSlot RunScript(texgen::TextureLayers& layers, std::span<const std::uint8_t> script) {
    return CreateTexture(MakeGeneratedImage(layers, script));
}

void BuildGeneratedTextures() {
    // Made ahead (PrepareTextures, all five or none): only the uploads are left.
    std::array<std::optional<TextureImage>, generatedSlots.size()> ready;
    for (std::size_t i = 0; i < ready.size(); ++i) ready[i] = TakePreparedImage(generatedSlots[i].id, INT_MAX);
    if (ready.front()) {
        for (std::size_t i = 0; i < ready.size(); ++i) {
            if (ready[i]) generatedSlots[i].field(textures) = CreateTexture(std::move(*ready[i]));
        }
        return;
    }
    const std::unique_ptr<texgen::TextureLayers> layers = texgen::CreateTextureLayers();
    if (!layers) return;
    // In run order, each handle stored at once. (Qualified: texgen::RunScript
    // is found by argument lookup as well.)
    for (const TextureSlotInfo& slot : generatedSlots) slot.field(textures) = gfx::RunScript(*layers, slot.script);
}

}  // namespace gfx
