// quandrix-texdump DIR: writes the five generated textures as PNG files.
#include <cstdio>
#include <string>

#include "tools/texdump/texdump.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quandrix-texdump DIR\n"
                             "Writes the five generated textures as 256 x 256 RGB PNG files into DIR.\n");
        return 2;
    }
    std::string error;
    if (!tools::DumpGeneratedTextures(argv[1], &error)) {
        std::fprintf(stderr, "quandrix-texdump: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
