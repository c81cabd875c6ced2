#pragma once
// A 16-bit PCM WAV file written as it grows: the header is written first
// with the sizes the caller announces, then the frames. Little-endian on any
// host.

#include <cstdint>
#include <cstdio>
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
    // `rate`. False (errno set) when it cannot be created or written.
    bool Open(const std::string& path, std::uint32_t rate, std::uint32_t frames);
    // Appends frames x 2 values, left then right, in one write: hand over
    // large pieces (the file is not buffered).
    bool Write(const std::int16_t* values, std::size_t frames);
    // Flushes and closes; false when any write failed.
    bool Close();

private:
    std::FILE* file_ = nullptr;
    bool ok_ = true;
};

}  // namespace xmrender
