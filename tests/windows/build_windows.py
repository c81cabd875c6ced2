#!/usr/bin/python3
"""Builds the Windows executables (the `windows` preset, mingw-w64) for the
Wine tests that follow it. Usage: build_windows.py SOURCE_DIR"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import preset_build  # noqa: E402

if __name__ == "__main__":
    sys.exit(preset_build.build(sys.argv[1], "windows", "x86_64-w64-mingw32-g++-posix",
                                "the mingw-w64 C++ cross compiler", "g++-mingw-w64-x86-64-posix", launcher="ccache"))
