// quandrix-capture: the intro, frame by frame, into PNG files or an MP4 with
// its sound, on a fixed clock and without a display. See --help.
#include <cstdio>
#include <string>

#include "tools/capture/capture.h"
#include "tools/capture/options.h"

int main(int argc, char** argv) {
    capture::Options options;
    std::string error;
    if (!capture::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "quandrix-capture: %s\n%s\n", error.c_str(), capture::Usage());
        return capture::kExitRefused;
    }
    if (options.help) {
        std::fputs(capture::HelpText().c_str(), stdout);
        return capture::kExitDone;
    }
    return capture::RunCapture(options, stderr);
}
