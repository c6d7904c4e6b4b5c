"""What a person sees of a real run: the shipped launcher on a display of its
own, its window captured as the run goes.

Each case runs the binary as built, in a network namespace beside the
scripted FTP server on port 21 (as tests/app/test_launcher.py does), on a
fresh Xvfb. The platform records every state of the window
(WIN32_PLATFORM_RECORD_DIR) and captures it on SIGUSR1
(WIN32_PLATFORM_CAPTURE_DIR); the server holds the login and the product's
transfer half-way until the test has looked. The pictures are compared with
the stored window painted in the same state (render-main-window) and checked
for the layout of the window; one is compared with what the X server shows.

One case runs under a window manager that follows the window's Motif hints
(IceWM in its Windows 95 look) and checks the frame it draws: the icon, the
caption and the minimise button alone; that close requests from the desktop
change nothing; that the window minimises, comes back and repaints.

CTest passes in the environment LAUNCHER_BINARY, LAUNCHER_HOST,
LAUNCHER_USER, LAUNCHER_PASSWORD, LAUNCHER_ROOT, RENDER_MAIN_WINDOW,
X_SCREENSHOT and X_CLOSE_REQUEST. With SCREENSHOTS_DIR set, the pictures of
each state are kept there (before-connection.png, x-screen.png,
downloading.png, after-update.png, no-update.png, window-manager.png,
restored.png); on a failure the pictures involved are kept in the temporary
folder, which the message names.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
import pngread  # noqa: E402
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, HOST, PASSWORD, PRODUCT, ROOT, USER  # noqa: E402
from xvfb import Xvfb  # noqa: E402

RENDER = os.environ.get("RENDER_MAIN_WINDOW", "")
XSHOT = os.environ.get("X_SCREENSHOT", "")
XCLOSE = os.environ.get("X_CLOSE_REQUEST", "")
KEEP = os.environ.get("SCREENSHOTS_DIR", "")

TITLE = "Cavenor S.R.L. Software Update"
PRODUCT_SIZE = 819200
HALF = PRODUCT_SIZE // 2
WAIT = 60.0

# Client area layout of the stored window.
WIDTH, HEIGHT = 592, 256
ROW_TOP, ROW_HEIGHT = 17, 17
ICON = 16
BAR_TOP, STATUS_TOP = 214, 234
NAVY = (0, 0, 128)
SHADOW, HIGHLIGHT, WHITE = (160, 160, 160), (255, 255, 255), (255, 255, 255)

ROW_NAMES = ["Merindo", "Quillane.exe", "ntwdblib.dll"]
DONE_TEXTS = ["Merindo Download Terminato Correttamente", "Quillane.exe Download Terminato Correttamente",
              "ntwdblib.dll Download Terminato Correttamente"]
VERSIONS = ["2.0", "Versione 1.0", "Versione 8.00.194"]

# The window manager's buttons and the launcher's icon, as drawn on the title bar.
BUTTONS = Path("/usr/share/icewm/themes/win95")
LAUNCHER_ICON = Path(__file__).resolve().parents[2] / "app" / "assets" / "icon16.png"
BLACK = (0, 0, 0)


def wait_for(condition, timeout=WAIT, step=0.02):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


def button_ink(name):
    """The black pixels of a button picture of the window manager's theme (a
    two-colour XPM file), as (x, y) offsets, and its size."""
    strings = re.findall(r'"([^"]*)"', (BUTTONS / name).read_text())
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    black = {line[:per_pixel] for line in strings[1:1 + colours]
             if line[per_pixel:].split()[-1].lower() in ("#000", "#000000")}
    rows = strings[1 + colours:1 + colours + height]
    ink = [(x, y) for y, row in enumerate(rows) for x in range(width)
           if row[x * per_pixel:(x + 1) * per_pixel] in black]
    return ink, width, height


def shows_button(shot, name, left, top, width, height):
    """Whether the area of shot shows the button picture: black exactly where
    the picture is."""
    ink, w, h = button_ink(name)
    ink_set = set(ink)
    rest = [(x, y) for y in range(h) for x in range(w) if (x, y) not in ink_set]
    for oy in range(top, top + height - h + 1):
        for ox in range(left, left + width - w + 1):
            if all(shot.pixel(ox + x, oy + y) == BLACK for x, y in ink) and \
                    all(shot.pixel(ox + x, oy + y) != BLACK for x, y in rest):
                return True
    return False


def shows_icon(shot, left, top, width, height):
    """Whether the area of shot shows the opaque pixels of the launcher's icon."""
    icon = pngread.read(str(LAUNCHER_ICON))
    opaque = [(x, y, icon.pixel(x, y)) for y in range(icon.height) for x in range(icon.width) if icon.opaque(x, y)]
    return any(all(shot.pixel(ox + x, oy + y) == p for x, y, p in opaque)
               for oy in range(top, top + height - icon.height + 1)
               for ox in range(left, left + width - icon.width + 1))


def grouped(n):
    """A byte count as the launcher writes it under the C locale."""
    return "{:,}".format(n)


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and RENDER and XSHOT and XCLOSE and shutil.which("Xvfb"),
                     "the launcher, the test tools or Xvfb are not built or installed")
class WindowScreens(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="window-screens."))
        self.work = self.tmp / "work"
        self.site = self.tmp / "site"
        self.records = self.tmp / "records"
        self.captures = self.tmp / "captures"
        self.expected = self.tmp / "expected"
        for folder in (self.work, self.site / ROOT / "Merindo", self.records, self.captures, self.expected):
            folder.mkdir(parents=True)
        self.renders = 0
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = result is not None and any(test is self for test, _ in result.errors + result.failures)
        if failed:
            print("\npictures of the failed run: %s" % self.tmp, file=sys.stderr)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    # ---- the run

    def serve_release(self, local_version):
        merindo = self.site / ROOT / "Merindo"
        (merindo / "Versione.Txt").write_bytes(b"1.0\r\n2.0\r\n")
        body = b"#!/bin/sh\nexit 0\n"
        (merindo / PRODUCT).write_bytes(body + b"#" * (PRODUCT_SIZE - len(body)))
        (merindo / "Quillane.Exe").write_bytes(bytes(range(256)) * 300)
        (merindo / "ntwdblib.dll").write_bytes(b"MZ" + bytes(i * 7 % 256 for i in range(150000)))
        (self.work / "VersioneAttuale.Txt").write_bytes(local_version)

    def start(self, x, ns):
        env = x.env()
        env.update(LC_ALL="C", WIN32_PLATFORM_RECORD_DIR=str(self.records),
                   WIN32_PLATFORM_CAPTURE_DIR=str(self.captures), WIN32_PLATFORM_TRACE=str(self.tmp / "trace.log"))
        self.errors = open(self.tmp / "stderr.txt", "wb")
        self.addCleanup(self.errors.close)
        self.proc = subprocess.Popen(ns.command([BINARY]), cwd=str(self.work), env=env, start_new_session=True,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=self.errors)

    def finish(self):
        try:
            self.proc.wait(WAIT)
        except subprocess.TimeoutExpired:
            self.fail("the launcher did not end")
        self.assertEqual(self.proc.returncode, 0, (self.tmp / "stderr.txt").read_text(errors="replace")[-3000:])

    def on_desktop(self, x):
        found = subprocess.run(["xwininfo", "-name", TITLE], env=x.env(), capture_output=True, text=True)
        return found.returncode == 0 and "IsViewable" in found.stdout

    def desktop_property(self, x, name):
        return subprocess.run(["xprop", "-name", TITLE, name], env=x.env(), capture_output=True, text=True).stdout

    def client_window(self, x):
        """The launcher's X window: its id and the client area's place on the
        screen."""
        info = subprocess.run(["xwininfo", "-name", TITLE], env=x.env(), capture_output=True, text=True).stdout
        field = lambda name: re.search(name + r":\s*(\S+)", info).group(1)  # noqa: E731
        return field("Window id"), int(field("Absolute upper-left X")), int(field("Absolute upper-left Y"))

    def framed(self, x):
        """The frame's widths (left, right, top, bottom) once the window
        manager has put the window in one, else None."""
        extents = self.desktop_property(x, "_NET_FRAME_EXTENTS")
        found = re.search(r"= (\d+), (\d+), (\d+), (\d+)", extents)
        return tuple(int(v) for v in found.groups()) if found else None

    def mapped(self, x, window):
        info = subprocess.run(["xwininfo", "-id", window], env=x.env(), capture_output=True, text=True).stdout
        return "IsViewable" in info

    def capture(self):
        """A capture of the window now, decoded, and its file."""
        n = len(list(self.captures.glob("capture-*-1.png"))) + 1
        path = self.captures / ("capture-%d-1.png" % n)
        os.kill(self.proc.pid, signal.SIGUSR1)
        self.assertTrue(wait_for(path.exists), "no capture %d" % n)
        return pngread.read(str(path)), path

    def render(self, status="", position=0, icons=(6, -1, -1), rows=(("", ""),) * 3):
        """The stored window painted in a state: its file."""
        self.renders += 1
        path = self.expected / ("expected-%d.png" % self.renders)
        cmd = [RENDER, str(path), "--status", status, "--position", str(position)]
        for row, (icon, (product, version)) in enumerate(zip(icons, rows)):
            cmd += ["--icon", str(row), str(icon), "--row", str(row), product, version]
        subprocess.run(cmd, check=True, timeout=60)
        return path

    def keep(self, path, name):
        if KEEP:
            os.makedirs(KEEP, exist_ok=True)
            shutil.copyfile(path, os.path.join(KEEP, name))

    def recorded(self, expected):
        """The first recorded picture identical to the expected one."""
        records = sorted(self.records.glob("record-*-1.png"), key=lambda p: int(p.name.split("-")[1]))
        return next((p for p in records if pngread.same_pixels(str(p), str(expected))), None)

    # ---- checks

    def assert_layout(self, shot):
        """The places and colours of the stored design, whatever the state."""
        self.assertEqual((shot.width, shot.height), (WIDTH, HEIGHT))
        # The list: header buttons ending at the column widths 37, 350, 200.
        self.assertEqual(shot.pixel(100, 8), (240, 240, 240))
        for edge in (36, 386, 586):
            self.assertEqual(shot.pixel(edge, 8), (105, 105, 105), "column edge at %d" % edge)
        # White between list, panel and picture.
        for x, y in ((300, 101), (295, 150), (395, 150), (2, 105)):
            self.assertEqual(shot.pixel(x, y), WHITE, (x, y))
        # The notice inside the memo only (memo at 9, 110; 273 x 93).
        ink = [(x, y) for y in range(103, 214) for x in range(0, 400) if shot.pixel(x, y) != WHITE]
        self.assertGreater(len(ink), 500)
        self.assertGreaterEqual(min(x for x, _ in ink), 9)
        self.assertLess(max(x for x, _ in ink), 9 + 273)
        self.assertGreaterEqual(min(y for _, y in ink), 110)
        # The picture in its box 401, 104; 180 x 100, on white.
        picture = [(x, y) for y in range(100, 214, 2) for x in range(395, 592, 2) if shot.pixel(x, y) != WHITE]
        self.assertGreater(len(picture), 1000)
        self.assertGreaterEqual(min(x for x, _ in picture), 401)
        self.assertLess(max(x for x, _ in picture), 581)
        # The bar's lowered frame: shadow above and left, highlight below and right.
        for x in (0, 100, 590):
            self.assertEqual(shot.pixel(x, BAR_TOP), SHADOW)
            self.assertEqual(shot.pixel(x + 1, BAR_TOP + 19), HIGHLIGHT)
        self.assertEqual(shot.pixel(0, BAR_TOP + 10), SHADOW)
        self.assertEqual(shot.pixel(591, BAR_TOP + 10), HIGHLIGHT)

    def status_ink(self, shot):
        return [(x, y) for y in range(STATUS_TOP, HEIGHT) for x in range(WIDTH) if shot.pixel(x, y) == NAVY]

    def assert_status_text(self, shot):
        """A navy status text at the left of the status bar, vertically centred."""
        ink = self.status_ink(shot)
        self.assertGreater(len(ink), 50)
        self.assertLessEqual(min(x for x, _ in ink), 12)
        top, bottom = min(y for _, y in ink), max(y for _, y in ink)
        self.assertLess(abs((top + bottom) / 2 - (STATUS_TOP + HEIGHT) / 2), 3)

    def filled(self, shot):
        """How many pixels of the bar's gradient a line above its text shows."""
        return sum(shot.pixel(x, BAR_TOP + 2) != WHITE for x in range(1, 591))

    def gauge(self, shot, row):
        """The gauge frame (1 .. 5) a row shows, or None."""
        for frame in range(1, 6):
            if shot.same_area(self.gauges[frame], 2, ROW_TOP + row * ROW_HEIGHT, ICON, ICON):
                return frame
        return None

    # ---- the runs

    def test_an_update_run_shows_each_state(self):
        self.serve_release(b"1.0\r\n")
        gate_login = str(self.tmp / "login")
        gate_data = str(self.tmp / "data")
        rules = [{"on": "USER", "hold_until": gate_login},
                 {"on": "RETR", "arg": "/%s/Merindo/%s" % (ROOT, PRODUCT), "hold_after": HALF,
                  "hold_until": gate_data}]
        downloading_rows = [("Merindo Download in Corso .....", "2.0"), (ROW_NAMES[1], ""), (ROW_NAMES[2], "")]
        self.gauges = {frame: pngread.read(str(self.render(icons=(frame, -1, -1)))) for frame in range(1, 6)}
        expected_download = pngread.read(str(self.render(
            status=" %s Bytes di %s Ricevuti" % (grouped(HALF), grouped(PRODUCT_SIZE)), position=50,
            icons=(1, -1, -1), rows=downloading_rows)))
        with Xvfb() as x, NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=rules, root=str(self.site), user=USER, password=PASSWORD, netns=ns,
                                  port=21):
            self.start(x, ns)
            self.assertTrue(wait_for(lambda: os.path.exists(gate_login + ".held")), "no login")
            self.assertTrue(wait_for(lambda: self.on_desktop(x)), "the window is not on the desktop")
            # Its icon (16 x 16) and a fixed size: the size hints pin it.
            self.assertIn("Icon (16 x 16)", self.desktop_property(x, "_NET_WM_ICON"))
            hints = self.desktop_property(x, "WM_NORMAL_HINTS")
            self.assertIn("minimum size: 592 by 256", hints)
            self.assertIn("maximum size: 592 by 256", hints)

            # Before the connection: the stored window, connecting.
            before, before_path = self.capture()
            self.keep(before_path, "before-connection.png")
            self.assert_layout(before)
            self.assertTrue(pngread.same_pixels(str(before_path),
                                                str(self.render(status=" Connessione in Corso ....."))))
            # What the desktop shows is what the window holds, centred.
            on_screen = self.tmp / "x-screen.png"
            left, top = (1024 - WIDTH) // 2, (768 - HEIGHT) // 2
            self.assertTrue(wait_for(lambda: x.screenshot(XSHOT, str(on_screen), (left, top, WIDTH, HEIGHT))
                                     and pngread.same_pixels(str(on_screen), str(before_path)), timeout=20))
            self.keep(on_screen, "x-screen.png")
            open(gate_login, "wb").close()

            # During the download of the product, held half-way: gauge, bar
            # at 50 % with its two-colour text, the received bytes.
            self.assertTrue(wait_for(lambda: os.path.exists(gate_data + ".held")), "the product was not held")
            for _ in range(100):
                shot, shot_path = self.capture()
                if self.filled(shot) == self.filled(expected_download) and \
                        shot.same_area(expected_download, 0, STATUS_TOP, WIDTH, HEIGHT - STATUS_TOP):
                    break
                time.sleep(0.05)
            self.keep(shot_path, "downloading.png")
            self.assert_layout(shot)
            self.assertIsNotNone(self.gauge(shot, 0), "a gauge on the row being downloaded")
            self.assertTrue(shot.same_area(expected_download, 0, BAR_TOP, WIDTH, HEIGHT - BAR_TOP),
                            "bar at 50 %% and the received bytes: %d pixels differ" %
                            shot.differences(expected_download, 0, BAR_TOP, WIDTH, HEIGHT - BAR_TOP))
            self.assertTrue(shot.same_area(expected_download, 20, ROW_TOP, WIDTH - 20, 3 * ROW_HEIGHT))
            self.assert_status_text(shot)
            middle = shot.area(280, BAR_TOP + 2, 32, 16)
            self.assertTrue(any(p == WHITE for row in middle for p in row[:14]), "text over the gradient")
            self.assertTrue(any(p == (0, 0, 0) for row in middle for p in row[16:]), "text over the rest")
            open(gate_data, "wb").close()
            self.finish()

        # After the update: three check marks, completed texts, bar at 0.
        after = self.render(status=" Aggiornamento Terminato Correttamente", icons=(0, 0, 0),
                            rows=list(zip(DONE_TEXTS, VERSIONS)))
        found = self.recorded(after)
        self.assertIsNotNone(found, "no recorded picture shows the finished update")
        self.keep(found, "after-update.png")
        self.assert_layout(pngread.read(str(found)))

    def test_under_a_window_manager_the_caption_offers_minimise_alone(self):
        self.serve_release(b"1.0\r\n")
        gate_login = str(self.tmp / "login")
        with Xvfb(window_manager=True) as x, NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=[{"on": "USER", "hold_until": gate_login}], root=str(self.site), user=USER,
                                  password=PASSWORD, netns=ns, port=21):
            self.start(x, ns)
            self.assertTrue(wait_for(lambda: os.path.exists(gate_login + ".held")), "no login")
            self.assertTrue(wait_for(lambda: self.on_desktop(x) and self.framed(x)), "no frame around the window")
            window, left, top = self.client_window(x)
            frame_left, frame_right, frame_top, _ = self.framed(x)

            # What the window asks for, and what the window manager allows.
            self.assertIn("= 0x3, 0x8, 0x3a,", self.desktop_property(x, "_MOTIF_WM_HINTS"))
            allowed = self.desktop_property(x, "_NET_WM_ALLOWED_ACTIONS")
            self.assertIn("_NET_WM_ACTION_MINIMIZE", allowed)
            for action in ("CLOSE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE"):
                self.assertNotIn("_NET_WM_ACTION_" + action, allowed)

            # The title bar: the icon at its left, the caption, the minimise
            # button, and neither maximise nor close.
            screen = self.tmp / "window-manager.png"
            self.assertTrue(x.screenshot(XSHOT, str(screen)))
            self.keep(screen, "window-manager.png")
            shot = pngread.read(str(screen))
            bar = (left - frame_left, top - frame_top, frame_left + WIDTH + frame_right, frame_top)
            self.assertTrue(shows_icon(shot, bar[0], bar[1], 40, bar[3]), "no icon at the left of the title bar")
            caption = sum(shot.pixel(px, py) == WHITE for py in range(bar[1], bar[1] + bar[3])
                          for px in range(bar[0] + 20, bar[0] + 300))
            self.assertGreater(caption, 100, "no caption text")
            self.assertTrue(shows_button(shot, "minimize.xpm", *bar), "no minimise button")
            self.assertFalse(shows_button(shot, "maximize.xpm", *bar), "a maximise button")
            self.assertFalse(shows_button(shot, "close.xpm", *bar), "a close button")

            # Close requests through the window manager and straight to the
            # window: nothing closes.
            subprocess.run(["wmctrl", "-c", TITLE], env=x.env(), check=True, timeout=30)
            subprocess.run([XCLOSE, window], env=x.env(), check=True, timeout=30)

            # Minimised and back, the window shows what it holds again: the
            # screen lost it while the window was off.
            held, held_path = self.capture()
            subprocess.run(["xdotool", "windowminimize", window], env=x.env(), check=True, timeout=30)
            self.assertTrue(wait_for(lambda: not self.mapped(x, window)), "not minimised")
            self.assertIn("_NET_WM_STATE_HIDDEN", self.desktop_property(x, "_NET_WM_STATE"))
            subprocess.run(["wmctrl", "-i", "-a", window], env=x.env(), check=True, timeout=30)
            self.assertTrue(wait_for(lambda: self.mapped(x, window)), "not restored")
            restored = self.tmp / "restored.png"
            self.assertTrue(wait_for(lambda: x.screenshot(XSHOT, str(restored), (left, top, WIDTH, HEIGHT))
                                     and pngread.same_pixels(str(restored), str(held_path)), timeout=20),
                            "the restored window was not repainted")
            self.keep(restored, "restored.png")
            # The close requests came before the restoring's exposure, which
            # the window has handled: they were handled too, and changed nothing.
            self.assertIsNone(self.proc.poll())
            self.assertEqual(self.client_window(x)[0], window)

            open(gate_login, "wb").close()
            self.finish()
        self.assertEqual((self.work / PRODUCT).stat().st_size, PRODUCT_SIZE, "the update did not run to its end")
        starts = [line for line in (self.tmp / "trace.log").read_text().splitlines() if line.startswith("start ")]
        self.assertEqual(len(starts), 1, "the product was not started")

    def test_a_run_without_update_shows_the_gear_and_no_new_version(self):
        self.serve_release(b"2.0\r\n")
        with Xvfb() as x, NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(self.site), user=USER, password=PASSWORD, netns=ns, port=21):
            self.start(x, ns)
            self.finish()
        expected = self.render(status=" Nessuna Nuova Versione", rows=[(name, "") for name in ROW_NAMES])
        found = self.recorded(expected)
        self.assertIsNotNone(found, "no recorded picture shows the run without update")
        self.keep(found, "no-update.png")
        shot = pngread.read(str(found))
        self.assert_layout(shot)
        self.assert_status_text(shot)


if __name__ == "__main__":
    unittest.main()
