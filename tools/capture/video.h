#pragma once
// The MP4 of a capture, made by Debian's ffmpeg in two passes, because the
// length of a capture that ends with the intro is known only at its end:
//   1. the frames, piped raw (RGB, rows top down; 640 x 480, or scaled into a
//      larger frame by frame_scale.h when the output asks for one), become an H.264
//      (yuv420p, browser-playable) MP4 without sound under a temporary name;
//   2. once the frames are done, the song's sound for exactly their span is
//      piped raw (44,100 Hz 16-bit stereo) into a second ffmpeg, which copies
//      the picture, encodes the sound as AAC and writes a second temporary
//      file; that one is renamed to the output.
// Every temporary file is removed on every path.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "tools/capture/frame_scale.h"

namespace capture {

// The argument lists of the two passes (argv[0] is the program).
std::vector<std::string> PictureArguments(const std::string& ffmpeg, int fps, VideoSize size,
                                          const std::filesystem::path& output);
std::vector<std::string> SoundArguments(const std::string& ffmpeg, const std::filesystem::path& picture,
                                        std::int32_t rate, const std::filesystem::path& output);

class VideoWriter {
public:
    VideoWriter() = default;
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;
    ~VideoWriter();  // abandons whatever is unfinished

    // Proves the output can be written (both temporary files are created
    // beside it) and starts the first pass. False with the reason in `error`
    // when the output cannot be written or ffmpeg cannot be started. Frames
    // become `size` (PlaceFrame and ScaleFrame) on their way to ffmpeg.
    bool Open(const std::string& ffmpeg, const std::filesystem::path& output, int fps, VideoSize size,
              std::string& error);
    // One frame as the intro drew it: kWidth x kHeight x 3 bytes, rows top down.
    bool WriteFrame(const std::uint8_t* rgb, std::string& error);
    // Ends the first pass and starts the second.
    bool BeginSound(std::int32_t rate, std::string& error);
    // frames x 2 interleaved 16-bit values.
    bool WriteSound(const std::int16_t* values, std::size_t frames, std::string& error);
    // Ends the second pass and renames its file to the output.
    bool Finish(std::string& error);
    // Stops ffmpeg and removes the temporary files.
    void Abandon();

private:
    bool EndPass(const char* pass, std::string& error);

    std::string ffmpeg_;
    std::filesystem::path output_;
    std::filesystem::path picture_;  // first pass's file
    std::filesystem::path final_;    // second pass's file
    platform::ChildProcess child_;
    VideoSize size_;
    Placement place_;
    std::vector<std::uint8_t> scaled_;  // the frame at size_; empty at 640 x 480
};

}  // namespace capture
