#!/usr/bin/python3
"""End-to-end tests of the intro: the real executable on its own Xvfb servers,
driven as a desktop would drive it (xdotool for keys and clicks, a
WM_DELETE_WINDOW client message for the close button), its sound captured
with SDL's disk driver.

Usage: shell_e2e.py --intro PATH --xclose PATH --xmrender PATH --song SONG.xm
                    [unittest options]
Needs Xvfb, xdotool and xwininfo (Debian: xvfb, xdotool, x11-utils) and the
core X fonts for SDL's message boxes (xfonts-base).
"""

import argparse
import os
import re
import select
import subprocess
import sys
import time
import unittest

INTRO = None
XCLOSE = None
XMRENDER = None
SONG = None
TITLE = "Quandrix 2oo5"

EXIT_DELAY = 2.1       # seconds from the exit request to the end of the process
# Allowed deviation. The end is seen when the process is gone, so the delay
# holds the frame that crosses 2.1 s and the whole shutdown (the audio
# worker joined, the sound device closed, the textures freed, the GL context
# and the X connection closed): on Mesa's llvmpipe with two cores that adds
# 0.2 to 0.35 s here, and on a busy shared CI machine, where the X server and
# the sound server wait their turn for a core, 0.45 and 0.8 s have been seen.
# Ending early can only be the fade's own fault, so that side stays tight.
EXIT_TOLERANCE = 0.4   # before EXIT_DELAY: the frame that crosses it, timing jitter
EXIT_LATE = 1.0        # after EXIT_DELAY for the shutdown on a busy machine


def assert_exit_delay(test, delay, name, expected=EXIT_DELAY, early=EXIT_TOLERANCE, late=EXIT_LATE):
    """The process ended `expected` seconds after the request, give or take
    `early` before and `late` after."""
    test.assertTrue(expected - early <= delay <= expected + late,
                    "%s: ended %.3f s after it, outside %.2f to %.2f s" % (name, delay, expected - early,
                                                                         expected + late))


# Measured delays, printed at the end so that they can be quoted.
measured = {}


class Xvfb:
    """An X server of its own for one test, on a free display number."""

    def __init__(self, screen):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                self.close()
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("SDL_VIDEODRIVER", None)
        env["SDL_AUDIODRIVER"] = "dummy"
        env.update(extra)
        return env

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env(), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, check=check, timeout=30)

    def windows(self, name):
        """Ids of the windows whose name is exactly `name`. (xwininfo finds
        SDL's message boxes, which xdotool's name search misses.)"""
        tree = self.run("xwininfo", "-root", "-tree", check=False).stdout
        found = []
        for match in re.finditer(r'^\s*(0x[0-9a-f]+) "(.*)":', tree, re.M):
            if match.group(2) == name:
                found.append(int(match.group(1), 16))
        return found

    def geometry(self, window):
        info = self.run("xwininfo", "-id", str(window)).stdout
        width = int(re.search(r"Width: (\d+)", info).group(1))
        height = int(re.search(r"Height: (\d+)", info).group(1))
        return width, height

    def wait_window(self, name, accept=lambda w: True, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window in self.windows(name):
                if accept(window):
                    return window
            time.sleep(0.05)
        raise AssertionError("no window named %r appeared" % name)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def start_intro(xvfb, **extra_env):
    return subprocess.Popen([INTRO], env=xvfb.env(**extra_env), stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)


def wait_exit(proc, timeout):
    """Waits for the process to end; returns (exit code, monotonic end time)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return proc.returncode, time.monotonic()
        time.sleep(0.001)
    proc.kill()
    proc.wait()
    raise AssertionError("the intro did not end within %.1f s" % timeout)


class IntroTestCase(unittest.TestCase):
    screen = "640x480x24"

    def setUp(self):
        self.xvfb = Xvfb(self.screen)
        self.addCleanup(self.xvfb.close)

    def start(self, **extra_env):
        proc = self.started = start_intro(self.xvfb, **extra_env)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.communicate()

        self.addCleanup(stop)
        return proc

    def main_window(self):
        """The intro's own window (not a message box of the same caption)."""
        try:
            # A minute: a loaded machine can take long over the GL start-up.
            return self.xvfb.wait_window(TITLE, accept=lambda w: self.xvfb.geometry(w)[0] >= 600, timeout=60)
        except AssertionError as error:
            proc = getattr(self, "started", None)
            if proc is None or proc.poll() is None:
                raise
            raise AssertionError("%s: the intro ended with status %d: %s" %
                                 (error, proc.returncode, proc.stderr.read().strip())) from None

    def tap(self, name):
        """Presses and releases the key at once: a press of no length still
        counts."""
        def press(window):
            self.xvfb.run("xdotool", "windowfocus", "--sync", str(window), "key", name)
            return None
        return press

    def key(self, name):
        """Presses the key for 0.15 s, as a person does."""
        def press(window):
            self.xvfb.run("xdotool", "windowfocus", "--sync", str(window), "keydown", name)
            pressed = time.monotonic()
            time.sleep(0.15)
            self.xvfb.run("xdotool", "keyup", name)
            return pressed
        return press

    def assert_exit_after(self, name, proc, send, expected_code):
        window = self.main_window()
        time.sleep(1.0)  # let it run a while first
        self.assertIsNone(proc.poll(), "the intro ended before the exit request")
        # `send` returns the time the event went out, or None for "now".
        pressed = send(window)
        sent = pressed if isinstance(pressed, float) else time.monotonic()
        code, ended = wait_exit(proc, timeout=EXIT_DELAY + EXIT_LATE + 10)
        delay = ended - sent
        measured["exit delay after " + name] = delay
        self.assertEqual(code, expected_code)
        assert_exit_delay(self, delay, name)


class ExitRequests(IntroTestCase):
    """Each way out starts the 2.2 s fade; the process ends 2.1 s later by itself."""

    def test_window_is_titled_and_640_by_480(self):
        proc = self.start()
        window = self.main_window()
        self.assertEqual(self.xvfb.geometry(window), (640, 480))
        self.assertIsNone(proc.poll())


    def test_escape(self):
        # The exit code is the wParam of the last message taken: Escape's key-up.
        self.assert_exit_after("Escape tapped", self.start(), self.tap("Escape"), 27)

    def test_space(self):
        self.assert_exit_after("Space", self.start(), self.key("space"), 32)

    def test_left_click(self):
        click = lambda window: self.xvfb.run("xdotool", "mousemove", "--window", str(window), "320", "240",
                                             "click", "1")
        # The click itself is the last message (wParam MK_LBUTTON); releases make none.
        self.assert_exit_after("left click", self.start(), click, 1)

    def test_close_request(self):
        close = lambda window: self.xvfb.run(XCLOSE, str(window))
        # The close posts the quit message, whose wParam 0 is the exit code.
        self.assert_exit_after("close request", self.start(), close, 0)

    def test_requests_during_the_fade_change_nothing(self):
        proc = self.start()
        window = self.main_window()
        time.sleep(1.0)
        sent = self.key("Escape")(window)
        time.sleep(0.8)
        self.key("space")(window)
        self.xvfb.run(XCLOSE, str(window))
        code, ended = wait_exit(proc, timeout=EXIT_DELAY + EXIT_LATE + 10)
        measured["exit delay after Escape, then Space and close during the fade"] = ended - sent
        assert_exit_delay(self, ended - sent, "Escape, then Space and close during the fade")
        # The close request's quit message came last.
        self.assertEqual(code, 0)


class WindowedFallback(IntroTestCase):
    """A screen without a 640 x 480 mode: the intro asks before any window exists."""
    screen = "800x600x24"

    QUESTION = "Use Windowed Mode Instead"

    def answer(self, caption, key):
        box = self.xvfb.wait_window(caption)
        self.xvfb.run("xdotool", "windowfocus", "--sync", str(box), "key", key)
        return box

    def test_yes_continues_in_a_window(self):
        proc = self.start()
        box = self.answer(TITLE, "Return")  # Yes is the Return default
        window = self.main_window()
        self.assertNotEqual(box, window)
        self.assertEqual(self.xvfb.geometry(window), (640, 480))
        time.sleep(0.5)
        self.assertIsNone(proc.poll())
        self.key("Escape")(window)
        code, _ = wait_exit(proc, timeout=EXIT_DELAY + EXIT_LATE + 10)
        self.assertEqual(code, 27)

    def test_no_closes_the_program(self):
        proc = self.start()
        box = self.xvfb.wait_window(TITLE)
        # The question comes before the intro's window exists.
        self.assertEqual(self.xvfb.windows(TITLE), [box])
        self.assertLess(self.xvfb.geometry(box)[0], 600)
        self.xvfb.run("xdotool", "windowfocus", "--sync", str(box), "key", "Escape")  # No: the Escape default
        self.answer("ERROR", "Return")  # "Program Will Now Close."
        code, _ = wait_exit(proc, timeout=20)
        self.assertEqual(code, 0)
        self.assertEqual(self.xvfb.windows(TITLE), [])


class Sound(IntroTestCase):
    """The song through SDL's disk driver, compared with the offline render."""

    def test_device_plays_the_offline_render_sample_for_sample(self):
        import tempfile
        import wave
        with tempfile.TemporaryDirectory() as tmp:
            played_path = os.path.join(tmp, "played.raw")
            proc = self.start(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=played_path)
            window = self.main_window()
            time.sleep(3.0)
            self.key("Escape")(window)
            code, _ = wait_exit(proc, timeout=EXIT_DELAY + EXIT_LATE + 10)
            self.assertEqual(code, 27)
            with open(played_path, "rb") as f:
                played = f.read()
            rendered_path = os.path.join(tmp, "rendered.wav")
            subprocess.run([XMRENDER, SONG, rendered_path, "--seconds", "30"], check=True)
            with wave.open(rendered_path) as w:
                self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()), (44100, 2, 2))
                rendered = w.readframes(w.getnframes())

        frame = 4
        def first_sound(data):
            for i in range(0, len(data) - frame + 1, frame):
                if data[i:i + frame] != b"\0\0\0\0":
                    return i
            return None
        # The device plays silence until the ring is queued; the ring's first
        # frame lines up with the render's first frame.
        start = first_sound(played) - first_sound(rendered)
        self.assertGreaterEqual(start, 0)
        played = played[start:]
        length = min(len(played), len(rendered))
        same = 0
        step = 4096
        while same < length and played[same:same + step] == rendered[same:same + step]:
            same += step
        while same < length and played[same:same + frame] == rendered[same:same + frame]:
            same += frame
        seconds = same / frame / 44100
        measured["sound identical to the offline render for (s)"] = seconds
        # The music played from before the window showed until the end of the
        # 3 + 2.1 s; after StopMusic the device plays only silence.
        self.assertGreater(seconds, 4.5)
        self.assertEqual(played[same:].strip(b"\0"), b"", "sound after %.3f s differs" % seconds)

    def test_missing_sound_driver_runs_silently(self):
        proc = self.start(SDL_AUDIODRIVER="no-such-driver")
        window = self.main_window()
        time.sleep(1.0)
        self.assertIsNone(proc.poll())
        self.key("Escape")(window)
        code, _ = wait_exit(proc, timeout=EXIT_DELAY + EXIT_LATE + 10)
        self.assertEqual(code, 27)


class NoDisplay(unittest.TestCase):
    def test_clear_message_and_exit_code_zero(self):
        env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
            env.pop(name, None)
        env["SDL_AUDIODRIVER"] = "dummy"
        result = subprocess.run([INTRO], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("No display available", result.stderr)
        self.assertIn("ERROR: Failed To Register The Window Class.", result.stderr)


def main():
    global INTRO, XCLOSE, XMRENDER, SONG
    parser = argparse.ArgumentParser()
    parser.add_argument("--intro", required=True)
    parser.add_argument("--xclose", required=True)
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--song", required=True, help="the XM file the intro embeds")
    args, rest = parser.parse_known_args()
    INTRO = os.path.abspath(args.intro)
    XCLOSE = os.path.abspath(args.xclose)
    XMRENDER = os.path.abspath(args.xmrender)
    SONG = os.path.abspath(args.song)
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    for name, value in measured.items():
        print("%-60s %.3f s" % (name + ":", value))
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
