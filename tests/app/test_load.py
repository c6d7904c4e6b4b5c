"""Fifty shipped launchers at once against one vsftpd, each in its own working
folder, all updating: every one ends by itself, every file arrives byte for
byte, every one starts the new product.

The launchers share one network namespace, where the profile's host is
127.0.0.1 and vsftpd (with the profile's named user) listens on port 21. Run
by CTest like test_faults, whose harness it uses, in the release and the
sanitizer build.
"""

import os
import subprocess
import time
import unittest

from test_faults import ALL_NEW, Launch  # noqa: E402
from ftptest import NetNamespace, VsftpdServer  # noqa: E402
from launcherenv import BINARY, HOST, PASSWORD, USER  # noqa: E402

LAUNCHERS = 50
DEADLINE_SECONDS = 600  # the sanitizer build on two cores; a release run takes a small part of it


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class Load(unittest.TestCase):
    def test_fifty_launchers_at_once_all_update(self):
        launches = [Launch(self) for _ in range(LAUNCHERS)]
        for launch in launches:
            launch.install()
        site = launches[0]
        site.serve()
        with NetNamespace(hosts=[HOST]) as ns, \
                VsftpdServer(root=str(site.site), user=USER, password=PASSWORD, netns=ns, port=21) as server:
            began = time.monotonic()
            procs = []
            for launch in launches:
                err = open(launch.tmp / "stderr", "wb")
                procs.append(subprocess.Popen(ns.command(launch.command()), cwd=str(launch.work),
                                              env=launch.environment(), stdin=subprocess.DEVNULL,
                                              stdout=subprocess.DEVNULL, stderr=err))
                err.close()
            deadline = began + DEADLINE_SECONDS
            for proc in procs:
                try:
                    proc.wait(max(0.1, deadline - time.monotonic()))
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
            took = time.monotonic() - began
            retrs = sum(1 for c in server.commands() if c.startswith("RETR "))
        print("\n%d launchers ended in %.1f s; the server answered %d RETR" % (LAUNCHERS, took, retrs))
        for i, (launch, proc) in enumerate(zip(launches, procs)):
            with self.subTest(launcher=i):
                stderr = (launch.tmp / "stderr").read_bytes().decode(errors="replace")
                self.assertEqual(proc.returncode, 0, stderr[-2000:])
                launch.assert_no_sanitizer_report(stderr)
                launch.assert_installed(new=ALL_NEW, started="served")
        self.assertEqual(retrs, 4 * LAUNCHERS)


if __name__ == "__main__":
    unittest.main()
