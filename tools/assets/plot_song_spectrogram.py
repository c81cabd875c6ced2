#!/usr/bin/python3
"""Draws docs/song_spectrogram.png: a spectrogram of one pass of the song as
quandrix-xmrender renders it (sox), with the sections and patterns marked.

    /usr/bin/python3 tools/assets/plot_song_spectrogram.py \\
        --xmrender build/default/tools/xmrender/quandrix-xmrender

It renders data/music/glasstube.xm, runs
    sox PASS.wav -n remix 1,2 rate 22050 spectrogram -x 1560 -y 400 -z 85 -r -o RAW.png
on one pass (0 to 11 kHz, 85 dB of range), and frames the picture with
Pillow: a time axis, frequency lines and the arrangement above it.
"""

import argparse
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import asset_common  # noqa: E402
import make_song_xm  # noqa: E402

ROOT = asset_common.ROOT
SONG = os.path.join(ROOT, "data", "music", "glasstube.xm")
OUT = os.path.join(ROOT, "docs", "song_spectrogram.png")
WIDTH, HEIGHT, TOP_HZ = 1560, 400, 11025
ROW_SECONDS = 3 * (5 * 44100 // (2 * 160)) / 44100   # speed 3 at BPM 160: 2,067 frames

# The arrangement, in order positions: (first, last, section name).
SECTIONS = [(0, 1, "opening"), (2, 5, "main: the hook"), (6, 8, "variation: break and riser"),
            (9, 11, "hook returns"), (12, 12, "turn")]
COLOURS = [(90, 140, 220), (230, 120, 60), (120, 200, 120), (230, 180, 60), (200, 100, 200)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--out", default=OUT)
    args = parser.parse_args()

    score = make_song_xm.parse_score(open(make_song_xm.SCORE, encoding="utf-8").read())
    # Each order position lasts 64 played rows (pattern 7's 48 rows loop 16).
    starts = [64 * i * ROW_SECONDS for i in range(len(score.order) + 1)]
    seconds = starts[-1]
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "pass.wav")
        raw = os.path.join(tmp, "raw.png")
        subprocess.run([args.xmrender, SONG, wav, "--seconds", f"{seconds:.6f}"], check=True)
        subprocess.run(["sox", wav, "-n", "remix", "1,2", "rate", "22050", "spectrogram", "-x", str(WIDTH),
                        "-y", str(HEIGHT), "-z", "85", "-r", "-o", raw], check=True)
        spectrum = Image.open(raw).convert("RGB")

    left, top, bottom, right = 56, 64, 34, 16
    sw, sh = spectrum.size
    image = Image.new("RGB", (left + sw + right, top + sh + bottom), (16, 16, 20))
    image.paste(spectrum, (left, top))
    draw = ImageDraw.Draw(image)
    label = asset_common.font(asset_common.SANS, 13)
    small = asset_common.font(asset_common.SANS, 11)

    def x_of(t):
        return left + int(round(t / seconds * sw))

    for hz in (1000, 2000, 5000, 10000):
        y = top + sh - int(round(hz / TOP_HZ * sh))
        draw.line([(left - 4, y), (left + sw, y)], fill=(70, 70, 80))
        draw.text((4, y - 7), f"{hz // 1000} kHz", font=small, fill=(200, 200, 200))
    for t in range(0, int(seconds) + 1, 5):
        x = x_of(t)
        draw.line([(x, top + sh), (x, top + sh + 5)], fill=(200, 200, 200))
        draw.text((x - 8, top + sh + 8), f"{t} s", font=small, fill=(200, 200, 200))
    for i, p in enumerate(score.order):
        x = x_of(starts[i])
        draw.line([(x, top - 18), (x, top + sh)], fill=(255, 255, 255) if i else (16, 16, 20), width=1)
        draw.text((x + 3, top - 17), f"{p}", font=small, fill=(220, 220, 220))
    for (first, last, name), colour in zip(SECTIONS, COLOURS):
        x0, x1 = x_of(starts[first]), x_of(starts[last + 1])
        draw.rectangle([x0 + 1, 8, x1 - 1, 40], fill=colour)
        draw.text((x0 + 6, 16), name, font=label, fill=(10, 10, 10))
    os.makedirs(os.path.dirname(args.out), exist_ok=True)
    temp = args.out + ".tmp.png"
    # 96 colours keep the picture small in the repository and look the same.
    image.quantize(colors=96, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE).save(temp, optimize=True)
    os.replace(temp, args.out)
    asset_common.report(args.out)


if __name__ == "__main__":
    main()
