#!/usr/bin/python3
"""Writes bench/music/bench16.xm: a busy 16-channel song of one minute that
the mixer benchmark and the renderer comparison play.

Every channel sounds nearly all the time, the way a dense demo song keeps a
mixer busy: bass and pads on long forward and ping-pong loops, a lead with
auto-vibrato, arpeggio chords retriggered every row (so voices keep handing
over to their partner slots and fading out), drums on one-shot samples,
strings that slide with tone portamento, plus volume slides, panning and
envelopes with sustain and loop. Only effects the player plays are used.
Eight patterns of 64 rows at speed 6 and 125 BPM last 61.44 s.

The samples and instruments are the stand-in song's (make_standin_xm.py);
only the score is new. Run from anywhere:
    /usr/bin/python3 tools/assets/make_bench_xm.py
The output is deterministic; commit it together with this script.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_standin_xm as standin  # noqa: E402
from make_standin_xm import put, up  # noqa: E402
from asset_paths import output  # noqa: E402

OUT = "bench/music/bench16.xm"

CHANNELS = 16
ROWS = 64
SPEED = 6
BPM = 125
BASS, LEAD, PAD, KICK, NOISE = 1, 2, 3, 4, 5

CHORDS = [["A-2", "C-3", "E-3"], ["F-2", "A-2", "C-3"], ["C-3", "E-3", "G-3"], ["G-2", "B-2", "D-3"]]
LEAD_LINE = ["E-5", "D-5", "C-5", "A-4", "C-5", "D-5", "E-5", "G-5"]


def build_pattern(index):
    p = [[None] * CHANNELS for _ in range(ROWS)]
    shift = index % 4
    for bar in range(4):
        chord = CHORDS[(bar + shift) % 4]
        base = bar * 16
        # 0-1: bass and its octave, a note every second row.
        for step in range(8):
            root = chord[0] if step % 4 != 3 else up(chord[0], 1)
            put(p, base + 2 * step, 0, root, BASS)
            put(p, base + 2 * step + 1, 1, up(root, 1), BASS, 0x30)
        # 2-5: pads held for the bar (sustained envelope), released before the next.
        for voice, tone in enumerate(chord + [up(chord[0], 1)]):
            put(p, base, 2 + voice, up(tone, 1), PAD, 0x40 - 4 * voice)
            put(p, base + 15, 2 + voice, "off")
        # 8-11: drums.
        for row in range(0, 16, 4):
            put(p, base + row, 8, "C-4", KICK)
        put(p, base + 4, 9, "F-4", NOISE, 0x50)
        put(p, base + 12, 9, "F-4", NOISE, 0x50)
        for row in range(16):
            put(p, base + row, 10 + row % 2, "C-6", NOISE, 0x10 + (28 if row % 4 == 2 else 14))
        # 12-13: arpeggiated chords, a note every row.
        for row in range(16):
            arp = 0x37 if bar % 2 == 0 else 0x47
            put(p, base + row, 12, up(chord[0], 2), LEAD, 0x28, 0x0, arp)
            put(p, base + row, 13, up(chord[2], 1), LEAD, 0x20, 0x0, 0x0C)
        # 14-15: strings sliding between chord tones, panning swinging.
        put(p, base, 14, up(chord[1], 1), PAD, 0x30, 0x08, 0x40 + 32 * bar)
        put(p, base + 8, 14, up(chord[2], 1), 0, 0, 0x03, 0x10)
        put(p, base, 15, up(chord[2], 1), PAD, 0x30, 0x08, 0xC0 - 32 * bar)
        put(p, base + 8, 15, up(chord[0], 2), 0, 0, 0x03, 0x08)
        for row in range(9, 15):
            put(p, base + row, 14, None, 0, 0xD2)
            put(p, base + row, 15, None, 0, 0xE2)
    # 6-7: the lead and a quieter echo one row later, volume slides between notes.
    for i in range(ROWS // 4):
        n = LEAD_LINE[(i + index) % len(LEAD_LINE)]
        put(p, 4 * i, 6, n, LEAD, 0x40)
        put(p, 4 * i + 2, 6, None, 0, 0, 0x0A, 0x04)
        put(p, 4 * i + 1, 7, n, LEAD, 0x24, 0x08, 0x50)
        put(p, 4 * i + 3, 7, None, 0, 0, 0x0A, 0x02)
    if index == 0:
        # Row 0 sets the tempo the way a tracker would (F06, F7D), on the
        # echo channel, which is silent there.
        p[0][7] = (0, 0, 0, 0x0F, SPEED)
        p[1][7] = p[1][7][:3] + (0x0F, BPM)
    return p


def build():
    patterns = [build_pattern(i) for i in range(8)]
    order = list(range(8))
    out = bytearray()
    out += b"Extended Module: "
    out += b"quandrix bench16".ljust(20, b" ")
    out += b"\x1a"
    out += b"make_bench_xm.py".ljust(20, b" ")
    out += struct.pack("<H", 0x0104)
    out += struct.pack("<I", 276)
    out += struct.pack("<HHHHHHHH", len(order), 0, CHANNELS, len(patterns), len(standin.INSTRUMENTS), 1, SPEED, BPM)
    out += bytes(order).ljust(256, b"\0")
    for pattern in patterns:
        packed = standin.pack_pattern(pattern)
        out += struct.pack("<IBHH", 9, 0, ROWS, len(packed))
        out += packed
    for ins in standin.INSTRUMENTS:
        out += standin.instrument_bytes(ins)
    return bytes(out)


def main():
    standin.write(output(OUT), build())


if __name__ == "__main__":
    main()
