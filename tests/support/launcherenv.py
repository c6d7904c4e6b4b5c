"""What every run of the shipped launcher shares: the binary and its server
profile as the build passes them in the environment (LAUNCHER_BINARY,
LAUNCHER_HOST, LAUNCHER_USER, LAUNCHER_PASSWORD, LAUNCHER_ROOT), the same
profile read from a build's CMake cache, and the names of the files the
launcher updates."""

import os
from pathlib import Path

BINARY = os.environ.get("LAUNCHER_BINARY", "")
HOST = os.environ.get("LAUNCHER_HOST", "www.cavenor.it")
USER = os.environ.get("LAUNCHER_USER", "")
PASSWORD = os.environ.get("LAUNCHER_PASSWORD", "")
ROOT = os.environ.get("LAUNCHER_ROOT", "/Cavenor.it").lstrip("/")

PRODUCT = "Merindo_SQL_Dalvessa.Exe"
COMPANION = "Quillane.Exe"
LIBRARY = "ntwdblib.dll"


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
