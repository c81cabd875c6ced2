#include "gfx/image_textures.h"

#include <cstring>
#include <new>

#include "gfx/gl.h"
#include "platform/resources.h"

namespace gfx {

const std::array<ImageSlotInfo, 9> imageSlots = {{
    {ImageId::Logo, "IDB_LOGO", "texLogo", AlphaRule::Logo, 1024, 256},
    {ImageId::Credits, "IDB_CREDITS", "texCredits", AlphaRule::Clear, 256, 256},
    {ImageId::Font, "IDB_FONT", "texFont", AlphaRule::Font, 512, 8},
    {ImageId::Font2, "IDB_FONT2", "texFont2", AlphaRule::Font, 1024, 128},
    {ImageId::Rock, "IDB_ROCK", "texRock", AlphaRule::Rock, 256, 256},
    {ImageId::Caustics0, "IDB_CAUST0", "texCaustics0", AlphaRule::Clear, 128, 128},
    {ImageId::Caustics1, "IDB_CAUST1", "texCaustics1", AlphaRule::Clear, 128, 128},
    {ImageId::Caustics2, "IDB_CAUST2", "texCaustics2", AlphaRule::Clear, 128, 128},
    {ImageId::Caustics3, "IDB_CAUST3", "texCaustics3", AlphaRule::Clear, 128, 128},
}};

TextureSlot& SlotOf(TextureTable& table, ImageId id) {
    switch (id) {
        case ImageId::Logo: return table.texLogo;
        case ImageId::Credits: return table.texCredits;
        case ImageId::Font: return table.texFont;
        case ImageId::Font2: return table.texFont2;
        case ImageId::Rock: return table.texRock;
        case ImageId::Caustics0: return table.texCaustics[0];
        case ImageId::Caustics1: return table.texCaustics[1];
        case ImageId::Caustics2: return table.texCaustics[2];
        case ImageId::Caustics3: return table.texCaustics[3];
    }
    return table.texCaustics[3];  // not reached: every id is listed
}

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

std::optional<TextureImage> MakeImageTexture(const ImageSlotInfo& slot, int maxTextureSize) {
    std::size_t size = 0;
    const MemoryBlock block = CopyResourceToMemory(slot.resourceName, imageResourceType, &size);
    std::optional<platform::DecodedPicture> picture = DecodePicture(block, maxTextureSize);
    if (!picture) return std::nullopt;
    return MakeTextureImage(*picture, slot.rule);
}

}  // namespace gfx
