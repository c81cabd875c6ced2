#!/usr/bin/python3
"""The one-file web page in headless Chromium (WebGL 2 on SwiftShader) and in
Firefox ESR (headed under Xvfb, WebGL 2 on llvmpipe; headless it has none
here), opened from disk and driven by puppeteer-core through drive.mjs as a
person would; docs/web.md lists what each browser is made to
show. Sound is recorded in the audio graph, between the page's node and the
speakers, and compared with quandrix-xmrender's render. Chromium opens the
page as it opens one that may play sound by itself, except where a click or
a tap has to start it; Firefox never lets it.

Frame tolerance: every 80 x 60 region's mean within 4 of 255 levels per
channel, the whole frame's mean absolute difference at most 1.5 levels, and
at most 1 % of the pixels more than 16 levels apart. Both renderers fill the
same triangles, but where a coordinate lies within rounding of a pixel
centre the rasterisers decide differently (the logo's bars, about half a
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
# every browser (docs/web.md says when the page uses it).
DEPRECATION = "The ScriptProcessorNode is deprecated. Use AudioWorkletNode instead. (https://bit.ly/audio-worklet)"

# Fragment, then the capture's options for the same picture.
MOMENTS = [
    ("t=0.1", ["--start", "0.1"]),
    ("t=5", ["--start", "5"]),
    ("t=9", ["--start", "9"]),
    ("t=14.5", ["--start", "14.5"]),
    ("t=4&exit=3", ["--start", "4", "--exit-at", "3"]),  # the exit fade, 1 s in
]
# Fragment, the moment the page and the program both take (None: none), and
# the one console line that says what was made of it.
NOT_A_TIME = " is not a time such as 14.5, 90s or 1m30s: ignored"
MOMENT_TABLE = [("t=14.5", 14.5, None), ("t=90s", 90.0, None), ("t=1m30s", 90.0, None),
                ("t=1h2m3s", 300.0, " is past the latest moment: 300 s instead"),
                ("t=-5", 0.0, " is before the start: 0 s instead"),
                ("t=inf", None, NOT_A_TIME), ("t=1e3", None, NOT_A_TIME), ("t=1:30", None, NOT_A_TIME)]


def check_tools():
    for path, what, package in ((CHROMIUM, "Chromium", "chromium"), (FIREFOX, "Firefox ESR", "firefox-esr")):
        if not os.path.exists(path):
            skip.missing(what, package)
    for tool, package in (("node", "nodejs"), ("xvfb-run", "xvfb"), ("pulseaudio", "pulseaudio"),
                          ("pactl", "pulseaudio-utils")):
        if not shutil.which(tool):
            skip.missing(tool, package)
    if not os.path.isdir(os.path.join(HERE, "node_modules", "puppeteer-core")):
        skip.missing("puppeteer-core (scripts/setup-debian.sh runs npm ci in tests/web)", "npm")


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
    result = subprocess.run(command, capture_output=True, text=True, timeout=1500, cwd=HERE, env=env)
    if result.returncode != 0:
        raise AssertionError("drive.mjs failed:\n" + result.stderr)
    return json.loads(result.stdout)["visits"]


def step(report, key):
    return next(s for s in report["steps"] if key in s)


def picture(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=float)


def shot(name):
    return os.path.join(SCRATCH, name + ".png")


def offline(rate=44100):
    """quandrix-xmrender's 30 s render at `rate`, as frames x 2."""
    path = os.path.join(SCRATCH, "render%d.wav" % rate)
    if not os.path.exists(path):
        subprocess.run([ARGS.xmrender, ARGS.song, path, "--seconds", "30", "--rate", str(rate), "--quiet"],
                       check=True, timeout=120)
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)


def recording(name):
    return np.fromfile(os.path.join(SCRATCH, name + ".raw"), dtype="<i2").reshape(-1, 2)


def sounding(frames, gap=4410):
    """The stretches of sound (start, end) between silences of `gap` frames or more."""
    loud = np.nonzero(frames.any(axis=1))[0]
    if loud.size == 0:
        return []
    breaks = np.nonzero(np.diff(loud) > gap)[0]
    return list(zip(np.concatenate(([loud[0]], loud[breaks + 1])), np.concatenate((loud[breaks] + 1, [loud[-1] + 1]))))


def differing(played, render, at=None):
    """Frames of `played` that differ from the render from frame `at` on (by
    default from its first sounding frame, where a recording's sound begins)."""
    at = sounding(render)[0][0] if at is None else at
    n = min(len(played), len(render) - at)
    return int((played[:n] != render[at:at + n]).any(axis=1).sum()) + len(played) - n


def counted(report):
    """What the page counted just before the recording was handed over (which
    holds the page's thread a while)."""
    return report["steps"][report["steps"].index(step(report, "audio")) - 1]["root"]


def found_in(render, piece):
    return any((render[at:at + len(piece)] == piece).all() for at in np.nonzero((render == piece[0]).all(axis=1))[0])


class Browser:
    """What both browsers show: the moments, the ways out, a clean console."""

    NAME = None

    @classmethod
    def moment_visits(cls, watch_again):
        """The page at each moment, its picture held; out of 14.5 s with a
        click, recording the song that follows (then, with `watch_again`, a
        click on the watch-again screen)."""
        visits = [{"name": fragment, "fragment": fragment, "steps": [
            {"state": "holding", "timeout": 600}, {"screenshot": shot("%s-moment%d" % (cls.NAME, i))}]}
            for i, (fragment, _) in enumerate(MOMENTS)]
        visits[3]["record"] = True
        visits[3]["steps"] += [{"click": True}, {"state": "ended", "timeout": 15}] + (
            [{"sleep": 0.5}, {"click": True}, {"state": "running"}, {"sound": 2}] if watch_again else []) + [
            {"audio": os.path.join(SCRATCH, cls.NAME + "-going-on.raw")}]
        return visits

    def one_stretch(self, name, report):
        """The one stretch of sound (start, end) in recording `name`: no gap."""
        stretches = sounding(recording(name))
        lost = counted(report)
        self.assertEqual(len(stretches), 1, "gaps in the sound; the page counted %s frames of silence in %s stretches"
                         % (lost.get("lateFrames"), lost.get("underruns")))
        return stretches[0]

    def assert_going_on(self, played, seconds, length):
        """`played` is the render from the block nearest `seconds` on: the
        moment goes on with the song from there, for `length` frames at least."""
        at = round(seconds * 44100 / 884) * 884
        self.assertGreaterEqual(len(played), length)
        self.assertTrue((offline()[at:at + 4096] == played[:4096]).all(), "not the song from %s s" % seconds)
        self.assertEqual(differing(played, offline(), at), 0)

    def assert_left_through_the_fade(self, report, request, status):
        """The step `request` (the first with that key, or the step) ended the
        show with `status`, through the 2.1 s of the exit fade (the first
        frames after a hold or a start-up and the shutdown add a little)."""
        self.assertNotIn("failure", report)
        asked = report["steps"].index(step(report, request) if isinstance(request, str) else request)
        ended = next(s for s in report["steps"][asked:] if s.get("state") == "ended")
        self.assertEqual(ended["root"]["exitStatus"], str(status))
        self.assertGreaterEqual(ended["at"] - report["steps"][asked]["started"], 2.0)
        self.assertLess(ended["at"] - report["steps"][asked]["started"], 10.0)  # room for a loaded machine

    def test_frames_match_the_native_capture(self):
        for i, (fragment, _) in enumerate(MOMENTS):
            with self.subTest(fragment=fragment):
                self.assertNotIn("failure", self.reports[fragment])
                self.assert_frame_matches(shot("%s-moment%d" % (self.NAME, i)), i)

    def assert_frame_matches(self, path, moment):
        page = picture(path)
        native = picture(os.path.join(SCRATCH, "capture%d" % moment, "frame_00000.png"))
        self.assertEqual(page.shape, (480, 640, 3))
        regions = np.abs(page.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)) -
                         native.reshape(8, 60, 8, 80, 3).mean(axis=(1, 3)))
        difference = np.abs(page - native)
        self.assertLessEqual(regions.max(), 4.0)
        self.assertLessEqual(difference.mean(), 1.5)
        self.assertLessEqual((difference.max(axis=2) > 16).mean(), 0.01)

    def test_a_click_escape_and_closing_the_page_play_the_exit_fade(self):
        self.assert_left_through_the_fade(self.reports["t=14.5"], "click", 1)  # MK_LBUTTON
        self.assert_left_through_the_fade(self.reports["escape"], "key", 27)  # the key's release, the last message
        self.assert_left_through_the_fade(self.reports["close"], "close", 0)  # the quit message's code
        self.assertEqual(self.reports["escape"]["state"], "running")  # a click on the watch-again screen
        # The screen was kept on while the show ran, and let go after.
        lock = self.reports["close"]["wakeLock"]
        self.assertEqual((lock["requests"], lock["releases"]), (1, 1))

    def test_no_errors_on_the_console(self):
        for name, report in self.reports.items():
            with self.subTest(visit=name):
                self.assertNotIn("failure", report)
                bad = [m for m in report["console"] if m["type"] in ("error", "warn") and m["text"] != DEPRECATION]
                self.assertEqual(bad + report["errors"], [])
                self.assertEqual(report["requests"], [])  # everything is inside the page


class Chromium(Browser, unittest.TestCase):
    NAME = "chromium"

    @classmethod
    def setUpClass(cls):
        # Sound and frames are waited for, not slept for: a loaded machine is late with both.
        stalls = [{"state": "running"}, {"sound": 2}, {"block": 0.3}, {"sound": 1.5}, {"block": 0.5}, {"sound": 1}]
        visits = cls.moment_visits(True) + [
            {"name": "escape", "steps": [{"state": "running"}, {"sleep": 1}, {"key": "Escape"},
                                         {"state": "ended", "timeout": 15}, {"sleep": 0.5}, {"click": True},
                                         {"state": "running"}]},
            {"name": "close", "steps": [{"state": "running"}, {"sleep": 1}, {"close": True},
                                        {"state": "ended", "timeout": 15}]},
            # 12 s of sound: the page's thread blocked for 0.3 and 0.5 s, then
            # 4 s with the tab hidden, and the picture moving again after.
            {"name": "stalls", "record": True, "steps": stalls + [
                {"hide": 4}, {"screenshot": shot("back1")}, {"sleep": 0.5}, {"drawn": 10}, {"screenshot": shot("back2")},
                {"sound": 1.5}, {"audio": os.path.join(SCRATCH, "stalls.raw")}]},
            {"name": "fallback", "record": True, "noWorklet": True,
             "steps": stalls + [{"sound": 2}, {"audio": os.path.join(SCRATCH, "fallback.raw")}]},
            {"name": "48k", "record": True, "rate": 48000,
             "steps": [{"state": "running"}, {"sound": 4}, {"audio": os.path.join(SCRATCH, "48k.raw")}]},
            # A phone's lock, as the page sees it: the context suspended under
            # the show; the next tap brings the song back where it stopped.
            {"name": "suspended", "record": True, "touch": True, "steps": [
                {"state": "running"}, {"sound": 1.5}, {"suspend": True}, {"sleep": 1}, {"tap": True}, {"sound": 2},
                {"audio": os.path.join(SCRATCH, "suspended.raw")}]},
            {"name": "trap", "record": True, "steps": [
                {"state": "running"}, {"sound": 1.5}, {"trap": True}, {"state": "failed"},
                {"audio": os.path.join(SCRATCH, "trap1.raw")},
                {"frames": 1}, {"audio": os.path.join(SCRATCH, "trap2.raw")}]},
            # The context lost early in the seek to 9 s and given back 0.2 s
            # later (frames without a context are quick: a longer loss could
            # last the whole seek).
            {"name": "lost", "fragment": "t=9", "steps": [{"loseContext": 0.2}, {"state": "holding", "timeout": 600},
                                                          {"screenshot": shot("restored")}]},
            # The moment table, each row opened by a change of the address.
            {"name": "table", "fragment": MOMENT_TABLE[0][0], "steps": [{"state": ["seeking", "holding"]}] +
             [{"address": fragment} for fragment, _, _ in MOMENT_TABLE[1:]]},
        ]
        cls.reports = {visit["name"]: report for visit, report in zip(visits, drive(visits))}
        cls.trapped = cls.reports.pop("trap")
        cls.lost = cls.reports.pop("lost")  # the browser warns of the lost context on the console

    def test_the_song_played_survives_stalls_and_a_hidden_tab(self):
        report = self.reports["stalls"]
        start, end = self.one_stretch("stalls", report)
        self.assertGreaterEqual(end - start, 9 * 44100)
        # Every frame the graph played, from the first: no repeat, no gap,
        # through the stalls and the 4 s the tab was hidden and drew nothing.
        self.assertEqual(differing(recording("stalls")[start:], offline()), 0)
        self.assertEqual(counted(report)["underruns"], "0")  # the page's own count agrees
        self.assertGreater(np.abs(picture(shot("back1")) - picture(shot("back2"))).mean(), 1.0)  # moving again

    def test_a_lost_context_comes_back_with_the_same_picture(self):
        report = self.lost
        self.assertNotIn("failure", report)
        lost = step(report, "loseContext")
        self.assertIn("Picture lost", lost["lostNote"])
        self.assertTrue(lost["restored"])
        self.assertEqual(lost["stateRestored"], "seeking")  # back while the show still ran
        self.assert_frame_matches(shot("restored"), 2)

    def test_without_audio_worklet_the_fallback_node_plays_the_song_and_counts_what_stalls_cost(self):
        report = self.reports["fallback"]
        self.assertIn({"type": "log", "text": "sound from the page's thread: no AudioWorklet here (the test)"},
                      report["console"])
        played = recording("fallback")
        start, end = sounding(played)[0]
        lost = counted(report)
        print("\nfallback node, stalls of 0.3 and 0.5 s: %d of %d frames differ from the render; the page counted "
              "%s frames lost in %s stretches" % (differing(played[start:], offline()), end - start,
                                                   lost["lateFrames"], lost["underruns"]))
        self.assertTrue(found_in(offline(), played[end - 22050:end]))  # the song, whatever it lost
        self.assertGreater(int(lost["underruns"]), 0)

    def test_a_context_at_48000_hz_plays_the_render_at_48000_hz(self):
        self.assertEqual(self.reports["48k"]["audio"]["rate"], 48000)
        start, end = self.one_stretch("48k", self.reports["48k"])
        self.assertGreater(end - start, 2 * 48000)
        self.assertEqual(differing(recording("48k")[start:], offline(48000)), 0)

    def test_sound_the_browser_stopped_comes_back_with_the_next_tap_which_is_no_exit(self):
        report = self.reports["suspended"]
        self.assertEqual((report["state"], report["exitStatus"]), ("running", None))
        # Nothing was played while suspended, and the song goes on from
        # where it stopped: one stretch, the render without a gap.
        start, end = self.one_stretch("suspended", report)
        self.assertGreater(end - start, 3 * 44100)
        self.assertEqual(differing(recording("suspended")[start:], offline()), 0)

    def test_a_moment_goes_on_with_its_song_and_watch_again_plays_from_the_start(self):
        self.assertEqual(self.reports["t=14.5"]["state"], "running")
        played = recording("chromium-going-on")
        (moment_start, moment_end), (again_start, again_end) = sounding(played)
        # Through most of the fade's 2.1 s: a loaded machine starts the sound a little late.
        self.assert_going_on(played[moment_start:moment_end], 14.5, 1.5 * 44100)
        self.assertEqual(differing(played[again_start:again_end], offline()), 0)
        self.assertGreater(again_end - again_start, 44100)

    def test_a_fault_in_the_module_shows_a_box_and_stops_frames_and_sound(self):
        report = self.trapped
        self.assertEqual(report["state"], "failed")
        self.assertEqual(len(report["boxes"]), 1)
        self.assertIn("The show stopped: an internal error.", report["boxes"][0])
        self.assertEqual(step(report, "frames")["count"], 0)
        self.assertFalse(recording("trap2")[len(recording("trap1")):].any())
        # A page whose module is cut short fails with a box, not a black page.
        with open(ARGS.page) as f:
            text = f.read()
        at = text.index("data:application/octet-stream;base64,")
        cut = os.path.join(SCRATCH, "cut.html")
        with open(cut, "w") as f:
            f.write(text[:at + 200000] + text[at + 400000:])
        report = drive([{"steps": [{"state": "failed", "timeout": 30}]}], page=cut)[0]
        self.assertNotIn("failure", report)
        self.assertEqual(len(report["boxes"]), 1)
        self.assertIn("The show could not be loaded", report["boxes"][0])

    def test_the_page_and_the_program_read_a_moment_alike(self):
        report = self.reports["table"]
        shown = [report["steps"][0]] + [s for s in report["steps"] if "address" in s]
        lines = [m["text"] for m in report["console"]]
        self.assertEqual(len(shown), len(MOMENT_TABLE))
        for (fragment, seconds, line), seen in zip(MOMENT_TABLE, shown):
            with self.subTest(fragment=fragment):
                # The page's answer, and the program's: seeking or playing live.
                self.assertEqual(float(seen["root"]["moment"]) if "moment" in seen["root"] else None, seconds)
                self.assertEqual(seen["root"]["show"] in ("seeking", "holding"), seconds is not None)
                if line:
                    self.assertEqual(lines.count(fragment + line), 1)  # one line, not one each

    def test_the_start_screen_waits_keeps_the_browsers_keys_and_goes_full_screen(self):
        # As Chromium opens a page that may not play sound before a press.
        report = drive([{"steps": [
            {"sleep": 2}, {"page": shot("start")}, {"key": "F5"}, {"key": "F11"}, {"key": "f"}, {"key": "f"},
            {"hold": " ", "seconds": 1}, {"state": "running"}, {"sleep": 1}, {"key": "Escape"},
            {"state": "ended", "timeout": 15}]}], autoplay=False)[0]
        self.assertNotIn("failure", report)
        page = picture(shot("start"))  # two seconds after opening, only the start screen's lettering
        self.assertGreater(page.mean(), 0.2)
        self.assertLess(page.mean(), 20)
        f5, f11, on, off, space = report["steps"][2:7]
        self.assertEqual([f5["root"]["show"], f11["root"]["show"]], ["waiting", "waiting"])
        self.assertEqual([on["fullScreen"], off["fullScreen"]], [True, False])
        self.assertEqual(space["root"]["show"], "running")  # the held Space started the show, not ended it
        self.assert_left_through_the_fade(report, next(s for s in report["steps"] if s.get("key") == "Escape"), 27)

    def test_phones_tablets_and_large_screens_fill_the_visible_area_and_take_taps(self):
        screens = [("phone", [390, 844], 3, True), ("phone on its side", [844, 390], 3, True),
                   ("tablet", [1024, 768], 2, True), ("television", [1920, 1080], 2, False)]
        press = lambda touch: {"tap" if touch else "click": True}  # noqa: E731
        visits = [{"viewport": size, "scale": scale, "touch": touch, "mobile": touch, "backdrop": "#f0f",
                   "steps": [press(touch), {"state": "running"}, {"sleep": 1}, {"page": shot(name)}, press(touch),
                             {"state": "ended", "timeout": 15}]} for name, size, scale, touch in screens]
        for (name, (width, height), scale, _), report in zip(screens, drive(visits, autoplay=False)):
            with self.subTest(screen=name):
                self.assertNotIn("failure", report)
                self.assertEqual(report["exitStatus"], 1)
                # The picture is wherever the screenshot is not the page's
                # backdrop (the canvas is opaque): 4:3, as large as the
                # visible area allows, centred, nothing scrolled out.
                page = picture(shot(name))
                self.assertEqual(page.shape[:2], (height * scale, width * scale))
                rows, columns = np.nonzero((np.abs(page - [255, 0, 255]) > 24).any(axis=2))
                fill = min(width, height * 4 / 3) * scale, min(height, width * 3 / 4) * scale
                self.assertAlmostEqual(columns.max() + 1 - columns.min(), fill[0], delta=scale)
                self.assertAlmostEqual(rows.max() + 1 - rows.min(), fill[1], delta=scale)
                self.assertAlmostEqual(columns.min(), width * scale - columns.max() - 1, delta=scale)
                self.assertAlmostEqual(rows.min(), height * scale - rows.max() - 1, delta=scale)

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
        report = drive([{"fragment": "t=9", "steps": [{"state": "holding", "timeout": 600},
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


class Firefox(Browser, unittest.TestCase):
    """Started by a click (it lets no page play by itself), its sound on a
    PulseAudio server of the test's own with a null sink (it plays nothing
    without an output)."""

    NAME = "firefox"

    @classmethod
    def setUpClass(cls):
        start = [{"click": True}, {"state": "running"}]
        visits = cls.moment_visits(False) + [
            {"name": "escape", "record": True, "steps": start + [
                {"sound": 2}, {"audio": os.path.join(SCRATCH, "firefox-song.raw")}, {"key": "Escape"},
                {"state": "ended", "timeout": 15}, {"sleep": 0.5}, {"click": True}, {"state": "running"}]},
            {"name": "close", "steps": start + [{"sleep": 1}, {"close": True}, {"state": "ended", "timeout": 15}]},
        ]
        directory = os.path.join(SCRATCH, "pulse")
        os.makedirs(directory)
        with open(os.path.join(directory, "server.pa"), "w") as f:
            f.write("load-module module-null-sink sink_name=quiet\nload-module module-native-protocol-unix "
                    "auth-anonymous=1 socket=%s/native\n" % directory)
        env = dict(os.environ, HOME=directory, XDG_RUNTIME_DIR=directory, PULSE_RUNTIME_PATH=directory,
                   PULSE_STATE_PATH=directory)
        server = subprocess.Popen(["pulseaudio", "-n", "-F", os.path.join(directory, "server.pa"), "--daemonize=no",
                                   "--exit-idle-time=-1", "--use-pid-file=false"], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        env["PULSE_SERVER"] = "unix:%s/native" % directory
        try:
            deadline = time.monotonic() + 20
            while subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode != 0:
                if server.poll() is not None or time.monotonic() > deadline:
                    raise AssertionError("pulseaudio did not start")
                time.sleep(0.1)
            cls.reports = {v["name"]: r for v, r in zip(visits, drive(visits, False, browser="firefox", env=env))}
        finally:
            server.kill()
            server.wait()

    def test_the_song_played_is_the_render_and_a_moment_goes_on_with_its_song(self):
        start, end = self.one_stretch("firefox-song", self.reports["escape"])
        self.assertGreater(end - start, 44100)
        self.assertEqual(differing(recording("firefox-song")[start:end], offline()), 0)
        # The show ends 2.1 s after the click that goes on from 14.5 s, so a
        # tenth of a second of the song is what can be compared there.
        played = recording("firefox-going-on")
        start, end = sounding(played)[0]
        self.assert_going_on(played[start:end], 14.5, 4096)


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
    for name in ("--page", "--capture", "--xmrender", "--textpatch", "--song"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    check_tools()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
