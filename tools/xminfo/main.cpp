// quandrix-xminfo [--json] FILE.xm: the facts of an XM song as the intro's
// player loads it, and what its engine will not play. See --help.
#include <cstdio>
#include <string>

#include "tools/cli/command_line.h"
#include "tools/xminfo/xminfo.h"

int main(int argc, char** argv) {
    bool json = false;
    std::string song;
    cli::Tool tool{
        "quandrix-xminfo",
        "[--json] FILE.xm",
        "Loads an XM song with the intro's own loader and prints its facts (channels,\n"
        "patterns, order, tempo, instruments with their envelopes and samples, the\n"
        "loader's repairs), then what the engine will not play of it: each ignored effect\n"
        "and volume-column command with its cell count and the first place it is heard,\n"
        "and the commands it plays in a way of its own.",
        {{"--json", "", "print the same facts and report as one JSON object", cli::SetFlag(json)}},
        cli::TakeOne(song, "a song file"),
        "Exit status: 0 the song loads; 2 a bad option, or a file the player cannot read\n"
        "or refuses (the reason goes to standard error)."};
    if (const std::optional<int> status = cli::ReadCommandLine(tool, argc, argv)) return *status;
    return xminfo::RunXmInfo(song.c_str(), stdout, stderr, json);
}
