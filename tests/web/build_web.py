#!/usr/bin/python3
"""Builds the web page (the `web` preset, Debian's Emscripten) for the
browser tests that follow it. Usage: build_web.py SOURCE_DIR"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import skip  # noqa: E402


def main():
    source = os.path.abspath(sys.argv[1])
    if not shutil.which("em++"):
        skip.missing("Emscripten", "emscripten")
    configure = ["cmake", "--preset", "web"]
    if os.environ.get("CI") == "true":
        configure.append("-DQUANDRIX_WERROR=ON")
    started = time.monotonic()
    for command in (configure, ["cmake", "--build", "--preset", "web", "-j2"]):
        result = subprocess.run(command, cwd=source)
        if result.returncode != 0:
            print("FAIL: " + " ".join(command))
            return 1
    print("web build: %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
