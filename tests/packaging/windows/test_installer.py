"""The customers' installers and their Authenticode signatures.

scripts/package-windows packs this build and its i686 sibling (WINDOWS_BUILD
names both as MERINDO_WINDOWS_BUILD does), signed with a code-signing
certificate of a throwaway authority made here with openssl; the x64
installer then runs under wine64 in a prefix of its own, inside a network
namespace beside the scripted server on port 21 (the prefix's wineserver is
started there, so the installed launcher's sockets are the namespace's). No
time-stamp server takes part: the signatures carry no time stamp. Run by
CTest with Debian's /usr/bin/python3; the build passes WINDOWS_BUILD,
SHORTCUT_PROBE, the product's name, company and version, and what
test_windows_launcher needs.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[3]
sys.path.insert(0, str(SOURCE / "tests" / "support"))
sys.path.insert(0, str(SOURCE / "tests" / "app"))
from ftptest import NetNamespace  # noqa: E402
from launcherenv import COMPANION, HOST, LIBRARY, PRODUCT  # noqa: E402
from test_launcher import COMPANION_BYTES, LIBRARY_BYTES, ServedRunTestCase  # noqa: E402
from test_windows_launcher import WineLauncherRun  # noqa: E402
from winerun import WINE_RUN, WINESERVER, prefix_environment  # noqa: E402

WINDOWS_BUILD = os.environ.get("WINDOWS_BUILD", "")
SHORTCUT_PROBE = os.environ.get("SHORTCUT_PROBE", "")
NAME = os.environ.get("INSTALLER_PRODUCT", "Merindo")
COMPANY = os.environ.get("INSTALLER_COMPANY", "")
VERSION = os.environ.get("INSTALLER_VERSION", "")
PACKAGE = SOURCE / "scripts" / "package-windows"
SIGN = SOURCE / "scripts" / "sign-windows"
SOFTHSM = Path("/usr/lib/softhsm/libsofthsm2.so")
UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + NAME
# Wine would turn each shortcut into a menu entry of the machine's desktop.
WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"

scratch = None  # the module's folder: the authority and the signed packages


def run(command, env=None, check=True):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True, env=env)
    if check and result.returncode != 0:
        raise AssertionError("%s failed (%d): %s%s" % (command, result.returncode, result.stdout, result.stderr))
    return result


def make_authority(folder):
    """A certificate authority and a code-signing certificate it issued, as
    a vendor receives one: a PKCS#12 file and a file with its password."""
    folder.mkdir()
    openssl = lambda *args: run(["openssl", *args])  # noqa: E731
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Merindo Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
            "-keyout", folder / "ca.key", "-out", folder / "ca.pem")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/O=%s/CN=%s" % (COMPANY, COMPANY),
            "-keyout", folder / "signer.key", "-out", folder / "signer.csr")
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-days", "2", "-in", folder / "signer.csr", "-CA", folder / "ca.pem",
            "-CAkey", folder / "ca.key", "-CAcreateserial", "-extfile", folder / "signer.ext",
            "-out", folder / "signer.pem")
    (folder / "password").write_text("una parola d'ordine")
    openssl("pkcs12", "-export", "-inkey", folder / "signer.key", "-in", folder / "signer.pem",
            "-certfile", folder / "ca.pem", "-passout", "file:%s" % (folder / "password"),
            "-out", folder / "signer.p12")
    return folder


def signing_environment(**settings):
    """The test's environment without the caller's signing settings, with
    `settings` (MERINDO_SIGN_<name>) instead."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("MERINDO_SIGN_")}
    env.update({"MERINDO_SIGN_" + k: str(v) for k, v in settings.items()})
    return env


def package(dist, **settings):
    env = signing_environment(**settings)
    env.update(MERINDO_WINDOWS_BUILD=WINDOWS_BUILD, MERINDO_DIST=str(dist))
    return run([PACKAGE], env)


def verified(path):
    """Whether osslsigncode finds a signature of the test authority on path."""
    return run(["osslsigncode", "verify", "-CAfile", scratch / "ca" / "ca.pem", "-in", path], check=False).returncode == 0


def setUpModule():
    global scratch
    if not (WINDOWS_BUILD and WINE_RUN):
        raise unittest.SkipTest("WINDOWS_BUILD and WINE_RUN name the Windows builds")
    scratch = Path(tempfile.mkdtemp(prefix="installer-test."))
    ca = make_authority(scratch / "ca")
    package(scratch / "dist", PKCS12=ca / "signer.p12", PASSWORD_FILE=ca / "password")


def tearDownModule():
    if scratch:
        shutil.rmtree(scratch, ignore_errors=True)


def shipped(arch):
    """The files package-windows made for arch (x86 or x64)."""
    dist = scratch / "dist"
    return [dist / arch / "merindo-launcher.exe", dist / arch / "merindo-release.exe",
            dist / ("%s-Setup-%s-%s.exe" % (NAME, VERSION, arch))]


class Signatures(unittest.TestCase):

    def test_every_file_packed_and_both_installers_verify_and_a_changed_byte_fails(self):
        for path in shipped("x86") + shipped("x64"):
            with self.subTest(path.name):
                self.assertTrue(verified(path), "%s does not verify" % path)
        # The installer that ships is a 32-bit program, as is what it packs.
        self.assertRegex(run(["file", "-b", shipped("x86")[2]]).stdout,
                         r"^PE32 executable \(GUI\) Intel 80386.*Nullsoft Installer")
        self.assertRegex(run(["file", "-b", shipped("x86")[0]]).stdout, r"^PE32 executable \(GUI\) Intel 80386")
        for path in (shipped("x86")[0], shipped("x86")[2]):
            changed = scratch / ("changed-" + path.name)
            data = bytearray(path.read_bytes())
            data[len(data) // 3] ^= 0x01
            changed.write_bytes(data)
            with self.subTest("one byte changed in " + path.name):
                self.assertFalse(verified(changed))

    def test_without_a_certificate_the_same_files_come_unsigned_and_it_says_so(self):
        dist = scratch / "unsigned"
        out = package(dist).stdout
        self.assertIn("UNSIGNED", out)
        made = sorted(p.relative_to(dist) for p in dist.rglob("*") if p.is_file())
        self.assertEqual(made, sorted(p.relative_to(scratch / "dist") for p in shipped("x86") + shipped("x64")))
        for path in made:
            self.assertFalse(verified(dist / path), "%s is signed" % path)
        self.assertEqual((dist / "x64" / "merindo-launcher.exe").read_bytes(),
                         (Path(WINDOWS_BUILD + "-x86_64") / "app" / "merindo-launcher.exe").read_bytes())

    @unittest.skipUnless(SOFTHSM.exists(), "SoftHSM (softhsm2) is not installed")
    def test_a_key_on_a_token_signs_through_its_pkcs11_module(self):
        ca, token = scratch / "ca", scratch / "token"
        token.mkdir()
        (token / "softhsm2.conf").write_text("directories.tokendir = %s\nobjectstore.backend = file\n" % token)
        env = dict(os.environ, SOFTHSM2_CONF=str(token / "softhsm2.conf"))
        run(["softhsm2-util", "--init-token", "--free", "--label", "vendor", "--pin", "1234", "--so-pin", "5678"], env)
        run(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", ca / "signer.key", "-out", token / "signer.p8"])
        run(["softhsm2-util", "--import", token / "signer.p8", "--token", "vendor", "--label", "code-signing",
             "--id", "01", "--pin", "1234"], env)
        (token / "pin").write_text("1234")
        program = token / "merindo-launcher.exe"
        shutil.copy(Path(WINDOWS_BUILD + "-i686") / "app" / "merindo-launcher.exe", program)
        env = signing_environment(PKCS11_MODULE=SOFTHSM, PKCS11_KEY="pkcs11:token=vendor;object=code-signing",
                                  PKCS11_CERT=ca / "signer.pem", PASSWORD_FILE=token / "pin")
        env["SOFTHSM2_CONF"] = str(token / "softhsm2.conf")
        run([SIGN, program], env)
        self.assertTrue(verified(program))

    def test_wrong_settings_are_refused_and_leave_the_file_as_it_was(self):
        ca = scratch / "ca"
        (scratch / "wrong-password").write_text("not it")
        program = scratch / "unsigned-launcher.exe"
        shutil.copy(Path(WINDOWS_BUILD + "-i686") / "app" / "merindo-launcher.exe", program)
        original = program.read_bytes()
        cases = [
            ({}, 1, "no certificate"),
            (dict(PKCS12=ca / "signer.p12", PASSWORD_FILE=scratch / "wrong-password"), 3, "could not be signed"),
            (dict(PKCS12=ca / "missing.p12"), 2, "not a readable file"),
            (dict(PKCS12=ca / "signer.p12", PASSWORD_FILE=ca / "missing"), 2, "not a readable file"),
            (dict(PKCS12=ca / "signer.p12", PKCS11_MODULE=SOFTHSM), 2, "both set"),
            (dict(PKCS11_MODULE=SOFTHSM, PKCS11_CERT=ca / "signer.pem"), 2, "MERINDO_SIGN_PKCS11_KEY"),
        ]
        for settings, code, message in cases:
            with self.subTest(settings=sorted(settings), message=message):
                result = run([SIGN, program], signing_environment(**settings), check=False)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(program.read_bytes(), original)
                self.assertEqual(sorted(p.name for p in program.parent.glob(program.name + "*")), [program.name])
        env = signing_environment()
        env.update(MERINDO_WINDOWS_BUILD=str(scratch / "no-such-build"), MERINDO_DIST=str(scratch / "nothing"))
        result = run([PACKAGE], env, check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("run scripts/build-windows first", result.stderr)


def digest(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def digests(folder, but):
    """The digest of each file in folder but one, by name."""
    return {p.name: digest(p) for p in folder.iterdir() if p.name != but}


def registry_values(text):
    """The values `reg query` lists, by name (a number as its text)."""
    return dict(re.findall(r"^ {4}(.+?) {4}REG_\w+ {4}(.*?)\r?$", text, re.MULTILINE))


class InstalledRun(WineLauncherRun):
    """WineLauncherRun's prefix and served site; the launcher comes from the
    installer, and `work` is the install folder once installed."""

    def __init__(self, test):
        super().__init__(test)
        # The prefix's desktop is the machine user's home: here it is its own.
        for desktop in (self.prefix / "drive_c" / "users").glob("*/Desktop"):
            if desktop.is_symlink():
                desktop.unlink()
                desktop.mkdir()
        self.env = prefix_environment(self.prefix, {"WINEDLLOVERRIDES": WINE_OVERRIDES})

    def linux(self, windows):
        drive, rest = windows.split(":\\", 1)
        return self.prefix / "dosdevices" / (drive.lower() + ":") / rest.replace("\\", "/")

    def wine(self, ns, *command, cwd=None, check=True):
        result = ns.run([WINE_RUN, *command], cwd=cwd, env=self.env, timeout=120)
        self.test.assertFalse(result.timed_out, "%s did not end" % (command,))
        if check:
            self.test.assertEqual(result.returncode, 0, "%s: %s" % (command, result.stderr))
        return result

    def entry(self, ns):
        """The uninstall entry's values, or None when there is none."""
        result = self.wine(ns, "reg", "query", UNINSTALL_KEY, check=False)
        return registry_values(result.stdout) if result.returncode == 0 else None

    def shortcuts(self, ns, *links):
        """(target, working folder) of each shortcut, read through IShellLink."""
        lines = self.wine(ns, SHORTCUT_PROBE, *links).stdout.splitlines()
        return list(zip(lines[0::2], lines[1::2]))

    def uninstall(self, ns):
        """Runs the entry's quiet uninstall command and waits for the copy of
        the uninstaller that it starts (and that does the work) to end."""
        program, arguments = re.fullmatch(r'"([^"]+)" (.*)', self.entry(ns)["QuietUninstallString"]).groups()
        self.wine(ns, program, *arguments.split())
        ns.run([WINESERVER, "-w"], env=self.env, timeout=120)


@unittest.skipUnless(SHORTCUT_PROBE, "SHORTCUT_PROBE names the shortcut reader")
class InstallUnderWine(ServedRunTestCase):
    Run = InstalledRun

    def test_install_update_reinstall_and_uninstall(self):
        r = self.r
        launcher_packed, _, setup = shipped("x64")
        r.serve_release()
        with NetNamespace(hosts=[HOST]) as ns, self.scripted(ns):
            # A silent install into the per-user programs folder.
            r.wine(ns, setup, "/S")
            entry = r.entry(ns)
            folder = entry["InstallLocation"]
            self.assertRegex(folder, r"^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\%s$" % NAME)
            launcher, uninstaller = folder + "\\merindo-launcher.exe", folder + "\\Disinstalla.exe"
            self.assertGreaterEqual(int(entry.pop("EstimatedSize"), 16), launcher_packed.stat().st_size // 1024)
            self.assertEqual(entry, {
                "DisplayName": NAME, "DisplayIcon": launcher + ",0", "DisplayVersion": VERSION, "Publisher": COMPANY,
                "InstallLocation": folder, "UninstallString": '"%s"' % uninstaller,
                "QuietUninstallString": '"%s" /S' % uninstaller, "NoModify": "0x1", "NoRepair": "0x1"})
            r.work = r.linux(folder)
            self.assertEqual(sorted(p.name for p in r.work.iterdir()), ["Disinstalla.exe", "merindo-launcher.exe"])
            self.assertEqual(digest(r.linux(launcher)), digest(launcher_packed))
            self.assertTrue(verified(r.linux(uninstaller)), "the uninstaller is not signed")
            profile = folder.split("\\AppData\\")[0]
            links = [profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\%s.lnk" % NAME,
                     profile + "\\Desktop\\%s.lnk" % NAME]
            self.assertEqual(r.shortcuts(ns, *links), [(launcher, folder)] * 2)

            # Started as the shortcut starts it, the launcher updates its folder.
            r.wine(ns, launcher, cwd=r.work)
            self.assertEqual(r.started(), [folder, "served"])
            self.assertEqual((r.work / PRODUCT).read_bytes(), r.served)
            self.assertEqual((r.work / COMPANION).read_bytes(), COMPANION_BYTES)
            self.assertEqual((r.work / LIBRARY).read_bytes(), LIBRARY_BYTES)

            # A second install replaces the launcher and keeps everything else.
            r.local("RilascioAttuale.Txt", b"8\n")
            r.local("merindo-launcher.log", b"una riga\r\n")
            r.local("Archivio.dat", b"the product's own data")
            r.linux(launcher).write_bytes(b"MZ an older launcher")
            kept = digests(r.work, but="merindo-launcher.exe")
            r.wine(ns, setup, "/S")
            self.assertEqual(digest(r.linux(launcher)), digest(launcher_packed))
            self.assertEqual(digests(r.work, but="merindo-launcher.exe"), kept)

            # The uninstaller takes what is the launcher's and leaves the rest.
            for name in (PRODUCT + ".download", COMPANION + ".kept", "InstallazioneInCorso.Txt",
                         "merindo-launcher.log.1", "Rilascio.Sig.download"):
                r.local(name, b"left over")
            r.uninstall(ns)
            self.assertIsNone(r.entry(ns))
            self.assertEqual(sorted(p.name for p in r.work.iterdir()), ["Archivio.dat", "product-started.txt"])
            self.assertEqual([link for link in links if r.linux(link).exists()], [])

            # /D= names the folder; emptied by the uninstaller, it goes.
            r.wine(ns, setup, "/S", "/D=C:\\MerindoProva")
            self.assertEqual(r.entry(ns)["InstallLocation"], "C:\\MerindoProva")
            self.assertTrue(r.linux("C:\\MerindoProva\\merindo-launcher.exe").exists())
            r.uninstall(ns)
            self.assertFalse(r.linux("C:\\MerindoProva").exists(), "the emptied folder stays")


if __name__ == "__main__":
    unittest.main()
