#!/usr/bin/python3
"""The one-file web page in headless Chromium (WebGL 2 on SwiftShader),
opened from disk and driven by puppeteer-core through drive.mjs: the page
opened at five moments shows the picture the native capture tool draws for
them (also after its WebGL context was lost and given back), the ways out
play the exit fade and end with the status of the desktop build, the song the page plays is the offline render sample for
sample and goes on through a hidden tab, the start screen waits for a click
and the watch-again screen follows the fade, the text patcher re-texts the
page, the console stays free of errors, no request leaves the page, and a
browser without WebGL 2 gets the start-up message. The page is opened as
Chromium opens it when a page may play sound by itself
(--autoplay-policy=no-user-gesture-required), except for the start screen.

Frame tolerance: every 80 x 60 region's mean within 4 of 255 levels per
channel, the whole frame's mean absolute difference at most 1.5 levels, and
at most 1 % of the pixels more than 16 levels apart. Both renderers fill the
same triangles, but where a coordinate lies within rounding of a pixel
centre the two rasterisers decide differently (the logo's bars, about half a
pixel high, lines and the edges of point sprites), and texture filtering
rounds differently by a level; measured: regions within 2 levels, means
below 0.5, about 0.2 % of the pixels.

Usage: web_page_test.py --page build/web/app/quandrix.html --capture quandrix-capture
                        --xmrender quandrix-xmrender --textpatch quandrix-textpatch --song SONG.xm
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import skip  # noqa: E402

CHROMIUM = "/usr/lib/chromium/chromium"
ARGS = None
AUTOPLAY = ["--autoplay-policy=no-user-gesture-required"]
RATE = 44100
# Chromium's one note on the sound's node, which is deprecated but kept by
# every browser (the README says why the page uses it).
DEPRECATION = "The ScriptProcessorNode is deprecated. Use AudioWorkletNode instead. (https://bit.ly/audio-worklet)"

# Fragment, then the capture's options for the same picture.
MOMENTS = [
    ("t=0.1", ["--start", "0.1"]),
    ("t=5", ["--start", "5"]),
    ("t=9", ["--start", "9"]),
    ("t=14.5", ["--start", "14.5"]),
    ("t=4&exit=3", ["--start", "4", "--exit-at", "3"]),  # the exit fade, 1 s in
]


def check_tools():
    if not os.path.exists(CHROMIUM):
        skip.missing("Chromium", "chromium")
    if not shutil.which("node"):
        skip.missing("Node.js", "nodejs")
    if not os.path.isdir(os.path.join(HERE, "node_modules", "puppeteer-core")):
        skip.missing("puppeteer-core (scripts/setup-debian.sh runs npm ci in tests/web)", "npm")


def drive(scratch, visits, arguments=AUTOPLAY, page=None):
    """Runs the visits in one browser; their reports, in order."""
    plan = os.path.join(scratch, "plan.json")
    with open(plan, "w") as f:
        json.dump({"chromium": CHROMIUM, "page": os.path.abspath(page or ARGS.page), "scratch": scratch,
                   "arguments": list(arguments), "visits": visits}, f)
    result = subprocess.run(["node", os.path.join(HERE, "drive.mjs"), plan], capture_output=True, text=True,
                            timeout=800, cwd=HERE)
    if result.returncode != 0:
        raise AssertionError("drive.mjs failed:\n" + result.stderr)
    return json.loads(result.stdout)["visits"]


def step(report, key):
    return next(s for s in report["steps"] if key in s)


def picture(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=float)


def assert_frame_matches(case, shot, native):
    page = picture(shot)
    case.assertEqual(page.shape, (480, 640, 3))
    regions = np.abs(page.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)) - native.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)))
    difference = np.abs(page - native)
    case.assertLessEqual(regions.max(), 4.0)
    case.assertLessEqual(difference.mean(), 1.5)
    case.assertLessEqual((difference.max(axis=2) > 16).mean(), 0.01)


class WebPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="quandrix-web-")
        cls.shots = os.path.join(cls.scratch, "shots")
        os.mkdir(cls.shots)
        visits = []
        for i, (fragment, capture) in enumerate(MOMENTS):
            out = os.path.join(cls.scratch, "capture%d" % i)
            subprocess.run([ARGS.capture, "--out", out, "--frames", "1"] + capture, check=True,
                           capture_output=True, timeout=300)
            visits.append({"fragment": fragment, "steps": [{"state": "holding", "timeout": 240},
                                                           {"screenshot": os.path.join(cls.shots, "%d.png" % i)}]})
        # Out of the held picture of 14.5 s with a click.
        visits[3]["steps"] += [{"click": True}, {"state": "ended", "timeout": 15}]
        visits += [
            {"fragment": "", "steps": [{"state": "running"}, {"sleep": 1}, {"key": "Escape"},
                                       {"state": "ended", "timeout": 15}]},
            {"fragment": "", "steps": [{"state": "running"}, {"sleep": 1}, {"close": True},
                                       {"state": "ended", "timeout": 15}]},
            {"fragment": "t=abc", "steps": [{"state": "running"}]},
            {"fragment": "t=-5", "steps": [{"state": "holding", "timeout": 60}]},
            # 12 s of sound, 5 of them with the tab hidden.
            {"fragment": "", "record": True,
             "steps": [{"state": "running"}, {"sleep": 3}, {"hide": 5}, {"frames": 1}, {"sleep": 3},
                       {"audio": os.path.join(cls.scratch, "played.raw")}]},
        ]
        cls.reports = drive(cls.scratch, visits)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def assertLeftThroughTheFade(self, report, request, status):
        self.assertNotIn("failure", report)
        self.assertEqual(report["state"], "ended")
        self.assertEqual(report["exitStatus"], status)
        # The loop ends 2.1 s after the request; the first frames after a
        # hold or a start-up and the shutdown add a little.
        seconds = report["steps"][-1]["at"] - request["started"]
        self.assertGreaterEqual(seconds, 2.0)
        self.assertLess(seconds, 5.0)

    def test_frames_match_the_native_capture(self):
        for i, (fragment, _) in enumerate(MOMENTS):
            with self.subTest(fragment=fragment):
                self.assertNotIn("failure", self.reports[i])
                assert_frame_matches(self, os.path.join(self.shots, "%d.png" % i), picture(self.capture(i)))

    def capture(self, i):
        return os.path.join(self.scratch, "capture%d" % i, "frame_00000.png")

    def test_a_lost_context_comes_back_with_the_same_picture(self):
        # Lost early in the seek to 9 s and given back 0.2 s later (frames
        # without a context are quick: a longer loss could last the whole
        # seek): the page says so meanwhile, and the picture it holds at the
        # moment is the native one.
        shot = os.path.join(self.scratch, "restored.png")
        report = drive(self.scratch, [{"fragment": "t=9", "steps": [
            {"loseContext": 0.2}, {"state": "holding", "timeout": 240}, {"screenshot": shot}]}])[0]
        self.assertNotIn("failure", report)
        lost = step(report, "loseContext")
        self.assertIn("Picture lost", lost["lostNote"])
        self.assertTrue(lost["restored"])
        self.assertEqual(lost["stateRestored"], "seeking")  # back while the show still ran
        assert_frame_matches(self, shot, picture(self.capture(2)))

    def test_click_escape_and_closing_the_page_play_the_exit_fade(self):
        held, escape, close = self.reports[3], self.reports[5], self.reports[6]
        self.assertLeftThroughTheFade(held, step(held, "click"), 1)  # MK_LBUTTON
        self.assertLeftThroughTheFade(escape, step(escape, "key"), 27)  # the key's release, the last message
        self.assertLeftThroughTheFade(close, step(close, "close"), 0)  # the quit message's code

    def test_bad_moments_fall_back_with_a_log_line(self):
        not_a_number, negative = self.reports[7], self.reports[8]
        self.assertEqual(not_a_number["state"], "running")  # the show live from its start
        self.assertIn("t=abc is not a number of seconds: ignored", [m["text"] for m in not_a_number["console"]])
        self.assertEqual(negative["state"], "holding")  # on the first frame
        self.assertIn("t=-5 is before the start: 0 s instead", [m["text"] for m in negative["console"]])

    def test_no_errors_on_the_console(self):
        for report in self.reports:
            with self.subTest(fragment=report["fragment"]):
                self.assertNotIn("failure", report)
                bad = [m for m in report["console"] if m["type"] in ("error", "warn") and m["text"] != DEPRECATION]
                self.assertEqual(bad + report["errors"], [])
                self.assertEqual(report["requests"], [])  # everything is inside the page

    def test_the_song_is_the_offline_render_and_a_hidden_tab_stops_only_the_frames(self):
        report = self.reports[9]
        self.assertNotIn("failure", report)
        played = np.fromfile(os.path.join(self.scratch, "played.raw"), dtype="<i2").reshape(-1, 2)
        self.assertGreaterEqual(len(played), 10 * RATE)
        render = os.path.join(self.scratch, "render.wav")
        subprocess.run([ARGS.xmrender, ARGS.song, render, "--seconds", "30", "--quiet"], check=True, timeout=120)
        with wave.open(render) as w:
            offline = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)
        # Every frame the page played, from the first: no repeat, no gap,
        # also over the 5 s the tab was hidden and drew nothing.
        mismatch = np.nonzero((played != offline[:len(played)]).any(axis=1))[0]
        self.assertEqual(mismatch.size, 0, "first differing frame %s" % (mismatch[:1],))
        self.assertGreater(step(report, "frames")["count"], 10)  # the picture is back

    def test_the_start_screen_waits_for_a_click_and_watch_again_follows_the_fade(self):
        # As Chromium opens a page that may not play sound before a click.
        shot = os.path.join(self.scratch, "start.png")
        report = drive(self.scratch, [{"fragment": "", "steps": [
            {"sleep": 2}, {"page": shot}, {"click": True}, {"state": "running"}, {"sleep": 1}, {"key": "Escape"},
            {"state": "ended", "timeout": 15}, {"sleep": 1}, {"click": True}, {"state": "running"}]}], [])[0]
        self.assertNotIn("failure", report)
        # Two seconds after opening, nothing but the start screen: no frame drawn yet.
        start = np.asarray(Image.open(shot).convert("RGB"), dtype=float)
        self.assertGreater(start.mean(), 0.2)  # its lettering
        self.assertLess(start.mean(), 20)
        self.assertEqual(report["state"], "running")  # the second run, after a click on the watch-again screen
        self.assertEqual(report["exitStatus"], None)
        ended = [s for s in report["steps"] if s.get("state") == "ended"][0]
        self.assertLess(ended["at"] - step(report, "key")["started"], 5.0)
        self.assertEqual(ended["exitStatus"], "27")  # Escape left; the click that started it did not

    def test_the_text_patcher_re_texts_the_page(self):
        # The same pages into a copy of the page and of the capture tool:
        # the page at 9 s then shows what the patched capture draws.
        page = os.path.join(self.scratch, "patched.html")
        capture = os.path.join(self.scratch, "patched-capture")
        pages = os.path.join(self.scratch, "pages.txt")
        shutil.copy(ARGS.page, page)
        shutil.copy(ARGS.capture, capture)
        with open(pages, "w") as f:
            f.write("the page\nre-texted\n")
        for target in (page, capture):
            subprocess.run([ARGS.textpatch, "set", target, pages, "--pages", "1"], check=True, capture_output=True)
        shown = subprocess.run([ARGS.textpatch, "show", page], check=True, capture_output=True, text=True).stdout
        self.assertTrue(shown.startswith("; page count 1\n; page 1\nTHE PAGE\nRE-TEXTED\n"), shown[:80])
        self.assertEqual(os.path.getsize(page), os.path.getsize(ARGS.page))
        out = os.path.join(self.scratch, "patched-frames")
        subprocess.run([capture, "--out", out, "--frames", "1", "--start", "9"], check=True, capture_output=True)
        shot = os.path.join(self.scratch, "patched.png")
        report = drive(self.scratch, [{"fragment": "t=9", "steps": [{"state": "holding", "timeout": 240},
                                                                    {"screenshot": shot}]}], page=page)[0]
        self.assertNotIn("failure", report)
        web = np.asarray(Image.open(shot).convert("RGB"), dtype=float)
        native = np.asarray(Image.open(os.path.join(out, "frame_00000.png")).convert("RGB"), dtype=float)
        unpatched = np.asarray(Image.open(os.path.join(self.shots, "2.png")).convert("RGB"), dtype=float)
        self.assertLessEqual(np.abs(web - native).mean(), 1.5)
        self.assertGreater(np.abs(web - unpatched).mean(), 3 * np.abs(web - native).mean())

    def test_without_webgl2_the_page_shows_the_start_up_message(self):
        report = drive(self.scratch, [{"fragment": "", "steps": [{"state": "failed", "timeout": 30}]}],
                       AUTOPLAY + ["--disable-3d-apis"])[0]
        self.assertEqual(report["exitStatus"], 0)
        self.assertEqual(report["boxes"], ["ERROR\n\nCan't Create A GL Rendering Context.\n\nOK"])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--capture", required=True)
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--textpatch", required=True)
    parser.add_argument("--song", required=True)
    ARGS, rest = parser.parse_known_args()
    check_tools()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
