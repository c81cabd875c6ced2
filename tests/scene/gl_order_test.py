#!/usr/bin/python3
"""The whole frame's OpenGL calls, in order: the real intro traced with
apitrace on its own Xvfb server, one start-up frame, one main-mode frame and
one exit-fade frame compared with the sequences written out below.

Usage: gl_order_test.py --intro PATH [unittest options]
Needs Xvfb, xdotool and apitrace (Debian: xvfb, xdotool, apitrace).

What is compared: every state change, bind, blend and depth function,
texture-coordinate generation, matrix operation, the point parameters, each
primitive begun (by its mode; the vertices inside are left out), the screen
capture and the buffer swap that ends the frame. Values that change from
frame to frame (spin and camera angles, the camera's offset, the point size
the flicker picks, the caustics picture) are compared by kind only. Texture
names are turned back into the slots they were made for, from the order of
creation at start-up.
"""

import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import shell_e2e  # noqa: E402  (the shared Xvfb helper)
import skip  # noqa: E402

INTRO = None
TITLE = "Quandrix 2oo5"

# Texture slots in the order start-up makes them: the five generated
# textures (in the order their scripts run), white, then the images.
CREATION_ORDER = ["texGenUnusedGreen", "texGenSpotsRGB", "texGenFire", "texGenSpot", "texGenWarpGrey",
                  "texWhite", "texLogo", "texCredits", "texFont", "texFont2", "texRock",
                  "texCaustics", "texCaustics", "texCaustics", "texCaustics"]

KEPT = re.compile(r"^(glClear|glLoadIdentity|glMatrixMode|glPushMatrix|glPopMatrix|glOrtho|glTranslatef|"
                  r"glRotatef|glEnable|glDisable|glBlendFunc|glDepthFunc|glTexGeni|glBindTexture|glColor4f|"
                  r"glBegin|glReadBuffer|glCopyTexImage2D|glGetFloatv|glPointSize|glPointParameterf|"
                  r"glPointParameterfv|glTexEnvf)$")
SWAP = re.compile(r"^(glXSwapBuffers|eglSwapBuffers)$")

# ---------------------------------------------------------------------------
# The sequences, written out from the frame's composition; "*" matches any
# one argument.
# ---------------------------------------------------------------------------

MODULATE_2X = ["glEnable(GL_BLEND)", "glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR)"]
SPHERE_ON = ["glEnable(GL_TEXTURE_GEN_T)", "glEnable(GL_TEXTURE_GEN_S)",
             "glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP)",
             "glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP)"]
SPHERE_OFF = ["glDisable(GL_TEXTURE_GEN_S)", "glDisable(GL_TEXTURE_GEN_T)"]
TUBE = ["glBegin(GL_QUADS)"]
WINDOW_PIXELS = ["glMatrixMode(GL_PROJECTION)", "glPushMatrix()", "glLoadIdentity()",
                 "glOrtho(0, 640, 0, 480, -1, 1)", "glMatrixMode(GL_MODELVIEW)", "glPushMatrix()",
                 "glLoadIdentity()"]
SCROLLER = ["glColor4f(1, 1, 1, 0.3)", "glBindTexture(GL_TEXTURE_2D, texFont)", "glBegin(GL_QUADS)"]
TAIL = ["glBindTexture(GL_TEXTURE_2D, texGenFire)", "glReadBuffer(GL_BACK)",
        "glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 512, 512, 0)",
        "glMatrixMode(GL_PROJECTION)", "glPopMatrix()", "glMatrixMode(GL_MODELVIEW)", "glPopMatrix()",
        "glEnable(GL_DEPTH_TEST)", "glDisable(GL_BLEND)", "SwapBuffers"]
BEGIN = ["glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)", "glLoadIdentity()"]

START_UP = BEGIN + ["glDisable(GL_DEPTH_TEST)"] + WINDOW_PIXELS + SCROLLER + TAIL

EXIT_FADE = BEGIN + ["glColor4f(1, 1, 1, 1)", "glBindTexture(GL_TEXTURE_2D, texCredits)", "glBegin(GL_QUADS)",
                     "SwapBuffers"]

TWIN_TUBES = (
    ["glColor4f(1, 1, 1, 1)", "glLoadIdentity()", "glTranslatef(-10, 0, -25)", "glRotatef(120, 1, 0, 0)",
     "glRotatef(*, 0, 0, 1)", "glBindTexture(GL_TEXTURE_2D, texRock)"] + TUBE
    + MODULATE_2X + ["glBindTexture(GL_TEXTURE_2D, texCaustics)"] + TUBE
    + SPHERE_ON + ["glBindTexture(GL_TEXTURE_2D, texGenSpot)"] + TUBE
    + SPHERE_OFF + ["glDisable(GL_BLEND)"]
    + ["glLoadIdentity()", "glTranslatef(10, 0, -25)", "glRotatef(-60, 1, 0, 0)", "glRotatef(*, 0, 0, 1)",
       "glEnable(GL_TEXTURE_2D)", "glBindTexture(GL_TEXTURE_2D, texGenWarpGrey)"] + TUBE
    + ["glBindTexture(GL_TEXTURE_2D, texGenFire)", "glBlendFunc(GL_ONE, GL_ONE)", "glDepthFunc(GL_LEQUAL)",
       "glEnable(GL_BLEND)"] + SPHERE_ON + TUBE
    + MODULATE_2X + SPHERE_ON + ["glBindTexture(GL_TEXTURE_2D, texGenWarpGrey)"] + TUBE
    + ["glBindTexture(GL_TEXTURE_2D, texGenSpot)"] + TUBE
    + SPHERE_OFF + ["glDisable(GL_BLEND)"])

LOGO_OVERLAY = [
    "glDepthFunc(GL_ALWAYS)", "glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)", "glEnable(GL_BLEND)",
    "glDisable(GL_LIGHTING)", "glLoadIdentity()", "glColor4f(1, 1, 1, 1)",
    "glBindTexture(GL_TEXTURE_2D, texLogo)", "glBegin(GL_QUADS)",
    "glBindTexture(GL_TEXTURE_2D, texGenSpotsRGB)", "glBegin(GL_QUADS)", "glBegin(GL_QUADS)",
    "glColor4f(0, 0, 0.35, 0.35)", "glBindTexture(GL_TEXTURE_2D, texWhite)", "glBegin(GL_QUADS)",
    "glColor4f(0.2, 0.2, 0.2, 0.3)", "glBegin(GL_QUADS)",
    "glDepthFunc(GL_LEQUAL)"]

POINT_CLOUD = [
    "glTranslatef(*, *, *)", "glRotatef(*, 1, 0, 0)", "glRotatef(*, 0, 1, 0)", "glRotatef(*, 0, 0, 1)",
    "glGetFloatv(GL_MODELVIEW_MATRIX, *)",
    "glBindTexture(GL_TEXTURE_2D, texGenSpot)", "glDisable(GL_TEXTURE_2D)", "glColor4f(1, 1, 1, 0.5)",
    "glBegin(GL_LINE_STRIP)", "glEnable(GL_TEXTURE_2D)",
    "glColor4f(0.6, 0.9, 0.7, 0.7)",
    "glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, {1, 0, 0.01})",
    "glGetFloatv(GL_POINT_SIZE_MAX, *)", "glPointSize(*)",
    "glPointParameterf(GL_POINT_FADE_THRESHOLD_SIZE, 60)", "glPointParameterf(GL_POINT_SIZE_MIN, 1)",
    "glTexEnvf(GL_POINT_SPRITE, GL_COORD_REPLACE, 1)", "glEnable(GL_POINT_SPRITE)",
    "glBegin(GL_POINTS)", "glDisable(GL_POINT_SPRITE)"]

TEXT_PAGES = ["glColor4f(1, 1, 1, 1)", "glBindTexture(GL_TEXTURE_2D, texFont2)", "glBegin(GL_QUADS)"]

MAIN = (BEGIN + TWIN_TUBES
        + ["glLoadIdentity()"] + LOGO_OVERLAY
        + ["glLoadIdentity()", "glDisable(GL_DEPTH_TEST)", "glEnable(GL_BLEND)",
           "glBlendFunc(GL_SRC_ALPHA, GL_ONE)"] + POINT_CLOUD
        + ["glEnable(GL_BLEND)", "glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)",
           "glDisable(GL_DEPTH_TEST)"] + WINDOW_PIXELS
        + TEXT_PAGES + SCROLLER + TAIL)

# ---------------------------------------------------------------------------
# Tracing and reading the trace
# ---------------------------------------------------------------------------


def need(tool):
    path = shutil.which(tool)
    if not path:
        skip.missing(tool, {"Xvfb": "xvfb", "apitrace": "apitrace", "xdotool": "xdotool"}[tool])
    return path


def trace_intro(folder):
    """Runs the intro under apitrace for about a second of main mode, asks
    it to leave with Escape and lets the exit fade run out."""
    apitrace, xdotool, _ = need("apitrace"), need("xdotool"), need("Xvfb")
    xvfb = shell_e2e.Xvfb("640x480x24")
    try:
        trace = os.path.join(folder, "intro.trace")
        proc = subprocess.Popen([apitrace, "trace", "--api", "gl", "-o", trace, INTRO], env=xvfb.env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        window, deadline = None, time.monotonic() + 30
        while window is None and time.monotonic() < deadline:
            found = subprocess.run([xdotool, "search", "--name", "^" + TITLE + "$"], env=xvfb.env(),
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
            window = found[0] if found else None
            time.sleep(0.05)
        if window is None:
            proc.kill()
            raise AssertionError("the intro's window did not appear: " + proc.communicate()[1])
        time.sleep(1.5)
        # Held for 0.15 s, as a person presses it: the loop looks at a held key
        # only in frames without a message.
        quiet = dict(env=xvfb.env(), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([xdotool, "windowfocus", "--sync", window, "keydown", "Escape"], **quiet)
        time.sleep(0.15)
        subprocess.run([xdotool, "keyup", "Escape"], **quiet)
        try:
            proc.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.communicate()
            raise AssertionError("the intro did not end after Escape")
        return trace
    finally:
        xvfb.close()


CALL = re.compile(r"^(\w+)\((.*)\)(?: = (.*))?$")
ARG = re.compile(r"\w+ = ")


def normalise_args(args):
    """'red = 1, green = 0.5' -> '1, 0.5'; ARB suffixes dropped, so that a
    call through the extension's entry point reads like the core one."""
    args = ARG.sub("", args)
    return args.replace("_ARB", "")


def read_frames(trace):
    # The vertices are most of the trace and none of the comparison: grep
    # drops them before Python has to read them.
    dump = subprocess.Popen([need("apitrace"), "dump", "--call-nos=no", "--color=never", trace],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    kept = subprocess.Popen(["grep", "-vE", "^(glVertex|glTexCoord|glNormal|glEnd\\()"], stdin=dump.stdout,
                            stdout=subprocess.PIPE, text=True)
    dump.stdout.close()
    lines = kept.communicate()[0]
    if dump.wait() != 0:
        raise AssertionError("apitrace could not read the trace")
    names, frames, current = [], [], []
    for line in lines.splitlines():
        m = CALL.match(line.strip())
        if not m:
            continue
        func, args, result = m.group(1), m.group(2), m.group(3)
        if func == "glGenTextures":
            got = re.search(r"textures = &(\d+)", args)
            if got:
                names.append(int(got.group(1)))
            continue
        if SWAP.match(func):
            current.append("SwapBuffers")
            frames.append(current)
            current = []
            continue
        func = func.replace("ARB", "") if func.startswith("glPointParameter") else func
        if not KEPT.match(func):
            continue
        args = normalise_args(args)
        if func == "glBindTexture":
            target, name = [a.strip() for a in args.split(",")]
            name = int(name)
            slot = CREATION_ORDER[names.index(name)] if name in names and names.index(name) < len(
                CREATION_ORDER) else f"texture {name}"
            args = f"{target}, {slot}"
        if func == "glPointParameterfv":
            args = re.sub(r"\{([^}]*)\}", lambda g: "{" + g.group(1) + "}", args)
        current.append(f"{func}({args})")
    return frames


def matches(expected, actual):
    if expected == actual:
        return True
    em, am = CALL.match(expected), CALL.match(actual)
    if not em or not am or em.group(1) != am.group(1):
        return False
    ea, aa = split_args(em.group(2)), split_args(am.group(2))
    if len(ea) != len(aa):
        return False
    return all(e == "*" or e == a or same_number(e, a) for e, a in zip(ea, aa))


def split_args(args):
    out, depth, cur = [], 0, ""
    for ch in args:
        if ch in "{[":
            depth += 1
        elif ch in "}]":
            depth -= 1
        if ch == "," and depth == 0:
            out.append(cur.strip())
            cur = ""
        else:
            cur += ch
    if cur.strip():
        out.append(cur.strip())
    return out


def same_number(e, a):
    """Single-precision arguments print with their float rounding
    (0.3 as 0.300000012); they match the decimal written here."""
    if e.startswith("{") and a.startswith("{"):
        ev, av = split_args(e[1:-1]), split_args(a[1:-1])
        return len(ev) == len(av) and all(same_number(x, y) for x, y in zip(ev, av))
    try:
        return abs(float(e) - float(a)) <= 1e-6 * max(1.0, abs(float(e)))
    except ValueError:
        return False


def difference(expected, actual):
    """The first place where the frame departs from the sequence, with
    some context, or None."""
    for i in range(max(len(expected), len(actual))):
        e = expected[i] if i < len(expected) else "(end of frame)"
        a = actual[i] if i < len(actual) else "(end of frame)"
        if not matches(e, a):
            context = "\n".join(f"    {x}" for x in actual[max(0, i - 4):i])
            return f"call {i}: expected {e}\n  got {a}\n  after:\n{context}"
    return None


class GlOrder(unittest.TestCase):
    frames = None

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="gl_order_")
        cls.frames = read_frames(trace_intro(cls.folder))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def kind(self, frame):
        # In this order: the first frame also holds the making of every
        # texture, the credits picture's among them.
        if "glTranslatef(-10, 0, -25)" in frame:
            return "main"
        if "glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 512, 512, 0)" in frame:
            return "start-up"
        if "glBindTexture(GL_TEXTURE_2D, texCredits)" in frame:
            return "exit"
        return "other"

    def frame_of(self, kind, which=0):
        found = [f for f in self.frames if self.kind(f) == kind]
        self.assertGreater(len(found), which, f"the trace has no {kind} frame")
        return found[which]

    def test_start_up_frame(self):
        # The very first drawn frame is a start-up frame.
        drawn = [f for f in self.frames if self.kind(f) != "other"]
        self.assertEqual(self.kind(drawn[0]), "start-up")
        # It ends as every start-up frame does; the second has nothing else.
        self.assertIsNone(difference(START_UP, drawn[0][-len(START_UP):]))
        self.assertIsNone(difference(START_UP, self.frame_of("start-up", 1)))

    def test_main_mode_frame(self):
        # A frame well inside the main mode, and the first one.
        self.assertIsNone(difference(MAIN, self.frame_of("main", 10)))
        self.assertIsNone(difference(MAIN, self.frame_of("main", 0)))

    def test_exit_fade_frame(self):
        self.assertIsNone(difference(EXIT_FADE, self.frame_of("exit", 3)))

    def test_modes_follow_each_other(self):
        kinds = [self.kind(f) for f in self.frames if self.kind(f) != "other"]
        order = [k for i, k in enumerate(kinds) if i == 0 or kinds[i - 1] != k]
        self.assertEqual(order[:3], ["start-up", "main", "exit"])


def main():
    global INTRO
    parser = argparse.ArgumentParser()
    parser.add_argument("--intro", required=True)
    args, rest = parser.parse_known_args()
    INTRO = os.path.abspath(args.intro)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
