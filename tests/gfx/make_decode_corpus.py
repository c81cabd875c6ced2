#!/usr/bin/python3
"""Writes the seed corpus of decode_picture_fuzz into decode_corpus/.

    /usr/bin/python3 tests/gfx/make_decode_corpus.py

Small valid pictures of every kind the decoder meets (palette BMPs of 1, 4
and 8 bits, bottom-up and top-down, 24- and 32-bit BMPs, baseline,
progressive, greyscale and CMYK JPEGs) and broken ones: truncated at
several points, corrupt headers and scans, and headers that claim absurd
sizes. Deterministic; re-run after changing it and commit the folder.
Inputs a fuzz run found are kept beside these as regress_*; this script
leaves them alone.
"""

import io
import os
import struct

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "decode_corpus")
IMAGES = os.path.join(HERE, "..", "..", "data", "images")


def bmp(width, height, bits, palette, indices=None, top_down=False, colours=None, info=40,
        compression=0, pixels=None):
    row = ((width * bits + 31) // 32) * 4
    if pixels is None:
        rows = []
        for i in range(abs(height)):
            y = i if top_down else abs(height) - 1 - i
            line = bytearray(row)
            for x in range(width):
                v = indices[y][x] if indices is not None else (x + y) % max(1, len(palette))
                if bits == 24:
                    line[x * 3:x * 3 + 3] = bytes((v * 40 % 256, v * 90 % 256, v * 20 % 256))
                elif bits == 32:
                    line[x * 4:x * 4 + 4] = bytes((v * 40 % 256, v * 90 % 256, v * 20 % 256, 255))
                else:
                    bit = x * bits
                    line[bit // 8] |= (v << (8 - bits - bit % 8)) & 0xFF
            rows.append(bytes(line))
        pixels = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    n = len(palette) if colours is None else colours
    h = -height if top_down else height
    header = struct.pack("<IiiHHIIiiII", info, width, h, 1, bits, compression, len(pixels), 2835, 2835, n, n)
    if info > 40:
        header += b"\0" * (info - 40)
    offset = 14 + len(header) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + table + pixels


def jpeg(img, **kw):
    b = io.BytesIO()
    img.save(b, "JPEG", **kw)
    return b.getvalue()


def patch_sof(data, width, height):
    d = bytearray(data)
    i = 2
    while i + 9 < len(d):
        marker = d[i + 1]
        length = (d[i + 2] << 8) | d[i + 3]
        if 0xC0 <= marker <= 0xC2:
            d[i + 5:i + 7] = struct.pack(">H", height)
            d[i + 7:i + 9] = struct.pack(">H", width)
            return bytes(d)
        i += 2 + length
    raise ValueError("no SOF")


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = np.random.default_rng(1)
    files = {}
    pal4 = [(0, 255, 0), (10, 20, 30), (200, 100, 50), (255, 255, 255)]
    files["bmp8_small.bmp"] = bmp(5, 3, 8, pal4)
    files["bmp8_topdown.bmp"] = bmp(3, 4, 8, pal4, top_down=True)
    files["bmp4_small.bmp"] = bmp(7, 2, 4, pal4 * 4)
    files["bmp1_small.bmp"] = bmp(17, 2, 1, [(0, 0, 0), (255, 255, 255)])
    files["bmp24_small.bmp"] = bmp(3, 3, 24, [])
    files["bmp32_small.bmp"] = bmp(2, 2, 32, [])
    files["bmp8_stretch_1000x3.bmp"] = bmp(1000, 3, 8, pal4)
    small = files["bmp8_small.bmp"]
    files["bmp8_truncated_header.bmp"] = small[:30]
    files["bmp8_truncated_palette.bmp"] = small[:60]
    files["bmp8_truncated_pixels.bmp"] = small[:-7]
    files["bmp_huge.bmp"] = bmp(100000, 100000, 8, pal4, pixels=b"\x01" * 64)
    files["bmp_wide.bmp"] = bmp(5000, 1, 8, pal4, pixels=b"\x01" * 64)
    files["bmp_many_pixels.bmp"] = bmp(3000, 3000, 8, pal4, pixels=b"\x01" * 64)
    four = bmp(4, 4, 8, pal4)
    files["bmp_min_int_height.bmp"] = four[:22] + struct.pack("<i", -2147483648) + four[26:]
    files["bmp_zero_width.bmp"] = bmp(0, 4, 8, pal4, pixels=b"")
    files["bmp_negative_width.bmp"] = four[:18] + struct.pack("<i", -4) + four[22:]
    files["bmp_palette_overflow.bmp"] = bmp(4, 4, 8, pal4, colours=100000)
    files["bmp_bad_bits.bmp"] = four[:28] + struct.pack("<H", 7) + four[30:]
    files["bmp_rle8.bmp"] = bmp(4, 4, 8, pal4, compression=1, pixels=b"\x04\x01\x00\x00" * 4 + b"\x00\x01")
    files["bmp_v5_header.bmp"] = bmp(4, 4, 8, pal4, info=124)
    files["bmp_offset_past_end.bmp"] = small[:10] + struct.pack("<I", 0x7FFFFFF0) + small[14:]

    grad = np.zeros((24, 40, 3), np.uint8)
    grad[..., 0] = np.linspace(0, 255, 40)[None, :]
    grad[..., 1] = np.linspace(0, 255, 24)[:, None]
    grad[..., 2] = rng.integers(0, 255, (24, 40))
    img = Image.fromarray(grad, "RGB")
    base = jpeg(img, quality=80)
    prog = jpeg(img, quality=80, progressive=True)
    files["jpeg_baseline.jpg"] = base
    files["jpeg_progressive.jpg"] = prog
    files["jpeg_420.jpg"] = jpeg(img, quality=60, subsampling=2)
    files["jpeg_422.jpg"] = jpeg(img, quality=60, subsampling=1)
    files["jpeg_grey.jpg"] = jpeg(img.convert("L"), quality=70)
    files["jpeg_cmyk.jpg"] = jpeg(img.convert("CMYK"), quality=70)
    files["jpeg_restart.jpg"] = jpeg(img, quality=70, restart_marker_blocks=1)
    files["jpeg_odd_size.jpg"] = jpeg(Image.fromarray(grad[:5, :3]), quality=90)
    for cut in (20, len(base) // 2, len(base) - 3):
        files[f"jpeg_baseline_cut{cut}.jpg"] = base[:cut]
    for cut in (len(prog) // 3, len(prog) - 5):
        files[f"jpeg_progressive_cut{cut}.jpg"] = prog[:cut]
    files["jpeg_huge_sof.jpg"] = patch_sof(base, 65535, 65535)
    files["jpeg_wide_sof.jpg"] = patch_sof(base, 60000, 8)
    files["jpeg_zero_height.jpg"] = patch_sof(base, 40, 0)
    files["jpeg_big_sof_prog.jpg"] = patch_sof(prog, 4096, 4096)
    files["jpeg_2048_sof.jpg"] = patch_sof(base, 2048, 2048)   # allowed size, data missing
    corrupt = bytearray(base)
    for i in range(len(corrupt) - 40, len(corrupt) - 10, 3):
        corrupt[i] ^= 0x5A
    files["jpeg_corrupt_scan.jpg"] = bytes(corrupt)
    dht = bytearray(base)
    i = dht.find(b"\xff\xc4")
    dht[i + 5:i + 21] = b"\xff" * 16
    files["jpeg_bad_huffman.jpg"] = bytes(dht)
    files["jpeg_bad_huffman_fill_first.jpg"] = b"\xff" + bytes(dht)
    no_dht = bytearray(base)
    i = no_dht.find(b"\xff\xc4")
    no_dht[i + 1] = 0xE5                        # the tables become an APP5 segment
    files["jpeg_no_huffman_tables.jpg"] = bytes(no_dht)
    files["jpeg_soi_only.jpg"] = b"\xff\xd8"
    files["jpeg_soi_eoi.jpg"] = b"\xff\xd8\xff\xd9"
    with open(os.path.join(IMAGES, "caust0.jpg"), "rb") as f:
        files["shipped_caust0.jpg"] = f.read()
    files["empty"] = b""
    files["bm_only"] = b"BM"
    files["noise.bin"] = rng.integers(0, 256, 300, dtype=np.uint8).tobytes()

    for name in sorted(os.listdir(OUT)):
        if not name.startswith("regress_"):
            os.remove(os.path.join(OUT, name))
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"wrote {len(files)} files to {os.path.relpath(OUT)}")


if __name__ == "__main__":
    main()
