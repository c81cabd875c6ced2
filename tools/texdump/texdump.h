#pragma once
// The generated textures as image files, made on the CPU alone (no display,
// no GL), for looking at them and for comparing builds.

#include <filesystem>
#include <string>

namespace tools {

// Runs the five built-in texture scripts and writes one PNG per script into
// `dir`, named after its texture slot (texGenUnusedGreen.png,
// texGenSpotsRGB.png, texGenFire.png, texGenSpot.png, texGenWarpGrey.png):
// 256 x 256 RGB, PNG row r is layer row r. Creates `dir` when missing and
// writes nothing else there. False with a reason in *error on failure.
bool DumpGeneratedTextures(const std::filesystem::path& dir, std::string* error);

}  // namespace tools
