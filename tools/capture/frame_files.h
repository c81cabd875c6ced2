#pragma once
// The files quandrix-capture writes, each complete or not at all (through
// platform::WriteFileAtomically).

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace capture {

inline constexpr int kWidth = scene::kScreenWidth;    // pixels of a frame: the intro's screen
inline constexpr int kHeight = scene::kScreenHeight;

// frame_00000.png, ...: five digits at least, more when the index needs them.
std::string FrameFileName(std::int64_t index);

// Encodes width x height RGB pixels, rows top to bottom, as a PNG into
// `png` (replacing its contents). Deterministic: the same pixels give the
// same bytes. False when libpng fails (out of memory).
bool EncodePng(const std::uint8_t* rgb, int width, int height, std::vector<std::uint8_t>& png);

// Makes `dir` (and its parents) when missing and proves that a file can be
// created in it. False with the reason in `error`.
bool PrepareOutputDirectory(const std::filesystem::path& dir, std::string& error);

}  // namespace capture
