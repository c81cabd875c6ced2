#!/usr/bin/python3
"""Writes the stand-in song, data/music/standin.xm: a short loop in A minor
that the intro plays until its real song lands.

The song is ours from first to last byte: the samples are computed here
(single-cycle waves, a swept sine kick, noise), the score is the table below.
It is built to exercise what the player's loader handles: six channels, five
instruments, 8- and 16-bit samples, forward, ping-pong and no loops, volume
envelopes with sustain and loop, a panning envelope, auto-vibrato, fadeout,
key-offs, both cell packings, and version 0x0104 with the linear frequency
table.

Run from anywhere: /usr/bin/python3 tools/assets/make_standin_xm.py
The output is deterministic; commit it together with this script.
"""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from asset_paths import output  # noqa: E402

OUT = "data/music/standin.xm"

CHANNELS = 6
ROWS = 64
SPEED = 6
BPM = 140
KEY_OFF = 97

NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}


def note(name):
    """'A-3' or 'C#4' to an XM note number (1 = C-0)."""
    pitch, octave = name[:-1].rstrip("-"), int(name[-1])
    return 12 * octave + NOTE_NAMES[pitch] + 1


# ---------------------------------------------------------------- samples

def clamp16(v):
    return max(-32768, min(32767, int(round(v))))


def clamp8(v):
    return max(-128, min(127, int(round(v))))


def bass_wave():
    """16-bit, one 64-value cycle of a soft saw (8 harmonics)."""
    out = []
    for i in range(64):
        t = i / 64
        v = sum(math.sin(2 * math.pi * h * t) / h for h in range(1, 9))
        out.append(clamp16(v * 14000))
    return out


def lead_wave():
    """8-bit, four 64-value pulse cycles whose duty moves from 25 % to 40 %."""
    out = []
    for cycle in range(4):
        duty = 0.25 + 0.05 * cycle
        for i in range(64):
            out.append(90 if i / 64 < duty else -90)
    return out


def pad_wave():
    """16-bit, 1,024 values: a mellow tone plus a copy detuned by 8 cents.
    The ping-pong loop mirrors the seam, so the beating needs no exact period."""
    out = []
    detune = 2 ** (8 / 1200)
    for i in range(1024):
        t = i / 64
        a = math.sin(2 * math.pi * t) + 0.35 * math.sin(4 * math.pi * t) + 0.15 * math.sin(6 * math.pi * t)
        b = math.sin(2 * math.pi * t * detune) + 0.35 * math.sin(4 * math.pi * t * detune)
        out.append(clamp16((a + b) * 6500))
    return out


def kick_wave():
    """8-bit one-shot: a sine swept from 160 Hz down to 45 Hz, at 8,363 Hz (C-4)."""
    out = []
    phase = 0.0
    rate = 8363
    for i in range(2400):
        t = i / rate
        freq = 45 + 115 * math.exp(-t * 30)
        phase += 2 * math.pi * freq / rate
        out.append(clamp8(127 * math.sin(phase) * math.exp(-t * 9)))
    return out


def noise_wave():
    """8-bit one-shot: decaying noise from a fixed linear congruential generator."""
    out = []
    seed = 0x2005
    for i in range(1200):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        v = ((seed >> 16) & 0xFF) - 128
        out.append(clamp8(v * math.exp(-i / 260)))
    return out


def deltas8(values):
    out, prev = bytearray(), 0
    for v in values:
        out.append((v - prev) & 0xFF)
        prev = v
    return bytes(out)


def deltas16(values):
    out, prev = bytearray(), 0
    for v in values:
        out += struct.pack("<H", (v - prev) & 0xFFFF)
        prev = v
    return bytes(out)


# An instrument: name, envelopes and settings, and one sample.
# Lengths and loops in the sample header are in bytes, as the file has them.
INSTRUMENTS = [
    dict(name="bass", wave=bass_wave(), bits=16, loop="forward", loop_start=0, loop_len=64,
         volume=60, finetune=2, relative=12, panning=128,
         venv=[(0, 64), (6, 50), (30, 40), (80, 34)], vsustain=2, vtype=1 | 2,
         penv=[], ptype=0, fadeout=0x300, vib=(0, 0, 0, 0)),
    dict(name="lead", wave=lead_wave(), bits=8, loop="forward", loop_start=0, loop_len=256,
         volume=40, finetune=2, relative=12, panning=160,
         venv=[(0, 0), (2, 64), (10, 44), (14, 52), (18, 44)], vsustain=2, vloop=(2, 4), vtype=1 | 2 | 4,
         penv=[], ptype=0, fadeout=0x400, vib=(0, 24, 6, 10)),
    dict(name="pad", wave=pad_wave(), bits=16, loop="pingpong", loop_start=0, loop_len=1024,
         volume=34, finetune=2, relative=12, panning=128,
         venv=[(0, 0), (24, 64), (60, 48)], vsustain=2, vtype=1 | 2,
         penv=[(0, 32), (40, 12), (120, 52), (200, 12)], ploop=(1, 3), ptype=1 | 4, fadeout=0x180,
         vib=(0, 0, 0, 0)),
    dict(name="kick", wave=kick_wave(), bits=8, loop="none", loop_start=0, loop_len=0,
         volume=64, finetune=0, relative=0, panning=128,
         venv=[], vtype=0, penv=[], ptype=0, fadeout=0, vib=(0, 0, 0, 0)),
    dict(name="noise", wave=noise_wave(), bits=8, loop="none", loop_start=0, loop_len=0,
         volume=44, finetune=0, relative=0, panning=112,
         venv=[], vtype=0, penv=[], ptype=0, fadeout=0, vib=(0, 0, 0, 0)),
]
BASS, LEAD, PAD, KICK, NOISE = 1, 2, 3, 4, 5


def instrument_bytes(ins):
    bits = ins["bits"]
    width = bits // 8
    wave = ins["wave"]
    data = deltas16(wave) if bits == 16 else deltas8(wave)
    loop_bits = {"none": 0, "forward": 1, "pingpong": 2}[ins["loop"]]
    sample_type = loop_bits | (0x10 if bits == 16 else 0)

    head = bytearray()
    head += struct.pack("<I", 263)
    head += ins["name"].encode().ljust(22, b"\0")
    head += bytes([0])
    head += struct.pack("<H", 1)        # one sample
    head += struct.pack("<I", 40)       # sample header size
    head += bytes(96)                   # every note plays sample 0

    def envelope(points):
        out = bytearray()
        for i in range(12):
            x, y = points[i] if i < len(points) else (0, 0)
            out += struct.pack("<HH", x, y)
        return out

    head += envelope(ins["venv"])
    head += envelope(ins["penv"])
    vloop = ins.get("vloop", (0, 0))
    ploop = ins.get("ploop", (0, 0))
    head += bytes([len(ins["venv"]), len(ins["penv"]),
                   ins.get("vsustain", 0), vloop[0], vloop[1],
                   ins.get("psustain", 0), ploop[0], ploop[1],
                   ins["vtype"], ins["ptype"]])
    head += bytes(ins["vib"])
    head += struct.pack("<H", ins["fadeout"])
    head += bytes(263 - len(head))      # reserved up to the header size
    assert len(head) == 263

    sample = bytearray()
    sample += struct.pack("<III", len(wave) * width, ins["loop_start"] * width, ins["loop_len"] * width)
    sample += struct.pack("<BbBBb", ins["volume"], ins["finetune"], sample_type, ins["panning"], ins["relative"])
    sample += bytes([0])
    sample += ins["name"].encode().ljust(22, b"\0")
    assert len(sample) == 40
    return bytes(head) + bytes(sample) + data


# ---------------------------------------------------------------- score

# Am, F, C, G: sixteen rows each.
CHORDS = [("A", ["A-2", "C-3", "E-3"]), ("F", ["F-2", "A-2", "C-3"]),
          ("C", ["C-3", "E-3", "G-3"]), ("G", ["G-2", "B-2", "D-3"])]

LEAD_A = ["E-5", None, None, "D-5", "C-5", None, "A-4", None, None, None, "C-5", None, "D-5", None, "E-5", None,
          "F-5", None, None, "E-5", "C-5", None, None, None, "A-4", None, "C-5", None, "F-5", None, "E-5", None,
          "G-5", None, None, "E-5", "C-5", None, "E-5", None, "G-5", None, "A-5", None, "G-5", None, "E-5", None,
          "D-5", None, None, "B-4", "G-4", None, None, None, "B-4", None, "D-5", None, "G-5", None, "off", None]

LEAD_B = ["A-5", None, None, None, "G-5", None, "E-5", None, "C-5", None, "E-5", None, "A-4", None, None, None,
          "A-5", None, None, None, "F-5", None, "C-5", None, "A-4", None, "C-5", None, "F-5", None, None, None,
          "G-5", None, "E-5", None, "C-5", None, "E-5", None, "G-5", None, "C-6", None, "G-5", None, "E-5", None,
          "B-5", None, None, None, "G-5", None, "D-5", None, "B-4", None, "D-5", None, "G-4", None, "off", None]


def up(name, octaves):
    """The note name `octaves` octaves higher ("A-2", 1 -> "A-3")."""
    return name[:-1] + str(int(name[-1]) + octaves)


def empty_pattern():
    return [[None] * CHANNELS for _ in range(ROWS)]


def put(pattern, row, channel, n=None, ins=0, vol=0, eff=0, par=0):
    value = {"off": KEY_OFF, None: 0}.get(n, None)
    pattern[row][channel] = (value if value is not None else note(n), ins, vol, eff, par)


def bass_and_pad(pattern, with_pad=True):
    for c, (_, tones) in enumerate(CHORDS):
        base = c * 16
        root = tones[0]
        octave_up = root[:-1] + str(int(root[-1]) + 1)
        for step, n in enumerate([root, None, root, octave_up, None, root, octave_up, root]):
            if n:
                put(pattern, base + 2 * step, 0, n, BASS)
        put(pattern, base + 15, 0, "off")
        if with_pad:
            put(pattern, base, 2, tones[1][:-1] + "4", PAD)
            put(pattern, base, 3, tones[2][:-1] + "4", PAD)
            put(pattern, base + 14, 2, "off")
            put(pattern, base + 14, 3, "off")


def drums(pattern, hats=True):
    for row in range(0, ROWS, 4):
        put(pattern, row, 4, "C-4", KICK)
    if hats:
        for row in range(2, ROWS, 4):
            # A hat: the noise high and quiet (volume column 0x10 + volume).
            put(pattern, row, 5, "C-6", NOISE, 0x10 + 28)
        for row in range(4, ROWS, 8):
            put(pattern, row, 5, "F-4", NOISE, 0x10 + 64)   # the snare: the same noise lower


def lead(pattern, line, arpeggio=False):
    for row, n in enumerate(line):
        if n == "off":
            put(pattern, row, 1, "off")
        elif n:
            eff, par = (0x0, 0x37) if arpeggio and row % 16 == 0 else (0, 0)
            put(pattern, row, 1, n, LEAD, 0, eff, par)
        elif arpeggio and row % 16 in (1, 2, 3):
            put(pattern, row, 1, None, 0, 0, 0x0, 0x37)


def build_patterns():
    intro = empty_pattern()
    bass_and_pad(intro)
    drums(intro, hats=False)
    # Row 0 sets the tempo the way a tracker would (F06: speed 6, F8C: BPM 140),
    # on channels that are otherwise empty there.
    intro[0][1] = (0, 0, 0, 0x0F, SPEED)
    intro[0][5] = (0, 0, 0, 0x0F, BPM)

    groove = empty_pattern()
    bass_and_pad(groove)
    drums(groove)

    lead_a = empty_pattern()
    bass_and_pad(lead_a)
    drums(lead_a)
    lead(lead_a, LEAD_A)

    lead_b = empty_pattern()
    bass_and_pad(lead_b)
    drums(lead_b)
    lead(lead_b, LEAD_B, arpeggio=True)
    # The last bar fades the lead out with a volume slide (A04).
    for row in range(56, 62):
        if lead_b[row][1] is None:
            lead_b[row][1] = (0, 0, 0, 0x0A, 0x04)

    return [intro, groove, lead_a, lead_b]


def pack_pattern(pattern):
    """FT2's packing: a full cell as five plain bytes, any other as a flag
    byte (bit 7 set, bits 0..4 for the fields that follow) and those fields."""
    data = bytearray()
    for row in pattern:
        for cell in row:
            fields = cell or (0, 0, 0, 0, 0)
            if all(fields):
                data += bytes(fields)
                continue
            flags = 0x80
            for bit, value in enumerate(fields):
                if value:
                    flags |= 1 << bit
            data.append(flags)
            data += bytes(v for v in fields if v)
    return bytes(data)


# ---------------------------------------------------------------- file

ORDER = [0, 1, 2, 3, 2, 3, 1]
RESTART = 1


def module_bytes(name, tracker, order, restart, channels, patterns, instruments, speed, bpm, linear=True):
    """A whole XM file of version 0x0104: the header, the patterns (lists of
    rows of cells, packed by pack_pattern) and the instruments (dicts for
    instrument_bytes). Every song this folder writes goes through here."""
    out = bytearray()
    out += b"Extended Module: "
    out += name.encode().ljust(20, b" ")
    out += b"\x1a"
    out += tracker.encode().ljust(20, b" ")
    out += struct.pack("<H", 0x0104)
    out += struct.pack("<I", 276)
    out += struct.pack("<HHHHHHHH", len(order), restart, channels, len(patterns), len(instruments),
                       1 if linear else 0, speed, bpm)
    out += bytes(order).ljust(256, b"\0")
    assert len(out) == 336
    for pattern in patterns:
        packed = pack_pattern(pattern)
        out += struct.pack("<IBHH", 9, 0, len(pattern), len(packed))
        out += packed
    for ins in instruments:
        out += instrument_bytes(ins)
    return bytes(out)


def build():
    return module_bytes("quandrix stand-in", "make_standin_xm.py", ORDER, RESTART, CHANNELS, build_patterns(),
                        INSTRUMENTS, SPEED, BPM)


def write(path, data):
    """Writes through a temporary file and a rename, so that an interrupted
    run never leaves a half-written song behind."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, path)
    print(f"{os.path.normpath(path)}: {len(data)} bytes")


def main():
    write(output(OUT), build())


if __name__ == "__main__":
    main()
