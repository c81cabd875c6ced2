#!/usr/bin/python3
"""The committed assets are exactly what their generators make.

Runs every generator in tools/assets/ (make_*.py; make_all.py only bundles
the picture generators) with QUANDRIX_ASSET_OUT pointing at a temporary
folder, then compares each file they wrote, byte for byte, with the committed
file at the same path. Every committed picture and song under data/ must be
written by some generator: an asset nobody can remake is a failure too.

Usage: check_assets.py [--keep DIR]
Exit code 0 when everything matches, 1 otherwise; a missing package skips
the test outside CI and fails it in CI (tests/support/skip.py).
"""

import argparse
import filecmp
import glob
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import skip  # noqa: E402

# Folders whose every file is a generated asset.
GENERATED_DIRS = ("data/images", "data/music")


def check_prerequisites():
    try:
        import numpy  # noqa: F401
    except ImportError:
        skip.missing("numpy", "python3-numpy")
    try:
        import PIL  # noqa: F401
    except ImportError:
        skip.missing("Pillow", "python3-pil")
    if not os.path.exists("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"):
        skip.missing("the DejaVu fonts", "fonts-dejavu-core")


def written_files(base):
    for folder, _, names in os.walk(base):
        for name in names:
            path = os.path.join(folder, name)
            yield os.path.relpath(path, base)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keep", help="regenerate into this folder and keep it")
    args = parser.parse_args()
    check_prerequisites()

    scratch = args.keep or tempfile.mkdtemp(prefix="assets_")
    os.makedirs(scratch, exist_ok=True)
    env = dict(os.environ, QUANDRIX_ASSET_OUT=scratch)
    generators = sorted(g for g in glob.glob(os.path.join(ROOT, "tools", "assets", "make_*.py"))
                        if os.path.basename(g) != "make_all.py")
    problems = []
    for generator in generators:
        name = os.path.relpath(generator, ROOT)
        run = subprocess.run([sys.executable, generator], cwd=ROOT, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
        if run.returncode != 0:
            problems.append(f"{name} failed with exit code {run.returncode}:\n{run.stdout}")

    made = sorted(written_files(scratch))
    for rel in made:
        committed = os.path.join(ROOT, rel)
        if not os.path.exists(committed):
            problems.append(f"{rel}: a generator writes it, but it is not committed")
        elif not filecmp.cmp(committed, os.path.join(scratch, rel), shallow=False):
            problems.append(f"{rel}: the committed file differs from what its generator makes now")
    for folder in GENERATED_DIRS:
        for rel in sorted(written_files(os.path.join(ROOT, folder))):
            rel = os.path.join(folder, rel)
            if rel not in made:
                problems.append(f"{rel}: committed, but no generator in tools/assets/ writes it")

    print(f"{len(generators)} generators, {len(made)} files compared")
    for problem in problems:
        print("FAIL:", problem)
    if not args.keep and not problems:
        subprocess.run(["rm", "-rf", scratch], check=False)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
