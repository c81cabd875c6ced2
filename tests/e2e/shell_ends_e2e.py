#!/usr/bin/python3
"""End-to-end tests of the ways the intro ends without a click or a key: the
X server going away (while it runs, during the exit fade, while the windowed
fallback question is open), the signals a desktop or a terminal sends
(SIGTERM, SIGINT, SIGHUP, SIGSTOP and SIGCONT), and the sound server
disappearing under it. Each test runs the real executable on its own Xvfb in
a session of its own, so that it can tell that nothing is left behind, and
records its sound with SDL's disk driver to compare with the offline render.

Usage: shell_ends_e2e.py --intro PATH --xclose PATH --xmrender PATH --song SONG.xm
                         [unittest options]
Needs what shell_e2e.py needs, and pulseaudio for the sound-server test (in
CI, with CI=true, its absence is a failure).
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shell_e2e as e2e  # noqa: E402  (the shared Xvfb and intro helpers)

DISPLAY_LOST_STATUS = 69  # EX_UNAVAILABLE: the intro did not end at the user's request
DISPLAY_LOST_LINE = "Display lost: the connection to the X server has closed."
PROMPT = 1.0  # seconds allowed from the X server's end to the intro's
FRAME = 4     # bytes of one stereo 16-bit frame


def session_processes(sid):
    """Pids of the processes still in session `sid`."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        # After the command: state, ppid, pgrp, session.
        if int(fields[3]) == sid and fields[0] != "Z":
            found.append(int(name))
    return found


def rendered_sound(tmp):
    path = os.path.join(tmp, "rendered.wav")
    subprocess.run([e2e.XMRENDER, e2e.SONG, path, "--seconds", "30"], check=True)
    with wave.open(path) as w:
        return w.readframes(w.getnframes())


def identical_seconds(played, rendered):
    """Seconds of `played` that equal the render once both start sounding,
    and whether everything after them is silence."""
    def first_sound(data):
        for i in range(0, len(data) - FRAME + 1, FRAME):
            if data[i:i + FRAME] != b"\0\0\0\0":
                return i
        return None
    start = first_sound(played)
    if start is None:
        return 0.0, False
    # The device plays silence until the ring is queued; the ring's first
    # frame lines up with the render's first frame.
    played = played[start - first_sound(rendered):]
    length = min(len(played), len(rendered))
    same = 0
    while same < length and played[same:same + 4096] == rendered[same:same + 4096]:
        same += 4096
    while same < length and played[same:same + FRAME] == rendered[same:same + FRAME]:
        same += FRAME
    return same / FRAME / 44100, played[same:].strip(b"\0") == b""


class EndTestCase(e2e.IntroTestCase):
    def setUp(self):
        super().setUp()
        self.tmp = tempfile.mkdtemp(prefix="quandrix-ends-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.played_path = os.path.join(self.tmp, "played.raw")

    def start(self, **extra_env):
        env = dict(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.played_path)
        env.update(extra_env)
        proc = subprocess.Popen([e2e.INTRO], env=self.xvfb.env(**env), stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, start_new_session=True)

        def stop():
            for pid in session_processes(proc.pid):
                os.kill(pid, signal.SIGKILL)
            proc.wait()
            proc.stderr.close()

        self.addCleanup(stop)
        return proc

    def stop_x_server(self):
        """Ends the test's X server; returns the time it was gone."""
        self.xvfb.proc.terminate()
        self.xvfb.proc.wait(timeout=10)
        return time.monotonic()

    def assert_ended(self, proc, name, since, expected_code, expected_delay,
                     early=e2e.EXIT_TOLERANCE, late=e2e.EXIT_LATE):
        code, ended = e2e.wait_exit(proc, timeout=expected_delay + late + 10)
        delay = ended - since
        e2e.measured[name] = delay
        # Less SDL's notice that the disk driver writes a file.
        stderr = "".join(line for line in proc.stderr.readlines() if not line.startswith("CRITICAL: "))
        self.assertEqual(code, expected_code, stderr)
        e2e.assert_exit_delay(self, delay, name, expected_delay, early, late)
        time.sleep(0.1)  # let the kernel reap what it must
        self.assertEqual(session_processes(proc.pid), [], "processes left behind")
        return stderr

    def assert_display_lost(self, proc, name, since):
        stderr = self.assert_ended(proc, name, since, DISPLAY_LOST_STATUS, PROMPT / 2, PROMPT / 2, PROMPT / 2)
        self.assertEqual(stderr.strip().splitlines(), [DISPLAY_LOST_LINE])

    def assert_sound_until_the_stop(self, at_least):
        """The recording equals the offline render until the music stopped,
        then holds only silence."""
        with open(self.played_path, "rb") as f:
            played = f.read()
        seconds, silent_after = identical_seconds(played, rendered_sound(self.tmp))
        e2e.measured["sound identical to the offline render for (s), " + self.id().split(".")[-1]] = seconds
        self.assertGreater(seconds, at_least)
        self.assertTrue(silent_after, "the sound after %.3f s differs from the render" % seconds)


class DisplayLost(EndTestCase):
    """The X server ends under the intro: it stops its music and ends with 69 within a second."""

    def test_while_the_show_runs(self):
        proc = self.start()
        self.main_window()
        time.sleep(2.0)
        gone = self.stop_x_server()
        self.assert_display_lost(proc, "end after the X server stopped (show running)", gone)
        self.assert_sound_until_the_stop(1.5)

    def test_during_the_exit_fade(self):
        proc = self.start()
        window = self.main_window()
        time.sleep(1.0)
        self.key("Escape")(window)
        time.sleep(1.0)
        gone = self.stop_x_server()
        self.assert_display_lost(proc, "end after the X server stopped (exit fade)", gone)
        self.assert_sound_until_the_stop(1.5)


class DisplayLostDuringTheQuestion(EndTestCase):
    screen = "800x600x24"

    def test_while_the_fallback_question_is_open(self):
        proc = self.start()
        self.xvfb.wait_window(e2e.TITLE)
        time.sleep(0.5)
        gone = self.stop_x_server()
        self.assert_display_lost(proc, "end after the X server stopped (question open)", gone)
        # No sound was ever made: the song starts after the display.
        self.assertFalse(os.path.exists(self.played_path) and os.path.getsize(self.played_path) > 0)


class Signals(EndTestCase):
    """A leave signal is a close request: the 2.2 s fade, the normal shutdown, status 0."""

    def leave_on(self, number):
        proc = self.start()
        self.main_window()
        time.sleep(2.0)
        self.assertIsNone(proc.poll())
        sent = time.monotonic()
        os.kill(proc.pid, number)
        stderr = self.assert_ended(proc, "exit delay after " + signal.Signals(number).name, sent, 0,
                                   e2e.EXIT_DELAY)
        self.assertEqual(stderr, "")
        self.assert_sound_until_the_stop(3.5)

    def test_sigterm(self):
        self.leave_on(signal.SIGTERM)

    def test_sigint(self):
        self.leave_on(signal.SIGINT)

    def test_sighup(self):
        self.leave_on(signal.SIGHUP)

    def test_more_signals_during_the_fade_change_nothing(self):
        proc = self.start()
        self.main_window()
        time.sleep(1.0)
        sent = time.monotonic()
        os.kill(proc.pid, signal.SIGTERM)
        time.sleep(0.5)
        os.kill(proc.pid, signal.SIGINT)
        time.sleep(0.5)
        os.kill(proc.pid, signal.SIGHUP)
        os.kill(proc.pid, signal.SIGTERM)
        self.assert_ended(proc, "exit delay after SIGTERM, then three more during the fade", sent, 0,
                          e2e.EXIT_DELAY)


class StopAndContinue(EndTestCase):
    """SIGSTOP, some seconds, SIGCONT: show and song go on from where they were."""

    STOPPED = 3.0

    def pause(self, proc):
        os.kill(proc.pid, signal.SIGSTOP)
        time.sleep(self.STOPPED)
        os.kill(proc.pid, signal.SIGCONT)

    def test_the_song_goes_on_and_leaving_works(self):
        proc = self.start()
        window = self.main_window()
        time.sleep(1.5)
        self.pause(proc)
        time.sleep(1.5)
        self.assertIsNone(proc.poll())
        pressed = self.key("Escape")(window)
        self.assert_ended(proc, "exit delay after Escape (stopped and continued before)", pressed, 27,
                          e2e.EXIT_DELAY)
        # No gap and no skipped stretch: the device went on from where it was.
        self.assert_sound_until_the_stop(4.5)

    def test_the_time_stopped_does_not_count_in_the_fade(self):
        proc = self.start()
        window = self.main_window()
        time.sleep(1.0)
        pressed = self.key("Escape")(window)
        time.sleep(1.0)
        self.pause(proc)
        # The frame the stop cut short counts as nothing too: up to a frame
        # later (a long one on a loaded machine), far from the 3 s a clock
        # that went on while stopped would make it early.
        self.assert_ended(proc, "exit delay after Escape with %.0f s stopped in the fade" % self.STOPPED,
                          pressed, 27, e2e.EXIT_DELAY + self.STOPPED, 2 * e2e.EXIT_TOLERANCE,
                          2 * e2e.EXIT_TOLERANCE + e2e.EXIT_LATE)


class SoundServerLost(EndTestCase):
    """PulseAudio crashes and comes back under the intro: it goes on silently and leaves normally."""

    def start_sound_server(self):
        config = os.path.join(self.tmp, "server.pa")
        socket = os.path.join(self.tmp, "native")
        with open(config, "w") as f:
            f.write("load-module module-null-sink sink_name=quiet\n"
                    "load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n" % socket)
        env = dict(os.environ, HOME=self.tmp, XDG_RUNTIME_DIR=self.tmp, PULSE_RUNTIME_PATH=self.tmp,
                   PULSE_STATE_PATH=self.tmp)
        server = subprocess.Popen(["pulseaudio", "-n", "-F", config, "--daemonize=no", "--exit-idle-time=-1",
                                   "--use-pid-file=false", "--log-target=stderr"],
                                  env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: server.poll() is None and (server.kill(), server.wait()))
        address = "unix:" + socket
        deadline = time.monotonic() + 20
        while subprocess.run(["pactl", "info"], env=dict(env, PULSE_SERVER=address), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            self.assertIsNone(server.poll(), "pulseaudio ended at start-up")
            self.assertLess(time.monotonic(), deadline, "pulseaudio did not start")
            time.sleep(0.1)
        return server, address, env

    def playing_streams(self, address, env):
        return subprocess.run(["pactl", "list", "short", "sink-inputs"], env=dict(env, PULSE_SERVER=address),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.strip()

    def test_the_server_crashes_and_restarts(self):
        if not (shutil.which("pulseaudio") and shutil.which("pactl")):
            if os.environ.get("CI") == "true":
                self.fail("pulseaudio and pactl are needed (Debian: pulseaudio, pulseaudio-utils)")
            self.skipTest("pulseaudio is not installed")
        server, address, env = self.start_sound_server()
        proc = self.start(SDL_AUDIODRIVER="pulseaudio", PULSE_SERVER=address, HOME=self.tmp)
        window = self.main_window()
        time.sleep(1.5)
        self.assertNotEqual(self.playing_streams(address, env), "", "the intro does not play through the server")
        server.kill()
        server.wait()
        time.sleep(1.5)
        self.assertIsNone(proc.poll(), "the intro ended with its sound server")
        self.start_sound_server()
        time.sleep(1.0)
        self.assertIsNone(proc.poll())
        pressed = self.key("Escape")(window)
        stderr = self.assert_ended(proc, "exit delay after Escape (sound server lost before)", pressed, 27,
                                   e2e.EXIT_DELAY)
        self.assertEqual(stderr, "")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--intro", "--xclose", "--xmrender", "--song"):
        parser.add_argument(name, required=True)
    args, rest = parser.parse_known_args()
    e2e.INTRO = os.path.abspath(args.intro)
    e2e.XCLOSE = os.path.abspath(args.xclose)
    e2e.XMRENDER = os.path.abspath(args.xmrender)
    e2e.SONG = os.path.abspath(args.song)
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    for name, value in e2e.measured.items():
        print("%-75s %.3f s" % (name + ":", value))
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
