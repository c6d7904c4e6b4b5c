#!/usr/bin/python3
"""Runs a command beside a broker of FTP servers: for test programs that
cannot start the Linux servers themselves, the Windows test programs under
Wine (Wine starts a Linux program without a process handle, so it could be
neither waited for nor ended). The servers are ftptest's, on the Linux side
of loopback; the command's exit code is the broker's.

    ftp_server_broker.py -- wine-run ftp_tests.exe --gtest_filter=...

The broker listens on 127.0.0.1 at a port chosen at bind time and names it
to the command in FTP_SERVER_BROKER. Each connection owns at most one
server, which ends, its temporary files removed, when the connection ends.
A request is "<VERB> <length>\\n" and that many bytes; the reply is
"OK <n>\\n" or "ERROR <n>\\n" and n lines. Texts are Latin-1.

    START   a JSON object: kind ("scripted" or "vsftpd"), rules (the fault
            script), user, password, host, port, root ("" for a fresh
            folder; Linux paths): replies the port and the served folder
    PUT     a file's name in the served folder, a line feed, its bytes
    COMMANDS  replies the command lines the server received so far
    STOP    ends the server
    CLOSE   ends the server and removes its temporary files, then replies
"""

import json
import os
import socket
import subprocess
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from ftptest import ScriptedFtpServer, VsftpdServer  # noqa: E402


class Session:
    """One connection and the server it started."""

    def __init__(self, connection):
        self.connection = connection
        self.server = None
        self.lock = threading.Lock()

    def start(self, payload):
        options = json.loads(payload.decode("latin-1"))
        common = dict(root=options["root"] or None, user=options["user"], password=options["password"],
                      host=options["host"], port=options["port"])
        if options["kind"] == "vsftpd":
            server = VsftpdServer(**common)
        else:
            server = ScriptedFtpServer(rules=json.loads(options["rules"]), **common)
        self.server = server.start()
        return [str(self.server.port), self.server.root]

    def put(self, payload):
        name, _, data = payload.partition(b"\n")
        self.started().put(name.decode("latin-1"), data)
        return []

    def commands(self, _):
        return self.started().commands()

    def stop(self, _):
        self.started().stop()
        return []

    def close(self, _=None):
        with self.lock:
            if self.server is not None:
                self.server.close()
                self.server = None
        return []

    def started(self):
        if self.server is None:
            raise RuntimeError("no server started on this connection")
        return self.server

    def serve(self):
        verbs = {"START": self.start, "PUT": self.put, "COMMANDS": self.commands, "STOP": self.stop,
                 "CLOSE": self.close}
        stream = self.connection.makefile("rb")
        try:
            while True:
                header = stream.readline().split()
                if len(header) != 2 or header[0].decode() not in verbs:
                    break
                payload = stream.read(int(header[1]))
                try:
                    status, lines = "OK", verbs[header[0].decode()](payload)
                except Exception as e:  # the test program shows the reason
                    status, lines = "ERROR", (str(e) or type(e).__name__).splitlines()
                reply = "%s %d\n" % (status, len(lines)) + "".join(line + "\n" for line in lines)
                self.connection.sendall(reply.encode("latin-1", errors="replace"))
        except OSError:
            pass
        finally:
            self.close()
            stream.close()
            self.connection.close()


def accept_forever(listener, sessions):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        sessions.append(Session(connection))
        threading.Thread(target=sessions[-1].serve, daemon=True).start()


def main():
    command = sys.argv[1:]
    if command[:1] == ["--"]:
        command = command[1:]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    sessions = []
    threading.Thread(target=accept_forever, args=(listener, sessions), daemon=True).start()
    env = dict(os.environ, FTP_SERVER_BROKER=str(listener.getsockname()[1]))
    try:
        return subprocess.run(command, env=env).returncode
    finally:
        listener.close()
        # Servers whose connection outlived the command (their threads
        # would end them, but not remove their files).
        for session in list(sessions):
            session.close()


if __name__ == "__main__":
    sys.exit(main())
