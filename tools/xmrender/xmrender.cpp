#include "tools/xmrender/xmrender.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "music/mixer.h"
#include "music/offline_render.h"
#include "music/stream.h"
#include "music/xm_loader.h"
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

namespace {

// The song file's bytes behind the stream table while the loader reads them:
// the intro's own song comes from memory too, and the loader's many small
// seeks cost nothing there.
struct MemoryStream {
    const std::vector<std::uint8_t>* bytes = nullptr;
    std::int32_t position = 0;  // 0..size
};

const std::vector<std::uint8_t>* fileBytes = nullptr;

MemoryStream& AsStream(void* stream) { return *static_cast<MemoryStream*>(stream); }
std::int32_t Size(const MemoryStream& s) { return static_cast<std::int32_t>(s.bytes->size()); }

void* OpenMemory(const char*) { return fileBytes ? new MemoryStream{fileBytes, 0} : nullptr; }
void CloseMemory(void* stream) { delete static_cast<MemoryStream*>(stream); }
std::int32_t ReadMemory(void* destination, std::int32_t count, void* stream) {
    MemoryStream& s = AsStream(stream);
    const std::int32_t n = std::clamp(count, std::int32_t{0}, Size(s) - s.position);
    if (n > 0) std::memcpy(destination, s.bytes->data() + s.position, static_cast<std::size_t>(n));
    s.position += n;
    return n;
}
void SeekMemory(void* stream, std::int32_t offset, std::uint8_t origin) {
    MemoryStream& s = AsStream(stream);
    std::int64_t to = s.position;
    if (origin == music::kSeekSet) to = offset;
    if (origin == music::kSeekCurrent) to = std::int64_t{s.position} + offset;
    if (origin == music::kSeekEnd) to = std::int64_t{Size(s)} + offset;
    s.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(to, 0, Size(s)));
}
std::int32_t TellMemory(void* stream) { return AsStream(stream).position; }

// The whole file, or false with errno set.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::uint8_t chunk[65536];
    std::size_t got;
    bool ok = true;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            errno = EFBIG;  // the stream's positions are 32-bit
            ok = false;
            break;
        }
    }
    if (ok && std::ferror(file)) ok = false;
    const int error = errno;
    std::fclose(file);
    errno = error;
    return ok;
}

}  // namespace

bool InstallFileStream(const std::string& path, std::FILE* err) {
    RemoveFileStream();
    auto bytes = std::make_unique<std::vector<std::uint8_t>>();
    if (!ReadFile(path, *bytes)) {
        std::fprintf(err, "%s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    fileBytes = bytes.release();
    music::RegisterStreamOps(OpenMemory, CloseMemory, ReadMemory, SeekMemory, TellMemory);
    return true;
}

void RemoveFileStream() {
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    delete fileBytes;
    fileBytes = nullptr;
}

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
    WavWriter wav;
    if (!wav.Open(options.output, music::kOutputRate, static_cast<std::uint32_t>(frames))) {
        std::fprintf(err, "%s: %s\n", options.output.c_str(), std::strerror(errno));
        result = kExitWriteFailed;
    } else if (!music::StartOfflineRender(*song)) {
        std::fprintf(err, "%s: out of memory for the rings\n", options.input.c_str());
        result = kExitWriteFailed;
    } else {
        // What the device plays, in large writes.
        constexpr std::uint64_t chunkFrames = 65536;
        std::vector<std::int16_t> chunk(chunkFrames * 2);
        bool ok = true;
        for (std::uint64_t written = 0; ok && written < frames;) {
            const std::uint64_t n = std::min(chunkFrames, frames - written);
            music::ReadPlayedFrames(chunk.data(), n);
            ok = wav.Write(chunk.data(), n);
            written += n;
        }
        if (!wav.Close() || !ok) {
            std::fprintf(err, "%s: %s\n", options.output.c_str(), std::strerror(errno));
            result = kExitWriteFailed;
        }
    }
    music::StopOfflineRender();
    music::FreeModule(song);
    return result;
}

}  // namespace xmrender
