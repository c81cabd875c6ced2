#!/usr/bin/python3
"""IDB_CAUST0..3: four frames of underwater caustics, 128 x 128 baseline JPEGs.

    /usr/bin/python3 tools/assets/make_caustics.py   ->  data/images/caust0.jpg .. caust3.jpg

Light through a rippled water surface: the surface is a sum of travelling
waves, each ray from a fine grid is bent by the surface slope and lands on
the floor, and the floor's brightness is the number of rays per texel. The
waves have whole-number wave vectors on the 128 x 128 torus (so every frame
tiles) and each advances by exactly one period over the four frames (so
frame 3 leads back into frame 0). Rays that land beyond an edge wrap round.

The intro lays the frames over the rock with modulate-2x blending, where
mid-grey (128) changes nothing: the calm areas sit a little below that and
darken the rock slightly, the bright lines lighten it up to twice.
"""

import numpy as np
from PIL import Image

import asset_common as ac

N = 128
FRAMES = 4
SS = 6            # rays per texel along each axis
FOCUS = 1.8       # depth x peak curvature; above 1 the rays cross


def surface_slope(px, py, waves, phase):
    gx = np.zeros_like(px)
    gy = np.zeros_like(py)
    for (kx, ky, amp, phi, speed) in waves:
        wx, wy = 2 * np.pi * kx / N, 2 * np.pi * ky / N
        s = -amp * np.sin(wx * px + wy * py + phi + speed * phase)
        gx += s * wx
        gy += s * wy
    return gx, gy


def periodic_blur(a, sigma):
    fy = np.fft.fftfreq(N)[:, None]
    fx = np.fft.fftfreq(N)[None, :]
    g = np.exp(-2 * (np.pi * sigma) ** 2 * (fx * fx + fy * fy))
    return np.real(np.fft.ifft2(np.fft.fft2(a) * g))


def main():
    rng = np.random.default_rng(77)
    waves = []
    for _ in range(14):
        while True:
            kx, ky = rng.integers(-7, 8, size=2)
            if 2 <= np.hypot(kx, ky) <= 7.5:
                break
        k = np.hypot(kx, ky)
        waves.append((int(kx), int(ky), 1.0 / k ** 2.0, rng.uniform(0, 2 * np.pi),
                      float(rng.choice([-1.0, 1.0]))))
    # Pick the floor's depth from the surface's curvature: rays bent by the
    # tighter crests cross before they land, which draws the bright
    # cusp-and-line network of real caustics rather than soft blobs.
    grid = (np.arange(N * SS) + 0.5) / SS
    py, px = np.meshgrid(grid, grid, indexing="ij")
    lap = sum(amp * (2 * np.pi * np.hypot(kx, ky) / N) ** 2 for (kx, ky, amp, _, _) in waves)
    depth = FOCUS / lap

    for f in range(FRAMES):
        phase = 2 * np.pi * f / FRAMES
        gx, gy = surface_slope(px, py, waves, phase)
        qx = np.floor(px + depth * gx).astype(int) % N
        qy = np.floor(py + depth * gy).astype(int) % N
        count = np.bincount((qy * N + qx).ravel(), minlength=N * N).reshape(N, N)
        light = count / (SS * SS)                             # 1 = even light
        light = periodic_blur(light, 0.5)
        # Soft knee: calm water around 0.78 of neutral, lines up to twice.
        v = 100.0 + 155.0 * (1.0 - np.exp(-0.55 * np.maximum(light - 0.35, 0.0) ** 1.6))
        rgb = np.stack([v * 0.90, v * 1.0, v * 1.04], axis=-1)
        path = ac.out_path(f"caust{f}.jpg")
        Image.fromarray(ac.to_u8(rgb), "RGB").save(
            path, "JPEG", quality=92, progressive=False, subsampling=0, optimize=False)
        ac.report(path)


if __name__ == "__main__":
    main()
