"""The shipped launcher, end to end, against real FTP servers on port 21.

Each case runs the binary exactly as built, with its fixed profile, in a
network namespace of its own where the profile's host name resolves to
127.0.0.1, beside a real FTP server on port 21, in a working folder holding
the local files. Run by CTest with Debian's /usr/bin/python3; the build passes
the binary and the profile in the environment:

  LAUNCHER_BINARY, LAUNCHER_HOST, LAUNCHER_USER, LAUNCHER_PASSWORD, LAUNCHER_ROOT
"""

import os
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer, VsftpdServer  # noqa: E402
from launcherenv import BINARY, COMPANION, HOST, LIBRARY, PASSWORD, PRODUCT, ROOT, USER  # noqa: E402



# The product records where it ran; the launcher leaves without waiting for it.
SERVED_PRODUCT = b"#!/bin/sh\n# Merindo, as served\npwd > product-started.txt\necho served >> product-started.txt\n"
INSTALLED_PRODUCT = b"#!/bin/sh\n# Merindo, as installed\npwd > product-started.txt\necho installed >> product-started.txt\n"
COMPANION_BYTES = bytes(range(256)) * 300
LIBRARY_BYTES = b"MZ" + bytes(i * 7 % 256 for i in range(150000))


class LauncherRun:
    """One run of the launcher: working folder, served site, results."""

    def __init__(self, test):
        self.test = test
        self.tmp = Path(tempfile.mkdtemp(prefix="launcher-e2e."))
        self.work = self.tmp / "work"
        self.site = self.tmp / "site"
        self.work.mkdir()
        (self.site / ROOT / "Merindo").mkdir(parents=True)
        self.trace = self.tmp / "trace.log"
        self.result = None

    def close(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def serve(self, name, data):
        path = self.site / ROOT / "Merindo" / name
        path.write_bytes(data)

    def serve_release(self, version=b"1.0\r\n2.0\r\n"):
        self.serve("Versione.Txt", version)
        self.serve(PRODUCT, SERVED_PRODUCT)
        self.serve(COMPANION, COMPANION_BYTES)
        self.serve(LIBRARY, LIBRARY_BYTES)

    def local(self, name, data):
        (self.work / name).write_bytes(data)

    def run(self, ns, timeout=60, under=(), environment=None):
        """Runs the launcher, `under` a command such as strace when given,
        with `environment` added to the test's own."""
        env = dict(os.environ, WIN32_PLATFORM_TRACE=str(self.trace), **(environment or {}))
        env.pop("DISPLAY", None)  # headless
        self.result = ns.run(list(under) + [BINARY], cwd=str(self.work), timeout=timeout, env=env)
        self.test.assertFalse(self.result.timed_out, "the launcher did not end")
        self.test.assertEqual(self.result.returncode, 0, self.result.stderr)
        return self.result

    def trace_lines(self):
        return self.trace.read_text().splitlines() if self.trace.exists() else []

    def started(self, timeout=10.0):
        """What the started product wrote, or None when nothing started."""
        marker = self.work / "product-started.txt"
        starts = [l for l in self.trace_lines() if l.startswith("start ")]
        if not starts:
            return None
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if marker.exists() and marker.read_text().count("\n") >= 2:
                return marker.read_text().splitlines()
            time.sleep(0.05)
        self.test.fail("the product was started but did not run")

    def beeps(self):
        return [l for l in self.trace_lines() if l.startswith("beep ")]


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class LauncherEndToEnd(unittest.TestCase):
    def setUp(self):
        self.r = LauncherRun(self)
        self.addCleanup(self.r.close)

    def scripted(self, ns, rules=()):
        return ScriptedFtpServer(rules=list(rules), root=str(self.r.site), user=USER, password=PASSWORD,
                                 netns=ns, port=21)

    def assert_installed_product_started(self):
        self.assertEqual(self.r.started(), [str(self.r.work), "installed"])
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), INSTALLED_PRODUCT)

    def test_update_downloads_three_files_and_starts_the_new_product(self):
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns) as server:
            self.r.run(ns)
            commands = server.commands()
        remote = "/" + ROOT + "/Merindo/"
        expected = ["USER " + USER, "PASS " + PASSWORD, "CWD /" + ROOT, "CWD Merindo"]
        for name in ("Versione.Txt", PRODUCT, COMPANION, LIBRARY):
            expected += ["TYPE L 8", "PORT", "RETR " + remote + name]
        self.assertEqual([c.split(" ")[0] if c.startswith("PORT ") else c for c in commands], expected)
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), SERVED_PRODUCT)
        self.assertEqual((self.r.work / COMPANION).read_bytes(), COMPANION_BYTES)
        self.assertEqual((self.r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual((self.r.work / "Versione.Txt").read_bytes(), b"1.0\r\n2.0\r\n")
        self.assertEqual((self.r.work / "VersioneAttuale.Txt").read_bytes(), b"1.0\r\n")  # never written back
        self.assertEqual(self.r.started(), [str(self.r.work), "served"])
        self.assertEqual(self.r.beeps(), ["beep 64"] * 3)
        starts = [l for l in self.r.trace_lines() if l.startswith("start ")]
        self.assertEqual(len(starts), 1)
        self.assertIn(" show=0 dir=%s " % self.r.work, starts[0])
        self.assertEqual(sorted(p.name for p in self.r.work.iterdir()),
                         sorted([PRODUCT, COMPANION, LIBRARY, "Versione.Txt", "VersioneAttuale.Txt",
                                 "product-started.txt"]))  # no temporary file left

    def test_same_version_downloads_nothing_and_starts_the_installed_product(self):
        self.r.serve_release(b"2.0\r\n")
        self.r.local("VersioneAttuale.Txt", b"  2.0 \r\n\r\n")
        self.r.local(PRODUCT, INSTALLED_PRODUCT)
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns) as server:
            self.r.run(ns)
            commands = server.commands()
        self.assertEqual(commands[-1], "RETR /" + ROOT + "/Merindo/Versione.Txt")
        self.assert_installed_product_started()
        self.assertEqual(self.r.beeps(), [])

    def test_a_missing_local_version_file_is_created_empty_and_the_files_come(self):
        self.r.serve_release()
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns):
            self.r.run(ns)
        self.assertEqual((self.r.work / "VersioneAttuale.Txt").read_bytes(), b"")
        self.assertEqual((self.r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual(self.r.started(), [str(self.r.work), "served"])

    def check_no_download(self, rules=(), serve=True, hosts=(HOST,)):
        if serve:
            self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, INSTALLED_PRODUCT)
        with NetNamespace(hosts=list(hosts)) as ns:
            if serve:
                with self.scripted(ns, rules):
                    self.r.run(ns)
            else:
                self.r.run(ns)
        self.assertFalse((self.r.work / COMPANION).exists())
        self.assertFalse((self.r.work / LIBRARY).exists())
        self.assert_installed_product_started()

    def test_login_refused_starts_the_installed_product(self):
        self.check_no_download([{"on": "PASS", "reply": "530 Login incorrect."}])

    def test_cwd_refused_starts_the_installed_product(self):
        self.check_no_download([{"on": "CWD", "arg": "Merindo", "reply": "550 No such directory."}])

    def test_no_server_listening_starts_the_installed_product(self):
        self.check_no_download(serve=False)

    def test_a_host_that_does_not_resolve_starts_the_installed_product(self):
        self.check_no_download(serve=False, hosts=())

    def test_a_download_failing_half_way_leaves_the_installed_file_intact(self):
        self.r.serve_release()
        self.r.serve(PRODUCT, SERVED_PRODUCT + b"#" * 200000)
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, INSTALLED_PRODUCT)
        rules = [{"on": "RETR", "arg": "/" + ROOT + "/Merindo/" + PRODUCT, "drop_after": 1000}]
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns, rules):
            self.r.run(ns)
        self.assert_installed_product_started()
        self.assertFalse((self.r.work / COMPANION).exists())  # the run stops at the failed file
        self.assertEqual(sorted(p.name for p in self.r.work.iterdir()),
                         sorted([PRODUCT, "Versione.Txt", "VersioneAttuale.Txt", "product-started.txt"]))

    def test_no_product_anywhere_starts_nothing_and_the_launcher_ends(self):
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with NetNamespace(hosts=[HOST]) as ns:
            self.r.run(ns)
        self.assertIsNone(self.r.started())
        self.assertFalse((self.r.work / PRODUCT).exists())

    def test_update_against_vsftpd(self):
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with NetNamespace(hosts=[HOST]) as ns, \
                VsftpdServer(root=str(self.r.site), user=USER, password=PASSWORD, netns=ns, port=21):
            self.r.run(ns)
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), SERVED_PRODUCT)
        self.assertEqual((self.r.work / COMPANION).read_bytes(), COMPANION_BYTES)
        self.assertEqual((self.r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual(self.r.started(), [str(self.r.work), "served"])


if __name__ == "__main__":
    unittest.main()
