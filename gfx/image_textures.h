#pragma once
// The image resources of the texture table, made on the CPU: resource bytes
// to a decoded picture to an RGBA TextureImage with the slot's alpha rule.
// No GL here, so tools and tests can build every image texture exactly as
// the intro uploads it. Any thread (the resources never change).

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "gfx/alpha_rules.h"
#include "gfx/texture_slots.h"
#include "gfx/texture_table.h"
#include "platform/picture.h"

namespace gfx {

// The resource type of every image.
inline constexpr std::string_view imageResourceType = "MYBITMAP";

// A copy of a resource's bytes, owned by the block.
struct MemoryBlock {
    std::unique_ptr<std::byte[]> data;
    std::size_t size = 0;  // bytes

    explicit operator bool() const { return data != nullptr; }
    std::span<const std::byte> Bytes() const { return {data.get(), size}; }
};

// Copies the resource of that name and type into a new block. *size gets
// the resource's size in bytes (0 when it is missing) even when a later
// step fails. An empty block when the resource is missing or empty, or when
// the copy cannot be allocated.
MemoryBlock CopyResourceToMemory(std::string_view name, std::string_view type, std::size_t* size);

// The picture in the block, sized by the target size rule for the given
// largest texture size; nothing when it cannot be decoded (platform/picture.h).
std::optional<platform::DecodedPicture> DecodePicture(const MemoryBlock& block, int maxTextureSize);

// The 16 x 16 white texture: every byte 255, GL_RGBA8 / GL_RGBA.
TextureImage MakeWhiteImage();

// The decoded picture through the alpha rule, wrapped as GL_RGBA8 / GL_RGBA.
TextureImage MakeTextureImage(const platform::DecodedPicture& picture, AlphaRule rule);

// Copy, decode and convert the image slot's resource: its texture image exactly
// as LoadTextures uploads it, or nothing when the resource is missing or
// undecodable.
std::optional<TextureImage> MakeImageTexture(const TextureSlotInfo& slot, int maxTextureSize);

}  // namespace gfx
