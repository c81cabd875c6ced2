#!/usr/bin/python3
"""IDB_CREDITS: the closing picture, 256 x 256, 8-bit palette BMP.

    /usr/bin/python3 tools/assets/make_credits.py   ->  data/images/credits.bmp

Shown alone, opaque, while the intro fades out: it starts at about twice
its size and recedes into the distance, so it must read both large and
small. A night sky over a receding neon grid, the name in the logo's
chrome colours, and a few lines of our own. Rendered at 4 x and box
filtered, then reduced to 256 colours with error diffusion.
"""

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

import asset_common as ac

N = 256
SS = 4


def background():
    h = N * SS
    y = (np.arange(h, dtype=np.float64) + 0.5) / h
    top = np.array([4, 6, 26], np.float64)
    mid = np.array([44, 14, 74], np.float64)
    horizon = np.array([196, 60, 110], np.float64)
    col = np.where(y[:, None] < 0.62,
                   top + (mid - top) * (y[:, None] / 0.62),
                   horizon + (top - horizon) * np.clip((y[:, None] - 0.62) / 0.38, 0, 1) ** 0.5)
    sky = np.broadcast_to(col[:, None, :], (h, h, 3)).copy()
    # Stars in the sky, a fixed scatter.
    rng = np.random.default_rng(5)
    img = Image.fromarray(ac.to_u8(sky), "RGB")
    d = ImageDraw.Draw(img)
    for _ in range(90):
        x, yy = rng.uniform(0, h), rng.uniform(0, 0.6 * h)
        r = rng.choice([1.5, 2.5, 3.5]) * SS / 2
        b = int(rng.uniform(120, 255))
        d.ellipse((x - r, yy - r, x + r, yy + r), fill=(b, b, min(255, b + 30)))
    # Receding grid below the horizon.
    y0 = int(0.62 * h)
    cx = h / 2
    grid = Image.new("L", (h, h), 0)
    g = ImageDraw.Draw(grid)
    for i in range(-14, 15):
        g.line((cx + i * 10 * SS, y0, cx + i * 70 * SS, h), fill=255, width=SS)
    for j in range(1, 12):
        z = 1.0 / j ** 1.0
        yy = y0 + (h - y0) * (1 - z) ** 1.0
        yy = y0 + (h - y0) * (j / 11.0) ** 2.2
        g.line((0, yy, h, yy), fill=255, width=SS)
    glow = grid.filter(ImageFilter.GaussianBlur(3 * SS))
    sky = np.asarray(img, np.float64)
    gl = np.asarray(grid, np.float64)[..., None] / 255.0
    gw = np.asarray(glow, np.float64)[..., None] / 255.0
    fade = np.clip((np.arange(h)[:, None, None] - y0) / (0.38 * h), 0, 1) ** 0.7
    neon = np.array([255, 90, 200], np.float64)
    sky = sky + (neon * gl * 0.9 + neon * gw * 0.8) * fade
    return np.clip(sky, 0, 255)


def text_layer(lines):
    h = N * SS
    fill = Image.new("L", (h, h), 0)
    outline = Image.new("L", (h, h), 0)
    colours = []
    df, do = ImageDraw.Draw(fill), ImageDraw.Draw(outline)
    for (text, path, size, y, stroke, colour) in lines:
        face = ac.font(path, size * SS)
        w = df.textlength(text, font=face)
        x = (h - w) / 2
        df.text((x, y * SS), text, font=face, fill=255)
        do.text((x, y * SS), text, font=face, fill=255, stroke_width=stroke * SS, stroke_fill=255)
        colours.append((y * SS, (y + size * 1.2) * SS, colour))
    return np.asarray(fill, np.float64) / 255.0, np.asarray(outline, np.float64) / 255.0, colours


def title_colour(h, top, bottom):
    y = np.arange(h, dtype=np.float64)[:, None]
    t = np.clip((y - top) / (bottom - top), 0, 1)
    stops = [(0.0, (255, 255, 255)), (0.25, (150, 200, 255)), (0.49, (30, 70, 170)),
             (0.52, (250, 230, 190)), (0.7, (230, 150, 60)), (1.0, (255, 240, 200))]
    pos = np.array([s[0] for s in stops])
    cols = np.array([s[1] for s in stops], np.float64)
    return np.stack([np.interp(t, pos, cols[:, k]) for k in range(3)], axis=-1)


def main():
    bg = background()
    h = N * SS
    lines = [
        ("QUANDRIX", ac.SANS_BOLD, 38, 14, 3, "title"),
        ("2oo5", ac.SANS_BOLD, 18, 56, 2, (255, 200, 90)),
        ("THANKS FOR WATCHING", ac.SANS_BOLD, 13, 92, 2, (255, 255, 255)),
        ("code  \u00b7  graphics  \u00b7  music", ac.SANS, 11, 114, 2, (170, 220, 255)),
        ("all made from scratch", ac.SANS, 11, 128, 2, (170, 220, 255)),
        ("by the quandrix crew", ac.SANS, 11, 142, 2, (170, 220, 255)),
        ("keep the scene alive!", ac.SANS_BOLD, 12, 226, 2, (255, 255, 255)),
    ]
    out = bg.copy()
    for line in lines:
        fill, outline, spans = text_layer([line])
        top, bottom, colour = spans[0]
        if colour == "title":
            col = np.broadcast_to(title_colour(h, top + 6 * SS, bottom - 8 * SS), (h, h, 3))
        else:
            col = np.array(colour, np.float64)
        shadow = np.roll(np.roll(outline, 2 * SS, 0), 2 * SS, 1)
        out = out * (1 - 0.6 * shadow[..., None])
        out = out * (1 - outline[..., None]) + np.array([10, 6, 30.0]) * outline[..., None]
        out = out * (1 - fill[..., None]) + col * fill[..., None]
    small = out.reshape(N, SS, N, SS, 3).mean(axis=(1, 3))
    idx, pal = ac.quantise(small, 256, dither=True)
    ac.write_palette_bmp(ac.out_path("credits.bmp"), idx, pal)


if __name__ == "__main__":
    main()
