#!/usr/bin/python3
"""Builds the web page (the `web` preset, Debian's Emscripten) for the
browser tests that follow it. Usage: build_web.py SOURCE_DIR"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import preset_build  # noqa: E402

if __name__ == "__main__":
    sys.exit(preset_build.build(sys.argv[1], "web", "em++", "Emscripten", "emscripten"))
