"""Checks on the wire that the scripted FTP server plays each fault of its script."""

import contextlib
import ftplib
import io
import os
import select
import socket
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from ftptest import ScriptedFtpServer  # noqa: E402

USER, PASSWORD = "1234567@ospit.it", "ab12cd34"
# Every byte value, line ends of both kinds, and more than one 64 KiB block.
PAYLOAD = bytes(range(256)) * 700 + b"\r\n\n\r" + bytes(1000)


class Wire:
    """A raw control connection: reads exactly what the server wrote."""

    def __init__(self, server):
        self.sock = socket.create_connection((server.host, server.port), timeout=5)
        self.buffer = b""

    def send(self, line):
        self.sock.sendall(line.encode("latin-1") + b"\r\n")

    def read_until(self, marker):
        while marker not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError(self.buffer[-200:])
            self.buffer += chunk
        end = self.buffer.index(marker) + len(marker)
        text, self.buffer = self.buffer[:end], self.buffer[end:]
        return text

    def reply(self):
        """One reply: lines up to one that starts with three digits and a space."""
        lines = []
        while True:
            lines.append(self.read_until(b"\r\n").decode("latin-1"))
            if len(lines[-1]) >= 4 and lines[-1][:3].isdigit() and lines[-1][3] == " ":
                return lines

    def read_to_eof(self):
        while True:
            chunk = self.sock.recv(65536)
            if not chunk:
                return self.buffer
            self.buffer += chunk

    def nothing_pending(self):
        ready, _, _ = select.select([self.sock], [], [], 0.2)
        return not ready and not self.buffer

    def login(self):
        self.reply()
        self.send("USER " + USER)
        self.reply()
        self.send("PASS " + PASSWORD)
        return self.reply()

    def passive(self):
        """Sends PASV and connects to the port it names."""
        self.send("PASV")
        numbers = self.reply()[0].split("(")[1].split(")")[0].split(",")
        return socket.create_connection(("127.0.0.1", int(numbers[4]) * 256 + int(numbers[5])), timeout=5)

    def active(self):
        """Listens, sends PORT for it; returns the listening socket and the reply."""
        listener = socket.create_server(("127.0.0.1", 0))
        port = listener.getsockname()[1]
        self.send("PORT 127,0,0,1,%d,%d" % (port // 256, port % 256))
        return listener, self.reply()

    def close(self):
        self.sock.close()


def serve(stack, rules=(), user=USER):
    server = ScriptedFtpServer(rules=rules, user=user, password=PASSWORD)
    server.put("Merindo/file.bin", PAYLOAD)
    return stack.enter_context(server)


def ftp_client(stack, server):
    ftp = stack.enter_context(contextlib.closing(ftplib.FTP()))
    ftp.connect(server.host, server.port, timeout=5)
    ftp.login(USER, PASSWORD)
    return ftp


def wire(stack, server):
    return stack.enter_context(contextlib.closing(Wire(server)))


def owned(stack, sock):
    return stack.enter_context(contextlib.closing(sock))


def retrieve(ftp, name="Merindo/file.bin"):
    data = io.BytesIO()
    ftp.retrbinary("RETR " + name, data.write)
    return data.getvalue()


def read_all(sock):
    data = b""
    while True:
        chunk = sock.recv(65536)
        if not chunk:
            return data
        data += chunk


class PlainServer(unittest.TestCase):
    def test_downloads_are_byte_exact_in_both_modes_with_the_size_in_the_150_reply(self):
        with contextlib.ExitStack() as stack:
            server = serve(stack)
            for passive in (False, True):
                with self.subTest(passive=passive):
                    ftp = ftp_client(stack, server)
                    ftp.set_pasv(passive)
                    self.assertTrue(ftp.sendcmd("TYPE L 8").startswith("200"))
                    conn, size = ftp.ntransfercmd("RETR Merindo/file.bin")  # size parsed from "(N bytes)"
                    self.assertEqual(size, len(PAYLOAD))
                    self.assertEqual(read_all(owned(stack, conn)), PAYLOAD)
                    self.assertTrue(ftp.voidresp().startswith("226"))

    def test_records_each_command_as_sent_and_serves_anonymous_logins(self):
        with contextlib.ExitStack() as stack:
            server = serve(stack)
            ftp = ftp_client(stack, server)
            ftp.cwd("Merindo")
            ftp.sendcmd("TYPE L 8")
            ftp.quit()
            self.assertEqual(server.commands(), ["USER " + USER, "PASS " + PASSWORD, "CWD Merindo", "TYPE L 8",
                                                 "QUIT"])
            anonymous = serve(stack, user="anonymous")
            ftp = stack.enter_context(contextlib.closing(ftplib.FTP()))
            ftp.connect(anonymous.host, anonymous.port, timeout=5)
            ftp.login("anonymous", "any@where")
            self.assertEqual(retrieve(ftp), PAYLOAD)

    def test_a_bad_script_stops_the_start_with_the_reason(self):
        with contextlib.ExitStack() as stack:
            with self.assertRaisesRegex(RuntimeError, "unknown keys.*'replay'"):
                serve(stack, [{"on": "USER", "replay": "230 x"}])


class Greetings(unittest.TestCase):
    CASES = [
        ("multi-line", {"reply": ["220-Welcome", "220-second line", "220 Ready"]},
         b"220-Welcome\r\n220-second line\r\n220 Ready\r\n"),
        ("bare text line inside", {"reply": ["220-Welcome", "just text", "220 Ready"]},
         b"220-Welcome\r\njust text\r\n220 Ready\r\n"),
        ("421 then closed", {"reply": "421 Too many users", "close": True}, b"421 Too many users\r\n"),
        ("not FTP", {"raw": "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", "close": True},
         b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n"),
        ("line of 70000 bytes without line feed", {"raw": [["x", 70000]], "close": True}, b"x" * 70000),
        ("ten thousand continuation lines", {"reply": [["220-more", 10000], "220 end"], "close": True},
         b"220-more\r\n" * 10000 + b"220 end\r\n"),
        ("NUL byte inside a line", {"reply": "220 Hello\u0000world", "close": True}, b"220 Hello\x00world\r\n"),
    ]

    def test_greetings_arrive_byte_for_byte(self):
        for name, rule, expected in self.CASES:
            with self.subTest(name), contextlib.ExitStack() as stack:
                client = wire(stack, serve(stack, [dict(rule, on="greeting")]))
                if rule.get("close"):
                    self.assertEqual(client.read_to_eof(), expected)
                else:
                    self.assertEqual(client.read_until(b"220 Ready\r\n"), expected)
                    client.send("USER " + USER)  # the server goes on normally
                    self.assertEqual(client.reply(), ["331 Username ok, send password.\r\n"])

    def test_a_silent_greeting_keeps_the_connection_open_and_answers_nothing(self):
        with contextlib.ExitStack() as stack:
            server = serve(stack, [{"on": "greeting", "mute": True}])
            client = wire(stack, server)
            client.send("USER " + USER)
            self.assertEqual(server.wait_for_commands(1), ["USER " + USER])
            self.assertTrue(client.nothing_pending())


class ReplyOverrides(unittest.TestCase):
    def test_user_answered_230_logs_in_without_pass(self):
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [{"on": "USER", "reply": "230 Welcome"}]))
            client.reply()
            client.send("USER " + USER)
            self.assertEqual(client.reply(), ["230 Welcome\r\n"])
            client.send("CWD Merindo")
            self.assertTrue(client.reply()[0].startswith("250"))

    def test_a_pause_splits_a_reply_and_holds_the_next_answer_back(self):
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [{"on": "CWD", "reply": ["250-a", 0.5, "250 b"]}]))
            client.login()
            client.send("CWD Merindo")
            client.send("NOOP")
            self.assertEqual(client.read_until(b"\r\n"), b"250-a\r\n")
            self.assertTrue(client.nothing_pending())
            self.assertEqual(client.reply(), ["250 b\r\n"])
            self.assertTrue(client.reply()[0].startswith("200"))

    def test_login_variants(self):
        cases = [
            ("PASS 530", [{"on": "PASS", "reply": "530 Login incorrect."}], True),
            ("PASS 202", [{"on": "PASS", "reply": "202 Already logged in"}], False),
            ("USER 331 override", [{"on": "USER", "reply": ["331-Password", "331 please"]}], False),
        ]
        for name, rules, refused in cases:
            with self.subTest(name), contextlib.ExitStack() as stack:
                server = serve(stack, rules)
                ftp = stack.enter_context(contextlib.closing(ftplib.FTP()))
                ftp.connect(server.host, server.port, timeout=5)
                if refused:
                    self.assertRaisesRegex(ftplib.error_perm, "530 Login incorrect", ftp.login, USER, PASSWORD)
                else:
                    ftp.login(USER, PASSWORD)
                    self.assertEqual(retrieve(ftp), PAYLOAD)

    def test_commands_answered_with_scripted_codes(self):
        rules = [
            {"on": "CWD", "arg": "Missing", "reply": "550 No such directory"},
            {"on": "TYPE", "reply": "504 Type not supported"},
            {"on": "NOOP", "nth": 2, "reply": "400 Try later"},
            {"on": "SYST", "reply": "502 Not implemented"},
            {"on": "HELP", "reply": "501 Bad argument"},
            {"on": "STAT", "reply": "500 What?"},
            {"on": "PORT", "reply": "500 Illegal PORT command."},
            {"on": "RETR", "arg": "Merindo/gone.bin", "reply": "550 Failed to open file."},
        ]
        exchanges = [("CWD Missing", "550 No such directory"), ("CWD Merindo", "250"),
                     ("TYPE L 8", "504 Type not supported"), ("NOOP", "200"), ("NOOP", "400 Try later"),
                     ("NOOP", "200"), ("SYST", "502 Not implemented"), ("HELP", "501 Bad argument"),
                     ("STAT", "500 What?"), ("PORT 127,0,0,1,200,1", "500 Illegal PORT command."),
                     ("RETR Merindo/gone.bin", "550 Failed to open file.")]
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, rules))
            client.login()
            for command, expected in exchanges:
                client.send(command)
                self.assertTrue(client.reply()[0].startswith(expected), command)


class Transfers(unittest.TestCase):
    def retr(self, rule):
        """RETR in passive mode under one rule: the preliminary reply, the data
        received and what followed on the control connection."""
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [dict(rule, on="RETR")]))
            client.login()
            data = owned(stack, client.passive())
            client.send("RETR Merindo/file.bin")
            first = client.reply()
            received = read_all(data)
            rest = client.read_to_eof() if rule.get("close") or "control_close_after" in rule else client.reply()
            return first, received, rest

    def test_preliminary_replies(self):
        cases = [
            ("default", {}, ["150 Opening ASCII mode data connection for Merindo/file.bin (%d bytes).\r\n"
                             % len(PAYLOAD)]),
            ("no size", {"preliminary": "150 Opening data connection."}, ["150 Opening data connection.\r\n"]),
            ("multi-line", {"preliminary": ["150-Opening data connection", "150 for {name} ({size} bytes)"]},
             ["150-Opening data connection\r\n", "150 for Merindo/file.bin (%d bytes)\r\n" % len(PAYLOAD)]),
            ("20 digits", {"preliminary": "150 Opening (12345678901234567890 bytes)."},
             ["150 Opening (12345678901234567890 bytes).\r\n"]),
            ("negative", {"preliminary": "150 Opening (-512 bytes)."}, ["150 Opening (-512 bytes).\r\n"]),
        ]
        for name, rule, expected in cases:
            with self.subTest(name):
                first, received, rest = self.retr(rule)
                self.assertEqual(first, expected)
                self.assertEqual(received, PAYLOAD)  # unchanged although the type is still ASCII
                self.assertEqual(rest, ["226 Transfer complete.\r\n"])

    def test_end_of_transfer_faults(self):
        cases = [
            ("426 after the data", {"final": "426 Connection closed; transfer aborted."},
             PAYLOAD, ["426 Connection closed; transfer aborted.\r\n"]),
            ("dropped half-way", {"drop_after": 1000}, PAYLOAD[:1000], ["226 Transfer complete.\r\n"]),
            ("dropped with 426", {"drop_after": 70000, "final": "426 Aborted"}, PAYLOAD[:70000], ["426 Aborted\r\n"]),
            ("nothing at all", {"drop_after": 0}, b"", ["226 Transfer complete.\r\n"]),
            ("control closed during the transfer", {"control_close_after": 5000}, PAYLOAD[:5000], b""),
            ("closed after the end reply", {"close": True}, PAYLOAD, b"226 Transfer complete.\r\n"),
            ("paced", {"pace": 200000}, PAYLOAD, ["226 Transfer complete.\r\n"]),
        ]
        for name, rule, data, rest in cases:
            with self.subTest(name):
                _, received, after = self.retr(rule)
                self.assertEqual(received, data)
                self.assertEqual(after, rest)

    def test_a_held_transfer_goes_on_once_released(self):
        with tempfile.TemporaryDirectory() as tmp, contextlib.ExitStack() as stack:
            gate = os.path.join(tmp, "go")
            client = wire(stack, serve(stack, [{"on": "RETR", "hold_after": 1000, "hold_until": gate}]))
            client.login()
            listener, _ = client.active()
            owned(stack, listener)
            data = owned(stack, listener.accept()[0])
            client.send("RETR Merindo/file.bin")
            client.reply()
            received = b""
            while len(received) < 1000:
                received += data.recv(65536)
            self.assertEqual(received, PAYLOAD[:1000])
            deadline = time.monotonic() + 10
            while not os.path.exists(gate + ".held") and time.monotonic() < deadline:
                time.sleep(0.01)
            self.assertTrue(os.path.exists(gate + ".held"))
            self.assertEqual(select.select([data], [], [], 0.2)[0], [])
            open(gate, "wb").close()
            while True:
                chunk = data.recv(65536)
                if not chunk:
                    break
                received += chunk
            self.assertEqual(received, PAYLOAD)
            self.assertEqual(client.reply(), ["226 Transfer complete.\r\n"])

    def test_a_held_command_is_answered_once_released(self):
        with tempfile.TemporaryDirectory() as tmp, contextlib.ExitStack() as stack:
            gate = os.path.join(tmp, "go")
            client = wire(stack, serve(stack, [{"on": "USER", "hold_until": gate}]))
            client.reply()
            client.send("USER " + USER)
            deadline = time.monotonic() + 10
            while not os.path.exists(gate + ".held") and time.monotonic() < deadline:
                time.sleep(0.01)
            self.assertTrue(client.nothing_pending())
            open(gate, "wb").close()
            self.assertTrue(client.reply()[0].startswith("331"))

    def test_150_and_226_arrive_in_one_write_before_any_data(self):
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [{"on": "RETR", "together": True}]))
            client.login()
            client.send("TYPE I")
            client.reply()
            listener, reply = client.active()
            owned(stack, listener)
            self.assertTrue(reply[0].startswith("200"))
            data = owned(stack, listener.accept()[0])
            client.send("RETR Merindo/file.bin")
            both = client.sock.recv(65536)  # one write is one segment on loopback
            self.assertEqual(both, b"150 Opening BINARY mode data connection for Merindo/file.bin (%d bytes).\r\n"
                                   b"226 Transfer complete.\r\n" % len(PAYLOAD))
            self.assertEqual(read_all(data), PAYLOAD)
            self.assertTrue(client.nothing_pending())

    def test_data_connection_never_opened(self):
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [{"on": "PORT", "data": "never"}, {"on": "PASV", "data": "never"}]))
            client.login()
            # Active: the server accepts PORT but never connects.
            listener, reply = client.active()
            owned(stack, listener)
            self.assertEqual(reply, ["200 PORT command successful.\r\n"])
            client.send("RETR Merindo/file.bin")
            self.assertTrue(client.reply()[0].startswith("150 "))
            self.assertEqual(select.select([listener], [], [], 0.2)[0], [])
            # Passive: the port listens and the connection completes in the kernel, but no data ever comes.
            data = owned(stack, client.passive())
            client.send("RETR Merindo/file.bin")
            self.assertTrue(client.reply()[0].startswith("150 "))
            self.assertEqual(select.select([data], [], [], 0.2)[0], [])

    def test_passive_reply_naming_another_address(self):
        with contextlib.ExitStack() as stack:
            client = wire(stack, serve(stack, [{"on": "PASV", "pasv_address": "10.9.8.7"}]))
            client.login()
            client.send("PASV")
            numbers = client.reply()[0].split("(")[1].split(")")[0].split(",")
            self.assertEqual(numbers[:4], ["10", "9", "8", "7"])
            data = owned(stack, socket.create_connection(("127.0.0.1", int(numbers[4]) * 256 + int(numbers[5]))))
            client.send("RETR Merindo/file.bin")
            client.reply()
            self.assertEqual(read_all(data), PAYLOAD)

    def test_server_gone_before_the_second_file(self):
        with contextlib.ExitStack() as stack:
            server = serve(stack, [{"on": "RETR", "nth": 2, "reply": [], "close": True}])
            ftp = ftp_client(stack, server)
            self.assertEqual(retrieve(ftp), PAYLOAD)
            self.assertRaises(EOFError, retrieve, ftp)
            self.assertEqual(server.commands()[-1], "RETR Merindo/file.bin")


class Silence(unittest.TestCase):
    def test_a_server_that_stops_answering_after_a_command_still_records_what_comes(self):
        with contextlib.ExitStack() as stack:
            server = serve(stack, [{"on": "PASS", "mute": True}])
            client = wire(stack, server)
            client.reply()
            client.send("USER " + USER)
            self.assertTrue(client.reply()[0].startswith("331"))
            client.send("PASS " + PASSWORD)
            client.send("NOOP")
            self.assertEqual(server.wait_for_commands(3), ["USER " + USER, "PASS " + PASSWORD, "NOOP"])
            self.assertTrue(client.nothing_pending())


if __name__ == "__main__":
    unittest.main()
