"""vsftpd as the interoperability peer: logins, both data modes, clean stop."""

import contextlib
import ftplib
import io
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from ftptest import VsftpdServer, running  # noqa: E402
from vsftpd_server import _descendants  # noqa: E402

PAYLOAD = bytes(range(256)) * 700 + b"\r\n\n\r"


def download(server, user, password, passive):
    with contextlib.closing(ftplib.FTP()) as ftp:
        ftp.connect(server.host, server.port, timeout=5)
        ftp.login(user, password)
        ftp.set_pasv(passive)
        ftp.cwd("Merindo")
        type_reply = ftp.sendcmd("TYPE L 8")
        data = io.BytesIO()
        conn, size = ftp.ntransfercmd("RETR file.bin")
        with conn:
            while chunk := conn.recv(65536):
                data.write(chunk)
        ftp.voidresp()
        ftp.quit()
        return type_reply, size, data.getvalue()


class Vsftpd(unittest.TestCase):
    def test_anonymous_downloads_in_both_modes_are_byte_exact_and_logged(self):
        with VsftpdServer() as server:
            server.put("Merindo/file.bin", PAYLOAD)
            for passive in (False, True):
                with self.subTest(passive=passive):
                    type_reply, size, data = download(server, "anonymous", "", passive)
                    self.assertTrue(type_reply.startswith("200"))
                    self.assertEqual(size, len(PAYLOAD))  # the size stands in the 150 reply
                    self.assertEqual(data, PAYLOAD)
            commands = server.wait_for_commands(12)
            self.assertEqual(commands[:3], ["USER anonymous", "CWD Merindo", "TYPE L 8"])
            self.assertTrue(commands[3].startswith("PORT 127,0,0,1,"))
            self.assertEqual(commands[4:], ["RETR file.bin", "QUIT", "USER anonymous", "CWD Merindo", "TYPE L 8",
                                            "PASV", "RETR file.bin", "QUIT"])

    def test_a_named_account_of_this_server_only(self):
        user, password = "1234567@ospit.it", "ab12cd34"
        with VsftpdServer(user=user, password=password) as server:
            server.put("Merindo/file.bin", PAYLOAD)
            self.assertEqual(download(server, user, password, passive=False)[2], PAYLOAD)
            with contextlib.closing(ftplib.FTP()) as ftp:
                ftp.connect(server.host, server.port, timeout=5)
                self.assertRaisesRegex(ftplib.error_perm, "^530", ftp.login, user, "wrong")
            self.assertEqual(server.wait_for_commands(2)[:2], ["USER " + user, "PASS <password>"])
        with open("/etc/pam.d/vsftpd") as f:
            self.assertNotIn("pam_userdb", f.read())  # the machine's own service is untouched

    def test_stop_ends_the_listener_and_its_sessions(self):
        server = VsftpdServer().start()
        try:
            with contextlib.closing(ftplib.FTP()) as ftp:
                ftp.connect(server.host, server.port, timeout=5)
                ftp.login("anonymous", "")
                tree = _descendants(server.proc.pid)
                self.assertGreaterEqual(len(tree), 3)  # runner's vsftpd, session processes
                server.close()
                self.assertEqual([pid for pid in tree if running(pid)], [])
                self.assertFalse(os.path.exists(server.tmp))
        finally:
            server.close()


if __name__ == "__main__":
    unittest.main()
