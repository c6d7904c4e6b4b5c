"""Wine prefixes for runs of Windows programs, shared by the end-to-end tests
and tests/support/in_netns.py.

A run in a network namespace needs a prefix of its own: the prefix's
wineserver creates the sockets, so a server shared with runs outside the
namespace would connect from there.
"""

import os
import shutil
import subprocess
from pathlib import Path


def windows_path(path):
    """How a Windows program under Wine sees a Linux path (drive Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def template_prefix(wine_run):
    """The shared Wine prefix, made by wine_run (tests/support/wine-run) on first use."""
    out = subprocess.run([wine_run, "--prepare"], capture_output=True, text=True, check=True).stdout
    return Path(out.strip())


def copy_prefix(template, prefix):
    """A prefix of its own: the system files linked (Wine only reads them),
    the registry copied (Wine rewrites it). The template's wineserver may be
    saving the registry meanwhile, through a scratch file that comes and
    goes: a file gone before its turn is no loss."""

    def link(source, target):
        try:
            os.link(source, target)
        except FileNotFoundError:
            pass

    shutil.copytree(template, prefix, symlinks=True, copy_function=link)
    for hive in prefix.glob("*.reg"):
        hive.unlink()
        shutil.copy2(template / hive.name, hive)
