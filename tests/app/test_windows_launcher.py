"""The Windows launcher end to end under Wine: the x86_64 build under wine64,
the shipped i686 build under Wine's 32-bit side (WINE_RUN names the build's
runner).

Each case runs merindo-launcher.exe exactly as built, in a network namespace
of its own where the profile's host name resolves to 127.0.0.1, with a Wine
prefix of its own (the prefix's wineserver creates the sockets, so a server
shared with runs outside the namespace would connect from there), beside the
scripted FTP server on port 21. The product is a Windows program of the
tests (LAUNCHER_TEST_PRODUCT) that records where it ran and which copy it
was. Run by CTest with Debian's /usr/bin/python3; the build passes
LAUNCHER_BINARY, LAUNCHER_TEST_PRODUCT, the profile and WINE_RUN.

WineLaunch runs the cases of other modules (test_faults, test_signed) under
Wine when their runner names WINE_RUN. What the Linux platform's trace shows
of such a run (the window timers' ticks, the started programs) and what
strace shows of its file replacements, Wine's own trace of the calls the
launcher makes into the system shows here (WINEDEBUG=+relay, limited to the
calls of RELAYED, with Wine's clock and the process of each call).
"""

import os
import re
import subprocess
import sys
import unittest
from collections import namedtuple
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer, wait_until  # noqa: E402
from launcherenv import (BINARY, COMPANION, HOST, LIBRARY, LOG_FILE, OLD_LOG_FILE, PASSWORD, PRODUCT, ROOT,  # noqa: E402
                         USER)
from launcherenv import Tick  # noqa: E402
import test_faults  # noqa: E402
from test_launcher import (COMPANION_BYTES, LIBRARY_BYTES, LauncherRun, ServedRunTestCase,  # noqa: E402
                           assert_update_logged, fill_log)
from winerun import (WINE_RUN, copy_prefix, prefix_environment, run_program, template_prefix,  # noqa: E402
                     windows_path)

TEST_PRODUCT = os.environ.get("LAUNCHER_TEST_PRODUCT", "")
ANSWER_BOX = os.environ.get("LAUNCHER_ANSWER_BOX", "")
CAPTION = "Cavenor S.R.L. Software Update"
HOLD_FILE = os.environ.get("LAUNCHER_HOLD_FILE", "")
STARTED_MARKER = "product-started.txt"


def product(tag, padding=0):
    """The test product with `padding` bytes and its tag after the image."""
    return Path(TEST_PRODUCT).read_bytes() + b"#" * padding + b"\n" + tag + b"\n"


# The calls Wine traces: those that open, write, flush, close and replace
# files, arm window timers, start programs, create windows and bring one to
# the front. Wine adds the calls of window procedures (which show each
# WM_TIMER) by itself.
RELAYED = ("CreateFileA", "WriteFile", "FlushFileBuffers", "CloseHandle", "MoveFileExA", "SetTimer", "ShellExecuteA",
           "CreateWindowExA", "SetForegroundWindow")
# The window class of the launcher's form (classlib/Forms.cpp).
FORM_CLASS = "ClasslibForm"
RELAY_DEBUG = "+timestamp,+pid,+relay"
MOVEFILE_REPLACE_EXISTING = 0x1
MOVEFILE_WRITE_THROUGH = 0x8
INVALID_HANDLE_VALUES = (0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF)  # a 32-bit and a 64-bit program's

# "<seconds>.<ms>:<process>:<thread>:" then "Call <dll>.<function>(<arguments>) ret=<address>",
# "Ret  <dll>.<function>() retval=<value> ret=<address>" or "Call window proc <address> (hwnd=..,msg=..,wp=..,lp=..)".
RELAY_LINE = re.compile(r"^(\d+)\.(\d{3}):([0-9a-f]+):([0-9a-f]+):(.*)$")
RELAY_CALL = re.compile(r"^Call [\w.]+?\.(\w+)\((.*)\) ret=[0-9a-f]+$")
RELAY_RETURN = re.compile(r"^Ret  [\w.]+?\.(\w+)\(\) retval=([0-9a-f]+) ret=[0-9a-f]+$")
RELAY_TIMER_MESSAGE = re.compile(r"^Call window proc \S+ \(hwnd=([0-9A-Fa-f]+),msg=WM_TIMER,wp=([0-9a-f]+),")
# An argument: a number, with the text it points to for a string argument.
RELAY_ARGUMENT = re.compile(r'([0-9a-f]+)(?: "((?:[^"\\]|\\.)*)")?')

# A traced call: Wine's clock in ms, the process, the function, its arguments
# (numbers, or texts where Wine shows the text), its result (None until Wine
# traced its return, and for a window procedure's WM_TIMER, whose function is
# "WM_TIMER" with the window and the timer id as arguments).
RelayCall = namedtuple("RelayCall", "at process function arguments result")


def relay_calls(trace_text):
    """The calls of RELAYED and the WM_TIMER messages in a trace, in order."""
    calls = []
    pending = {}  # (process, thread) -> indexes of calls not yet returned
    for line in trace_text.splitlines():
        found = RELAY_LINE.match(line)
        if not found:
            continue
        at = int(found.group(1)) * 1000 + int(found.group(2))
        process, thread, rest = int(found.group(3), 16), found.group(4), found.group(5)
        call, returned, timer = RELAY_CALL.match(rest), RELAY_RETURN.match(rest), RELAY_TIMER_MESSAGE.match(rest)
        if call and call.group(1) in RELAYED:
            arguments = [re.sub(r"\\(.)", r"\1", text) if text else int(number, 16)
                         for number, text in RELAY_ARGUMENT.findall(call.group(2))]
            pending.setdefault((process, thread), []).append(len(calls))
            calls.append(RelayCall(at, process, call.group(1), arguments, None))
        elif returned and returned.group(1) in RELAYED and pending.get((process, thread)):
            index = pending[(process, thread)].pop()
            calls[index] = calls[index]._replace(result=int(returned.group(2), 16))
        elif timer:
            calls.append(RelayCall(at, process, "WM_TIMER", [int(timer.group(1), 16), int(timer.group(2), 16)], None))
    return calls


def file_calls(calls):
    """The calls on files, as (index in calls, function, path, second path or
    flags, result): handles are resolved to the paths they were opened with,
    in their process."""
    opened = {}
    found = []
    for index, c in enumerate(calls):
        if c.function == "CreateFileA" and c.result is not None and c.result not in INVALID_HANDLE_VALUES:
            opened[(c.process, c.result)] = c.arguments[0]
        elif c.function == "CloseHandle":
            opened.pop((c.process, c.arguments[0]), None)
        elif c.function in ("WriteFile", "FlushFileBuffers") and (c.process, c.arguments[0]) in opened:
            found.append((index, c.function, opened[(c.process, c.arguments[0])], None, c.result))
        elif c.function == "MoveFileExA":
            found.append((index, c.function, c.arguments[0], c.arguments[2], c.result))
    return found


def assert_replaced_durably(test, calls, folder, name):
    """Checks that folder\\name was written as name.download, flushed after
    its last write (FlushFileBuffers), moved over name once, by MoveFileExA
    with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH (which writes
    through only a move to another volume), and flushed again under its new
    name, which commits a move within a volume; returns the move's index in
    calls."""
    installed = (folder + "\\" + name).lower()
    partial = installed + ".download"
    files = file_calls(calls)
    writes = [i for i, function, path, _, _ in files if function == "WriteFile" and path.lower() == partial]
    flushes = [i for i, function, path, _, result in files
               if function == "FlushFileBuffers" and path.lower() == partial and result]
    moves = [(i, flags, result) for i, function, path, flags, result in files
             if function == "MoveFileExA" and path.lower() == partial]
    test.assertTrue(writes, "no write into %s" % partial)
    test.assertEqual(len(moves), 1, "one move of %s" % partial)
    move, flags, result = moves[0]
    test.assertEqual(calls[move].arguments[1].lower(), installed)
    test.assertTrue(result, "the move of %s failed" % partial)
    both = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
    test.assertEqual(flags & both, both, "%s moved with flags %#x" % (partial, flags))
    test.assertTrue([i for i in flushes if writes[-1] < i < move],
                    "no flush of %s between its last write and its move" % partial)
    test.assertTrue([i for i, function, path, _, result in files
                     if function == "FlushFileBuffers" and path.lower() == installed and result and i > move],
                    "no flush of %s after the move" % installed)
    return move


def timeline(calls):
    """The window timers' ticks (launcherenv.Tick, on Wine's clock) and the
    programs' starts ("start"), in order: what test_faults.Launch.timeline
    gives on Linux."""
    armed = {}  # (process, window, id) -> (when, period) of the last SetTimer
    events = []
    for c in calls:
        if c.function == "SetTimer":
            armed[(c.process, c.arguments[0], c.arguments[1])] = (c.at, c.arguments[2])
        elif c.function == "WM_TIMER" and (c.process, *c.arguments) in armed:
            when, period = armed[(c.process, *c.arguments)]
            events.append(Tick(c.at, c.arguments[0], c.arguments[1], period, when))
        elif c.function == "ShellExecuteA":
            events.append("start")
    return events


class WineLaunch(test_faults.Launch):
    """A run of test_faults (a working folder with the installed product, a
    served site) under Wine: the Windows test product, a Wine prefix of the
    run's own, and Wine's trace of the run's calls in place of the Linux
    platform's trace and of strace."""

    def __init__(self, test, binary=BINARY):
        super().__init__(test, binary)
        self.prefix = self.tmp / "prefix"
        copy_prefix(template_prefix(), self.prefix)
        with open(self.prefix / "user.reg", "a") as registry:
            registry.write('\n[Software\\\\Wine\\\\Debug] 1700000000\n"RelayInclude"="%s"\n' % ";".join(RELAYED))
        self.calls = []

    def product(self, tag, padding=0):
        return product(tag, padding)

    def command(self, wrapper=()):
        return list(wrapper) + [WINE_RUN, self.binary]

    def environment(self):
        return prefix_environment(self.prefix, {"WINEDEBUG": RELAY_DEBUG})

    def run(self, ns, wrapper=(), timeout=120):
        self.calls = []
        return super().run(ns, wrapper, timeout)

    def ended(self, stderr):
        """The calls of every launcher that ended are kept (each with its
        process)."""
        self.calls += relay_calls(stderr)
        super().ended(stderr)

    def product_ran(self):
        marker = self.work / STARTED_MARKER
        return marker.read_text() if marker.exists() else None

    def assert_brought_to_front(self):
        """A launcher brought to the front the form window that another
        launcher created, and was the only one to bring a window forward."""
        forms = {(c.process, c.result) for c in self.calls
                 if c.function == "CreateWindowExA" and c.arguments[1:2] == [FORM_CLASS]}
        fronted = [(c.process, c.arguments[0]) for c in self.calls if c.function == "SetForegroundWindow"]
        self.test.assertEqual(len(fronted), 1, fronted)
        process, window = fronted[0]
        self.test.assertIn(window, {w for p, w in forms if p != process}, "not another launcher's window")

    def run_observing_replacements(self, ns):
        self.run(ns)
        calls, folder = self.calls, windows_path(self.work)
        return lambda test, name: assert_replaced_durably(test, calls, folder, name)

    def timeline(self):
        return timeline(self.calls)

    def starts(self):
        return [c for c in self.calls if c.function == "ShellExecuteA"]

    def started(self):
        """The tag of the product that ran in the working folder, or None
        when nothing was started."""
        ran = super().started()
        if ran is None:
            return None
        folder, tag = ran.splitlines()
        self.test.assertEqual(folder, windows_path(self.work))
        return tag


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
        self.result = ns.run([WINE_RUN, BINARY], cwd=str(self.work), timeout=timeout,
                             env=prefix_environment(self.prefix))
        self.test.assertFalse(self.result.timed_out, "the launcher did not end")
        self.test.assertEqual(self.result.returncode, 0, self.result.stderr)
        return self.result

    def started(self, timeout=20.0):
        """What the started product wrote, or None when nothing ran."""
        marker = self.work / STARTED_MARKER
        return marker.read_text().splitlines() if wait_until(marker.exists, timeout) else None


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and WINE_RUN, "the Windows launcher is not built")
class WindowsLauncherEndToEnd(ServedRunTestCase):
    Run = WineLauncherRun

    def namespace(self, hosts=(HOST,)):
        return NetNamespace(hosts=list(hosts))

    def assert_installed_product_started(self):
        self.assertEqual(self.r.started(), [windows_path(self.r.work), "installed"])
        self.assertEqual((self.r.work / PRODUCT).read_bytes(), self.r.installed)

    def test_update_downloads_three_files_and_starts_the_new_product(self):
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        earlier = fill_log(self.r.work)
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
                         sorted([PRODUCT, COMPANION, LIBRARY, "Versione.Txt", "VersioneAttuale.Txt", LOG_FILE,
                                 OLD_LOG_FILE, "product-started.txt"]))  # no temporary file left
        assert_update_logged(self, self.r.work, windows_path(self.r.work), earlier, len(self.r.served))

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

    def test_a_working_folder_named_outside_the_ansi_code_page_is_updated_and_started(self):
        # Greek letters, while the prefix's ANSI code page is Windows-1252:
        # the ANSI functions get '?' in their place.
        greek = self.r.tmp / "Ελληνικά"
        self.r.work.rename(greek)
        self.r.work = greek
        self.r.serve_release()
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        with self.namespace() as ns, self.scripted(ns):
            self.r.run(ns)
            started = self.r.started()
        self.assertEqual((greek / PRODUCT).read_bytes(), self.r.served)
        self.assertEqual((greek / COMPANION).read_bytes(), COMPANION_BYTES)
        self.assertEqual((greek / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual(started, [windows_path(greek), "served"])

    def test_a_product_that_cannot_be_started_is_told_in_a_box_and_the_launcher_ends(self):
        self.r.local("VersioneAttuale.Txt", b"1.0\r\n")
        self.r.local(PRODUCT, b"MZ, damaged\n")
        with self.namespace() as ns:
            env = prefix_environment(self.r.prefix)
            launcher = subprocess.Popen(ns.command([WINE_RUN, BINARY]), cwd=str(self.r.work), env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
            try:
                answer = run_program(ns.command([WINE_RUN, ANSWER_BOX, CAPTION]), env, timeout=120)
                ended = launcher.wait(60)
            finally:
                if launcher.poll() is None:
                    launcher.kill()
                    launcher.wait()
        self.assertEqual(answer.returncode, 0, "no box came")
        # One box: its own message loop, which runs the window's timers
        # while it is up, started nothing again.
        self.assertRegex(answer.stdout, r"^Impossibile avviare Merindo: \S[^\n]*\S\r?\n$")
        self.assertEqual(ended, 0)
        self.assertFalse((self.r.work / STARTED_MARKER).exists())

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
                         sorted([PRODUCT, "Versione.Txt", "VersioneAttuale.Txt", LOG_FILE, "product-started.txt"]))


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and WINE_RUN and HOLD_FILE, "the Windows launcher is not built")
class HeldCompanion(unittest.TestCase):
    """The installed companion held open by another program that shares it
    for reading only, as a running companion or a virus scanner may: it can
    be neither replaced nor renamed meanwhile. The install moves it aside
    first, retrying for about two seconds; held for longer, the install is
    undone and the installed product starts."""

    def run_held(self, until, after_ms):
        """A run while the companion is held until the file `until(launch)`
        exists and after_ms more; returns the run and the results of the
        launcher's moves of the installed companion, in order."""
        launch = WineLaunch(self)
        launch.install()
        launch.serve()
        companion = windows_path(launch.work / COMPANION).lower()
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(launch.site), user=USER, password=PASSWORD, netns=ns, port=21):
            # In the namespace, with the run's prefix: one wineserver for both.
            held = launch.tmp / "held"
            holder = subprocess.Popen(ns.command([WINE_RUN, HOLD_FILE, companion, windows_path(held),
                                                  windows_path(until(launch)), str(after_ms)]),
                                      env=launch.environment(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
            try:
                self.assertTrue(wait_until(lambda: held.exists() or holder.poll() is not None, 60))
                self.assertTrue(held.exists(), "the companion was never held")
                launch.run(ns)
                self.assertEqual(holder.wait(60), 0)
            finally:
                holder.kill()
                holder.wait()
        moves = [c.result for c in launch.calls if c.function == "MoveFileExA" and c.arguments[0].lower() == companion]
        return launch, moves

    def test_a_companion_held_for_a_moment_is_moved_aside_once_it_is_let_go(self):
        # Held from before the run until a moment after the install began.
        launch, moves = self.run_held(lambda launch: launch.work / "InstallazioneInCorso.Txt", 300)
        launch.assert_installed(new=test_faults.ALL_NEW, started="served")
        self.assertGreaterEqual(len(moves), 2, moves)
        self.assertEqual(moves[0], 0)
        self.assertNotEqual(moves[-1], 0)

    def test_a_companion_held_throughout_undoes_the_install(self):
        # Held until the product has started.
        launch, moves = self.run_held(lambda launch: launch.work / STARTED_MARKER, 0)
        launch.assert_installed()
        self.assertEqual(moves, [0] * 5)  # five tries in about two seconds


if __name__ == "__main__":
    unittest.main()
