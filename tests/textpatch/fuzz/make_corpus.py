#!/usr/bin/python3
"""Makes the text patcher's fuzz seeds from the real files, run by hand when
the text block or the page's shape changes (the outputs are committed):
- text_corpus/: the page files of `quandrix-textpatch show` on the built
  intro (the README's example starts from it) and an edited one;
- program_corpus/: the built intro's text block with the bytes around it,
  and a page of the web build cut down to its script's head, the data:
  address of a module that holds the same block, and the script's tail.
Usage: make_corpus.py TEXTPATCH INTRO PAGE"""

import base64
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER_MARKER = b"!QUANDRIX!\0"
LINE_MARKER = b"--TEXT START HERE--\0"
HEADER_BEFORE_MARKER = 5   # the marker's place in the header record
LINE_AREA = 4500           # the line area's size
CONTEXT = 256              # bytes kept on either side of the block
PREFIX = b"data:application/octet-stream;base64,"
ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="


def block_excerpt(program):
    start = program.index(HEADER_MARKER) - HEADER_BEFORE_MARKER - CONTEXT
    end = program.index(LINE_MARKER) + LINE_AREA + CONTEXT
    return program[max(0, start):end]


def write(folder, name, data):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as f:
        f.write(data)


def main():
    textpatch, intro, page = sys.argv[1:4]
    shown = subprocess.run([textpatch, "show", intro], capture_output=True, check=True).stdout
    write("text_corpus", "shown.txt", shown)
    edited = b"; three pages, as the README's example edits them\n" + shown.lower().replace(b"; page 3", b"new\r\n\n\n   \n; page 3")
    write("text_corpus", "edited.txt", edited)

    with open(intro, "rb") as f:
        write("program_corpus", "intro_block.bin", block_excerpt(f.read()))
    with open(page, "rb") as f:
        html = f.read()
    # The page's data: address that holds the WebAssembly module.
    begin = 0
    while True:
        begin = html.index(PREFIX, begin) + len(PREFIX)
        end = begin
        while end < len(html) and html[end:end + 1] in ALPHABET:
            end += 1
        module = base64.b64decode(html[begin:end])
        if module.startswith(b"\0asm"):
            break
    small = module[:8] + block_excerpt(module)
    write("program_corpus", "page_block.html",
          html[max(0, begin - len(PREFIX) - 200):begin] + base64.b64encode(small) + html[end:end + 200])


if __name__ == "__main__":
    main()
