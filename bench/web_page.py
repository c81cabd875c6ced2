#!/usr/bin/python3
"""Size and speed of the web page in headless Chromium (WebGL 2 on
SwiftShader, the browser's software renderer), driven by
tests/web/drive.mjs.

Usage: bench/web_page.py [--site build/web/app] [--runs 5] [--seconds 10]

- Size: quandrix.html, quandrix.js and quandrix.wasm, everything the page
  loads, in bytes (and gzip-compressed, as a web server would send them).
- Time to the first frame: from the start of the page's navigation to the
  end of the first animation frame in which the show drew, the median of
  --runs fresh pages.
- Frames per second of the live show: display frames drawn over --seconds,
  counted from 2 s after the first frame (the start-up mode is over then),
  and the time per frame spent in the frame callback on the page's thread
  (the intro's WebAssembly and the WebGL calls it makes; SwiftShader draws
  in the browser's GPU process, outside it).
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


def drive(site, scratch, visits):
    plan = os.path.join(scratch, "plan.json")
    with open(plan, "w") as f:
        json.dump({"chromium": "/usr/lib/chromium/chromium", "site": os.path.abspath(site), "scratch": scratch, "visits": visits}, f)
    result = subprocess.run(["node", DRIVER, plan], capture_output=True, text=True, check=True,
                            cwd=os.path.dirname(DRIVER))
    reports = json.loads(result.stdout)["visits"]
    for report in reports:
        if "failure" in report:
            raise SystemExit("the page failed: " + report["failure"])
    return reports


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--site", default=os.path.join(ROOT, "build", "web", "app"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=10.0)
    args = parser.parse_args()

    total = packed = 0
    for name in ("quandrix.html", "quandrix.js", "quandrix.wasm"):
        with open(os.path.join(args.site, name), "rb") as f:
            data = f.read()
        total += len(data)
        packed += len(gzip.compress(data, 9))
        print("%-14s %9d bytes" % (name, len(data)))
    print("%-14s %9d bytes (%d gzip-compressed)" % ("the page", total, packed))

    with tempfile.TemporaryDirectory() as scratch:
        starts = drive(args.site, scratch, [{"fragment": "", "steps": [{"state": "running"}, {"sleep": 1}]}] * args.runs)
        first = sorted(report["firstFrame"] for report in starts)
        print("first frame    %9.0f ms after navigation (median of %d: %s)" %
              (1000 * statistics.median(first), len(first), ", ".join("%.0f" % (1000 * t) for t in first)))

        live, seek = drive(args.site, scratch, [
            {"fragment": "", "steps": [{"state": "running"}, {"sleep": 2}, {"frames": args.seconds}]},
            {"fragment": "t=10", "steps": [{"state": "holding", "timeout": 600}]},
        ])
        frames = next(s for s in live["steps"] if "frames" in s)
        print("live show      %9.1f frames per second (%d frames in %.0f s)" %
              (frames["count"] / args.seconds, frames["count"], args.seconds))
        print("page's thread  %9.1f ms per frame inside the frame callback (our code and WebGL calls)" %
              (1000 * frames["busy"] / frames["count"]))
        seconds = seek["steps"][0]["at"] - seek["firstFrame"]
        print("seeking        %9.1f s to hold #t=10 (600 frames, %.1f frames per second)" % (seconds, 600 / seconds))


if __name__ == "__main__":
    main()
