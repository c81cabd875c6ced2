#!/usr/bin/python3
"""The Windows tools under Wine against the Linux tools: the same textures
and the same rendered sound, byte for byte, and the text patcher of either
build re-texting the Windows intro.

Usage: wine_tools_test.py --windows-build DIR --texdump PATH --xmrender PATH
                          --textpatch PATH --song SONG.xm [unittest options]
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from wine_support import Wine

ARGS = None
wine = None


def read(path):
    with open(path, "rb") as f:
        return f.read()


def setUpModule():
    global wine
    wine = Wine(ARGS.windows_build)
    print("Wine prefix made in %.1f s" % wine.prefix_seconds, file=sys.stderr)


def tearDownModule():
    wine.close()


class SameBytes(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(dir=wine.root)

    def test_every_texture_is_the_same_on_both_systems(self):
        linux = os.path.join(self.work, "linux")
        windows = os.path.join(self.work, "windows")
        subprocess.run([ARGS.texdump, "--all", linux], check=True, stdout=subprocess.DEVNULL)
        result = wine.run(wine.exe("tools/texdump/quandrix-texdump.exe"), "--all", windows)
        self.assertEqual(result.returncode, 0, result.stderr)
        names = sorted(os.listdir(linux))
        # Five generated textures, the ten pictures after their alpha rules
        # and the contact sheet.
        self.assertEqual(len(names), 16)
        self.assertEqual(sorted(os.listdir(windows)), names)
        match, mismatch, errors = filecmp.cmpfiles(linux, windows, names, shallow=False)
        self.assertEqual((mismatch, errors), ([], []))

    def test_the_song_renders_to_the_same_wav(self):
        linux = os.path.join(self.work, "linux.wav")
        windows = os.path.join(self.work, "windows.wav")
        subprocess.run([ARGS.xmrender, ARGS.song, linux, "--quiet"], check=True)
        result = wine.run(wine.exe("tools/xmrender/quandrix-xmrender.exe"), ARGS.song, windows, "--quiet")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(os.path.getsize(linux), 44 + 60 * 44100 * 4)
        self.assertTrue(filecmp.cmp(linux, windows, shallow=False), "the renders differ")

    def test_a_refused_song_exits_with_2(self):
        bad = os.path.join(self.work, "bad.xm")
        with open(bad, "wb") as f:
            f.write(b"not a module")
        result = wine.run(wine.exe("tools/xmrender/quandrix-xmrender.exe"), bad, os.path.join(self.work, "x.wav"))
        self.assertEqual(result.returncode, 2)
        self.assertFalse(os.path.exists(os.path.join(self.work, "x.wav")))


class StandAlone(unittest.TestCase):
    """Each .exe runs on a bare Windows: it imports system DLLs only, no
    MinGW or C++ runtime beside it."""
    SYSTEM = {"KERNEL32.dll", "USER32.dll", "GDI32.dll", "OPENGL32.dll", "GLU32.dll", "WINMM.dll", "msvcrt.dll"}

    def test_only_system_dlls_are_imported(self):
        for exe in ("app/quandrix.exe", "tools/xmrender/quandrix-xmrender.exe", "tools/xminfo/quandrix-xminfo.exe",
                    "tools/texdump/quandrix-texdump.exe", "tools/textpatch/quandrix-textpatch.exe"):
            dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", wine.exe(exe)], check=True,
                                  stdout=subprocess.PIPE, text=True).stdout
            dlls = {line.split()[-1] for line in dump.splitlines() if "DLL Name:" in line}
            self.assertIn("KERNEL32.dll", dlls, exe)
            self.assertEqual(dlls - self.SYSTEM, set(), exe)


class TextPatch(unittest.TestCase):
    PAGES = "WINDOWS ROUND TRIP\n\nSECOND PAGE\nTWO LINES\n"

    def setUp(self):
        self.work = tempfile.mkdtemp(dir=wine.root)
        self.exe = os.path.join(self.work, "quandrix.exe")
        shutil.copy2(wine.exe("app/quandrix.exe"), self.exe)
        self.text = os.path.join(self.work, "pages.txt")
        with open(self.text, "w") as f:
            f.write(self.PAGES)

    def linux(self, *args):
        return subprocess.run([ARGS.textpatch, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def windows(self, *args):
        result = wine.run(wine.exe("tools/textpatch/quandrix-textpatch.exe"), *args)
        # The Windows side writes text with CR LF line ends.
        return result.returncode, result.stdout.decode().replace("\r\n", "\n"), result.stderr.decode()

    def test_both_builds_read_the_exe_alike(self):
        shown = self.linux("show", self.exe)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.assertIn("HELLO AND WELCOME BACK", shown.stdout)
        code, out, err = self.windows("show", self.exe)
        self.assertEqual(code, 0, err)
        self.assertEqual(out, shown.stdout)

    def test_linux_patch_read_by_windows_and_back(self):
        before = read(self.exe)
        result = self.linux("set", self.exe, self.text, "--pages", "2")
        self.assertEqual(result.returncode, 0, result.stderr)
        after = read(self.exe)
        self.assertEqual(len(after), len(before))
        # Only bytes of the text block changed.
        changed = [i for i in range(len(after)) if after[i] != before[i]]
        self.assertLess(changed[-1] - changed[0], 1 + 10 * 14 * 32 + 64)
        code, out, err = self.windows("show", self.exe)
        self.assertEqual(code, 0, err)
        self.assertIn("WINDOWS ROUND TRIP", out)
        self.assertIn("SECOND PAGE", out)
        self.assertEqual(out, self.linux("show", self.exe).stdout)

    def test_windows_patch_equals_the_linux_patch(self):
        other = os.path.join(self.work, "other.exe")
        shutil.copy2(self.exe, other)
        self.assertEqual(self.linux("set", self.exe, self.text, "--pages", "2").returncode, 0)
        code, _, err = self.windows("set", other, self.text, "--pages", "2")
        self.assertEqual(code, 0, err)
        self.assertTrue(filecmp.cmp(self.exe, other, shallow=False))
        # Nothing left beside it: the temporary file was renamed over the exe.
        self.assertEqual(sorted(os.listdir(self.work)), ["other.exe", "pages.txt", "quandrix.exe"])

    def test_windows_patch_follows_a_link_and_keeps_a_read_only_exe_read_only(self):
        # Wine shows the host's symbolic link as the file itself: only the
        # link's final path tells the writer where the exe really is.
        link = os.path.join(self.work, "link.exe")
        os.symlink("quandrix.exe", link)
        os.chmod(self.exe, 0o555)
        code, _, err = self.windows("set", link, self.text, "--pages", "2")
        self.assertEqual(code, 0, err)
        self.assertTrue(os.path.islink(link))
        self.assertIn("WINDOWS ROUND TRIP", self.linux("show", self.exe).stdout)
        self.assertEqual(os.stat(self.exe).st_mode & 0o777, 0o555)

    def test_windows_refusal_leaves_the_exe_as_it_was(self):
        before = read(self.exe)
        with open(self.text, "w") as f:
            f.write("A LINE FAR LONGER THAN THIRTY-ONE CHARACTERS\n")
        code, _, err = self.windows("set", self.exe, self.text)
        self.assertEqual(code, 2)
        self.assertIn("31", err)
        self.assertEqual(read(self.exe), before)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--windows-build", "--texdump", "--xmrender", "--textpatch", "--song"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
