"""Shared helpers for the image generators in this folder.

Every generator is deterministic: fixed seeds, fixed fonts from Debian's
fonts-dejavu-core, and numpy/Pillow only. Run them with Debian's
/usr/bin/python3 (python3-pil, python3-numpy); the build never runs them.
"""

import os
import struct

import numpy as np
from PIL import Image, ImageFont

from asset_paths import ROOT, output

DEJAVU = "/usr/share/fonts/truetype/dejavu"
SANS_BOLD = os.path.join(DEJAVU, "DejaVuSans-Bold.ttf")
SANS = os.path.join(DEJAVU, "DejaVuSans.ttf")
MONO_BOLD = os.path.join(DEJAVU, "DejaVuSansMono-Bold.ttf")


def font(path, size):
    if not os.path.exists(path):
        raise SystemExit(f"missing {path}: apt-get install fonts-dejavu-core")
    return ImageFont.truetype(path, size)


def out_path(name):
    return output(os.path.join("data", "images", name))


def report(path):
    print(f"wrote {path} ({os.path.getsize(path)} bytes)")


def write_palette_bmp(path, indices, palette):
    """Writes an uncompressed bottom-up BMP with a colour table.

    indices: 2-D uint8 array, row 0 is the TOP of the picture.
    palette: list of (r, g, b); 2 entries give a 1-bit file, up to 256 an
    8-bit one. Written by hand so that the header (40-byte info header,
    bit depth, colour count) is exactly what the loader tests expect.
    """
    height, width = indices.shape
    bits = 1 if len(palette) <= 2 else 8
    if bits == 8 and len(palette) > 256:
        raise ValueError("at most 256 colours")
    if int(indices.max()) >= len(palette):
        raise ValueError("pixel index outside the palette")
    row_bytes = ((width * bits + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):  # bottom row first
        line = indices[y]
        if bits == 8:
            data = line.astype(np.uint8).tobytes()
        else:
            data = np.packbits(line.astype(np.uint8) & 1).tobytes()
        rows.append(data + b"\0" * (row_bytes - len(data)))
    pixels = b"".join(rows)
    colours = len(palette)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels),
                       2835, 2835, colours, colours)
    with open(path, "wb") as f:
        f.write(file_header + info + table + pixels)
    report(path)


def periodic_noise(size, beta, seed, lo=1, hi=None):
    """Seamlessly tiling fractal noise: random phases with a 1/f^beta
    amplitude spectrum on the integer frequencies of a size x size torus.
    Returns a float array normalised to zero mean and unit deviation."""
    rng = np.random.default_rng(seed)
    fy = np.fft.fftfreq(size) * size
    fx = np.fft.rfftfreq(size) * size
    f = np.sqrt(fy[:, None] ** 2 + fx[None, :] ** 2)
    amp = np.zeros_like(f)
    band = f >= lo
    if hi is not None:
        band &= f <= hi
    amp[band] = f[band] ** (-beta)
    phase = rng.uniform(0, 2 * np.pi, f.shape)
    spectrum = amp * np.exp(1j * phase)
    field = np.fft.irfft2(spectrum, s=(size, size))
    field -= field.mean()
    field /= field.std() + 1e-12
    return field


def to_u8(a):
    return np.clip(np.rint(a), 0, 255).astype(np.uint8)


def quantise(rgb, colours, dither=True):
    """Quantises an RGB float/uint8 array to a palette with libimagequant
    (Pillow's best quantiser); returns (indices, palette list)."""
    img = Image.fromarray(to_u8(rgb), "RGB")
    q = img.quantize(colors=colours, method=Image.Quantize.LIBIMAGEQUANT,
                     dither=Image.Dither.FLOYDSTEINBERG if dither else Image.Dither.NONE)
    pal = q.getpalette()[: 3 * colours]
    palette = [tuple(pal[i:i + 3]) for i in range(0, len(pal), 3)]
    return np.array(q), palette
