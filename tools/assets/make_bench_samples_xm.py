#!/usr/bin/python3
"""Writes bench/music/bench_samples.xm: a short song (20 s, 8 channels) whose
few notes play long 16-bit samples, about 0.64 MB of sample data in all.

Such a song costs a renderer little mixing and much loading: the samples
must be read, delta-decoded and stored before the first frame. Seven
one-shot samples of 2.2 to 3.2 s, 16,726 values a second at C-4 (a struck bell, a gong, a plucked
string, a choir swell, a bowed bass, a breath of noise, a marimba), none
looped, and one short looped organ wave; about seventy notes over two
patterns of 100 rows at speed 5 and 125 BPM.

Run from anywhere: /usr/bin/python3 tools/assets/make_bench_samples_xm.py
The output is deterministic; commit it together with this script.
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_standin_xm as standin  # noqa: E402
from make_standin_xm import put  # noqa: E402
from asset_paths import output  # noqa: E402

OUT = "bench/music/bench_samples.xm"

CHANNELS = 8
ROWS = 100
SPEED = 5
BPM = 125
RATE = 16726  # sample values per second at C-4 (relative note 12)


def partials(seconds, tones, decay, level):
    """A one-shot of `seconds` at C-4: sines (frequency ratio, amplitude,
    decay per second) under an overall exponential decay."""
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        v = sum(a * math.exp(-d * t) * math.sin(2 * math.pi * 261.63 * r * t) for r, a, d in tones)
        attack = min(1.0, t * 400)
        out.append(standin.clamp16(level * attack * math.exp(-decay * t) * v))
    return out


def noise_breath(seconds):
    """Low-passed noise that swells and fades, from a fixed generator."""
    out, seed, smooth = [], 0x5EED, 0.0
    n = int(seconds * RATE)
    for i in range(n):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        smooth += 0.15 * (((seed >> 8) & 0xFFFF) / 32768.0 - 1.0 - smooth)
        envelope = math.sin(math.pi * i / n) ** 2
        out.append(standin.clamp16(52000 * envelope * smooth))
    return out


def choir(seconds):
    """Detuned vowel-like partials with a slow swell and release."""
    out = []
    n = int(seconds * RATE)
    for i in range(n):
        t = i / RATE
        v = 0.0
        for detune in (1.0, 1.004, 0.996):
            for h, a in ((1, 1.0), (2, 0.5), (3, 0.7), (4, 0.2), (5, 0.3)):
                v += a * math.sin(2 * math.pi * 261.63 * detune * h * t)
        swell = min(1.0, t / 0.3) * min(1.0, (n - i) / (0.4 * RATE))
        out.append(standin.clamp16(3600 * swell * v))
    return out


def organ_wave():
    """8-bit, one 64-value cycle, looped: the only short sample."""
    return [standin.clamp8(60 * sum(math.sin(2 * math.pi * h * i / 64) / h for h in (1, 2, 4))) for i in range(64)]


def one_shot(name, wave, volume, panning):
    return dict(name=name, wave=wave, bits=16, loop="none", loop_start=0, loop_len=0,
                volume=volume, finetune=0, relative=12, panning=panning,
                venv=[], vtype=0, penv=[], ptype=0, fadeout=0x100, vib=(0, 0, 0, 0))


INSTRUMENTS = [
    one_shot("bell", partials(3.0, [(1, 1.0, 1.2), (2.76, 0.5, 2.0), (5.4, 0.25, 3.0), (8.9, 0.12, 5.0)], 0.6, 16000),
             56, 150),
    one_shot("gong", partials(3.2, [(0.5, 1.0, 0.5), (1.13, 0.7, 0.9), (1.73, 0.5, 1.3), (2.41, 0.4, 1.8)], 0.4,
                              15000), 60, 110),
    one_shot("string", partials(2.6, [(h, 1.0 / h, 1.5 + 0.8 * h) for h in range(1, 9)], 0.8, 17000), 58, 128),
    one_shot("choir", choir(3.0), 48, 128),
    one_shot("bass", partials(2.8, [(0.25, 1.0, 0.6), (0.5, 0.6, 0.9), (0.75, 0.3, 1.4)], 0.5, 20000), 64, 128),
    one_shot("breath", noise_breath(2.4), 40, 90),
    one_shot("marimba", partials(2.2, [(1, 1.0, 3.0), (4, 0.3, 9.0), (9.9, 0.1, 14.0)], 1.5, 24000), 52, 170),
    dict(name="organ", wave=organ_wave(), bits=8, loop="forward", loop_start=0, loop_len=64,
         volume=30, finetune=0, relative=12, panning=128,
         venv=[(0, 0), (3, 64), (20, 48)], vsustain=2, vtype=1 | 2,
         penv=[], ptype=0, fadeout=0x300, vib=(0, 0, 0, 0)),
]
BELL, GONG, STRING, CHOIR, BASS, BREATH, MARIMBA, ORGAN = range(1, 9)


# Four chords, one per 25 rows (2.5 s), each a root and three tones.
CHORDS = [["A-2", "C-4", "E-4", "A-4"], ["F-2", "A-3", "C-4", "F-4"],
          ["C-3", "E-4", "G-4", "C-5"], ["G-2", "B-3", "D-4", "G-4"]]


def build_pattern(index):
    p = [[None] * CHANNELS for _ in range(ROWS)]
    for bar, chord in enumerate(CHORDS):
        base = 25 * bar
        put(p, base, 0, chord[0], BASS)
        put(p, base, 1, chord[1], GONG if bar % 2 == 0 else CHOIR)
        put(p, base + 12, 1, chord[2], CHOIR if bar % 2 == 0 else GONG, 0x30)
        for k, row in enumerate((0, 8, 16)):
            put(p, base + row, 2, chord[1 + k], BELL, 0x38)
        put(p, base + 4, 3, chord[3], STRING)
        put(p, base + 14, 3, chord[2], STRING, 0x34)
        if (bar + index) % 2 == 1:
            put(p, base + 10, 4, "C-4", BREATH)
        for k, row in enumerate((2, 6, 12, 18, 22)):
            put(p, base + row, 5, chord[1 + k % 3], MARIMBA, 0x20 + 6 * k)
        if index == 1:
            put(p, base, 6, chord[1][:-1] + "3", ORGAN, 0x28)
            put(p, base + 22, 6, "off")
    if index == 0:
        # Row 0 sets the tempo the way a tracker would (F05, F7D) on the
        # channels that are otherwise empty.
        p[0][6] = (0, 0, 0, 0x0F, SPEED)
        p[0][7] = (0, 0, 0, 0x0F, BPM)
    return p


def build():
    patterns = [build_pattern(i) for i in range(2)]
    return standin.module_bytes("quandrix samples", "make_bench_samples", [0, 1], 0, CHANNELS, patterns,
                                INSTRUMENTS, SPEED, BPM)


def main():
    standin.write(output(OUT), build())


if __name__ == "__main__":
    main()
