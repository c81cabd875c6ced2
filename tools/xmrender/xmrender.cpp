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
#include "tools/songfile/song_file.h"
#include "tools/songreport/engine_report.h"
#include "tools/xmrender/wav_writer.h"

namespace xmrender {

const char* Usage() {
    return "usage: quandrix-xmrender IN.xm OUT.wav [--seconds S] [--quiet]\n"
           "       quandrix-xmrender --play IN.xm [--quiet]";
}

std::uint64_t FramesForSeconds(double seconds) {
    return static_cast<std::uint64_t>(std::floor(seconds * static_cast<double>(music::kOutputRate)));
}

namespace {

bool ParseSeconds(const char* text, double& seconds, std::string& error) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    const double most = static_cast<double>(kMaxWavFrames) / music::kOutputRate;
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 0.0 || value > most) {
        error = std::string("--seconds needs a number of seconds from 0 to ") + std::to_string(static_cast<long>(most)) +
                ", not \"" + text + "\"";
        return false;
    }
    seconds = value;
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    int files = 0;
    bool secondsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds") {
            if (i + 1 >= argc) {
                error = "--seconds needs a value";
                return false;
            }
            if (!ParseSeconds(argv[++i], options.seconds, error)) return false;
            secondsGiven = true;
        } else if (arg.rfind("--seconds=", 0) == 0) {
            if (!ParseSeconds(argv[i] + std::strlen("--seconds="), options.seconds, error)) return false;
            secondsGiven = true;
        } else if (arg == "--play") {
            options.play = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            if (files == 0) options.input = arg;
            if (files == 1) options.output = arg;
            ++files;
        }
    }
    if (options.play) {
        if (files != 1 || secondsGiven) {
            error = "--play takes one song and no --seconds";
            return false;
        }
        return true;
    }
    if (files != 2) {
        error = files < 2 ? "an input and an output file are needed" : "too many file names";
        return false;
    }
    return true;
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

    const std::uint64_t frames = std::min(FramesForSeconds(options.seconds), kMaxWavFrames);
    int result = kExitRendered;
    // Ctrl+C and SIGTERM end the render between two pieces, so that the
    // temporary file (reserved at the full size) goes with it.
    platform::CatchInterrupt();
    WavWriter wav;
    if (!wav.Open(options.output, music::kOutputRate, static_cast<std::uint32_t>(frames))) {
        std::fprintf(err, "%s\n", wav.Error().c_str());
        result = kExitWriteFailed;
    } else if (!music::StartOfflineRender(*song)) {
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
