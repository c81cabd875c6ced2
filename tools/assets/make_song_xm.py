#!/usr/bin/python3
"""Writes the intro's song, data/music/glasstube.xm, from the score in
tools/assets/song/score.txt and instruments synthesised here.

Every sample is computed with numpy (band-limited additive waves, swept
sines, seeded noise), so the song is ours from the first to the last byte.
The score is plain text (its format is described at its top); the file is
written by the stand-in song's XM writer (make_standin_xm.py).

Run from anywhere:
    /usr/bin/python3 tools/assets/make_song_xm.py [--score PATH] [--out PATH]
The output is deterministic; commit it together with this script and the
score. Exit code 0 when written, 2 with a message on a score error.
"""

import argparse
import os
import re
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_standin_xm as xmfile  # noqa: E402
from asset_paths import output  # noqa: E402

SCORE = os.path.join(HERE, "song", "score.txt")
OUT = "data/music/glasstube.xm"
C4_RATE = 8363  # the sample rate at which note C-4 plays a sample of relative note 0


class ScoreError(Exception):
    pass


# ---------------------------------------------------------------- synthesis
#
# Melodic samples hold whole cycles of N values: at relative note r, C-4
# plays 8363 x 2^(r/12) values per second, so N = 32 x 2^(r/12) puts C-4 at
# 261.3 Hz (finetune 2 lifts it the missing 1.9 cents). Harmonics stay below
# N / 2, so no wave holds a step the interpolating mixer would turn into a
# click. Drums are recorded at the rate that note C-4 plays them at.

def drum_rate(relative):
    return C4_RATE * 2 ** (relative / 12)


def additive(n_values, cycles, harmonics):
    """Sum of sines: harmonics is a list of (harmonic number, amplitude);
    `cycles` whole cycles of the fundamental in n_values values."""
    t = np.arange(n_values) / n_values
    out = np.zeros(n_values)
    for h, a in harmonics:
        out += a * np.sin(2 * np.pi * h * cycles * t)
    return out


def saw_harmonics(limit, scale=1.0):
    return [(h, scale / h) for h in range(1, limit + 1)]


def pulse_harmonics(limit, duty):
    # Fourier series of a pulse of the given duty, centred on zero.
    return [(h, 2 * np.sin(np.pi * h * duty) / (np.pi * h)) for h in range(1, limit + 1)]


def normalise(wave, peak):
    wave = wave - wave.mean()
    return wave * (peak / max(1e-9, np.abs(wave).max()))


def start_without_drift(wave):
    """Rotates a single-cycle wave so that its running sum averages zero.
    Notes restart the cycle from value 0 and are cut after a few cycles;
    started anywhere else, every short note would leave a little DC behind."""
    running = np.cumsum(wave)
    start = int(np.argmin(np.abs(running - running.mean())))
    return np.roll(wave, -(start + 1))


def fade_tail(wave, values):
    """One-shots end at exactly zero: a short cosine fade over the last values."""
    wave = wave.copy()
    values = min(values, len(wave))
    wave[-values:] *= 0.5 + 0.5 * np.cos(np.linspace(0, np.pi, values))
    return wave


def one_pole_highpass(x, coefficient):
    out = np.empty_like(x)
    prev_in = prev_out = 0.0
    for i, v in enumerate(x):
        prev_out = coefficient * (prev_out + v - prev_in)
        prev_in = v
        out[i] = prev_out
    return out


def one_pole_lowpass(x, coefficient):
    out = np.empty_like(x)
    acc = 0.0
    for i, v in enumerate(x):
        acc += coefficient * (v - acc)
        out[i] = acc
    return out


def synth_kick(p):
    rate = drum_rate(p["relative"])
    n = int(rate * 0.32)
    t = np.arange(n) / rate
    freq = 48 + 150 * np.exp(-t * 38)
    phase = 2 * np.pi * np.cumsum(freq) / rate
    body = np.sin(phase) * np.exp(-t * 7.5)
    click = np.sin(2 * np.pi * 1800 * t) * np.exp(-t * 300) * 0.25
    wave = np.tanh(1.6 * (body + click))
    # The mixer fades every note in over 128 frames, which would take a slice
    # off the first half-wave and leave the rest of the kick as DC: the kick
    # fades in over the same time itself, and a gentle high-pass takes out
    # what DC is left while keeping both ends at zero.
    ramp = int(128 * rate / 44100)
    wave[:ramp] *= np.linspace(0, 1, ramp)
    wave = fade_tail(one_pole_highpass(wave, 0.995), 400)
    return normalise(wave, 0.97)


def synth_snare(p, rng):
    rate = drum_rate(p["relative"])
    n = int(rate * 0.24)
    t = np.arange(n) / rate
    tone = (np.sin(2 * np.pi * 190 * t) + 0.5 * np.sin(2 * np.pi * 335 * t)) * np.exp(-t * 28)
    noise = one_pole_lowpass(one_pole_highpass(rng.uniform(-1, 1, n), 0.93), 0.55) * np.exp(-t * 16)
    wave = 0.7 * tone + 1.4 * noise
    wave[:24] *= np.linspace(0.3, 1, 24)
    return normalise(fade_tail(wave, 300), 0.95)


def synth_hat(p, rng):
    rate = drum_rate(p["relative"])
    n = int(rate * 0.2)
    t = np.arange(n) / rate
    # Six detuned band-limited squares (the metal) and high-passed noise (the air).
    metal = np.zeros(n)
    for f in (317, 421, 553, 631, 817, 1003):
        for h in (1, 3, 5):
            metal += np.sin(2 * np.pi * f * 2.3 * h * t) / h
    air = one_pole_highpass(rng.uniform(-1, 1, n), 0.6)
    wave = one_pole_highpass(0.25 * metal + air, 0.7) * np.exp(-t * 20)
    return normalise(fade_tail(wave, 200), 0.9)


def synth_crash(p, rng):
    """A noise burst that settles into a loop of steady noise; the volume
    envelope and the fadeout decay it, so the sample itself can be short."""
    rate = drum_rate(p["relative"])
    attack, loop = p["attack"], p["loop_len"]
    n = attack + loop
    t = np.arange(n) / rate
    noise = one_pole_highpass(rng.uniform(-1, 1, n), 0.8)
    level = np.where(np.arange(n) < attack, 1.0 + 0.6 * np.exp(-t * 30), 1.0)
    wave = noise * level
    # Cross-fade the loop's end into the noise just before its start, so
    # the forward loop joins without a step.
    fade = 256
    w = np.linspace(0, 1, fade)
    wave[n - fade:] = wave[n - fade:] * (1 - w) + wave[attack - fade:attack] * w
    return normalise(wave, 0.9)


def synth_tom(p):
    rate = drum_rate(p["relative"])
    n = int(rate * 0.3)
    t = np.arange(n) / rate
    freq = 95 + 70 * np.exp(-t * 20)
    wave = np.sin(2 * np.pi * np.cumsum(freq) / rate) * np.exp(-t * 11)
    return normalise(fade_tail(wave, 300), 0.95)


def cycle_length(p):
    return int(round(32 * 2 ** (p["relative"] / 12)))


def synth_bass(p):
    n = cycle_length(p)
    # 40 harmonics falling a little faster than a saw's: warm, and the edge
    # of a low note stays soft enough to hear no tick in it.
    saw = additive(n, 1, [(h, h ** -1.25) for h in range(1, 41)])
    sub = additive(n, 1, [(1, 1.0)])
    # Each note starts the cycle at value 0 and is faded in by the mixer and
    # cut short by the next one; where the cycle starts decides what DC the
    # line leaves behind. phase= (a fraction of the cycle) is the start that
    # leaves none for this song's bass line, found by rendering it.
    wave = normalise(0.7 * saw + 0.8 * sub, 0.95)
    return np.roll(wave, -int(round(p["phase"] * n)))


def synth_pad(p):
    """Three detuned saws an octave apart from a soft sub: 256 cycles of a
    32-value period in 8,192 values, detuned by two cycles either side."""
    n = cycle_length(p)
    cycles = p["loop_len"] // n
    total = np.zeros(p["loop_len"])
    limit = n // 2 - 1
    for detune, amp in ((0, 1.0), (-2, 0.8), (2, 0.8), (1, 0.5)):
        total += amp * additive(p["loop_len"], cycles + detune, saw_harmonics(limit))
    total += 0.6 * additive(p["loop_len"], cycles // 2, [(1, 1.0)])
    return normalise(total, 0.9)


def synth_lead(p):
    n = cycle_length(p)
    limit = min(n // 2 - 1, 24)  # the lead plays up to C-6: 24 harmonics stay below 22 kHz
    wave = 0.6 * additive(n, 1, saw_harmonics(limit)) + 0.5 * additive(n, 1, pulse_harmonics(limit, 0.3))
    return start_without_drift(normalise(wave, 0.95))


def synth_chip(p):
    n = cycle_length(p)
    return start_without_drift(normalise(additive(n, 1, pulse_harmonics(n // 2 - 1, 0.25)), 0.95))


def synth_pluck(p):
    """A cosine series sampled half a value off the ends: it reads the same
    backwards, so the ping-pong loop replays it without a seam."""
    n = cycle_length(p)
    u = (np.arange(n) + 0.5) / n
    wave = sum(a * np.cos(2 * np.pi * h * u) for h, a in ((1, 1.0), (2, 0.45), (3, 0.5), (5, 0.25), (7, 0.12)))
    return normalise(wave, 0.95)


def synth_zap(p):
    n = cycle_length(p)
    return start_without_drift(normalise(additive(n, 1, [(1, 1.0), (2, 0.3), (3, 0.15)]), 0.95))


SYNTHS = {"kick": synth_kick, "snare": synth_snare, "hat": synth_hat, "crash": synth_crash, "tom": synth_tom,
          "bass": synth_bass, "pad": synth_pad, "lead": synth_lead, "chip": synth_chip, "pluck": synth_pluck,
          "zap": synth_zap}
NOISY = {"snare", "hat", "crash"}


def render_sample(params, seed):
    synth = SYNTHS[params["synth"]]
    if params["synth"] in NOISY:
        wave = synth(params, np.random.default_rng(seed))
    else:
        wave = synth(params)
    top = 32767 if params["bits"] == 16 else 127
    values = np.clip(np.rint(wave * top), -top - 1, top).astype(int)
    return [int(v) for v in values]


# ---------------------------------------------------------------- score

NOTE_RE = re.compile(r"^([A-G])([-#])([0-9])$")
EFFECT_RE = re.compile(r"^([0-9A-Z])([0-9A-F]{2})$")
VOLUME_RE = re.compile(r"^(v|[-+dulrp])([0-9A-F]{1,2})$")
NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}
# The volume column's kinds: v set volume (00..40), -/+ slide down/up on every
# tick, d/u fine slide down/up once, p set panning (0..F), l/r pan slide.
VOLUME_BASE = {"-": 0x60, "+": 0x70, "d": 0x80, "u": 0x90, "p": 0xC0, "l": 0xD0, "r": 0xE0}
EFFECT_LETTERS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def parse_cell(token, where):
    """'C-5:v30:A04' to (note, volume byte, effect, parameter); '.' is empty,
    '==' a key-off note. The instrument is the track's."""
    note = volume = effect = parameter = 0
    bare = False
    parts = token.split(":")
    if parts[0] == ".":
        parts = parts[1:]
    for part in parts:
        m = NOTE_RE.match(part)
        if part == "==":
            note = xmfile.KEY_OFF
        elif part == "@":
            bare = True
        elif m:
            number = 12 * int(m.group(3)) + NOTE_NAMES[m.group(1) + ("#" if m.group(2) == "#" else "")] + 1
            if not 1 <= number <= 96:
                raise ScoreError(f"{where}: note {part} outside C-0..B-7")
            note = number
        elif VOLUME_RE.match(part):
            kind, value = VOLUME_RE.match(part).groups()
            value = int(value, 16)
            if kind == "v":
                if value > 0x40:
                    raise ScoreError(f"{where}: volume {part} above 40")
                volume = 0x10 + value
            else:
                if value > 0xF:
                    raise ScoreError(f"{where}: {part} takes one hex digit")
                volume = VOLUME_BASE[kind] + value
        elif EFFECT_RE.match(part):
            letter, value = EFFECT_RE.match(part).groups()
            effect, parameter = EFFECT_LETTERS.index(letter), int(value, 16)
        else:
            raise ScoreError(f"{where}: cannot read '{part}' in '{token}'")
    return note, volume, effect, parameter, bare


def expand(tokens, where):
    """Expands '_N' (N empty rows) and '[ ... ]xN' (a group N times); drops '|'."""
    out, stack = [], [[]]
    for token in tokens:
        if token == "|":
            continue
        if token == "[":
            stack.append([])
        elif re.match(r"^\]x[0-9]+$", token):
            if len(stack) < 2:
                raise ScoreError(f"{where}: ']' without '['")
            group = stack.pop()
            stack[-1].extend(group * int(token[2:]))
        elif re.match(r"^_[0-9]+$", token):
            stack[-1].extend(["."] * int(token[1:]))
        else:
            stack[-1].append(token)
    if len(stack) != 1:
        raise ScoreError(f"{where}: '[' without ']'")
    out = stack[0]
    return out


def parse_envelope(text, where):
    points = []
    for item in text.split(","):
        x, y = item.split("/")
        points.append((int(x), int(y)))
    if len(points) > 12 or any(not 0 <= y <= 64 for _, y in points):
        raise ScoreError(f"{where}: an envelope has at most 12 points of 0..64")
    if any(b[0] <= a[0] for a, b in zip(points, points[1:])):
        raise ScoreError(f"{where}: envelope ticks must rise")
    return points


def parse_instrument(words, where):
    if len(words) < 2:
        raise ScoreError(f"{where}: instrument NUMBER NAME key=value ...")
    number, name = int(words[0]), words[1]
    p = dict(name=name, bits=8, loop="none", volume=64, finetune=0, relative=0, panning=128,
             venv=[], vtype=0, penv=[], ptype=0, fadeout=0, vib=(0, 0, 0, 0), attack=0, loop_len=0, phase=0.0)
    for word in words[2:]:
        if "=" not in word:
            raise ScoreError(f"{where}: '{word}' is not key=value")
        key, value = word.split("=", 1)
        if key in ("synth", "loop"):
            p[key] = value
        elif key in ("venv", "penv"):
            p[key] = parse_envelope(value, where)
            p["vtype" if key == "venv" else "ptype"] |= 1
        elif key in ("vsustain", "psustain"):
            p[key] = int(value)
            p["vtype" if key == "vsustain" else "ptype"] |= 2
        elif key in ("vloop", "ploop"):
            a, b = value.split("-")
            p[key] = (int(a), int(b))
            p["vtype" if key == "vloop" else "ptype"] |= 4
        elif key == "vib":
            p[key] = tuple(int(v) for v in value.split(","))
        elif key == "phase":
            p[key] = float(value)
        elif key in ("bits", "volume", "finetune", "relative", "panning", "fadeout", "attack", "loop_len"):
            p[key] = int(value, 0)
        else:
            raise ScoreError(f"{where}: unknown instrument key '{key}'")
    if p.get("synth") not in SYNTHS:
        raise ScoreError(f"{where}: synth must be one of {', '.join(sorted(SYNTHS))}")
    return number, p


class Score:
    def __init__(self):
        self.title = "untitled"
        self.speed, self.bpm, self.restart, self.channels = 6, 125, 0, 16
        self.order = []
        self.instruments = {}   # number -> params
        self.names = {}         # name -> number
        self.patterns = {}      # number -> dict(name, rows, tracks{channel: (instrument, cells)})


def parse_score(text):
    score = Score()
    current = None
    for line_number, raw in enumerate(text.splitlines(), 1):
        where = f"score line {line_number}"
        # '#' opens a comment at the start of a line or after a space ('A#4' is a note).
        line = re.split(r"(?:^|\s)#", raw, maxsplit=1)[0].strip()
        if not line:
            continue
        words = line.split()
        head = words[0]
        if head == "song":
            m = re.match(r'^song\s+"([^"]*)"(.*)$', line)
            if not m:
                raise ScoreError(f'{where}: song "TITLE" key=value ...')
            score.title = m.group(1)
            for word in m.group(2).split():
                key, value = word.split("=")
                setattr(score, key, int(value))
        elif head == "instrument":
            number, params = parse_instrument(words[1:], where)
            score.instruments[number] = params
            score.names[params["name"]] = number
        elif head == "order":
            score.order = [int(w) for w in words[1:]]
        elif head == "pattern":
            m = re.match(r'^pattern\s+([0-9]+)\s+"([^"]*)"\s+rows=([0-9]+)(?:\s+like=([0-9]+))?$', line)
            if not m:
                raise ScoreError(f'{where}: pattern NUMBER "NAME" rows=N [like=P]')
            number, name, rows = int(m.group(1)), m.group(2), int(m.group(3))
            tracks = {}
            if m.group(4) is not None:
                base = score.patterns.get(int(m.group(4)))
                if base is None or base["rows"] != rows:
                    raise ScoreError(f"{where}: like= names an earlier pattern of the same length")
                tracks = dict(base["tracks"])
            current = dict(name=name, rows=rows, tracks=tracks)
            score.patterns[number] = current
        elif re.match(r"^ch[0-9]+$", head):
            if current is None:
                raise ScoreError(f"{where}: a track outside a pattern")
            channel = int(head[2:])
            if not 0 <= channel < score.channels or len(words) < 2:
                raise ScoreError(f"{where}: ch0..ch{score.channels - 1} INSTRUMENT: cells, or ch N -")
            if words[1] == "-":
                current["tracks"].pop(channel, None)
                continue
            if not words[1].endswith(":"):
                raise ScoreError(f"{where}: the instrument name ends with ':'")
            name = words[1][:-1]
            if name not in score.names and name != "none":
                raise ScoreError(f"{where}: unknown instrument '{name}'")
            if len(words) > 2 and words[2] == "echo":
                # ch10 lead: echo ch9 6 v14 8C0 -- ch9's notes 6 rows later
                # (wrapping within the pattern), at volume 14, each with 8C0.
                if len(words) not in (6, 7) or not re.match(r"^ch[0-9]+$", words[3]):
                    raise ScoreError(f"{where}: echo chN ROWS VOLUME [EFFECT]")
                _, volume, _, _, _ = parse_cell(words[5], where)
                effect = parse_cell(words[6], where)[2:4] if len(words) == 7 else (0, 0)
                current["tracks"][channel] = ("echo", score.names.get(name, 0), int(words[3][2:]), int(words[4]),
                                              volume, effect)
                continue
            cells = expand(re.sub(r"\[", " [ ", re.sub(r"\]", " ]", " ".join(words[2:]))).split(), where)
            if len(cells) != current["rows"]:
                raise ScoreError(f"{where}: ch{channel} has {len(cells)} rows, the pattern {current['rows']}")
            current["tracks"][channel] = ("cells", score.names.get(name, 0),
                                          [parse_cell(c, f"{where} row {r}") for r, c in enumerate(cells)])
        else:
            raise ScoreError(f"{where}: cannot read '{head}'")
    return score


def resolve_echo(tracks, track, rows, where):
    """The source's notes `delay` rows later. Notes wrap round to the start,
    where the phrase's tail belongs when the pattern follows itself or a
    pattern of the same ending; a key off (note or Kxx) that would wrap
    lands on the last row instead, so an echo never rings on past the
    phrase it follows."""
    _, instrument, source, delay, volume, (effect, parameter) = track
    if source not in tracks or tracks[source][0] != "cells":
        raise ScoreError(f"{where}: an echo needs a written track to copy")
    cells = tracks[source][2]
    out = [(0, 0, 0, 0, False)] * rows
    for r, (note, _, source_effect, _, _) in enumerate(cells):
        if note == xmfile.KEY_OFF or source_effect == 20:
            out[min(r + delay, rows - 1)] = (xmfile.KEY_OFF, 0, 0, 0, False)
        elif note and out[(r + delay) % rows][0] != xmfile.KEY_OFF:
            out[(r + delay) % rows] = (note, volume, effect, parameter, False)
    return instrument, out


def build_patterns(score):
    numbers = sorted(score.patterns)
    if numbers != list(range(len(numbers))):
        raise ScoreError("patterns must be numbered 0, 1, 2, ... without gaps")
    out = []
    for number in numbers:
        pattern = score.patterns[number]
        tracks = pattern["tracks"]
        rows = [[None] * score.channels for _ in range(pattern["rows"])]
        for channel, track in tracks.items():
            if track[0] == "echo":
                instrument, cells = resolve_echo(tracks, track, pattern["rows"], f"pattern {number} ch{channel}")
            else:
                instrument, cells = track[1], track[2]
            for r, (note, volume, effect, parameter, bare) in enumerate(cells):
                if not (note or volume or effect or parameter):
                    continue
                # Notes name their instrument (unless marked '@'), so each
                # player starts the instrument's envelopes, fadeout and
                # vibrato afresh.
                ins = instrument if note and note != xmfile.KEY_OFF and not bare else 0
                rows[r][channel] = (note, ins, volume, effect, parameter)
        out.append(rows)
    return out


def build_instruments(score):
    numbers = sorted(score.instruments)
    if numbers != list(range(1, len(numbers) + 1)):
        raise ScoreError("instruments must be numbered 1, 2, 3, ... without gaps")
    out = []
    for number in numbers:
        p = dict(score.instruments[number])
        wave = render_sample(p, seed=0x2005 + number)
        p["wave"] = wave
        if p["loop"] == "none":
            p["loop_start"], p["loop_len"] = 0, 0
        elif p["synth"] == "crash":
            p["loop_start"], p["loop_len"] = p["attack"], len(wave) - p["attack"]
        else:
            p["loop_start"], p["loop_len"] = 0, len(wave)
        p["loop"] = {"forward": "forward", "pingpong": "pingpong", "none": "none"}[p["loop"]]
        out.append(p)
    return out


def build(score_text):
    score = parse_score(score_text)
    if any(o not in score.patterns for o in score.order) or not score.order:
        raise ScoreError("the order names a pattern the score does not have")
    return xmfile.module_bytes(score.title, "make_song_xm.py", score.order, score.restart, score.channels,
                               build_patterns(score), build_instruments(score), score.speed, score.bpm)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--score", default=SCORE)
    parser.add_argument("--out", default=OUT)
    args = parser.parse_args()
    with open(args.score, encoding="utf-8") as f:
        text = f.read()
    try:
        data = build(text)
    except ScoreError as e:
        print(f"make_song_xm.py: {e}", file=sys.stderr)
        return 2
    xmfile.write(output(args.out) if args.out == OUT else args.out, data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
