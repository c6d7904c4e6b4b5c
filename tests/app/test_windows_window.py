"""The Windows launcher's window under Wine, as the X server shows it,
against the Linux build's rendering of the same state.

A Windows build's merindo-launcher.exe runs under Wine (WINE_RUN names the
build's runner) with Wine's X11 driver on a fresh Xvfb, in a network
namespace of its own (and a Wine prefix of its own) beside the scripted FTP
server, which holds the login until the picture is taken: the window then
shows the state before the connection.
The picture comes from outside (`xwd` of the screen); the client area is
found in it and compared, pixel by pixel, with the stored window painted in
that state by the Linux build's render-main-window (RENDER_MAIN_WINDOW).
The prefix has the system colours of a standard Windows desktop, which the
Linux platform reports too: Wine's own scheme paints the button faces 245
instead of 240, their shadows 166 instead of 160 and the dark shadows 106
instead of 105, and everything drawn in those colours would differ by that.
With SCREENSHOTS_DIR set the screen and the rendering are kept there.
"""

import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
import pngread  # noqa: E402
import xwdread  # noqa: E402
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, HOST, PASSWORD, ROOT, USER  # noqa: E402
from test_window_screens import wait_for  # noqa: E402
from winerun import WINE_RUN, copy_prefix, template_prefix  # noqa: E402
from xvfb import Xvfb  # noqa: E402

RENDER = os.environ.get("RENDER_MAIN_WINDOW", "")
KEEP = os.environ.get("SCREENSHOTS_DIR", "")
TITLE = "Cavenor S.R.L. Software Update"
WIDTH, HEIGHT = 592, 256
WAIT = 60.0
# A part of the window's illustration (left, top, right; 16 rows), which
# looks the same whatever faces the texts are drawn in.
ILLUSTRATION = (430, 130, 550)

# The system colours the window draws with, as a standard Windows desktop
# has them (GetSysColor on the Linux platform).
STANDARD_COLOURS = {"ButtonFace": "240 240 240", "ButtonShadow": "160 160 160", "ButtonDkShadow": "105 105 105",
                    "ButtonLight": "227 227 227", "ButtonHilight": "255 255 255", "GrayText": "109 109 109",
                    "Window": "255 255 255", "WindowText": "0 0 0", "ButtonText": "0 0 0"}


def row_bytes(row):
    return b"".join(bytes(pixel) for pixel in row)


def find_area(screen, expected, patch=(0, 0, WIDTH)):
    """The top-left corner of the place where the screen shows the expected
    picture, found by 16 rows of it (by default the first, whole; else
    `patch`, the left, top and right of a part), or None."""
    left, first, right = patch
    probe = [row_bytes(expected.rows[first + y][left:right]) for y in range(16)]
    rows = [row_bytes(row) for row in screen.rows]
    for top in range(0, screen.height - 16 + 1):
        at = rows[top].find(probe[0])
        while at >= 0:
            if at % 3 == 0 and all(rows[top + y][at:at + len(probe[y])] == probe[y] for y in range(1, 16)):
                return at // 3 - left, top - first
            at = rows[top].find(probe[0], at + 1)
    return None


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and WINE_RUN and RENDER and os.path.exists(RENDER)
                     and shutil.which("Xvfb") and shutil.which("xwd"),
                     "the Windows launcher, the Linux rendering tool, Xvfb or xwd are missing")
class WindowsWindowPicture(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="windows-window."))
        self.work = self.tmp / "work"
        self.site = self.tmp / "site"
        self.prefix = self.tmp / "prefix"
        for folder in (self.work, self.site / ROOT / "Merindo"):
            folder.mkdir(parents=True)
        (self.site / ROOT / "Merindo" / "Versione.Txt").write_bytes(b"1.0\r\n")
        (self.work / "VersioneAttuale.Txt").write_bytes(b"1.0\r\n")
        copy_prefix(template_prefix(), self.prefix)
        # Wine's X11 driver in this prefix (the window goes to the display),
        # and the standard colours.
        user = self.prefix / "user.reg"
        hive = user.read_text().replace('"Graphics"="null"', '"Graphics"="x11"')
        for name, rgb in STANDARD_COLOURS.items():
            hive = re.sub(r'(\[Control Panel\\\\Colors\][^\[]*?"%s"=)"[0-9 ]*"' % name, r'\1"%s"' % rgb, hive, count=1)
        user.write_text(hive)
        self.proc = None

    @contextlib.contextmanager
    def held_at_login(self):
        """Runs the launcher under Wine on a display of its own, beside the
        scripted server, which holds the login: the window shows the state
        before the connection. Yields the display; then lets the login go
        and checks that the launcher ends by itself."""
        gate = str(self.tmp / "login")
        rules = [{"on": "USER", "hold_until": gate}]
        with Xvfb() as x, NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=rules, root=str(self.site), user=USER, password=PASSWORD, netns=ns,
                                  port=21):
            env = x.env(dict(os.environ, WINEPREFIX=str(self.prefix)))
            self.proc = subprocess.Popen(ns.command([WINE_RUN, BINARY]), cwd=str(self.work), env=env,
                                         start_new_session=True, stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.assertTrue(wait_for(lambda: os.path.exists(gate + ".held")), "no login")
            yield x
            open(gate, "wb").close()
            try:
                self.proc.wait(WAIT)
            except subprocess.TimeoutExpired:
                self.fail("the launcher did not end")
            self.assertEqual(self.proc.returncode, 0)

    def screen(self, x):
        """The screen as the X server shows it, kept in screen.xwd."""
        path = self.tmp / "screen.xwd"
        with open(path, "wb") as out:
            subprocess.run(["xwd", "-root", "-silent"], env=x.env(), stdout=out, check=True)
        return xwdread.read(str(path))

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_the_window_before_the_connection_shows_the_linux_pixels(self):
        expected_path = self.tmp / "expected.png"
        subprocess.run([RENDER, str(expected_path), "--status", " Connessione in Corso ....."], check=True,
                       timeout=60)
        expected = pngread.read(str(expected_path))
        with self.held_at_login() as x:
            found = None

            def shows_window():
                nonlocal found
                screen = self.screen(x)
                found = find_area(screen, expected)
                return found is not None and self.compare(screen, expected, found) == 0

            shown = wait_for(shows_window, timeout=30, step=0.5)
            if KEEP:
                os.makedirs(KEEP, exist_ok=True)
                shutil.copyfile(self.tmp / "screen.xwd", os.path.join(KEEP, "windows-screen.xwd"))
                shutil.copyfile(expected_path, os.path.join(KEEP, "windows-expected.png"))
            self.assertIsNotNone(found, "the window's client area is not on the screen")
            self.assertTrue(shown, "%d pixels of the client area differ from the Linux rendering" %
                            self.compare(xwdread.read(str(self.tmp / "screen.xwd")), expected, found))

    def test_without_the_faces_in_the_fonts_folder_the_texts_are_drawn_all_the_same(self):
        # A fonts folder that holds none of the window's faces, as a fresh
        # prefix's (Wine keeps its own faces elsewhere): the status line's
        # text is drawn, in some face the system has. The window is found by
        # its picture, which no face draws.
        for face in ("tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"):
            (self.prefix / "drive_c" / "windows" / "Fonts" / face).unlink()
        status = " Connessione in Corso ....."
        expected_path, blank_path = self.tmp / "expected.png", self.tmp / "blank.png"
        subprocess.run([RENDER, str(expected_path), "--status", status], check=True, timeout=60)
        subprocess.run([RENDER, str(blank_path), "--status", ""], check=True, timeout=60)
        expected, blank = pngread.read(str(expected_path)), pngread.read(str(blank_path))
        text = [(x, y) for y in range(HEIGHT) for x in range(WIDTH) if expected.rows[y][x] != blank.rows[y][x]]
        left, top = min(x for x, _ in text), min(y for _, y in text)
        right, bottom = max(x for x, _ in text) + 1, max(y for _, y in text) + 1
        with self.held_at_login() as x:

            def status_drawn():
                screen = self.screen(x)
                corner = find_area(screen, expected, ILLUSTRATION)
                return corner is not None and any(screen.rows[corner[1] + y][corner[0] + x] != blank.rows[y][x]
                                                  for y in range(top, bottom) for x in range(left, right))

            self.assertTrue(wait_for(status_drawn, timeout=30, step=0.5), "no text pixels in the status line")

    @staticmethod
    def compare(screen, expected, corner):
        left, top = corner
        return sum(a != b for y in range(HEIGHT)
                   for a, b in zip(screen.rows[top + y][left:left + WIDTH], expected.rows[y]))


if __name__ == "__main__":
    unittest.main()
