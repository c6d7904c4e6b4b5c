"""A display of its own for a test: a fresh Xvfb on a free display number.

Run a command on one (the command's exit status is returned; Xvfb ends with
it):

    /usr/bin/python3 tests/support/xvfb.py [--size 1024x768] -- COMMAND [ARG...]

or from Python:

    from xvfb import Xvfb
    with Xvfb() as x:
        subprocess.run(cmd, env=x.env())      # DISPLAY=:<n> added
        x.screenshot("shot.png")              # with tests/support x-screenshot

Xvfb picks the number itself (-displayfd), so parallel tests never collide,
and accepts local clients only. It runs with the test process as its parent
and is killed when the `with` block ends.
"""

import argparse
import os
import select
import shutil
import subprocess
import sys
import time

from ftptest import end_process

START_TIMEOUT = 15.0


class Xvfb:
    def __init__(self, size="1024x768"):
        self.size = size
        self.proc = None
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
        return self

    def __exit__(self, *exc):
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
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")
    with Xvfb(args.size) as x:
        return subprocess.run(command, env=x.env()).returncode


if __name__ == "__main__":
    sys.exit(main())
