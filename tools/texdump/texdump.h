#pragma once
// The generated textures as image files, made on the CPU alone (no display,
// no GL), for looking at them and for comparing builds.

#include <cstdint>
#include <filesystem>
#include <string>

namespace tools {

// Encodes width x height pixels of `channels` bytes each (rows top to bottom)
// as a PNG and writes it complete or not at all (a temporary file renamed
// into place). False with a reason in *error.
bool WritePng(const std::filesystem::path& file, int width, int height, int channels, const std::uint8_t* pixels,
              std::string* error);

// Runs the five built-in texture scripts and writes one PNG per script into
// `dir`, named after its texture slot (texGenUnusedGreen.png,
// texGenSpotsRGB.png, texGenFire.png, texGenSpot.png, texGenWarpGrey.png):
// 256 x 256 RGB, PNG row r is layer row r. Creates `dir` when missing and
// writes nothing else there. False with a reason in *error on failure.
bool DumpGeneratedTextures(const std::filesystem::path& dir, std::string* error);

}  // namespace tools
