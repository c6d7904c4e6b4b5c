"""The shipped launcher puts each downloaded file in place so that a power cut
cannot undo it: for each of the three files, seen in the system calls the
binary makes (strace), the temporary file's last write comes before its
fsync, the fsync before the rename over the installed name, and the rename
before an fsync of the working folder.
"""

import os
import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, COMPANION, HOST, LIBRARY, PASSWORD, PRODUCT, USER  # noqa: E402
from test_launcher import INSTALLED_PRODUCT, LIBRARY_BYTES, SERVED_PRODUCT, LauncherRun  # noqa: E402

# The system calls of a replacement, traced with their descriptors' paths (-y).
STRACE = ["strace", "-f", "-qq", "-y", "-s", "0", "-e", "trace=write,fsync,fdatasync,rename,renameat,renameat2"]
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
        if name in ("rename", "renameat", "renameat2"):
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


@unittest.skipUnless(BINARY and os.path.exists(BINARY), "LAUNCHER_BINARY not built")
class DurableInstall(unittest.TestCase):
    def test_each_file_reaches_the_disk_before_its_name_and_its_name_before_the_next_step(self):
        run = LauncherRun(self)
        self.addCleanup(run.close)
        run.serve_release()
        run.serve(PRODUCT, SERVED_PRODUCT + b"#" * 300000)  # several blocks
        run.local("VersioneAttuale.Txt", b"1.0\r\n")
        run.local(PRODUCT, INSTALLED_PRODUCT)
        trace = run.tmp / "syscalls.txt"
        strace = STRACE + ["-o", str(trace)]
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(run.site), user=USER, password=PASSWORD, netns=ns, port=21):
            # LeakSanitizer stops the process with ptrace at its end, which a
            # traced process cannot do.
            sanitizer = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
            run.run(ns, timeout=120, under=strace, environment={"ASAN_OPTIONS": sanitizer})
        self.assertEqual((run.work / LIBRARY).read_bytes(), LIBRARY_BYTES)
        calls = parse_calls(trace.read_text())
        folder = os.path.realpath(run.work)

        for name in (PRODUCT, COMPANION, LIBRARY):
            with self.subTest(file=name):
                rename, folder_flush = assert_put_in_place_durably(self, calls, folder, name)
                later_writes = [i for i, c in enumerate(calls)
                                if c[0] == "write" and c[1] and c[1].endswith(".download") and i > rename]
                if later_writes:  # the next file's download waits for the folder's flush
                    self.assertLess(folder_flush, later_writes[0])

if __name__ == "__main__":
    unittest.main()
