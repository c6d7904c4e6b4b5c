"""FTP peers for Python tests: the scripted server, vsftpd and network namespaces.

Run tests that import this with Debian's interpreter, /usr/bin/python3.

    import sys; sys.path.insert(0, "<source>/tests/support")
    from ftptest import ScriptedFtpServer, VsftpdServer, NetNamespace

    with ScriptedFtpServer(rules=[{"on": "CWD", "arg": "Merindo", "reply": "550 No"}],
                           user="1234567@ospit.it", password="ab12cd34") as server:
        server.put("Merindo/Versione.Txt", b"1.0\\r\\n")
        ... connect to server.host, server.port ...
        assert server.commands()[:2] == ["USER 1234567@ospit.it", "PASS ab12cd34"]

    # The shipped launcher: its profile names www.cavenor.it, port 21.
    with NetNamespace(hosts=["www.cavenor.it"]) as ns, \\
         ScriptedFtpServer(root=site, user=..., password=..., netns=ns, port=21) as server:
        run = ns.run([launcher], cwd=workdir, timeout=30)
        assert not run.timed_out and run.returncode == 0

The fault rules are those of tests/servers/scripted_ftp.py (its docstring is
the reference). Every server is a child process that ends with the test
process at the latest; leaving the `with` block stops it and removes its
temporary files (a `root` you passed in is left in place).
"""

import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

PYTHON = "/usr/bin/python3"
SERVERS = Path(__file__).resolve().parent.parent / "servers"
START_TIMEOUT = 15.0


def wait_until(condition, seconds):
    """Whether condition() became true within the given seconds."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def running(pid):
    """True while the process exists and is not merely a zombie awaiting its reaper."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(") ", 1)[1][0] != "Z"
    except (FileNotFoundError, ProcessLookupError):
        return False


def end_process(proc, grace=5.0):
    """Asks proc to end, kills it after grace seconds, and reaps it."""
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class ServerProcess:
    """A server script run as a child; it prints "PORT <n>" once it listens."""

    def __init__(self, root=None, user="test", password="secret", host="127.0.0.1", port=0, netns=None):
        self.tmp = tempfile.mkdtemp(prefix="ftptest.")
        self.root = os.path.abspath(root) if root else os.path.join(self.tmp, "root")
        os.makedirs(self.root, exist_ok=True)
        self.user = user
        self.password = password
        self.host = host
        self.port = port
        self.netns = getattr(netns, "name", netns)
        self.log_path = os.path.join(self.tmp, "commands.log")
        self.proc = None

    def command(self):
        raise NotImplementedError

    def start(self):
        cmd = self.command()
        if self.netns:
            cmd = ["ip", "netns", "exec", self.netns] + cmd
        err_path = os.path.join(self.tmp, "stderr")
        with open(err_path, "wb") as err:
            self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err)
        line = b""
        deadline = time.monotonic() + START_TIMEOUT
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([self.proc.stdout], [], [], deadline - time.monotonic())
            if not ready:
                break
            chunk = os.read(self.proc.stdout.fileno(), 1)
            if not chunk:
                break
            line += chunk
        if not line.startswith(b"PORT "):
            self.stop()
            with open(err_path, "rb") as f:
                why = f.read().decode(errors="replace").strip()
            self.close()
            raise RuntimeError("%s did not start (%s): %s" % (type(self).__name__, " ".join(cmd),
                                                               why or "no port announced"))
        self.port = int(line.split()[1])
        return self

    def stop(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                end_process(self.proc)
            self.proc.stdout.close()
            self.proc = None

    def close(self):
        self.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()

    def put(self, name, data):
        """Writes a file (bytes or text) into the served folder; returns its path."""
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)
        return path

    def log_lines(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("latin-1").split("\n")[:-1]
        except FileNotFoundError:
            return []

    def commands(self):
        """Every command line received so far, in order, without CR LF."""
        return self.log_lines()

    def wait_for_commands(self, count, timeout=5.0):
        """Waits until `count` commands were received (or the time is up); returns them."""
        deadline = time.monotonic() + timeout
        while len(self.commands()) < count and time.monotonic() < deadline:
            time.sleep(0.01)
        return self.commands()


class ScriptedFtpServer(ServerProcess):
    """tests/servers/scripted_ftp.py with a fault script (a list of rules)."""

    def __init__(self, rules=(), **kwargs):
        super().__init__(**kwargs)
        self.rules = rules if isinstance(rules, dict) else list(rules)

    def command(self):
        script = os.path.join(self.tmp, "rules.json")
        with open(script, "w") as f:
            json.dump(self.rules, f)
        return [PYTHON, str(SERVERS / "scripted_ftp.py"), "--root", self.root, "--host", self.host,
                "--port", str(self.port), "--user", self.user, "--password", self.password,
                "--log", self.log_path, "--script", script]


class VsftpdServer(ServerProcess):
    """Debian's vsftpd through tests/servers/vsftpd_server.py. The default user
    "anonymous" logs in without a password; any other user/password pair is an
    account of this server only."""

    def __init__(self, user="anonymous", password="", max_rate=0, **kwargs):
        super().__init__(user=user, password=password, **kwargs)
        self.max_rate = max_rate

    def command(self):
        cmd = [PYTHON, str(SERVERS / "vsftpd_server.py"), "--root", self.root, "--host", self.host,
               "--port", str(self.port), "--log", self.log_path, "--max-rate", str(self.max_rate)]
        if self.user not in ("anonymous", "ftp"):
            cmd += ["--user", self.user, "--password", self.password]
        return cmd

    def commands(self):
        """The commands from vsftpd's protocol log; PASS shows as "PASS <password>"."""
        marker = 'FTP command: Client "'
        found = []
        for line in self.log_lines():
            at = line.find(marker)
            if at >= 0:
                rest = line[at + len(marker):]
                found.append(rest[rest.index('", "') + 4:-1])
        return found


@dataclass
class RunResult:
    returncode: int
    stdout: str
    stderr: str
    timed_out: bool


class NetNamespace:
    """A network namespace of its own with `lo` up, in which each of `hosts`
    resolves to 127.0.0.1 (through /etc/netns/<name>/hosts). Leaving the `with`
    block ends every process still inside, deletes it and its hosts file."""

    PREFIX = "ftptest-"
    counter = 0

    def __init__(self, hosts=("www.cavenor.it",)):
        self.hosts = list(hosts)
        NetNamespace.counter += 1
        self.name = "%s%d-%d" % (self.PREFIX, os.getpid(), NetNamespace.counter)
        self.etc = Path("/etc/netns") / self.name
        self.created = False

    def __enter__(self):
        try:
            self.create()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    @classmethod
    def remove_stale(cls):
        """Removes namespaces of this harness whose test process is gone."""
        listed = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
        for line in listed.splitlines():
            name = line.split()[0] if line.split() else ""
            if not name.startswith(cls.PREFIX):
                continue
            pid = name[len(cls.PREFIX):].split("-")[0]
            if pid.isdigit() and not os.path.exists("/proc/%s" % pid):
                stale = cls.__new__(cls)
                stale.name, stale.etc, stale.created = name, Path("/etc/netns") / name, True
                stale.close()

    def create(self):
        self.remove_stale()
        self.etc.mkdir(parents=True, exist_ok=True)
        lines = ["127.0.0.1 localhost", "::1 localhost ip6-localhost"] + ["127.0.0.1 %s" % h for h in self.hosts]
        (self.etc / "hosts").write_text("\n".join(lines) + "\n")
        subprocess.run(["ip", "netns", "add", self.name], check=True, capture_output=True)
        self.created = True
        subprocess.run(["ip", "-n", self.name, "link", "set", "lo", "up"], check=True, capture_output=True)

    def pids(self):
        if not self.created:
            return []
        listed = subprocess.run(["ip", "netns", "pids", self.name], capture_output=True, text=True).stdout
        return [int(p) for p in listed.split() if p.isdigit()]

    def close(self):
        if self.created:
            for _ in range(50):
                pids = self.pids()
                if not pids:
                    break
                for pid in pids:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                time.sleep(0.02)
            subprocess.run(["ip", "netns", "delete", self.name], capture_output=True)
            self.created = False
        shutil.rmtree(self.etc, ignore_errors=True)

    def command(self, cmd):
        """The argument list that runs `cmd` inside the namespace."""
        return ["ip", "netns", "exec", self.name] + list(cmd)

    def run(self, cmd, cwd=None, timeout=60.0, env=None):
        """Runs `cmd` inside and waits for it, at most `timeout` seconds; on
        expiry its whole process group is killed and `timed_out` is True.
        Processes it started and left running do not hold up the return (they
        end with the namespace)."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.Popen(self.command(cmd), cwd=cwd, env=env, start_new_session=True,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            timed_out = False
            try:
                proc.wait(timeout)
            except subprocess.TimeoutExpired:
                timed_out = True
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
            out.seek(0)
            err.seek(0)
            return RunResult(proc.returncode, out.read().decode(errors="replace"),
                             err.read().decode(errors="replace"), timed_out)
