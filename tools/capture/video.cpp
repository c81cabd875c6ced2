#include "tools/capture/video.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/write_file.h"
#include "tools/capture/frame_files.h"

namespace capture {

namespace fs = std::filesystem;

std::vector<std::string> PictureArguments(const std::string& ffmpeg, int fps, VideoSize size,
                                          const fs::path& output) {
    return {ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
            // The frames as the capture reads them back.
            "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size",
            std::to_string(size.width) + "x" + std::to_string(size.height), "-framerate", std::to_string(fps), "-i", "pipe:0",
            // H.264 in 4:2:0, which every browser plays; crf 18 keeps the
            // fine texture detail of the tubes.
            "-an", "-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p", "-f", "mp4",
            output.string()};
}

std::vector<std::string> SoundArguments(const std::string& ffmpeg, const fs::path& picture, std::int32_t rate,
                                        const fs::path& output) {
    return {ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y", "-i", picture.string(),
            "-f", "s16le", "-ar", std::to_string(rate), "-ac", "2", "-i", "pipe:0",
            "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
            // The index first, so that a browser starts playing before the
            // whole file has arrived.
            "-movflags", "+faststart", "-f", "mp4", output.string()};
}

VideoWriter::~VideoWriter() { Abandon(); }

namespace {

// How ffmpeg ended, for a message (its own reason is on standard error).
std::string StatusText(int status) {
    return status < 0 ? " (ended by a signal)" : " (exit status " + std::to_string(status) + ")";
}

}  // namespace

bool VideoWriter::Open(const std::string& ffmpeg, const fs::path& output, int fps, VideoSize size,
                       std::string& error) {
    Abandon();
    ffmpeg_ = ffmpeg;
    output_ = output;
    size_ = size;
    place_ = PlaceFrame(kWidth, kHeight, size);
    scaled_.clear();
    if (size.width != kWidth || size.height != kHeight) {
        scaled_.resize(static_cast<std::size_t>(size.width) * size.height * 3);
    }
    if (fs::is_directory(output)) {
        error = "cannot write " + output.string() + ": it is a directory";
        return false;
    }
    // Both passes' files exist before anything is drawn: an output that
    // cannot be written is refused at once.
    picture_ = platform::CreateTemporaryBeside(output, error);
    if (!picture_.empty()) final_ = platform::CreateTemporaryBeside(output, error);
    if (final_.empty()) {
        Abandon();
        return false;
    }
    if (!platform::StartChild(ffmpeg_, PictureArguments(ffmpeg_, fps, size_, picture_), child_)) {
        error = "cannot start " + ffmpeg_ + ": " + std::strerror(errno);
        Abandon();
        return false;
    }
    return true;
}

bool VideoWriter::WriteFrame(const std::uint8_t* rgb, std::string& error) {
    const std::uint8_t* frame = rgb;
    if (!scaled_.empty()) {
        ScaleFrame(rgb, kWidth, kHeight, size_, place_, scaled_.data());
        frame = scaled_.data();
    }
    if (platform::WriteToChild(child_, frame, static_cast<std::size_t>(size_.width) * size_.height * 3)) return true;
    error = "ffmpeg stopped taking frames" + StatusText(platform::FinishChild(child_));
    return false;
}

bool VideoWriter::EndPass(const char* pass, std::string& error) {
    const int status = platform::FinishChild(child_);
    if (status == 0) return true;
    error = std::string("ffmpeg failed while encoding the ") + pass + StatusText(status);
    return false;
}

bool VideoWriter::BeginSound(std::int32_t rate, std::string& error) {
    if (!EndPass("picture", error)) return false;
    if (!platform::StartChild(ffmpeg_, SoundArguments(ffmpeg_, picture_, rate, final_), child_)) {
        error = "cannot start " + ffmpeg_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool VideoWriter::WriteSound(const std::int16_t* values, std::size_t frames, std::string& error) {
    if (platform::WriteToChild(child_, values, frames * 2 * sizeof(std::int16_t))) return true;
    error = "ffmpeg stopped taking sound" + StatusText(platform::FinishChild(child_));
    return false;
}

bool VideoWriter::Finish(std::string& error) {
    if (!EndPass("sound", error)) return false;
    if (!platform::RenameOver(final_, output_, error)) return false;
    final_.clear();
    std::error_code code;
    fs::remove(picture_, code);
    picture_.clear();
    return true;
}

void VideoWriter::Abandon() {
    platform::FinishChild(child_);
    std::error_code code;
    if (!picture_.empty()) fs::remove(picture_, code);
    if (!final_.empty()) fs::remove(final_, code);
    picture_.clear();
    final_.clear();
}

}  // namespace capture
