#!/usr/bin/python3
"""Runs Debian's vsftpd in the foreground as the tests' interoperability peer.

    /usr/bin/python3 vsftpd_server.py --root DIR [--host 127.0.0.1] [--port 0]
        [--user NAME --password TEXT] [--log FILE] [--max-rate BYTES]

Serves DIR read-only, plain FTP without TLS, active and passive mode. The
login "anonymous" (also "ftp") always works and needs no password: vsftpd
answers its USER with 230. With --user and --password a named account works
too; it exists only for this server (a private PAM user database, bound over
vsftpd's PAM service in a mount namespace of the server's own), so the
machine's accounts are not touched. vsftpd serves the files as its
unprivileged user, so DIR and what is in it are made world-readable.

Port 0 picks a free port. Once vsftpd listens, the first stdout line is
"PORT <number>". SIGTERM (or the end of the process that started this one)
stops vsftpd and its sessions and removes the configuration.

--max-rate limits each transfer to BYTES per second (a demonstration that a
person can follow); 0, the default, is no limit.

--log FILE is vsftpd's protocol log: every command appears on a line
  ... FTP command: Client "127.0.0.1", "RETR f.bin"
(PASS appears as "PASS <password>").
"""

import argparse
import ctypes
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

VSFTPD = "/usr/sbin/vsftpd"
START_TIMEOUT = 10.0


def _set_parent_death_signal():
    try:
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def _free_port(host):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def _listening(port):
    """True when a socket of this network namespace listens on the port."""
    try:
        with open("/proc/net/tcp") as f:
            next(f)
            for line in f:
                fields = line.split()
                if int(fields[1].split(":")[1], 16) == port and fields[3] == "0A":
                    return True
    except OSError:
        pass
    return False


def _descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, IndexError, ValueError):
                continue
            children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def _readable_by_all(root):
    os.chmod(root, 0o755)
    for folder, dirs, files in os.walk(root):
        for name in dirs:
            os.chmod(os.path.join(folder, name), 0o755)
        for name in files:
            path = os.path.join(folder, name)
            os.chmod(path, os.stat(path).st_mode | 0o444)


class Vsftpd:
    def __init__(self, root, host, port, user, password, log, max_rate=0):
        self.max_rate = max_rate
        self.root = os.path.abspath(root)
        self.host = host
        self.port = port
        self.user = user
        self.password = password
        self.log = os.path.abspath(log) if log else None
        self.dir = tempfile.mkdtemp(prefix="vsftpd.")
        self.proc = None

    def config(self, port):
        lines = [
            "listen=YES", "listen_ipv6=NO", "listen_address=" + self.host, "listen_port=%d" % port,
            "background=NO", "seccomp_sandbox=NO", "secure_chroot_dir=" + os.path.join(self.dir, "empty"),
            "ssl_enable=NO", "write_enable=NO", "connect_from_port_20=NO", "pasv_enable=YES", "port_enable=YES",
            "anonymous_enable=YES", "anon_root=" + self.root, "no_anon_password=YES",
            "delay_failed_login=0", "dirmessage_enable=NO", "use_localtime=NO",
            # Load tests connect many clients from 127.0.0.1 at once: no
            # per-address or overall limit (0 = none).
            "max_clients=0", "max_per_ip=0",
        ]
        if self.user:
            # Any non-anonymous login is checked against the private database
            # and then served as the guest user, chrooted in the folder.
            lines += ["local_enable=YES", "guest_enable=YES", "guest_username=ftp", "pam_service_name=vsftpd",
                      "local_root=" + self.root, "chroot_local_user=YES", "allow_writeable_chroot=YES"]
        else:
            lines += ["local_enable=NO"]
        if self.max_rate:
            lines += ["anon_max_rate=%d" % self.max_rate, "local_max_rate=%d" % self.max_rate]
        if self.log:
            lines += ["vsftpd_log_file=" + self.log, "log_ftp_protocol=YES", "xferlog_enable=YES",
                      "xferlog_std_format=NO", "syslog_enable=NO"]
        path = os.path.join(self.dir, "vsftpd.conf")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        return path

    def command(self, conf):
        if not self.user:
            return [VSFTPD, conf]
        import dbm.ndbm  # Berkeley DB, the format pam_userdb reads
        users = os.path.join(self.dir, "users")
        db = dbm.ndbm.open(users, "n", 0o600)
        db[self.user.encode()] = self.password.encode()
        db.close()
        pam = os.path.join(self.dir, "pam")
        with open(pam, "w") as f:
            f.write("auth required pam_userdb.so db=%s\naccount required pam_permit.so\n" % users)
        script = 'mount --bind "$1" /etc/pam.d/vsftpd && exec "$2" "$3"'
        return ["unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh", pam, VSFTPD, conf]

    def start(self):
        os.mkdir(os.path.join(self.dir, "empty"), 0o755)
        _readable_by_all(self.root)
        errors = ""
        for _ in range(5):  # a chosen free port can be taken before vsftpd binds it
            port = self.port or _free_port(self.host)
            err = open(os.path.join(self.dir, "stderr"), "w+")
            self.proc = subprocess.Popen(self.command(self.config(port)), stdin=subprocess.DEVNULL,
                                         stdout=err, stderr=err, start_new_session=True,
                                         preexec_fn=_set_parent_death_signal)
            deadline = time.monotonic() + START_TIMEOUT
            while self.proc.poll() is None and not _listening(port) and time.monotonic() < deadline:
                time.sleep(0.01)
            if self.proc.poll() is None and _listening(port):
                return port
            self.stop_process()
            err.seek(0)
            errors = err.read().strip() or "vsftpd did not listen on port %d" % port
            if self.port:
                break
        raise RuntimeError("vsftpd did not start: " + errors)

    def stop_process(self):
        if self.proc is None:
            return
        # Sessions run in processes of their own: end the listener's whole
        # tree, and wait for each to have ended (a kill only begins the end).
        handles = []
        for pid in [self.proc.pid] + _descendants(self.proc.pid):
            try:
                handles.append(os.pidfd_open(pid))
            except ProcessLookupError:
                pass
        for handle in handles:
            try:
                signal.pidfd_send_signal(handle, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for handle in handles:
            select.select([handle], [], [], START_TIMEOUT)  # readable once the process has ended
            os.close(handle)
        self.proc.wait()
        self.proc = None

    def close(self):
        self.stop_process()
        shutil.rmtree(self.dir, ignore_errors=True)


class Stopped(Exception):
    pass


def _stop(*_):
    raise Stopped()


def main(argv=None):
    parser = argparse.ArgumentParser(description="vsftpd as a test peer.")
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--log")
    parser.add_argument("--max-rate", type=int, default=0)
    args = parser.parse_args(argv)
    if args.user in ("anonymous", "ftp"):
        args.user = None

    _set_parent_death_signal()
    signal.signal(signal.SIGTERM, _stop)
    signal.signal(signal.SIGINT, _stop)
    server = Vsftpd(args.root, args.host, args.port, args.user, args.password, args.log, args.max_rate)
    try:
        port = server.start()
        print("PORT %d" % port, flush=True)
        server.proc.wait()
        print("vsftpd_server: vsftpd ended by itself", file=sys.stderr)
        return 1
    except Stopped:
        return 0
    except RuntimeError as err:
        print("vsftpd_server: %s" % err, file=sys.stderr)
        return 2
    finally:
        server.close()

if __name__ == "__main__":
    sys.exit(main())
