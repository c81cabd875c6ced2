#!/usr/bin/python3
"""Cross-checks quandrix-xmrender against an independent player, Debian's
openmpt123 (linear interpolation, no dither, stopping at the song's end).

Small songs are built here, using only what both players play the same way,
rendered by both, and compared by measurement:
- onsets: every note of a percussive one-shot sample, through speed and BPM
  changes and a pattern loop, must start within one tick of the other
  player's;
- pitch: every held note of a looped sine (notes, relative notes, finetunes
  in FT2's 16 steps, portamento up and down, tone portamento, the linear and
  the Amiga table) must agree within 5 cents, measured by FFT.

Usage: crosscheck_openmpt.py --xmrender PATH [--keep DIR]
Exit code 0 when everything agrees, 1 on a disagreement; when openmpt123 or
numpy is missing, 77 (skipped) outside CI and 1 in CI (tests/support/skip.py).
"""

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import skip  # noqa: E402

try:
    import numpy as np
except ImportError:  # pragma: no cover - depends on the machine
    skip.missing("numpy", "python3-numpy")


# ---------------------------------------------------------------- XM writing

def note_number(name):
    """'C-4' or 'C#4' to the file's note number (1 = C-0)."""
    names = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}
    return 12 * int(name[-1]) + names[name[:-1].rstrip("-")] + 1


def sample_bytes(values, loop):
    """8-bit delta-coded data and the 40-byte header for it."""
    data, previous = bytearray(), 0
    for v in values:
        data.append((v - previous) & 0xFF)
        previous = v
    loop_type = 1 if loop else 0
    header = struct.pack("<III", len(values), 0, len(values) if loop else 0)
    return header, bytes(data), loop_type


def instrument_bytes(values, loop, volume=64, finetune=0, relative=0):
    head, data, loop_type = sample_bytes(values, loop)
    ins = bytearray(struct.pack("<I", 263))
    ins += b"crosscheck".ljust(22, b"\0") + bytes([0]) + struct.pack("<H", 1) + struct.pack("<I", 40)
    ins += bytes(96) + bytes(48) + bytes(48)       # note map, no envelopes
    ins += bytes(10) + bytes(4) + struct.pack("<H", 0)
    ins += bytes(263 - len(ins))
    ins += head + struct.pack("<BbBBb", volume, finetune, loop_type, 128, relative) + bytes(1)
    ins += b"sample".ljust(22, b"\0") + data
    return bytes(ins)


def xm(rows_per_pattern, order, instruments, speed, bpm, linear=True, channels=1):
    """rows_per_pattern: list of patterns, each a list of rows, each a list
    of (note, instrument, volume, effect, parameter) per channel."""
    out = bytearray(b"Extended Module: " + b"crosscheck".ljust(20, b" ") + b"\x1a")
    out += b"crosscheck_openmpt".ljust(20, b" ") + struct.pack("<HI", 0x0104, 276)
    out += struct.pack("<8H", len(order), 0, channels, len(rows_per_pattern), len(instruments),
                       1 if linear else 0, speed, bpm)
    out += bytes(order).ljust(256, b"\0")
    for rows in rows_per_pattern:
        packed = bytearray()
        for row in rows:
            for c in range(channels):
                cell = row[c] if c < len(row) else (0, 0, 0, 0, 0)
                packed += bytes(cell)
        out += struct.pack("<IBHH", 9, 0, len(rows), len(packed)) + packed
    for ins in instruments:
        out += ins
    return bytes(out)


def cell(note=None, ins=0, vol=0, eff=0, par=0):
    n = 0 if note is None else note_number(note)
    return (n, ins, vol, eff, par)


# ---------------------------------------------------------------- rendering

def read_wav(path):
    with wave.open(path, "rb") as w:
        assert w.getnchannels() == 2 and w.getsampwidth() == 2 and w.getframerate() == RATE, path
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)
    return data.reshape(-1, 2).sum(axis=1)  # mono: panning conventions differ between players


def render_both(song, name, seconds, xmrender, work):
    path = os.path.join(work, name + ".xm")
    with open(path, "wb") as f:
        f.write(song)
    ours = os.path.join(work, name + ".quandrix.wav")
    subprocess.run([xmrender, path, ours, "--seconds", str(seconds)], check=True)
    subprocess.run(["openmpt123", "-q", "--render", "--force", "--output-type", "wav", "--samplerate", str(RATE),
                    "--no-float", "--filter", "2", "--dither", "0", "--ctl", "play.at_end=stop", "--", path],
                   check=True, stdout=subprocess.DEVNULL)
    theirs = path + ".wav"
    return read_wav(ours), read_wav(theirs)


def tick_frames(bpm):
    return 5 * RATE // (2 * bpm)


# ---------------------------------------------------------------- onsets

def onsets(signal, window=64):
    """Frames where the short-time level rises from near silence: the start
    of each note of a one-shot sample that decays to silence in between."""
    n = len(signal) // window
    level = np.sqrt((signal[:n * window].reshape(n, window) ** 2).mean(axis=1))
    peak = level.max()
    high, low = peak * 0.2, peak * 0.02
    found, armed = [], True
    for i, v in enumerate(level):
        if armed and v > high:
            # Walk back to where the level left the floor.
            j = i
            while j > 0 and level[j - 1] > low:
                j -= 1
            found.append(j * window)
            armed = False
        elif not armed and v < low:
            armed = True
    return found


def check_onsets(xmrender, work, report):
    # A 600-value sine burst, decaying: 4 ms at C-6.
    burst = [int(100 * math.sin(2 * math.pi * i / 8) * (1 - i / 600)) for i in range(600)]
    ins = [instrument_bytes(burst, loop=False)]
    rows = [[cell()] for _ in range(64)]
    for r in range(0, 64, 2):
        rows[r] = [cell("C-6", 1)]
    rows[0] = [cell("C-6", 1, 0, 0x0F, 3)]          # speed 3
    rows[8] = [cell("C-6", 1, 0, 0x0F, 0xA0)]       # BPM 160
    rows[16] = [cell("C-6", 1, 0, 0x0F, 5)]         # speed 5
    rows[20] = [cell("C-6", 1, 0, 0x0E, 0x60)]      # loop start
    rows[23] = [cell(None, 0, 0, 0x0E, 0x62)]       # play rows 20..23 three times
    rows[24] = [cell("C-6", 1, 0, 0x0F, 0x50)]      # BPM 80
    rows[40] = [cell("C-6", 1, 0, 0x0F, 2)]         # speed 2
    rows[44] = [cell("C-6", 1, 0, 0x0F, 0xFF)]      # BPM 255
    song = xm([rows], [0], ins, speed=6, bpm=125)
    ours, theirs = render_both(song, "onsets", 20, xmrender, work)
    # openmpt123 stops at the end of the song; ours plays on from its start.
    a, b = onsets(ours[:len(theirs)]), onsets(theirs)
    tolerance = tick_frames(255)  # the shortest tick in the song
    ok = len(a) == len(b) and len(a) >= 30
    worst = max((abs(x - y) for x, y in zip(a, b)), default=0)
    ok = ok and worst <= tolerance
    report.append(("onsets", ok, f"{len(a)} notes here, {len(b)} there; largest gap {worst} frames "
                                 f"(one tick is at least {tolerance})"))


# ---------------------------------------------------------------- pitch

def pitch(signal):
    """Frequency of the strongest peak, by a Hann-windowed FFT with parabolic
    interpolation of the log magnitude."""
    n = 1 << 17
    spectrum = np.abs(np.fft.rfft(signal * np.hanning(len(signal)), n))
    k = int(np.argmax(spectrum[1:])) + 1
    a, b, c = np.log(spectrum[k - 1:k + 2] + 1e-12)
    shift = 0.5 * (a - c) / (a - 2 * b + c)
    return (k + shift) * RATE / n


def check_pitch(xmrender, work, report, linear):
    # One cycle of a sine in 32 values, looped: pitch = frequency / 32.
    sine = [int(round(120 * math.sin(2 * math.pi * i / 32))) for i in range(32)]
    instruments = [
        instrument_bytes(sine, loop=True),
        instrument_bytes(sine, loop=True, relative=7, finetune=32),
        instrument_bytes(sine, loop=True, relative=-5, finetune=-48),
    ]
    speed, bpm, hold = 6, 125, 8
    # (label, rows): each note held `hold` rows; the pitch is measured over
    # its last six rows, after any slide has ended.
    phrases = [
        ("C-4", [cell("C-4", 1)]),
        ("A-4", [cell("A-4", 1)]),
        ("E-5", [cell("E-5", 1)]),
        ("G-2", [cell("G-2", 1)]),
        ("C-4 rel +7 fine +32", [cell("C-4", 2)]),
        ("A-3 rel -5 fine -48", [cell("A-3", 3)]),
        ("C-4 then 1xx", [cell("C-4", 1), cell(None, 0, 0, 0x01, 0x10)]),
        ("C-4 then 2xx", [cell("C-4", 1), cell(None, 0, 0, 0x02, 0x0C)]),
        ("C-4 to G-4 by 3xx", [cell("C-4", 1), cell("G-4", 0, 0, 0x03, 0x40)]),
        ("A-4 to D-4 by 3xx", [cell("A-4", 1), cell("D-4", 0, 0, 0x03, 0x20), cell(None, 0, 0, 0x03, 0)]),
    ]
    rows = []
    for _, start in phrases:
        block = [[c] for c in start] + [[cell()] for _ in range(hold - len(start))]
        rows += block
    patterns = [rows[i:i + 64] for i in range(0, len(rows), 64)]
    song = xm(patterns, list(range(len(patterns))), instruments, speed, bpm, linear=linear)
    row_frames = speed * tick_frames(bpm)
    seconds = len(rows) * row_frames / RATE + 0.5
    name = "pitch_linear" if linear else "pitch_amiga"
    ours, theirs = render_both(song, name, seconds, xmrender, work)
    for i, (label, _) in enumerate(phrases):
        first = (i * hold + 2) * row_frames + row_frames // 2
        last = (i + 1) * hold * row_frames - row_frames // 4
        f1, f2 = pitch(ours[first:last]), pitch(theirs[first:last])
        cents = 1200 * math.log2(f1 / f2)
        report.append((f"{'linear' if linear else 'Amiga'} {label}", abs(cents) < 5,
                       f"{f1:.2f} Hz here, {f2:.2f} Hz there ({cents:+.2f} cents)"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--keep", help="write the songs and renders here and keep them")
    args = parser.parse_args()
    if shutil.which("openmpt123") is None:
        skip.missing("openmpt123", "openmpt123")
    work = args.keep or tempfile.mkdtemp(prefix="crosscheck_")
    os.makedirs(work, exist_ok=True)
    report = []
    try:
        check_onsets(args.xmrender, work, report)
        check_pitch(args.xmrender, work, report, linear=True)
        check_pitch(args.xmrender, work, report, linear=False)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    failed = 0
    for label, ok, detail in report:
        print(f"{'ok  ' if ok else 'FAIL'} {label}: {detail}")
        failed += not ok
    print(f"{len(report) - failed} of {len(report)} agree with openmpt123")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
