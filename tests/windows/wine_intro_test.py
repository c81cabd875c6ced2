#!/usr/bin/python3
"""quandrix.exe under Wine on its own Xvfb servers: the window, the four ways
out and their 2.1 s delay, the windowed-fallback question on a screen
without 640 x 480, the song as Wine's ALSA output recorded it, and a patched
text on screen.

Usage: wine_intro_test.py --windows-build DIR --xclose PATH --xmrender PATH
                          --textpatch PATH --song SONG.xm [unittest options]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from wine_support import WINE, Wine, skip
from shell_e2e import EXIT_DELAY, Xvfb, wait_exit
from shell_ends_e2e import identical_seconds

TITLE = "Quandrix 2oo5"
EXIT_TOLERANCE = 0.3
# Under Wine on an X server without a window manager, taking the window
# down waits about two seconds for an activation answer that never comes,
# so the process ends that much later than the frame loop. The end of the
# loop is seen instead where shutdown reaches the display: Wine's trace of
# the GL context being released (after the music stopped and the textures
# were freed), read from its standard error as it happens.
RELEASE_TRACE = b"wglMakeCurrent ((nil),(nil))"

ARGS = None
wine = None
measured = {}


def setUpModule():
    global wine
    for tool, package in (("Xvfb", "xvfb"), ("xdotool", "xdotool"), ("xwininfo", "x11-utils"),
                          ("import", "imagemagick")):
        if not shutil.which(tool):
            skip.missing(tool, package)
    wine = Wine(ARGS.windows_build)
    measured["Wine prefix made in (s)"] = wine.prefix_seconds


def tearDownModule():
    wine.close()
    for name, value in measured.items():
        print("%s: %.3f" % (name, value), file=sys.stderr)


class IntroCase(unittest.TestCase):
    screen = "640x480x24"

    def setUp(self):
        self.xvfb = Xvfb(self.screen)
        self.addCleanup(self.xvfb.close)

    def start(self, exe=None, **extra_env):
        env = wine.env(DISPLAY=self.xvfb.display, WINEDEBUG="-all,+wgl", **extra_env)
        proc = subprocess.Popen([WINE, exe or wine.exe("app/quandrix.exe")], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        proc.released_at = None

        def read_trace():
            for line in proc.stderr:
                if proc.released_at is None and RELEASE_TRACE in line:
                    proc.released_at = time.monotonic()

        threading.Thread(target=read_trace, daemon=True).start()
        self.addCleanup(proc.stderr.close)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.wait()
            # The prefix's server and its desktop process outlive the intro
            # for a while, still bound to this test's X server; the next test
            # on another X server must not meet them (its window then never
            # appeared). The Windows processes of the prefix go with their server.
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=wine.env(), check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=wine.env(), check=False, timeout=60)

        self.addCleanup(stop)
        return proc

    def width(self, window):
        """0 for a window that has gone meanwhile."""
        try:
            return self.xvfb.geometry(window)[0]
        except subprocess.CalledProcessError:
            return 0

    def main_window(self):
        return self.xvfb.wait_window(TITLE, accept=lambda w: self.width(w) >= 600, timeout=90)

    def tap(self, name):
        """Presses and releases the key at once: under Wine the focus change,
        the key-down, its character and the key-up each take a frame of their
        own before the loop looks at the keys, and the press still counts."""
        def press(window):
            self.xvfb.run("xdotool", "windowfocus", "--sync", str(window), "key", name)
            return None
        return press

    def key(self, name):
        """Holds the key for 0.4 s."""
        def press(window):
            self.xvfb.run("xdotool", "windowfocus", "--sync", str(window), "keydown", name)
            pressed = time.monotonic()
            time.sleep(0.4)
            self.xvfb.run("xdotool", "keyup", name)
            return pressed
        return press

    def assert_exit_after(self, name, proc, send, expected_code):
        window = self.main_window()
        time.sleep(1.5)
        self.assertIsNone(proc.poll(), "the intro ended before the exit request")
        pressed = send(window)
        sent = pressed if isinstance(pressed, float) else time.monotonic()
        code, ended = wait_exit(proc, timeout=EXIT_DELAY + 15)
        self.assertIsNotNone(proc.released_at, "no trace of the display being released")
        delay = proc.released_at - sent
        measured["exit delay after " + name] = delay
        measured["process end after " + name] = ended - sent
        if expected_code is not None:
            self.assertEqual(code, expected_code)
        self.assertAlmostEqual(delay, EXIT_DELAY, delta=EXIT_TOLERANCE,
                               msg="%s ended the intro %.3f s after the request" % (name, delay))


class ExitRequests(IntroCase):
    def test_window_is_titled_and_640_by_480(self):
        proc = self.start()
        window = self.main_window()
        self.assertEqual(self.xvfb.geometry(window), (640, 480))
        self.assertIsNone(proc.poll())
        # Full screen without the windowed-fallback question.
        self.assertEqual([w for w in self.xvfb.windows(TITLE) if 0 < self.width(w) < 600], [])

    def test_escape(self):
        self.assert_exit_after("Escape tapped", self.start(), self.tap("Escape"), 27)

    def test_space(self):
        self.assert_exit_after("Space", self.start(), self.key("space"), 32)

    def test_left_click(self):
        click = lambda window: self.xvfb.run("xdotool", "mousemove", "--window", str(window), "320", "240",
                                             "click", "1")
        # The exit code is the wParam of the last message taken; on Windows
        # the button's release and the mouse's moves follow the click as
        # messages of their own, so it is not the click's MK_LBUTTON.
        self.assert_exit_after("left click", self.start(), click, None)

    def test_close_request(self):
        close = lambda window: self.xvfb.run(ARGS.xclose, str(window))
        self.assert_exit_after("close request", self.start(), close, 0)


class Fallback(IntroCase):
    """An 800 x 600 screen has no 640 x 480 mode to change to."""
    screen = "800x600x24"

    def answer(self, caption, key):
        box = self.xvfb.wait_window(caption, accept=lambda w: 0 < self.width(w) < 600, timeout=60)
        # The box may be listed a moment before it can take the focus.
        for _ in range(50):
            if self.xvfb.run("xdotool", "windowfocus", "--sync", str(box), check=False).returncode == 0:
                break
            time.sleep(0.2)
        self.xvfb.run("xdotool", "key", "--window", str(box), key)

    def test_yes_continues_in_a_window(self):
        proc = self.start()
        self.answer(TITLE, "Return")  # Yes is the default button
        window = self.main_window()
        self.assertEqual(self.xvfb.geometry(window), (640, 480))
        self.assert_exit_after("Escape in a window", proc, self.key("Escape"), 27)

    def test_no_closes_the_program(self):
        proc = self.start()
        self.answer(TITLE, "n")
        self.answer("ERROR", "Return")  # "Program Will Now Close."
        code, _ = wait_exit(proc, timeout=20)
        self.assertEqual(code, 0)
        self.assertEqual([w for w in self.xvfb.windows(TITLE) if self.width(w) >= 600], [])


class Sound(IntroCase):
    def test_device_plays_the_offline_render_sample_for_sample(self):
        import wave
        work = tempfile.mkdtemp(dir=wine.root)
        played_path = os.path.join(work, "played.raw")
        asoundrc = os.path.join(wine.home, ".asoundrc")
        with open(asoundrc, "w") as f:
            f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' % played_path)
        self.addCleanup(os.remove, asoundrc)
        proc = self.start()
        window = self.main_window()
        time.sleep(4.0)
        self.key("Escape")(window)
        code, _ = wait_exit(proc, timeout=EXIT_DELAY + 15)
        self.assertEqual(code, 27)
        self.assertTrue(os.path.exists(played_path), "Wine played nothing into the file")
        with open(played_path, "rb") as f:
            played = f.read()
        rendered_path = os.path.join(work, "rendered.wav")
        subprocess.run([ARGS.xmrender, ARGS.song, rendered_path, "--seconds", "30", "--quiet"], check=True)
        with wave.open(rendered_path) as w:
            rendered = w.readframes(w.getnframes())

        seconds, silent_after = identical_seconds(played, rendered)
        measured["sound identical to the offline render for (s)"] = seconds
        self.assertGreater(seconds, 4.0)
        self.assertTrue(silent_after, "sound after %.3f s differs" % seconds)

    def test_no_sound_device_runs_silently(self):
        # No ~/.asoundrc in the test's home and no sound card: ALSA has no
        # default device, waveOutOpen fails.
        self.assert_exit_after("Escape without sound", self.start(), self.key("Escape"), 27)


class PatchedText(IntroCase):
    """A page patched into the .exe is what the intro draws."""

    def gold_pixels(self, name, line):
        from PIL import Image
        work = tempfile.mkdtemp(dir=wine.root)
        exe = os.path.join(work, "quandrix.exe")
        shutil.copy2(wine.exe("app/quandrix.exe"), exe)
        text = os.path.join(work, "one.txt")
        with open(text, "w") as f:
            f.write(line + "\n")
        result = subprocess.run([ARGS.textpatch, "set", exe, text, "--pages", "1"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.start(exe)
        self.main_window()
        time.sleep(3.0)
        png = os.path.join(work, name + ".png")
        subprocess.run(["import", "-display", self.xvfb.display, "-window", "root", png], check=True)
        if os.environ.get("WINE_FRAMES"):
            shutil.copy(png, os.path.join(os.environ["WINE_FRAMES"], name + ".png"))
        img = Image.open(png).convert("RGB")
        return {(x, y) for y in range(0, 466) for x in range(640)
                for r, g, b in [img.getpixel((x, y))] if r > 150 and g > 70 and b < r - 60}

    def test_new_text_is_drawn_where_it_belongs(self):
        anyway = self.gold_pixels("blank", " " * 31)
        gold = self.gold_pixels("left", "QUANDRIX" + " " * 23) - anyway
        band = [(x, y) for x, y in gold if 150 <= y <= 215]
        left = sum(1 for x, _ in band if x < 260)
        right = sum(1 for x, _ in band if x > 380)
        measured["new gold pixels left, right"] = left + right / 1000.0
        self.assertGreater(left, 300)
        self.assertGreater(left, 3 * right)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--windows-build", "--xclose", "--xmrender", "--textpatch", "--song"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
