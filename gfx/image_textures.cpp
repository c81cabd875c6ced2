#include "gfx/image_textures.h"

#include <cstring>
#include <new>

#include "gfx/gl.h"
#include "platform/resources.h"

namespace gfx {

MemoryBlock CopyResourceToMemory(std::string_view name, std::string_view type, std::size_t* size) {
    const std::span<const std::byte> resource = platform::FindResource(name, type);
    *size = resource.size();
    MemoryBlock block;
    if (resource.empty()) return block;
    block.data.reset(new (std::nothrow) std::byte[resource.size()]);
    if (!block.data) return block;
    std::memcpy(block.data.get(), resource.data(), resource.size());
    block.size = resource.size();
    return block;
}

std::optional<platform::DecodedPicture> DecodePicture(const MemoryBlock& block, int maxTextureSize) {
    if (!block) return std::nullopt;
    return platform::DecodePicture(block.Bytes(), maxTextureSize);
}

TextureImage MakeWhiteImage() {
    TextureImage image;
    image.width = 16;
    image.height = 16;
    image.internalFormat = GL_RGBA8;
    image.pixelFormat = GL_RGBA;
    image.pixels.assign(16 * 16 * 4, 255);
    return image;
}

TextureImage MakeTextureImage(const platform::DecodedPicture& picture, AlphaRule rule) {
    TextureImage image;
    image.width = picture.width;
    image.height = picture.height;
    image.internalFormat = GL_RGBA8;
    image.pixelFormat = GL_RGBA;
    image.pixels = ConvertPicture(picture, rule);
    return image;
}

std::optional<TextureImage> MakeImageTexture(const TextureSlotInfo& slot, int maxTextureSize) {
    std::size_t size = 0;
    const MemoryBlock block = CopyResourceToMemory(slot.resourceName, imageResourceType, &size);
    std::optional<platform::DecodedPicture> picture = DecodePicture(block, maxTextureSize);
    if (!picture) return std::nullopt;
    return MakeTextureImage(*picture, slot.rule);
}

}  // namespace gfx
