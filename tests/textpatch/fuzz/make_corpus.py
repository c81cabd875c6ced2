#!/usr/bin/python3
"""Makes the text patcher's fuzz seeds from the real files; run by hand when
the text block or the page's shape changes (the outputs are committed).
text_corpus/: `quandrix-textpatch show` of the built intro (where the
example in docs/tools.md starts) and an edited copy. program_corpus/: the
intro's text block with the bytes around it, and the page cut down to the
head and tail of its script around a data: address whose module holds the
same block.
Usage: make_corpus.py TEXTPATCH INTRO PAGE"""

import base64
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def block_excerpt(program, context=256):
    """From the header record (its marker 5 bytes in) to the end of the line
    area (4500 bytes from its marker), with `context` bytes either side."""
    start = program.index(b"!QUANDRIX!\0") - 5 - context
    return program[max(0, start):program.index(b"--TEXT START HERE--\0") + 4500 + context]


def write(folder, name, data):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as f:
        f.write(data)


textpatch, intro, page = sys.argv[1:4]
shown = subprocess.run([textpatch, "show", intro], capture_output=True, check=True).stdout
write("text_corpus", "shown.txt", shown)
write("text_corpus", "edited.txt", b"; three pages, as the example in docs/tools.md edits them\n" +
      shown.lower().replace(b"; page 3", b"new\r\n\n\n   \n; page 3"))
with open(intro, "rb") as f:
    write("program_corpus", "intro_block.bin", block_excerpt(f.read()))
with open(page, "rb") as f:
    html = f.read()
for found in re.finditer(rb"data:application/octet-stream;base64,([A-Za-z0-9+/=]+)", html):
    module = base64.b64decode(found.group(1))
    if module.startswith(b"\0asm"):
        small = base64.b64encode(module[:8] + block_excerpt(module))
        write("program_corpus", "page_block.html",
              html[max(0, found.start() - 200):found.start(1)] + small + html[found.end():found.end() + 200])
