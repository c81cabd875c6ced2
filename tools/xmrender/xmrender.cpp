#include "tools/xmrender/xmrender.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "music/mixer.h"
#include "music/offline_render.h"
#include "music/stream.h"
#include "music/xm_loader.h"
#include "platform/console.h"
#include "tools/cli/command_line.h"
#include "tools/songfile/song_file.h"
#include "tools/songreport/engine_report.h"
#include "tools/xmrender/wav_writer.h"

namespace xmrender {

std::uint64_t FramesForSeconds(double seconds, std::int32_t rate) {
    return static_cast<std::uint64_t>(std::floor(seconds * static_cast<double>(rate)));
}

namespace {

bool ReadSeconds(std::string_view text, double& seconds, std::string& error) {
    const double most = static_cast<double>(kMaxWavFrames) / music::kOutputRate;
    double value = 0.0;
    if (!cli::ReadNumber(text, value) || value < 0.0 || value > most) {
        error = "--seconds needs a number of seconds from 0 to " + std::to_string(static_cast<long>(most)) +
                ", not \"" + std::string(text) + "\"";
        return false;
    }
    seconds = value;
    return true;
}

bool ReadRate(std::string_view text, std::int32_t& rate, std::string& error) {
    std::int64_t value = 0;
    if (!cli::ReadWhole(text, value) || value < kMinRate || value > kMaxRate) {
        error = "--rate needs a whole number of frames per second from " + std::to_string(kMinRate) + " to " +
                std::to_string(kMaxRate) + ", not \"" + std::string(text) + "\"";
        return false;
    }
    rate = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

cli::Tool CommandLine(Options& options) {
    cli::Tool tool{
        "quandrix-xmrender",
        "IN.xm OUT.wav [--seconds S] [--rate HZ] [--quiet]\n--play IN.xm [--rate HZ] [--quiet]",
        "Renders an XM song with the intro's own loader, replay engine and mixer into a\n"
        "44,100 Hz (or --rate) 16-bit stereo WAV: exactly what the sound device is fed\n"
        "from the start of playback. The WAV appears whole or not at all (it grows under\n"
        "a temporary name beside OUT.wav); a device or pipe such as /dev/stdout is written\n"
        "straight.\n"
        "First a line on standard error names what the engine will not play of the song.",
        {},
        nullptr,
        "Exit status: 0 done; 1 the WAV could not be written, or no sound device for\n"
        "--play; 2 a bad option, or a song that cannot be read or is refused."};
    tool.options = {
        {"--seconds", "S", "render floor(S x rate) frames (default 60)",
         [&options](std::string_view value, std::string& error) { return ReadSeconds(value, options.seconds, error); }},
        {"--rate", "HZ", "mix at HZ frames per second, 8000 to 192000 (default 44100), as a\n"
                         "browser's audio context at another rate has the page mix",
         [&options](std::string_view value, std::string& error) { return ReadRate(value, options.rate, error); }},
        {"--play", "", "play the song live through the sound device instead, showing order,\n"
                       "pattern, row and time on one line, until Enter or Ctrl+C",
         cli::SetFlag(options.play)},
        {"--quiet", "", "leave out the line about what the engine will not play", cli::SetFlag(options.quiet)},
    };
    tool.operands = [&options](std::span<const std::string> files, const cli::Given& given, std::string& error) {
        if (options.play) {
            if (files.size() != 1 || given.Has("--seconds")) {
                error = "--play takes one song and no --seconds";
                return false;
            }
            options.input = files[0];
            return true;
        }
        if (files.size() != 2) {
            error = files.size() < 2 ? "an input and an output file are needed" : "too many file names";
            return false;
        }
        // --seconds was checked against 44,100 Hz; a higher rate fills a WAV
        // file sooner.
        if (FramesForSeconds(options.seconds, options.rate) > kMaxWavFrames) {
            error = "--seconds " + std::to_string(options.seconds) + " at --rate " + std::to_string(options.rate) +
                    " is more than a WAV file can hold";
            return false;
        }
        options.input = files[0];
        options.output = files[1];
        return true;
    };
    return tool;
}

bool InstallFileStream(const std::string& path, std::FILE* err) {
    const int error = tools::InstallSongFile(path);
    if (error != 0) {
        std::fprintf(err, "%s: cannot open: %s\n", path.c_str(), std::strerror(error));
        return false;
    }
    return true;
}

void RemoveFileStream() { tools::RemoveSongFile(); }

music::Module* LoadSongFile(const std::string& path, std::FILE* err) {
    if (!InstallFileStream(path, err)) return nullptr;
    music::LoadReport report;
    music::Module* song = music::LoadModule(path.c_str(), &report);
    RemoveFileStream();
    if (!song) std::fprintf(err, "%s: %s\n", path.c_str(), music::DescribeLoadFailure(report).c_str());
    return song;
}

void PrintEngineSummary(const Options& options, const music::Module& song, std::FILE* err) {
    if (options.quiet) return;
    const std::string line = songreport::SummaryLine(songreport::AnalyseSong(song));
    std::fprintf(err, "%s: %s\n", options.input.c_str(), line.c_str());
}

int RenderToWav(const Options& options, std::FILE* err) {
    music::Module* song = LoadSongFile(options.input, err);
    if (!song) return kExitRejected;
    PrintEngineSummary(options, *song, err);

    const std::uint64_t frames = std::min(FramesForSeconds(options.seconds, options.rate), kMaxWavFrames);
    int result = kExitRendered;
    // Ctrl+C and SIGTERM end the render between two pieces, so that the
    // temporary file (reserved at the full size) goes with it.
    platform::CatchInterrupt();
    WavWriter wav;
    if (!wav.Open(options.output, static_cast<std::uint32_t>(options.rate), static_cast<std::uint32_t>(frames))) {
        std::fprintf(err, "%s\n", wav.Error().c_str());
        result = kExitWriteFailed;
    } else if (!music::StartOfflineRender(*song, options.rate)) {
        std::fprintf(err, "%s: out of memory for the rings\n", options.input.c_str());
        result = kExitWriteFailed;
    } else {
        // What the device plays, written straight from the ring in pieces
        // of up to 128 KiB (the ring's end cuts some shorter).
        constexpr std::uint64_t pieceFrames = 32768;
        bool ok = true;
        bool interrupted = false;
        for (std::uint64_t written = 0; ok && written < frames;) {
            if (platform::InterruptRequested()) {
                interrupted = true;
                break;
            }
            std::uint64_t n = std::min(pieceFrames, frames - written);
            const std::int16_t* played = music::ReadPlayedFramesInPlace(n);
            ok = wav.Write(played, n);
            written += n;
        }
        // Close puts the file under its name only when every piece went in.
        if (interrupted) {
            wav.Abandon();
            std::fprintf(err, "quandrix-xmrender: interrupted before %s was written whole\n", options.output.c_str());
            result = kExitWriteFailed;
        } else if (!ok || !wav.Close()) {
            std::fprintf(err, "%s\n", wav.Error().c_str());
            result = kExitWriteFailed;
        }
    }
    music::StopOfflineRender();
    music::FreeModule(song);
    return result;
}

}  // namespace xmrender
