"""Where the generators write: the repository, or a scratch copy of its layout.

Every generator writes its files through output(), under the repository root
by default. With QUANDRIX_ASSET_OUT=DIR set they land under DIR at the same
relative paths instead, which is how tests/assets/check_assets.py regenerates
everything into a temporary folder and compares it with the committed bytes.
"""

import os

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def output(relative):
    """The path to write the repository file `relative` (e.g. data/music/x.xm) to."""
    base = os.environ.get("QUANDRIX_ASSET_OUT") or ROOT
    path = os.path.join(base, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path
