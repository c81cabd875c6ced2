#!/usr/bin/python3
"""IDB_ROCK: a seamlessly tiling rock surface, 256 x 256 progressive JPEG.

    /usr/bin/python3 tools/assets/make_rock.py   ->  data/images/rock.jpg

Everything is built on the 256 x 256 torus, so the picture tiles in both
directions without a seam: fractal noise from random phases on integer
frequencies (periodic by construction), Worley cells measured with
wrap-around distances for the cracked slabs, and derivatives taken with
wrapping differences. The height field is lit from the upper left and
coloured with a weathered sandstone-and-slate ramp. The tube wears it as
its base coat, under the caustics (modulate 2x), so it stays in the middle
of the brightness range. No texel is pure green (the rock's alpha key).
"""

import numpy as np
from PIL import Image

import asset_common as ac

N = 256


def worley(points, size):
    """F1 and F2 distances to the nearest feature points on the torus."""
    yy, xx = np.mgrid[0:size, 0:size].astype(np.float64)
    d = []
    for (px, py) in points:
        dx = np.abs(xx - px)
        dy = np.abs(yy - py)
        dx = np.minimum(dx, size - dx)
        dy = np.minimum(dy, size - dy)
        d.append(np.sqrt(dx * dx + dy * dy))
    d = np.sort(np.stack(d), axis=0)
    return d[0], d[1]


def main():
    rng = np.random.default_rng(2005)
    # Slabs: jittered grid of feature points, so the cells are even in size.
    cells = 6
    pts = []
    for j in range(cells):
        for i in range(cells):
            pts.append(((i + rng.uniform(0.15, 0.85)) * N / cells,
                        (j + rng.uniform(0.15, 0.85)) * N / cells))
    # Warp the lookup a little so that the slab borders are not straight.
    warp_x = ac.periodic_noise(N, 1.6, 11, lo=1, hi=12) * 5.0
    warp_y = ac.periodic_noise(N, 1.6, 12, lo=1, hi=12) * 5.0
    f1, f2 = worley(pts, N)
    yy, xx = np.mgrid[0:N, 0:N]
    wx = (xx + np.rint(warp_x).astype(int)) % N
    wy = (yy + np.rint(warp_y).astype(int)) % N
    edge = (f2 - f1)[wy, wx]
    crack = np.clip(1.0 - edge / 4.0, 0, 1) ** 2           # 1 in the crack
    slab = np.clip(edge / 14.0, 0, 1) ** 0.6                 # domed slabs

    rough = ac.periodic_noise(N, 1.1, 21, lo=2)              # grain
    lumps = ac.periodic_noise(N, 1.8, 22, lo=1, hi=24)       # large relief
    pits = ac.periodic_noise(N, 0.6, 23, lo=30)              # fine pitting
    height = 0.9 * slab + 0.35 * lumps + 0.14 * rough + 0.05 * pits - 0.9 * crack

    # Wrapping central differences keep the shading seamless too.
    gx = (np.roll(height, -1, axis=1) - np.roll(height, 1, axis=1)) * 0.5
    gy = (np.roll(height, -1, axis=0) - np.roll(height, 1, axis=0)) * 0.5
    bump = 9.0
    nx, ny, nz = -gx * bump, -gy * bump, np.ones_like(height)
    norm = np.sqrt(nx * nx + ny * ny + nz * nz)
    light = np.array([-0.5, -0.6, 0.62])
    light /= np.linalg.norm(light)
    lambert = np.clip((nx * light[0] + ny * light[1] + nz * light[2]) / norm, 0, 1)

    # Colour: slate to sandstone by a slow noise, darker in the cracks.
    tint = np.clip(ac.periodic_noise(N, 2.0, 31, lo=1, hi=10) * 0.5 + 0.5, 0, 1)[..., None]
    slate = np.array([92, 96, 104], np.float64)
    sand = np.array([150, 122, 92], np.float64)
    base = slate * (1 - tint) + sand * tint
    speck = ac.periodic_noise(N, 0.2, 41, lo=40)[..., None] * 8.0
    shade = (0.45 + 0.85 * lambert)[..., None]
    ao = (1.0 - 0.55 * crack)[..., None]
    rgb = base * shade * ao + speck
    rgb = np.clip(rgb, 8, 235)
    img = rgb.astype(np.float64)
    img[..., 1] = np.minimum(img[..., 1], 250)                # never the key green
    path = ac.out_path("rock.jpg")
    Image.fromarray(ac.to_u8(img), "RGB").save(
        path, "JPEG", quality=90, progressive=True, subsampling=0, optimize=True)
    ac.report(path)


if __name__ == "__main__":
    main()
