// quandrix-xminfo FILE.xm: the facts of an XM song as the intro's player
// loads it. Exit code 0 when it loads, 2 (with the reason on standard error)
// when the player would refuse it, 1 for a usage error.
#include <cstdio>

#include "tools/xminfo/xminfo.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quandrix-xminfo FILE.xm\n");
        return xminfo::kExitUsage;
    }
    return xminfo::RunXmInfo(argv[1], stdout, stderr);
}
