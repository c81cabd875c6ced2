#!/usr/bin/python3
"""Every relative link and image [text](target) outside code, in the
Markdown files git tracks, names an existing file or folder, and its
#fragment a heading there (as GitHub makes anchors). Links with a scheme
are not followed: no test reaches the network.

    check_links.py --source DIR
"""

import argparse
import os
import re
import subprocess
import sys

LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")


def without_code(text):
    text = re.sub(r"^(```|~~~).*?^\1", "", text, flags=re.S | re.M)
    return re.sub(r"`[^`\n]*`", "", text)


def anchors(path):
    """GitHub's anchors: lower case, punctuation dropped, spaces to dashes, repeats numbered."""
    seen, found = {}, set()
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"^(```|~~~).*?^\1", "", f.read(), flags=re.S | re.M)
    for heading in re.findall(r"^#{1,6}\s+(.*?)\s*#*\s*$", text, re.M):
        slug = re.sub(r"[^\w\- ]", "", heading.replace("`", "").lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else f"{slug}-{count}")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    source = parser.parse_args().source
    files = subprocess.run(["git", "-C", source, "ls-files", "*.md"], capture_output=True, text=True,
                           check=True).stdout.split()
    broken, count = [], 0
    for name in files:
        path = os.path.join(source, name)
        with open(path, encoding="utf-8") as f:
            targets = LINK.findall(without_code(f.read()))
        for target in targets:
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            count += 1
            file_part, _, fragment = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
            if not os.path.exists(linked):
                broken.append(f"{name}: {target}: no such file")
            elif fragment and linked.endswith(".md") and fragment not in anchors(linked):
                broken.append(f"{name}: {target}: no such heading")
    print(f"{count} relative links in {len(files)} files")
    for line in broken:
        print("FAIL " + line)
    sys.exit(1 if broken else 0)


if __name__ == "__main__":
    main()
