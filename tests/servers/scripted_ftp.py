#!/usr/bin/python3
"""A real FTP server (pyftpdlib) that plays scripted faults, for the tests.

Run it with Debian's interpreter (pyftpdlib is a Debian package):

    /usr/bin/python3 scripted_ftp.py --root DIR [--host 127.0.0.1] [--port 0]
        [--user NAME] [--password TEXT] [--log FILE]
        [--script FILE.json | --rules 'JSON'] [--verbose]

It serves DIR to one account (--user/--password, any text such as
"1234567@ospit.it"; the user "anonymous" accepts any password) with active
(PORT) and passive (PASV) data connections, byte-exact in binary. Port 0 lets
the system choose: the first line on stdout is "PORT <number>", flushed once
the server listens. The server runs until SIGTERM and also ends when the
process that started it ends.

--log FILE receives every command line the server reads, one per line in the
order received, exactly as sent without its CR LF (PASS with its password),
written before the server acts on it. Several connections share the file.

Without rules it behaves as a plain server, except that RETR answers
"150 Opening BINARY mode data connection for NAME (SIZE bytes)." (NAME as
sent, SIZE the file's length) whether or not the data connection is already
open, sends files unchanged in ASCII mode too, and never drops an idle client.

The fault script is a JSON list of rules (or {"rules": [...]}). For each
command (and for each new connection, as the command "greeting") the first
matching rule applies; commands that no rule matches run normally.

  Matching
    "on":   command word, any case ("RETR"), "greeting", or "*" for any command
    "arg":  only when the argument (text after the first space) equals this
    "nth":  only the nth time a command matching "on" and "arg" reaches this
            rule (1-based, counted over the server's whole life, all
            connections); the other times the search goes on to later rules

  Replacing the answer (the command is not carried out)
    "reply": lines sent instead, CR LF appended to each: ["220-a", "220 b"];
             a single string is one line; [] sends nothing. An entry
             [text, n] repeats text n times; a number is a pause of that
             many seconds: what came before it goes out in a write of its
             own, and the server waits before it sends the rest.
    "raw":   bytes sent exactly as given (no CR LF added): a string, or a
             list of strings, [text, n] repeats and pauses. Characters
             U+0000..U+00FF are single bytes, so "\\u0000" is a NUL byte.
    A 2xx reply to USER or PASS logs the session in as the configured user;
    USER always records its argument, so PASS works after a 331 override.

  Connection
    "close": true   close the control connection once this command has been
                    answered (for a RETR that runs: after its end reply)
    "mute":  true   answer nothing, now or ever again on this connection,
                    while keeping it open (commands are still logged)
    "data": "never" PORT: answer 200 but never connect; PASV: answer 227 for a
                    port that listens but never accepts
    "pasv_address": "10.9.8.7"  PASV runs normally (the port listens on the
                    server's address) but the 227 reply names this address

  Transfer (RETR that runs normally)
    "preliminary":  the lines sent instead of the 150 line (same form as
                    "reply")
    "final":        the lines sent instead of the end reply "226 Transfer
                    complete." ([] for none)
    "together": true  the preliminary and the final reply go out in one
                    write before any data
    "drop_after": K   the data connection closes after K bytes; the end reply
                    stays 226 unless "final" says otherwise
    "control_close_after": K  after K data bytes both connections close, with
                    no end reply
    "hold_after": K, "hold_until": PATH  after K data bytes the transfer
                    pauses until the file PATH exists (at most 60 s), then
                    goes on; the server creates PATH + ".held" when the pause
                    begins. The whole server waits meanwhile.
    "pace": B       the data goes out at B bytes a second, evenly: a slice
                    every 50 ms (at least a byte), as a slow line delivers it.
                    The whole server waits between the slices.

  Pause
    "hold_until": PATH  (without "hold_after") the server waits for the file
                    PATH as above before it acts on the command at all.
  In "reply", "preliminary" and "final" lines, {name} is the command's
  argument, {size} the file's length and {mode} BINARY or ASCII.

Examples:
  [{"on": "greeting", "reply": ["220-Welcome", "220-to the server", "220 Ready"]}]
  [{"on": "USER", "reply": "230 Logged in"}]
  [{"on": "CWD", "arg": "Merindo", "reply": "550 No such directory"}]
  [{"on": "RETR", "preliminary": "150 Opening data connection."}]
  [{"on": "RETR", "arg": "big.bin", "drop_after": 1000, "final": "426 Aborted"}]
  [{"on": "RETR", "nth": 2, "reply": [], "close": true}]
  [{"on": "greeting", "raw": [["x", 70000]]}]
  [{"on": "PASS", "mute": true}]
  [{"on": "PASV", "reply": "227 Entering passive mode (127,0,0,1,0,1)."}]   (a refused port)
  [{"on": "NOOP", "reply": ["200 OK", "200 a stray second reply"]}]
"""

import argparse
import ctypes
import json
import logging
import os
import signal
import socket
import sys
import time
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import asynchat  # pyftpdlib is built on it

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

DEFAULT_PRELIMINARY = ["150 Opening {mode} mode data connection for {name} ({size} bytes)."]
ANSWER_KEYS = ("reply", "raw")
TRANSFER_KEYS = ("preliminary", "final", "together", "drop_after", "control_close_after", "hold_after",
                 "hold_until", "pace")
HOLD_LIMIT = 60.0
PACE_SLICE = 0.05
KNOWN_KEYS = {"on", "arg", "nth", "close", "mute", "data", "pasv_address", *ANSWER_KEYS, *TRANSFER_KEYS}


class ScriptError(ValueError):
    pass


def _segments(entries, line_end):
    """Turns a reply/raw value into its text segments and the pause, in
    seconds, after each: strings, [text, n] repeats, and numbers (a pause)."""
    if isinstance(entries, str):
        entries = [entries]
    if not isinstance(entries, list):
        raise ScriptError("expected a string or a list, got %r" % (entries,))
    segments = [["", 0.0]]
    for entry in entries:
        if isinstance(entry, list) and len(entry) == 2 and isinstance(entry[0], str) and isinstance(entry[1], int):
            segments[-1][0] += (entry[0] + line_end) * entry[1]
        elif isinstance(entry, str):
            segments[-1][0] += entry + line_end
        elif isinstance(entry, (int, float)) and not isinstance(entry, bool) and 0 <= entry <= HOLD_LIMIT:
            segments[-1][1] = float(entry)
            segments.append(["", 0.0])
        else:
            raise ScriptError("bad entry %r: a string, [text, count] or a pause in seconds" % (entry,))
    return segments


def _expand(entries, line_end):
    return "".join(text for text, _ in _segments(entries, line_end))


def _to_bytes(text):
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        return text.encode("utf-8")


class Rule:
    def __init__(self, fields):
        if not isinstance(fields, dict) or "on" not in fields:
            raise ScriptError("each rule is an object with \"on\": %r" % (fields,))
        unknown = set(fields) - KNOWN_KEYS
        if unknown:
            raise ScriptError("unknown keys %s in rule %r" % (sorted(unknown), fields))
        if "reply" in fields and "raw" in fields:
            raise ScriptError("a rule has either \"reply\" or \"raw\": %r" % (fields,))
        if "hold_after" in fields and "hold_until" not in fields:
            raise ScriptError("\"hold_after\" needs \"hold_until\": %r" % (fields,))
        if fields.get("data") not in (None, "never"):
            raise ScriptError("\"data\" can only be \"never\": %r" % (fields,))
        self.on = fields["on"] if fields["on"] in ("greeting", "*") else fields["on"].upper()
        self.arg = fields.get("arg")
        self.nth = fields.get("nth")
        self.seen = 0
        self.fields = fields
        for key in ("reply", "preliminary", "final"):  # fail at start, not mid-test
            if key in fields:
                _expand(fields[key], "\r\n")
        if "raw" in fields:
            _expand(fields["raw"], "")

    def matches(self, cmd, arg):
        if self.on != "*" and self.on != cmd:
            return False
        if self.arg is not None and self.arg != arg:
            return False
        self.seen += 1
        return self.nth is None or self.nth == self.seen

    def answers(self):
        """True when the rule's own answer replaces the command."""
        return any(key in self.fields for key in ANSWER_KEYS) or self.fields.get("mute", False) \
            or self.fields.get("data") == "never"

    def get(self, key, default=None):
        return self.fields.get(key, default)


class Script:
    def __init__(self, rules):
        if isinstance(rules, dict):
            rules = rules.get("rules", [])
        if not isinstance(rules, list):
            raise ScriptError("the script is a list of rules")
        self.rules = [Rule(fields) for fields in rules]

    def find(self, cmd, arg):
        for rule in self.rules:
            if rule.matches(cmd, arg):
                return rule
        return None


def _substitute(text, values):
    for key, value in values.items():
        text = text.replace("{%s}" % key, str(value))
    return text


class LimitedProducer:
    """Hands out the file's data and acts once `limit` bytes have gone out."""

    def __init__(self, inner, limit, on_limit):
        self.inner = inner
        self.limit = limit
        self.on_limit = on_limit
        self.sent = 0

    def more(self):
        if self.limit is not None and self.sent >= self.limit:
            # asynchat asks again only once everything handed out was sent.
            self.on_limit()
            return b""
        data = self.inner.more()
        if self.limit is not None:
            data = data[:self.limit - self.sent]
        self.sent += len(data)
        return data


def _hold(gate):
    """Blocks the server until the file gate exists (at most HOLD_LIMIT s),
    having created gate + ".held"."""
    open(gate + ".held", "wb").close()
    deadline = time.monotonic() + HOLD_LIMIT
    while not os.path.exists(gate) and time.monotonic() < deadline:
        time.sleep(0.01)


class HoldingProducer:
    """Hands out the file's data, pausing once `limit` bytes have gone out
    until the file `gate` exists."""

    def __init__(self, inner, limit, gate):
        self.inner = inner
        self.limit = limit
        self.gate = gate
        self.sent = 0
        self.held = False
        self.pending = b""

    def more(self):
        if not self.held and self.sent >= self.limit:
            # asynchat asks again only once everything handed out was sent.
            self.held = True
            _hold(self.gate)
        data = self.pending or self.inner.more()
        self.pending = b""
        if not self.held:
            data, self.pending = data[:self.limit - self.sent], data[self.limit - self.sent:]
        self.sent += len(data)
        return data


class PacedProducer:
    """Hands out the file's data at `rate` bytes a second, a slice every
    PACE_SLICE seconds."""

    def __init__(self, inner, rate):
        self.inner = inner
        self.slice = max(1, int(rate * PACE_SLICE))
        self.rate = rate
        self.pending = b""
        self.sent = 0
        self.start = None

    def more(self):
        if self.start is None:
            self.start = time.monotonic()
        if not self.pending:
            self.pending = self.inner.more()
        data, self.pending = self.pending[:self.slice], self.pending[self.slice:]
        self.sent += len(data)
        delay = self.start + self.sent / self.rate - time.monotonic()
        if data and delay > 0:
            time.sleep(delay)
        return data


class ScriptedDTPHandler(DTPHandler):
    def close(self):
        cmd_channel = self.cmd_channel
        final = cmd_channel.pending_final
        if self.cmd == "RETR" and final is not None and not self._closed:
            cmd_channel.pending_final = None
            self._resp = ()  # our own end reply instead of pyftpdlib's
            DTPHandler.close(self)
            if cmd_channel.connected:
                cmd_channel.send_bytes(final)
        else:
            DTPHandler.close(self)
        if self.cmd == "RETR" and cmd_channel.close_after_transfer and cmd_channel.connected:
            cmd_channel.close_after_transfer = False
            cmd_channel.close_when_done()


class ScriptedHandler(FTPHandler):
    script = Script([])
    command_log = None
    account = ("test", "secret")
    banner = "FTP server ready."
    timeout = 0  # never drop an idle client: silence tests must see silence
    auth_failed_timeout = 0
    use_sendfile = False  # the data must pass through our producer
    dtp_handler = ScriptedDTPHandler

    def __init__(self, conn, server, ioloop=None):
        self.muted = False
        self.pending_final = None
        self.close_after_transfer = False
        self.retr_rule = None
        self.retr_name = ""
        self.retr_started = False
        self.silent_listener = None
        super().__init__(conn, server, ioloop)

    # --- the wire

    def send_bytes(self, data):
        if data:
            asynchat.async_chat.push(self, data)  # pyftpdlib's push would encode text as UTF-8

    def send_segments(self, entries, line_end, values):
        """Sends each segment of a reply as its own write, pausing after it as
        the script says; the whole server waits meanwhile, so the rest of the
        reply still comes before the answer to any later command."""
        for text, pause in _segments(entries, line_end):
            self.send_bytes(_to_bytes(_substitute(text, values)))
            if pause:
                self.initiate_send()
                time.sleep(pause)

    def handle(self):
        rule = self.script.find("greeting", "")
        if rule is None:
            return super().handle()
        self.on_connect()
        self.play(rule, "greeting", "", {})

    def found_terminator(self):
        raw = b"".join(self._in_buffer)
        if self.command_log is not None:
            self.command_log.write(raw + b"\n")
            self.command_log.flush()
        if self.muted:
            self._in_buffer, self._in_buffer_len = [], 0
            return
        line = self.decode(raw)
        cmd = line.split(" ")[0].upper()
        arg = line[len(cmd) + 1:]
        rule = self.script.find(cmd, arg)
        if rule is not None and rule.get("hold_until") and rule.get("hold_after") is None:
            _hold(rule.get("hold_until"))
        if rule is not None and rule.answers():
            self._in_buffer, self._in_buffer_len = [], 0
            self.play(rule, cmd, arg, {"name": arg, "size": self.size_of(arg) if cmd == "RETR" else 0,
                                       "mode": self.mode_name()})
            return
        self.retr_rule = rule if cmd == "RETR" else None
        self.retr_name = arg
        self.retr_started = False
        if rule is not None and rule.get("pasv_address"):
            self.masquerade_address = rule.get("pasv_address")  # read by PASV, for this command only
            try:
                super().found_terminator()
            finally:
                del self.masquerade_address
        else:
            super().found_terminator()
        if rule is not None and rule.get("close") and not self.retr_started and self.connected:
            self.close_when_done()  # a RETR that runs closes after its end reply instead

    def play(self, rule, cmd, arg, values):
        """Carries out a rule that replaces the command's own handling."""
        if rule.get("data") == "never":
            self.never_open_data(cmd)
        elif "reply" in rule.fields:
            reply = _substitute(_expand(rule.get("reply"), "\r\n"), values)
            self.send_segments(rule.get("reply"), "\r\n", values)
            if cmd in ("USER", "PASS"):
                self.scripted_login(cmd, arg, reply)
        elif "raw" in rule.fields:
            self.send_segments(rule.get("raw"), "", {})
        if rule.get("mute"):
            self.muted = True
        if rule.get("close"):
            self.close_when_done()

    def scripted_login(self, cmd, arg, reply):
        if cmd == "USER":
            self.username = arg
        if reply[:1] == "2" and not self.authenticated:
            user = self.account[0]
            self.username = user
            self.authenticated = True
            self.fs = self.abstracted_fs(self.authorizer.get_home_dir(user), self)
            self.on_login(user)

    def never_open_data(self, cmd):
        self._shutdown_connecting_dtp()
        if self.data_channel is not None:
            self.data_channel.close()
            self.data_channel = None
        if cmd == "PASV":
            if self.silent_listener is not None:
                self.silent_listener.close()
            ip = self.socket.getsockname()[0]
            self.silent_listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.silent_listener.bind((ip, 0))
            self.silent_listener.listen(1)
            port = self.silent_listener.getsockname()[1]
            self.respond("227 Entering passive mode (%s,%d,%d)." % (ip.replace(".", ","), port // 256, port % 256))
        else:
            self.respond("200 PORT command successful.")

    def close(self):
        if self.silent_listener is not None:
            self.silent_listener.close()
            self.silent_listener = None
        super().close()

    # --- RETR

    def mode_name(self):
        return "BINARY" if self._current_type == "i" else "ASCII"

    def size_of(self, path):
        try:
            return self.fs.getsize(self.fs.ftp2fs(path)) if self.fs else 0
        except (OSError, ValueError):
            return 0

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        if cmd != "RETR":
            return super().push_dtp_data(data, isproducer, file, cmd)
        rule = self.retr_rule
        get = rule.get if rule is not None else (lambda key, default=None: default)
        values = {"name": self.retr_name, "size": os.fstat(file.fileno()).st_size, "mode": self.mode_name()}
        preliminary = _to_bytes(_substitute(_expand(get("preliminary", DEFAULT_PRELIMINARY), "\r\n"), values))
        final = get("final")
        final = None if final is None else _to_bytes(_substitute(_expand(final, "\r\n"), values))
        if get("together"):
            preliminary += final if final is not None else b"226 Transfer complete.\r\n"
            final = b""
        self.retr_started = True
        self.pending_final = final
        self.close_after_transfer = bool(get("close"))
        self._last_response = "150 " + self.retr_name  # for pyftpdlib's own command log
        self.send_bytes(preliminary)

        if hasattr(data, "_data_wrapper"):
            data._data_wrapper = None  # no line-end conversion in ASCII mode either, as vsftpd does
        if get("control_close_after") is not None:
            producer = LimitedProducer(data, get("control_close_after"), self.close)
        elif get("drop_after") is not None:
            producer = LimitedProducer(data, get("drop_after"), lambda: None)
        elif get("hold_after") is not None:
            producer = HoldingProducer(data, get("hold_after"), get("hold_until"))
        elif get("pace") is not None:
            producer = PacedProducer(data, get("pace"))
        else:
            producer = data
        if self.data_channel is None:
            self._out_dtp_queue = (producer, True, file, cmd)  # sent once the data connection opens
            return
        self.data_channel.file_obj = file
        try:
            self.data_channel.push_with_producer(producer)
            if self.data_channel is not None:
                self.data_channel.cmd = cmd
                self.data_channel.close_when_done()
        except Exception:
            self.data_channel.handle_error()


def _die_with_parent():
    """Ends this server when the test process that started it ends."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def main(argv=None):
    parser = argparse.ArgumentParser(description="Scripted FTP server for the tests.")
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="test")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--log")
    parser.add_argument("--script", help="JSON file with the rules")
    parser.add_argument("--rules", help="the rules as JSON text")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args(argv)

    parent = os.getppid()
    _die_with_parent()
    if os.getppid() != parent:
        return 1
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.CRITICAL, stream=sys.stderr)

    try:
        if args.script:
            with open(args.script, encoding="utf-8") as f:
                rules = json.load(f)
        else:
            rules = json.loads(args.rules or "[]")
        script = Script(rules)
    except (OSError, ValueError) as err:
        print("scripted_ftp: bad fault script: %s" % err, file=sys.stderr)
        return 2

    authorizer = DummyAuthorizer()
    root = os.path.abspath(args.root)
    if args.user == "anonymous":
        authorizer.add_anonymous(root, perm="elr")
    else:
        authorizer.add_user(args.user, args.password, root, perm="elradfmwMT")

    handler = type("Handler", (ScriptedHandler,), {})
    handler.authorizer = authorizer
    handler.script = script
    handler.account = (args.user, args.password)
    handler.command_log = open(args.log, "ab") if args.log else None

    server = FTPServer((args.host, args.port), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
