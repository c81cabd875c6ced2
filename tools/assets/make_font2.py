#!/usr/bin/python3
"""IDB_FONT2: the page font, 1024 x 128, 8-bit palette BMP.

    /usr/bin/python3 tools/assets/make_font2.py   ->  data/images/font2.bmp

Gold capitals with a dark brown outline (DejaVu Sans Bold shapes), each
placed exactly inside the rectangle that glyph_table.py gives it. A glyph
rectangle is 40 texel rows tall but is drawn 24 pixels high, so the glyphs
are drawn in screen proportions and stretched by 40/24 vertically here.

The intro keys the font on black: every texel that is not exactly black is
opaque. So the background is (0, 0, 0), the glyphs never use black, and the
outline ends in a hard edge (anti-aliasing would only make a dark fringe
opaque).

Placement rules (checked by the tests):
  * digits and punctuation keep their ink in texel rows 56..88, letters in
    rows 94..126: the two bands' rectangles overlap in rows 91.5..93.8, and
    the fallback rectangle (column 0, rows 89.6..129.6) then holds the
    whole 'A' and nothing else;
  * where two rectangles of a band overlap (')' '-' '+', ']' '"' '|'), the
    ink of each stays out of the shared columns, one texel clear.
"""

import numpy as np
from PIL import Image, ImageDraw

import asset_common as ac
import glyph_table as gt

SS = 8                      # supersampling in screen pixels
ROWS_PER_PIXEL = 40.0 / 24.0
BANDS = {"digits": (56, 89), "letters": (94, 127)}   # ink rows [first, end)
BASELINE_ROWS = 5           # rows between the band's first row and the baseline
OUTLINE_PX = 1.15           # outline width in screen pixels
EM_PX = 21.0                # font size in screen pixels

TOP = np.array([255, 252, 224], np.float64)
MID = np.array([255, 204, 64], np.float64)
BOTTOM = np.array([214, 92, 18], np.float64)
OUTLINE = np.array([58, 24, 6], np.float64)


def allowed_columns(entries, index):
    """The texel columns of glyph index that no other rectangle of its band
    touches, less one texel on each side."""
    ch, col = entries[index]
    first, last = gt.texel_span(col, gt.width_of(ch)[0])
    cols = set(range(first, last + 1))
    for j, (other, ocol) in enumerate(entries):
        if j == index:
            continue
        of, ol = gt.texel_span(ocol, gt.width_of(other)[0])
        cols -= set(range(of, ol + 1))
    lo, hi = min(cols), max(cols)
    assert hi - lo + 1 == len(cols), f"{ch}: exclusive columns not contiguous"
    return lo + 1, hi - 1, first, last


def render_glyph(ch, ink_w_px, band_rows, face):
    """Fill and outline coverage of one glyph, in screen pixels x SS,
    ink_w_px wide and as tall as the band."""
    band_px = band_rows / ROWS_PER_PIXEL
    w, h = int(round(ink_w_px * SS)), int(round(band_px * SS))
    baseline = h - BASELINE_ROWS / ROWS_PER_PIXEL * SS
    stroke = int(round(OUTLINE_PX * SS))
    big = Image.new("L", (w * 4, h * 2), 0)
    draw = ImageDraw.Draw(big)
    ascent = face.getmetrics()[0]
    # Draw at a known baseline on a wide scratch canvas, then fit.
    ox, oy = w, int(h * 1.5 - ascent)
    draw.text((ox, oy), ch, font=face, fill=255)
    outline = Image.new("L", big.size, 0)
    ImageDraw.Draw(outline).text((ox, oy), ch, font=face, fill=255,
                                 stroke_width=stroke, stroke_fill=255)
    bbox = outline.getbbox()
    base_y = oy + ascent
    x0, y0, x1, y1 = bbox
    # Horizontal fit: squeeze glyphs wider than their slot, centre the rest.
    gw = x1 - x0
    sx = min(1.0, w / gw)
    cx = (x0 + x1) / 2.0
    # Vertical fit, about the baseline: a glyph taller than the band above
    # the baseline is scaled down as a whole; what then still hangs below
    # the baseline room (J, Q, commas, brackets) is squeezed into it, so
    # every capital keeps the same height and baseline.
    above = base_y - y0
    sy = min(1.0, baseline / above) if above > 0 else 1.0
    below = (y1 - base_y) * sy
    room = h - baseline
    squeeze = min(1.0, room / below) if below > 0 else 1.0

    def fit(img):
        # Columns first: output u <- source x = cx + (u - w/2) / sx.
        a = 1.0 / sx
        cols = img.transform((w, img.size[1]), Image.AFFINE,
                             (a, 0.0, cx - (w / 2.0) * a, 0.0, 1.0, 0.0),
                             resample=Image.BICUBIC)
        src = np.asarray(cols, np.float64)
        v = np.arange(h, dtype=np.float64) + 0.5
        d = (v - baseline) / sy                      # source rows from the baseline
        d = np.where(d > 0, d / squeeze, d)
        y = np.clip(base_y + d - 0.5, 0, src.shape[0] - 1)
        y0i = np.floor(y).astype(int)
        y1i = np.minimum(y0i + 1, src.shape[0] - 1)
        t = (y - y0i)[:, None]
        out = src[y0i] * (1 - t) + src[y1i] * t
        return Image.fromarray(np.clip(out, 0, 255).astype(np.uint8), "L")

    return fit(big), fit(outline)


def shade(fill, outline, ink_w, band_rows):
    """Box-filters to texels and colours the glyph; returns RGB and a mask."""
    f = np.asarray(fill.resize((ink_w, band_rows), Image.BOX), np.float64) / 255.0
    o = np.asarray(outline.resize((ink_w, band_rows), Image.BOX), np.float64) / 255.0
    t = np.linspace(0.0, 1.0, band_rows)[:, None, None]    # 0 top .. 1 bottom
    grad = np.where(t < 0.45,
                    TOP + (MID - TOP) * (t / 0.45),
                    MID + (BOTTOM - MID) * ((t - 0.45) / 0.55))
    grad = np.broadcast_to(grad, (band_rows, ink_w, 3))
    rgb = grad * f[..., None] + OUTLINE * (1.0 - f[..., None])
    mask = o > 0.4
    return rgb, mask


def main():
    face = ac.font(ac.SANS_BOLD, int(EM_PX * SS))
    rgb = np.zeros((gt.TEXTURE_H, gt.TEXTURE_W, 3), np.float64)   # row 0 = t 0
    mask = np.zeros((gt.TEXTURE_H, gt.TEXTURE_W), bool)
    for band, entries in (("digits", gt.DIGITS), ("letters", gt.LETTERS)):
        r0, r1 = BANDS[band]
        band_rows = r1 - r0
        for i, (ch, col) in enumerate(entries):
            lo, hi, first, last = allowed_columns(entries, i)
            du, wpx = gt.width_of(ch)
            px_per_texel = wpx / (du * gt.TEXTURE_W)
            ink_w = hi - lo + 1
            fill, outline = render_glyph(ch, ink_w * px_per_texel, band_rows, face)
            g_rgb, g_mask = shade(fill, outline, ink_w, band_rows)
            # The rendering is top-down; texture rows run bottom to top.
            g_rgb, g_mask = g_rgb[::-1], g_mask[::-1]
            rgb[r0:r1, lo:hi + 1][g_mask] = g_rgb[g_mask]
            mask[r0:r1, lo:hi + 1] |= g_mask

    ink = rgb[mask]
    idx, pal = ac.quantise(ink.reshape(1, -1, 3), 255, dither=False)
    palette = [(0, 0, 0)]
    for (r, g, b) in pal:
        palette.append((max(int(r), 1), int(g), int(b)))   # never black
    out = np.zeros(mask.shape, np.uint8)
    out[mask] = idx.reshape(-1) + 1
    ac.write_palette_bmp(ac.out_path("font2.bmp"), out[::-1], palette)  # top-down rows


if __name__ == "__main__":
    main()
