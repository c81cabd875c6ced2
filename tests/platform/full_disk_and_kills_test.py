#!/usr/bin/python3
"""Every tool that writes files, on a file system that fills up and stopped
half way: one line of error and status 1, no temporary file left, and an
output that existed byte for byte as it was (after a kill: as it was, or
whole). The small file system is a tmpfs of the test's own where it may
mount one (root, as in CI), else the file-size limit with SIGXFSZ ignored,
which ends a write the same way.
Usage: full_disk_and_kills_test.py --xmrender P --textpatch P --texdump P --capture P --intro P --song P"""

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

NAMES = ("xmrender", "textpatch", "texdump", "capture", "intro", "song")
TOOLS = {}
FULL = r"(No space left on device|File too large)"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def temporaries(folder):
    return [os.path.join(top, n) for top, _, names in os.walk(folder) for n in names if ".tmp-" in n]


class Scratch(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="writers_")
        self.addCleanup(shutil.rmtree, self.root, ignore_errors=True)
        self.path = lambda *names: os.path.join(self.root, *names)


class FullDisk(Scratch):
    def test_each_tool_fails_cleanly_and_keeps_the_old_output(self):
        small = self.path("small")
        os.mkdir(small)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", small],
                                 stderr=subprocess.DEVNULL).returncode == 0
        if mounted:
            self.addCleanup(subprocess.run, ["umount", small], check=True)
        write(self.path("pages.txt"), b"a full disk\n")
        # (arguments, the output that exists, the bytes left, the error); the
        # largest texture (124 KB), the first frame (5 KB) and the video never fit.
        exe, wav, video = os.path.join(small, "quandrix"), os.path.join(small, "song.wav"), os.path.join(small, "v.mp4")
        cases = [
            ([TOOLS["xmrender"], TOOLS["song"], wav, "--seconds", "30", "--quiet"], wav, 1 << 20, wav + ": " + FULL),
            ([TOOLS["textpatch"], "set", exe, self.path("pages.txt")], exe, 2 << 20,
             "%s: %s; %s is unchanged" % (exe, FULL, exe)),
            ([TOOLS["texdump"], small], os.path.join(small, "texGenUnusedGreen.png"), 100 << 10, small + "/.*: " + FULL),
            ([TOOLS["capture"], "--frames", "30", "--out", small], os.path.join(small, "frame_00000.png"), 4 << 10,
             small + "/.*: " + FULL),
            ([TOOLS["capture"], "--video", video, "--frames", "60"], video, 4 << 10, "ffmpeg (failed|stopped)"),
        ]
        for args, output, free, error in cases:
            old = read(TOOLS["intro"]) if output == exe else b"the old " + os.path.basename(output).encode()
            write(output, old)
            if mounted:
                stat = os.statvfs(small)
                write(os.path.join(small, "filler"), b"\0" * max(0, stat.f_bavail * stat.f_frsize - free))

            def limited(limit=None if mounted else free):
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                if limit:
                    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
            environment = {k: v for k, v in os.environ.items() if k != "SDL_VIDEODRIVER"}
            result = subprocess.run(args, env=dict(environment, SDL_AUDIODRIVER="dummy"), preexec_fn=limited,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=600)
            self.assertEqual(result.returncode, 1, result.stderr)
            # Neither the capture's progress line nor ffmpeg's own reason before ours is the error.
            lines = [line for line in result.stderr.strip().split("\n") if "frames written, intro at" not in line]
            self.assertRegex(lines[-1], "cannot write " + error if "ffmpeg" not in error else error)
            self.assertTrue(len(lines) == 1 or "ffmpeg" in error, result.stderr)
            self.assertEqual(read(output), old, args)
            self.assertEqual(temporaries(small), [])
            for name in os.listdir(small):  # whatever else was written is whole
                if name.endswith(".png") and name != os.path.basename(output):
                    self.assertTrue(read(os.path.join(small, name)).endswith(b"IEND\xaeB`\x82"), name)
                os.remove(os.path.join(small, name))


class Kills(Scratch):
    def test_a_long_render_stopped_by_ctrl_c_or_sigterm(self):
        out = self.path("long.wav")
        for number in (signal.SIGINT, signal.SIGTERM):
            write(out, b"kept")
            render = subprocess.Popen([TOOLS["xmrender"], TOOLS["song"], out, "--seconds", "3600", "--quiet"],
                                      stderr=subprocess.PIPE, text=True)
            deadline = time.monotonic() + 60
            while not any(os.path.getsize(n) > (1 << 20) for n in temporaries(self.root)):
                self.assertLess(time.monotonic(), deadline, "no render under way")
                time.sleep(0.05)
            render.send_signal(number)
            _, errors = render.communicate(timeout=60)
            self.assertEqual((render.returncode, errors),
                             (1, "quandrix-xmrender: interrupted before %s was written whole\n" % out))
            self.assertEqual((read(out), temporaries(self.root)), (b"kept", []))

    def test_textpatch_killed_at_random_moments_leaves_the_old_or_the_new_program(self):
        exe, pages = self.path("quandrix"), self.path("pages.txt")
        write(pages, b"killed at random\n\nand still whole\n")
        shutil.copy(TOOLS["intro"], exe)
        patch = [TOOLS["textpatch"], "set", exe, pages, "--pages", "2"]
        old, started = read(exe), time.monotonic()
        subprocess.run(patch, check=True, stdout=subprocess.DEVNULL)
        length, new = time.monotonic() - started, read(exe)
        generator, seen, leftovers = random.Random(36), [], 0
        for _ in range(100):
            tool = subprocess.Popen(patch, stdout=subprocess.DEVNULL)
            time.sleep(generator.uniform(0, length * 1.2))
            tool.kill()
            tool.wait()
            seen.append(read(exe))
            self.assertIn(seen[-1], (old, new), "a kill left the program half patched")
            for name in temporaries(self.root):
                leftovers += 1
                os.remove(name)
            write(exe, old)
        print("100 kills: %d left the old program, %d a temporary file" % (seen.count(old), leftovers))
        # The finished file has a name of its own only between two calls.
        self.assertLessEqual(leftovers, 5)
        subprocess.run(patch, check=True, stdout=subprocess.DEVNULL)
        self.assertEqual(read(exe), new)


if __name__ == "__main__":
    # --NAME PATH pairs first, then unittest's own arguments.
    while len(sys.argv) > 2 and sys.argv[1].startswith("--") and sys.argv[1][2:] in NAMES:
        name, TOOLS[name] = sys.argv.pop(1)[2:], sys.argv.pop(1)
    unittest.main(verbosity=2)
