#!/usr/bin/python3
"""Every tool that writes files, on a file system that fills up and stopped
half way: one line of error and status 1, no temporary file left, and an
output that existed byte for byte as it was (or, after a kill, either as it
was or whole). The small file system is a tmpfs of the test's own where it
may mount one (root, as in CI), else the file-size limit (ulimit -f) with
SIGXFSZ ignored, which ends a write the same way.

Usage: full_disk_and_kills_test.py --xmrender P --textpatch P --texdump P
                                   --capture P --intro P --song SONG.xm
"""

import argparse
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

TOOLS = {}
PNG_END = b"IEND\xaeB`\x82"


def complete_png(path):
    with open(path, "rb") as f:
        data = f.read()
    return data.startswith(b"\x89PNG\r\n\x1a\n") and data.endswith(PNG_END)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def temporaries(folder):
    return [n for _, _, names in os.walk(folder) for n in names if ".tmp-" in n]


class SmallDisk(unittest.TestCase):
    """A folder with `free` bytes left in it."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="full_disk_")
        self.dir = os.path.join(self.root, "small")
        os.mkdir(self.dir)
        self.mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", self.dir],
                                      stderr=subprocess.DEVNULL).returncode == 0
        self.limit = None

    def tearDown(self):
        if self.mounted:
            subprocess.run(["umount", self.dir], check=True)
        shutil.rmtree(self.root, ignore_errors=True)

    def leave_free(self, free):
        """None: all the room there is."""
        filler = os.path.join(self.dir, "filler")
        if os.path.exists(filler):
            os.remove(filler)
        if not self.mounted or free is None:
            self.limit = None if self.mounted else free
            return
        stat = os.statvfs(self.dir)
        with open(filler, "wb") as f:
            f.write(b"\0" * max(0, stat.f_bavail * stat.f_frsize - free))

    def run_tool(self, *args, **env):
        def limited():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            if self.limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (self.limit, self.limit))
        environment = dict(os.environ, SDL_AUDIODRIVER="dummy", **env)
        environment.pop("SDL_VIDEODRIVER", None)
        return subprocess.run(list(args), env=environment, preexec_fn=limited, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=600)

    def assertFailedCleanly(self, result, last_line):
        self.assertEqual(result.returncode, 1, result.stderr)
        # The capture's progress line is no error; ffmpeg says its own reason before ours.
        lines = [line for line in result.stderr.strip().split("\n") if "frames written, intro at" not in line]
        self.assertRegex(lines[-1], last_line)
        if "ffmpeg" not in lines[-1]:
            self.assertEqual(len(lines), 1, result.stderr)
        self.assertEqual(temporaries(self.root), [])

    def test_xmrender_textpatch_texdump_and_capture_on_a_full_disk(self):
        full = r"(No space left on device|File too large)"
        out = os.path.join(self.dir, "song.wav")
        with open(out, "wb") as f:
            f.write(b"the old render")
        self.leave_free(1 << 20)
        result = self.run_tool(TOOLS["xmrender"], TOOLS["song"], out, "--seconds", "30", "--quiet")
        self.assertFailedCleanly(result, "cannot write %s: %s" % (out, full))
        self.assertEqual(read(out), b"the old render")

        exe = os.path.join(self.dir, "quandrix")
        self.leave_free(None)
        shutil.copy(TOOLS["intro"], exe)
        pages = os.path.join(self.root, "pages.txt")
        with open(pages, "w") as f:
            f.write("a full disk\n")
        self.leave_free(os.path.getsize(exe) // 2)
        result = self.run_tool(TOOLS["textpatch"], "set", exe, pages)
        self.assertFailedCleanly(result, "cannot write %s: %s; %s is unchanged" % (exe, full, exe))
        self.assertEqual(read(exe), read(TOOLS["intro"]))
        os.remove(exe)

        # The largest texture (124 KB) and the first frame (5 KB) never fit.
        for tool, args, name, free in (("texdump", [], "texGenUnusedGreen.png", 100 << 10),
                                       ("capture", ["--frames", "30", "--out"], "frame_00000.png", 4 << 10)):
            target = os.path.join(self.dir, tool)
            os.makedirs(target)
            with open(os.path.join(target, name), "wb") as f:
                f.write(b"old")
            self.leave_free(free)
            result = self.run_tool(TOOLS[tool], *args, target)
            self.assertFailedCleanly(result, "cannot write %s/.*: %s" % (target, full))
            self.assertEqual(read(os.path.join(target, name)), b"old")
            self.assertTrue(all(complete_png(os.path.join(target, n)) for n in os.listdir(target) if n != name))

        video = os.path.join(self.dir, "show.mp4")
        with open(video, "wb") as f:
            f.write(b"the old video")
        self.leave_free(4 << 10)
        result = self.run_tool(TOOLS["capture"], "--video", video, "--frames", "60")
        self.assertFailedCleanly(result, "ffmpeg (failed|stopped)")
        self.assertEqual(read(video), b"the old video")


class Kills(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kills_")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_a_long_render_stopped_by_ctrl_c_or_sigterm(self):
        out = os.path.join(self.dir, "long.wav")
        for number in (signal.SIGINT, signal.SIGTERM):
            with open(out, "wb") as f:
                f.write(b"kept")
            render = subprocess.Popen([TOOLS["xmrender"], TOOLS["song"], out, "--seconds", "3600", "--quiet"],
                                      stderr=subprocess.PIPE, text=True)
            deadline = time.monotonic() + 60
            while not any(os.path.getsize(os.path.join(self.dir, n)) > (1 << 20) for n in temporaries(self.dir)):
                self.assertLess(time.monotonic(), deadline, "no render under way")
                time.sleep(0.05)
            render.send_signal(number)
            _, errors = render.communicate(timeout=60)
            self.assertEqual(render.returncode, 1, errors)
            self.assertEqual(errors, "quandrix-xmrender: interrupted before %s was written whole\n" % out)
            self.assertEqual(read(out), b"kept")
            self.assertEqual(temporaries(self.dir), [])

    def test_textpatch_killed_at_random_moments_leaves_the_old_or_the_new_program(self):
        exe, pages = os.path.join(self.dir, "quandrix"), os.path.join(self.dir, "pages.txt")
        with open(pages, "w") as f:
            f.write("killed at random\n\nand still whole\n")
        shutil.copy(TOOLS["intro"], exe)
        old = read(exe)
        started = time.monotonic()
        subprocess.run([TOOLS["textpatch"], "set", exe, pages, "--pages", "2"], check=True, stdout=subprocess.DEVNULL)
        length = time.monotonic() - started
        new = read(exe)
        self.assertNotEqual(old, new)
        generator = random.Random(36)
        outcomes = {"old": 0, "new": 0}
        leftovers = 0
        for _ in range(100):
            tool = subprocess.Popen([TOOLS["textpatch"], "set", exe, pages, "--pages", "2"], stdout=subprocess.DEVNULL)
            time.sleep(generator.uniform(0, length * 1.2))
            tool.kill()
            tool.wait()
            now = read(exe)
            self.assertIn(now, (old, new), "a kill left the program half patched")
            outcomes["old" if now == old else "new"] += 1
            for name in temporaries(self.dir):
                leftovers += 1
                os.remove(os.path.join(self.dir, name))
            if now == new:
                with open(exe, "wb") as f:
                    f.write(old)
        print("100 kills: %(old)d left the old program, %(new)d the new one" % outcomes, end="; ")
        print("%d left a temporary file" % leftovers)
        # The new file has a name only for the moment between two calls.
        self.assertLessEqual(leftovers, 5)
        subprocess.run([TOOLS["textpatch"], "set", exe, pages, "--pages", "2"], check=True, stdout=subprocess.DEVNULL)
        self.assertEqual(read(exe), new)


def main():
    parser = argparse.ArgumentParser()
    for name in ("xmrender", "textpatch", "texdump", "capture", "intro", "song"):
        parser.add_argument("--" + name, required=True)
    args, rest = parser.parse_known_args()
    TOOLS.update(vars(args))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
