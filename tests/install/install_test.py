#!/usr/bin/python3
"""The install (cmake --install into a DESTDIR) and the Debian package
(cpack -G DEB, dpkg-deb, lintian) of a built tree. The programs expected
are those the build made, so a new tool without an install rule or a page
fails.

    install_test.py --build BUILD install|package
"""

import argparse
import glob
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
import skip  # noqa: E402

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        FAILURES.append(what)


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)


def built_programs(build):
    found = glob.glob(os.path.join(build, "app", "quandrix")) + glob.glob(os.path.join(build, "tools", "*", "quandrix-*"))
    return sorted(os.path.basename(p) for p in found if os.access(p, os.X_OK) and os.path.isfile(p))


def check_install(build, programs):
    for tool, package in (("mandoc", "mandoc"), ("man", "man-db")):
        if not run("sh", "-c", f"command -v {tool}").stdout:
            skip.missing(tool, package)
    with tempfile.TemporaryDirectory() as root:
        result = run("cmake", "--install", build, "--prefix", "/usr", env=dict(os.environ, DESTDIR=root))
        check(result.returncode == 0, "cmake --install " + result.stderr.strip())
        usr = root + "/usr"
        for program in programs:
            check(os.access(f"{usr}/bin/{program}", os.X_OK), f"bin/{program}")
            page = f"{usr}/share/man/man1/{program}.1"
            if not os.path.exists(page):
                check(False, f"share/man/man1/{program}.1")
                continue
            with open(page) as f:
                text = f.read()
            sections = ["SYNOPSIS", "DESCRIPTION", "FILES", "EXIT STATUS", "EXAMPLES", "SEE ALSO"]
            check(all(f".Sh {s}\n" in text for s in sections), f"{program}.1 has {', '.join(sections)}")
            # Style notes (such as a page not yet installed where .Xr points)
            # depend on the machine; warnings and errors do not.
            lint = run("mandoc", "-T", "lint", "-W", "warning", page)
            groff = run("man", "--warnings", "-l", page, env=dict(os.environ, MANWIDTH="80"))
            check(lint.returncode == 0 and lint.stdout + lint.stderr == "", f"mandoc lint {program}.1 {lint.stdout}")
            check(groff.returncode == 0 and groff.stderr == "" and "EXIT STATUS" in groff.stdout,
                  f"man --warnings {program}.1 {groff.stderr}")
        for doc in ("README.md", "LICENSE", "THIRD_PARTY.md"):
            check(os.path.isfile(f"{usr}/share/doc/quandrix/{doc}"), f"share/doc/quandrix/{doc}")
        version = run(f"{usr}/bin/quandrix-xminfo", "--version")
        check(version.returncode == 0, "the installed quandrix-xminfo runs")


def check_package(build, programs):
    if not run("sh", "-c", "command -v lintian").stdout:
        skip.missing("lintian", "lintian")
    with tempfile.TemporaryDirectory() as out:
        result = run("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(build, "CPackConfig.cmake"))
        debs = glob.glob(os.path.join(out, "quandrix_*_amd64.deb"))
        check(result.returncode == 0 and len(debs) == 1, f"cpack made {debs} {result.stderr.strip()}")
        if not debs:
            return
        depends = run("dpkg-deb", "-f", debs[0], "Depends").stdout
        # The C++ runtime, SDL2, GL and GLU as the programs link them, and
        # the context libraries SDL opens by name.
        for package in ("libstdc++6", "libsdl2-2.0-0", "libopengl0", "libglu1-mesa", "libgl1", "libegl1", "libc6"):
            check(package in depends, f"Depends names {package}")
        contents = run("dpkg-deb", "-c", debs[0]).stdout
        for path in [f"./usr/bin/{p}" for p in programs] + [f"./usr/share/man/man1/{p}.1.gz" for p in programs] + [
                "./usr/share/doc/quandrix/copyright", "./usr/share/doc/quandrix/changelog.gz"]:
            check(f" {path}\n" in contents, f"the package holds {path}")
        lintian = run("lintian", "--no-tag-display-limit", debs[0])
        print(lintian.stdout, end="")
        errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
        check(lintian.returncode in (0, 1) and not errors, "lintian reports no error")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("what", choices=["install", "package"])
    args = parser.parse_args()
    programs = built_programs(args.build)
    check("quandrix" in programs and len(programs) >= 5, f"programs built: {programs}")
    (check_install if args.what == "install" else check_package)(args.build, programs)
    if FAILURES:
        print(f"{len(FAILURES)} failed")
        sys.exit(1)


if __name__ == "__main__":
    main()
