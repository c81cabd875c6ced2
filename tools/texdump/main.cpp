// quandrix-texdump [--all] DIR: writes the generated textures (and with
// --all every other texture of the table and a contact sheet) as PNG files.
// Needs no display. See --help.
#include <cstdio>
#include <string>

#include "tools/cli/command_line.h"
#include "tools/texdump/dump_all.h"
#include "tools/texdump/texdump.h"

int main(int argc, char** argv) {
    bool all = false;
    std::string dir;
    cli::Tool tool{
        "quandrix-texdump",
        "[--all] DIR",
        "Runs the intro's five texture scripts on the CPU and writes texGenUnusedGreen.png,\n"
        "texGenSpotsRGB.png, texGenFire.png, texGenSpot.png and texGenWarpGrey.png\n"
        "(256 x 256 RGB) into DIR, which is created if missing. Each file appears whole\n"
        "or not at all. Needs no display.",
        {{"--all", "", "also every image texture of the table (RGBA after its alpha rule)\n"
                       "and contact-sheet.png, all of them on a checkerboard",
          cli::SetFlag(all)}},
        cli::TakeOne(dir, "a folder"),
        "Exit status: 0 written; 1 a texture could not be made or written; 2 a bad option."};
    if (const std::optional<int> status = cli::ReadCommandLine(tool, argc, argv)) return *status;
    std::string error;
    if (!tools::DumpGeneratedTextures(dir, &error) || (all && !tools::DumpImageTextures(dir, &error))) {
        std::fprintf(stderr, "quandrix-texdump: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
