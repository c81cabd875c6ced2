// quandrix-xmrender IN.xm OUT.wav [--seconds S] [--rate HZ] [--quiet]: renders
// an XM file as the intro's player would play it (mixed at HZ), after one line
// on standard error about what the engine will not play of it (not with
// --quiet). Exit code 0 when written, 2 (with the reason on standard error)
// for a bad option or a song the player refuses or cannot read, 1 when the
// output cannot be written.
// quandrix-xmrender --play IN.xm [--rate HZ]: plays it live until Enter or
// Ctrl+C; exit code 1 when there is no sound device.
#include <cstdio>

#include "tools/cli/command_line.h"
#include "tools/xmrender/xmrender.h"

int main(int argc, char** argv) {
    xmrender::Options options;
    if (const std::optional<int> status = cli::ReadCommandLine(xmrender::CommandLine(options), argc, argv)) {
        return *status;
    }
    if (options.play) return xmrender::PlaySong(options, stdout, stderr);
    return xmrender::RenderToWav(options, stderr);
}
