"""What every run of the shipped launcher shares: the binary and its server
profile as the build passes them in the environment (LAUNCHER_BINARY,
LAUNCHER_HOST, LAUNCHER_USER, LAUNCHER_PASSWORD, LAUNCHER_ROOT), the launcher
built with a short stall guard for its tests (LAUNCHER_STALL_BINARY,
LAUNCHER_STALL_SECONDS) and the one built for passive mode
(LAUNCHER_PASSIVE_BINARY), the same profile read from a build's CMake cache,
the names of the files the launcher updates, of its lock file and of its run
log, the lines of a run log, and the timer ticks of a platform trace."""

import os
import re
from collections import namedtuple
from pathlib import Path

BINARY = os.environ.get("LAUNCHER_BINARY", "")
PASSIVE_BINARY = os.environ.get("LAUNCHER_PASSIVE_BINARY", "")
STALL_BINARY = os.environ.get("LAUNCHER_STALL_BINARY", "")
STALL_MS = int(os.environ.get("LAUNCHER_STALL_SECONDS", "0") or 0) * 1000
HOST = os.environ.get("LAUNCHER_HOST", "www.cavenor.it")
USER = os.environ.get("LAUNCHER_USER", "")
PASSWORD = os.environ.get("LAUNCHER_PASSWORD", "")
ROOT = os.environ.get("LAUNCHER_ROOT", "/Cavenor.it").lstrip("/")

PRODUCT = "Merindo_SQL_Dalvessa.Exe"
COMPANION = "Quillane.Exe"
LIBRARY = "ntwdblib.dll"

# The file a launcher on Linux locks in its working folder, as the platform
# names it (platform/SingleInstance.h).
LOCK_FILE = re.search(r'kInstanceLockFile\[\] = "([^"]+)"',
                      (Path(__file__).resolve().parents[2] / "platform" / "SingleInstance.h").read_text()).group(1)


# The run log the launcher appends to in its working folder, as the program
# names it (app/RunLog.h), and the name of the one before it.
LOG_FILE = re.search(r'kRunLogName = "([^"]+)"',
                     (Path(__file__).resolve().parents[2] / "app" / "RunLog.h").read_text()).group(1)
OLD_LOG_FILE = LOG_FILE + ".1"
LOG_LINE = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)\r")


def log_lines(folder):
    """The lines of the run log in folder without their times ("step: text");
    none when there is no log. A line of any other form fails."""
    path = Path(folder) / LOG_FILE
    if not path.exists():
        return []
    lines = []
    for line in path.read_bytes().decode("latin-1").split("\n")[:-1]:
        match = LOG_LINE.fullmatch(line)
        if not match:
            raise AssertionError("not a line of the run log: %r" % line)
        lines.append(match.group(1))
    return lines


def cache_value(build, name):
    """The value of a variable in build's CMakeCache.txt."""
    with open(Path(build) / "CMakeCache.txt") as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise RuntimeError("%s is not in %s/CMakeCache.txt" % (name, build))


def built_profile(build):
    """(host, user, password, root folder without its leading slash) of the
    profile the launcher in build uses."""
    value = lambda field: cache_value(build, "LAUNCHER_PROFILE_B_" + field)  # noqa: E731
    return value("HOST"), value("USER"), value("PASSWORD"), value("ROOT").strip("/")


# One tick of a window timer in a platform trace (WIN32_PLATFORM_TRACE): on
# the platform's clock in ms, when it ticked and when SetTimer last started
# it; the timer's window and id; its period.
Tick = namedtuple("Tick", "at window id period armed")


def timer_ticks(trace_lines):
    """The ticks of the trace's "timer" lines, in order."""
    ticks = []
    for line in trace_lines:
        words = line.split()
        if len(words) == 6 and words[0] == "timer":
            at, window, timer, period, armed = (int(w) for w in words[1:])
            ticks.append(Tick(at, window, timer, period, armed))
    return ticks
