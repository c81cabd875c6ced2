#pragma once
// quandrix-xminfo: loads an XM file through the player's own loader and
// prints what the player will play, or why it refuses the file.

#include <cstdint>
#include <cstdio>

#include "music/module.h"
#include "music/xm_loader.h"

namespace xminfo {

inline constexpr int kExitLoaded = 0;
inline constexpr int kExitRejected = 2;  // also a bad option (cli::kExitUsage)

// The song's facts, one per line: channels, patterns, order, tempo, frequency
// table, then each instrument with its envelopes and samples.
void PrintModuleFacts(const music::Module& module, const music::LoadReport& report, std::FILE* out);

// The same facts and the engine report (tools/songreport/engine_report.h)
// as one JSON object: header fields, "order", "rows", "instruments" with
// their envelopes and samples, "repairs" and "engine".
void PrintModuleFactsJson(const music::Module& module, const music::LoadReport& report, std::FILE* out);

// Installs the file stream, loads path, prints the facts and what the engine
// will not play to out (as JSON with `json`) and returns kExitLoaded; or
// prints "PATH: REASON" to err and returns kExitRejected.
int RunXmInfo(const char* path, std::FILE* out, std::FILE* err, bool json = false);

// "forward", "ping-pong" or "none": a sample's loop type as both reports name it.
const char* LoopName(std::uint8_t loopType);

}  // namespace xminfo
