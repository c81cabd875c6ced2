// quandrix-textpatch show EXE | set EXE FILE [--pages N]
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/textpatch/textpatch.h"

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::string out, err;
    const int code = textpatch::Main(args, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return code;
}
