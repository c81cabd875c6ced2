#!/usr/bin/python3
"""Size and speed of the web page in headless Chromium (WebGL 2 on
SwiftShader, the browser's software renderer) and in Firefox ESR (headed
under Xvfb, WebGL 2 on Mesa's llvmpipe), beside the native build's frame
rate measured in the same run (bench/intro_fps.sh, llvmpipe under Xvfb), so
that every figure is also a ratio measured side by side. The browsers are
driven by tests/web/drive.mjs.

Usage: bench/web_page.py [--page build/web/app/quandrix.html] [--rounds 3] [--runs 3]
                         [--seconds 10] [--browsers chromium,firefox] [--no-seek] [--account]

Each round runs the native build, then each browser:
- Time to the first frame: the page opened from disk, allowed to play sound
  without a click, from the start of its navigation to the end of the first
  animation frame in which the show drew, --runs fresh pages; and that time
  by stage, from the page's own marks (STARTUP below).
- Frames per second of the live show: display frames drawn over --seconds,
  counted from 2 s after the first frame (the start-up mode is over then),
  and the browser's CPU time per frame by stage: the page's own thread (the
  intro's WebAssembly and the WebGL calls it makes), the GL calls carried
  out (Chromium's GPU process, Firefox's canvas thread), the rasteriser
  (SwiftShader's or llvmpipe's threads), presentation (the compositors) and
  the sound; and the time the sound takes on the page's thread. Then, on
  another page, its WebGL calls, draws and bytes uploaded per frame.
- Seeking: the time the page opened at #t=10 takes to hold its picture
  (600 frames drawn on the fixed clock), and the frames per second that is.
Then the spread of each over the rounds. Other work on the machine moves
the figures; the ratios to the native build hold better.

With --account, instead: the live show's frame rate and CPU time by stage
in each browser as it is and with one part of the work switched off at a
time (the draws, the texture fetches, all but 64 x 48 pixels, the
reflection's copy, the copy onto the canvas, 24-bit depth, the canvas's
wait for the compositor), the page's WebGL calls replaced for it: where a
frame's time goes. The pictures are wrong then;
only the time counts.

Build the `web` preset and the default preset's scene_bench first; needs
chromium, firefox-esr, xvfb, pulseaudio (Firefox plays, and so runs as it
does for a listener, only with a sound server: the bench starts its own
with a sink that plays in real time into a pipe), nodejs and tests/web's
npm packages (scripts/setup-debian.sh installs them).
"""

import argparse
import gzip
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DRIVER = os.path.join(ROOT, "tests", "web", "drive.mjs")
BROWSERS = {"chromium": "/usr/lib/chromium/chromium", "firefox": "/usr/bin/firefox-esr"}

# The browsers' threads (drive.mjs's "process/thread") by stage.
STAGES = [
    ("page", re.compile(r"^renderer/chromium$|^tab/.*Content$")),
    ("GL calls", re.compile(r"^gpu-process/chromium$|/CanvasRenderer$")),
    ("rasteriser", re.compile(r"^gpu-process/Thread<#>$|/llvmpipe-#$")),
    ("presentation", re.compile(r"VizCompositor|/Compositor$|/Renderer$|/WRRende|/WRScene|Softwar|/SwComposite")),
    ("sound", re.compile(r"Audio|/GraphRunner|/MediaTrackGrph|cubeb|/MediaDecoder")),
]


# The parts the account switches off, as JS run in the page before its own.
EXPERIMENTS = [
    ("as it is", ""),
    ("nothing drawn", "P.drawElements = function() {};"),
    ("no texture fetched", """const source = P.shaderSource;
        P.shaderSource = function(shader, text) {
          return source.call(this, shader, text.replace(/o_colour = [^;]*;/, 'o_colour = v_colour;'));
        };"""),
    ("64 x 48 pixels", """const viewport = P.viewport;
        P.viewport = function(x, y) { return viewport.call(this, x, y, 64, 48); };"""),
    ("no reflection copy", "P.copyTexSubImage2D = P.copyTexImage2D = function() {};"),
    ("no copy onto the canvas", "P.blitFramebuffer = function() {};"),
    ("16-bit depth", """const storage = P.renderbufferStorage;
        P.renderbufferStorage = function(target, format, width, height) {
          return storage.call(this, target, format === this.DEPTH_COMPONENT24 ? this.DEPTH_COMPONENT16 : format,
                              width, height);
        };"""),
    # The one that would keep the pictures: the browser may present the
    # canvas without waiting for its compositor.
    ("desynchronized canvas", """const get = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function(type, attributes) {
          return get.call(this, type, Object.assign({}, attributes, {desynchronized: true}));
        };"""),
]


# Counts the page's WebGL calls, its draws and the bytes of its buffer
# uploads, with the display frames, into the root element's data-gl-count.
COUNT_CALLS = """(() => {
  const P = WebGL2RenderingContext.prototype;
  const got = {calls: 0, draws: 0, bytes: 0, frames: 0};
  for (const name of Object.getOwnPropertyNames(P)) {
    const call = Object.getOwnPropertyDescriptor(P, name).value;
    if (typeof call !== 'function' || name === 'constructor') continue;
    P[name] = function(...a) {
      ++got.calls;
      if (name === 'drawElements' || name === 'drawArrays') ++got.draws;
      if (name === 'bufferData' && a.length > 4) got.bytes += a[4];
      return call.apply(this, a);
    };
  }
  const tick = () => {
    ++got.frames;
    document.documentElement.dataset.glCount = JSON.stringify(got);
    requestAnimationFrame(tick);
  };
  requestAnimationFrame(tick);
})();"""


def calls_per_frame(report):
    """WebGL calls, draws and uploaded bytes per frame between the visit's
    last two steps (COUNT_CALLS)."""
    first, last = (json.loads(s["root"]["glCount"]) for s in report["steps"][-2:])
    frames = max(last["frames"] - first["frames"], 1)
    return {key: (last[key] - first[key]) / frames for key in ("calls", "draws", "bytes")}


def experiment_script(code):
    return "(() => { const P = WebGL2RenderingContext.prototype; %s })();" % code if code else None


def spread(values, form="%.1f"):
    values = sorted(values)
    if len(values) == 1:
        return form % values[0]
    return (form + " (" + form + " to " + form + ")") % (statistics.median(values), values[0], values[-1])


class SoundServer:
    """A PulseAudio server of the bench's own whose one sink plays in real
    time into a pipe that is read and thrown away: a sound card without
    the card. Not the null sink: a new Firefox page waited 1.2 to 1.5 s
    there for its sound to start (20 to 50 ms here), a wait that no
    listener's sound card makes."""

    def __init__(self, directory):
        self.reader = None
        os.makedirs(directory, exist_ok=True)
        config = os.path.join(directory, "server.pa")
        socket = os.path.join(directory, "native")
        fifo = os.path.join(directory, "played")
        with open(config, "w") as f:
            f.write("load-module module-pipe-sink sink_name=quiet file=%s use_system_clock_for_timing=yes\n"
                    "load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n" % (fifo, socket))
        server_env = dict(os.environ, HOME=directory, XDG_RUNTIME_DIR=directory, PULSE_RUNTIME_PATH=directory,
                          PULSE_STATE_PATH=directory)
        server_env.pop("PULSE_SERVER", None)
        self.env = dict(os.environ, PULSE_SERVER="unix:" + socket)
        self.server = subprocess.Popen(["pulseaudio", "-n", "-F", config, "--daemonize=no", "--exit-idle-time=-1",
                                        "--use-pid-file=false"], env=server_env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            if self.server.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise SystemExit("pulseaudio did not start")
            time.sleep(0.1)
        # The sink waits while its pipe is full; this reader keeps it going.
        self.reader = subprocess.Popen(["cat", fifo], stdout=subprocess.DEVNULL)

    def stop(self):
        if self.reader:
            self.reader.kill()
            self.reader.wait()
        if self.server.poll() is None:
            self.server.terminate()
            self.server.wait()


def drive(browser, page, scratch, visits, env):
    plan = os.path.join(scratch, "plan.json")
    with open(plan, "w") as f:
        json.dump({"browser": browser, browser: BROWSERS[browser], "page": os.path.abspath(page),
                   "scratch": scratch, "autoplay": True, "visits": visits}, f)
    command = ["node", DRIVER, plan]
    if browser == "firefox":
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"] + command
    result = subprocess.run(command, capture_output=True, text=True, cwd=os.path.dirname(DRIVER), env=env)
    if result.returncode != 0:
        raise SystemExit("drive.mjs failed:\n" + result.stderr)
    reports = json.loads(result.stdout)["visits"]
    for report in reports:
        if "failure" in report:
            raise SystemExit("the page failed in %s: %s" % (browser, report["failure"]))
    return reports


def native_fps():
    """The native build's frames per second, and its main thread's and
    llvmpipe's rasterising threads' CPU ms per frame (bench/intro_fps.sh)."""
    out = subprocess.run(["bash", os.path.join(ROOT, "bench", "intro_fps.sh")], capture_output=True, text=True,
                         check=True).stdout
    line = next(line for line in out.splitlines() if line.startswith("BM_SceneFrame"))
    cpu = float(re.search(r"\s([0-9.]+) ms\s+([0-9.]+) ms", line).group(2))
    raster = float(re.search(r"raster_ms=([0-9.]+)", line).group(1))
    return float(re.search(r"fps=([0-9.]+)", line).group(1)), cpu, raster


# The start-up by the page's marks (performance.mark): from one mark to the
# next, ms; "" is the navigation's start.
STARTUP = [
    ("page and module", "", "module"),       # loading the page, its script, the module's decoding and compiling
    ("textures made", "module", "prepared"),  # made ahead, while the page waits for a click or the sound
    ("to main", "prepared", "main"),         # Firefox: waiting for its sound to run
    ("WebGL context", "main", "context"),    # the context and the GL layer's programs
    ("textures", "context", "song"),         # their uploads, the tube's mesh
    ("song and prefill", "song", "sound"),   # the song loaded, two seconds rendered and sent
    ("rest", "sound", "started"),
    ("first frame", "started", "first-frame"),  # waiting for the browser's frame, then drawing it
]


def startup_stages(marks):
    """ms per start-up stage of one visit's marks, where both ends were marked."""
    at = dict(marks, **{"": 0.0})
    return {name: 1000 * (at[end] - at[begin]) for name, begin, end in STARTUP if begin in at and end in at}


def stages_per_frame(frames):
    """A frames step's CPU time by stage, ms per frame."""
    stages = {name: 0.0 for name, _ in STAGES}
    stages["other"] = 0.0
    for thread, seconds in frames["cpu"].items():
        stage = next((name for name, pattern in STAGES if pattern.search(thread)), "other")
        stages[stage] += 1000 * seconds / max(frames["count"], 1)
    return stages


def live_visit(args, script=None, record=False):
    visit = {"fragment": "", "steps": [{"state": "running"}, {"sleep": 2}, {"frames": args.seconds}]}
    if script:
        visit["script"] = script
    if record:
        visit["record"] = True
    return visit


def frames_step(report):
    return next(s for s in report["steps"] if "frames" in s)


def measure(browser, page, scratch, args, env):
    """One browser's figures of one round."""
    visits = [{"fragment": "", "steps": [{"state": "running"}, {"sleep": 1}]}] * args.runs
    visits.append(live_visit(args, record=True))
    visits.append({"fragment": "", "script": COUNT_CALLS, "steps": [{"state": "running"}, {"sleep": 2}, {"sleep": 2}]})
    if args.seek:
        visits.append({"fragment": "t=10", "steps": [{"state": "holding", "timeout": 600}]})
    reports = drive(browser, page, scratch, visits, env)
    live = reports[args.runs]
    frames = frames_step(live)
    result = {"first": [r["firstFrame"] for r in reports[:args.runs]],
              "startup": [startup_stages(r.get("marks", {})) for r in reports[:args.runs]], "fps": frames["count"] / args.seconds,
              "busy": 1000 * frames["busy"] / frames["count"], "stages": stages_per_frame(frames),
              "sound": 1000 * live["audio"]["busy"] / (live["audio"]["frames"] / 44100),
              "calls": calls_per_frame(reports[args.runs + 1])}
    if args.seek:
        seek = reports[args.runs + 2]
        result["seek"] = seek["steps"][0]["at"] - seek["firstFrame"]
    return result


def account(browsers, args, scratch, sound):
    """The live show with one part of the work switched off at a time."""
    got = {}
    for n in range(args.rounds):
        fps, cpu, raster = native_fps()
        print("round %d: native %.1f frames per second, CPU per frame %.1f ms main thread, %.1f ms rasteriser" %
              (n + 1, fps, cpu, raster), flush=True)
        for browser in browsers:
            visits = [live_visit(args, experiment_script(code)) for _, code in EXPERIMENTS]
            reports = drive(browser, args.page, scratch, visits, sound.env if sound else dict(os.environ))
            for (name, _), report in zip(EXPERIMENTS, reports):
                frames = frames_step(report)
                got.setdefault((browser, name), []).append((frames["count"] / args.seconds, stages_per_frame(frames)))
    stage_names = [name for name, _ in STAGES] + ["other"]
    for browser in browsers:
        print("\n%s, median of %d rounds: frames per second, then CPU ms per frame by stage" % (browser, args.rounds))
        print("  %-24s %6s  %s" % ("", "fps", "  ".join("%12s" % name for name in stage_names)))
        for name, _ in EXPERIMENTS:
            rows = got[(browser, name)]
            print("  %-24s %6.1f  %s" % (name, statistics.median(r[0] for r in rows), "  ".join(
                "%12.1f" % statistics.median(r[1][stage] for r in rows) for stage in stage_names)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--page", default=os.path.join(ROOT, "build", "web", "app", "quandrix.html"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--browsers", default="chromium,firefox")
    parser.add_argument("--no-seek", dest="seek", action="store_false")
    parser.add_argument("--account", action="store_true")
    args = parser.parse_args()
    browsers = args.browsers.split(",")
    for browser in browsers:
        if browser not in BROWSERS:
            parser.error("unknown browser %s (known: %s)" % (browser, ", ".join(BROWSERS)))
    for tool in ["node", "xvfb-run"] + (["pulseaudio", "pactl"] if "firefox" in browsers else []):
        if not shutil.which(tool):
            sys.exit("web_page.py: %s is needed" % tool)

    with open(args.page, "rb") as f:
        data = f.read()
    print("%-14s %9d bytes (%d gzip-compressed)" % ("the page", len(data), len(gzip.compress(data, 9))))
    with open("/proc/loadavg") as f:
        print("load average   %s at the start" % " ".join(f.read().split()[:3]))

    rounds = []
    with tempfile.TemporaryDirectory() as scratch:
        sound = SoundServer(os.path.join(scratch, "pulse")) if "firefox" in browsers else None
        try:
            if args.account:
                account(browsers, args, scratch, sound)
                return
            for n in range(args.rounds):
                fps, cpu, raster = native_fps()
                figures = {"native": fps, "nativeCpu": cpu, "nativeRaster": raster}
                print("round %d: native %.1f frames per second (%.1f ms main thread, %.1f ms rasteriser)" %
                      (n + 1, fps, cpu, raster), end="")
                for browser in browsers:
                    figures[browser] = measure(browser, args.page, scratch, args,
                                               sound.env if sound else dict(os.environ))
                    print(", %s %.1f (%.2f of native)" % (browser, figures[browser]["fps"],
                                                          figures[browser]["fps"] / fps), end="", flush=True)
                print()
                rounds.append(figures)
        finally:
            if sound:
                sound.stop()
    with open("/proc/loadavg") as f:
        print("load average   %s at the end" % " ".join(f.read().split()[:3]))

    print("\nmedian (lowest to highest) of %d rounds" % args.rounds)
    print("native build   %s frames per second; CPU per frame, ms: main thread %s, rasteriser %s" %
          (spread([r["native"] for r in rounds]), spread([r["nativeCpu"] for r in rounds]),
           spread([r["nativeRaster"] for r in rounds])))
    for browser in browsers:
        got = [r[browser] for r in rounds]
        print("%s:" % browser)
        print("  first frame  %s ms after navigation" % spread([1000 * t for r in got for t in r["first"]], "%.0f"))
        visits = [v for r in got for v in r["startup"]]
        print("  start-up, ms: " + ", ".join("%s %s" % (name, spread([v[name] for v in visits if name in v], "%.0f"))
                                          for name, _, _ in STARTUP if any(name in v for v in visits)))
        print("  live show    %s frames per second, %s of the native build's" %
              (spread([r["fps"] for r in got]), spread([r[browser]["fps"] / r["native"] for r in rounds], "%.2f")))
        print("  CPU per frame, ms: " + ", ".join(
            "%s %s" % (stage, spread([r["stages"][stage] for r in got])) for stage in got[0]["stages"]))
        print("  inside the frame callback %s ms per frame; the sound %s ms on the page's thread per second" %
              (spread([r["busy"] for r in got]), spread([r["sound"] for r in got])))
        print("  per frame    %s WebGL calls, %s draws, %s MB of vertices and indices uploaded" %
              (spread([r["calls"]["calls"] for r in got], "%.0f"), spread([r["calls"]["draws"] for r in got], "%.0f"),
               spread([r["calls"]["bytes"] / 1e6 for r in got], "%.2f")))
        if args.seek:
            print("  seeking      %s s to hold #t=10 (600 frames)" % spread([r["seek"] for r in got]))


if __name__ == "__main__":
    main()
