#!/usr/bin/python3
"""Makes quandrix-2oo5.zip, the intro as productions are shared on the
scene's download sites: the Windows and Linux executables, the one-file web
page when the web build exists, the info file (quandrix.nfo), the short
description (file_id.diz) and a screenshot.

Usage: /usr/bin/python3 scripts/make_release.py [--out FILE] [--no-build]
           [--shot-at SECONDS] [--video SECONDS] [--default-build DIR]
           [--windows-build DIR] [--web-build DIR]

Without --no-build it first builds the `default` and `windows` presets, and
the `web` preset when Emscripten is installed (configuring each once; ccache
is used when installed); without Emscripten the archive has no page, even
when an earlier web build left one. With --no-build, or with build folders of
your own, each build must be up to date with the sources (Ninja finds no
reason to build the archive's programs but the tools' version stamp, which
runs at every build); a folder that is not a Ninja build is taken as it is. The info file is written from the built intro
itself: its window title, the pages of its text block (read back with
quandrix-textpatch, so a re-texted intro gets a matching info file), the
song's header, and the libraries the executables import.

The archive is reproducible: the same inputs give the same bytes (fixed
member order, times and permissions). It is written under a temporary name
beside FILE and renamed, so FILE is the old archive or the new one.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NFO_WIDTH = 80
DIZ_LINES = 10
DIZ_WIDTH = 45
# Every member carries this time: the year the intro is named after.
MEMBER_TIME = (2005, 1, 1, 0, 0, 0)


class Refused(Exception):
    """A reason the archive cannot be made, for one line on standard error."""


def run(command, **kwargs):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)
    if result.returncode != 0:
        raise Refused("%s failed:\n%s" % (" ".join(command), result.stderr.strip()))
    return result.stdout


# --- building -----------------------------------------------------------------

# What the archive takes from each build.
TARGETS = {"default": ["quandrix", "quandrix-capture", "quandrix-textpatch"], "windows": ["quandrix"],
           "web": ["quandrix"]}


def build_preset(preset, targets):
    """Configures the preset once (with ccache when there is one), then
    builds `targets`; the build's own output goes to the terminal."""
    binary = os.path.join(ROOT, "build", preset)
    if not os.path.exists(os.path.join(binary, "build.ninja")):
        configure = ["cmake", "--preset", preset]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(configure, cwd=ROOT, check=True)
    subprocess.run(["cmake", "--build", "--preset", preset, "--target", *targets], cwd=ROOT, check=True)


def check_current(folder, preset):
    """Refuses a build that is not that of the sources as they are: one
    where Ninja, asked for a dry run of the archive's programs, finds a
    reason to build anything. The tools' version stamp (tools/cli) runs at
    every build and rewrites its file only when the commit changed, so the
    dry run always lists it and what depends on it; its own reason is not
    counted. A folder without build.ninja (programs put there by hand) is
    taken as it is."""
    if not os.path.isfile(os.path.join(folder, "build.ninja")):
        return
    ninja = shutil.which("ninja")
    if not ninja:
        raise Refused("ninja is missing (Debian: ninja-build): cannot tell whether %s is up to date" % folder)
    result = subprocess.run([ninja, "-C", folder, "-n", "-d", "explain", *TARGETS[preset]],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    reasons = [line for line in result.stdout.splitlines() if line.startswith("ninja explain:") and
               not line.endswith(" is dirty") and "quandrix_source_version" not in line]
    if result.returncode != 0 or reasons:
        raise Refused("%s is not up to date with the sources: build the %s preset (or leave out --no-build)"
                      % (folder, preset))


# --- what the info file is written from ---------------------------------------

def window_title():
    with open(os.path.join(ROOT, "app", "display.h"), encoding="utf-8") as f:
        found = re.search(r'kWindowTitle\s*=\s*"([^"]+)"', f.read())
    if not found:
        raise Refused("app/display.h: no kWindowTitle")
    return found.group(1)


def text_block_sizes():
    """(pages, lines per page) of the text block, from data/text_block.h."""
    with open(os.path.join(ROOT, "data", "text_block.h"), encoding="utf-8") as f:
        header = f.read()
    sizes = [re.search(r"\b%s\s*=\s*(\d+);" % name, header) for name in ("kTextPages", "kTextLinesPerPage")]
    if not all(sizes):
        raise Refused("data/text_block.h: no kTextPages or kTextLinesPerPage")
    return tuple(int(size.group(1)) for size in sizes)


def read_pages(textpatch, program):
    """The pages the intro shows (the count clamped to the block's pages, as
    data::ClampPageCount does), each a list of its lines with trailing spaces
    removed."""
    shown = run([textpatch, "show", program])
    page_count, lines_per_page = text_block_sizes()
    found = re.search(r"^; page count (-?\d+)", shown, re.M)
    if not found:
        raise Refused("%s show %s printed no page count" % (os.path.basename(textpatch), program))
    pages = []
    for block in re.split(r"^; page \d+.*\n", shown, flags=re.M)[1:]:
        pages.append([line.rstrip() for line in block.split("\n")[:lines_per_page]])
    return pages[:max(1, min(page_count, int(found.group(1))))]


def group_of(pages):
    """The name on the line above "... PRESENTS", or None."""
    for page in pages:
        for above, line in zip(page, page[1:]):
            if "PRESENTS" in line and above.strip():
                return above.strip()
    return None


def credits_of(pages):
    """(role, name) of every page line laid out as "ROLE ...... NAME"."""
    found = []
    for page in pages:
        for line in page:
            match = re.fullmatch(r"\s*(\S.*?)\s*\.{3,}\s*(\S.*?)\s*", line)
            if match:
                found.append((match.group(1), match.group(2)))
    return found


def song_facts():
    """The embedded song's title and header facts, from the file the build
    embeds (QUANDRIX_SONG in CMakeLists.txt)."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        path = re.search(r"set\(QUANDRIX_SONG \$\{PROJECT_SOURCE_DIR\}/(\S+)\)", f.read()).group(1)
    with open(os.path.join(ROOT, path), "rb") as f:
        head = f.read(80)
    if len(head) < 80 or not head.startswith(b"Extended Module: "):
        raise Refused(path + " is not an XM module")
    title = head[17:37].split(b"\0")[0].decode("ascii", "replace").strip()
    number = lambda at: int.from_bytes(head[at:at + 2], "little")  # noqa: E731
    return {"title": title, "channels": number(68), "speed": number(76), "bpm": number(78)}


def debian_package(library):
    """The Debian package that holds a library file, or None."""
    candidates = [library, os.path.realpath(library)]
    if library.startswith("/lib"):
        candidates.append("/usr" + library)
    for candidate in candidates:
        result = subprocess.run(["dpkg", "-S", candidate], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                text=True) if shutil.which("dpkg") else None
        if result and result.returncode == 0:
            return result.stdout.split(":")[0].split(",")[0].strip()
    return None


def linux_libraries(program):
    """(soname, Debian package or None) of each library the program itself
    imports (its NEEDED entries), in their order."""
    needed = re.findall(r"^\s*NEEDED\s+(\S+)", run(["objdump", "-p", program]), re.M)
    # "name => /path (address)"; a library ldd cannot find ("=> not found")
    # has no path and so no package.
    paths = dict(re.findall(r"^\s*(\S+) => (/\S+)", run(["ldd", program]), re.M))
    return [(name, debian_package(paths[name]) if name in paths else None) for name in needed]


def windows_dlls(program):
    """The DLLs the Windows program imports, read with mingw's objdump: what
    the info file promises must have been looked at."""
    objdump = shutil.which("x86_64-w64-mingw32-objdump")
    if not objdump:
        raise Refused("x86_64-w64-mingw32-objdump is missing (Debian: binutils-mingw-w64-x86-64): "
                      "cannot list the DLLs quandrix.exe imports")
    return re.findall(r"DLL Name: (\S+)", run([objdump, "-p", program]))


# --- the texts ----------------------------------------------------------------

def centred(text, width=NFO_WIDTH - 2):
    return text.center(width).rstrip()


def wrapped(text, indent="  ", width=NFO_WIDTH - 2):
    return textwrap.wrap(text, width=width, initial_indent=indent, subsequent_indent=indent,
                         break_on_hyphens=False)


def heading(title):
    return ["", "  " + title, "  " + "-" * len(title)]


def make_nfo(facts, members):
    title, group, pages = facts["title"], facts["group"], facts["pages"]
    rule = "=" * (NFO_WIDTH - 2)
    lines = [rule, "", centred(" ".join(title.upper())), ""]
    if group:
        lines.append(centred("a real-time intro in 640 x 480 by " + group))
    else:
        lines.append(centred("a real-time intro in 640 x 480"))
    lines += ["", rule]

    lines += heading("THE PAGES")
    lines += wrapped("What the intro writes on its pages while the tubes turn, as it shows them:")
    lines.append("")
    for first in range(0, len(pages), 2):
        pair = pages[first:first + 2]
        rows = max((row + 1 for page in pair for row, line in enumerate(page) if line.strip()), default=0)
        for row in range(rows):
            lines.append(("    " + "    ".join(page[row].ljust(31) for page in pair)).rstrip())
        lines.append("")

    if facts["credits"]:
        lines += heading("CREDITS")
        for role, name in facts["credits"]:
            lines.append("    " + (role + " ").ljust(36, ".") + " " + name)

    song = facts["song"]
    lines += heading("MUSIC")
    lines += wrapped('"%s", an XM module of %d channels (speed %d, %d BPM), embedded in every build '
                     "and played by the intro's own replay engine and mixer at 44,100 Hz."
                     % (song["title"], song["channels"], song["speed"], song["bpm"]))

    lines += heading("REQUIREMENTS")
    imports = "it imports only " + ", ".join(facts["dlls"]) if facts["dlls"] else "it imports no DLL"
    lines += wrapped("Windows: quandrix.exe, 64-bit Windows with OpenGL. Linked statically; " + imports + ".")
    lines.append("")
    lines += wrapped("Linux: quandrix, x86-64 Linux with SDL2 and OpenGL (Mesa or a vendor driver) on an X "
                     "or Wayland display. The libraries it needs from the system, with the Debian packages "
                     "that hold them:")
    for soname, package in facts["libraries"]:
        lines.append("      %-22s %s" % (soname, package or "(from your distribution)"))
    if "quandrix.html" in members:
        lines.append("")
        lines += wrapped("Browser: quandrix.html, any browser with WebGL 2. One file that holds "
                         "everything; it opens from disk and fetches nothing.")

    lines += heading("HOW TO RUN")
    lines += wrapped("Windows: start quandrix.exe. Linux: ./quandrix (chmod +x quandrix if your unzip "
                     "lost the mode). It asks for 640 x 480 full screen; when the display does not offer "
                     "that mode it asks whether to run in a window instead.")
    if "quandrix.html" in members:
        lines += wrapped("Browser: open quandrix.html; a click or a key starts the show with its sound.")

    lines += heading("HOW TO LEAVE")
    lines += wrapped("A left click, Escape or Space, or closing the window, starts the exit fade; the "
                     "intro ends 2.1 seconds later. In the browser a click after the fade watches it again.")

    lines += heading("THE TOOLS BESIDE IT")
    lines += wrapped("Built with the intro from its source (not in this archive):")
    for name, what in (("quandrix-capture", "the show as PNG frames or an MP4, for video sites in "
                                            "1920x1080 or 3840x2160"),
                       ("quandrix-textpatch", "shows and re-texts these pages in a built .exe, Linux "
                                              "program or .html, without rebuilding"),
                       ("quandrix-xmrender", "the song as a WAV, exactly as the intro plays it"),
                       ("quandrix-xminfo", "what of a song the intro's player plays"),
                       ("quandrix-texdump", "every texture the intro makes, as PNG files")):
        body = textwrap.wrap(what, width=NFO_WIDTH - 2 - 24, break_on_hyphens=False)
        lines.append("    %-20s%s" % (name, body[0]))
        lines += [" " * 24 + rest for rest in body[1:]]

    lines += heading("IN THIS ARCHIVE")
    for name, size in members.items():
        lines.append("    %-20s%12s bytes" % (name, "{:,}".format(size)))
    lines += ["", rule, ""]
    return "\n".join(line.rstrip() for line in lines)


def make_diz(facts, members):
    lines = [facts["title"].upper().center(DIZ_WIDTH).rstrip()]
    if facts["group"]:
        lines.append(("by " + facts["group"]).center(DIZ_WIDTH).rstrip())
    lines += ["", "A 640 x 480 real-time OpenGL intro",
              'with its own XM player: "%s"' % facts["song"]["title"],
              "For Windows (.exe), Linux (SDL2)"]
    if "quandrix.html" in members:
        lines.append("and browsers (WebGL 2, one .html)")
    out = []
    for line in lines:
        out += textwrap.wrap(line, width=DIZ_WIDTH, break_on_hyphens=False) or [""]
    return "\n".join(out) + "\n"


def check_text(name, text, width, most_lines=None):
    """Plain ASCII, no line wider than `width`, at most `most_lines` lines."""
    lines = text.rstrip("\n").split("\n")
    if not text.isascii():
        raise Refused(name + " is not plain ASCII")
    wide = [line for line in lines if len(line) > width]
    if wide:
        raise Refused("%s: a line is wider than %d characters: %r" % (name, width, wide[0]))
    if most_lines is not None and len(lines) > most_lines:
        raise Refused("%s has %d lines, more than %d" % (name, len(lines), most_lines))


# --- the archive --------------------------------------------------------------

def write_archive(out, members):
    """members: (name, bytes, mode) in archive order. Written beside `out`
    under a temporary name, flushed and renamed over it."""
    folder = os.path.dirname(os.path.abspath(out))
    handle, temporary = tempfile.mkstemp(prefix="." + os.path.basename(out) + ".", dir=folder)
    try:
        with os.fdopen(handle, "wb") as raw:
            with zipfile.ZipFile(raw, "w") as archive:
                for name, data, mode in members:
                    info = zipfile.ZipInfo(name, date_time=MEMBER_TIME)
                    info.create_system = 3  # Unix, so that the mode below counts
                    info.external_attr = (0o100000 | mode) << 16
                    info.compress_type = zipfile.ZIP_DEFLATED
                    archive.writestr(info, data, compresslevel=9)
            raw.flush()
            os.fsync(raw.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, out)
    except BaseException:
        os.unlink(temporary)
        raise


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_release(args, with_page):
    """The archive from the builds; the web page only when `with_page`."""
    linux = os.path.join(args.default_build, "app", "quandrix")
    exe = os.path.join(args.windows_build, "app", "quandrix.exe")
    page = os.path.join(args.web_build, "app", "quandrix.html")
    capture = os.path.join(args.default_build, "tools", "capture", "quandrix-capture")
    textpatch = os.path.join(args.default_build, "tools", "textpatch", "quandrix-textpatch")
    for path, preset in ((linux, "default"), (capture, "default"), (textpatch, "default"), (exe, "windows")):
        if not os.path.isfile(path):
            raise Refused("%s is missing: build the %s preset (or leave out --no-build)" % (path, preset))

    with tempfile.TemporaryDirectory(prefix="quandrix-release-") as scratch:
        # The Linux program without its debugging sections (most of its
        # size); the text block and everything that runs stay as they are.
        stripped = os.path.join(scratch, "quandrix")
        run(["strip", "--strip-debug", "-o", stripped, linux])
        run([capture, "--out", os.path.join(scratch, "shot"), "--start", str(args.shot_at), "--frames", "1"])
        files = {
            "quandrix.exe": (read(exe), 0o755),
            "quandrix": (read(stripped), 0o755),
        }
        if with_page:
            files["quandrix.html"] = (read(page), 0o644)
        files["quandrix.png"] = (read(os.path.join(scratch, "shot", "frame_00000.png")), 0o644)
        if args.video:
            movie = os.path.join(scratch, "quandrix.mp4")
            run([capture, "--video", movie, "--size", "1920x1080", "--seconds", str(args.video)])
            files["quandrix.mp4"] = (read(movie), 0o644)

        pages = read_pages(textpatch, stripped)
        facts = {"title": window_title(), "pages": pages, "group": group_of(pages), "credits": credits_of(pages),
                 "song": song_facts(), "libraries": linux_libraries(linux), "dlls": windows_dlls(exe)}
        sizes = {name: len(data) for name, (data, _) in files.items()}
        nfo = make_nfo(facts, sizes)
        diz = make_diz(facts, sizes)
        check_text("quandrix.nfo", nfo, NFO_WIDTH)
        check_text("file_id.diz", diz, DIZ_WIDTH, DIZ_LINES)

    # The texts first, as download sites and archive viewers look for them.
    members = [("file_id.diz", diz.encode("ascii"), 0o644), ("quandrix.nfo", nfo.encode("ascii"), 0o644)]
    members += [(name, data, mode) for name, (data, mode) in files.items()]
    write_archive(args.out, members)
    return members


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "quandrix-2oo5.zip"))
    parser.add_argument("--no-build", action="store_true", help="use the builds as they are")
    parser.add_argument("--shot-at", type=float, default=14.5, help="seconds into the show of the screenshot")
    parser.add_argument("--video", type=float, default=0.0,
                        help="also put SECONDS of the show as a 1920x1080 MP4 in the archive")
    parser.add_argument("--default-build", default=os.path.join(ROOT, "build", "default"))
    parser.add_argument("--windows-build", default=os.path.join(ROOT, "build", "windows"))
    parser.add_argument("--web-build", default=os.path.join(ROOT, "build", "web"))
    args = parser.parse_args()
    if not 0 <= args.shot_at <= 300 or not 0 <= args.video <= 600:
        parser.error("--shot-at takes 0 to 300 seconds, --video 0 to 600")
    try:
        folder = os.path.dirname(os.path.abspath(args.out))
        if not os.path.isdir(folder):
            raise Refused("%s: no such folder to write %s in" % (folder, os.path.basename(args.out)))
        # The page of an earlier web build is never taken when this run
        # could not build it.
        web_built = True
        if not args.no_build:
            build_preset("default", TARGETS["default"])
            build_preset("windows", TARGETS["windows"])
            if shutil.which("em++"):
                build_preset("web", TARGETS["web"])
            else:
                print("make_release: no Emscripten (Debian: emscripten), so no quandrix.html", file=sys.stderr)
                web_built = False
        with_page = web_built and os.path.isfile(os.path.join(args.web_build, "app", "quandrix.html"))
        for build, preset in ((args.default_build, "default"), (args.windows_build, "windows"),
                              (args.web_build if with_page else None, "web")):
            if build:
                check_current(build, preset)
        members = make_release(args, with_page)
    except (Refused, subprocess.CalledProcessError) as error:
        print("make_release: %s" % error, file=sys.stderr)
        return 1
    print("wrote %s: %s" % (args.out, ", ".join(name for name, _, _ in members)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
