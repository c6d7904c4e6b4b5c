"""A display of its own for a test: a fresh Xvfb on a free display number.

Run a command on one (the command's exit status is returned; Xvfb ends with
it):

    /usr/bin/python3 tests/support/xvfb.py [--size 1024x768] [--window-manager] -- COMMAND [ARG...]

or from Python:

    from xvfb import Xvfb
    with Xvfb() as x:
        subprocess.run(cmd, env=x.env())      # DISPLAY=:<n> added
        x.screenshot("shot.png")              # with tests/support x-screenshot

Xvfb picks the number itself (-displayfd), so parallel tests never collide,
and accepts local clients only. It runs with the test process as its parent
and is killed when the `with` block ends.

With --window-manager (Xvfb(window_manager=True)) a window manager runs on
it too: IceWM, which follows the Motif hints that say which caption buttons
and commands a window offers, in its Windows 95 look and without its task
bar (tests/support/icewm-preferences), with a configuration folder of its
own. The display is handed over once the window manager has taken it.
"""

import argparse
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from ftptest import end_process

START_TIMEOUT = 15.0
WINDOW_MANAGER_PREFERENCES = Path(__file__).resolve().parent / "icewm-preferences"


class Xvfb:
    def __init__(self, size="1024x768", window_manager=False):
        self.size = size
        self.window_manager = window_manager
        self.proc = None
        self.wm = None
        self.wm_home = None
        self.display = None

    def __enter__(self):
        if not shutil.which("Xvfb"):
            raise RuntimeError("Xvfb is not installed (scripts/setup installs it)")
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size + "x24", "-nolisten", "tcp",
             "-noreset"], pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        text = b""
        deadline = time.monotonic() + START_TIMEOUT
        try:
            while not text.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
                if not ready:
                    break
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                text += chunk
        finally:
            os.close(read_end)
        if not text.strip().isdigit():
            self.__exit__()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + text.decode().strip()
        if self.window_manager:
            self._start_window_manager()
        return self

    def _start_window_manager(self):
        if not shutil.which("icewm"):
            self.__exit__()
            raise RuntimeError("IceWM is not installed (scripts/setup installs it)")
        self.wm_home = tempfile.mkdtemp(prefix="xvfb-wm.")
        env = self.env()
        env.update(HOME=self.wm_home, ICEWM_PRIVCFG=self.wm_home)
        self.wm = subprocess.Popen(
            ["icewm", "--config=%s" % WINDOW_MANAGER_PREFERENCES, "--theme=win95/default.theme"], env=env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline and self.wm.poll() is None:
            # A window manager names its check window on the root window
            # once it manages the screen.
            check = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(),
                                   capture_output=True, text=True)
            if "window id" in check.stdout:
                return
            time.sleep(0.05)
        self.__exit__()
        raise RuntimeError("the window manager did not start")

    def __exit__(self, *exc):
        if self.wm is not None:
            end_process(self.wm)
            self.wm = None
        if self.wm_home is not None:
            shutil.rmtree(self.wm_home, ignore_errors=True)
            self.wm_home = None
        if self.proc is not None:
            end_process(self.proc)
            self.proc = None

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def screenshot(self, tool, path, area=None):
        """Writes what the screen shows (or area = (x, y, w, h)) to path with
        the x-screenshot tool; returns True on success."""
        cmd = [tool, path] + ([str(v) for v in area] if area else [])
        return subprocess.run(cmd, env=self.env(), timeout=30).returncode == 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="1024x768")
    parser.add_argument("--window-manager", action="store_true", help="run IceWM on the display too")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")
    with Xvfb(args.size, window_manager=args.window_manager) as x:
        return subprocess.run(command, env=x.env()).returncode


if __name__ == "__main__":
    sys.exit(main())
