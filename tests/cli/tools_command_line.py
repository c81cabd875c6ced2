#!/usr/bin/python3
"""Every tool as a user first meets it: --help and -h, --version (the
project's version and the source's commit), --bogus refused with status 2,
its manual page naming exactly the options --help lists, and texdump taking
a dashed word for a folder only after "--".

    tools_command_line.py --version X.Y --source DIR --tools TOOL...
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        FAILURES.append(what)


def run(tool, *args, cwd=None):
    return subprocess.run([tool, *args], capture_output=True, text=True, cwd=cwd, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--tools", nargs="+", required=True)
    args = parser.parse_args()
    head = subprocess.run(["git", "-C", args.source, "rev-parse", "HEAD"], capture_output=True, text=True)
    commit = head.stdout.strip() if head.returncode == 0 else None

    for tool in args.tools:
        name = os.path.basename(tool)
        helped, short = run(tool, "--help"), run(tool, "-h")
        check(helped.returncode == 0 and helped.stdout.startswith("usage: " + name) and helped.stderr == "",
              f"{name} --help")
        check(short.returncode == 0 and short.stdout == helped.stdout, f"{name} -h is --help")
        version = run(tool, "--version")
        lines = version.stdout.splitlines()
        check(version.returncode == 0 and lines[:1] == [f"{name} (Quandrix 2oo5) {args.version}"],
              f"{name} --version: {lines[:1]}")
        if commit:
            check(len(lines) > 1 and lines[1].startswith("commit " + commit), f"{name} --version names {commit}")
        bogus = run(tool, "--bogus")
        check(bogus.returncode == 2 and bogus.stdout == "" and "unknown option --bogus" in bogus.stderr
              and "usage: " + name in bogus.stderr, f"{name} --bogus refused with the usage")
        # The page and the help describe the same options.
        listed = set(re.findall(r"^ {2}(?:-h, )?(--[a-z-]+)", helped.stdout, re.M))
        with open(os.path.join(args.source, "docs", "man", name + ".1")) as page:
            described = {"-" + option for option in re.findall(r"\bFl (-[a-z-]+)", page.read())}
        check(listed == described, f"{name}: options in --help and the manual page alike "
              f"(only in --help: {sorted(listed - described)}, only in the page: {sorted(described - listed)})")

    texdump = next(t for t in args.tools if t.endswith("quandrix-texdump"))
    with tempfile.TemporaryDirectory() as work:
        run(texdump, "--help", cwd=work)
        run(texdump, "--version", cwd=work)
        check(os.listdir(work) == [], "texdump --help and --version write nothing")
        dashed = run(texdump, "--", "-odd-name", cwd=work)
        made = sorted(os.listdir(os.path.join(work, "-odd-name"))) if dashed.returncode == 0 else []
        check(len(made) == 5 and all(f.endswith(".png") for f in made), f"texdump -- -odd-name wrote {made}")
    if FAILURES:
        print(f"{len(FAILURES)} failed")
        sys.exit(1)


if __name__ == "__main__":
    main()
