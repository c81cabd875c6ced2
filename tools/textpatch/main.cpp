// quandrix-textpatch show EXE | set EXE FILE [--pages N]. See --help.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/textpatch/textpatch.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string out, err;
    const int code = textpatch::Main(args, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    // Pages or help that never arrived (a full disk) are no success.
    if (std::fflush(stdout) != 0 && code == 0) {
        std::fprintf(stderr, "quandrix-textpatch: cannot write to standard output\n");
        return 1;
    }
    return code;
}
