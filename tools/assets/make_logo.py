#!/usr/bin/python3
"""IDB_LOGO: the "QUANDRIX" chrome logo, 1024 x 256, 8-bit palette BMP.

    /usr/bin/python3 tools/assets/make_logo.py   ->  data/images/logo.bmp

Design: slanted, widened DejaVu Sans Bold capitals with a sky-and-ground
chrome gradient, a bevel lit from the upper left, a bright top rim, a dark
navy outline and a soft drop shadow, on the key colour (0, 255, 0).

The intro gives the logo its alpha from the colour: pure green is cut out,
dark colours (R + G + B = s <= 60) get alpha 4.5 s, everything else 225. So
the outline and the shadow are one dark navy hue scaled towards black: the
outline colour sums to exactly 50 (alpha 225, like the body) and every
anti-aliased edge or shadow pixel sums to less, fading out with its
coverage. The bright colours of the body all sum to 61 or more, and no
colour sums to 57..60, where the alpha would not fit a byte.

Only part of the picture reaches the screen (the quad is wider and taller
than the view): columns of about 200 to 825 and the lower 209 rows. The
lettering stays inside that window.
"""

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

import asset_common as ac

W, H = 1024, 256
SS = 4                      # supersampling factor
KEY = (0, 255, 0)
OUTLINE = np.array([9.0, 13.0, 28.0])   # sums to 50: alpha 225 at full cover
SHADOW_OPACITY = 0.55
TEXT = "QUANDRIX"
# Safe window of the picture (top-down rows) that the screen shows.
SAFE_X0, SAFE_X1 = 214, 810
SAFE_Y0, SAFE_Y1 = 64, 236


def blur(a, radius):
    img = Image.fromarray(np.clip(a * 255.0, 0, 255).astype(np.uint8), "L")
    return np.asarray(img.filter(ImageFilter.GaussianBlur(radius)), np.float64) / 255.0


def render_masks():
    """Glyph fill, outline and shadow coverage at SS x resolution."""
    big = ac.font(ac.SANS_BOLD, 150 * SS)
    spacing = 6 * SS
    # Lay the letters out one by one for an even, slightly open spacing.
    widths = [big.getbbox(ch)[2] - big.getbbox(ch)[0] for ch in TEXT]
    total = sum(widths) + spacing * (len(TEXT) - 1)
    layer_w = total + 200 * SS
    layer_h = 260 * SS
    outline_px = 5 * SS

    fill = Image.new("L", (layer_w, layer_h), 0)
    outline = Image.new("L", (layer_w, layer_h), 0)
    df, do = ImageDraw.Draw(fill), ImageDraw.Draw(outline)
    x = 100 * SS
    top = 40 * SS
    for ch, w in zip(TEXT, widths):
        bx0 = big.getbbox(ch)[0]
        df.text((x - bx0, top), ch, font=big, fill=255)
        do.text((x - bx0, top), ch, font=big, fill=255,
                stroke_width=outline_px, stroke_fill=255)
        x += w + spacing

    fill_a = np.asarray(fill, np.float64) / 255.0
    ys, xs = np.nonzero(fill_a > 0.5)
    cap_top, cap_bottom = ys.min(), ys.max()
    text_left, text_right = xs.min(), xs.max()

    # Slant (shear about the baseline) and widen to fit the safe window.
    slant = 0.18
    target_w = (SAFE_X1 - SAFE_X0 - 2 * 6) * SS
    target_h = (SAFE_Y1 - SAFE_Y0 - 2 * 14) * SS
    src_w = (text_right - text_left) + slant * (cap_bottom - cap_top)
    sx = target_w / src_w
    sy = target_h / (cap_bottom - cap_top)
    # Output pixel (u, v) samples source (x, y): v = (y - cap_top) * sy + oy,
    # u = (x - text_left + slant * (cap_bottom - y)) * sx + ox.
    ox = (SAFE_X0 + 6) * SS
    oy = (SAFE_Y0 + 14) * SS

    def place(img):
        # inverse map: y = (v - oy)/sy + cap_top; x = (u - ox)/sx + text_left - slant*(cap_bottom - y)
        a = 1.0 / sx
        d = 1.0 / sy
        c_y = cap_top - oy / sy
        # x = a*u + b*v + c with b = slant*d, c = text_left - ox*a - slant*cap_bottom + slant*c_y
        b = slant * d
        c = text_left - ox * a - slant * cap_bottom + slant * c_y
        return np.asarray(img.transform((W * SS, H * SS), Image.AFFINE,
                                        (a, b, c, 0.0, d, c_y), resample=Image.BICUBIC),
                          np.float64) / 255.0

    fill_p = np.clip(place(fill), 0, 1)
    outline_p = np.clip(place(outline), 0, 1)
    outline_p = np.maximum(outline_p, fill_p)
    shadow = np.roll(np.roll(outline_p, 9 * SS, axis=0), 7 * SS, axis=1)
    shadow = blur(shadow, 3 * SS) * SHADOW_OPACITY
    return fill_p, outline_p, shadow, (oy, oy + target_h)


def chrome(fill, band):
    """Colour of the body at SS x resolution."""
    hh, ww = fill.shape
    y0, y1 = band
    t = (np.arange(hh, dtype=np.float64)[:, None] - y0) / (y1 - y0)   # 0 top .. 1 bottom
    t = np.broadcast_to(t, fill.shape)

    # Sky above the horizon, warm ground below: the classic chrome ramp.
    stops = [
        (0.00, (255, 255, 255)),
        (0.12, (214, 236, 255)),
        (0.34, (112, 168, 236)),
        (0.49, (30, 62, 160)),
        (0.505, (22, 26, 70)),
        (0.52, (70, 36, 48)),
        (0.535, (250, 226, 190)),
        (0.56, (176, 92, 44)),
        (0.75, (238, 170, 80)),
        (0.92, (255, 232, 168)),
        (1.00, (255, 250, 228)),
    ]
    pos = np.array([s[0] for s in stops])
    cols = np.array([s[1] for s in stops], np.float64)
    tc = np.clip(t, 0, 1)
    rgb = np.stack([np.interp(tc, pos, cols[:, k]) for k in range(3)], axis=-1)

    # Bevel: height from the blurred glyph, lit from the upper left.
    height = blur(fill, 5 * SS)
    gy, gx = np.gradient(height)
    gx *= 28.0 * SS
    gy *= 28.0 * SS
    nz = 1.0 / np.sqrt(1.0 + gx * gx + gy * gy)
    nx, ny = -gx * nz, -gy * nz
    light = np.array([-0.55, -0.65, 0.52])
    light /= np.linalg.norm(light)
    lambert = nx * light[0] + ny * light[1] + nz * light[2]
    shade = np.clip(0.55 + 0.6 * lambert, 0.35, 1.35)
    rgb = rgb * shade[..., None]
    specular = np.clip(lambert, 0, 1) ** 18
    rgb = rgb + 255.0 * 0.65 * specular[..., None]

    # A thin bright rim along the upper edges of the strokes.
    inner = blur(fill, 1.2 * SS)
    rim = np.clip((np.roll(inner, 2 * SS, axis=0) - inner) * 3.0, 0, 1) * fill
    rgb = rgb + rim[..., None] * np.array([120.0, 120.0, 110.0])
    return np.clip(rgb, 0, 255)


def sparkle(rgb, cover, cx, cy, size):
    """A four-pointed glint centred on (cx, cy) at 1x resolution."""
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float64)
    dx, dy = np.abs(xx - cx), np.abs(yy - cy)
    star = np.exp(-(dx * dy) / 1.5) * np.exp(-np.maximum(dx, dy) / (size * 0.5))
    star += np.exp(-(dx * dx + dy * dy) / (size * 0.25) ** 2)
    star = np.clip(star, 0, 1)
    star[star < 0.12] = 0.0
    return rgb + star[..., None] * (255.0 - rgb), star


def main():
    fill, outline, shadow, band = render_masks()
    body = chrome(fill, band)
    # Body over outline, at SS x, then box-filtered down to 1 x.
    colour = body * fill[..., None] + OUTLINE * (1.0 - fill[..., None])
    colour *= outline[..., None]  # premultiplied by the logo's own coverage

    def down(a):
        if a.ndim == 2:
            return a.reshape(H, SS, W, SS).mean(axis=(1, 3))
        return a.reshape(H, SS, W, SS, a.shape[2]).mean(axis=(1, 3))

    m = down(fill)
    o = down(outline)
    sh = down(shadow)
    c = down(colour)

    glint = np.zeros((H, W))
    # Glints on a few letter corners, fixed positions relative to the safe window.
    for (fx, fy, size) in [(0.075, 0.12, 22.0), (0.545, 0.1, 16.0), (0.962, 0.74, 18.0)]:
        cx = SAFE_X0 + fx * (SAFE_X1 - SAFE_X0)
        cy = SAFE_Y0 + fy * (SAFE_Y1 - SAFE_Y0)
        c, star = sparkle(c, o, cx, cy, size)
        glint = np.maximum(glint, star)

    # Dark zone: outline and shadow only, one navy hue scaled by coverage
    # (outline over shadow, both premultiplied towards black).
    k = o + (1.0 - o) * sh          # 0..1, share of the full outline colour
    bright = (m > 0.03) | (glint > 0.0)
    dark_sum = np.rint(k * 50.0).astype(int)   # target R+G+B of a dark texel, 0..50

    # Palette: 0 = key green, 1..51 = navy ramp with R+G+B = 0..50 exactly,
    # the rest the body's colours.
    palette = [KEY]
    for s in range(51):
        base = OUTLINE * (s / 50.0)
        r, g = int(np.floor(base[0])), int(np.floor(base[1]))
        b = s - r - g
        palette.append((r, g, b))
    ramp_base = 1

    body_pixels = c[bright]
    n_body = 256 - len(palette)
    strip = body_pixels.reshape(1, -1, 3)
    idx, body_pal = ac.quantise(strip, n_body, dither=True)
    # Keep every body colour clear of the dark band (and never pure green).
    fixed = []
    for (r, g, b) in body_pal:
        r, g, b = int(r), int(g), int(b)
        while r + g + b < 61:
            r, g, b = min(r + 1, 255), min(g + 1, 255), min(b + 1, 255)
        if r == 0 and b == 0:
            b = 1
        fixed.append((r, g, b))
    palette += fixed

    out = np.zeros((H, W), np.uint8)                    # key green
    dark = (~bright) & (dark_sum > 0)
    out[dark] = (ramp_base + dark_sum[dark]).astype(np.uint8)
    out[bright] = (ramp_base + 51 + idx.reshape(-1)).astype(np.uint8)

    pal = np.array(palette)
    sums = pal.sum(axis=1)[out]
    assert not np.any((sums >= 57) & (sums <= 60)), "colour in the 57..60 band"
    ac.write_palette_bmp(ac.out_path("logo.bmp"), out, palette)


if __name__ == "__main__":
    main()
