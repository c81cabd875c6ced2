#!/usr/bin/python3
"""quandrix-capture as a user runs it: the built tool on a real Mesa context
(SDL's offscreen driver by default, Xvfb through SDL_VIDEODRIVER=x11), real
ffmpeg and ffprobe. Frames, the MP4's streams, length, frame count and
sound, determinism, the exit fade's length, and every refusal.

Usage: capture_tool_test.py --capture PATH --xmrender PATH --song SONG.xm
                            [unittest options]
Needs ffmpeg and ffprobe (Debian: ffmpeg), Xvfb (xvfb), Pillow and numpy
(python3-pil, python3-numpy). A missing one is a failure, not a skip.
"""

import argparse
import io
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import numpy as np
from PIL import Image

CAPTURE = None
XMRENDER = None
SONG = None
RATE = 44100


def run(*args, env=None, timeout=300):
    """The tool with `args`; SDL_VIDEODRIVER unset, so its own default holds."""
    environment = dict(os.environ)
    environment.pop("SDL_VIDEODRIVER", None)
    environment.pop("SDL_AUDIODRIVER", None)
    environment.update(env or {})
    return subprocess.run([CAPTURE, *args], env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, timeout=timeout)


def ffprobe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json",
                          path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return json.loads(out)


def exit_frames(exit_frame, fps):
    """Frames the loop runs when the exit request is taken in frame
    `exit_frame`: the fade starts at 2.2 (single precision), each later frame
    lowers it by the delta in double precision and stores it as single, and the
    loop ends after the frame that brings it to 0.1 or below."""
    fade = np.float32(2.2)
    frame = exit_frame
    while True:
        frame += 1
        fade = np.float32(np.float64(fade) - 1.0 / fps)
        if fade <= np.float32(0.1):
            return frame + 1


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="capture_test_")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def assertRan(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)


class Frames(Scratch):
    def test_frames_are_640_by_480_rgb_and_numbered(self):
        result = run("--out", self.path("f"), "--frames", "4")
        self.assertRan(result)
        self.assertEqual(sorted(os.listdir(self.path("f"))), ["frame_0000%d.png" % i for i in range(4)])
        for name in os.listdir(self.path("f")):
            with Image.open(self.path("f", name)) as image:
                self.assertEqual((image.size, image.mode), ((640, 480), "RGB"))
        self.assertIn("4 of 4 frames written", result.stderr)

    def test_same_options_same_bytes_and_start_skips_exactly(self):
        # Two runs from the start, and one that starts at 0.25 s: frame k is
        # drawn at (k + 1) / 60, so the later run's first frame is frame 14.
        self.assertRan(run("--out", self.path("a"), "--frames", "20", "--fps", "60"))
        self.assertRan(run("--out", self.path("b"), "--frames", "20"))
        self.assertRan(run("--out", self.path("c"), "--start", "0.25", "--seconds", "0.05"))
        names = sorted(os.listdir(self.path("a")))
        self.assertEqual(names, sorted(os.listdir(self.path("b"))))
        for name in names:
            with open(self.path("a", name), "rb") as a, open(self.path("b", name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        self.assertEqual(sorted(os.listdir(self.path("c"))), ["frame_00000.png", "frame_00001.png",
                                                              "frame_00002.png"])
        for i in range(3):
            with open(self.path("a", "frame_%05d.png" % (14 + i)), "rb") as a, \
                    open(self.path("c", "frame_%05d.png" % i), "rb") as c:
                self.assertEqual(a.read(), c.read(), i)

    def test_every_fps_shows_the_same_moment(self):
        # Against 60 frames a second: 30 and 59 at 7 s, 24 at 14.5 s (the
        # second page), where the timers' rounding to whole frames and the
        # lock onto whole steps showed. All but the right tube, which
        # reflects the frame 1/F earlier, is the same to the bit. (The
        # timeline test compares every rate and moment without drawing.)
        def frame(fps, at):
            out = self.path("at%d_%s" % (fps, at))
            self.assertRan(run("--out", out, "--start", str(at), "--frames", "1", "--fps", str(fps)))
            return np.asarray(Image.open(os.path.join(out, "frame_00000.png")), dtype=np.int16)
        for at, rates in ((7, (30, 59)), (14.5, (24,))):
            reference = frame(60, at)
            for fps in rates:
                differs = np.abs(frame(fps, at) - reference).max(axis=2)
                self.assertEqual(int(differs[:, :380].max()), 0, (fps, at))
                self.assertLess((differs > 32).mean(), 0.05, (fps, at))

    def test_exit_at_captures_the_fade_and_ends_with_the_intro(self):
        # The request in frame 29 (0.5 s); then 2.1 s of fade at 30 and 60 Hz.
        for fps in (60, 30):
            out = self.path("fade%d" % fps)
            self.assertRan(run("--out", out, "--exit-at", "0.5", "--fps", str(fps)))
            exit_frame = round(0.5 * fps) - 1
            self.assertEqual(len(os.listdir(out)), exit_frames(exit_frame, fps), fps)
            # The closing picture recedes: fewer lit pixels at the end.
            lit = []
            for k in (exit_frame, len(os.listdir(out)) - 1):
                with Image.open(os.path.join(out, "frame_%05d.png" % k)) as image:
                    lit.append(int((np.asarray(image).max(axis=2) > 16).sum()))
            self.assertGreater(lit[0], 2 * lit[1], fps)
            self.assertGreater(lit[1], 1000, fps)
        # --frames ends it earlier when it comes first.
        self.assertRan(run("--out", self.path("short"), "--exit-at", "0.5", "--frames", "40"))
        self.assertEqual(len(os.listdir(self.path("short"))), 40)

    def test_an_x_display_works_too(self):
        xvfb = shutil.which("xvfb-run")
        self.assertIsNotNone(xvfb, "xvfb-run is missing (Debian: xvfb)")
        result = subprocess.run([xvfb, "-a", "-s", "-screen 0 640x480x24", "env", "SDL_VIDEODRIVER=x11",
                                 CAPTURE, "--out", self.path("x"), "--frames", "3"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=300)
        self.assertRan(result)
        self.assertEqual(len(os.listdir(self.path("x"))), 3)


class Video(Scratch):
    def test_mp4_streams_length_frame_count_and_sound(self):
        out = self.path("intro.mp4")
        # 1.5 s from 0.5 s at 30 frames per second: frames 14 to 58.
        result = run("--video", out, "--start", "0.5", "--seconds", "1.5", "--fps", "30")
        self.assertRan(result)
        self.assertEqual(os.listdir(self.dir), ["intro.mp4"])  # no temporary file left
        self.assertIn("45 of 45 frames written", result.stderr)
        info = ffprobe(out)
        video = [s for s in info["streams"] if s["codec_type"] == "video"]
        audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
        self.assertEqual(len(video), 1)
        self.assertEqual(len(audio), 1)
        v, a = video[0], audio[0]
        self.assertEqual((v["codec_name"], v["pix_fmt"], v["width"], v["height"]), ("h264", "yuv420p", 640, 480))
        self.assertEqual(v["r_frame_rate"], "30/1")
        self.assertEqual(int(v["nb_read_frames"]), 45)
        self.assertAlmostEqual(float(v["duration"]), 1.5, places=3)
        self.assertEqual((a["codec_name"], int(a["sample_rate"]), a["channels"]), ("aac", RATE, 2))
        self.assertAlmostEqual(float(a["duration"]), 1.5, delta=0.03)
        # The index comes first, so a browser plays before the whole file is in.
        with open(out, "rb") as f:
            head = f.read(4096)
        self.assertLess(head.find(b"moov"), head.find(b"mdat") if b"mdat" in head else 1 << 30)

        # The sound is the song as the device plays it under those frames:
        # frame k's sound starts at (k + 1) / 30 s, so 0.5 s to 2.0 s.
        wav = self.path("song.wav")
        subprocess.run([XMRENDER, SONG, wav, "--seconds", "2.5"], check=True)
        with open(wav, "rb") as f:
            song = np.frombuffer(f.read()[44:], dtype="<i2").reshape(-1, 2).astype(np.float64)
        decoded = subprocess.run(["ffmpeg", "-v", "error", "-i", out, "-map", "0:a", "-f", "s16le", "-ac", "2",
                                  "-ar", str(RATE), "-"], stdout=subprocess.PIPE, check=True).stdout
        heard = np.frombuffer(decoded, dtype="<i2").reshape(-1, 2).astype(np.float64)
        span = song[RATE // 2:2 * RATE]
        self.assertGreater(np.abs(span).max(), 1000)  # the song sounds there
        self.assertLess(abs(len(heard) - len(span)), 1024)
        n = min(len(heard), len(span))
        self.assertGreater(np.corrcoef(heard[:n].ravel(), span[:n].ravel())[0, 1], 0.95)
        # A span 0.1 s off matches far worse: the alignment is real.
        off = song[RATE // 2 + RATE // 10:2 * RATE + RATE // 10]
        self.assertLess(np.corrcoef(heard[:n].ravel(), off[:n].ravel())[0, 1], 0.8)

    def test_pictures_and_video_together_hold_the_same_frames(self):
        out = self.path("v.mp4")
        self.assertRan(run("--out", self.path("f"), "--video", out, "--frames", "6"))
        pngs = []
        for i in range(6):
            with Image.open(self.path("f", "frame_%05d.png" % i)) as image:
                pngs.append(np.asarray(image.convert("RGB"), dtype=np.int16))
        raw = subprocess.run(["ffmpeg", "-v", "error", "-i", out, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                             stdout=subprocess.PIPE, check=True).stdout
        frames = np.frombuffer(raw, dtype=np.uint8).reshape(-1, 480, 640, 3).astype(np.int16)
        self.assertEqual(len(frames), 6)
        for png, frame in zip(pngs, frames):
            # H.264 at crf 18 in 4:2:0 is close, not exact.
            self.assertLess(np.abs(png - frame).mean(), 4.0)

    def test_size_scales_by_a_whole_factor_into_black_bars(self):
        # The frame at 5 s into 1920 x 1080 (factor 2) and 3840 x 2160 (factor 4); the PNG is the source.
        self.assertRan(run("--out", self.path("f"), "--video", self.path("2.mp4"), "--size", "1920x1080",
                           "--start", "5", "--frames", "1"))
        self.assertRan(run("--video", self.path("4.mp4"), "--size=3840x2160", "--start", "5", "--frames", "1"))
        source = np.asarray(Image.open(self.path("f", "frame_00000.png")).convert("RGB"), dtype=np.int16)
        for f, width, height, left, top in ((2, 1920, 1080, 320, 60), (4, 3840, 2160, 640, 120)):
            v = [s for s in ffprobe(self.path("%d.mp4" % f))["streams"] if s["codec_type"] == "video"][0]
            self.assertEqual((v["width"], v["height"]), (width, height))
            raw = subprocess.run(["ffmpeg", "-v", "error", "-i", self.path("%d.mp4" % f), "-f", "rawvideo",
                                  "-pix_fmt", "rgb24", "-"], stdout=subprocess.PIPE, check=True).stdout
            frame = np.frombuffer(raw, dtype=np.uint8).reshape(height, width, 3).astype(np.int16)
            # Bars black: exactly so beyond the 16-pixel macroblock H.264 lets the edge ring into.
            bars = frame.copy()
            bars[top:top + 480 * f, left:left + 640 * f] = 0
            self.assertLess(bars.mean(), 0.05, f)
            bars[top - 16:top + 480 * f + 16, left - 16:left + 640 * f + 16] = 0
            self.assertEqual(int(bars.max()), 0, f)
            # Each f x f block is flat (blocks one pixel off the grid are not)
            # and the source pixel, within H.264's loss.
            picture = frame[top:top + 480 * f, left:left + 640 * f]
            spread = lambda b: (b.max(axis=(1, 3)) - b.min(axis=(1, 3))).mean()  # noqa: E731
            blocks = picture.reshape(480, f, 640, f, 3)
            self.assertLess(spread(blocks), 6.0, f)
            self.assertGreater(spread(picture[1:1 - f, 1:1 - f].reshape(479, f, 639, f, 3)), 3 * spread(blocks), f)
            self.assertLess(np.abs(blocks - source[:, None, :, None, :]).mean(), 4.0, f)

class Refusals(Scratch):
    def assertRefused(self, result, text):
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn(text, result.stderr)

    def test_bad_options_exit_with_two_and_the_usage(self):
        out = self.path("f")
        for args, text in [
            ([], "nothing to write"),
            (["--out", out], "no end"),
            (["--out", out, "--frames", "0"], "--frames needs a whole number"),
            (["--out", out, "--frames", "3", "--seconds", "1"], "give one"),
            (["--out", out, "--seconds", "abc"], "--seconds needs"),
            (["--out", out, "--frames", "3", "--fps", "0"], "--fps needs"),
            (["--out", out, "--frames", "3", "--start", "-1"], "--start needs"),
            (["--out", out, "--frames", "3", "--colour"], "unknown option --colour"),
            (["--out", out, "--frames", "3", "stray"], "unexpected argument"),
            (["--video", out, "--frames", "3", "--size", "1920x1081"], "must be even"),
        ]:
            result = run(*args)
            self.assertRefused(result, text)
            self.assertIn("usage: quandrix-capture", result.stderr)
        self.assertFalse(os.path.exists(out))
        result = run("--help")
        self.assertRan(result)
        self.assertIn("offscreen", result.stdout)  # says which display it uses

    def test_no_ffmpeg_on_path(self):
        out = self.path("v.mp4")
        result = run("--video", out, "--frames", "3", env={"PATH": self.dir})
        self.assertRefused(result, "ffmpeg")
        self.assertEqual(os.listdir(self.dir), [])

    def test_unwritable_outputs(self):
        with open(self.path("file"), "w") as f:
            f.write("not a directory")
        for args in (["--out", self.path("file", "frames")], ["--out", "/proc/capture_frames"],
                     ["--video", "/proc/capture.mp4"], ["--video", self.path("missing", "v.mp4")],
                     ["--video", self.dir]):
            result = run(*args, "--frames", "2")
            self.assertRefused(result, "cannot write")
        self.assertEqual(os.listdir(self.dir), ["file"])

    def test_a_failing_ffmpeg_leaves_no_file(self):
        # One that reads everything and fails, one that goes away at once.
        for body, text in (("/bin/cat >/dev/null; exit 3", "exit status 3"), ("exit 1", "stopped taking frames (exit status 1)")):
            fake = self.path("bin")
            os.makedirs(fake, exist_ok=True)
            with open(os.path.join(fake, "ffmpeg"), "w") as f:
                f.write("#!/bin/sh\n" + body + "\n")
            os.chmod(os.path.join(fake, "ffmpeg"), 0o755)
            result = run("--video", self.path("v.mp4"), "--frames", "30", env={"PATH": fake})
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(text, result.stderr)
            self.assertEqual(os.listdir(self.dir), ["bin"], body)

    def test_interrupted_capture_leaves_no_file(self):
        out = self.path("v.mp4")
        environment = dict(os.environ)
        environment.pop("SDL_VIDEODRIVER", None)
        process = subprocess.Popen([CAPTURE, "--video", out, "--seconds", "600"], env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        # Wait until ffmpeg has written some of the picture.
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            partial = [n for n in os.listdir(self.dir) if ".tmp-" in n]
            if any(os.path.getsize(self.path(n)) > 0 for n in partial):
                break
            time.sleep(0.2)
        else:
            process.kill()
            self.fail("the capture wrote nothing in 120 s")
        process.send_signal(signal.SIGINT)
        _, errors = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 1, errors)
        self.assertIn("interrupted", errors)
        self.assertEqual(os.listdir(self.dir), [])


def main():
    global CAPTURE, XMRENDER, SONG
    parser = argparse.ArgumentParser()
    parser.add_argument("--capture", required=True)
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--song", required=True)
    args, rest = parser.parse_known_args()
    CAPTURE, XMRENDER, SONG = args.capture, args.xmrender, args.song
    for tool in ("ffmpeg", "ffprobe"):
        if not shutil.which(tool):
            print("capture_tool_test: %s is missing (Debian package: ffmpeg)" % tool, file=sys.stderr)
            return 1
    program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
