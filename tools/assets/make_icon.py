#!/usr/bin/python3
"""The application icon: a chrome "Q" on a dark rounded tile.

    /usr/bin/python3 tools/assets/make_icon.py
        ->  data/images/icon.bmp      64 x 64, 32-bit BGRA with alpha
                                      (BITMAPV4 header, bit-field masks),
                                      the window icon, readable by
                                      SDL_LoadBMP and by stb_image
        ->  data/images/quandrix.ico  16, 24, 32, 48, 64, 128 and 256 pixels,
                                      for a Windows resource script

Drawn once at 512 x 512 and box filtered down to each size.
"""

import struct

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

import asset_common as ac

BIG = 512


def draw():
    tile = Image.new("L", (BIG, BIG), 0)
    ImageDraw.Draw(tile).rounded_rectangle((16, 16, BIG - 16, BIG - 16), radius=96, fill=255)
    t = np.asarray(tile, np.float64) / 255.0
    y = np.linspace(0, 1, BIG)[:, None]
    bg = np.array([16, 20, 58.0]) * (1 - y[..., None]) + np.array([60, 18, 84.0]) * y[..., None]
    bg = np.broadcast_to(bg, (BIG, BIG, 3)).copy()
    # Rim light on the tile.
    rim = t - np.asarray(tile.filter(ImageFilter.GaussianBlur(10)), np.float64) / 255.0
    bg += np.clip(rim, 0, 1)[..., None] * np.array([120, 160, 255.0]) * 2

    face = ac.font(ac.SANS_BOLD, 440)
    fill = Image.new("L", (BIG, BIG), 0)
    outline = Image.new("L", (BIG, BIG), 0)
    box = face.getbbox("Q")
    x = (BIG - (box[2] - box[0])) / 2 - box[0]
    yq = (BIG - (box[3] - box[1])) / 2 - box[1] - 6
    ImageDraw.Draw(fill).text((x, yq), "Q", font=face, fill=255)
    ImageDraw.Draw(outline).text((x, yq), "Q", font=face, fill=255, stroke_width=16, stroke_fill=255)
    f = np.asarray(fill, np.float64) / 255.0
    o = np.asarray(outline, np.float64) / 255.0
    ys, _ = np.nonzero(f > 0.5)
    top, bottom = ys.min(), ys.max()
    tt = np.clip((np.arange(BIG)[:, None] - top) / (bottom - top), 0, 1)
    stops = [(0.0, (255, 255, 255)), (0.3, (140, 190, 250)), (0.5, (30, 70, 170)),
             (0.53, (250, 230, 190)), (0.75, (235, 150, 60)), (1.0, (255, 240, 200))]
    pos = np.array([s[0] for s in stops])
    cols = np.array([s[1] for s in stops], np.float64)
    chrome = np.stack([np.interp(tt, pos, cols[:, k]) for k in range(3)], axis=-1)
    chrome = np.broadcast_to(chrome, (BIG, BIG, 3))
    rgb = bg * (1 - o[..., None]) + np.array([6, 8, 20.0]) * o[..., None]
    rgb = rgb * (1 - f[..., None]) + chrome * f[..., None]
    alpha = np.maximum(t, o)
    rgba = np.dstack([np.clip(rgb, 0, 255), alpha * 255])
    return rgba


def down(rgba, size):
    # Premultiply before filtering so the transparent corners stay clean.
    a = rgba[..., 3:] / 255.0
    pre = np.dstack([rgba[..., :3] * a, rgba[..., 3:]])
    img = Image.fromarray(ac.to_u8(pre), "RGBA").resize((size, size), Image.BOX)
    p = np.asarray(img, np.float64)
    a = p[..., 3:] / 255.0
    rgb = np.where(a > 0, p[..., :3] / np.maximum(a, 1e-6), 0)
    return ac.to_u8(np.dstack([np.clip(rgb, 0, 255), p[..., 3:]]))


def write_bgra_bmp(path, rgba):
    h, w, _ = rgba.shape
    pixels = rgba[::-1][..., [2, 1, 0, 3]].tobytes()           # bottom-up BGRA
    info = struct.pack("<IiiHHIIiiII", 108, w, h, 1, 32, 3, len(pixels), 2835, 2835, 0, 0)
    masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    cs = struct.pack("<I", 0x73524742) + b"\0" * 36 + b"\0" * 12   # 'sRGB', endpoints, gamma
    header = info + masks + cs
    assert len(header) == 108
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(header + pixels)
    ac.report(path)


def main():
    art = draw()
    write_bgra_bmp(ac.out_path("icon.bmp"), down(art, 64))
    sizes = [16, 24, 32, 48, 64, 128, 256]
    ico = ac.out_path("quandrix.ico")
    Image.fromarray(down(art, 256), "RGBA").save(ico, sizes=[(s, s) for s in sizes])
    ac.report(ico)


if __name__ == "__main__":
    main()
