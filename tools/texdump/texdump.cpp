#include "tools/texdump/texdump.h"

#include <system_error>

#include "gfx/texture_slots.h"
#include "texgen/texgen.h"

// Static, so that no other user of stb_image_write in one program can clash.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace tools {

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
        if (stbi_write_png(file.string().c_str(), texgen::layerSize, texgen::layerSize, 3, texgen::Bytes(image),
                           texgen::layerSize * 3) == 0) {
            *error = "cannot write " + file.string();
            return false;
        }
    }
    return true;
}

}  // namespace tools
