"""Where the page font's glyphs live in its 1024 x 128 texture.

The numbers are kept once, in data/glyph2_table.inc, which the text pages
and the tests include as C++; this module reads the same file, so the
picture is always drawn to the rectangles the intro samples.

Each glyph is the texture rectangle from (u, v) to (u + du, v + 0.3125),
with u = col / 1024 - 1 (the -1 is absorbed by the repeat wrap). Digits and
punctuation sit in the band v = 0.42, letters in the band v = 0.715.
"""

import os
import re

TEXTURE_W, TEXTURE_H = 1024, 128
GLYPH_DV = 0.3125
DIGIT_V = 0.42
LETTER_V = 0.715

TABLE_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                          "..", "..", "data", "glyph2_table.inc")

_NUM = r"\s*(-?[0-9.]+)\s*"
_ROW = re.compile(r"^GLYPH2\('(\\'|[^'\\])'," + ",".join([_NUM] * 5) + r"\)$")
_FALLBACK = re.compile(r"^GLYPH2_FALLBACK\(" + ",".join([_NUM] * 5) + r"\)$")


def _read_table(path=TABLE_PATH):
    rows, fallback = [], None
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line.startswith("GLYPH2"):
                continue
            m = _ROW.match(line)
            if m:
                ch = "'" if m.group(1) == "\\'" else m.group(1)
                col, v, du, w, shift = m.group(2, 3, 4, 5, 6)
                rows.append((ch, int(col), float(v), float(du), int(w), int(shift)))
                continue
            m = _FALLBACK.match(line)
            if m:
                col, v, du, w, shift = m.groups()
                fallback = (int(col), float(v), float(du), int(w), int(shift))
                continue
            raise ValueError(f"{path}:{number}: not a glyph row: {line}")
    if fallback is None:
        raise ValueError(f"{path}: no GLYPH2_FALLBACK row")
    return rows, fallback


ROWS, _FALLBACK_ROW = _read_table()
FALLBACK = _FALLBACK_ROW[:2]          # column, v of the glyph every other character uses
DIGITS = [(ch, col) for ch, col, v, *_ in ROWS if v == DIGIT_V]
LETTERS = [(ch, col) for ch, col, v, *_ in ROWS if v == LETTER_V]
assert len(DIGITS) + len(LETTERS) == len(ROWS), "a glyph row outside both bands"

NORMAL = _FALLBACK_ROW[2:4]           # (du, drawn width) of every ordinary glyph
WIDE = {ch: (du, w) for ch, _, _, du, w, _ in ROWS if (du, w) != NORMAL}


def width_of(ch):
    return WIDE.get(ch, NORMAL)


def texel_span(col, du):
    """Texel columns [first, last] that the rectangle touches."""
    end = col + du * TEXTURE_W
    last = int(end) if end != int(end) else int(end) - 1
    return col, last
