"""The server's version file cannot cost the shipped launcher memory or disk.

A real version file is a few bytes. The launcher takes one of up to 64 KiB
and decides on it; a longer one is cut off at the first block of its transfer
past 64 KiB, nothing of it stays on the disk, and the step fails as any
failed step does: the installed product is launched. Against a version file
of SIZE_MIB MiB (one line, then "2.0") its peak resident memory, measured
from outside by GNU time, stays within 8 MiB of a small file's run. The
300 MB and 3 GB figures are the benchmark's (bench/run --only version).
"""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, HOST, PASSWORD, PRODUCT, ROOT, USER  # noqa: E402
from test_launcher import INSTALLED_PRODUCT, LauncherRun  # noqa: E402

BOUND = 64 << 10
SIZE_MIB = 64
ALLOWED_GROWTH_KIB = 8 * 1024
RETR = "RETR /" + ROOT + "/Merindo/"


def write_long_line_version_file(path, size, version=b"2.0"):
    """size bytes: one line, then the version on a line of its own."""
    tail = b"\r\n" + version + b"\r\n"
    chunk = b"x" * (1 << 20)
    with open(path, "wb") as f:
        left = size - len(tail)
        while left > 0:
            f.write(chunk[:min(left, len(chunk))])
            left -= min(left, len(chunk))
        f.write(tail)


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class VersionFileBound(unittest.TestCase):
    def run_against(self, size, version=b"2.0"):
        """Runs the launcher, 1.0 installed, against a version file of size
        bytes that names version; returns the peak resident KiB of the run, the
        commands the server received and the local Versione.Txt's size (None
        when there is none)."""
        run = LauncherRun(self)
        self.addCleanup(run.close)
        run.serve_release()
        write_long_line_version_file(run.site / ROOT / "Merindo" / "Versione.Txt", size, version)
        run.local("VersioneAttuale.Txt", b"1.0\r\n")
        run.local(PRODUCT, INSTALLED_PRODUCT)
        # GNU time reports the peak of the process it starts. A process
        # started straight from this (larger) Python would report Python's
        # size: the kernel keeps the highest resident size across exec.
        peak = run.tmp / "peak-rss.txt"
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(run.site), user=USER, password=PASSWORD, netns=ns, port=21) as server:
            run.run(ns, timeout=120, under=["/usr/bin/time", "-f", "%M", "-o", str(peak)])
            commands = server.commands()
        local = run.work / "Versione.Txt"
        if size > BOUND:  # a failed step: the installed product
            self.assertEqual(run.started(), [str(run.work), "installed"])
        return int(peak.read_text().split()[-1]), commands, local.stat().st_size if local.exists() else None

    def test_a_version_file_longer_than_64_KiB_fails_the_step_and_leaves_nothing(self):
        _, commands, kept = self.run_against(BOUND)
        self.assertEqual(commands[-1], RETR + "ntwdblib.dll")  # decided: an update
        self.assertEqual(kept, BOUND)
        _, commands, kept = self.run_against(BOUND + 1)
        self.assertEqual(commands[-1], RETR + "Versione.Txt")
        self.assertIsNone(kept)

    def test_a_huge_one_line_version_file_costs_no_more_memory_than_a_small_one(self):
        small, _, _ = self.run_against(8, b"1.0")  # nothing to update either
        large, commands, kept = self.run_against(SIZE_MIB << 20)
        self.assertEqual(commands[-1], RETR + "Versione.Txt")
        self.assertIsNone(kept)
        self.assertLessEqual(large - small, ALLOWED_GROWTH_KIB,
                             "peak resident memory %d KiB with a %d MiB version file, %d KiB with a small one"
                             % (large, SIZE_MIB, small))


if __name__ == "__main__":
    unittest.main()
