#!/usr/bin/python3
"""Runs a command in a network namespace of its own, for tests that play the
launcher's server on port 21 in process: inside, the given host names resolve
to 127.0.0.1. Output passes through; the exit code is the command's.

    in_netns.py --host www.cavenor.it -- program args...

With --wine-prefix WINE_RUN the command gets a Wine prefix of its own
(WINEPREFIX), a copy of the one WINE_RUN makes, removed afterwards: the
prefix's wineserver creates a Windows program's sockets, so a server shared
with runs outside the namespace would connect from there.
"""

import argparse
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from ftptest import NetNamespace  # noqa: E402
from winerun import copy_prefix, template_prefix  # noqa: E402


@contextlib.contextmanager
def own_wine_prefix(wine_run):
    folder = Path(tempfile.mkdtemp(prefix="wine-prefix."))
    try:
        copy_prefix(template_prefix(wine_run), folder / "prefix")
        yield str(folder / "prefix")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", action="append", default=[])
    parser.add_argument("--wine-prefix", metavar="WINE_RUN")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    env = dict(os.environ)
    with contextlib.ExitStack() as stack:
        if args.wine_prefix:
            env["WINEPREFIX"] = stack.enter_context(own_wine_prefix(args.wine_prefix))
        # Entered last, left first: its end ends the prefix's wineserver.
        ns = stack.enter_context(NetNamespace(hosts=args.host))
        return subprocess.run(ns.command(command), env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
