#!/usr/bin/python3
"""scripts/make_release.py on the real builds. Usage: release_test.py
--default-build DIR --windows-build DIR --web-build DIR"""

import argparse
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import skip  # noqa: E402

B = None  # the build folders
MEMBERS = ["file_id.diz", "quandrix.nfo", "quandrix.exe", "quandrix", "quandrix.html", "quandrix.png"]


def read(*path):
    with open(os.path.join(*path), "rb") as f:
        return f.read()


def make(out, default_build=None, windows_build=None, web_build=None, build=False, path=None):
    return subprocess.run(["/usr/bin/python3", os.path.join(HERE, "..", "..", "scripts", "make_release.py"),
                           *([] if build else ["--no-build"]), "--out", out, "--shot-at", "1",
                           "--web-build", web_build or B.web_build,
                           "--default-build", default_build or B.default_build,
                           "--windows-build", windows_build or B.windows_build],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=300,
                          env=dict(os.environ, PATH=path or os.environ["PATH"]))


class Release(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="release_test_")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.textpatch = os.path.join(B.default_build, "tools", "textpatch", "quandrix-textpatch")

    def made(self, name, **builds):
        result = make(os.path.join(self.dir, name), **builds)
        self.assertEqual(result.returncode, 0, result.stderr)
        with zipfile.ZipFile(os.path.join(self.dir, name)) as archive:
            return archive.infolist(), {n: archive.read(n) for n in archive.namelist()}

    def test_members_texts_and_same_bytes_twice(self):
        infos, data = self.made("a.zip")
        self.made("b.zip")
        self.assertEqual(read(self.dir, "a.zip"), read(self.dir, "b.zip"))
        self.assertEqual([i.filename for i in infos], MEMBERS)
        for info in infos:
            mode = 0o100755 if info.filename in ("quandrix", "quandrix.exe") else 0o100644
            self.assertEqual((info.date_time, info.external_attr >> 16), ((2005, 1, 1, 0, 0, 0), mode))
        self.assertEqual(data["quandrix.exe"], read(B.windows_build, "app", "quandrix.exe"))
        self.assertEqual(data["quandrix.html"], read(B.web_build, "app", "quandrix.html"))
        with Image.open(io.BytesIO(data["quandrix.png"])) as shot:
            self.assertEqual((shot.format, shot.size), ("PNG", (640, 480)))

        # The info file: ASCII within 80 columns, every line of the two pages
        # the archived Linux program shows, the libraries it imports.
        nfo = data["quandrix.nfo"].decode("ascii")
        self.assertLessEqual(max(map(len, nfo.split("\n"))), 80)
        linux = os.path.join(self.dir, "quandrix")
        with open(linux, "wb") as f:
            f.write(data["quandrix"])
        shown = subprocess.run([self.textpatch, "show", linux], stdout=subprocess.PIPE, check=True, text=True)
        for line in shown.stdout.split("; page 3")[0].split("\n"):
            if line.strip() and not line.startswith(";"):
                self.assertIn(line.rstrip(), nfo)
        for text in ("Q U A N D R I X   2 O O 5", "by THE QUIET RASTER SOCIETY", "MUSIC ....", "WebGL 2",
                     "libSDL2-2.0.so.0       libsdl2-2.0-0", "libGLU.so.1", "OPENGL32.dll", "Escape"):
            self.assertIn(text, nfo)
        self.assertNotIn("PAGE 3", nfo)  # a page the intro does not show
        diz = data["file_id.diz"].decode("ascii").rstrip("\n").split("\n")
        self.assertLessEqual((len(diz), max(map(len, diz))), (10, 45))

    def test_a_retexted_intro_gets_its_own_texts_and_a_failed_run_changes_nothing(self):
        fake = os.path.join(self.dir, "build")
        os.makedirs(os.path.join(fake, "app"))
        shutil.copy(os.path.join(B.default_build, "app", "quandrix"), os.path.join(fake, "app"))
        os.symlink(os.path.join(B.default_build, "tools"), os.path.join(fake, "tools"))
        with open(os.path.join(self.dir, "pages.txt"), "w") as f:
            f.write("THE NEW CREW\nPROUDLY PRESENTS\n \nGREETS .......... EVERYONE\n")
        subprocess.run([self.textpatch, "set", os.path.join(fake, "app", "quandrix"),
                        os.path.join(self.dir, "pages.txt"), "--pages", "1"], check=True, stdout=subprocess.DEVNULL)
        _, data = self.made("r.zip", default_build=fake)
        nfo = data["quandrix.nfo"].decode("ascii")
        self.assertTrue("by THE NEW CREW" in nfo and "GREETS ...." in nfo and "GRUMBLEFISH" not in nfo, nfo)
        self.assertIn("by THE NEW CREW", data["file_id.diz"].decode("ascii"))

        before = read(self.dir, "r.zip")
        result = make(os.path.join(self.dir, "r.zip"), windows_build=os.path.join(self.dir, "nowhere"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("build the windows preset", result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), ["build", "pages.txt", "r.zip"])  # no temporary file
        self.assertEqual(read(self.dir, "r.zip"), before)


    def test_only_builds_of_these_sources_and_one_line_refusals(self):
        # Without Emscripten (a PATH of the tools the script runs, and a CMake
        # that builds nothing) the web build's earlier page stays out.
        bin = os.path.join(self.dir, "bin")
        os.mkdir(bin)
        for tool in ("ninja", "strip", "objdump", "ldd", "dpkg", "dpkg-query", "x86_64-w64-mingw32-objdump", "true"):
            os.symlink(shutil.which(tool), os.path.join(bin, "cmake" if tool == "true" else tool))
        result = make(os.path.join(self.dir, "n.zip"), build=True, path=bin)
        self.assertIn("no Emscripten", result.stderr)
        with zipfile.ZipFile(os.path.join(self.dir, "n.zip")) as archive:
            self.assertEqual(archive.namelist(), [m for m in MEMBERS if m != "quandrix.html"])
        # A web build whose page is older than its source, no mingw objdump,
        # an output folder that is not there: one line each, nothing written.
        web = os.path.join(self.dir, "web")
        os.makedirs(os.path.join(web, "app"))
        with open(os.path.join(web, "build.ninja"), "w") as f:
            f.write("rule cp\n  command = cp $in $out\nbuild app/quandrix.html: cp in\n"
                    "build quandrix: phony app/quandrix.html\n")
        for name, when in (("app/quandrix.html", 1000), ("in", 2000)):
            open(os.path.join(web, name), "w").close()
            os.utime(os.path.join(web, name), (when, when))
        os.unlink(os.path.join(bin, "x86_64-w64-mingw32-objdump"))
        for out, web_build, path, text in (("s.zip", web, None, web + " is not up to date with the sources"),
                                           ("o.zip", None, bin, "x86_64-w64-mingw32-objdump is missing"),
                                           ("no/m.zip", None, None, "no such folder")):
            result = make(os.path.join(self.dir, out), web_build=web_build, path=path)
            self.assertEqual((result.returncode, result.stderr.count("\n")), (1, 1), result.stderr)
            self.assertIn(text, result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), ["bin", "n.zip", "web"])

    def test_texts_that_do_not_fit_and_what_ldd_cannot_find(self):
        sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
        import make_release as m
        self.addCleanup(setattr, m, "run", m.run)
        facts = {"title": "Quandrix 2oo5", "group": "A CREW WITH A NAME FAR TOO LONG " * 12, "song": {"title": "s"}}
        with self.assertRaisesRegex(m.Refused, "more than 10"):
            m.check_text("file_id.diz", m.make_diz(facts, {}), 45, 10)
        m.run = lambda command: {"objdump": "  NEEDED  libgone.so.1\n  NEEDED  libc.so.6\n",
                                 "ldd": "\tlibgone.so.1 => not found\n\tlibc.so.6 => /lib/x86_64-linux-gnu/libc.so.6\n",
                                 "quandrix-textpatch": "; no count\n"}[os.path.basename(command[0])]
        self.assertEqual(m.linux_libraries("quandrix"), [("libgone.so.1", None), ("libc.so.6", "libc6")])
        with self.assertRaisesRegex(m.Refused, "no page count"):
            m.read_pages("quandrix-textpatch", "quandrix")


def main():
    global B
    parser = argparse.ArgumentParser()
    for name in ("--default-build", "--windows-build", "--web-build"):
        parser.add_argument(name, required=True, type=os.path.abspath)
    B, rest = parser.parse_known_args()
    # The fixtures skip without their compilers (outside CI); so does this.
    for built, what, package in ((B.windows_build, "quandrix.exe", "g++-mingw-w64-x86-64-posix"),
                                 (B.web_build, "quandrix.html", "emscripten")):
        if not os.path.isfile(os.path.join(built, "app", what)):
            skip.missing("the build of " + what, package)
    program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
