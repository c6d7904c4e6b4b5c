"""The shipped launcher installs the three downloaded files all or nothing,
so that neither a failure nor a crash nor a power cut can leave a mixture of
two releases, and each file in place so that a power cut cannot undo it.

Seen in the system calls the binary makes (strace): the journal is written,
flushed and renamed into place before any installed file is touched; each
received file's last write comes before its fsync, the fsync before the
rename over the installed name, and the rename before an fsync of the working
folder; the journal says the install is done only after the last file. And a
launcher killed at each of its renames and links in turn (strace's fault
injection) leaves a folder from which the next run, offline, starts the old
product with every file byte for byte as it was.
"""

import os
import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import (BINARY, COMPANION, HOST, LIBRARY, LOCK_FILE, LOG_FILE, PASSWORD, PRODUCT, USER,  # noqa: E402
                         log_lines)
from test_launcher import INSTALLED_PRODUCT, LIBRARY_BYTES, SERVED_PRODUCT, LauncherRun  # noqa: E402

JOURNAL = "InstallazioneInCorso.Txt"
KEPT = ".kept"
# The system calls of a replacement, traced with their descriptors' paths (-y).
STRACE = ["strace", "-f", "-qq", "-y", "-s", "0", "-e",
          "trace=write,fsync,fdatasync,rename,renameat,renameat2,link,linkat"]
# The calls that put a name in place, which a crash may interrupt.
RENAMES = "rename,renameat,renameat2"
LINKS = "link,linkat"
# "<pid> <call>(<arguments>) = <result>".
CALL = re.compile(r"^\d+\s+(\w+)\((.*)\)\s+=\s+(-?\d+)")
DESCRIPTOR_PATH = re.compile(r"^\d+<(.*?)>")
QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"')


def parse_calls(trace_text):
    """[(call, first argument as a path, second path or None, result)], in order."""
    calls = []
    for line in trace_text.splitlines():
        found = CALL.match(line)
        if not found:
            continue  # unfinished and resumed halves of calls of other threads
        name, arguments, result = found.group(1), found.group(2), int(found.group(3))
        if name in RENAMES.split(",") + LINKS.split(","):
            paths = QUOTED.findall(arguments)
            calls.append((name, paths[0], paths[1], result))
        else:
            path = DESCRIPTOR_PATH.match(arguments)
            calls.append((name, path.group(1) if path else None, None, result))
    return calls


def flushes_of(calls, path):
    """The indexes of the successful flushes of path."""
    return [i for i, c in enumerate(calls) if c[0] in ("fsync", "fdatasync") and c[1] == path and c[3] == 0]


def assert_put_in_place_durably(test, calls, folder, name):
    """Checks that folder/name was written as name.download, flushed after its
    last write, renamed over name once, and the folder flushed after that;
    returns the indexes of the rename and of the folder's first flush after
    it."""
    installed = os.path.join(folder, name)
    partial = installed + ".download"
    writes = [i for i, c in enumerate(calls) if c[0] == "write" and c[1] == partial]
    renames = [i for i, c in enumerate(calls) if c[1] == partial and c[2] == installed]
    test.assertTrue(writes, "no write into %s" % partial)
    test.assertEqual(len(renames), 1, "one rename of %s over %s" % (partial, installed))
    rename = renames[0]
    test.assertEqual(calls[rename][3], 0)
    test.assertTrue([i for i in flushes_of(calls, partial) if writes[-1] < i < rename],
                    "no flush of %s between its last write and its rename" % partial)
    folder_flushes = [i for i in flushes_of(calls, folder) if i > rename and calls[i][0] == "fsync"]
    test.assertTrue(folder_flushes, "no flush of the folder after the rename of %s" % name)
    return rename, folder_flushes[0]


def without_leak_check():
    """LeakSanitizer stops the process with ptrace at its end, which a traced
    process cannot do."""
    return {"ASAN_OPTIONS": ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))}


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class DurableInstall(unittest.TestCase):
    def prepare(self):
        run = LauncherRun(self)
        self.addCleanup(run.close)
        run.serve_release()
        run.serve(PRODUCT, SERVED_PRODUCT + b"#" * 300000)  # several blocks
        run.local("VersioneAttuale.Txt", b"1.0\r\n")
        run.local(PRODUCT, INSTALLED_PRODUCT)
        run.local(COMPANION, b"companion 1.0")
        run.local(LIBRARY, b"library 8.00")
        return run

    def test_the_journal_then_each_file_then_the_journals_end_reach_the_disk_in_order(self):
        run = self.prepare()
        trace = run.tmp / "syscalls.txt"
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(run.site), user=USER, password=PASSWORD, netns=ns, port=21):
            run.run(ns, timeout=120, under=STRACE + ["-o", str(trace)], environment=without_leak_check())
        self.assertEqual((run.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        self.assertEqual(sorted(p.name for p in run.work.iterdir()),
                         sorted([PRODUCT, COMPANION, LIBRARY, "Versione.Txt", "VersioneAttuale.Txt", LOCK_FILE,
                                 LOG_FILE, "product-started.txt"]))  # no journal, kept or received file left
        calls = parse_calls(trace.read_text())
        folder = os.path.realpath(run.work)
        received = [i for i, c in enumerate(calls) if c[0] == "write" and c[1] and c[1].endswith(
            tuple(name + ".download" for name in (PRODUCT, COMPANION, LIBRARY)))]

        journal = os.path.join(folder, JOURNAL)
        journal_renames = [i for i, c in enumerate(calls) if c[0].startswith("rename") and c[2] == journal]
        self.assertEqual(len(journal_renames), 2, "the journal is put in place, then rewritten once at the end")
        begun, done = journal_renames
        self.assertTrue([i for i in flushes_of(calls, journal + ".download") if i < begun], "journal not flushed")
        self.assertTrue([i for i in flushes_of(calls, folder) if begun < i], "folder not flushed after the journal")
        self.assertLess(received[-1], begun, "the install began before every file had arrived")
        for name in (PRODUCT, COMPANION, LIBRARY):
            with self.subTest(file=name):
                rename, folder_flush = assert_put_in_place_durably(self, calls, folder, name)
                # Kept aside first, under a second name (Linux), once the
                # journal is on the disk.
                installed = os.path.join(folder, name)
                kept = [i for i, c in enumerate(calls) if c[0].startswith("link") and c[2] == installed + KEPT]
                self.assertEqual(len(kept), 1)
                journal_on_disk = min(i for i in flushes_of(calls, folder) if i > begun)
                self.assertLess(journal_on_disk, kept[0])
                self.assertLess(kept[0], rename)
                self.assertLess(folder_flush, done)

    def test_a_launcher_killed_at_any_rename_leaves_the_old_product_to_the_next_run(self):
        run = self.prepare()
        before = {name: (run.work / name).read_bytes() for name in (PRODUCT, COMPANION, LIBRARY)}
        for calls in (RENAMES, LINKS):
            killed = 0
            while True:
                for name, data in before.items():
                    run.local(name, data)
                (run.work / "product-started.txt").unlink(missing_ok=True)
                run.trace.unlink(missing_ok=True)
                inject = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + calls, "-e",
                          "inject=%s:error=EIO:signal=KILL:when=%d" % (calls, killed + 1)]
                with NetNamespace(hosts=[HOST]) as ns, \
                        ScriptedFtpServer(root=str(run.site), user=USER, password=PASSWORD, netns=ns, port=21):
                    result = ns.run(inject + [BINARY], cwd=str(run.work), timeout=120,
                                    env=run.environment(without_leak_check()))
                self.assertFalse(result.timed_out, "the launcher did not end")
                if result.returncode == 0:
                    break  # past its last one: the run updated
                killed += 1
                with self.subTest(calls=calls, killed_at=killed):
                    # strace ends itself with its tracee's signal.
                    self.assertEqual(result.returncode, -9, result.stderr[-2000:])
                    self.assertIsNone(run.started())
                    recovering = lambda: [line for line in log_lines(run.work)  # noqa: E731
                                          if line.startswith("recover: ")]
                    recovered_before = len(recovering())
                    with NetNamespace(hosts=[HOST]) as ns:  # no server: the run ends in the launch
                        run.run(ns)
                    self.assertEqual(run.started(), [str(run.work), "installed"])
                    for name, data in before.items():
                        self.assertEqual((run.work / name).read_bytes(), data, name)
                    self.assertEqual(sorted(p.name for p in run.work.iterdir()),
                                     sorted(list(before) + ["Versione.Txt", "VersioneAttuale.Txt", LOCK_FILE,
                                                            LOG_FILE, "product-started.txt"]))
                    # The offline run said what it found and did.
                    recovered = recovering()[recovered_before:]
                    self.assertEqual(len(recovered), 1, recovered)
                    self.assertRegex(recovered[0], "^recover: an (install that had not begun|interrupted install "
                                                   "rolled back)")
            # The journal, each file and the journal's end; each kept file.
            self.assertEqual(killed, 5 if calls == RENAMES else 3, calls)
            self.assertEqual(run.started(), [str(run.work), "served"])


if __name__ == "__main__":
    unittest.main()
