#!/usr/bin/python3
"""Start-up and per-frame cost of the real intro under Xvfb with Mesa llvmpipe.

Usage: bench/intro_profile.py [--intro build/default/app/quandrix] [--runs 5] [--seconds 8]

- Time from process start to the first presented frame: the median of
  --runs starts, each timed from just before the exec to the return of the
  first SDL_GL_SwapWindow (bench/swap_probe.c, preloaded).
- Frames per second and CPU time per frame in the main mode: one run of
  --seconds under `perf record`, looked at from 2 s after the first frame
  (the start-up mode is over by then) to the exit request (the fade's frames
  are far cheaper). The main thread's samples in that window are split by
  the object they fell in, so that the time in our own code (the intro's
  executable, and libm, which only our code calls) stands apart from Mesa's
  driver, SDL, Xlib and the C library. The audio worker is a thread of its
  own and is left out here (bench/audio_worker_cpu.py measures it).

Needs cc, perf (Debian: linux-perf), Xvfb.
"""

import argparse
import collections
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import shell_e2e  # noqa: E402  (the tests' Xvfb helper)

OURS = ("quandrix", "libm.so.6")


def build_probe(folder):
    probe = os.path.join(folder, "swap_probe.so")
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", probe, os.path.join(ROOT, "bench", "swap_probe.c"),
                    "-ldl"], check=True)
    return probe


def run_intro(intro, probe, seconds, out, prefix=()):
    """Runs the intro for `seconds` after its first frame, then asks it to
    leave (SIGTERM, which starts the exit fade) and waits for its end."""
    xvfb = shell_e2e.Xvfb("640x480x24")
    try:
        env = xvfb.env(LD_PRELOAD=probe, QUANDRIX_PROBE_OUT=out)
        if os.path.exists(out):
            os.remove(out)
        env["QUANDRIX_PROBE_T0"] = str(time.clock_gettime_ns(time.CLOCK_MONOTONIC))
        proc = subprocess.Popen(list(prefix) + [intro], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not read_probe(out).get("first_frame_ns") and time.monotonic() < deadline:
            time.sleep(0.01)
        time.sleep(seconds)
        leave = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=60)
        values = read_probe(out)
        values["leave_ns"] = leave
        return values
    finally:
        xvfb.close()


def read_probe(path):
    values = {"frame_at_ns": []}
    try:
        with open(path) as f:
            for line in f:
                key, value = line.split()
                if key == "frame_at_ns":
                    values[key].append(int(value))
                else:
                    values[key] = int(value)
    except FileNotFoundError:
        pass
    return values


def main_thread_samples(data, start_ns, end_ns):
    """Samples of the main thread between two CLOCK_MONOTONIC times, by
    object: {object: count}."""
    script = subprocess.run(["perf", "script", "-i", data, "-F", "pid,tid,time,ip,dso"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, check=True).stdout
    counts = collections.Counter()
    for line in script.splitlines():
        m = re.match(r"^\s*(\d+)/(\d+)\s+([\d.]+):\s+\S+\s+\((.*)\)", line)
        # Mesa's rasteriser threads belong to the process too; the main
        # thread is the one whose id is the process's.
        if not m or m.group(1) != m.group(2):
            continue
        if start_ns / 1e9 <= float(m.group(3)) <= end_ns / 1e9:
            name = os.path.basename(m.group(4))
            counts["[JIT]" if name.startswith("perf-") else name] += 1
    return counts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--intro", default=os.path.join(ROOT, "build", "default", "app", "quandrix"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=8.0)
    args = parser.parse_args()
    rate = 2000

    with tempfile.TemporaryDirectory(prefix="intro_profile_") as folder:
        probe = build_probe(folder)
        out = os.path.join(folder, "probe.txt")

        firsts = []
        for _ in range(args.runs):
            firsts.append(run_intro(args.intro, probe, 0.2, out)["first_frame_ns"] / 1e6)
        print("process start to first presented frame: median %.0f ms (runs: %s)"
              % (statistics.median(firsts), ", ".join("%.0f" % t for t in firsts)))

        data = os.path.join(folder, "perf.data")
        result = run_intro(args.intro, probe, args.seconds, out,
                           prefix=("perf", "record", "-q", "-k", "mono", "-F", str(rate), "-o", data, "--"))
        times = result["frame_at_ns"]
        start = times[0] + 2_000_000_000
        shown = [t for t in times if start <= t <= result["leave_ns"]]
        frames = max(len(shown), 1)
        counts = main_thread_samples(data, shown[0], shown[-1])
        total = sum(counts.values())
        ours = sum(n for dso, n in counts.items() if dso in OURS)
        print("main mode: %d frames in %.2f s, %.1f frames per second"
              % (frames, (shown[-1] - shown[0]) / 1e9, (frames - 1) / ((shown[-1] - shown[0]) / 1e9)))
        print("main thread CPU per frame: %.2f ms, of which our own code %.2f ms (%.0f %%)"
              % (total / rate / frames * 1e3, ours / rate / frames * 1e3, 100.0 * ours / max(total, 1)))
        for dso, n in counts.most_common(8):
            print("  %-28s %6.2f ms/frame" % (dso, n / rate / frames * 1e3))


if __name__ == "__main__":
    main()
