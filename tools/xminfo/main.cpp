// quandrix-xminfo [--json] FILE.xm: the facts of an XM song as the intro's
// player loads it, and what its engine will not play. Exit code 0 when it
// loads, 2 (with the reason on standard error) when the player would refuse
// it, 1 for a usage error.
#include <cstdio>
#include <cstring>

#include "tools/xminfo/xminfo.h"

int main(int argc, char** argv) {
    const bool json = argc == 3 && std::strcmp(argv[1], "--json") == 0;
    if (argc != 2 + (json ? 1 : 0) || (!json && argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fprintf(stderr, "usage: quandrix-xminfo [--json] FILE.xm\n");
        return xminfo::kExitUsage;
    }
    return xminfo::RunXmInfo(argv[json ? 2 : 1], stdout, stderr, json);
}
