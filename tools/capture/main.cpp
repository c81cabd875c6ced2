// quandrix-capture: the intro, frame by frame, into PNG files or an MP4 with
// its sound, on a fixed clock and without a display. See --help.
#include <cstdio>

#include "tools/capture/capture.h"
#include "tools/cli/command_line.h"
#include "tools/capture/options.h"

int main(int argc, char** argv) {
    capture::Options options;
    if (const std::optional<int> status = cli::ReadCommandLine(capture::CommandLine(options), argc, argv)) {
        return *status;
    }
    return capture::RunCapture(options, stderr);
}
