"""Signed releases, end to end: the launcher built with a vendor key installs
only what that key signed.

Each case runs the launcher built with the test key of tests/support (CMake's
merindo-launcher-testkey) in a network namespace of its own beside the
scripted FTP server on port 21, in a working folder with an installed
product, after signing the served release with the vendor's tool
(merindo-release). A refused release must leave every installed file byte
for byte as it was, no temporary file behind, no release record changed, and
the installed product started; the commands on the wire show where the run
stopped. The shipped launcher, built without a key, must not notice a signed
release at all.

Run by CTest with Debian's /usr/bin/python3; besides the variables of the
other launcher tests it passes SIGNED_LAUNCHER_BINARY, RELEASE_TOOL,
RELEASE_TEST_KEY (the test key's secret file) and LAUNCHER_RELEASE_KEY (the
shipped launcher's key setting). The Windows build runs the same cases with
its programs under Wine (WINE_RUN names the build's runner): the
launchers as test_windows_launcher.WineLaunch runs them, the vendor's tool
merindo-release.exe in the shared Wine prefix.
"""

import hashlib
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "support"))
from ftptest import NetNamespace, ScriptedFtpServer  # noqa: E402
from launcherenv import BINARY, COMPANION, HOST, LIBRARY, PASSWORD, PRODUCT, ROOT, USER, log_lines  # noqa: E402
from test_faults import ALL_NEW, SERVED, retr, system_launch  # noqa: E402
from winerun import WINE_RUN, run_program, windows_arguments  # noqa: E402

SIGNED_BINARY = os.environ.get("SIGNED_LAUNCHER_BINARY", "")
TOOL = os.environ.get("RELEASE_TOOL", "")
TEST_KEY = os.environ.get("RELEASE_TEST_KEY", "")
SHIPPED_KEY = os.environ.get("LAUNCHER_RELEASE_KEY", "")
LOWEST = int(os.environ.get("SIGNED_LAUNCHER_RELEASE_MIN", "0") or 0)

DESCRIPTION = "Rilascio.Txt"
SIGNATURE = "Rilascio.Sig"
RECORD = "RilascioAttuale.Txt"
NUMBER = 7


def wire(*names):
    """The commands of a run that fetches these files, PORT without its argument."""
    commands = ["USER " + USER, "PASS " + PASSWORD, "CWD /" + ROOT, "CWD Merindo"]
    for name in names:
        commands += ["TYPE L 8", "PORT", "RETR " + retr(name)]
    return commands


def on_wire(commands):
    return [c.split(" ")[0] if c.startswith("PORT ") else c for c in commands]


def release_tool(*args):
    """Runs the vendor's tool: the Windows one under Wine with Windows paths
    (outside any network namespace, so in the shared Wine prefix)."""
    if WINE_RUN:
        return run_program([WINE_RUN, TOOL] + windows_arguments(args), dict(os.environ))
    return subprocess.run([TOOL] + [str(a) for a in args], capture_output=True, text=True, timeout=60)


class SignedLaunch(system_launch()):
    """A run of the launcher of `binary` on a release signed as the case says."""

    @property
    def folder(self):
        return self.site / ROOT / "Merindo"

    def sign(self, number=NUMBER, key=Path(TEST_KEY), force=False):
        signed = release_tool("sign", *(["--force"] if force else []), key, self.folder, number)
        self.test.assertEqual(signed.returncode, 0, signed.stderr)

    def alter(self, name, change):
        path = self.folder / name
        path.write_bytes(change(path.read_bytes()))

    def record(self):
        path = self.work / RECORD
        return path.read_bytes() if path.is_file() else "a folder" if path.is_dir() else None

    def recorded(self, number=NUMBER):
        """The record of the served release: its number and the SHA-256 of
        its description."""
        return b"%d %s\n" % (number, hashlib.sha256((self.folder / DESCRIPTION).read_bytes()).hexdigest().encode())


def flip_last_byte(data):
    return data[:-1] + bytes([data[-1] ^ 1])


@unittest.skipUnless(SIGNED_BINARY and os.path.exists(SIGNED_BINARY) and TOOL and os.path.exists(TOOL),
                     "the launcher with the test key or merindo-release is not built")
class SignedReleases(unittest.TestCase):
    def launch(self, publish=None, rules=(), record=None, timeout=120, number=NUMBER):
        """Installs, serves the release signed as number NUMBER, lets `publish`
        change what is served, runs the launcher with the server playing
        `rules` (or what `rules(launch)` returns); returns the run and the
        commands the server received."""
        launch = SignedLaunch(self, SIGNED_BINARY)
        launch.install()
        if isinstance(record, bytes):
            (launch.work / RECORD).write_bytes(record)
        launch.serve()
        launch.sign(number)
        if callable(record):
            record(launch)
        if publish:
            publish(launch)
        if callable(rules):
            rules = rules(launch)
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(rules=list(rules), root=str(launch.site), user=USER, password=PASSWORD,
                                  netns=ns, port=21) as server:
            launch.run(ns, timeout=timeout)
            commands = on_wire(server.commands())
        return launch, commands

    def test_a_signed_release_is_installed_recorded_and_started(self):
        launch, commands = self.launch()
        self.assertEqual(commands, wire("Versione.Txt", DESCRIPTION, SIGNATURE, PRODUCT, COMPANION, LIBRARY))
        launch.assert_installed(new=ALL_NEW, started="served")
        self.assertEqual(launch.record(), launch.recorded())
        self.assertFalse((launch.work / DESCRIPTION).exists() or (launch.work / SIGNATURE).exists())
        log = log_lines(launch.work)
        self.assertIn("release: number %d of version 2.0 accepted" % NUMBER, log)
        self.assertIn("install: 3 files in place, release recorded", log)

    def test_the_files_and_then_the_record_are_put_in_place_durably(self):
        launch = SignedLaunch(self, SIGNED_BINARY)
        launch.install()
        launch.serve()
        launch.sign()
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(launch.site), user=USER, password=PASSWORD, netns=ns, port=21):
            put_in_place_durably = launch.run_observing_replacements(ns)
        launch.assert_installed(new=ALL_NEW, started="served")
        renames = {}
        for name in (PRODUCT, COMPANION, LIBRARY, RECORD):
            with self.subTest(file=name):
                renames[name] = put_in_place_durably(self, name)
        self.assertLess(max(renames[name] for name in (PRODUCT, COMPANION, LIBRARY)), renames[RECORD])

    def test_the_installed_release_again_is_accepted(self):
        # The local version file is never written, so the next run takes the
        # same release again: the same description with the same number is
        # no replay. The record of a launcher before the digest names the
        # number alone; it is written anew with the digest.
        for name, record in (("recorded with its digest", lambda launch: (launch.work / RECORD).write_bytes(
                                 launch.recorded())),
                             ("recorded by number alone", b"%d\n" % NUMBER)):
            with self.subTest(name):
                launch, commands = self.launch(record=record)
                self.assertEqual(commands[-3:], ["TYPE L 8", "PORT", "RETR " + retr(LIBRARY)])
                launch.assert_installed(new=ALL_NEW, started="served")
                self.assertEqual(launch.record(), launch.recorded())

    def refused(self, stops_after, record=None, **kwargs):
        """Runs a case the launcher must refuse: nothing installed, the record
        as it was, the installed product started, the run ended after the RETR
        of `stops_after`, and the reason in the log (`logged`, see
        Launch.assert_logged)."""
        logged = kwargs.pop("logged")
        launch, commands = self.launch(record=record, **kwargs)
        launch.assert_installed()
        launch.assert_logged(logged)
        self.assertEqual(launch.record(), record)
        fetched = ["Versione.Txt", DESCRIPTION, SIGNATURE, PRODUCT, COMPANION, LIBRARY]
        self.assertEqual(commands, wire(*fetched[:fetched.index(stops_after) + 1]))

    def test_a_tampered_file_is_discarded_and_nothing_is_installed(self):
        with self.subTest("one byte changed in the library"):
            self.refused(LIBRARY, publish=lambda launch: launch.alter(LIBRARY, flip_last_byte),
                         logged="download of %s: %s's SHA-256 is not the one of the release description" % (
                             LIBRARY, LIBRARY))
        with self.subTest("a shorter product"):
            self.refused(PRODUCT, publish=lambda launch: launch.alter(PRODUCT, lambda data: data[:-1]),
                         logged=r"download of %s: %s has (\d+) bytes, the release description says (?!\1)\d+$" % (
                             PRODUCT, PRODUCT))
        with self.subTest("a larger companion"), tempfile.TemporaryDirectory() as scratch:
            # 1 MiB more than described, of which the server sends 256 KiB and
            # then waits until the test ends: a launcher that read past the
            # described size would wait with it.
            described = len(SERVED[COMPANION])
            held = [{"on": "RETR", "arg": retr(COMPANION), "hold_after": described + (256 << 10),
                     "hold_until": os.path.join(scratch, "never")}]
            self.refused(COMPANION, rules=held, timeout=30,
                         publish=lambda launch: launch.alter(COMPANION, lambda data: data + b"\0" * (1 << 20)),
                         logged="download of %s: %s has more than %d bytes" % (COMPANION, retr(COMPANION),
                                                                              described))

    def test_a_release_that_fails_its_description_is_refused_before_any_file(self):
        def other_key(launch):
            key = launch.tmp / "other"
            self.assertEqual(release_tool("keygen", key).returncode, 0)
            launch.sign(key=key.with_name("other.secret"))

        def other_version(launch):
            (launch.folder / "Versione.Txt").write_bytes(b"3.0\r\n")
            launch.sign(force=True)  # the same number again
            (launch.folder / "Versione.Txt").write_bytes(b"1.0\r\n2.0\r\n")

        invalid = "release refused: The release description's signature is not valid for this key$"
        cases = [
            ("a changed description", dict(publish=lambda launch: launch.alter(
                DESCRIPTION, lambda data: data.replace(b"number %d" % NUMBER, b"number %d" % (NUMBER + 1))),
                logged=invalid)),
            ("a signature by another key", dict(publish=other_key, logged=invalid)),
            ("a description for another version", dict(publish=other_version, logged=(
                'release refused: The release description is for version "3.0", the server\'s version file says '
                '"2.0"$'))),
            ("a replayed older release", dict(record=b"%d\n" % (NUMBER + 1), logged=(
                "release refused: Release %d is older than release %d, which is installed$" % (NUMBER, NUMBER + 1)))),
            ("another description signed with the installed number", dict(
                record=b"%d %s\n" % (NUMBER, hashlib.sha256(b"another description").hexdigest().encode()),
                logged="release refused: Release %d is installed with another description" % NUMBER)),
            ("a release below the lowest the launcher accepts, without a record", dict(number=LOWEST - 1, logged=(
                "release refused: Release %d is below release %d, the lowest this launcher accepts$" % (
                    LOWEST - 1, LOWEST)))),
            ("a missing signature", dict(publish=lambda launch: (launch.folder / SIGNATURE).unlink(),
                                         logged="release refused: 550 ")),
        ]
        for name, kwargs in cases:
            with self.subTest(name):
                self.refused(SIGNATURE, **kwargs)

    def test_a_record_that_cannot_be_one_refuses_before_anything_is_received(self):
        with self.subTest("a damaged release record"):
            self.refused("Versione.Txt", record=b"seven\n", logged="release refused: The release record .* is malformed$")
        with self.subTest("a folder in place of the record"):
            launch, commands = self.launch(record=lambda launch: (launch.work / RECORD).mkdir())
            launch.assert_installed()
            launch.assert_logged("release refused: ")
            self.assertEqual(launch.record(), "a folder")
            self.assertEqual(commands, wire("Versione.Txt"))

    def test_a_description_that_cannot_be_had_whole_is_refused(self):
        with self.subTest("a missing description"):
            self.refused(DESCRIPTION, publish=lambda launch: (launch.folder / DESCRIPTION).unlink(),
                         logged="release refused: 550 ")
        with self.subTest("an oversized description"), tempfile.TemporaryDirectory() as scratch:
            # 1 MiB, of which the server sends 256 KiB and then waits until
            # the test ends: a launcher that read on would wait with it.
            held = [{"on": "RETR", "arg": retr(DESCRIPTION), "hold_after": 256 << 10,
                     "hold_until": os.path.join(scratch, "never")}]
            self.refused(DESCRIPTION, rules=held, timeout=30,
                         publish=lambda launch: launch.alter(DESCRIPTION, lambda data: data + b"#" * (1 << 20)),
                         logged="release refused: %s has more than 4096 bytes$" % retr(DESCRIPTION))
        with self.subTest("the right files but a description truncated half-way"):
            # With no size announced the client cannot tell that the transfer
            # ended early.
            self.refused(SIGNATURE, rules=lambda launch: [{
                "on": "RETR", "arg": retr(DESCRIPTION), "preliminary": "150 Opening data connection.",
                "drop_after": len((launch.folder / DESCRIPTION).read_bytes()) // 2}],
                logged="release refused: The release description's signature is not valid")


@unittest.skipUnless(BINARY and os.path.exists(BINARY) and TOOL and os.path.exists(TOOL) and not SHIPPED_KEY,
                     "the shipped launcher is built with a key, or not built")
class WithoutKey(unittest.TestCase):
    def test_a_launcher_built_without_a_key_ignores_a_signed_release(self):
        launch = SignedLaunch(self, BINARY)
        launch.install()
        launch.serve()
        launch.sign()
        launch.alter(DESCRIPTION, flip_last_byte)
        with NetNamespace(hosts=[HOST]) as ns, \
                ScriptedFtpServer(root=str(launch.site), user=USER, password=PASSWORD, netns=ns, port=21) as server:
            launch.run(ns)
            commands = on_wire(server.commands())
        self.assertEqual(commands, wire("Versione.Txt", PRODUCT, COMPANION, LIBRARY))
        launch.assert_installed(new=ALL_NEW, started="served")
        self.assertIsNone(launch.record())


if __name__ == "__main__":
    unittest.main()
