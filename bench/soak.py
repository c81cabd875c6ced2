#!/usr/bin/python3
"""Hours of show: runs the intro (or the web page) for MINUTES and watches
that nothing grows and the sound never comes late.

Usage: bench/soak.py native MINUTES [--load N] [--intro build/default/app/quandrix] [--check]
       bench/soak.py page MINUTES [--load N] [--page build/web/app/quandrix.html] [--check]

native: the intro on an X server of its own (Xvfb, 640x480x24), its sound
through SDL's disk driver into /dev/null (paced in real time, as a sound
card would be). Every 10 s: the resident memory, the threads, the open file
descriptors and the CPU time, from /proc. At the end Escape, as a person
would press it; the intro's line on standard error gives the blocks of sound
played before they were rendered.

page: the one-file page in headless Chromium (bench/soak_page.mjs, with
tests/web's npm packages). Every 10 s: the JavaScript heap, the WebAssembly
memory, the page's DOM nodes and event listeners, the frames drawn and the
resident memory of the browser's processes.

--load N runs `stress-ng --cpu N` beside it for the whole run (Debian
package stress-ng). The table gives each figure at the first minute, at
the end and its growth after the first minute (the most it rose above the
first minute's value). --check fails the run (status 1) on any late block,
on a memory growth above 2 MB after the first minute, on more threads or
open files than at the first minute, or on an unclean end.
"""

import argparse
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INTERVAL = 10.0          # seconds between samples
SETTLED = 60.0           # growth is counted from the sample at this time
GROWTH_LIMIT = 2 << 20   # bytes of memory growth --check allows after SETTLED
ESCAPE_STATUS = 27       # the intro's exit status after Escape (its key-up's code)
LATE_LINE = re.compile(r"^quandrix: (\d+) blocks? \(.*longest run ([0-9.]+) s", re.M)


def start_load(cpus):
    """stress-ng --cpu N until stopped; None without a load."""
    if not cpus:
        return None
    if not shutil.which("stress-ng"):
        raise SystemExit("--load needs stress-ng (Debian package stress-ng)")
    return subprocess.Popen(["stress-ng", "--cpu", str(cpus), "--quiet"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def stop(proc):
    if proc and proc.poll() is None:
        os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


class Xvfb:
    """An X server of its own, on a free display number."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "640x480x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            if not select.select([read_end], [], [], 30)[0]:
                raise SystemExit("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def process_sample(pid):
    """Resident bytes, threads, open descriptors and CPU seconds of `pid`."""
    with open("/proc/%d/status" % pid) as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return {"memory": int(status["VmRSS"].split()[0]) * 1024, "threads": int(status["Threads"]),
            "files": len(os.listdir("/proc/%d/fd" % pid)),
            "cpu": (int(fields[11]) + int(fields[12])) / ticks}


def run_native(args):
    xvfb = Xvfb()
    env = dict(os.environ, DISPLAY=xvfb.display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null")
    env.pop("SDL_VIDEODRIVER", None)
    load = None
    intro = subprocess.Popen([args.intro], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    samples = []
    try:
        load = start_load(args.load)
        begun = time.monotonic()
        while True:
            at = time.monotonic() - begun
            if intro.poll() is not None:
                raise SystemExit("the intro ended by itself after %.0f s (status %s): %s" %
                                 (at, intro.returncode, intro.stderr.read().strip()))
            samples.append(dict(process_sample(intro.pid), at=at))
            if len(samples) * INTERVAL > args.minutes * 60:
                break
            time.sleep(max(0.0, begun + len(samples) * INTERVAL - time.monotonic()))
        window = subprocess.run(["xdotool", "search", "--name", "^Quandrix 2oo5$"], env=env, capture_output=True,
                                text=True).stdout.split()
        if not window:
            raise SystemExit("the intro's window is gone")
        escape = time.monotonic()
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0], "key", "Escape"], env=env, check=True,
                       timeout=30)
        try:
            status = intro.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise SystemExit("the intro did not end within 30 s of Escape")
        ended = time.monotonic() - escape
        errors = intro.stderr.read()
    finally:
        stop(load)
        if intro.poll() is None:
            intro.kill()
            intro.wait()
        xvfb.close()
    match = LATE_LINE.search(errors)
    late = (int(match.group(1)), float(match.group(2))) if match else (0, 0.0)
    return samples, {"late": late, "status": status, "ended": ended}


def run_page(args):
    script = os.path.join(ROOT, "bench", "soak_page.mjs")
    load = start_load(args.load)
    try:
        result = subprocess.run(["node", script, os.path.abspath(args.page), str(args.minutes * 60), str(INTERVAL)],
                                capture_output=True, text=True)
    finally:
        stop(load)
    if result.returncode != 0:
        raise SystemExit("the page's soak failed: " + (result.stderr.strip() or result.stdout.strip()))
    report = json.loads(result.stdout)
    return report["samples"], report["end"]


# (key, label, unit, divisor, limited): how each figure is shown and whether
# --check bounds its growth.
NATIVE = [("memory", "resident memory", "MB", 1 << 20, GROWTH_LIMIT),
          ("threads", "threads", "", 1, 0),
          ("files", "open file descriptors", "", 1, 0)]
PAGE = [("heap", "JavaScript heap (used)", "MB", 1 << 20, GROWTH_LIMIT),
        ("wasm", "WebAssembly memory", "MB", 1 << 20, GROWTH_LIMIT),
        ("nodes", "DOM nodes", "", 1, 0),
        ("listeners", "event listeners", "", 1, 0),
        ("memory", "browser resident memory", "MB", 1 << 20, None)]


def report(samples, figures, args):
    """Prints the table; returns the figures whose growth --check refuses."""
    settled = next((s for s in samples if s["at"] >= SETTLED - 1), samples[-1])
    after = [s for s in samples if s["at"] >= settled["at"]]
    refused = []
    print("%-26s %12s %12s %14s" % ("figure", "at %.0f s" % settled["at"], "at %.0f s" % samples[-1]["at"],
                                     "growth after"))
    for key, label, unit, divisor, limit in figures:
        growth = max(s[key] for s in after) - settled[key]
        shown = lambda v: ("%.2f" % (v / divisor)) if divisor > 1 else "%d" % v
        print("%-26s %12s %12s %14s" % (label + (" (%s)" % unit if unit else ""), shown(settled[key]),
                                         shown(samples[-1][key]), shown(growth)))
        if limit is not None and growth > limit:
            refused.append("%s grew by %s%s after the first minute" % (label, shown(growth), unit and " " + unit))
    return refused


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("what", choices=["native", "page"])
    parser.add_argument("minutes", type=float)
    parser.add_argument("--load", type=int, default=0, metavar="N", help="stress-ng --cpu N beside it")
    parser.add_argument("--intro", default=os.path.join(ROOT, "build", "default", "app", "quandrix"))
    parser.add_argument("--page", default=os.path.join(ROOT, "build", "web", "app", "quandrix.html"))
    parser.add_argument("--check", action="store_true", help="fail on late sound, growth or an unclean end")
    args = parser.parse_args()
    if args.minutes * 60 < SETTLED + INTERVAL:
        raise SystemExit("a soak runs for more than its first minute")

    print("%s for %g minutes%s, on %d processors, load average %.1f at the start" %
          ("the intro" if args.what == "native" else "the page in headless Chromium", args.minutes,
           " beside stress-ng --cpu %d" % args.load if args.load else "", os.cpu_count(), os.getloadavg()[0]))
    sys.stdout.flush()
    if args.what == "native":
        samples, end = run_native(args)
        refused = report(samples, NATIVE, args)
        cpu = (samples[-1]["cpu"] - samples[0]["cpu"]) / (samples[-1]["at"] - samples[0]["at"])
        print("%-26s %41.0f %%" % ("CPU time (of one core)", 100 * cpu))
        late, longest = end["late"]
        print("late blocks of sound        %d (longest run %.2f s)" % (late, longest))
        print("exit status                 %d, %.2f s after Escape" % (end["status"], end["ended"]))
        if late:
            refused.append("%d blocks of sound came late" % late)
        if end["status"] != ESCAPE_STATUS:
            refused.append("the intro ended with status %d after Escape" % end["status"])
    else:
        samples, end = run_page(args)
        refused = report(samples, PAGE, args)
        frames = samples[-1]["frames"] - samples[0]["frames"]
        print("frames drawn                %.1f a second" % (frames / (samples[-1]["at"] - samples[0]["at"])))
        late = end.get("late")
        print("late sound                  %s" % ("not reported by the page" if late is None else
                                                "%(stretches)d stretches, %(frames)d frames" % late))
        print("end                         %s, %.2f s after Escape" % (end["state"], end["ended"]))
        if late is None or late["frames"]:
            refused.append("late sound: %s" % late)
        if end["state"] != "ended":
            refused.append("the page was %r after Escape" % end["state"])
        for error in end["errors"]:
            refused.append("page error: " + error)
    print("load average %.1f at the end" % os.getloadavg()[0])
    if args.check and refused:
        print("\n".join("FAILED: " + r for r in refused))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
