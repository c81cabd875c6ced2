"""Where the page font's glyphs live in its 1024 x 128 texture.

Each glyph is the texture rectangle from (u, v) to (u + du, v + 0.3125),
with u = col / 1024 - 1 (the -1 is absorbed by the repeat wrap). Digits and
punctuation sit in the band v = 0.42, letters in the band v = 0.715. The
columns (and 'L' standing before 'K') are fixed by the drawing code, so the
picture is made to match them.
"""

TEXTURE_W, TEXTURE_H = 1024, 128
GLYPH_DV = 0.3125
DIGIT_V = 0.42
LETTER_V = 0.715
FALLBACK = (0, 0.7)           # column, v of the glyph every other character uses

DIGITS = [
    ("0", 0), ("1", 20), ("2", 37), ("3", 58), ("4", 80), ("5", 101),
    ("6", 122), ("7", 144), ("8", 165), ("9", 187), ("!", 204), ("@", 223),
    ("#", 243), ("$", 262), ("%", 285), ("^", 311), ("&", 330), ("*", 352),
    ("(", 369), (")", 385), ("-", 398), ("+", 411), ("_", 427), ("[", 447),
    ("]", 464), ('"', 478), ("|", 489), (".", 512), ("'", 532), (",", 553),
]
LETTERS = [
    ("A", 0), ("B", 21), ("C", 43), ("D", 64), ("E", 86), ("F", 107),
    ("G", 128), ("H", 150), ("I", 168), ("J", 186), ("L", 206), ("K", 225),
    ("M", 248), ("N", 275), ("O", 297), ("P", 318), ("Q", 339), ("R", 361),
    ("S", 382), ("T", 403), ("U", 422), ("V", 442), ("W", 465), ("X", 493),
    ("Y", 515), ("Z", 536),
]

# (du, drawn width in pixels) by character; everything else 0.015624 and 16.
WIDE = {
    "%": (0.0224595, 20),
    "M": (0.021483, 20),
    "W": (0.021483, 20),
    "@": (0.0166005, 17),
    "_": (0.0185535, 19),
}
NORMAL = (0.015624, 16)


def width_of(ch):
    return WIDE.get(ch, NORMAL)


def texel_span(col, du):
    """Texel columns [first, last] that the rectangle touches."""
    end = col + du * TEXTURE_W
    last = int(end) if end != int(end) else int(end) - 1
    return col, last
