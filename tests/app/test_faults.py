"""The shipped launcher against broken servers, full disks and unreadable files.

One scenario per fault. Each runs the binary as built (the release build's or
the sanitizer build's: CTest runs this module in both) in a network namespace
of its own beside a real FTP server on port 21 that plays the fault, in a
working folder that holds an installed product, and checks the outcome:

- the launcher ended by itself with exit code 0 and no sanitizer report;
- every installed file is byte for byte what it was, unless the update
  replaced all three with complete new files, and no temporary download
  file, kept file or install journal is left behind;
- exactly the expected product was started (the platform's trace names the
  start; the product itself writes a marker file outside the working folder);
- the run log says what support needs: how the run failed, in the words of
  the reply or error that ended it, whether the product started, and never
  the password.

Where the launcher waits (a silent server, a data connection that never
opens), the test checks that it keeps painting and answering while it waits,
then ends it. The launcher built with a stall guard of a few seconds
(LAUNCHER_STALL_BINARY) shows that such waits, and a transfer that stops
half-way, or a trickle of data below the rate guard, end by themselves in
the launch of the installed product, while a slow transfer that keeps
receiving at a modem's rate completes. Two launchers started in one working
folder make one update and one start; the launcher built for passive mode
(LAUNCHER_PASSIVE_BINARY) updates over PASV.

Run by CTest with Debian's /usr/bin/python3; the build passes the binary and
the profile in the environment (LAUNCHER_BINARY, LAUNCHER_HOST, LAUNCHER_USER,
LAUNCHER_PASSWORD, LAUNCHER_ROOT). Root is needed for the namespaces, the
mounts and the dropped capabilities. The Windows build runs the stall guard's,
the two launchers' and passive mode's cases under Wine (WINE_RUN names the
build's runner; see test_windows_launcher.WineLaunch).
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
import pngread  # noqa: E402
from ftptest import NetNamespace, ScriptedFtpServer, wait_until  # noqa: E402
from launcherenv import (BINARY, COMPANION, HOST, LIBRARY, LOG_FILE, PASSIVE_BINARY, PASSWORD, PRODUCT,  # noqa: E402
                         ROOT, STALL_BINARY, STALL_MS, USER, log_lines, timer_ticks)
from test_durable_install import STRACE, assert_put_in_place_durably, parse_calls  # noqa: E402
from winerun import WINE_RUN  # noqa: E402

REMOTE = "/" + ROOT + "/Merindo/"

FILES = (PRODUCT, COMPANION, LIBRARY)
ALL_NEW = FILES


def product(tag, padding=0):
    """A product that writes its tag into the marker file the test names."""
    return (b'#!/bin/sh\necho %s > "$FAULTS_MARKER"\nexit 0\n' % tag) + b"#" * padding


# The installed and the served files besides the product, which is a program
# of the system under test (Launch.product).
INSTALLED = {COMPANION: b"companion 1.0 " * 500, LIBRARY: b"MZ library 8.00 " * 700}
SERVED = {COMPANION: bytes(range(256)) * 300,
          LIBRARY: b"MZ" + bytes(i * 7 % 256 for i in range(150000))}
SERVED_VERSION = b"1.0\r\n2.0\r\n"
LOCAL_VERSION = b"1.0\r\n"

# Whether the platform writes a picture of the window on SIGUSR1 (into
# WIN32_PLATFORM_CAPTURE_DIR): the wait tests ask for pictures to see the
# window painted and the message loop answering.
CAPTURES = bool(BINARY) and os.path.exists(BINARY) and b"WIN32_PLATFORM_CAPTURE_DIR" in Path(BINARY).read_bytes()

KEPT_LOG = b"2026-01-01 00:00:00.000 start: an earlier run\r\n"

SANITIZER_WORDS = ("AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer", "runtime error:")


class Launch:
    """A working folder with the installed product, a served site, and one run."""

    def __init__(self, test, binary=BINARY):
        self.test = test
        self.binary = binary
        self.installed = dict(INSTALLED, **{PRODUCT: self.product(b"installed")})
        self.served = self.default_served = dict(SERVED, **{PRODUCT: self.product(b"served", 200000)})
        self.traced = False
        self.logged_before = 0  # lines of the run log before the run
        self.tmp = Path(tempfile.mkdtemp(prefix="launcher-faults."))
        self.work = self.tmp / "work"
        self.site = self.tmp / "site"
        self.marker = self.tmp / "started.txt"
        self.trace = self.tmp / "trace.log"
        self.captures = self.tmp / "captures"
        self.work.mkdir()
        self.captures.mkdir()
        (self.site / ROOT / "Merindo").mkdir(parents=True)
        self.mounts = []
        test.addCleanup(self.close)

    def product(self, tag, padding=0):
        """The product of this system that reports its tag when it runs."""
        return product(tag, padding)

    def close(self):
        for mount in reversed(self.mounts):
            subprocess.run(["umount", "-l", str(mount)], capture_output=True)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def mount(self, *args):
        subprocess.run(["mount"] + list(args) + [str(self.work)], check=True, capture_output=True)
        self.mounts.append(self.work)

    def install(self):
        for name, data in self.installed.items():
            (self.work / name).write_bytes(data)
        os.chmod(self.work / PRODUCT, 0o755)
        (self.work / "VersioneAttuale.Txt").write_bytes(LOCAL_VERSION)

    def serve(self, served=None):
        self.served = served or self.default_served
        folder = self.site / ROOT / "Merindo"
        (folder / "Versione.Txt").write_bytes(SERVED_VERSION)
        for name, data in self.served.items():
            (folder / name).write_bytes(data)

    def environment(self):
        env = dict(os.environ, WIN32_PLATFORM_TRACE=str(self.trace), FAULTS_MARKER=str(self.marker),
                   WIN32_PLATFORM_CAPTURE_DIR=str(self.captures))
        env.pop("DISPLAY", None)  # headless: the window lives in memory
        if self.traced:
            # LeakSanitizer stops the process with ptrace at its end, which a
            # process that strace traces cannot do.
            env["ASAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
        return env

    def command(self, wrapper=()):
        return list(wrapper) + [self.binary]

    def run(self, ns, wrapper=(), timeout=120):
        self.logged_before = len(log_lines(self.work))
        result = ns.run(self.command(wrapper), cwd=str(self.work), timeout=timeout, env=self.environment())
        self.test.assertFalse(result.timed_out, "the launcher did not end")
        self.test.assertEqual(result.returncode, 0, result.stderr[-3000:])
        self.assert_no_sanitizer_report(result.stderr)
        self.ended(result.stderr)
        return result

    def start(self, ns):
        """Starts the launcher without waiting for it (see finish)."""
        errors = tempfile.TemporaryFile()
        proc = subprocess.Popen(ns.command(self.command()), cwd=str(self.work), env=self.environment(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors,
                                start_new_session=True)
        proc.errors = errors
        return proc

    def finish(self, proc, timeout=120):
        """Waits for a started launcher to end by itself, checks its end as
        run does, and returns its error output."""
        try:
            proc.wait(timeout)
            ended = True
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            ended = False
        proc.errors.seek(0)
        stderr = proc.errors.read().decode(errors="replace")
        proc.errors.close()
        self.test.assertTrue(ended, "the launcher did not end")
        self.test.assertEqual(proc.returncode, 0, stderr[-3000:])
        self.assert_no_sanitizer_report(stderr)
        self.ended(stderr)
        return stderr

    def ended(self, stderr):
        """After a launcher ended (its error output given): waits until the
        product it started has run, since the namespace's end ends it."""
        self.await_product()

    def await_product(self, timeout=15.0):
        """The product's own record of its run, waiting for it while a start
        was seen; None when nothing ran."""
        if not self.starts():
            return None
        wait_until(self.product_ran, timeout)
        return self.product_ran()

    def product_ran(self):
        return self.marker.read_text().strip() if self.marker.exists() else None

    def assert_brought_to_front(self):
        """A launcher that left the run to another one shows nothing here."""

    def assert_no_sanitizer_report(self, stderr):
        for word in SANITIZER_WORDS:
            self.test.assertNotIn(word, stderr, stderr[-3000:])

    def run_observing_replacements(self, ns):
        """Runs the launcher with its replacements of files observed from
        outside (the system calls, through strace) and returns the check of
        one replacement: `(test, name)` asserts that name was put in place
        durably and gives the rename's place in the order of calls."""
        trace = self.tmp / "syscalls.txt"
        self.traced = True
        try:
            self.run(ns, wrapper=STRACE + ["-o", str(trace)])
        finally:
            self.traced = False
        calls = parse_calls(trace.read_text())
        folder = os.path.realpath(self.work)
        return lambda test, name: assert_put_in_place_durably(test, calls, folder, name)[0]

    def trace_lines(self):
        return self.trace.read_text().splitlines() if self.trace.exists() else []

    def starts(self):
        return [line for line in self.trace_lines() if line.startswith("start")]

    def timeline(self):
        """The window timers' ticks (launcherenv.Tick, on the clock the
        timers run on) and the product's starts ("start"), in order, from the
        platform's trace."""
        events = []
        for line in self.trace_lines():
            events += ["start"] if line.startswith("start ") else timer_ticks([line])
        return events

    def started(self):
        """The tag the started product wrote, or None when nothing was started."""
        if not self.starts():
            return None
        ran = self.await_product()
        if not ran:
            self.test.fail("the product was started but did not run")
        return ran

    def assert_installed(self, new=(), started="installed"):
        """Each file is the served one when named in `new`, else the installed one."""
        served, installed = self.served, self.installed
        for name in FILES:
            expected = served[name] if name in new else installed[name]
            actual = (self.work / name).read_bytes() if (self.work / name).exists() else None
            self.test.assertTrue(actual == expected, "%s is %s" % (
                name, "missing" if actual is None else "neither the installed nor the served file"
                if actual not in (served[name], installed[name]) else "the %s one, expected the %s one" % (
                    "served" if actual == served[name] else "installed", "served" if name in new else "installed")))
        leftovers = [p.name for p in self.work.iterdir()
                     if p.name.endswith((".download", ".kept")) or p.name == "InstallazioneInCorso.Txt"]
        self.test.assertEqual(leftovers, [], "temporary files left behind")
        self.test.assertEqual(len(self.starts()), 1 if started else 0, self.starts())
        self.test.assertEqual(self.started(), started)
        if (self.work / LOG_FILE).exists():
            self.test.assertNotIn(PASSWORD.encode(), (self.work / LOG_FILE).read_bytes())

    def assert_logged(self, failure=None):
        """What the run added to the log, where it could write it, ends with
        the product's start and the launcher's end, and names the failure
        that ended the run (a regular expression matching a "failed: "
        line)."""
        log = log_lines(self.work)[self.logged_before:]
        if not log:
            return
        self.test.assertEqual(log[-1], "end: the launcher ends")
        self.test.assertRegex(log[-2], "^launch: .* started$" if self.starts() else "^launch: ")
        if failure:
            self.test.assertTrue(any(re.match("failed: " + failure, line) for line in log), "\n".join(log))


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class FaultCase(unittest.TestCase):
    binary = BINARY
    run_timeout = 120  # seconds a run may take before it counts as hanging

    def scenario(self, rules=(), new=(), started="installed", served=None, prepare=None, installed=None,
                 wrapper=(), logged=None):
        """Installs, serves, plays `rules` on port 21, runs the launcher to its end and checks the outcome.
        `prepare` runs on the empty working folder, `installed` once the product is in it; `logged` is
        what the log says of the failure (see Launch.assert_logged)."""
        launch = system_launch()(self, self.binary)
        if prepare:
            prepare(launch)
        launch.install()
        if installed:
            installed(launch)
        launch.serve(served)
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=list(rules), root=str(launch.site), user=USER, password=PASSWORD,
                                  netns=ns, port=21) as server:
            launch.run(ns, wrapper, timeout=self.run_timeout)
            self.commands = server.commands()
        launch.assert_installed(new, started)
        launch.assert_logged(logged)
        self.launch = launch
        return launch

    def scenarios(self, table):
        for name, kwargs in table:
            with self.subTest(name):
                self.scenario(**kwargs)


def retr(name):
    return REMOTE + name


def system_launch():
    """The Launch of the system the runner chose: the Windows build's under
    Wine when WINE_RUN names a runner, else this one."""
    if WINE_RUN:
        from test_windows_launcher import WineLaunch
        return WineLaunch
    return Launch


class LoginFaults(FaultCase):
    def test_refused_and_broken_logins_start_the_installed_product(self):
        http = ("HTTP/1.1 400 Bad Request\r\nServer: web\r\nContent-Type: text/html\r\nContent-Length: 13\r\n"
                "Connection: close\r\n\r\n<html></html>")
        self.scenarios([
            ("421 greeting", dict(rules=[{"on": "greeting", "reply": "421 Too many users, try later.",
                                          "close": True}], logged=r"connection: 421 Too many users, try later\.$")),
            ("an HTTP reply instead of a greeting", dict(rules=[{"on": "greeting", "raw": http, "close": True}])),
            ("530 to USER", dict(rules=[{"on": "USER", "reply": "530 Not logged in."}],
                                 logged=r"connection: 530 Not logged in\.$")),
            ("530 to PASS", dict(rules=[{"on": "PASS", "reply": "530 Login incorrect."}],
                                 logged=r"connection: 530 Login incorrect\.$")),
            ("a greeting line of more than 64 KiB", dict(rules=[{"on": "greeting", "raw": [["x", 70000]]}])),
        ])

    def test_long_and_odd_replies_that_are_still_ftp_update(self):
        self.scenarios([
            ("ten thousand continuation lines", dict(
                rules=[{"on": "greeting", "reply": [["220-Welcome to the update server", 10000], "220 Ready"]}],
                new=ALL_NEW, started="served")),
            ("a NUL byte inside a reply line", dict(
                rules=[{"on": "PASS", "reply": "230 Logged\u0000 in."}], new=ALL_NEW, started="served")),
        ])


class CommandFaults(FaultCase):
    def test_refused_commands_start_the_installed_product(self):
        self.scenarios([
            ("550 to CWD of the root", dict(rules=[{"on": "CWD", "arg": "/" + ROOT, "reply": "550 No such folder."}],
                                            logged="CWD /%s: 550 No such folder" % ROOT)),
            ("550 to CWD Merindo", dict(rules=[{"on": "CWD", "arg": "Merindo", "reply": "550 No such folder."}],
                                        logged="CWD Merindo: 550 No such folder")),
            ("504 to the first TYPE", dict(rules=[{"on": "TYPE", "reply": "504 Type not implemented."}],
                                           logged="the version file: 504 Type not implemented")),
            ("504 to the product's TYPE", dict(rules=[{"on": "TYPE", "nth": 2, "reply": "504 Type not implemented."}],
                                               logged="download of %s: 504 Type not implemented" % PRODUCT)),
            ("500 to PORT", dict(rules=[{"on": "PORT", "reply": "500 PORT not understood."}],
                                 logged="the version file: 500 PORT not understood")),
        ])

    def test_a_refused_retr_installs_nothing(self):
        self.scenarios([
            ("550 to RETR of the version file", dict(rules=[{"on": "RETR", "arg": retr("Versione.Txt"),
                                                             "reply": "550 No such file."}],
                                                     logged="the version file: 550 No such file")),
            ("550 to RETR of the product", dict(rules=[{"on": "RETR", "arg": retr(PRODUCT),
                                                        "reply": "550 No such file."}],
                                                logged="download of %s: 550 No such file" % PRODUCT)),
            ("550 to RETR of the companion", dict(rules=[{"on": "RETR", "arg": retr(COMPANION),
                                                          "reply": "550 No such file."}])),
            ("550 to RETR of the library", dict(rules=[{"on": "RETR", "arg": retr(LIBRARY),
                                                        "reply": "550 No such file."}])),
        ])


class TransferFaults(FaultCase):
    def test_replies_the_client_reads_past_still_update(self):
        self.scenarios([
            ("150 without a size", dict(rules=[{"on": "RETR", "preliminary": "150 Opening data connection."}],
                                        new=ALL_NEW, started="served")),
            ("150 and 226 in one write before any data", dict(rules=[{"on": "RETR", "together": True}],
                                                              new=ALL_NEW, started="served")),
            ("a size of 20 digits", dict(rules=[{"on": "RETR", "preliminary":
                                                 "150 Opening data connection for {name} (99999999999999999999 bytes)."}],
                                         new=ALL_NEW, started="served")),
            ("a negative size", dict(rules=[{"on": "RETR", "preliminary":
                                             "150 Opening data connection for {name} (-{size} bytes)."}],
                                     new=ALL_NEW, started="served")),
        ])

    def test_a_broken_transfer_never_replaces_an_installed_file(self):
        self.scenarios([
            ("the data connection dropped half-way", dict(rules=[{"on": "RETR", "arg": retr(PRODUCT),
                                                                  "drop_after": 100000}],
                                                          logged="download of %s: Transfer of %s incomplete: 100000 "
                                                                 "of \\d+ bytes received" % (PRODUCT, retr(PRODUCT)))),
            ("426 after the data", dict(rules=[{"on": "RETR", "arg": retr(COMPANION),
                                                "final": "426 Connection closed; transfer aborted."}],
                                        logged="download of %s: 426 Connection closed" % COMPANION)),
            ("the control connection closed during a transfer", dict(
                rules=[{"on": "RETR", "arg": retr(LIBRARY), "control_close_after": 20000}])),
            # The library's step is skipped (no connection): two files alone
            # would be a mixed install.
            ("the server gone between two files", dict(rules=[{"on": "RETR", "arg": retr(COMPANION),
                                                               "close": True}],
                                                       logged="install: Only 2 of the 3 files")),
            ("the server gone at a file's RETR", dict(rules=[{"on": "PORT", "nth": 4, "data": "never"},
                                                            {"on": "RETR", "arg": retr(LIBRARY), "reply": [],
                                                             "close": True}])),
        ])


class LocalFaults(FaultCase):
    def test_a_disk_that_fills_during_the_product_download(self):
        # 1 MiB of room: the installed files fit, the 3 MiB product does not.
        big = dict(SERVED, **{PRODUCT: product(b"served", 3 << 20)})
        self.scenario(served=big, prepare=lambda launch: launch.mount("-t", "tmpfs", "-o", "size=1m", "faults"),
                      logged="download of %s: " % PRODUCT)
        self.assertIn("RETR " + retr(PRODUCT), self.commands)
        self.assertNotIn("RETR " + retr(COMPANION), self.commands)

    def test_a_read_only_working_folder(self):
        def read_only(launch):
            launch.install()
            launch.mount("--bind", str(launch.work))
            subprocess.run(["mount", "-o", "remount,bind,ro", str(launch.work)], check=True, capture_output=True)
        launch = Launch(self)
        read_only(launch)
        launch.serve()
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(launch.site), user=USER, password=PASSWORD, netns=ns, port=21):
            launch.run(ns)
        launch.assert_installed()
        self.assertFalse((launch.work / "Versione.Txt").exists())

    def test_an_unreadable_local_version_file(self):
        # Root reads any file; without the two capabilities that let it pass
        # the permission bits, a file of mode 000 is unreadable to it as to
        # any user.
        def unreadable(launch):
            launch.install()
            os.chmod(launch.work / "VersioneAttuale.Txt", 0)
        launch = Launch(self)
        unreadable(launch)
        launch.serve()
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(launch.site), user=USER, password=PASSWORD, netns=ns, port=21) as server:
            launch.run(ns, wrapper=["setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"])
            commands = server.commands()
        launch.assert_installed()
        launch.assert_logged('the version files: Cannot open file ".*VersioneAttuale.Txt"')
        # The failed check ends the login: nothing after it but the logout.
        self.assertEqual(commands[-2:], ["RETR " + retr("Versione.Txt"), "QUIT"])


    def test_a_log_that_cannot_be_written_changes_nothing_of_the_run(self):
        # Read-only to a process without the capabilities that let root pass
        # the permission bits.
        def read_only_log(launch):
            (launch.work / LOG_FILE).write_bytes(KEPT_LOG)
            os.chmod(launch.work / LOG_FILE, 0o444)
        self.scenario(installed=read_only_log, new=ALL_NEW, started="served",
                      wrapper=["setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"])
        self.assertEqual(self.launch.work.joinpath(LOG_FILE).read_bytes(), KEPT_LOG)

    def test_no_file_in_place_of_the_local_version_file(self):
        def replace(make):
            def installed(launch):
                (launch.work / "VersioneAttuale.Txt").unlink()
                make(launch.work / "VersioneAttuale.Txt")
            return dict(installed=installed)
        self.scenarios([
            ("a folder", replace(lambda path: path.mkdir())),
            ("a named pipe that nothing writes", replace(os.mkfifo)),
        ])


class Waits(FaultCase):
    """Where the launcher waits (until its stall guard ends the wait, 60 s as
    shipped), it goes on painting and answering."""

    def wait_and_observe(self, rules, stuck):
        launch = Launch(self)
        launch.install()
        launch.serve()
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=rules, root=str(launch.site), user=USER, password=PASSWORD,
                                  netns=ns, port=21) as server:
            proc = launch.start(ns)
            try:
                deadline = time.monotonic() + 30
                while not stuck(ns, server) and time.monotonic() < deadline and proc.poll() is None:
                    time.sleep(0.05)
                self.assertIsNone(proc.poll(), "the launcher ended instead of waiting")
                self.assertTrue(stuck(ns, server), "the launcher never reached the wait")
                if CAPTURES:
                    for round_ in range(3):
                        self.assert_answers(proc, launch, round_)
                        time.sleep(0.5)
                else:
                    time.sleep(2)
                self.assertIsNone(proc.poll(), "the launcher ended instead of waiting")
            finally:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
            proc.errors.seek(0)
            launch.assert_no_sanitizer_report(proc.errors.read().decode(errors="replace"))
            proc.errors.close()
        launch.assert_installed(started=None)
        if not CAPTURES:
            self.skipTest("the platform of this build takes no pictures on request: painting not checked")

    def assert_answers(self, proc, launch, round_):
        """Asks the window for a picture of itself; the message loop must make it."""
        before = set(launch.captures.iterdir())
        os.kill(proc.pid, signal.SIGUSR1)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            made = [p for p in set(launch.captures.iterdir()) - before if p.suffix == ".png"]
            if made:  # the platform renames a picture into place once it is whole
                picture = pngread.read(str(made[0]))
                self.assertEqual((picture.width, picture.height), (592, 256))
                colours = {pixel for row in picture.rows for pixel in row}
                self.assertGreater(len(colours), 16, "the window shows nothing")
                return
            time.sleep(0.05)
        self.fail("no picture of the window after request %d: the message loop does not answer" % (round_ + 1))

    def test_a_silent_server_keeps_the_launcher_waiting_and_painting(self):
        def connected(ns, server):
            out = subprocess.run(ns.command(["ss", "-tnH", "state", "established", "( dport = :21 )"]),
                                 capture_output=True, text=True).stdout
            return bool(out.strip())
        self.wait_and_observe([{"on": "greeting", "mute": True}], connected)

    def test_a_data_connection_that_never_opens_keeps_the_launcher_waiting_and_painting(self):
        self.wait_and_observe([{"on": "PORT", "data": "never"}],
                              lambda ns, server: "RETR " + retr("Versione.Txt") in server.commands())



class SingleInstance(FaultCase):
    """A second launcher in the working folder of a running one touches no
    file, brings the running one's window to the front (where the system
    shows that) and ends without starting the product. The server holds the
    transfer of the product until the test lets it go, so whichever launcher
    claimed the folder first is still running when the other one decides."""

    def test_two_launchers_in_one_folder_make_one_update_and_one_start(self):
        for name, together in (("started together", True), ("the second started during the transfer", False)):
            with self.subTest(name):
                launch = system_launch()(self, self.binary)
                launch.install()
                launch.serve()
                release = launch.tmp / "release"
                held = launch.tmp / "release.held"
                rules = [{"on": "RETR", "arg": retr(PRODUCT), "hold_after": 100000, "hold_until": str(release)}]
                with NetNamespace(hosts=[HOST]) as ns, \
                        ScriptedFtpServer(rules=rules, root=str(launch.site), user=USER, password=PASSWORD,
                                          netns=ns, port=21) as server:
                    launchers = [launch.start(ns)]
                    if not together:
                        self.assertTrue(wait_until(held.exists, 60), "the transfer was never held")
                    launchers.append(launch.start(ns))
                    # Well within the stall guard, which would end a second
                    # run waiting for the held server too.
                    self.assertTrue(wait_until(lambda: any(p.poll() is not None for p in launchers), 40),
                                    "neither launcher ended while the other was held")
                    ended = [p for p in launchers if p.poll() is not None]
                    self.assertEqual(len(ended), 1, "both ended while the server was held")
                    launch.finish(ended[0])
                    release.touch()
                    launch.finish(next(p for p in launchers if p is not ended[0]))
                    logins = [c for c in server.commands() if c.startswith("USER ")]
                self.assertEqual(len(logins), 1)
                launch.assert_installed(new=ALL_NEW, started="served")
                if not together:
                    launch.assert_brought_to_front()


@unittest.skipUnless(PASSIVE_BINARY and os.path.exists(PASSIVE_BINARY), "LAUNCHER_PASSIVE_BINARY not built")
class PassiveMode(FaultCase):
    """The launcher built with LAUNCHER_FTP_PASSIVE opens every data
    connection itself."""

    binary = PASSIVE_BINARY

    def test_the_update_goes_over_passive_data_connections(self):
        self.scenario(new=ALL_NEW, started="served")
        data = [c.split(" ")[0] for c in self.commands if c == "PASV" or c.startswith("PORT ")]
        self.assertEqual(data, ["PASV"] * 4)


@unittest.skipUnless(STALL_BINARY and os.path.exists(STALL_BINARY) and STALL_MS,
                     "LAUNCHER_STALL_BINARY not built")
class StallGuard(FaultCase):
    """The launcher built with a stall guard of a few seconds: a network wait
    in which nothing arrives for that long fails its step and the installed
    product is launched; a transfer that keeps receiving is never cut. Times
    are read on the clock the timers run on, from the trace of the launcher's
    timers (Launch.timeline)."""

    binary = STALL_BINARY
    run_timeout = 60

    @staticmethod
    def guard_ticks(timeline):
        return [event for event in timeline if event != "start" and event.period == STALL_MS]

    def test_a_wait_in_which_nothing_arrives_ends_in_the_launch_of_the_installed_product(self):
        gate = tempfile.mkdtemp(prefix="launcher-stall.")
        self.addCleanup(shutil.rmtree, gate, True)
        never = os.path.join(gate, "never")  # the held transfer is never released
        seconds = STALL_MS // 1000
        data_guard = r".*\(stall guard: less than 1024 bytes in %d s\)$" % seconds
        for name, rules, logged in (
                ("a silent server", [{"on": "greeting", "mute": True}],
                 r"connection: .*\(stall guard: no reply for %d s\)$" % seconds),
                ("a data connection that never opens", [{"on": "PORT", "data": "never"}],
                 "the version file: " + data_guard),
                ("a transfer that stops half-way", [{"on": "RETR", "arg": retr(PRODUCT), "hold_after": 100000,
                                                      "hold_until": never}], "download of %s: " % PRODUCT + data_guard),
                # 300 bytes in each guard time, below the 1024 it asks for.
                ("a trickle", [{"on": "RETR", "arg": retr(PRODUCT), "pace": 100}],
                 "download of %s: " % PRODUCT + data_guard)):
            with self.subTest(name):
                timeline = self.scenario(rules=rules, logged=logged).timeline()
                # One wait, ended once, after the whole guard time: no second
                # wait (no QUIT after a silent login) before the launch.
                ticks = self.guard_ticks(timeline)
                self.assertEqual(len(ticks), 1, ticks)
                self.assertGreaterEqual(ticks[0].at - ticks[0].armed, STALL_MS)
                self.assertLess(timeline.index(ticks[0]), timeline.index("start"))
        self.assertTrue(os.path.exists(never + ".held"), "the transfer was never held")

    def test_a_slow_transfer_that_keeps_receiving_completes(self):
        # The slowest line a customer may have, a 56k modem (about 5,000
        # bytes a second): the product alone takes some five seconds, longer
        # than the guard.
        launch = system_launch()(self, self.binary)
        launch.install()
        launch.serve(dict(launch.default_served, **{PRODUCT: launch.product(b"served", 25000)}))
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=[{"on": "RETR", "arg": retr(PRODUCT), "pace": 5000}], root=str(launch.site),
                                  user=USER, password=PASSWORD, netns=ns, port=21):
            launch.run(ns)
        launch.assert_installed(new=ALL_NEW, started="served")
        timeline = launch.timeline()
        self.assertEqual(self.guard_ticks(timeline), [])
        # The product row's gauge ticked for longer than the guard: the
        # transfer outlasted it.
        gauge = [event for event in timeline if event != "start" and event.period == 300]
        self.assertTrue(gauge, "the gauge never ticked")
        product_row = [tick for tick in gauge if tick.armed == gauge[0].armed]
        self.assertGreater(product_row[-1].at - product_row[0].armed, STALL_MS)


if __name__ == "__main__":
    unittest.main()
