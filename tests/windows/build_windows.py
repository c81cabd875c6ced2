#!/usr/bin/python3
"""Builds the Windows executables (the `windows` preset, mingw-w64) for the
Wine tests that follow it. Usage: build_windows.py SOURCE_DIR"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import skip  # noqa: E402


def main():
    source = os.path.abspath(sys.argv[1])
    if not shutil.which("x86_64-w64-mingw32-g++-posix"):
        skip.missing("the mingw-w64 C++ cross compiler", "g++-mingw-w64-x86-64-posix")
    configure = ["cmake", "--preset", "windows"]
    if shutil.which("ccache"):
        configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    if os.environ.get("CI") == "true":
        configure.append("-DQUANDRIX_WERROR=ON")
    started = time.monotonic()
    for command in (configure, ["cmake", "--build", "--preset", "windows", "-j2"]):
        result = subprocess.run(command, cwd=source)
        if result.returncode != 0:
            print("FAIL: " + " ".join(command))
            return 1
    print("windows build: %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
