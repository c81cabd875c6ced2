#!/usr/bin/python3
"""The point cloud's eight point sets, as C++ data.

    /usr/bin/python3 tools/assets/make_point_sets.py   ->  data/point_sets.cpp
    /usr/bin/python3 tools/assets/make_point_sets.py --out FILE   (elsewhere)
    /usr/bin/python3 tools/assets/make_point_sets.py --preview DIR
        also writes DIR/point_set_N.png, a front view of every set

The cloud visits the sets in index order. Even indices are flat outline
lettering: a word in DejaVu Sans Bold, rendered large, traced along the
0.5 iso-line of its coverage (marching squares) and sampled at equal
arc-length spacing, so the points run around every letter's outline and
the faint line the cloud draws through them in index order follows the
outlines too; contours come left to right, each starting at its leftmost
point. Odd indices are three-dimensional curves of our own, sampled the
same way. Every set is then stretched so that its extents are exactly the
ones the cloud is tuned for (x -0.5..0.5, the y and z half-ranges below),
and written as float literals that read back bit-exactly.

Counts, scales and size factors are fixed; the letter spacing of each word
is chosen so that the word's own aspect ratio already fits its box, so the
final stretch is small and the letters keep their proportions.
"""

import argparse
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

import asset_common as ac

OUT = "data/point_sets.cpp"

FLAT_SCALE, FLAT_SIZE = 9.0, 0.4
SOLID_SCALE, SOLID_SIZE = 7.0, 1.0

# index: (points, y half-range, z half-range, what)
SETS = [
    (1549, 0.068, 0.0, ("word", "QUANDRIX")),
    (1047, 0.500, 0.313, ("solid", "yarn")),
    (2008, 0.058, 0.0, ("word", "GREETINGS")),
    (1201, 0.499, 0.066, ("solid", "flower")),
    (1787, 0.061, 0.0, ("word", "REALTIME")),
    (2080, 0.495, 0.007, ("solid", "galaxy")),
    (1646, 0.068, 0.0, ("word", "NO LIMITS")),
    (1726, 0.500, 0.119, ("solid", "knot")),
]

FONT_PX = 320          # rendering size; the cap height is about 235 pixels
PAD = 16               # blank border so every contour closes
LEVEL = 0.5            # coverage iso-line that is the outline
MIN_TRACKING = -0.04   # em; letters never touch below this


# ---------------------------------------------------------------------------
# Lettering
# ---------------------------------------------------------------------------

def render_word(word, tracking_px):
    """Coverage image (float 0..1, row 0 at the top) of the word, letters
    placed by their advance widths plus tracking_px between neighbours."""
    font = ac.font(ac.SANS_BOLD, FONT_PX)
    xs, x = [], 0.0
    for ch in word:
        xs.append(x)
        x += font.getlength(ch) + tracking_px
    width = int(math.ceil(x)) + 2 * PAD + FONT_PX
    height = FONT_PX + 2 * PAD + FONT_PX // 2
    img = Image.new("L", (width, height), 0)
    draw = ImageDraw.Draw(img)
    for ch, cx in zip(word, xs):
        draw.text((PAD + cx, PAD), ch, fill=255, font=font)
    a = np.asarray(img, np.float64) / 255.0
    rows = np.nonzero(a.max(axis=1) > 0)[0]
    cols = np.nonzero(a.max(axis=0) > 0)[0]
    # Crop to the ink with a blank border again.
    a = a[rows[0] - PAD // 2: rows[-1] + PAD // 2 + 1, cols[0] - PAD // 2: cols[-1] + PAD // 2 + 1]
    return a


def ink_aspect(word, tracking_px):
    a = render_word(word, tracking_px)
    ink = a > LEVEL
    rows = np.nonzero(ink.any(axis=1))[0]
    cols = np.nonzero(ink.any(axis=0))[0]
    return (cols[-1] - cols[0] + 1) / (rows[-1] - rows[0] + 1)


def tracking_for(word, aspect):
    """Letter spacing (pixels) that gives the word the wanted ink aspect;
    the aspect grows linearly with the spacing, so two trials suffice."""
    lo = MIN_TRACKING * FONT_PX
    a0, a1 = ink_aspect(word, 0.0), ink_aspect(word, 40.0)
    t = (aspect - a0) * 40.0 / (a1 - a0)
    return max(lo, round(t, 1))


def marching_squares(a):
    """Closed iso-lines of `a` at LEVEL as lists of (x, y) in pixels, x to
    the right and y down. Each crossed cell edge is a node of degree two,
    so the segments link up into disjoint loops."""
    inside = a > LEVEL
    tl, tr = inside[:-1, :-1], inside[:-1, 1:]
    bl, br = inside[1:, :-1], inside[1:, 1:]
    mixed = ~((tl == tr) & (tr == bl) & (bl == br))
    cells = np.argwhere(mixed)

    def h_point(i, j):  # crossing on the edge from (i, j) to (i, j + 1)
        v0, v1 = a[i, j], a[i, j + 1]
        return (j + (LEVEL - v0) / (v1 - v0), float(i))

    def v_point(i, j):  # crossing on the edge from (i, j) to (i + 1, j)
        v0, v1 = a[i, j], a[i + 1, j]
        return (float(j), i + (LEVEL - v0) / (v1 - v0))

    links = {}

    def link(e0, e1):
        links.setdefault(e0, []).append(e1)
        links.setdefault(e1, []).append(e0)

    for i, j in cells:
        i, j = int(i), int(j)
        c_tl, c_tr, c_bl, c_br = inside[i, j], inside[i, j + 1], inside[i + 1, j], inside[i + 1, j + 1]
        top, bottom = ("h", i, j), ("h", i + 1, j)
        left, right = ("v", i, j), ("v", i, j + 1)
        crossed = []
        if c_tl != c_tr:
            crossed.append(top)
        if c_tr != c_br:
            crossed.append(right)
        if c_br != c_bl:
            crossed.append(bottom)
        if c_bl != c_tl:
            crossed.append(left)
        if len(crossed) == 2:
            link(*crossed)
            continue
        # Saddle: the centre decides which diagonal pair is joined.
        centre = (a[i, j] + a[i, j + 1] + a[i + 1, j] + a[i + 1, j + 1]) / 4 > LEVEL
        if centre == c_tl:
            link(top, right)     # the tr and bl corners are cut off
            link(bottom, left)
        else:
            link(top, left)      # the tl and br corners are cut off
            link(right, bottom)

    def point(e):
        return h_point(e[1], e[2]) if e[0] == "h" else v_point(e[1], e[2])

    loops, seen = [], set()
    for start in sorted(links):
        if start in seen:
            continue
        loop, prev, cur = [], None, start
        while True:
            seen.add(cur)
            loop.append(point(cur))
            a0, a1 = links[cur]
            nxt = a1 if a0 == prev else a0
            prev, cur = cur, nxt
            if cur == start:
                break
        loops.append(np.array(loop, np.float64))
    return loops


def signed_area(p):
    x, y = p[:, 0], p[:, 1]
    return 0.5 * float(np.sum(x * np.roll(y, -1) - np.roll(x, -1) * y))


def resample_closed(p, n, start_index):
    """n points at equal arc length around the closed polyline p, the first
    at vertex start_index."""
    p = np.roll(p, -start_index, axis=0)
    q = np.vstack([p, p[:1]])
    seg = np.hypot(*np.diff(q, axis=0).T)
    s = np.concatenate([[0.0], np.cumsum(seg)])
    t = np.arange(n) * (s[-1] / n)
    return np.column_stack([np.interp(t, s, q[:, 0]), np.interp(t, s, q[:, 1])])


def split_counts(lengths, total):
    """Integer counts proportional to the lengths, summing to total (largest
    remainder, ties to the earlier entry)."""
    lengths = np.asarray(lengths, np.float64)
    exact = lengths / lengths.sum() * total
    counts = np.floor(exact).astype(int)
    order = sorted(range(len(lengths)), key=lambda k: (-(exact[k] - counts[k]), k))
    for k in order[: total - int(counts.sum())]:
        counts[k] += 1
    return counts


def word_points(word, count, y_half):
    aspect = 1.0 / (2.0 * y_half)
    a = render_word(word, tracking_for(word, aspect))
    loops = [l for l in marching_squares(a) if len(l) >= 8]
    # Every outline runs the same way round (counter-clockwise on screen,
    # holes included), so a morph sweeps all letters alike.
    loops = [l if signed_area(l) < 0 else l[::-1] for l in loops]
    starts = [int(np.lexsort((l[:, 1], l[:, 0]))[0]) for l in loops]
    order = sorted(range(len(loops)), key=lambda k: (loops[k][starts[k], 0], loops[k][starts[k], 1]))
    lengths = [float(np.sum(np.hypot(*np.diff(np.vstack([l, l[:1]]), axis=0).T))) for l in loops]
    counts = split_counts([lengths[k] for k in order], count)
    pts = np.vstack([resample_closed(loops[k], int(c), starts[k]) for k, c in zip(order, counts)])
    xy = np.column_stack([pts[:, 0], -pts[:, 1]])  # y up
    return np.column_stack([xy, np.zeros(len(xy))])


# ---------------------------------------------------------------------------
# Three-dimensional sets: curves sampled at equal arc length
# ---------------------------------------------------------------------------

def sample_curve(f, count, closed, dense=400_000):
    t = np.linspace(0.0, 1.0, dense + 1)
    p = f(t)
    seg = np.linalg.norm(np.diff(p, axis=0), axis=1)
    s = np.concatenate([[0.0], np.cumsum(seg)])
    if closed:
        u = np.arange(count) * (s[-1] / count)
    else:
        u = np.linspace(0.0, s[-1], count)
    return np.column_stack([np.interp(u, s, p[:, k]) for k in range(3)])


def yarn(t):
    """A ball of yarn: a spiral from pole to pole of a flattened sphere,
    the poles on the y axis, with a slow wobble so the turns cross."""
    turns = 19.0
    theta = np.pi * t
    phi = 2 * np.pi * turns * t
    wob = 0.22 * np.sin(2 * np.pi * 3 * t)
    return np.column_stack([np.sin(theta) * np.cos(phi + wob * np.cos(phi)),
                            np.cos(theta),
                            np.sin(theta) * np.sin(phi + wob * np.cos(phi))])


def flower(t):
    """A spirograph flower (a hypotrochoid of 21 loops, rolling circle 8/21
    of the fixed one), cupped: the rim rises out of the plane."""
    r = 8.0 / 21.0
    a = 2 * np.pi * 8 * t
    x = (1 - r) * np.cos(a) + 0.9 * np.cos((1 - r) / r * a)
    y = (1 - r) * np.sin(a) - 0.9 * np.sin((1 - r) / r * a)
    return np.column_stack([x, y, x * x + y * y])


def galaxy(t):
    """A flat two-armed spiral galaxy: each arm is a band of five strands
    that wind out from the core, the strands drawn one after another; a
    faint ripple keeps it just off the plane."""
    strands, arms = 5, 2
    k = np.minimum((t * strands * arms).astype(int), strands * arms - 1)
    u = t * strands * arms - k                       # 0..1 along the strand
    arm, strand = k // strands, k % strands
    u = np.where(strand % 2 == 1, 1.0 - u, u)       # back and forth: short hops
    r = 0.08 + 0.92 * u
    width = 0.16 * (0.3 + u)                         # arms widen outwards
    ang = 2 * np.pi * 1.3 * u + np.pi * arm + (strand - 2) * width / np.maximum(r, 0.2)
    x, y = r * np.cos(ang), r * np.sin(ang)
    z = np.sin(2 * np.pi * 3 * u) * u
    return np.column_stack([x, y, z])


def knot(t):
    """A (5, 23) torus knot on a torus of radii 0.381 and 0.119: a ring
    woven of five strands."""
    big, small = 0.381, 0.119
    phi, psi = 2 * np.pi * 5 * t, 2 * np.pi * 23 * t
    return np.column_stack([(big + small * np.cos(psi)) * np.cos(phi),
                            (big + small * np.cos(psi)) * np.sin(phi),
                            small * np.sin(psi)])


SOLIDS = {"yarn": (yarn, False), "flower": (flower, True), "galaxy": (galaxy, False), "knot": (knot, True)}


# ---------------------------------------------------------------------------
# Extents and output
# ---------------------------------------------------------------------------

def fit(p, y_half, z_half):
    """Stretches the set so that x spans exactly -0.5..0.5, y exactly
    -y_half..y_half and z -z_half..z_half (flat sets stay at z = 0)."""
    out = np.empty_like(p)
    for k, half in ((0, 0.5), (1, y_half), (2, z_half)):
        lo, hi = p[:, k].min(), p[:, k].max()
        if half == 0.0 or hi == lo:
            out[:, k] = 0.0
        else:
            out[:, k] = (p[:, k] - (lo + hi) / 2) * (2 * half / (hi - lo))
    # The ends land on the bounds exactly, not a rounding step beyond them.
    for k, half in ((0, 0.5), (1, y_half), (2, z_half)):
        out[:, k] = np.clip(out[:, k], -half, half)
    # A coordinate that is zero but for the last bits of the sine (numpy's
    # vectorised sine differs in them from one CPU to the next) is zero, so
    # that the file comes out the same on every machine.
    out[np.abs(out) < 1e-9] = 0.0
    return out.astype(np.float32)


def literal(v):
    s = np.format_float_positional(np.float32(v), unique=True, trim="0")
    if s in ("-0.0", "0.0"):
        return "0.0f"
    return s + "f"


def build():
    sets = []
    for count, y_half, z_half, (kind, what) in SETS:
        if kind == "word":
            p = word_points(what, count, y_half)
            scale, size = FLAT_SCALE, FLAT_SIZE
        else:
            f, closed = SOLIDS[what]
            p = sample_curve(f, count, closed)
            scale, size = SOLID_SCALE, SOLID_SIZE
        p = fit(p, y_half, z_half)
        assert len(p) == count
        sets.append((what, scale, size, p))
    return sets


def write_cpp(sets, out):
    lines = [
        "// Generated by tools/assets/make_point_sets.py; do not edit.",
        "// The point cloud's eight sets: outline lettering and curves of our own.",
        '#include "data/point_sets.h"',
        "",
        "namespace data {",
        "namespace {",
        "",
    ]
    for idx, (what, scale, size, p) in enumerate(sets):
        lines.append(f"// {idx}: {what}")
        lines.append(f"constexpr StoredPointShape<{len(p)}> set{idx} = {{{len(p)}, {literal(scale)}, "
                     f"{literal(size)}, {{")
        for x, y, z in p:
            lines.append(f"    {{{literal(x)}, {literal(y)}, {literal(z)}}},")
        lines.append("}};")
        lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    # Constant-initialised, so the scene state may read it while it is
    # initialised itself, whatever the order of the two files.
    lines.append(f"constinit const std::array<PointShape, {len(sets)}> pointShapes = {{")
    for idx in range(len(sets)):
        lines.append(f"    View(set{idx}),")
    lines.append("};")
    lines.append("")
    lines.append("}  // namespace data")
    text = "\n".join(lines) + "\n"
    tmp = out + ".tmp"
    with open(tmp, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    os.replace(tmp, out)
    print(f"wrote {out} ({os.path.getsize(out)} bytes)")


def write_previews(sets, folder):
    """Front views (x right, y up) of each set, points as small dots and
    the index-order line faint, to check legibility by eye."""
    os.makedirs(folder, exist_ok=True)
    for idx, (what, scale, size, p) in enumerate(sets):
        w, h = 1200, 1200 if abs(p[:, 1]).max() > 0.2 else 260
        if h > 260:  # solids seen from above and to the side
            a, b = math.radians(50), math.radians(25)
            p = p.astype(np.float64)
            y = p[:, 1] * math.cos(a) - p[:, 2] * math.sin(a)
            z = p[:, 1] * math.sin(a) + p[:, 2] * math.cos(a)
            x = p[:, 0] * math.cos(b) + z * math.sin(b)
            p = np.column_stack([x, y, z])
        img = Image.new("RGB", (w, h), (0, 0, 0))
        d = ImageDraw.Draw(img)
        sx = (w - 40)
        xy = [(w / 2 + float(x) * sx, h / 2 - float(y) * sx) for x, y, _ in p]
        d.line(xy, fill=(60, 60, 60), width=1)
        for x, y in xy:
            d.ellipse((x - 1.5, y - 1.5, x + 1.5, y + 1.5), fill=(150, 230, 180))
        path = os.path.join(folder, f"point_set_{idx}.png")
        img.save(path)
        print(f"wrote {path}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=OUT, help="where to write the C++ data (default: %(default)s)")
    parser.add_argument("--preview", metavar="DIR", help="also write a front view of every set")
    args = parser.parse_args(argv)
    sets = build()
    write_cpp(sets, ac.output(args.out) if args.out == OUT else args.out)
    if args.preview:
        write_previews(sets, args.preview)


if __name__ == "__main__":
    main(sys.argv[1:])
