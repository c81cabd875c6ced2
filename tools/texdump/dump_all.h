#pragma once
// `quandrix-texdump --all DIR`: the rest of the texture table as image
// files, made on the CPU alone (no display, no GL), plus a contact sheet of
// every texture.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tools {

// A texture as the intro uploads it, in RGBA.
struct DumpedTexture {
    std::string name;                // slot name, e.g. "texLogo"
    int width = 0;                   // pixels
    int height = 0;                  // pixels
    std::vector<std::uint8_t> rgba;  // width x height x 4, row 0 is t = 0
};

// The largest texture size the CPU images are made for. Every shipped image
// is well below it, so this only matters for a replaced resource.
inline constexpr int dumpMaxTextureSize = 8192;

// texWhite and the nine image textures (texLogo, texCredits, texFont,
// texFont2, texRock, texCaustics0..3), RGBA after their alpha rules, from
// the embedded resources (link quandrix_assets). False with the resource's
// name in *error when one is missing or undecodable.
bool MakeImageTextures(std::vector<DumpedTexture>* out, std::string* error);

// The five generated textures from the built-in scripts, RGB with alpha 255.
// False when the generator's layers cannot be allocated.
bool MakeGeneratedTextures(std::vector<DumpedTexture>* out, std::string* error);

// All given textures on one picture over a grey checkerboard, so that alpha
// shows: each drawn at 1:1 (texFont 2:1 and texWhite 4:1, or they would be
// hard to see) upright, t = 0 at the bottom, its name written under it in
// the scroller font. A texture whose alpha is 0 everywhere (the credits
// picture and the caustics, drawn without alpha blending) is shown opaque
// and labelled "ALPHA 0". The result is a top-down RGB picture in `rgba`
// with alpha 255.
DumpedTexture MakeContactSheet(const std::vector<DumpedTexture>& textures);

// Writes DIR/NAME.png for the image textures (texWhite.png, texLogo.png,
// texCredits.png, texFont.png, texFont2.png, texRock.png, texCaustics0.png
// to texCaustics3.png: RGBA, PNG row r is texture row r, so row 0 is t = 0)
// and DIR/contact-sheet.png with these and the five generated textures.
// Creates DIR when missing. False with a reason in *error on failure.
bool DumpImageTextures(const std::filesystem::path& dir, std::string* error);

}  // namespace tools
