"""The vendor's tool, merindo-release, run as a vendor runs it: each command,
and each bad input with its message and exit code.

Run by CTest with /usr/bin/python3; RELEASE_TOOL names the built tool: the
Linux program, or a Windows build's merindo-release.exe, which runs under
Wine when WINE_RUN names the build's runner. The cases are the same;
what differs by system is how the tool runs and sees paths, how the secret
key is kept from other users (Linux: the file's mode; Windows: its access
list, read through the Windows API by the test program ACCESS_LIST) and how
a folder is made unreadable (Linux: mode 000; Windows: an access list that
denies the user).

The unreadable-folder case drops the capabilities that let root pass
permission bits (setpriv), so it also holds when the tests run as root. Wine
keeps no access lists of its own: it turns a list it is given into the
file's Unix mode and reports a list made from that mode, so under Wine a
deny entry holds only as far as the mode does, for a process without those
capabilities (Wine opens files in its wineserver, which is therefore started
anew without them).
"""

import hashlib
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "app"))
from winerun import (WINE_RUN, copy_prefix, end_server, prefix_environment, run_program, template_prefix,  # noqa: E402
                     windows_arguments, windows_path)

TOOL = os.environ.get("RELEASE_TOOL", "")
ACCESS_LIST = os.environ.get("ACCESS_LIST", "")
FILES = ("Merindo_SQL_Dalvessa.Exe", "Quillane.Exe", "ntwdblib.dll")
DONE, REFUSED, USAGE, CANNOT = 0, 1, 2, 3
# Root passes permission bits; without these two capabilities it is held to
# them as any user is.
WITHOUT_ROOT_RIGHTS = ["setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"]


class Linux:
    """The tool run directly."""

    # The platform layer's text for ERROR_ACCESS_DENIED is Windows' own.
    access_denied = "Access is denied."

    def __init__(self, scratch):
        pass

    def close(self):
        pass

    def run(self, args, reduced_rights=False):
        command = (WITHOUT_ROOT_RIGHTS if reduced_rights else []) + [TOOL] + [str(a) for a in args]
        return subprocess.run(command, capture_output=True, text=True, timeout=60)

    def assert_private(self, test, path):
        test.assertEqual(stat.S_IMODE(path.stat().st_mode), 0o600)

    def run_observed(self, args, folder):
        """Runs the tool under strace; returns the run and the check that a
        file of folder was put in place durably (test_durable_install), which
        gives the rename's place in the order of calls."""
        from test_durable_install import STRACE, assert_put_in_place_durably, parse_calls, without_leak_check
        trace = folder.parent / "syscalls.txt"
        run = subprocess.run(STRACE + ["-o", str(trace), TOOL] + [str(a) for a in args], capture_output=True,
                             text=True, timeout=60, env=dict(os.environ, **without_leak_check()))
        calls = parse_calls(trace.read_text())
        return run, lambda test, name: assert_put_in_place_durably(test, calls, os.path.realpath(folder), name)[0]

    def make_unreadable(self, folder):
        os.chmod(folder, 0)


class Windows:
    """The Windows tool under Wine, in a Wine prefix of the tests' own,
    given Windows paths."""

    access_denied = "Access denied."  # Wine's text for ERROR_ACCESS_DENIED
    system = "S-1-5-18"  # the local system, which Wine names in every list it reports
    read_write = 0x120089 | 0x120116  # FILE_GENERIC_READ | FILE_GENERIC_WRITE

    def __init__(self, scratch):
        from test_windows_launcher import RELAYED
        self.prefix = scratch / "prefix"
        copy_prefix(template_prefix(), self.prefix)
        with open(self.prefix / "user.reg", "a") as registry:
            registry.write('\n[Software\\\\Wine\\\\Debug] 1700000000\n"RelayInclude"="%s"\n' % ";".join(RELAYED))

    def close(self):
        end_server(self.prefix)

    def run(self, args, reduced_rights=False):
        wrapper = []
        if reduced_rights:
            # A wineserver of the reduced rights, for this run only.
            end_server(self.prefix)
            wrapper = WITHOUT_ROOT_RIGHTS
        try:
            return run_program(wrapper + [WINE_RUN, TOOL] + windows_arguments(args), prefix_environment(self.prefix))
        finally:
            if reduced_rights:
                end_server(self.prefix)

    def run_observed(self, args, folder):
        """Runs the tool with Wine's trace of its calls; returns the run and
        the check that a file of folder was put in place durably
        (test_windows_launcher), which gives the move's place in the order
        of calls."""
        from test_windows_launcher import RELAY_DEBUG, assert_replaced_durably, relay_calls
        run = run_program([WINE_RUN, TOOL] + windows_arguments(args),
                          prefix_environment(self.prefix, {"WINEDEBUG": RELAY_DEBUG}))
        calls = relay_calls(run.stderr)
        return run, lambda test, name: assert_replaced_durably(test, calls, windows_path(folder), name)

    def access_list(self, command, path):
        run = run_program([WINE_RUN, ACCESS_LIST, command, windows_path(path)], prefix_environment(self.prefix))
        if run.returncode != 0:
            raise AssertionError("access-list %s %s: %s" % (command, path, run.stderr))
        return [line.split() for line in run.stdout.splitlines()]

    def assert_private(self, test, path):
        lines = self.access_list("show", path)
        user = lines[0][1]
        allowed = {line[1]: int(line[2], 16) for line in lines[1:] if line[0] == "allow"}
        test.assertEqual(set(allowed) - {self.system}, {user}, lines)
        test.assertEqual(allowed[user] & self.read_write, self.read_write, lines)

    def make_unreadable(self, folder):
        self.access_list("deny", folder)


SYSTEM = Windows if WINE_RUN else Linux


@unittest.skipUnless(TOOL and os.path.exists(TOOL), "RELEASE_TOOL not built")
class ReleaseTool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp(prefix="merindo-release-system."))
        cls.system = SYSTEM(cls.scratch)

    @classmethod
    def tearDownClass(cls):
        cls.system.close()
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="merindo-release."))
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.folder = self.tmp / "release"
        self.folder.mkdir()
        (self.folder / "Versione.Txt").write_bytes(b"1.0\r\n  2.0\t\r\n\r\n")
        self.served = {FILES[0]: b"#!/bin/sh\n" + bytes(range(256)) * 1000, FILES[1]: b"MZ companion", FILES[2]: b""}
        for name, data in self.served.items():
            (self.folder / name).write_bytes(data)

    def tool(self, *args, reduced_rights=False, code=DONE, says=None):
        """Runs the tool; checks its exit code and that its error output says `says`."""
        run = self.system.run(args, reduced_rights)
        self.assertEqual(run.returncode, code, run.stderr)
        if says:
            self.assertIn(says, run.stderr)
        return run

    def keygen(self, name="vendor"):
        run = self.tool("keygen", self.tmp / name)
        return self.tmp / (name + ".secret"), self.tmp / (name + ".public"), run.stdout.strip()

    def test_keygen_writes_a_private_secret_key_and_prints_the_public_one(self):
        secret, public, printed = self.keygen()
        self.system.assert_private(self, secret)
        self.assertEqual(public.read_text(), printed + "\n")
        self.assertRegex(printed, "^[0-9a-f]{64}$")
        self.assertTrue(secret.read_text().startswith("merindo-release secret key\n"))
        self.assertNotEqual(self.keygen("other")[2], printed)  # a new key each time
        # A key is never overwritten, neither half of it.
        before = secret.read_bytes()
        self.tool("keygen", self.tmp / "vendor", code=CANNOT, says="exists; a key is never overwritten")
        public.unlink()
        self.tool("keygen", self.tmp / "vendor", code=CANNOT, says="exists; a key is never overwritten")
        self.assertEqual(secret.read_bytes(), before)
        self.tool("keygen", self.tmp / "no-folder" / "vendor", code=CANNOT, says="Cannot create file")

    def test_sign_describes_the_folder_and_verify_accepts_it(self):
        secret, public, key = self.keygen()
        self.tool("sign", secret, self.folder, 42, says="signed release 42")
        lines = (self.folder / "Rilascio.Txt").read_bytes().decode().split("\n")
        self.assertEqual(lines[:3], ["merindo-release 1", "version 2.0", "number 42"])
        self.assertEqual(lines[3:], ["file %s %d %s" % (name, len(data), hashlib.sha256(data).hexdigest())
                                     for name, data in self.served.items()] + [""])
        self.assertRegex((self.folder / "Rilascio.Sig").read_text(), "^[0-9a-f]{128}\n$")
        self.tool("verify", public, self.folder, says="good: release 42")
        self.tool("verify", key.upper(), self.folder)
        self.tool("verify", key, self.folder, 42)

    def test_sign_writes_each_file_whole_the_signature_last_and_never_a_number_below_the_folders(self):
        secret, public, _ = self.keygen()
        self.tool("sign", secret, self.folder, 8)
        run, replaced = self.system.run_observed(("sign", secret, self.folder, 9), self.folder)
        self.assertEqual(run.returncode, DONE, run.stderr[-2000:])
        self.assertLess(replaced(self, "Rilascio.Txt"), replaced(self, "Rilascio.Sig"))
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()),
                         sorted(FILES + ("Versione.Txt", "Rilascio.Txt", "Rilascio.Sig")))  # nothing temporary left
        signed = [(self.folder / name).read_bytes() for name in ("Rilascio.Txt", "Rilascio.Sig")]
        # A number that is not above the signed release's would lock out
        # every customer who installed it (80 for 8 locks out 9 to 79).
        self.tool("sign", secret, self.folder, 8, code=REFUSED, says="Release 8 is not above release 9")
        self.tool("sign", secret, self.folder, 9)  # the same release again: the same description
        (self.folder / FILES[2]).write_bytes(b"changed")
        self.tool("sign", secret, self.folder, 9, code=REFUSED, says="Release 9 is not above release 9")
        self.assertEqual([(self.folder / name).read_bytes() for name in ("Rilascio.Txt", "Rilascio.Sig")], signed)
        self.tool("sign", "--force", secret, self.folder, 9, says="signed release 9")
        self.tool("verify", public, self.folder, says="good: release 9")
        # What another key signed is no release of this key's.
        other, _, _ = self.keygen("other")
        self.tool("sign", other, self.folder, 100)
        self.tool("sign", secret, self.folder, 10)

    def test_verify_refuses_what_the_launcher_would_refuse(self):
        secret, public, _ = self.keygen()
        _, other, _ = self.keygen("other")
        self.tool("sign", secret, self.folder, 7)
        self.tool("verify", other, self.folder, code=REFUSED, says="signature is not valid for this key")
        self.tool("verify", public, self.folder, 8, code=REFUSED, says="Release 7 is older than release 8")
        library = self.folder / FILES[2]
        library.write_bytes(b"x")
        self.tool("verify", public, self.folder, code=REFUSED, says="ntwdblib.dll has 1 bytes")
        library.write_bytes(b"")
        (self.folder / "Versione.Txt").write_bytes(b"2.1\n")
        self.tool("verify", public, self.folder, code=REFUSED, says="server's version file says \"2.1\"")
        description = self.folder / "Rilascio.Txt"
        description.write_bytes(description.read_bytes() + b"#" * 5000)
        self.tool("verify", public, self.folder, code=REFUSED, says="more than the 4096")
        description.unlink()
        self.tool("verify", public, self.folder, code=CANNOT, says="Cannot open file")

    def test_sign_refuses_bad_inputs_and_writes_nothing(self):
        secret, public, key = self.keygen()
        missing = self.tmp / "missing"
        folder = object()  # the case's release folder
        cases = [
            ("a missing file", lambda: (self.folder / FILES[1]).unlink(), ("sign", secret, folder, 1),
             CANNOT, "Quillane.Exe"),
            ("a version file without a version", lambda: (self.folder / "Versione.Txt").write_bytes(b" \r\n\t\n"),
             ("sign", secret, folder, 1), CANNOT, "Versione.Txt holds no version line"),
            ("the public key as secret key", None, ("sign", public, folder, 1), CANNOT, "Not a secret key file"),
            ("a missing key file", None, ("sign", missing, folder, 1), CANNOT, "Cannot open file"),
            ("a missing folder", None, ("sign", secret, missing, 1), CANNOT, "No folder"),
            ("a file as folder", None, ("sign", secret, secret, 1), CANNOT, "is not a folder"),
            ("a number with a leading zero", None, ("sign", secret, folder, "07"), USAGE, "\"07\" is not"),
            ("a negative number", None, ("sign", secret, folder, "-1"), USAGE, "\"-1\" is not"),
            ("too few arguments", None, ("sign", secret, folder), USAGE, "usage:"),
            ("an unknown command", None, ("publish", secret), USAGE, "Wrong command line for \"publish\""),
            ("no command", None, (), USAGE, "No command given"),
        ]
        for name, prepare, args, code, says in cases:
            with self.subTest(name):
                self.setUp()
                if prepare:
                    prepare()
                self.tool(*[self.folder if a is folder else a for a in args], code=code, says=says)
                self.assertFalse((self.folder / "Rilascio.Txt").exists() or (self.folder / "Rilascio.Sig").exists())
        self.tool("verify", "0" * 63, self.folder, code=CANNOT, says="Cannot open file")
        self.tool("verify", key, self.folder, "x", code=USAGE, says="installed release number \"x\"")

    def test_an_unreadable_folder_is_reported(self):
        secret, public, _ = self.keygen()
        self.tool("sign", secret, self.folder, 1)
        self.addCleanup(os.chmod, self.folder, 0o755)
        self.system.make_unreadable(self.folder)
        for args in (("sign", secret, self.folder, 2), ("verify", public, self.folder)):
            self.tool(*args, reduced_rights=True, code=CANNOT, says=self.system.access_denied)


if __name__ == "__main__":
    unittest.main()
