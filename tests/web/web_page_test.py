#!/usr/bin/python3
"""The web page in headless Chromium (WebGL 2 on SwiftShader), driven by
puppeteer-core through drive.mjs: the page opened at five moments shows the
picture the native capture tool draws for them, the ways out play the exit
fade and end with the status of the desktop build, the console stays free
of errors, and a browser without WebGL 2 gets the start-up message.

Frame tolerance: every 80 x 60 region's mean within 4 of 255 levels per
channel, the whole frame's mean absolute difference at most 1.5 levels, and
at most 1 % of the pixels more than 16 levels apart. Both renderers fill the
same triangles, but where a coordinate lies within rounding of a pixel
centre the two rasterisers decide differently (the logo's bars, about half a
pixel high, lines and the edges of point sprites), and texture filtering
rounds differently by a level; measured: regions within 2 levels, means
below 0.5, about 0.2 % of the pixels.

Usage: web_page_test.py --site build/web/app --capture quandrix-capture
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import skip  # noqa: E402

CHROMIUM = "/usr/lib/chromium/chromium"
ARGS = None

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


def drive(scratch, visits, arguments=()):
    """Runs the visits in one browser; their reports, in order."""
    plan = os.path.join(scratch, "plan.json")
    with open(plan, "w") as f:
        json.dump({"chromium": CHROMIUM, "site": os.path.abspath(ARGS.site), "scratch": scratch, "arguments": list(arguments),
                   "visits": visits}, f)
    result = subprocess.run(["node", os.path.join(HERE, "drive.mjs"), plan], capture_output=True, text=True,
                            timeout=800, cwd=HERE)
    if result.returncode != 0:
        raise AssertionError("drive.mjs failed:\n" + result.stderr)
    return json.loads(result.stdout)["visits"]


def step(report, key):
    return next(s for s in report["steps"] if key in s)


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
                page = np.asarray(Image.open(os.path.join(self.shots, "%d.png" % i)).convert("RGB"), dtype=float)
                native = np.asarray(Image.open(os.path.join(self.scratch, "capture%d" % i, "frame_00000.png"))
                                    .convert("RGB"), dtype=float)
                self.assertEqual(page.shape, (480, 640, 3))
                regions = np.abs(page.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)) -
                                 native.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)))
                difference = np.abs(page - native)
                self.assertLessEqual(regions.max(), 4.0)
                self.assertLessEqual(difference.mean(), 1.5)
                self.assertLessEqual((difference.max(axis=2) > 16).mean(), 0.01)

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
                bad = [m for m in report["console"] if m["type"] in ("error", "warn")]
                self.assertEqual(bad + report["errors"] + report["failed"], [])

    def test_without_webgl2_the_page_shows_the_start_up_message(self):
        report = drive(self.scratch, [{"fragment": "", "steps": [{"state": "failed", "timeout": 30}]}],
                       ["--disable-3d-apis"])[0]
        self.assertEqual(report["exitStatus"], 0)
        self.assertEqual(report["boxes"], ["ERROR\n\nCan't Create A GL Rendering Context.\n\nOK"])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--capture", required=True)
    ARGS, rest = parser.parse_known_args()
    check_tools()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
