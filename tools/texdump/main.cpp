// quandrix-texdump [--all] DIR: writes the generated textures (and with
// --all every other texture of the table and a contact sheet) as PNG files.
// Needs no display.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/texdump/dump_all.h"
#include "tools/texdump/texdump.h"

int main(int argc, char** argv) {
    const bool all = argc == 3 && std::strcmp(argv[1], "--all") == 0;
    if (argc != 2 && !all) {
        std::fprintf(stderr,
                     "usage: quandrix-texdump [--all] DIR\n"
                     "Writes the five generated textures as 256 x 256 RGB PNG files into DIR;\n"
                     "with --all also every image texture (RGBA after its alpha rule) and contact-sheet.png.\n");
        return 2;
    }
    const char* dir = argv[argc - 1];
    std::string error;
    if (!tools::DumpGeneratedTextures(dir, &error) || (all && !tools::DumpImageTextures(dir, &error))) {
        std::fprintf(stderr, "quandrix-texdump: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
