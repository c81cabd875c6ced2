"""What the Wine tests share: Wine itself, one prefix per test program (made
once, it takes about ten seconds), and the paths of the Windows build."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import skip  # noqa: E402

WINE = "/usr/lib/wine/wine64"


class Wine:
    """A prefix and a home of its own, removed at the end."""

    def __init__(self, windows_build):
        if not os.path.exists(WINE):
            skip.missing("Wine", "wine64")
        self.build = os.path.abspath(windows_build)
        if not os.path.exists(self.exe("app/quandrix.exe")):
            print("FAIL: no Windows build in " + self.build + " (the test windows_build makes it)")
            sys.exit(1)
        self.root = tempfile.mkdtemp(prefix="quandrix-wine-")
        self.home = os.path.join(self.root, "home")
        os.makedirs(self.home)
        started = time.monotonic()
        # Any program makes the prefix; wineboot says when it is ready.
        subprocess.run([WINE, "wineboot", "--init"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=180, check=False)
        # The prefix is ready once its first server has finished.
        subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=self.env(), timeout=180, check=False)
        self.prefix_seconds = time.monotonic() - started

    def exe(self, relative):
        return os.path.join(self.build, relative)

    def env(self, **extra):
        env = dict(os.environ)
        env["WINEPREFIX"] = os.path.join(self.root, "prefix")
        env["WINEDEBUG"] = "-all"
        env["HOME"] = self.home  # ALSA's ~/.asoundrc is read from here
        env.pop("DISPLAY", None)
        env.update(extra)
        return env

    def run(self, *args, **extra_env):
        return subprocess.run([WINE, *args], env=self.env(**extra_env), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=300)

    def close(self):
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        shutil.rmtree(self.root, ignore_errors=True)
