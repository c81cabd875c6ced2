#!/usr/bin/python3
"""Renders the intro's song over two full passes with quandrix-xmrender and
checks what a listener would hear as faults:

- level: peak below -0.3 dBFS (no clipping), mean within 0.001 of full scale
  on each side (no DC), RMS between -20 and -12 dBFS, left and right RMS
  within 3 dB of each other;
- clicks: no sample-to-sample jump that stands out of its surroundings (the
  second difference of the signal against its own level in the 20 ms
  around it), anywhere in the two passes, the loop back to the start
  included;
- the loop: the second pass repeats the first (after the first pass's own
  opening, which starts from silence) and the loudness runs on across the
  seam without a step;
- with --openmpt: Debian's openmpt123 renders the same number of passes
  with the same length, and the 20 ms loudness envelopes of the two
  renders, gain-matched, correlate by at least 0.9.

The pass length is computed from the file itself (its order table, pattern
lengths and E6y pattern loops), speed 3 and the song's BPM.

Usage: song_render_test.py --xmrender PATH --song SONG.xm [--openmpt] [--keep DIR]
Exit code 0 when every figure holds, 1 otherwise; 77 (skipped) when numpy
or openmpt123 is missing, except under CI=true, where that fails.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

SKIP = 77
RATE = 44100


def missing(what):
    if os.environ.get("CI") == "true":
        print(f"FAIL: {what} is missing (CI installs it)")
        sys.exit(1)
    print(f"SKIP: {what} is missing")
    sys.exit(SKIP)


try:
    import numpy as np
except ImportError:  # pragma: no cover - depends on the machine
    missing("numpy (Debian: python3-numpy)")


# ---------------------------------------------------------------- the file

def song_rows(data):
    """(rows of one pass, speed, BPM): the order table walked as the player
    walks it, E6y pattern loops repeated; the song must not change its
    speed or tempo after the start, which holds for the intro's song."""
    length, restart, channels, stored, _, _, speed, bpm = struct.unpack_from("<8H", data, 64)
    header = struct.unpack_from("<I", data, 60)[0]
    order = list(data[80:80 + length])
    pos = 60 + header
    patterns = []
    for _ in range(stored):
        rows, packed = struct.unpack_from("<HH", data, pos + 5)
        pos += 9
        cells, end = [], pos + packed
        while pos < end:
            b = data[pos]
            pos += 1
            if b & 0x80:
                fields = []
                for bit in range(5):
                    if b & (1 << bit):
                        fields.append(data[pos])
                        pos += 1
                    else:
                        fields.append(0)
            else:
                fields = [b] + list(data[pos:pos + 4])
                pos += 4
            cells.append(fields)
        patterns.append([cells[r * channels:(r + 1) * channels] for r in range(rows)] if packed else
                        [[[0] * 5] * channels for _ in range(rows)])
    total = 0
    for p in order:
        rows = patterns[p]
        loop_row = [0] * channels
        counter = [0] * channels
        r = 0
        while r < len(rows):
            total += 1
            jump = None
            for c, (_, _, _, effect, param) in enumerate(rows[r]):
                if effect == 0x0F and param != speed and param != bpm:
                    raise SystemExit("FAIL: the song changes its speed or tempo; pass length unknown")
                if effect == 0x0E and param >> 4 == 6:
                    y = param & 15
                    if y == 0:
                        loop_row[c] = r
                    else:
                        counter[c] = y if counter[c] == 0 else counter[c] - 1
                        if counter[c]:
                            jump = loop_row[c]
            r = jump if jump is not None else r + 1
    return total, speed, bpm


def pass_frames(data):
    rows, speed, bpm = song_rows(data)
    frames_per_tick = 5 * RATE // (2 * bpm)
    return rows * speed * frames_per_tick


# ---------------------------------------------------------------- measures

def read_wav(path):
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 2 or w.getsampwidth() != 2:
            raise SystemExit(f"FAIL: {path} is not 16-bit stereo")
        frames = w.readframes(w.getnframes())
        rate = w.getframerate()
    return np.frombuffer(frames, dtype="<i2").reshape(-1, 2).astype(np.float64) / 32768.0, rate


def db(v):
    return 20 * np.log10(max(float(v), 1e-12))


def click_ratios(x, window=882):
    """For each side: |second difference| over the RMS of the second
    difference in the 20 ms around it. A band-limited tone, a saw's edge or
    a drum's noise stays within a few times its surroundings; a step in the
    signal (a loop seam, a sample ending off zero, a gain jump) is a lone
    spike many times above it."""
    out = []
    for side in range(x.shape[1]):
        d2 = np.diff(x[:, side], 2)
        energy = np.convolve(d2 * d2, np.ones(window) / window, mode="same")
        out.append(np.abs(d2) / np.sqrt(energy + 1e-14))
    return np.max(out, axis=0)


def envelope(x, window=882):
    mono = x.mean(axis=1)
    n = len(mono) // window
    return np.sqrt((mono[:n * window].reshape(n, window) ** 2).mean(axis=1))


# ---------------------------------------------------------------- checks

class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, ok, text):
        print(("ok   " if ok else "FAIL ") + text)
        if not ok:
            self.failed += 1


CLICK_RATIO = 12.0     # a lone spike above this many times the local level
CLICK_FLOOR = 0.002    # and above this second difference (full scale 1)


def level_checks(checks, x):
    peak = db(np.abs(x).max())
    means = x.mean(axis=0)
    rms = db(np.sqrt((x ** 2).mean()))
    left, right = (db(np.sqrt((x[:, s] ** 2).mean())) for s in (0, 1))
    checks.check(peak < -0.3, f"peak {peak:.2f} dBFS (below -0.3)")
    checks.check(max(abs(means)) < 0.001, f"mean L {means[0]:+.5f} R {means[1]:+.5f} of full scale (within 0.001)")
    checks.check(-20 <= rms <= -12, f"RMS {rms:.2f} dBFS (-20 to -12)")
    checks.check(abs(left - right) <= 3, f"RMS L {left:.2f} R {right:.2f} dBFS, {abs(left - right):.2f} dB apart (3)")


def click_checks(checks, x, seam):
    ratios = click_ratios(x)
    d2 = np.max(np.abs(np.diff(x, 2, axis=0)), axis=1)
    spikes = np.nonzero((ratios > CLICK_RATIO) & (d2 > CLICK_FLOOR))[0]
    worst = int(np.argmax(ratios * (d2 > CLICK_FLOOR)))
    checks.check(len(spikes) == 0, f"clicks: {len(spikes)} (worst ratio {ratios[worst]:.1f} at "
                                   f"{(worst + 1) / RATE:.3f} s, limit {CLICK_RATIO})")
    for s in spikes[:10]:
        print(f"     spike at {(s + 1) / RATE:.4f} s: ratio {ratios[s]:.1f}, second difference {d2[s]:.4f}")
    around = slice(seam - RATE // 20, seam + RATE // 20)
    checks.check(ratios[around].max() <= CLICK_RATIO,
                 f"loop seam at {seam / RATE:.3f} s: worst ratio {ratios[around].max():.1f} within 50 ms")
    # The jump across the seam itself, against the largest first difference
    # of the song: the seam must be an ordinary sample step.
    step = np.abs(x[seam] - x[seam - 1]).max()
    typical = np.percentile(np.abs(np.diff(x, axis=0)).max(axis=1), 99.9)
    checks.check(step <= typical, f"step across the seam {step:.4f} (99.9th percentile of all steps {typical:.4f})")


def loop_checks(checks, x, frames):
    first, second = x[:frames], x[frames:2 * frames]
    # The first pass opens from silence; the second opens over the first
    # pass's tails. After four seconds both must be the same song.
    start = 4 * RATE
    diff = np.abs(first[start:] - second[start:]).max() * 32768
    checks.check(diff <= 2, f"second pass repeats the first from 4 s on: largest difference {diff:.1f} LSB (2)")
    e = envelope(x[frames - 10 * 882:frames + 10 * 882])
    steps = np.abs(np.diff(20 * np.log10(e + 1e-9)))
    whole = envelope(x)
    typical = np.percentile(np.abs(np.diff(20 * np.log10(whole + 1e-9))), 99)
    checks.check(steps.max() <= max(6.0, typical),
                 f"loudness across the seam: largest 20 ms step {steps.max():.2f} dB (99th percentile {typical:.2f})")


def openmpt_checks(checks, x, frames, song, workdir):
    tool = shutil.which("openmpt123")
    if tool is None:
        missing("openmpt123 (Debian: openmpt123)")
    copy = os.path.join(workdir, "song.xm")
    shutil.copy(song, copy)
    subprocess.run([tool, "--render", "--samplerate", str(RATE), "--repeat", "1", "--no-float", "--filter", "2",
                    "--dither", "0", "--force", "-q", copy], check=True, stdout=subprocess.DEVNULL)
    other, rate = read_wav(copy + ".wav")
    checks.check(rate == RATE, f"openmpt123 rate {rate}")
    length = len(other) / 2
    checks.check(abs(length - frames) <= RATE // 20,
                 f"pass length: quandrix {frames / RATE:.3f} s, openmpt123 {length / RATE:.3f} s (within 50 ms)")
    a, b = envelope(x[:2 * frames]), envelope(other)
    n = min(len(a), len(b))
    a, b = a[:n], b[:n]
    gain = np.sqrt((a * a).sum() / max((b * b).sum(), 1e-12))
    corr = float(np.corrcoef(a, gain * b)[0, 1])
    checks.check(corr >= 0.9, f"20 ms loudness envelopes correlate {corr:.3f} (0.9) after a gain of {db(gain):+.2f} dB")
    # Structure: the loudness of each 1.5 s stretch follows the same shape.
    stretch = int(1.5 * RATE / 882)
    m = n // stretch
    ca = 20 * np.log10(a[:m * stretch].reshape(m, stretch).mean(axis=1) + 1e-9)
    cb = 20 * np.log10(gain * b[:m * stretch].reshape(m, stretch).mean(axis=1) + 1e-9)
    worst = np.abs(ca - cb).max()
    checks.check(worst <= 3.0, f"1.5 s loudness, largest difference {worst:.2f} dB (3)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--song", required=True)
    parser.add_argument("--openmpt", action="store_true")
    parser.add_argument("--keep", help="keep the renders in this folder")
    args = parser.parse_args()
    with open(args.song, "rb") as f:
        data = f.read()
    frames = pass_frames(data)
    print(f"one pass: {frames} frames, {frames / RATE:.3f} s")
    checks = Checks()
    checks.check(30 * RATE <= frames <= 60 * RATE, "one pass lasts 30 to 60 s")
    workdir = args.keep or tempfile.mkdtemp(prefix="song_render_")
    os.makedirs(workdir, exist_ok=True)
    try:
        out = os.path.join(workdir, "quandrix.wav")
        seconds = (2 * frames + 64) / RATE
        subprocess.run([args.xmrender, args.song, out, "--seconds", f"{seconds:.6f}"], check=True)
        x, rate = read_wav(out)
        x = x[:2 * frames]
        checks.check(rate == RATE and len(x) == 2 * frames, f"rendered {len(x)} frames at {rate} Hz")
        level_checks(checks, x)
        click_checks(checks, x, frames)
        loop_checks(checks, x, frames)
        if args.openmpt:
            openmpt_checks(checks, x, frames, args.song, workdir)
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
