#include "tools/texdump/texdump.h"

#include <system_error>
#include <vector>

#include "gfx/texture_slots.h"
#include "platform/write_file.h"
#include "texgen/texgen.h"

// Static, so that no other user of stb_image_write in one program can clash.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace tools {

namespace {

void Append(void* context, void* data, int size) {
    auto& png = *static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    png.insert(png.end(), bytes, bytes + size);
}

}  // namespace

bool WritePng(const std::filesystem::path& file, int width, int height, int channels, const std::uint8_t* pixels,
              std::string* error) {
    std::vector<std::uint8_t> png;
    if (stbi_write_png_to_func(&Append, &png, width, height, channels, pixels, width * channels) == 0) {
        *error = "cannot encode " + file.string();
        return false;
    }
    return platform::WriteFileAtomically(file, png, *error);
}

bool DumpGeneratedTextures(const std::filesystem::path& dir, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        *error = "cannot create directory " + dir.string() + (ec ? ": " + ec.message() : "");
        return false;
    }
    const std::unique_ptr<texgen::TextureLayers> layers = texgen::CreateTextureLayers();
    if (!layers) {
        *error = "out of memory for the texture layers";
        return false;
    }
    for (const gfx::TextureSlotInfo& slot : gfx::generatedSlots) {
        const texgen::Layer& image = texgen::RunScript(*layers, slot.script);
        const std::filesystem::path file = dir / (std::string(slot.name) + ".png");
        if (!WritePng(file, texgen::layerSize, texgen::layerSize, 3, texgen::Bytes(image), error)) return false;
    }
    return true;
}

}  // namespace tools
