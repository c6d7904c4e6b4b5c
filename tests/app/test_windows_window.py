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

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
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

# The system colours the window draws with, as a standard Windows desktop
# has them (GetSysColor on the Linux platform).
STANDARD_COLOURS = {"ButtonFace": "240 240 240", "ButtonShadow": "160 160 160", "ButtonDkShadow": "105 105 105",
                    "ButtonLight": "227 227 227", "ButtonHilight": "255 255 255", "GrayText": "109 109 109",
                    "Window": "255 255 255", "WindowText": "0 0 0", "ButtonText": "0 0 0"}


def row_bytes(row):
    return b"".join(bytes(pixel) for pixel in row)


def find_area(screen, expected):
    """The top-left corner of the place where the screen shows the expected
    picture's first 16 rows, or None."""
    probe = [row_bytes(expected.rows[y]) for y in range(16)]
    rows = [row_bytes(row) for row in screen.rows]
    for top in range(0, screen.height - expected.height + 1):
        at = rows[top].find(probe[0])
        while at >= 0:
            if at % 3 == 0 and all(rows[top + y][at:at + len(probe[y])] == probe[y] for y in range(1, 16)):
                return at // 3, top
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
            screen_path = self.tmp / "screen.xwd"
            found = None

            def shows_window():
                nonlocal found
                with open(screen_path, "wb") as out:
                    subprocess.run(["xwd", "-root", "-silent"], env=x.env(), stdout=out, check=True)
                screen = xwdread.read(str(screen_path))
                found = find_area(screen, expected)
                return found is not None and self.compare(screen, expected, found) == 0

            shown = wait_for(shows_window, timeout=30, step=0.5)
            if KEEP:
                os.makedirs(KEEP, exist_ok=True)
                shutil.copyfile(screen_path, os.path.join(KEEP, "windows-screen.xwd"))
                shutil.copyfile(expected_path, os.path.join(KEEP, "windows-expected.png"))
            self.assertIsNotNone(found, "the window's client area is not on the screen")
            self.assertTrue(shown, "%d pixels of the client area differ from the Linux rendering" %
                            self.compare(xwdread.read(str(screen_path)), expected, found))
            open(gate, "wb").close()
            try:
                self.proc.wait(WAIT)
            except subprocess.TimeoutExpired:
                self.fail("the launcher did not end")
            self.assertEqual(self.proc.returncode, 0)

    @staticmethod
    def compare(screen, expected, corner):
        left, top = corner
        return sum(a != b for y in range(HEIGHT)
                   for a, b in zip(screen.rows[top + y][left:left + WIDTH], expected.rows[y]))


if __name__ == "__main__":
    unittest.main()
