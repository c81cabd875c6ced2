#!/usr/bin/python3
"""The pure suites of the Windows build (tests/windows/pure_suites.cmake),
run under Wine through that build's own CTest. Usage:
wine_pure_suites.py WINDOWS_BUILD_DIR"""

import subprocess
import sys

from wine_support import Wine


def main():
    wine = Wine(sys.argv[1])
    try:
        print("Wine prefix made in %.1f s" % wine.prefix_seconds)
        result = subprocess.run(["ctest", "--test-dir", wine.build, "--output-on-failure", "--no-tests=error"],
                                env=wine.env())
        return result.returncode
    finally:
        wine.close()


if __name__ == "__main__":
    sys.exit(main())
