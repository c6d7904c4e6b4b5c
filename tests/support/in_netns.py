#!/usr/bin/python3
"""Runs a command in a network namespace of its own, for tests that play the
launcher's server on port 21 in process: inside, the given host names resolve
to 127.0.0.1. Output passes through; the exit code is the command's.

    in_netns.py --host www.cavenor.it -- program args...
"""

import argparse
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from ftptest import NetNamespace  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", action="append", default=[])
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    with NetNamespace(hosts=args.host) as ns:
        return subprocess.run(ns.command(command)).returncode


if __name__ == "__main__":
    sys.exit(main())
