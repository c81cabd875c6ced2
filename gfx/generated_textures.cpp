#include "gfx/generated_textures.h"

#include <cstring>

#include "data/texture_scripts.h"
#include "gfx/gl.h"

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
    // The run order of data::builtInScripts, each handle stored at once.
    // (Qualified: texgen::RunScript is found by argument lookup as well.)
    textures.texGenUnusedGreen = gfx::RunScript(*layers, data::greenWaveScript);
    textures.texGenSpotsRGB = gfx::RunScript(*layers, data::threeSpotScript);
    textures.texGenFire = gfx::RunScript(*layers, data::fireScript);
    textures.texGenSpot = gfx::RunScript(*layers, data::spotScript);
    textures.texGenWarpGrey = gfx::RunScript(*layers, data::greyWaveScript);
}

}  // namespace gfx
