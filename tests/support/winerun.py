"""Running programs of a Windows build under Wine, for the tests that run them
as a Windows user would (the end-to-end tests, the vendor's tool). WINE_RUN
names the build's runner, tests/support/wine-run (x86_64, under wine64) or
wine32-run (i686, under Wine's 32-bit side through qemu-user); the tests of
a Windows build find it in their environment, and its absence means the
Linux build. The prefixes of one runner are of its architecture: a copy is
made from the template of the same runner.

A program run in a network namespace, or under reduced rights, needs a Wine
prefix of its own: the prefix's wineserver creates the program's sockets and
opens its files, so a server started elsewhere would do both from there.
"""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

WINE_RUN = os.environ.get("WINE_RUN", "")
WINESERVER = "/usr/lib/wine/wineserver"


def windows_path(path):
    """How a Windows program under Wine sees a Linux path (drive Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def windows_arguments(args):
    """A command's arguments for a Windows program: paths (Path objects) as
    Windows paths, everything else as text."""
    return [windows_path(a) if isinstance(a, Path) else str(a) for a in args]


def template_prefix(wine_run=None):
    """The shared Wine prefix of a runner (WINE_RUN unless named), made on
    first use."""
    env = dict(os.environ)
    env.pop("WINEPREFIX", None)
    out = subprocess.run([wine_run or WINE_RUN, "--prepare"], capture_output=True, text=True, check=True, env=env).stdout
    return Path(out.strip())


def copy_prefix(template, prefix):
    """A prefix of its own: the system files linked (Wine only reads them),
    the registry copied (Wine rewrites it). The template's wineserver may be
    saving the registry meanwhile, through a scratch file that comes and
    goes: a file gone before its turn is no loss.

    The copy gets a wineserver of its own, never the template's or another
    copy's: Debian's Wine names the folder of a prefix's server socket in the
    prefix's file `wineserver` (a temporary folder made once), and the socket
    in it after the device and inode of the prefix's folder. A copy that
    shared that file would share the folder, and the file system gives a new
    prefix folder the inode of one just removed: its programs would connect
    to the server of another test's prefix, and end with it (a program that
    a server ends while it waits exits with code 1, saying nothing). Without
    the file, the copy's first program makes a folder of its own."""

    def link(source, target):
        try:
            os.link(source, target)
        except FileNotFoundError:
            pass

    shutil.copytree(template, prefix, symlinks=True, copy_function=link,
                    ignore=lambda folder, names: ["wineserver"] if Path(folder) == Path(template) else [])
    for hive in prefix.glob("*.reg"):
        hive.unlink()
        shutil.copy2(template / hive.name, hive)


def prefix_environment(prefix, extra=None):
    """The test's environment with `prefix` as the Wine prefix, headless."""
    env = dict(os.environ, WINEPREFIX=str(prefix))
    env.pop("DISPLAY", None)
    env.update(extra or {})
    return env


def end_server(prefix):
    """Ends the wineserver of `prefix` and the programs it still serves, and
    waits until it is gone, so that the next program starts a new one."""
    env = prefix_environment(prefix)
    subprocess.run([WINESERVER, "-k"], env=env, capture_output=True)
    subprocess.run([WINESERVER, "-w"], env=env, capture_output=True)


def run_program(command, env, timeout=60):
    """Runs a command that starts a Windows program and returns its
    CompletedProcess with its output as text, as soon as the program ends:
    the wineserver and the services it starts with the first program keep
    the program's standard output open for seconds after, so the output goes
    through files rather than pipes."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        run = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(command, run.returncode, out.read().decode(errors="replace"),
                                           err.read().decode(errors="replace"))
