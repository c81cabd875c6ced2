#!/usr/bin/python3
"""quandrix-xmrender --play as a user runs it: through SDL's disk driver, so
that what the device played can be compared with the offline render, and
stopped with Enter or with Ctrl+C (SIGINT).

Usage: xmrender_play_test.py --xmrender PATH --song SONG.xm
"""

import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import wave

XMRENDER = None
SONG = None


def first_sound(data):
    for i in range(0, len(data) - 3, 4):
        if data[i:i + 4] != b"\0\0\0\0":
            return i
    return None


class Play(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.played = os.path.join(self.tmp.name, "played.raw")

    def start(self, driver="disk"):
        env = dict(os.environ, SDL_AUDIODRIVER=driver, SDL_DISKAUDIOFILE=self.played)
        proc = subprocess.Popen([XMRENDER, "--play", SONG], env=env, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        return proc

    def rendered(self, seconds):
        path = os.path.join(self.tmp.name, "rendered.wav")
        subprocess.run([XMRENDER, SONG, path, "--seconds", str(seconds)], check=True)
        with wave.open(path) as w:
            return w.readframes(w.getnframes())

    def check_played_is_the_render(self, minimum_seconds):
        with open(self.played, "rb") as f:
            played = f.read()
        rendered = self.rendered(10)
        start = first_sound(played) - first_sound(rendered)
        self.assertGreaterEqual(start, 0)
        played = played[start:]
        same = 0
        while same < min(len(played), len(rendered)) and played[same:same + 4] == rendered[same:same + 4]:
            same += 4
        self.assertGreater(same / 4 / 44100, minimum_seconds)
        self.assertEqual(played[same:].strip(b"\0"), b"")

    def test_enter_stops_and_the_device_played_the_render(self):
        proc = self.start()
        time.sleep(1.5)
        out, err = proc.communicate("\n", timeout=20)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("stopped at order 0", out)
        self.check_played_is_the_render(1.0)

    def test_ctrl_c_stops_cleanly(self):
        proc = self.start()
        time.sleep(1.5)
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=20)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("stopped at", out)
        self.check_played_is_the_render(1.0)

    def test_no_sound_device(self):
        proc = self.start(driver="no-such-driver")
        out, err = proc.communicate(timeout=20)
        self.assertEqual(proc.returncode, 1)
        self.assertIn("no sound device", err)

    def test_refused_song_and_bad_options(self):
        not_xm = os.path.join(self.tmp.name, "text.xm")
        with open(not_xm, "w") as f:
            f.write("hello")
        for args, reason in (([not_xm], "not an XM module"),
                             ([os.path.join(self.tmp.name, "missing.xm")], "cannot open"),
                             ([SONG, "--seconds", "3"], "--play takes one song"),
                             ([SONG, SONG], "--play takes one song")):
            result = subprocess.run([XMRENDER, "--play"] + args, stdin=subprocess.DEVNULL,
                                    capture_output=True, text=True, timeout=20,
                                    env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
            self.assertEqual(result.returncode, 2, args)
            self.assertIn(reason, result.stderr)


def main():
    global XMRENDER, SONG
    parser = argparse.ArgumentParser()
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--song", required=True)
    args, rest = parser.parse_known_args()
    XMRENDER = os.path.abspath(args.xmrender)
    SONG = os.path.abspath(args.song)
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
