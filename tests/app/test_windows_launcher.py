"""The Windows launcher (x86_64 build) end to end under wine64.

Each case runs merindo-launcher.exe exactly as built, in a network namespace
of its own where the profile's host name resolves to 127.0.0.1, with a Wine
prefix of its own (the prefix's wineserver creates the sockets, so a server
shared with runs outside the namespace would connect from there), beside the
scripted FTP server on port 21. The product is a Windows program of the
tests (LAUNCHER_TEST_PRODUCT) that records where it ran and which copy it
was. Run by CTest with Debian's /usr/bin/python3; the build passes
LAUNCHER_BINARY, LAUNCHER_TEST_PRODUCT, the profile and WINE_RUN.
"""

import os
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, COMPANION, HOST, LIBRARY, PASSWORD, PRODUCT, ROOT, USER  # noqa: E402
from test_launcher import COMPANION_BYTES, LIBRARY_BYTES, LauncherRun  # noqa: E402
import winetest  # noqa: E402
from winetest import copy_prefix, windows_path  # noqa: E402

WINE_RUN = os.environ.get("WINE_RUN", "")
TEST_PRODUCT = os.environ.get("LAUNCHER_TEST_PRODUCT", "")


def product(tag):
    """The test product with its tag after the image."""
    return Path(TEST_PRODUCT).read_bytes() + b"\n" + tag + b"\n"


def template_prefix():
    """The shared Wine prefix, made by wine-run on first use."""
    return winetest.template_prefix(WINE_RUN)


class WineLauncherRun(LauncherRun):
    """One run under Wine: LauncherRun's folders and site, a Wine prefix of
    its own, and the test product as served and as installed."""

    def __init__(self, test):
        super().__init__(test)
        self.prefix = self.tmp / "prefix"
        copy_prefix(template_prefix(), self.prefix)
        self.served = product(b"served")
        self.installed = product(b"installed")

    def serve_release(self, version=b"1.0\r\n2.0\r\n"):
        super().serve_release(version)
        self.serve(PRODUCT, self.served)

    def run(self, ns, timeout=120):
        env = dict(os.environ, WINEPREFIX=str(self.prefix))
        env.pop("DISPLAY", None)
        self.result = ns.run([WINE_RUN, BINARY], cwd=str(self.work), timeout=timeout, env=env)
        self.test.assertFalse(self.result.timed_out, "the launcher did not end")
        self.test.assertEqual(self.result.returncode, 0, self.result.stderr)
        return self.result

    def started(self, timeout=20.0):
        """What the started product wrote, or None when nothing ran."""
        marker = self.work / "product-started.txt"
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if marker.exists():
                return marker.read_text().splitlines()
            time.sleep(0.05)
        return None


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and WINE_RUN, "the Windows launcher is not built")
class WindowsLauncherEndToEnd(unittest.TestCase):
    def setUp(self):
        self.r = WineLauncherRun(self)
        self.addCleanup(self.r.close)

    def scripted(self, ns, rules=()):
        return ScriptedFtpServer(rules=list(rules), root=str(self.r.site), user=USER, password=PASSWORD,
                                 netns=ns, port=21)

    def namespace(self, hosts=(HOST,)):
        return NetNamespace(hosts=list(hosts))

    def assert_installed_product_started(self):
        self.assertEqual(self.r.started(), [windows_path(self.r.work), "installed"])
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), self.r.installed)

    def test_update_downloads_three_files_and_starts_the_new_product(self):
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with self.namespace() as ns, self.scripted(ns) as server:
            self.r.run(ns)
            started = self.r.started()
            commands = server.commands()
        remote = "/" + ROOT + "/Merindo/"
        expected = ["USER " + USER, "PASS " + PASSWORD, "CWD /" + ROOT, "CWD Merindo"]
        for name in ("Versione.Txt", PRODUCT, COMPANION, LIBRARY):
            expected += ["TYPE L 8", "PORT", "RETR " + remote + name]
        self.assertEqual([c.split(" ")[0] if c.startswith("PORT ") else c for c in commands], expected)
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), self.r.served)
        self.assertEqual((self.r.work / COMPANION).read_bytes(), COMPANION_BYTES)
        self.assertEqual((self.r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual((self.r.work / "VersioneAttuale.Txt").read_bytes(), b"1.0\r\n")
        self.assertEqual(started, [windows_path(self.r.work), "served"])
        self.assertEqual(sorted(p.name for p in self.r.work.iterdir()),
                         sorted([PRODUCT, COMPANION, LIBRARY, "Versione.Txt", "VersioneAttuale.Txt",
                                 "product-started.txt"]))  # no temporary file left

    def test_same_version_downloads_nothing_and_starts_the_installed_product(self):
        self.r.serve_release(b"2.0\r\n")
        self.r.local("VersioneAttuale.Txt", b"  2.0 \r\n\r\n")
        self.r.local(PRODUCT, self.r.installed)
        with self.namespace() as ns, self.scripted(ns) as server:
            self.r.run(ns)
            self.assert_installed_product_started()
            commands = server.commands()
        self.assertEqual(commands[-1], "RETR /" + ROOT + "/Merindo/Versione.Txt")
        self.assertFalse((self.r.work / COMPANION).exists())

    def check_no_download(self, rules=(), serve=True):
        if serve:
            self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, self.r.installed)
        with self.namespace() as ns:
            if serve:
                with self.scripted(ns, rules):
                    self.r.run(ns)
                    self.assert_installed_product_started()
            else:
                self.r.run(ns)
                self.assert_installed_product_started()
        self.assertFalse((self.r.work / COMPANION).exists())
        self.assertFalse((self.r.work / LIBRARY).exists())

    def test_login_refused_starts_the_installed_product(self):
        self.check_no_download([{"on": "PASS", "reply": "530 Login incorrect."}])

    def test_no_server_starts_the_installed_product(self):
        self.check_no_download(serve=False)

    def test_a_download_failing_half_way_leaves_the_installed_file_intact(self):
        self.r.serve_release()
        self.r.serve(PRODUCT, self.r.served + b"#" * 200000)
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, self.r.installed)
        rules = [{"on": "RETR", "arg": "/" + ROOT + "/Merindo/" + PRODUCT, "drop_after": 1000}]
        with self.namespace() as ns, self.scripted(ns, rules):
            self.r.run(ns)
            self.assert_installed_product_started()
        self.assertFalse((self.r.work / COMPANION).exists())  # the run stops at the failed file
        self.assertEqual(sorted(p.name for p in self.r.work.iterdir()),
                         sorted([PRODUCT, "Versione.Txt", "VersioneAttuale.Txt", "product-started.txt"]))


if __name__ == "__main__":
    unittest.main()
