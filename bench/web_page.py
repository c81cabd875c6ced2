#!/usr/bin/python3
"""Size and speed of the web page in headless Chromium (WebGL 2 on
SwiftShader, the browser's software renderer), driven by
tests/web/drive.mjs.

Usage: bench/web_page.py [--page build/web/app/quandrix.html] [--runs 5] [--seconds 10]

- Size: quandrix.html, the one file that holds everything, in bytes (and
  gzip-compressed, as a web server would send it).
- Time to the first frame: the page opened from disk, allowed to play sound
  without a click (as the tests run it), from the start of its navigation to the
  end of the first animation frame in which the show drew, the median of
  --runs fresh pages.
- Frames per second of the live show: display frames drawn over --seconds,
  counted from 2 s after the first frame (the start-up mode is over then),
  and the time per frame spent in the frame callback on the page's thread
  (the intro's WebAssembly and the WebGL calls it makes; SwiftShader draws
  in the browser's GPU process, outside it).
- Sound: the time the sound's node takes on the page's thread (copying the
  ring out and rendering what was played) per second of sound.
- Seeking: the time the page opened at #t=10 takes to hold its picture
  (600 frames drawn on the fixed clock), and the frames per second that is.

Build the `web` preset first; needs chromium, nodejs and tests/web's npm
packages (scripts/setup-debian.sh installs them).
"""

import argparse
import gzip
import json
import os
import statistics
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DRIVER = os.path.join(ROOT, "tests", "web", "drive.mjs")


def drive(page, scratch, visits):
    plan = os.path.join(scratch, "plan.json")
    with open(plan, "w") as f:
        json.dump({"chromium": "/usr/lib/chromium/chromium", "page": os.path.abspath(page), "scratch": scratch,
                   "arguments": ["--autoplay-policy=no-user-gesture-required"], "visits": visits}, f)
    result = subprocess.run(["node", DRIVER, plan], capture_output=True, text=True, check=True,
                            cwd=os.path.dirname(DRIVER))
    reports = json.loads(result.stdout)["visits"]
    for report in reports:
        if "failure" in report:
            raise SystemExit("the page failed: " + report["failure"])
    return reports


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--page", default=os.path.join(ROOT, "build", "web", "app", "quandrix.html"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=10.0)
    args = parser.parse_args()

    with open(args.page, "rb") as f:
        data = f.read()
    print("%-14s %9d bytes (%d gzip-compressed)" % ("the page", len(data), len(gzip.compress(data, 9))))

    with tempfile.TemporaryDirectory() as scratch:
        starts = drive(args.page, scratch, [{"fragment": "", "steps": [{"state": "running"}, {"sleep": 1}]}] * args.runs)
        first = sorted(report["firstFrame"] for report in starts)
        print("first frame    %9.0f ms after navigation (median of %d: %s)" %
              (1000 * statistics.median(first), len(first), ", ".join("%.0f" % (1000 * t) for t in first)))

        live, seek = drive(args.page, scratch, [
            {"fragment": "", "record": True, "steps": [{"state": "running"}, {"sleep": 2}, {"frames": args.seconds}]},
            {"fragment": "t=10", "steps": [{"state": "holding", "timeout": 600}]},
        ])
        frames = next(s for s in live["steps"] if "frames" in s)
        print("live show      %9.1f frames per second (%d frames in %.0f s)" %
              (frames["count"] / args.seconds, frames["count"], args.seconds))
        print("page's thread  %9.1f ms per frame inside the frame callback (our code and WebGL calls)" %
              (1000 * frames["busy"] / frames["count"]))
        sound = live["audio"]["frames"] / 44100
        print("sound          %9.1f ms on the page's thread per second of sound (%.0f s recorded)" %
              (1000 * live["audio"]["busy"] / sound, sound))
        seconds = seek["steps"][0]["at"] - seek["firstFrame"]
        print("seeking        %9.1f s to hold #t=10 (600 frames, %.1f frames per second)" % (seconds, 600 / seconds))


if __name__ == "__main__":
    main()
