"""The shipped launcher, end to end, against real FTP servers on port 21.

Each case runs the binary exactly as built, with its fixed profile, in a
network namespace of its own where the profile's host name resolves to
127.0.0.1, beside a real FTP server on port 21, in a working folder holding
the local files. Run by CTest with Debian's /usr/bin/python3; the build passes
the binary and the profile in the environment:

  LAUNCHER_BINARY, LAUNCHER_HOST, LAUNCHER_USER, LAUNCHER_PASSWORD, LAUNCHER_ROOT
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer, VsftpdServer, wait_until  # noqa: E402
from launcherenv import (BINARY, COMPANION, HOST, LIBRARY, LOCK_FILE, LOG_FILE, OLD_LOG_FILE, PASSWORD,  # noqa: E402
                         PRODUCT, ROOT, USER, log_lines,
                         timer_ticks)



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

    def environment(self, extra=None):
        """The test's own environment, headless, with the trace and `extra`."""
        env = dict(os.environ, WIN32_PLATFORM_TRACE=str(self.trace))
        env.pop("DISPLAY", None)  # headless
        env.pop("WAYLAND_DISPLAY", None)
        env.update(extra or {})
        return env

    def run(self, ns, timeout=60, under=(), environment=None):
        """Runs the launcher, `under` a command such as strace when given,
        with `environment` added to the test's own."""
        self.result = ns.run(list(under) + [BINARY], cwd=str(self.work), timeout=timeout,
                             env=self.environment(environment))
        self.test.assertFalse(self.result.timed_out, "the launcher did not end")
        self.test.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.await_product()  # the namespace's end ends it
        return self.result

    def trace_lines(self):
        return self.trace.read_text().splitlines() if self.trace.exists() else []

    def starts(self):
        return [l for l in self.trace_lines() if l.startswith("start ")]

    def product_ran(self):
        """What the product wrote once it has run, else None."""
        marker = self.work / "product-started.txt"
        text = marker.read_text() if marker.exists() else ""
        return text.splitlines() if text.count("\n") >= 2 else None

    def await_product(self, timeout=10.0):
        """What the started product wrote, waiting for it while a start was
        seen; None when nothing ran."""
        if not self.starts():
            return None
        wait_until(self.product_ran, timeout)
        return self.product_ran()

    def started(self):
        """What the started product wrote, or None when nothing started."""
        ran = self.await_product()
        if ran is None and self.starts():
            self.test.fail("the product was started but did not run")
        return ran

    def beeps(self):
        return [l for l in self.trace_lines() if l.startswith("beep ")]


def fill_log(work):
    """A run log in work just past its bound (256 KiB), and an older one
    beside it; returns the log's bytes."""
    line = b"2026-01-01 00:00:00.000 start: an earlier run\r\n"
    earlier = line * (256 * 1024 // len(line) + 1)
    (work / LOG_FILE).write_bytes(earlier)
    (work / OLD_LOG_FILE).write_bytes(b"the oldest log\r\n")
    return earlier


def assert_update_logged(test, work, folder, earlier, product_size):
    """The log of an update run in work (the launcher's folder, named folder
    as the launcher names it), which began with the log of fill_log: this
    run's lines begin a new log, the old one replaced the older; what support
    reads of the run is there, and never the password."""
    test.assertTrue((work / OLD_LOG_FILE).read_bytes().startswith(earlier))
    log = log_lines(work)
    test.assertEqual(log[0], "start: Merindo launcher 1.0 in %s; active mode, stall guard 60 s, rate guard 1024 "
                             "bytes, release key none" % folder)
    test.assertEqual(log[1], "connect: %s port 21" % HOST)
    test.assertIn("ftp: PASS ****", log)
    test.assertIn('version: server "2.0", installed "1.0": update', log)
    remote = "/" + ROOT + "/Merindo/"
    for name, size in (("Versione.Txt", 10), (PRODUCT, product_size), (COMPANION, len(COMPANION_BYTES)),
                       (LIBRARY, len(LIBRARY_BYTES))):
        test.assertTrue(any(re.fullmatch(r"download: %s, %d bytes in \d+\.\d{3} s \((\d+ KiB/s|at once)\)"
                                         % (re.escape(remote + name), size), line) for line in log), (name, log))
    test.assertEqual(log[-3:], ["install: 3 files in place", "launch: %s\\Merindo_SQL_Dalvessa.exe started" % folder,
                                "end: the launcher ends"])
    for name in (LOG_FILE, OLD_LOG_FILE):
        test.assertNotIn(PASSWORD.encode(), (work / name).read_bytes())


class ServedRunTestCase(unittest.TestCase):
    """A test with a run of Run (its folders and served site) in self.r and
    the scripted server on port 21 serving that site."""

    Run = LauncherRun

    def setUp(self):
        self.r = self.Run(self)
        self.addCleanup(self.r.close)

    def scripted(self, ns, rules=()):
        return ScriptedFtpServer(rules=list(rules), root=str(self.r.site), user=USER, password=PASSWORD,
                                 netns=ns, port=21)


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class LauncherEndToEnd(ServedRunTestCase):

    def assert_installed_product_started(self):
        self.assertEqual(self.r.started(), [str(self.r.work), "installed"])
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), INSTALLED_PRODUCT)

    def test_update_downloads_three_files_and_starts_the_new_product(self):
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        earlier = fill_log(self.r.work)
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
        starts = self.r.starts()
        self.assertEqual(len(starts), 1)
        self.assertIn(" show=0 dir=%s " % self.r.work, starts[0])
        self.assertEqual(sorted(p.name for p in self.r.work.iterdir()),
                         sorted([PRODUCT, COMPANION, LIBRARY, "Versione.Txt", "VersioneAttuale.Txt", LOCK_FILE,
                                 LOG_FILE, OLD_LOG_FILE, "product-started.txt"]))  # no temporary file left
        assert_update_logged(self, self.r.work, str(self.r.work), earlier, len(SERVED_PRODUCT))

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
        self.assertIn('version: server "2.0", installed "2.0": no update', log_lines(self.r.work))

    def test_a_missing_local_version_file_is_created_empty_and_the_files_come(self):
        self.r.serve_release()
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns):
            self.r.run(ns)
        self.assertEqual((self.r.work / "VersioneAttuale.Txt").read_bytes(), b"")
        self.assertEqual((self.r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual(self.r.started(), [str(self.r.work), "served"])

    def check_no_download(self, rules=(), serve=True, hosts=(HOST,), logged=None):
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
        if logged:
            self.assertIn("failed: " + logged, log_lines(self.r.work))

    def test_login_refused_starts_the_installed_product(self):
        self.check_no_download([{"on": "PASS", "reply": "530 Login incorrect."}])

    def test_cwd_refused_starts_the_installed_product(self):
        self.check_no_download([{"on": "CWD", "arg": "Merindo", "reply": "550 No such directory."}])

    def test_no_server_listening_starts_the_installed_product(self):
        self.check_no_download(serve=False, logged="connection: Connection Failed (10061:Connection refused)")

    def test_a_host_that_does_not_resolve_starts_the_installed_product(self):
        self.check_no_download(serve=False, hosts=(),
                               logged="connection: Null Remote Address (no address found for %s)" % HOST)

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
                         sorted([PRODUCT, "Versione.Txt", "VersioneAttuale.Txt", LOCK_FILE, LOG_FILE,
                                 "product-started.txt"]))

    def test_no_product_anywhere_starts_nothing_and_the_launcher_ends(self):
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with NetNamespace(hosts=[HOST]) as ns:
            self.r.run(ns)
        self.assertIsNone(self.r.started())
        self.assertFalse((self.r.work / PRODUCT).exists())

    def test_a_product_that_cannot_be_started_is_told_in_a_box_and_the_launcher_ends(self):
        # Headless, the platform answers the box with OK at once.
        box = "messagebox 16 Cavenor S.R.L. Software Update\tImpossibile avviare Merindo: "
        for name, content, mode, wrapper, reason in (
                ("not a program", b"MZ, damaged\n", 0o644, (),
                 "An attempt was made to load a program with an incorrect format."),
                ("no permission", INSTALLED_PRODUCT, 0o000,
                 ("setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"), "Access is denied.")):
            with self.subTest(name):
                self.r.trace.unlink(missing_ok=True)
                self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
                self.r.local(PRODUCT, content)
                (self.r.work / PRODUCT).chmod(mode)
                with NetNamespace(hosts=[HOST]) as ns:
                    self.r.run(ns, under=wrapper)
                lines = self.r.trace_lines()
                self.assertEqual([l for l in lines if l.startswith("messagebox ")], [box + reason])
                self.assertIsNone(self.r.started())
                self.assertFalse((self.r.work / "product-started.txt").exists())

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

    def test_the_timers_fire_after_their_periods_on_the_platforms_clock(self):
        # A slow server (about 100 KB a second), so that the row's gauge ticks
        # during the product's transfer.
        self.r.serve_release()
        self.r.serve(PRODUCT, SERVED_PRODUCT + b"#" * 150000)
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with NetNamespace(hosts=[HOST]) as ns, \
                VsftpdServer(root=str(self.r.site), user=USER, password=PASSWORD, netns=ns, port=21,
                             max_rate=100000):
            self.r.run(ns)
        lines = self.r.trace_lines()
        ticks = timer_ticks(lines)
        # TimerConnessione ticks once, 1000 ms after the window started it,
        # before anything else; TimerAvvia once, 1000 ms after the run
        # enabled it, last, and the product starts from its tick.
        seconds = [tick for tick in ticks if tick.period == 1000]
        self.assertEqual(len(seconds), 2, ticks)
        connect, launch = seconds
        self.assertNotEqual(connect.window, launch.window)
        self.assertEqual(ticks[0], connect)
        self.assertEqual(ticks[-1], launch)
        for tick in seconds:
            self.assertGreaterEqual(tick.at - tick.armed, 1000, tick)
        self.assertTrue(lines[-1].startswith("start "), lines[-3:])
        self.assertTrue(lines[-2].startswith("timer "), lines[-3:])
        # TimerDownload ticks every 300 ms while a row is downloading.
        gauge = [tick for tick in ticks if tick.period == 300]
        self.assertGreaterEqual(len(gauge), 3, ticks)
        self.assertEqual(len(gauge) + 2, len(ticks), "another timer ticked: %s" % (ticks,))
        for previous, tick in zip([None] + gauge, gauge):
            since = previous.at if previous and previous.armed == tick.armed else tick.armed
            self.assertGreaterEqual(tick.at - since, 300, tick)
        self.assertEqual(self.r.started(), [str(self.r.work), "served"])

    def test_whoever_reads_the_launchers_output_to_its_end_does_not_wait_for_the_product(self):
        # The product keeps running until the test releases it: only once
        # the reader has met the end of the launcher's output.
        gate = self.r.tmp / "release-product"
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, b'#!/bin/sh\npwd > product-started.txt\necho waiting >> product-started.txt\n'
                              b'i=0; while [ ! -e "$PRODUCT_GATE" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n'
                              b'echo released > product-released.txt\n')
        with NetNamespace(hosts=[HOST]) as ns:
            proc = subprocess.Popen(ns.command([BINARY]), cwd=str(self.r.work),
                                    env=self.r.environment({"PRODUCT_GATE": str(gate)}), start_new_session=True,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                try:
                    proc.communicate(timeout=30)
                except subprocess.TimeoutExpired:
                    gate.touch()  # the product, in a session of its own, ends and lets go of the output
                    os.killpg(proc.pid, 9)
                    proc.communicate()
                    self.fail("the launcher's output did not end with it: the product holds it")
                self.assertEqual(proc.returncode, 0)
                self.assertEqual(self.r.started(), [str(self.r.work), "waiting"])
                self.assertFalse((self.r.work / "product-released.txt").exists(), "the product was not waiting")
            finally:
                gate.touch()

    def test_a_display_that_cannot_be_opened_is_said_once_and_the_run_goes_on_without_a_window(self):
        runtime = self.r.tmp / "runtime"
        runtime.mkdir(mode=0o700)
        free = next(n for n in range(900, 1000) if not os.path.exists("/tmp/.X11-unix/X%d" % n))
        for name, environment in (("DISPLAY", {"DISPLAY": ":%d" % free}),
                                  ("WAYLAND_DISPLAY", {"WAYLAND_DISPLAY": "no-such-compositor",
                                                       "XDG_RUNTIME_DIR": str(runtime)})):
            with self.subTest(name):
                self.r.trace.unlink(missing_ok=True)
                (self.r.work / "product-started.txt").unlink(missing_ok=True)
                self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
                self.r.local(PRODUCT, INSTALLED_PRODUCT)
                with NetNamespace(hosts=[HOST]) as ns:
                    self.r.run(ns, environment=environment)
                said = [line for line in self.r.result.stderr.splitlines() if "display" in line]
                self.assertEqual(len(said), 1, self.r.result.stderr)
                self.assertRegex(said[0], r"^The display cannot be opened \(.+\); running without a window\.$")
                self.assert_installed_product_started()


if __name__ == "__main__":
    unittest.main()
