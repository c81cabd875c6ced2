#pragma once
// quandrix-xmrender: loads an XM file through the player's own loader and
// writes what the player would feed the sound device from the start of
// playback on — the prefill's 100 blocks, then block after block as the
// output thread renders them — as a 16-bit stereo WAV at 44,100 Hz (or
// --rate, mixed at that rate as a browser's audio context has it mixed), cut
// to the first floor(seconds x rate) frames. No device is needed.

#include <cstdint>
#include <cstdio>
#include <string>

#include "music/mixer.h"
#include "music/module.h"
#include "tools/cli/command_line.h"

namespace xmrender {

inline constexpr int kExitRendered = 0;
inline constexpr int kExitWriteFailed = 1;  // the output file could not be written
inline constexpr int kExitRejected = 2;     // a bad option, or input that cannot be read or is refused
inline constexpr double kDefaultSeconds = 60.0;
inline constexpr std::int64_t kMinRate = 8000;    // --rate: frames per second
inline constexpr std::int64_t kMaxRate = 192000;

struct Options {
    std::string input;                 // the XM file
    std::string output;                // the WAV file (not with --play)
    double seconds = kDefaultSeconds;  // >= 0; the render holds floor(seconds x rate) frames
    std::int32_t rate = music::kOutputRate;  // --rate: kMinRate..kMaxRate frames per second
    bool play = false;                 // --play: through the sound device instead of into a file
    bool quiet = false;                // --quiet: no line about what the engine will not play
};

// The command line, read into `options` (which must outlive the result):
// IN and OUT and --seconds S in any order, or --play IN; --rate HZ and
// --quiet with either. Refused when a value is not a number of seconds from
// 0 to what a WAV file can hold at the rate, a rate is not a whole number
// from kMinRate to kMaxRate, or the files are not exactly two (one with
// --play, which takes no --seconds).
cli::Tool CommandLine(Options& options);

// floor(seconds x rate), computed in double precision.
std::uint64_t FramesForSeconds(double seconds, std::int32_t rate = music::kOutputRate);

// Loads a song from a file with the player's loader; nullptr after printing
// "PATH: REASON" to err. Free the result with music::FreeModule.
music::Module* LoadSongFile(const std::string& path, std::FILE* err);

// Unless options.quiet: "IN: " and the one-line report of what the engine
// will not play of the song (tools/songreport/engine_report.h), on err.
void PrintEngineSummary(const Options& options, const music::Module& song, std::FILE* err);

// Installs the song file at `path` (tools/songfile/song_file.h); false after printing
// "PATH: cannot open: ..." to err. RemoveFileStream empties the table and
// frees the bytes.
bool InstallFileStream(const std::string& path, std::FILE* err);
void RemoveFileStream();

// --play: plays options.input live through the sound device with the
// intro's own output thread, showing order position, row, time and the
// blocks played late (music/underruns.h) on one updating line, until Enter
// or Ctrl+C; a line on the late blocks at the end when there were any. 0
// after a clean stop, 1 without a sound device, 2 for a song the loader
// refuses.
int PlaySong(const Options& options, std::FILE* out, std::FILE* err);

// Renders options.input into options.output; returns the exit code and
// prints any reason to err. Ctrl+C or SIGTERM ends it with 1, the output as
// it was and no temporary file left.
int RenderToWav(const Options& options, std::FILE* err);

}  // namespace xmrender
