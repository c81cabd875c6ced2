#!/usr/bin/python3
"""quandrix-xminfo's "not played by this engine" report against an independent
count of the songs' pattern cells.

Usage: check_engine_report.py --xminfo PATH [--song FILE.xm ...]

For every song given and every XM file that Debian's bomberclone-data and
vodovod install, this script reads the patterns itself (the packed cells of
the patterns the order plays, each pattern once), sorts each cell's effect and
volume-column command by what FastTracker 2 makes of it and what the intro's
engine does, and checks that `quandrix-xminfo --json` reports the same cells
and first places, the same envelope ties and frequency table; that the JSON
parses; and that the text report says the same as the JSON. Exit 77 (skipped)
when the packages are missing, except under CI=true, where that fails.
"""

import argparse
import json
import os
import re
import struct
import subprocess
import sys
import unittest

SONG_DIRS = ["/usr/share/games/bomberclone", "/usr/share/games/vodovod"]

# FastTracker 2's effects, by type: (code, name, what the intro's engine does).
# Written from the tracker's effect list, not from the engine's table.
EFFECTS = {
    0x01: ("1xx", "portamento up", "own way"),
    0x02: ("2xx", "portamento down", "played"),
    0x03: ("3xx", "tone portamento", "own way"),
    0x04: ("4xy", "vibrato", "ignored"),
    0x05: ("5xy", "tone portamento and volume slide", "own way"),
    0x06: ("6xy", "vibrato and volume slide", "ignored"),
    0x07: ("7xy", "tremolo", "ignored"),
    0x08: ("8xx", "set panning", "played"),
    0x09: ("9xx", "sample offset", "ignored"),
    0x0A: ("Axy", "volume slide", "played"),
    0x0B: ("Bxx", "position jump", "ignored"),
    0x0C: ("Cxx", "set volume", "ignored"),
    0x0D: ("Dxx", "pattern break", "ignored"),
    0x0F: ("Fxx", "set speed or BPM", "played"),
    0x10: ("Gxx", "set global volume", "played"),
    0x11: ("Hxy", "global volume slide", "played"),
    0x15: ("Lxx", "set envelope position", "ignored"),
    0x19: ("Pxy", "panning slide", "ignored"),
    0x1B: ("Rxy", "multi retrigger", "ignored"),
    0x1D: ("Txy", "tremor", "ignored"),
}
EXTENDED = {  # Exy by x; E0y, E8y and EFy do nothing in FastTracker 2 either
    0x1: ("fine portamento up", "ignored"),
    0x2: ("fine portamento down", "ignored"),
    0x3: ("glissando control", "ignored"),
    0x4: ("vibrato waveform", "ignored"),
    0x5: ("set finetune", "ignored"),
    0x6: ("pattern loop", "own way"),
    0x7: ("tremolo waveform", "ignored"),
    0x9: ("retrigger", "ignored"),
    0xA: ("fine volume slide up", "ignored"),
    0xB: ("fine volume slide down", "ignored"),
    0xC: ("note cut", "played"),
    0xD: ("note delay", "ignored"),
    0xE: ("pattern delay", "ignored"),
}
VOLUME = {  # by high nibble, from 0x60 on
    0x6: ("volume slide down", "own way"),
    0x7: ("volume slide up", "own way"),
    0x8: ("fine volume slide down", "played"),
    0x9: ("fine volume slide up", "played"),
    0xA: ("set vibrato speed", "ignored"),
    0xB: ("vibrato", "ignored"),
    0xC: ("set panning", "played"),
    0xD: ("panning slide left", "own way"),
    0xE: ("panning slide right", "own way"),
    0xF: ("tone portamento", "own way"),
}
LETTERS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def effect_command(effect, parameter):
    """(column, code, name, support), or None for what plays as in FastTracker 2 or does nothing."""
    x = parameter >> 4
    if effect == 0x00:
        return None  # arpeggio plays; 000 is an empty column
    if effect == 0x0E:
        if x in EXTENDED:
            name, support = EXTENDED[x]
            return ("effect", "E%Xy" % x, name, support)
        return None if x == 0 else ("effect", "E%Xy" % x, "", "unknown")
    if effect == 0x14:
        return ("effect", "Kxx (xx above 0)", "key off", "own way") if parameter else None
    if effect == 0x21:
        names = {1: "extra fine portamento up", 2: "extra fine portamento down"}
        return ("effect", "X%Xy" % x, names.get(x, ""), "ignored" if x in names else "unknown")
    if effect in EFFECTS:
        code, name, support = EFFECTS[effect]
        return ("effect", code, name, support)
    if effect < 36:
        # Letters without a FastTracker 2 effect; the tool writes "xy" for
        # none of them.
        return ("effect", LETTERS[effect] + "xx", "", "unknown")
    return ("effect", "effect type %d" % effect, "", "unknown")


def volume_command(byte):
    if byte < 0x60:
        return None  # nothing, or set volume
    name, support = VOLUME[byte >> 4]
    return ("volume", "volume column %Xx" % (byte >> 4), name, support)


class Song:
    """The file's pattern cells and instrument envelopes, read by the format's sizes."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.b = f.read()
        b = self.b
        assert b[:17] == b"Extended Module: ", path
        header_size, = struct.unpack_from("<I", b, 60)
        (song_length, _restart, self.channels, patterns, instruments, self.flags) = struct.unpack_from("<6H", b, 64)
        self.song_length = min(max(song_length, 1), 256)
        self.order = list(b[80:80 + self.song_length])
        self.patterns = []
        at = 60 + header_size
        for _ in range(patterns):
            rows, packed = struct.unpack_from("<HH", b, at + 5)
            at += 9
            cells = []
            if packed:
                for _ in range(max(rows, 1) * self.channels):
                    cell, at = self.cell(at)
                    cells.append(cell)
            else:
                cells = [(0, 0, 0, 0, 0)] * (max(rows, 1) * self.channels)
            self.patterns.append((max(rows, 1), cells))
        self.envelopes = []  # (instrument from 1, "volume"/"panning", points after the time fix, type)
        self.vibrato = []    # (instrument, type, depth)
        for number in range(1, min(instruments, 128) + 1):
            start = at
            size, = struct.unpack_from("<I", b, at)
            samples, = struct.unpack_from("<H", b, at + 27)
            at = start + size
            if samples == 0:
                continue
            for kind, points_at, count_at, type_at in (("volume", 129, 225, 233), ("panning", 177, 226, 234)):
                count = min(b[start + count_at], 12)
                points, last = [], 0
                for i in range(count):
                    x, _y = struct.unpack_from("<HH", b, start + points_at + 4 * i)
                    last = max(x, last) if i else x
                    points.append(last)
                self.envelopes.append((number, kind, points, b[start + type_at] if count >= 2 else 0))
            self.vibrato.append((number, b[start + 235], b[start + 237]))
            lengths = []
            for s in range(samples):
                length, = struct.unpack_from("<I", b, at + 40 * s)
                lengths.append(length)
            at += 40 * samples + sum(lengths)

    def u8(self, at):
        return self.b[at] if at < len(self.b) else 0

    def cell(self, at):
        first = self.u8(at)
        at += 1
        if first & 0x80:
            fields = []
            for bit in range(5):
                if first & (1 << bit):
                    fields.append(self.u8(at))
                    at += 1
                else:
                    fields.append(0)
            return tuple(fields), at
        fields = (first, self.u8(at), self.u8(at + 1), self.u8(at + 2), self.u8(at + 3))
        return fields, at + 4

    def count(self):
        """{(column, code): [name, support, cells, (order, pattern, row, channel)]}"""
        uses, seen = {}, set()
        for order, p in enumerate(self.order):
            if p >= len(self.patterns) or p in seen:
                continue  # an unstored pattern is empty
            seen.add(p)
            rows, cells = self.patterns[p]
            for i, (_note, _instrument, volume, effect, parameter) in enumerate(cells):
                place = (order, p, i // self.channels, i % self.channels + 1)
                for command in (effect_command(effect, parameter), volume_command(volume)):
                    if command is None:
                        continue
                    column, code, name, support = command
                    if support == "played":
                        continue
                    use = uses.setdefault((column, code), [name, support, 0, place])
                    use[2] += 1
        return uses

    def ties(self):
        found = []
        for number, kind, points, kind_type in self.envelopes:
            if not kind_type & 1:
                continue
            for i in range(len(points) - 1):
                if points[i] == points[i + 1]:
                    found.append((number, kind, i, points[i]))
                    break
        return found


def real_songs():
    songs = []
    for d in SONG_DIRS:
        for root, _dirs, files in os.walk(d):
            songs += [os.path.join(root, f) for f in files if f.lower().endswith(".xm")]
    return sorted(songs)


def text_report(text):
    """The report's entries as {title: (cells, place)} and whether it is the one-line form."""
    entries = {}
    for m in re.finditer(r"^  (.+?): (\d+) cells?, first at order (\d+), pattern (\d+), row (\d+), "
                         r"channel (\d+)", text, re.M):
        entries[m.group(1)] = (int(m.group(2)), tuple(int(m.group(i)) for i in range(3, 7)))
    one_line = "not played by this engine: nothing; it plays every command of this song as FastTracker 2 does\n"
    return entries, one_line in text


class EngineReport(unittest.TestCase):
    songs = []
    xminfo = None

    def run_tool(self, *args):
        result = subprocess.run([self.xminfo, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode("utf-8")

    def test_reports_agree_with_an_independent_count_and_with_each_other(self):
        self.assertTrue(self.songs)
        for path in self.songs:
            with self.subTest(song=os.path.basename(path)):
                song = Song(path)
                report = json.loads(self.run_tool("--json", path))
                engine = report["engine"]
                # The facts beside the report.
                self.assertEqual(report["channels"], song.channels)
                self.assertEqual(report["order"], song.order)
                self.assertEqual(report["frequencyTable"], "linear" if song.flags & 1 else "amiga")

                expected = song.count()
                reported = {}
                for key in ("notPlayed", "ownWay"):
                    for use in engine[key]:
                        f = use["first"]
                        reported[(use["column"], use["code"])] = [
                            use["name"], use["support"], use["cells"],
                            (f["order"], f["pattern"], f["row"], f["channel"])]
                        self.assertEqual(key == "ownWay", use["support"] == "own way")
                self.assertEqual(reported, expected)
                ties = [(t["instrument"], t["envelope"], t["point"], t["tick"]) for t in engine["envelopeTies"]]
                self.assertEqual(ties, song.ties())
                sine = [n for n, kind, depth in song.vibrato if kind > 3 and depth]
                self.assertEqual(engine["sineVibratoInstruments"], sine)
                self.assertEqual(engine["amigaTable"], not song.flags & 1)
                fully = not expected and not ties and not sine and song.flags & 1
                self.assertEqual(engine["fullyPlayed"], bool(fully))

                # The text says the same.
                entries, one_line = text_report(self.run_tool(path))
                self.assertEqual(one_line, engine["fullyPlayed"])
                titles = {}
                for (column, code), (name, _support, cells, place) in expected.items():
                    title = code + " " + name if name else code + " (no FastTracker 2 command)"
                    titles[title] = (cells, place)
                self.assertEqual(entries, titles)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xminfo", required=True)
    parser.add_argument("--song", action="append", default=[])
    args, rest = parser.parse_known_args()
    real = real_songs()
    if not real:
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
        import skip
        skip.missing("the songs of bomberclone-data and vodovod", "bomberclone-data vodovod")
    EngineReport.songs = args.song + real
    EngineReport.xminfo = args.xminfo
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
