// quandrix-xmrender --play: the song through the sound device, driven by the
// intro's own output thread, until Enter or Ctrl+C.
#include <cstdio>

#include "music/mixer.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/underruns.h"
#include "music/xm_loader.h"
#include "platform/console.h"
#include "tools/xmrender/xmrender.h"

namespace xmrender {

namespace {

// How often the status line is redrawn and the keyboard looked at.
constexpr unsigned kStatusMilliseconds = 100;

void PrintStatus(std::FILE* out, const music::Module& song, bool terminal, bool last) {
    const music::HeardPosition heard = music::CurrentHeardPosition();
    const int minutes = static_cast<int>(heard.seconds / 60.0);
    const double seconds = heard.seconds - 60.0 * minutes;
    const int order = heard.orderPosition;
    const int pattern = order >= 0 && order < song.songLength ? song.orderTable[static_cast<std::size_t>(order)] : 0;
    const music::Underruns late = music::CurrentUnderruns();
    if (terminal) {
        std::fprintf(out, "\rorder %3d/%-3d  pattern %3d  row %3d  %3d:%05.2f  late %llu ", order, song.songLength - 1,
                     pattern, heard.row, minutes, seconds, static_cast<unsigned long long>(late.lateBlocks));
        if (last) std::fputc('\n', out);
    } else if (last) {
        std::fprintf(out, "stopped at order %d, pattern %d, row %d after %d:%05.2f\n", order, pattern, heard.row,
                     minutes, seconds);
    }
    if (last && late.lateBlocks > 0) std::fprintf(out, "%s\n", music::DescribeUnderruns(late).c_str());
    std::fflush(out);
}

}  // namespace

int PlaySong(const Options& options, std::FILE* out, std::FILE* err) {
    // The intro's start-up order: stream operations, device, song, playback.
    if (!InstallFileStream(options.input, err)) return kExitRejected;
    if (!music::OpenAudio(options.rate)) {
        std::fprintf(err, "quandrix-xmrender: no sound device could be opened (SDL_AUDIODRIVER picks one)\n");
        RemoveFileStream();
        return kExitWriteFailed;
    }
    music::LoadReport report;
    music::Module* song = music::LoadModule(options.input.c_str(), &report);
    RemoveFileStream();
    if (song) PrintEngineSummary(options, *song, err);
    int result = kExitRendered;
    if (!song) {
        std::fprintf(err, "%s: %s\n", options.input.c_str(), music::DescribeLoadFailure(report).c_str());
        result = kExitRejected;
    } else if (!music::StartPlayback(song)) {
        std::fprintf(err, "quandrix-xmrender: playback could not start\n");
        result = kExitWriteFailed;
    } else {
        platform::CatchInterrupt();
        const bool terminal = platform::StandardOutputIsTerminal();
        if (terminal) std::fprintf(out, "playing %s: Enter or Ctrl+C stops\n", options.input.c_str());
        while (!platform::InterruptRequested() && !platform::ConsoleLineEntered(kStatusMilliseconds)) {
            if (terminal) PrintStatus(out, *song, true, false);
        }
        PrintStatus(out, *song, terminal, true);
    }
    // The intro's shutdown order.
    music::StopPlayback(song);
    music::FreeModule(song);
    music::CloseAudio();
    music::ReleaseOutputRing();
    return result;
}

}  // namespace xmrender
