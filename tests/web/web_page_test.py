#!/usr/bin/python3
"""The one-file web page in headless Chromium (WebGL 2 on SwiftShader) and in
Firefox ESR (headed under Xvfb, WebGL 2 on llvmpipe; headless it has none
here), opened from disk and driven by puppeteer-core through drive.mjs.

In both browsers: the page opened at five moments shows the picture the
native capture tool draws for them, the show starts with a click, the ways
out play the exit fade and end with the status of the desktop build, no
request leaves the page and the console stays free of errors. In Chromium
also: what the audio graph plays (recorded after the page's node) is the
offline render sample for sample, through two stalls of the page's thread, a
hidden tab, a context at 48 kHz, a suspended context that the next tap
resumes, and a moment that goes on with its song; the fallback node without
AudioWorklet; the moment table read alike by the page and the program;
phones, a tablet and a large screen; the start screen's keys and full
screen; a fault in the module and a page cut short; the text patcher; a
browser without WebGL 2. The page is opened as Chromium opens it when a page
may play sound by itself (--autoplay-policy=no-user-gesture-required),
except where a click or a tap has to start it.

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
import time
import unittest
import wave

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import skip  # noqa: E402

CHROMIUM = "/usr/lib/chromium/chromium"
FIREFOX = "/usr/bin/firefox-esr"
ARGS = None
SCRATCH = None
# Chromium's one note on the fallback node, which is deprecated but kept by
# every browser (the README says when the page uses it).
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
    if not os.path.exists(FIREFOX):
        skip.missing("Firefox ESR", "firefox-esr")
    for tool, package in (("xvfb-run", "xvfb"), ("pulseaudio", "pulseaudio"), ("pactl", "pulseaudio-utils")):
        if not shutil.which(tool):
            skip.missing(tool, package)


def drive(visits, autoplay=True, page=None, browser="chromium", arguments=(), env=None):
    """Runs the visits in one browser; their reports, in order."""
    plan = os.path.join(SCRATCH, "plan.json")
    with open(plan, "w") as f:
        json.dump({"browser": browser, "chromium": CHROMIUM, "firefox": FIREFOX, "scratch": SCRATCH,
                   "page": os.path.abspath(page or ARGS.page), "autoplay": autoplay, "arguments": list(arguments),
                   "visits": visits}, f)
    command = ["node", os.path.join(HERE, "drive.mjs"), plan]
    if browser == "firefox":
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"] + command
    result = subprocess.run(command, capture_output=True, text=True, timeout=800, cwd=HERE, env=env)
    if result.returncode != 0:
        raise AssertionError("drive.mjs failed:\n" + result.stderr)
    return json.loads(result.stdout)["visits"]


def step(report, key):
    return next(s for s in report["steps"] if key in s)


def picture(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=float)


def capture_path(i):
    return os.path.join(SCRATCH, "capture%d" % i, "frame_00000.png")


def offline(rate=44100):
    """quandrix-xmrender's 30 s render at `rate`, as frames x 2."""
    path = os.path.join(SCRATCH, "render%d.wav" % rate)
    if not os.path.exists(path):
        subprocess.run([ARGS.xmrender, ARGS.song, path, "--seconds", "30", "--rate", str(rate), "--quiet"],
                       check=True, timeout=120)
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)


def recording(path):
    return np.fromfile(path, dtype="<i2").reshape(-1, 2)


def counted(report):
    """The root's attributes just before the first recording was handed over
    (which holds the page's thread for a while): what the page counted."""
    steps = report["steps"]
    return steps[steps.index(step(report, "audio")) - 1]["root"]


def one_stretch(case, played, report):
    """The one stretch of sound in `played` (start, end): no gap in it."""
    stretches = sounding(played)
    counted_silence = counted(report)
    case.assertEqual(len(stretches), 1, "gaps in the sound; the page counted %s frames of silence in %s stretches"
                     % (counted_silence.get("lateFrames"), counted_silence.get("underruns")))
    return stretches[0]


def sounding(frames, gap=4410):
    """The stretches of sound (start, end) between silences of `gap` frames or more."""
    loud = np.nonzero(frames.any(axis=1))[0]
    if loud.size == 0:
        return []
    breaks = np.nonzero(np.diff(loud) > gap)[0]
    starts = np.concatenate(([loud[0]], loud[breaks + 1]))
    ends = np.concatenate((loud[breaks] + 1, [loud[-1] + 1]))
    return list(zip(starts, ends))


def differing(played, render, at=None):
    """Frames of `played` that differ from the render from frame `at` on (by
    default from the render's first sounding frame, where a recording's first
    stretch of sound begins)."""
    if at is None:
        at = sounding(render)[0][0]
    n = min(len(played), len(render) - at)
    return int((played[:n] != render[at:at + n]).any(axis=1).sum()) + len(played) - n


def found_in(render, piece):
    """Whether `piece` is a stretch of the render."""
    return any((render[at:at + len(piece)] == piece).all() for at in np.nonzero((render == piece[0]).all(axis=1))[0])


def assert_frame_matches(case, shot, native):
    page = picture(shot)
    case.assertEqual(page.shape, (480, 640, 3))
    regions = np.abs(page.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)) - native.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)))
    difference = np.abs(page - native)
    case.assertLessEqual(regions.max(), 4.0)
    case.assertLessEqual(difference.mean(), 1.5)
    case.assertLessEqual((difference.max(axis=2) > 16).mean(), 0.01)


def assert_left_through_the_fade(case, report, request, status):
    """The step `request` (a report's step with that key) ended the show with
    `status`, through the exit fade."""
    case.assertNotIn("failure", report)
    asked = report["steps"].index(step(report, request) if isinstance(request, str) else request)
    ended = next(s for s in report["steps"][asked:] if s.get("state") == "ended")
    case.assertEqual(ended["root"]["exitStatus"], str(status))
    # The loop ends 2.1 s after the request; the first frames after a
    # hold or a start-up and the shutdown add a little.
    seconds = ended["at"] - report["steps"][asked]["started"]
    case.assertGreaterEqual(seconds, 2.0)
    case.assertLess(seconds, 5.0)


def assert_clean_console(case, reports):
    for report in reports:
        with case.subTest(visit=report["name"] or report["fragment"]):
            case.assertNotIn("failure", report)
            bad = [m for m in report["console"] if m["type"] in ("error", "warn") and m["text"] != DEPRECATION]
            case.assertEqual(bad + report["errors"], [])
            case.assertEqual(report["requests"], [])  # everything is inside the page


def shot(name):
    return os.path.join(SCRATCH, name + ".png")


def moment_visits(browser, watch_again):
    """The page at each moment, its picture held; out of 14.5 s with a click,
    recording the song that follows, and (with `watch_again`) a click on the
    watch-again screen."""
    visits = [{"name": fragment, "fragment": fragment, "steps": [{"state": "holding", "timeout": 600},
                                                                  {"screenshot": shot("%s-moment%d" % (browser, i))}]}
              for i, (fragment, _) in enumerate(MOMENTS)]
    going_on = visits[3]
    going_on["record"] = True
    going_on["steps"] += [{"click": True}, {"state": "ended", "timeout": 15}]
    if watch_again:
        going_on["steps"] += [{"sleep": 0.5}, {"click": True}, {"state": "running"}, {"sleep": 2}]
    going_on["steps"].append({"audio": os.path.join(SCRATCH, browser + "-going-on.raw")})
    return visits


def assert_going_on_from_the_moment(case, played, seconds, length):
    """The sound in `played` is the render from the block nearest `seconds`
    (the moment goes on with the song from there), for `length` frames at least."""
    render = offline()
    block = 884
    at = round(seconds * 44100 / block) * block
    case.assertGreaterEqual(len(played), length)
    case.assertTrue((render[at:at + 4096] == played[:4096]).all(), "the sound is not the song from %s s" % seconds)
    case.assertEqual(differing(played, render, at), 0)


class Chromium(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        stall = os.path.join(SCRATCH, "stall")
        visits = moment_visits("chromium", True) + [
            {"name": "escape", "steps": [{"state": "running"}, {"sleep": 1}, {"key": "Escape"},
                                         {"state": "ended", "timeout": 15}]},
            {"name": "close", "steps": [{"state": "running"}, {"sleep": 1}, {"close": True},
                                        {"state": "ended", "timeout": 15}]},
            # 12 s of sound: the page's thread blocked for 0.3 and 0.5 s, then
            # 4 s with the tab hidden, and the picture moving again after.
            {"name": "stalls", "record": True,
             "steps": [{"state": "running"}, {"sleep": 2}, {"block": 0.3}, {"sleep": 1.5}, {"block": 0.5},
                       {"sleep": 1}, {"hide": 4}, {"screenshot": shot("back1")}, {"sleep": 0.5},
                       {"screenshot": shot("back2")}, {"sleep": 1.5}, {"audio": stall + ".raw"}]},
            {"name": "fallback", "record": True, "noWorklet": True,
             "steps": [{"state": "running"}, {"sleep": 2}, {"block": 0.3}, {"sleep": 1.5}, {"block": 0.5},
                       {"sleep": 3}, {"audio": stall + "-fallback.raw"}]},
            {"name": "48k", "record": True, "rate": 48000,
             "steps": [{"state": "running"}, {"sleep": 4}, {"audio": os.path.join(SCRATCH, "48k.raw")}]},
            # A phone's lock, as the page sees it: the context suspended under
            # the show; the next tap brings the song back where it stopped.
            {"name": "suspended", "record": True, "touch": True,
             "steps": [{"state": "running"}, {"sleep": 1.5}, {"suspend": True}, {"sleep": 1}, {"tap": True},
                       {"sleep": 2}, {"audio": os.path.join(SCRATCH, "suspended.raw")}]},
            {"name": "trap", "record": True,
             "steps": [{"state": "running"}, {"sleep": 1.5}, {"trap": True}, {"audio": os.path.join(SCRATCH, "t1.raw")},
                       {"frames": 1}, {"audio": os.path.join(SCRATCH, "t2.raw")}]},
            # The moment table, the page and the program each reading it.
            {"name": "table", "fragment": MOMENT_TABLE[0][0], "steps": [{"state": ["seeking", "holding"]}] +
             [{"address": fragment} for fragment, _, _ in MOMENT_TABLE[1:]]},
        ]
        cls.reports = {visit["name"]: report for visit, report in zip(visits, drive(visits))}

    def test_frames_match_the_native_capture(self):
        for i, (fragment, _) in enumerate(MOMENTS):
            with self.subTest(fragment=fragment):
                self.assertNotIn("failure", self.reports[fragment])
                assert_frame_matches(self, shot("chromium-moment%d" % i), picture(capture_path(i)))

    def test_click_escape_and_closing_the_page_play_the_exit_fade(self):
        held, escape, close = self.reports["t=14.5"], self.reports["escape"], self.reports["close"]
        assert_left_through_the_fade(self, held, "click", 1)  # MK_LBUTTON
        assert_left_through_the_fade(self, escape, "key", 27)  # the key's release, the last message
        assert_left_through_the_fade(self, close, "close", 0)  # the quit message's code
        # The screen was kept on while the show ran, and let go after.
        self.assertGreaterEqual(escape["wakeLock"]["requests"], 1)
        self.assertEqual(escape["wakeLock"]["releases"], escape["wakeLock"]["requests"])

    def test_no_errors_on_the_console(self):
        assert_clean_console(self, [r for name, r in self.reports.items() if name not in ("trap", "table")])

    def test_the_song_played_survives_stalls_and_a_hidden_tab(self):
        report = self.reports["stalls"]
        self.assertNotIn("failure", report)
        played = recording(os.path.join(SCRATCH, "stall.raw"))
        start, end = one_stretch(self, played, report)
        self.assertGreaterEqual(end - start, 10 * 44100)
        # Every frame the graph played, from the first: no repeat, no gap,
        # through the stalls and the 4 s the tab was hidden and drew nothing.
        self.assertEqual(differing(played[start:], offline()), 0)
        self.assertEqual(counted(report)["underruns"], "0")  # the page's own count agrees
        # The picture moves again once the tab is back.
        self.assertGreater(np.abs(picture(shot("back1")) - picture(shot("back2"))).mean(), 1.0)

    def test_without_audio_worklet_the_fallback_node_plays_the_song_and_counts_what_stalls_cost(self):
        report = self.reports["fallback"]
        self.assertNotIn("failure", report)
        self.assertIn({"type": "log", "text": "sound from the page's thread: no AudioWorklet here (the test)"},
                      report["console"])
        played = recording(os.path.join(SCRATCH, "stall-fallback.raw"))
        start, end = sounding(played)[0]
        lost = counted(report)
        print("\nfallback node, stalls of 0.3 and 0.5 s: %d of %d frames differ from the render; the page "
              "counted %s frames lost in %s stretches" % (differing(played[start:], offline()), end - start,
                                                         lost["lateFrames"], lost["underruns"]))
        # The song (its last half second played is a stretch of the
        # render), and the stalls' cost counted.
        self.assertTrue(found_in(offline(), played[end - 22050:end]))
        self.assertGreater(int(lost["underruns"]), 0)

    def test_a_context_at_48000_hz_plays_the_render_at_48000_hz(self):
        report = self.reports["48k"]
        self.assertNotIn("failure", report)
        self.assertEqual(report["audio"]["rate"], 48000)
        played = recording(os.path.join(SCRATCH, "48k.raw"))
        start, end = one_stretch(self, played, report)
        self.assertGreater(end - start, 2 * 48000)
        self.assertEqual(differing(played[start:], offline(48000)), 0)

    def test_sound_the_browser_stopped_comes_back_with_the_next_tap_which_is_no_exit(self):
        report = self.reports["suspended"]
        self.assertNotIn("failure", report)
        self.assertEqual(report["state"], "running")
        self.assertIsNone(report["exitStatus"])
        # Nothing was played while suspended, and the song goes on from where
        # it stopped: one stretch, the render without a gap.
        played = recording(os.path.join(SCRATCH, "suspended.raw"))
        start, end = one_stretch(self, played, report)
        self.assertGreater(end - start, 3 * 44100)
        self.assertEqual(differing(played[start:], offline()), 0)

    def test_a_moment_goes_on_with_its_song_and_watch_again_plays_from_the_start(self):
        report = self.reports["t=14.5"]
        self.assertNotIn("failure", report)
        self.assertEqual(report["state"], "running")
        played = recording(os.path.join(SCRATCH, "chromium-going-on.raw"))
        (moment_start, moment_end), (again_start, again_end) = sounding(played)
        # From the click on through the exit fade's 2.1 s: the render from
        # the block nearest 14.5 s.
        assert_going_on_from_the_moment(self, played[moment_start:moment_end], 14.5, 2 * 44100)
        # Watch again: the show, and its song, from the start.
        self.assertEqual(differing(played[again_start:again_end], offline()), 0)
        self.assertGreater(again_end - again_start, 44100)

    def test_a_fault_in_the_module_shows_a_box_and_stops_frames_and_sound(self):
        report = self.reports["trap"]
        self.assertEqual(report["state"], "failed")
        self.assertEqual(len(report["boxes"]), 1)
        self.assertIn("The show stopped: an internal error.", report["boxes"][0])
        self.assertEqual(step(report, "frames")["count"], 0)
        before, after = recording(os.path.join(SCRATCH, "t1.raw")), recording(os.path.join(SCRATCH, "t2.raw"))
        self.assertFalse(after[len(before):].any())
        # A page whose module is cut short fails with a box, not a black page.
        with open(ARGS.page) as f:
            text = f.read()
        at = text.index("data:application/octet-stream;base64,")
        cut = os.path.join(SCRATCH, "cut.html")
        with open(cut, "w") as f:
            f.write(text[:at + 200000] + text[at + 400000:])
        cut_report = drive([{"steps": [{"state": "failed", "timeout": 30}]}], page=cut)[0]
        self.assertNotIn("failure", cut_report)
        self.assertEqual(len(cut_report["boxes"]), 1)
        self.assertIn("The show could not be loaded", cut_report["boxes"][0])

    def test_the_page_and_the_program_read_a_moment_alike(self):
        report = self.reports["table"]
        self.assertNotIn("failure", report)
        shown = [report["steps"][0]] + [s for s in report["steps"] if "address" in s]
        lines = [m["text"] for m in report["console"]]
        for (fragment, seconds, line), seen in zip(MOMENT_TABLE, shown):
            with self.subTest(fragment=fragment):
                root = seen["root"]
                # The page's answer, and the program's: seeking or playing live.
                self.assertEqual(float(root["moment"]) if "moment" in root else None, seconds)
                self.assertEqual(root["show"] in ("seeking", "holding"), seconds is not None)
                if line:
                    self.assertEqual(lines.count(fragment + line), 1)  # one line, not one each
        self.assertEqual(len(shown), len(MOMENT_TABLE))

    def test_the_start_screen_waits_keeps_the_browsers_keys_and_goes_full_screen(self):
        # As Chromium opens a page that may not play sound before a click.
        start = shot("start")
        report = drive([{"name": "start", "steps": [
            {"sleep": 2}, {"page": start}, {"key": "F5"}, {"key": "F11"}, {"key": "f"}, {"key": "f"},
            {"hold": " ", "seconds": 1}, {"state": "running"}, {"sleep": 1}, {"key": "Escape"},
            {"state": "ended", "timeout": 15}, {"sleep": 1}, {"click": True}, {"state": "running"}]}], autoplay=False)[0]
        self.assertNotIn("failure", report)
        # Two seconds after opening, nothing but the start screen: no frame drawn yet.
        page = picture(start)
        self.assertGreater(page.mean(), 0.2)  # its lettering
        self.assertLess(page.mean(), 20)
        f5, f11, on, off, space = report["steps"][2:7]
        self.assertEqual([f5["root"]["show"], f11["root"]["show"]], ["waiting", "waiting"])
        self.assertEqual([on["fullScreen"], off["fullScreen"]], [True, False])
        # The held Space started the show and did not end it.
        self.assertEqual(space["root"]["show"], "running")
        escape = next(s for s in report["steps"] if s.get("key") == "Escape")
        assert_left_through_the_fade(self, report, escape, 27)  # Escape left; the Space that started it did not
        self.assertEqual(report["state"], "running")  # the second run, after a click on the watch-again screen
        self.assertEqual(report["exitStatus"], None)

    def test_phones_tablets_and_large_screens_fill_the_visible_area_and_take_taps(self):
        screens = [("phone", [390, 844], 3, True), ("phone on its side", [844, 390], 3, True),
                   ("tablet", [1024, 768], 2, True), ("television", [1920, 1080], 2, False)]
        visits = [{"name": name, "viewport": size, "scale": scale, "touch": touch, "mobile": touch, "backdrop": "#f0f",
                   "steps": [{"tap" if touch else "click": True}, {"state": "running"}, {"sleep": 1},
                             {"page": shot(name)}, {"tap" if touch else "click": True},
                             {"state": "ended", "timeout": 15}]}
                  for name, size, scale, touch in screens]
        for (name, (width, height), scale, touch), report in zip(screens, drive(visits, autoplay=False)):
            with self.subTest(screen=name):
                self.assertNotIn("failure", report)
                self.assertEqual(report["exitStatus"], 1)
                # The picture is wherever the screenshot is not the page's
                # backdrop (the canvas is opaque): 4:3, as large as the
                # visible area allows, centred, nothing scrolled out.
                page = picture(shot(name))
                self.assertEqual(page.shape[:2], (height * scale, width * scale))
                inside = np.nonzero((np.abs(page - [255, 0, 255]) > 24).any(axis=2))
                left, right = inside[1].min(), inside[1].max() + 1
                top, bottom = inside[0].min(), inside[0].max() + 1
                fill = min(width, height * 4 / 3) * scale, min(height, width * 3 / 4) * scale
                self.assertAlmostEqual(right - left, fill[0], delta=scale)
                self.assertAlmostEqual(bottom - top, fill[1], delta=scale)
                self.assertAlmostEqual(left, width * scale - right, delta=scale)
                self.assertAlmostEqual(top, height * scale - bottom, delta=scale)

    def test_the_text_patcher_re_texts_the_page(self):
        # The same pages into a copy of the page and of the capture tool:
        # the page at 9 s then shows what the patched capture draws.
        page = os.path.join(SCRATCH, "patched.html")
        capture = os.path.join(SCRATCH, "patched-capture")
        pages = os.path.join(SCRATCH, "pages.txt")
        shutil.copy(ARGS.page, page)
        shutil.copy(ARGS.capture, capture)
        with open(pages, "w") as f:
            f.write("the page\nre-texted\n")
        for target in (page, capture):
            subprocess.run([ARGS.textpatch, "set", target, pages, "--pages", "1"], check=True, capture_output=True)
        shown = subprocess.run([ARGS.textpatch, "show", page], check=True, capture_output=True, text=True).stdout
        self.assertTrue(shown.startswith("; page count 1\n; page 1\nTHE PAGE\nRE-TEXTED\n"), shown[:80])
        self.assertEqual(os.path.getsize(page), os.path.getsize(ARGS.page))
        out = os.path.join(SCRATCH, "patched-frames")
        subprocess.run([capture, "--out", out, "--frames", "1", "--start", "9"], check=True, capture_output=True)
        report = drive([{"fragment": "t=9", "steps": [{"state": "holding", "timeout": 240},
                                                      {"screenshot": shot("patched")}]}], page=page)[0]
        self.assertNotIn("failure", report)
        web = picture(shot("patched"))
        native = picture(os.path.join(out, "frame_00000.png"))
        self.assertLessEqual(np.abs(web - native).mean(), 1.5)
        self.assertGreater(np.abs(web - picture(shot("chromium-moment2"))).mean(), 3 * np.abs(web - native).mean())

    def test_without_webgl2_the_page_shows_the_start_up_message(self):
        report = drive([{"steps": [{"state": "failed", "timeout": 30}]}], arguments=["--disable-3d-apis"])[0]
        self.assertEqual(report["exitStatus"], 0)
        self.assertEqual(report["boxes"], ["ERROR\n\nCan't Create A GL Rendering Context.\n\nOK"])


# Fragment, the moment the page and the program both take (None: none), and
# the one console line that says what was made of it.
MOMENT_TABLE = [
    ("t=14.5", 14.5, None),
    ("t=90s", 90.0, None),
    ("t=1m30s", 90.0, None),
    ("t=1h2m3s", 300.0, " is past the latest moment: 300 s instead"),
    ("t=-5", 0.0, " is before the start: 0 s instead"),
    ("t=inf", None, " is not a time such as 14.5, 90s or 1m30s: ignored"),
    ("t=1e3", None, " is not a time such as 14.5, 90s or 1m30s: ignored"),
    ("t=1:30", None, " is not a time such as 14.5, 90s or 1m30s: ignored"),
]


class Firefox(unittest.TestCase):
    """The same page in Firefox ESR: the moments, a start by click, the ways
    out, the page from disk. Its sound goes to a PulseAudio server of the
    test's own with a null sink (Firefox plays nothing without an output)."""

    @classmethod
    def setUpClass(cls):
        cls.pulse = PulseServer(os.path.join(SCRATCH, "pulse"))
        visits = moment_visits("firefox", False) + [
            {"name": "escape", "record": True,
             "steps": [{"click": True}, {"state": "running"}, {"sleep": 3},
                       {"audio": os.path.join(SCRATCH, "firefox-song.raw")}, {"key": "Escape"},
                       {"state": "ended", "timeout": 15}, {"sleep": 0.5}, {"click": True}, {"state": "running"}]},
            {"name": "close", "steps": [{"click": True}, {"state": "running"}, {"sleep": 1}, {"close": True},
                                        {"state": "ended", "timeout": 15}]},
        ]
        try:
            reports = drive(visits, autoplay=False, browser="firefox", env=cls.pulse.env)
        finally:
            cls.pulse.stop()
        cls.reports = {visit["name"]: report for visit, report in zip(visits, reports)}

    def test_frames_match_the_native_capture(self):
        for i, (fragment, _) in enumerate(MOMENTS):
            with self.subTest(fragment=fragment):
                self.assertNotIn("failure", self.reports[fragment])
                assert_frame_matches(self, shot("firefox-moment%d" % i), picture(capture_path(i)))

    def test_the_song_played_is_the_render_and_a_moment_goes_on_with_its_song(self):
        report = self.reports["escape"]
        played = recording(os.path.join(SCRATCH, "firefox-song.raw"))
        start, end = one_stretch(self, played, report)
        self.assertGreater(end - start, 44100)  # of the 3 s: its audio path starts late
        self.assertEqual(differing(played[start:end], offline()), 0)
        # Firefox's audio path starts a while after the click that lets it
        # run, and the show ends 2.1 s after that click: a tenth of a second
        # of the song is what can be compared there.
        played = recording(os.path.join(SCRATCH, "firefox-going-on.raw"))
        start, end = sounding(played)[0]
        assert_going_on_from_the_moment(self, played[start:end], 14.5, 4096)

    def test_a_click_starts_and_the_ways_out_play_the_exit_fade(self):
        held, escape, close = self.reports["t=14.5"], self.reports["escape"], self.reports["close"]
        assert_left_through_the_fade(self, held, "click", 1)
        assert_left_through_the_fade(self, escape, "key", 27)
        self.assertEqual(escape["state"], "running")  # watch again
        assert_left_through_the_fade(self, close, "close", 0)

    def test_no_errors_on_the_console(self):
        assert_clean_console(self, self.reports.values())


class PulseServer:
    """A PulseAudio server of the test's own, with one null sink."""

    def __init__(self, directory):
        os.makedirs(directory, exist_ok=True)
        config = os.path.join(directory, "server.pa")
        socket = os.path.join(directory, "native")
        with open(config, "w") as f:
            f.write("load-module module-null-sink sink_name=quiet\n"
                    "load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n" % socket)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=directory, PULSE_RUNTIME_PATH=directory,
                        PULSE_STATE_PATH=directory, PULSE_SERVER="unix:" + socket)
        server_env = dict(self.env, HOME=directory)
        del server_env["PULSE_SERVER"]
        self.server = subprocess.Popen(["pulseaudio", "-n", "-F", config, "--daemonize=no", "--exit-idle-time=-1",
                                        "--use-pid-file=false", "--log-target=stderr"],
                                       env=server_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while subprocess.run(["pactl", "info"], env=self.env, capture_output=True).returncode != 0:
            if self.server.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise AssertionError("pulseaudio did not start")
            time.sleep(0.1)

    def stop(self):
        if self.server.poll() is None:
            self.server.kill()
            self.server.wait()


def setUpModule():
    global SCRATCH
    SCRATCH = tempfile.mkdtemp(prefix="quandrix-web-")
    for i, (_, capture) in enumerate(MOMENTS):
        subprocess.run([ARGS.capture, "--out", os.path.join(SCRATCH, "capture%d" % i), "--frames", "1"] + capture,
                       check=True, capture_output=True, timeout=300)


def tearDownModule():
    shutil.rmtree(SCRATCH, ignore_errors=True)


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
