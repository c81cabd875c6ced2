#pragma once
// A 16-bit PCM WAV file written as it grows: the header is written first
// with the sizes the caller announces, then the frames. Little-endian on any
// host. The file grows under a temporary name beside the final one and takes
// that name only when closed whole, so a failed or interrupted render never
// leaves a truncated WAV behind; a device, a pipe or a standard stream
// (/dev/null, /dev/stdout, whatever standard output was redirected to) is
// written straight (platform::WrittenStraight).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace xmrender {

// The most frames a WAV of 16-bit stereo can hold: the RIFF size is 32 bits.
inline constexpr std::uint64_t kMaxWavFrames = (0xFFFFFFFFull - 36) / 4;

class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // Creates the file with a header for `frames` frames of 16-bit stereo at
    // `rate`. False (Error() says why) when it cannot be created or written.
    bool Open(const std::string& path, std::uint32_t rate, std::uint32_t frames);
    // Appends frames x 2 values, left then right, in one write: hand over
    // large pieces (the file is not buffered).
    bool Write(const std::int16_t* values, std::size_t frames);
    // Flushes, closes and puts the file under its name; false when any step
    // failed, and then nothing is left under the name or beside it.
    bool Close();
    // Closes the file and removes what was written under the temporary
    // name; the final name is left as it was.
    void Abandon() { Discard(); }
    // "cannot write PATH: reason" after a failure.
    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& reason);
    void Discard();

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::filesystem::path temporary_;  // empty when writing straight into path_
    bool ok_ = true;
    std::string error_;
};

}  // namespace xmrender
