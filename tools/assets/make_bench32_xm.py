#!/usr/bin/python3
"""Writes bench/music/bench32.xm: a 32-channel song of one minute in which
many voices are held and fading at the same time, the kind of song that
keeps all 64 voice slots of the mixer busy.

Strings on eight channels start a chord note every 16 rows, staggered, and
are released 12 rows later with a slow fadeout, so that each note is still
fading when the next one takes the channel (and moves it to the partner
slot). Plucks on eight channels play a note every second row; their volume
envelope decays to nothing within a few rows while the looped wave runs on,
silent. Pads hold with panning swings, bass and leads on forward loops, a
lead with arpeggio and volume slides, drums on one-shot samples. Only
effects the player plays are used. Eight patterns of 64 rows at speed 6 and
125 BPM last 61.44 s.

Run from anywhere: /usr/bin/python3 tools/assets/make_bench32_xm.py
The output is deterministic; commit it together with this script.
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_standin_xm as standin  # noqa: E402
from make_standin_xm import put, up  # noqa: E402
from asset_paths import output  # noqa: E402

OUT = "bench/music/bench32.xm"

CHANNELS = 32
ROWS = 64
SPEED = 6
BPM = 125


def pluck_wave():
    """16-bit, one 128-value cycle of a bright tone (odd and even harmonics)."""
    out = []
    for i in range(128):
        t = i / 128
        v = sum(math.sin(2 * math.pi * h * t) / (h ** 0.8) for h in range(1, 13))
        out.append(standin.clamp16(v * 9000))
    return out


def string_wave():
    """16-bit, 2,048 values: three saws detuned by a few cents, for a
    ping-pong loop."""
    out = []
    for i in range(2048):
        t = i / 128
        v = 0.0
        for detune in (1.0, 2 ** (6 / 1200), 2 ** (-7 / 1200)):
            v += sum(math.sin(2 * math.pi * h * t * detune) / h for h in range(1, 7))
        out.append(standin.clamp16(v * 3800))
    return out


INSTRUMENTS = standin.INSTRUMENTS + [
    dict(name="pluck", wave=pluck_wave(), bits=16, loop="forward", loop_start=0, loop_len=128,
         volume=48, finetune=0, relative=12, panning=128,
         venv=[(0, 64), (4, 40), (16, 12), (36, 0)], vtype=1,
         penv=[], ptype=0, fadeout=0x200, vib=(0, 0, 0, 0)),
    dict(name="strings", wave=string_wave(), bits=16, loop="pingpong", loop_start=0, loop_len=2048,
         volume=40, finetune=0, relative=12, panning=128,
         venv=[(0, 0), (30, 64), (60, 52)], vsustain=2, vtype=1 | 2,
         penv=[(0, 24), (90, 40), (180, 24)], ploop=(0, 2), ptype=1 | 4, fadeout=0x60,
         vib=(0, 30, 3, 12)),
]
BASS, LEAD, PAD, KICK, NOISE, PLUCK, STRINGS = 1, 2, 3, 4, 5, 6, 7

CHORDS = [["A-2", "C-3", "E-3", "G-3"], ["F-2", "A-2", "C-3", "E-3"],
          ["C-3", "E-3", "G-3", "B-3"], ["G-2", "B-2", "D-3", "F-3"]]
LEAD_LINE = ["E-5", "D-5", "C-5", "A-4", "C-5", "D-5", "E-5", "G-5"]


def build_pattern(index):
    p = [[None] * CHANNELS for _ in range(ROWS)]
    shift = index % 4
    for bar in range(4):
        chord = CHORDS[(bar + shift) % 4]
        base = bar * 16
        # 0-3: bass in two octaves, each a note every second row.
        for step in range(8):
            root = chord[0] if step % 4 != 3 else up(chord[0], 1)
            put(p, base + 2 * step, 0, root, BASS)
            put(p, base + 2 * step + 1, 1, up(root, 1), BASS, 0x30)
            put(p, base + 2 * step, 2, up(root, 1), BASS, 0x28, 0x08, 0x60)
            put(p, base + 2 * step + 1, 3, up(root, 2), BASS, 0x20, 0x08, 0xA0)
        # 4-11: strings, two voices per chord tone, entries staggered by two
        # rows and released twelve rows later: the slow fadeout overlaps the
        # next entry, which moves the channel to its partner slot.
        for k in range(8):
            row = base + 2 * k
            tone = up(chord[k % 4], 1 + k // 4)
            put(p, row, 4 + k, tone, STRINGS, 0x40 - 2 * k, 0x08, 0x20 + 24 * k)
            put(p, (row + 12) % ROWS, 4 + k, "off")
        # 12-19: plucks, a note every second row on each channel, offset by
        # one row between neighbours; each decays to silence within six rows.
        for c in range(8):
            for step in range(8):
                row = base + 2 * step + c % 2
                tone = up(chord[(step + c) % 4], 2 + (c // 4))
                put(p, row, 12 + c, tone, PLUCK, 0x18 + 4 * (c % 4), 0x08, 0x10 + 30 * c)
        # 20-23: pads held for the bar, panning swinging, released before the next.
        for voice, tone in enumerate(chord):
            put(p, base, 20 + voice, up(tone, 1), PAD, 0x38 - 4 * voice)
            put(p, base + 15, 20 + voice, "off")
        for row in range(1, 15):
            put(p, base + row, 20, None, 0, 0xD1)
            put(p, base + row, 23, None, 0, 0xE1)
        # 26-27: arpeggiated chords, a note every row.
        for row in range(16):
            arp = 0x37 if bar % 2 == 0 else 0x47
            put(p, base + row, 26, up(chord[0], 2), LEAD, 0x24, 0x0, arp)
            put(p, base + row, 27, up(chord[2], 1), LEAD, 0x1C, 0x0, 0x0C)
        # 28-31: drums.
        for row in range(0, 16, 4):
            put(p, base + row, 28, "C-4", KICK)
        put(p, base + 4, 29, "F-4", NOISE, 0x50)
        put(p, base + 12, 29, "F-4", NOISE, 0x50)
        for row in range(16):
            put(p, base + row, 30 + row % 2, "C-6", NOISE, 0x10 + (28 if row % 4 == 2 else 14))
    # 24-25: the lead and a quieter echo one row later, volume slides between notes.
    for i in range(ROWS // 4):
        n = LEAD_LINE[(i + index) % len(LEAD_LINE)]
        put(p, 4 * i, 24, n, LEAD, 0x40)
        put(p, 4 * i + 2, 24, None, 0, 0, 0x0A, 0x04)
        put(p, 4 * i + 1, 25, n, LEAD, 0x24, 0x08, 0x50)
        put(p, 4 * i + 3, 25, None, 0, 0, 0x0A, 0x02)
    if index == 0:
        # Row 0 sets the tempo the way a tracker would (F06, F7D), on the
        # echo channel, which is silent there.
        p[0][25] = (0, 0, 0, 0x0F, SPEED)
        p[1][25] = p[1][25][:3] + (0x0F, BPM)
    return p


def build():
    patterns = [build_pattern(i) for i in range(8)]
    return standin.module_bytes("quandrix bench32", "make_bench32_xm.py", list(range(8)), 0, CHANNELS, patterns,
                                INSTRUMENTS, SPEED, BPM)


def main():
    standin.write(output(OUT), build())


if __name__ == "__main__":
    main()
