"""The namespace harness: the profile host resolves inside, a server answers on
port 21 there, commands run with a time limit, and nothing is left behind."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftptest import PYTHON, NetNamespace, ScriptedFtpServer, VsftpdServer, running  # noqa: E402

HOST = "www.cavenor.it"
USER, PASSWORD = "1234567@ospit.it", "ab12cd34"
# A client run inside the namespace, as the launcher will be: by name, port 21, file into its working directory.
CLIENT = """
import ftplib, sys
ftp = ftplib.FTP()
ftp.connect(sys.argv[1], 21, timeout=5)
ftp.login(sys.argv[2], sys.argv[3])
with open("Versione.Txt", "wb") as f:
    ftp.retrbinary("RETR Merindo/Versione.Txt", f.write)
"""


class Namespace(unittest.TestCase):
    def test_a_client_inside_reaches_each_server_by_the_profile_host_on_port_21(self):
        servers = [("scripted", lambda ns: ScriptedFtpServer(user=USER, password=PASSWORD, netns=ns, port=21)),
                   ("vsftpd", lambda ns: VsftpdServer(user=USER, password=PASSWORD, netns=ns, port=21))]
        for kind, make in servers:
            with self.subTest(kind), tempfile.TemporaryDirectory() as work, \
                    NetNamespace(hosts=[HOST]) as ns, make(ns) as server:
                self.assertEqual(server.port, 21)
                lookup = ns.run(["getent", "hosts", HOST], timeout=10)
                self.assertEqual(lookup.stdout.split(), ["127.0.0.1", HOST])
                server.put("Merindo/Versione.Txt", b"2.0.1\r\n")
                run = ns.run([PYTHON, "-c", CLIENT, HOST, USER, PASSWORD], cwd=work, timeout=20)
                self.assertEqual((run.returncode, run.timed_out, run.stderr), (0, False, ""))
                with open(os.path.join(work, "Versione.Txt"), "rb") as f:
                    self.assertEqual(f.read(), b"2.0.1\r\n")
                self.assertEqual(server.wait_for_commands(2)[0], "USER " + USER)

    def test_everything_is_torn_down_even_after_a_failure(self):
        with self.assertRaises(RuntimeError):
            with NetNamespace(hosts=[HOST]) as ns, ScriptedFtpServer(netns=ns, port=21) as server:
                name, etc, pid = ns.name, ns.etc, server.proc.pid
                leftover = int(ns.run(["sh", "-c", "sleep 300 > /dev/null 2>&1 & echo $!"], timeout=10).stdout)
                self.assertTrue(running(leftover))
                raise RuntimeError("the test failed")
        listed = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout.split()
        self.assertNotIn(name, listed)
        self.assertFalse(etc.exists())
        self.assertFalse(running(pid))
        self.assertFalse(running(leftover))

    def test_a_command_over_its_time_limit_is_killed(self):
        with NetNamespace(hosts=[HOST]) as ns:
            run = ns.run(["sh", "-c", "echo started; exec sleep 30"], timeout=0.5)
            self.assertTrue(run.timed_out)
            self.assertEqual(run.stdout, "started\n")
            self.assertEqual(ns.pids(), [])


if __name__ == "__main__":
    unittest.main()
