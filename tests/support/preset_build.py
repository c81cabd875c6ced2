"""Builds another preset of this tree (the Windows and web builds) as the
fixture of the tests that run its output: configured with warnings as
errors in CI, built on two jobs, its time printed."""

import os
import shutil
import subprocess
import time

import skip


def build(source, preset, compiler, what, package, launcher=None):
    """Configures and builds `preset` in `source`; skips (fails in CI) when
    `compiler` is not on PATH. `launcher` (e.g. ccache) wraps the compilers
    when it is installed. Returns the exit status for the test."""
    source = os.path.abspath(source)
    if not shutil.which(compiler):
        skip.missing(what, package)
    configure = ["cmake", "--preset", preset]
    if launcher and shutil.which(launcher):
        configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=" + launcher, "-DCMAKE_C_COMPILER_LAUNCHER=" + launcher]
    if os.environ.get("CI") == "true":
        configure.append("-DQUANDRIX_WERROR=ON")
    started = time.monotonic()
    for command in (configure, ["cmake", "--build", "--preset", preset, "-j2"]):
        result = subprocess.run(command, cwd=source)
        if result.returncode != 0:
            print("FAIL: " + " ".join(command))
            return 1
    print("%s build: %.1f s" % (preset, time.monotonic() - started))
    return 0
