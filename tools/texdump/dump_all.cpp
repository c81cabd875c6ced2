#include "tools/texdump/dump_all.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "gfx/image_textures.h"
#include "gfx/texture_slots.h"
#include "texgen/texgen.h"
#include "tools/texdump/texdump.h"

namespace tools {

namespace {

constexpr int kMargin = 16;         // pixels around and between tiles
constexpr int kLabelHeight = 14;    // pixels under a tile for its name
constexpr int kSheetWidth = 4 * 256 + 5 * kMargin;  // four square tiles a row
constexpr int kChecker = 8;         // checkerboard square, pixels

const DumpedTexture* Find(const std::vector<DumpedTexture>& textures, const std::string& name) {
    for (const DumpedTexture& t : textures) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

struct Sheet {
    int width;
    int height;
    std::vector<std::uint8_t> rgba;  // top-down

    void Put(int x, int y, const std::uint8_t* colour, int alpha) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4];
        for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((colour[c] * alpha + p[c] * (255 - alpha) + 127) / 255);
    }
};

// Writes text in the scroller font (codes 32..95; other letters are taken
// in upper case), white, top-left at (x, y).
void Label(Sheet& sheet, const DumpedTexture* font, int x, int y, const std::string& text) {
    if (!font || font->width < 512 || font->height < 8) return;
    const std::uint8_t white[3] = {255, 255, 255};
    for (char raw : text) {
        const int code = std::toupper(static_cast<unsigned char>(raw));
        if (code >= 33 && code <= 95) {
            for (int row = 0; row < 8; ++row) {
                const int t = 7 - row;  // the glyph's top is its highest texture row
                for (int col = 0; col < 8; ++col) {
                    const std::size_t i = (static_cast<std::size_t>(t) * static_cast<std::size_t>(font->width) +
                                           static_cast<std::size_t>(8 * (code - 32) + col)) * 4;
                    if (font->rgba[i + 3] != 0) sheet.Put(x + col, y + row, white, 255);
                }
            }
        }
        x += 8;
    }
}

// The slot's magnification; 1 for a texture of no slot.
int ScaleOf(const DumpedTexture& t) {
    for (const gfx::TextureSlotInfo& slot : gfx::textureSlots) {
        if (t.name == slot.name) return slot.sheetScale;
    }
    return 1;
}

bool AlphaZeroEverywhere(const DumpedTexture& t) {
    for (std::size_t i = 3; i < t.rgba.size(); i += 4) {
        if (t.rgba[i] != 0) return false;
    }
    return !t.rgba.empty();
}

}  // namespace

bool MakeImageTextures(std::vector<DumpedTexture>* out, std::string* error) {
    gfx::TextureImage white = gfx::MakeWhiteImage();
    out->push_back({gfx::Slot(gfx::SlotId::White).name, white.width, white.height, std::move(white.pixels)});
    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) {
        std::optional<gfx::TextureImage> image = gfx::MakeImageTexture(slot, dumpMaxTextureSize);
        if (!image) {
            *error = std::string("resource ") + slot.resourceName + " is missing or undecodable";
            return false;
        }
        out->push_back({slot.name, image->width, image->height, std::move(image->pixels)});
    }
    return true;
}

bool MakeGeneratedTextures(std::vector<DumpedTexture>* out, std::string* error) {
    const std::unique_ptr<texgen::TextureLayers> layers = texgen::CreateTextureLayers();
    if (!layers) {
        *error = "out of memory for the texture layers";
        return false;
    }
    for (const gfx::TextureSlotInfo& slot : gfx::generatedSlots) {
        const texgen::Layer& image = texgen::RunScript(*layers, slot.script);
        const std::uint8_t* rgb = texgen::Bytes(image);
        DumpedTexture t{slot.name, texgen::layerSize, texgen::layerSize, {}};
        t.rgba.resize(static_cast<std::size_t>(texgen::layerPixels) * 4);
        for (std::size_t i = 0; i < static_cast<std::size_t>(texgen::layerPixels); ++i) {
            t.rgba[i * 4] = rgb[i * 3];
            t.rgba[i * 4 + 1] = rgb[i * 3 + 1];
            t.rgba[i * 4 + 2] = rgb[i * 3 + 2];
            t.rgba[i * 4 + 3] = 255;
        }
        out->push_back(std::move(t));
    }
    return true;
}

DumpedTexture MakeContactSheet(const std::vector<DumpedTexture>& textures) {
    // Shelf layout: tiles left to right, a new row when the next would not fit.
    struct Place {
        const DumpedTexture* texture;
        int x, y, scale;
    };
    std::vector<Place> places;
    int x = kMargin;
    int y = kMargin;
    int rowHeight = 0;
    for (const DumpedTexture& t : textures) {
        const int scale = ScaleOf(t);
        const int w = t.width * scale;
        const int h = t.height * scale + kLabelHeight;
        if (x > kMargin && x + w > kSheetWidth - kMargin) {
            x = kMargin;
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
        places.push_back({&t, x, y, scale});
        x += std::max(w, 8 * static_cast<int>(t.name.size() + 8)) + kMargin;
        rowHeight = std::max(rowHeight, h);
    }

    Sheet sheet{kSheetWidth, y + rowHeight + kMargin, {}};
    sheet.rgba.resize(static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.height) * 4);
    for (int py = 0; py < sheet.height; ++py) {
        for (int px = 0; px < sheet.width; ++px) {
            const bool light = ((px / kChecker) + (py / kChecker)) % 2 == 0;
            std::uint8_t* p = &sheet.rgba[(static_cast<std::size_t>(py) * static_cast<std::size_t>(sheet.width) + static_cast<std::size_t>(px)) * 4];
            p[0] = p[1] = p[2] = light ? 156 : 100;
            p[3] = 255;
        }
    }
    const DumpedTexture* font = Find(textures, gfx::Slot(gfx::SlotId::Font).name);
    for (const Place& place : places) {
        const DumpedTexture& t = *place.texture;
        const bool opaque = AlphaZeroEverywhere(t);
        for (int ty = 0; ty < t.height * place.scale; ++ty) {
            const int row = t.height - 1 - ty / place.scale;  // upright: t = 0 at the bottom
            for (int tx = 0; tx < t.width * place.scale; ++tx) {
                const std::uint8_t* texel = &t.rgba[(static_cast<std::size_t>(row) * static_cast<std::size_t>(t.width) +
                                                     static_cast<std::size_t>(tx / place.scale)) * 4];
                sheet.Put(place.x + tx, place.y + ty, texel, opaque ? 255 : texel[3]);
            }
        }
        std::string label = t.name;
        if (place.scale != 1) label += " X" + std::to_string(place.scale);
        if (opaque) label += " ALPHA 0";
        Label(sheet, font, place.x, place.y + t.height * place.scale + 4, label);
    }
    return {"contact-sheet", sheet.width, sheet.height, std::move(sheet.rgba)};
}

bool DumpImageTextures(const std::filesystem::path& dir, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        *error = "cannot create directory " + dir.string() + (ec ? ": " + ec.message() : "");
        return false;
    }
    std::vector<DumpedTexture> images;
    if (!MakeImageTextures(&images, error)) return false;
    for (const DumpedTexture& t : images) {
        if (!WritePng(dir / (t.name + ".png"), t.width, t.height, 4, t.rgba.data(), error)) return false;
    }

    std::vector<DumpedTexture> all;
    if (!MakeGeneratedTextures(&all, error)) return false;
    std::vector<DumpedTexture> sheetTextures;
    for (gfx::SlotId id : gfx::sheetOrder) {
        const char* name = gfx::Slot(id).name;
        const DumpedTexture* t = Find(images, name);
        if (!t) t = Find(all, name);
        if (t) sheetTextures.push_back(*t);
    }
    const DumpedTexture sheet = MakeContactSheet(sheetTextures);
    return WritePng(dir / "contact-sheet.png", sheet.width, sheet.height, 4, sheet.rgba.data(), error);
}

}  // namespace tools
