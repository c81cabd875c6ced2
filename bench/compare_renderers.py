#!/usr/bin/python3
"""Renders the same songs with quandrix-xmrender, openmpt123 and xmp, in one
run, and prints the CPU time each takes per second of sound and the ratios.

All three write a 44,100 Hz 16-bit stereo WAV with linear interpolation:
    ours     quandrix-xmrender IN OUT --seconds D
    openmpt  openmpt123 --render --samplerate 44100 --no-float --filter 2
             --dither 0 --ctl play.at_end=stop --end-time D
    xmp      xmp -i linear -t ceil(D) -o OUT
where D is 60 s or the song's length, if shorter (openmpt123 --info). The
renderers take turns, --repeat times per song; each one's least CPU time
(user + system of the process: start, loading and writing included) counts,
divided by the seconds of sound in its WAV. The target is a ratio of at least 2 against the faster of
the other two on every song, and at least 3 on the median song.

Usage: /usr/bin/python3 bench/compare_renderers.py [--xmrender PATH] [--repeat N] [SONG.xm ...]
Without songs: the bench songs of bench/music (bench16.xm, dense, 16
channels; bench32.xm, 32 channels with many voices held and fading;
bench_samples.xm, 20 s of few notes on 0.64 MB of long 16-bit samples) and
the songs of Debian's bomberclone-data and vodovod. Exit code 0 when both
targets are met.
"""

import argparse
import glob
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGET = 2.0
MEDIAN_TARGET = 3.0
BENCH_SONGS = ("bench16.xm", "bench32.xm", "bench_samples.xm")


def cpu_seconds(command):
    """Runs the command and returns its user + system CPU time."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    errors = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(command)} failed: {errors.strip()}")
    return usage.ru_utime + usage.ru_stime


def wav_seconds(path):
    with wave.open(path, "rb") as w:
        return w.getnframes() / w.getframerate()


def song_seconds(path):
    out = subprocess.run(["openmpt123", "--info", path], capture_output=True, text=True).stdout
    match = re.search(r"Duration\.*:\s*(?:(\d+):)?(\d+):(\d+(?:\.\d+)?)", out)
    if not match:
        return 60.0
    hours, minutes, seconds = match.groups()
    return int(hours or 0) * 3600 + int(minutes) * 60 + float(seconds)


def measure(song, xmrender, repeat, work):
    seconds = min(60.0, song_seconds(song))
    copy = os.path.join(work, os.path.basename(song))
    shutil.copyfile(song, copy)
    ours_wav = os.path.join(work, "ours.wav")
    xmp_wav = os.path.join(work, "xmp.wav")
    commands = {
        "ours": [xmrender, copy, ours_wav, "--seconds", f"{seconds:.3f}"],
        "openmpt": ["openmpt123", "-q", "--render", "--force", "--output-type", "wav", "--samplerate", "44100",
                    "--no-float", "--filter", "2", "--dither", "0", "--ctl", "play.at_end=stop",
                    "--end-time", f"{seconds:.3f}", "--", copy],
        "xmp": ["xmp", "-q", "-i", "linear", "-f", "44100", "-t", str(math.ceil(seconds)), "-o", xmp_wav, copy],
    }
    outputs = {"ours": ours_wav, "openmpt": copy + ".wav", "xmp": xmp_wav}
    times = {name: [] for name in commands}
    # The renderers take turns, so that a busy machine slows all three alike.
    for _ in range(repeat):
        for name, command in commands.items():
            # A fresh file each time: truncating the last run's output would
            # bill its release to the next run.
            if os.path.exists(outputs[name]):
                os.remove(outputs[name])
            times[name].append(cpu_seconds(command))
    return {name: (min(times[name]), wav_seconds(outputs[name])) for name in commands}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xmrender", default=os.path.join(ROOT, "build", "default", "tools", "xmrender",
                                                           "quandrix-xmrender"))
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("songs", nargs="*")
    args = parser.parse_args()
    songs = args.songs or ([os.path.join(ROOT, "bench", "music", name) for name in BENCH_SONGS] +
                           sorted(glob.glob("/usr/share/games/bomberclone/music/*.xm")) +
                           sorted(glob.glob("/usr/share/games/vodovod/*.xm")))
    for tool in ("openmpt123", "xmp"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed")
            return 2
    if not os.access(args.xmrender, os.X_OK):
        print(f"{args.xmrender}: not built (cmake --build --preset default --target quandrix-xmrender)")
        return 2

    print(f"CPU milliseconds per second of sound (best of {args.repeat}); ratio = the faster other / ours")
    header = f"{'song':34s} {'sound s':>8s} {'ours':>7s} {'openmpt':>8s} {'xmp':>7s} {'ratio':>6s}"
    print(header)
    print("-" * len(header))
    ratios = []
    with tempfile.TemporaryDirectory(prefix="compare_renderers_") as work:
        for song in songs:
            r = measure(song, args.xmrender, args.repeat, work)
            per = {name: 1000.0 * cpu / sound for name, (cpu, sound) in r.items()}
            ratio = min(per["openmpt"], per["xmp"]) / per["ours"]
            ratios.append(ratio)
            print(f"{os.path.basename(song):34s} {r['ours'][1]:8.2f} {per['ours']:7.3f} {per['openmpt']:8.3f} "
                  f"{per['xmp']:7.3f} {ratio:6.2f}")
    worst = min(ratios)
    median = statistics.median(ratios)
    met = worst >= TARGET and median >= MEDIAN_TARGET
    print(f"smallest ratio {worst:.2f} (target {TARGET:.0f}), median {median:.2f} (target {MEDIAN_TARGET:.0f}): "
          f"{'met' if met else 'NOT met'}")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
