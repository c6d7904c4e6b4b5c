"""The shipped launcher's memory does not grow with the server's version file.

A server may publish a version file of any size. The launcher downloads it
whole, as it must, but reads it as a stream: a version file of SIZE_MIB MiB,
one line followed by the version, gives the same decision as a small file and
a peak resident memory (measured from outside by GNU time) within 8 MiB of the
small file's run. The rule that held the whole text in memory needed several
times the file's size. The 300 MB and 3 GB figures are the benchmark's
(bench/run --only version).
"""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, HOST, PASSWORD, PRODUCT, ROOT, USER  # noqa: E402
from test_launcher import INSTALLED_PRODUCT, LauncherRun  # noqa: E402

SIZE_MIB = 64
ALLOWED_GROWTH_KIB = 8 * 1024


def write_long_line_version_file(path, size):
    """size bytes: one line of size - 7 characters, then "\\r\\n1.0\\r\\n"."""
    tail = b"\r\n1.0\r\n"
    chunk = b"x" * (1 << 20)
    with open(path, "wb") as f:
        left = size - len(tail)
        while left > 0:
            f.write(chunk[:min(left, len(chunk))])
            left -= min(left, len(chunk))
        f.write(tail)


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class VersionFileMemory(unittest.TestCase):
    def run_against(self, write_version_file):
        """Peak resident KiB of a run whose server version file the function
        writes, with 1.0 installed; checks the decision: nothing to update."""
        run = LauncherRun(self)
        self.addCleanup(run.close)
        version_file = run.site / ROOT / "Merindo" / "Versione.Txt"
        write_version_file(version_file)
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
        self.assertEqual(commands[-1], "RETR /" + ROOT + "/Merindo/Versione.Txt")  # no update
        self.assertEqual((run.work / "Versione.Txt").stat().st_size, version_file.stat().st_size)
        self.assertEqual(run.started(), [str(run.work), "installed"])
        return int(peak.read_text().split()[-1])

    def test_a_huge_one_line_version_file_costs_no_more_memory_than_a_small_one(self):
        small = self.run_against(lambda path: path.write_bytes(b"x\r\n1.0\r\n"))
        large = self.run_against(lambda path: write_long_line_version_file(path, SIZE_MIB << 20))
        self.assertLessEqual(large - small, ALLOWED_GROWTH_KIB,
                             "peak resident memory %d KiB with a %d MiB version file, %d KiB with a small one"
                             % (large, SIZE_MIB, small))


if __name__ == "__main__":
    unittest.main()
