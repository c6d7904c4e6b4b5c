"""Runs the launcher's benchmarks against their peers and prints one table.

    /usr/bin/python3 bench/runbench.py --build BUILD_DIR [--rounds N] [--size-mib 256]
        [--only transfer,launcher,feedback,startup,version] [--version-mb 300] [--sparse-gb 3]
        [--scratch DIR] [--json FILE] [--strict]

bench/run builds BUILD_DIR in the release configuration and calls this. Every figure is the
median of N rounds with the spread (lowest and highest) beside it; within a
round every contender runs once, in an order that rotates from round to round,
so that a slow spell of the shared machine falls on all of them alike. A ratio
is that of the medians, with the lowest and highest ratio within one round
beside it. One untimed warm-up round comes first (page cache, binaries,
server start).

1. transfer: TFtpClient.Download (bench/ftp-download-bench), curl -P and
   Python's ftplib in active mode fetch the same file from vsftpd on loopback.
   Wall and CPU time (user + system) are those of the whole process, taken
   from outside alike for the three (bench/run-measured: fork, exec, wait4).
2. launcher: the shipped merindo-launcher, headless, in a network namespace
   of its own in which its server name is 127.0.0.1 and vsftpd serves the
   product folder on port 21, updating the product and the two other files;
   curl fetches the same three files over one connection in the same
   namespace. The transfer phase runs from the creation of the first of the
   three files to the last write into any of them (birth and modification
   times of the files). Peak resident memory from run-measured's wait4.
3. feedback: bench/feedback-bench (Google Benchmark), one OnPacketRecvd of the
   real main window, headless.
4. startup: merindo-launcher, headless, from the moment before it is started
   to the first paint of its window, which the platform reports in the trace
   file named by WIN32_PLATFORM_TRACE ("paint <monotonic ns> <process CPU ns>
   <window title>"); the launcher is ended right after that paint.
5. version: merindo-launcher against version files of a few bytes, of
   --version-mb MB (one long line, then the version) and of --sparse-gb GB
   (the version, then a hole): the small one decides that nothing is to be
   updated, the others are cut off past 64 KiB (a failed step, nothing of
   them left on the disk); each ends in the launch of the installed product.
   Peak resident memory, CPU and wall time of the whole process.

Contenders write into --scratch (default /dev/shm, so that the disk's
write-back does not fall on one of them; a folder on a disk shows what the
launcher's flushes cost there).
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE / "tests" / "support"))
from ftptest import NetNamespace, VsftpdServer  # noqa: E402
from launcherenv import COMPANION, LIBRARY, PRODUCT, built_profile  # noqa: E402

PYTHON = "/usr/bin/python3"
MIB = 1 << 20
# The largest version file the launcher takes (app/VersionFile.h).
VERSION_BOUND = 64 * 1024

# The files of an update below the profile's remote root, with their sizes.
UPDATE_FILES = [(PRODUCT, None), (COMPANION, 1 * MIB), (LIBRARY, 340 * 1024)]


# ---------------------------------------------------------------- measuring

@dataclass
class Run:
    wall: float  # seconds from just before the start to the reaping
    cpu: float  # user + system seconds of the process and its waited-for children
    maxrss_kib: int
    returncode: int
    stdout: str
    stderr: str
    started_ns: int  # CLOCK_MONOTONIC just before the start


RUN_MEASURED = None  # bench/run-measured of the build, set by main


def run_measured(cmd, cwd=None, env=None, timeout=120.0):
    """Runs cmd to its end under run-measured, as for every contender."""
    with tempfile.NamedTemporaryFile("r") as result, tempfile.TemporaryFile() as out, \
            tempfile.TemporaryFile() as err:
        proc = subprocess.Popen([RUN_MEASURED, result.name] + list(cmd), cwd=cwd, env=env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err, start_new_session=True)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise RuntimeError("%s did not end within %.0f s" % (cmd[0], timeout))
        out.seek(0)
        err.seek(0)
        stdout = out.read().decode(errors="replace")
        stderr = err.read().decode(errors="replace")
        got = dict(kv.split("=") for kv in result.read().split())
    if proc.returncode != 0 or not got:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(cmd), proc.returncode, stderr.strip()[-500:]))
    return Run(float(got["wall"]), float(got["cpu"]), int(got["maxrss"]), proc.returncode, stdout, stderr,
               int(got["started"]))


def file_times(path):
    """(birth, last modification) of a file in seconds, to the nanosecond."""
    out = subprocess.run(["stat", "-c", "%.9W %.9Y", str(path)], check=True, capture_output=True, text=True).stdout
    birth, modified = (float(x) for x in out.split())
    if birth == 0:
        raise RuntimeError("the file system of %s keeps no birth times" % path)
    return birth, modified


def transfer_phase(paths):
    times = [file_times(p) for p in paths]
    return max(m for _, m in times) - min(b for b, _ in times)


@dataclass
class Series:
    """The samples of one figure of one contender."""
    values: list = field(default_factory=list)

    def add(self, value):
        self.values.append(value)

    @property
    def median(self):
        return statistics.median(self.values)

    def text(self, scale=1.0, digits=3):
        lo, hi = min(self.values) * scale, max(self.values) * scale
        return "%.*f [%.*f-%.*f]" % (digits, self.median * scale, digits, lo, digits, hi)


def ratio_text(series, base):
    """The ratio of the medians, with the lowest and highest ratio of the two
    within one round beside it."""
    per_round = [a / b for a, b in zip(series.values, base.values)]
    return "%.2f [%.2f-%.2f]" % (series.median / base.median, min(per_round), max(per_round))


def rotated(items, round_index):
    k = round_index % len(items)
    return items[k:] + items[:k]


def write_random_file(path, size):
    """A file of size bytes that no compression or deduplication shortens."""
    chunk = os.urandom(MIB)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            piece = chunk[:min(left, len(chunk))]
            f.write(piece)
            left -= len(piece)
            # A different chunk per MiB, cheaply.
            chunk = chunk[1:] + chunk[:1]


def scratch_root():
    """Where the contenders write: memory-backed when the machine has it, so
    that the disk's write-back does not add noise to one contender's run."""
    return "/dev/shm" if os.path.isdir("/dev/shm") else None


def check_size(path, size):
    got = os.path.getsize(path)
    if got != size:
        raise RuntimeError("%s has %d bytes, %d expected" % (path, got, size))


# ---------------------------------------------------------------- reporting

class Report:
    def __init__(self):
        self.lines = []
        self.results = {}

    def say(self, text=""):
        print(text, flush=True)
        self.lines.append(text)

    def table(self, header, rows):
        widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
        for r in [header] + rows:
            self.say("  " + "  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())


def verdict(value, limit):
    return "met" if value <= limit else "MISSED"


def machine_header(args):
    def first_line(cmd):
        try:
            done = subprocess.run(cmd, capture_output=True, text=True)
            return (done.stdout + done.stderr).splitlines()[0].strip()
        except (OSError, IndexError):
            return "?"

    cpu = "?"
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    with open("/proc/meminfo") as f:
        mem_kib = int(f.readline().split()[1])
    load = os.getloadavg()
    return [
        "Merindo launcher benchmarks, %s" % datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"),
        "machine: %s, %s, %d cores, %.1f GiB, Linux %s; load average at start %.2f %.2f %.2f"
        % (socket.gethostname(), cpu, os.cpu_count(), mem_kib / MIB, platform.release(), *load),
        "peers: %s; %s; Python %s ftplib" % (" ".join(first_line(["curl", "--version"]).split()[:2]),
                                            "vsftpd " + first_line(["dpkg-query", "-W", "-f=${Version}", "vsftpd"]),
                                            first_line([PYTHON, "--version"]).split()[-1]),
        "build: %s (RelWithDebInfo); %d rounds, median [lowest-highest]" % (args.build, args.rounds),
    ]


# ---------------------------------------------------------------- 1. transfer

def bench_transfer(args, report, work):
    size = args.size_mib * MIB
    site = work / "transfer-site"
    site.mkdir()
    write_random_file(site / "big.bin", size)
    out_dir = Path(tempfile.mkdtemp(prefix="bench-out.", dir=args.scratch))
    ours = Path(args.build) / "bench" / "ftp-download-bench"
    inside = {"wall": Series(), "cpu": Series()}
    try:
        with VsftpdServer(root=str(site)) as server:
            host, port = server.host, str(server.port)
            contenders = {
                "TFtpClient.Download": lambda out: [str(ours), host, port, "anonymous", "", "big.bin", out],
                "curl -P": lambda out: ["curl", "-s", "-S", "-P", "-", "-o", out,
                                        "ftp://%s:%s/big.bin" % (host, port)],
                "ftplib active": lambda out: [PYTHON, str(SOURCE / "bench" / "ftplib_get.py"), host, port,
                                              "anonymous", "", "big.bin", out],
            }
            names = list(contenders)
            wall = {n: Series() for n in names}
            cpu = {n: Series() for n in names}
            for r in range(-1, args.rounds):
                for name in rotated(names, max(r, 0)):
                    out = str(out_dir / "big.bin")
                    run = run_measured(contenders[name](out))
                    check_size(out, size)
                    os.remove(out)
                    if r < 0:
                        continue
                    wall[name].add(run.wall)
                    cpu[name].add(run.cpu)
                    if name == names[0]:
                        got = dict(kv.split("=") for kv in run.stdout.split())
                        inside["wall"].add(float(got["wall"]))
                        inside["cpu"].add(float(got["cpu"]))
    finally:
        shutil.rmtree(out_dir, ignore_errors=True)

    report.say()
    report.say("1. Transfer: one %d MiB file, active mode, vsftpd on loopback (whole process, from outside)"
               % args.size_mib)
    rows = []
    for name in names:
        rows.append([name, wall[name].text(), cpu[name].text(), ratio_text(wall[name], wall["curl -P"]),
                     ratio_text(cpu[name], cpu["curl -P"])])
    report.table(["program", "wall s", "CPU s", "wall/curl", "CPU/curl"], rows)
    rw = wall[names[0]].median / wall["curl -P"].median
    rc = cpu[names[0]].median / cpu["curl -P"].median
    report.say("  Download alone, inside the program: wall %s s, CPU %s s" % (inside["wall"].text(),
                                                                           inside["cpu"].text()))
    report.say("  target: wall/curl <= 1.0 (%s), CPU/curl <= 1.5 (%s)" % (verdict(rw, 1.0), verdict(rc, 1.5)))
    report.results["transfer"] = {
        "wall_s": {n: wall[n].values for n in names}, "cpu_s": {n: cpu[n].values for n in names},
        "download_alone": inside["wall"].values, "wall_ratio": rw, "cpu_ratio": rc}


# ---------------------------------------------------------------- 2. launcher

def headless_env(extra=None):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(extra or {})
    return env


def launcher_site(work, size):
    """The profile's server folder with a newer version than the one installed."""
    site = work / "launcher-site"
    folder = site / "Cavenor.it" / "Merindo"
    folder.mkdir(parents=True)
    (folder / "Versione.Txt").write_bytes(b"Versione 2.0\r\n")
    for name, file_size in UPDATE_FILES:
        write_random_file(folder / name, file_size or size)
    return site


def fresh_install(out_dir):
    shutil.rmtree(out_dir, ignore_errors=True)
    out_dir.mkdir()
    (out_dir / "VersioneAttuale.Txt").write_bytes(b"Versione 1.0\r\n")


def launcher_rounds(args, site, names):
    """(round, contender, namespace) for the warm-up round (-1) and then each
    round, its contenders in the round's order, while vsftpd serves site on
    port 21 of a namespace in which the launcher's server name is 127.0.0.1."""
    host, user, password, _ = built_profile(args.build)
    with NetNamespace(hosts=[host]) as ns, \
            VsftpdServer(root=str(site), user=user, password=password, netns=ns, port=21):
        for r in range(-1, args.rounds):
            for name in rotated(names, max(r, 0)):
                yield r, name, ns


def bench_launcher(args, report, work):
    launcher = Path(args.build) / "app" / "merindo-launcher"
    host, user, password, root = built_profile(args.build)
    size = args.size_mib * MIB
    site = launcher_site(work, size)
    sizes = {name: file_size or size for name, file_size in UPDATE_FILES}
    out_parent = Path(tempfile.mkdtemp(prefix="bench-out.", dir=args.scratch))
    out_dir = out_parent / "install"
    names = ["merindo-launcher", "curl -P"]
    phase = {n: Series() for n in names}
    total = {n: Series() for n in names}
    rss = {n: Series() for n in names}
    cpu = {n: Series() for n in names}
    try:
        for r, name, ns in launcher_rounds(args, site, names):
            fresh_install(out_dir)
            if name == "merindo-launcher":
                cmd = ns.command([str(launcher.resolve())])
            else:
                cmd = ns.command(["curl", "-s", "-S", "-P", "-", "-u", "%s:%s" % (user, password)])
                for file_name in sizes:
                    cmd += ["-o", str(out_dir / file_name), "ftp://%s/%s/Merindo/%s" % (host, root, file_name)]
            run = run_measured(cmd, cwd=str(out_dir), env=headless_env())
            paths = [out_dir / n for n in sizes]
            for p in paths:
                check_size(p, sizes[p.name])
            if r < 0:
                continue
            phase[name].add(transfer_phase(paths))
            total[name].add(run.wall)
            rss[name].add(run.maxrss_kib / 1024)
            cpu[name].add(run.cpu)
    finally:
        shutil.rmtree(out_parent, ignore_errors=True)

    report.say()
    report.say("2. Whole launcher: update of a %d MiB product and two files (1 MiB, 340 KiB), headless, vsftpd"
               % args.size_mib)
    report.say("   in a network namespace; transfer phase = first file created to last byte written")
    rows = [[n, phase[n].text(), ratio_text(phase[n], phase["curl -P"]), cpu[n].text(),
             rss[n].text(1, 1), total[n].text()] for n in names]
    report.table(["program", "transfer s", "ratio to curl", "CPU s (process)", "peak RSS MiB", "process wall s"],
                 rows)
    ratio = phase[names[0]].median / phase["curl -P"].median
    peak = max(rss[names[0]].values)
    report.say("  target: transfer/curl <= 1.2 (%s); peak resident memory <= 24 MiB (highest %.1f MiB: %s)"
               % (verdict(ratio, 1.2), peak, verdict(peak, 24)))
    report.say("  (the launcher's process wall time holds its two fixed 1 s timers: before connecting, before"
               " the launch)")
    report.results["launcher"] = {"transfer_s": {n: phase[n].values for n in names},
                                  "peak_rss_mib": {n: rss[n].values for n in names}, "ratio": ratio}


# ---------------------------------------------------------------- 3. feedback

def bench_feedback(args, report, work):
    program = Path(args.build) / "bench" / "feedback-bench"
    out = work / "feedback.json"
    run_measured([str(program), "--benchmark_repetitions=%d" % args.rounds, "--benchmark_format=json",
                  "--benchmark_out=%s" % out, "--benchmark_out_format=json"], env=headless_env(), timeout=600)
    data = json.loads(out.read_text())
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}
    real, cpu = {}, {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "iteration":
            real.setdefault(b["run_name"], Series()).add(b["real_time"] * scale[b["time_unit"]])
            cpu.setdefault(b["run_name"], Series()).add(b["cpu_time"] * scale[b["time_unit"]])
    report.say()
    report.say("3. Feedback: one OnPacketRecvd of the main window, headless (Google Benchmark, microseconds)")
    rows = [[name, real[name].text(digits=2), cpu[name].text(digits=2)] for name in real]
    report.table(["case", "us per block", "CPU us per block"], rows)
    main = real.get("BM_PacketRecvd_Download")
    if main:
        report.say("  target: <= 25 us per received block (%s)" % verdict(main.median, 25))
    report.results["feedback_us"] = {n: {"real": real[n].values, "cpu": cpu[n].values} for n in real}


# ---------------------------------------------------------------- 4. startup

def first_paint(trace):
    """(monotonic ns, process CPU ns) of the first paint in the trace file."""
    try:
        lines = trace.read_text().splitlines()
    except FileNotFoundError:
        return None
    for line in lines:
        fields = line.split()
        if len(fields) >= 3 and fields[0] == "paint":
            return int(fields[1]), int(fields[2])
    return None


def bench_startup(args, report, work):
    """Starts the launcher, waits for its first paint, then ends it (before
    its connection timer fires)."""
    launcher = str((Path(args.build) / "app" / "merindo-launcher").resolve())
    wall, cpu = Series(), Series()
    install = work / "startup"
    trace = work / "trace.txt"
    result = work / "startup-result.txt"
    for r in range(-1, args.rounds):
        shutil.rmtree(install, ignore_errors=True)
        install.mkdir()
        for f in (trace, result):
            if f.exists():
                f.unlink()
        proc = subprocess.Popen([RUN_MEASURED, str(result), launcher], cwd=str(install),
                                env=headless_env({"WIN32_PLATFORM_TRACE": str(trace)}), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 10
        painted = None
        while painted is None and proc.poll() is None and time.monotonic() < deadline:
            time.sleep(0.005)
            painted = first_paint(trace)
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        if painted is None:
            raise RuntimeError("the launcher reported no paint in its trace file")
        started = int(dict(kv.split("=") for kv in result.read_text().split())["started"])
        if r >= 0:
            wall.add((painted[0] - started) / 1e6)
            cpu.add(painted[1] / 1e6)
    report.say()
    report.say("4. Start-up: process start to the first paint of the window, headless (ms)")
    report.table(["program", "wall ms", "CPU ms (process, to the paint)"],
                 [["merindo-launcher", wall.text(digits=1), cpu.text(digits=1)]])
    report.say("  target: <= 50 ms (%s)" % verdict(wall.median, 50))
    report.results["startup_ms"] = {"wall": wall.values, "cpu": cpu.values}


# ---------------------------------------------------------------- 5. version

def write_version_files(folder, version_mb, sparse_gb):
    """The server's version files of the cases: {case: file}. Each has 1.0
    as its last non-blank line (the sparse one before its first NUL), so
    that a launcher that read it whole would decide alike: nothing to
    update."""
    cases = {}
    small = folder / "small.txt"
    small.write_bytes(b"x\r\n1.0\r\n")
    cases["small"] = small
    if version_mb:
        tail = b"\r\n1.0\r\n"
        line = folder / "long-line.txt"
        with open(line, "wb") as f:
            left = version_mb * 1000 * 1000 - len(tail)
            chunk = b"x" * MIB
            while left > 0:
                f.write(chunk[:min(left, MIB)])
                left -= min(left, MIB)
            f.write(tail)
        cases["%d MB, one line" % version_mb] = line
    if sparse_gb:
        # All of a hole reads as NUL bytes, which end the text.
        sparse = folder / "sparse.txt"
        with open(sparse, "wb") as f:
            f.write(b"1.0\r\n")
            f.truncate(sparse_gb * 1000 * 1000 * 1000)
        cases["%d GB, sparse" % sparse_gb] = sparse
    return cases


def bench_version(args, report, work):
    """The shipped launcher against version files of growing size, nothing
    updated each time (the large ones are cut off past 64 KiB): its peak
    resident memory and its whole run."""
    launcher = Path(args.build) / "app" / "merindo-launcher"
    site = work / "version-site"
    folder = site / built_profile(args.build)[3] / "Merindo"
    folder.mkdir(parents=True)
    cases = write_version_files(work, args.version_mb, args.sparse_gb)
    out_dir = Path(tempfile.mkdtemp(prefix="bench-out.", dir=args.scratch)) / "install"
    names = list(cases)
    rss = {n: Series() for n in names}
    wall = {n: Series() for n in names}
    cpu = {n: Series() for n in names}
    try:
        for r, name, ns in launcher_rounds(args, site, names):
            served = folder / "Versione.Txt"
            if served.exists():
                served.unlink()
            os.link(cases[name], served)
            fresh_install(out_dir)
            (out_dir / "VersioneAttuale.Txt").write_bytes(b"1.0\r\n")
            run = run_measured(ns.command([str(launcher.resolve())]), cwd=str(out_dir), env=headless_env(),
                               timeout=600)
            size = cases[name].stat().st_size
            if size <= VERSION_BOUND:
                check_size(out_dir / "Versione.Txt", size)
            elif (out_dir / "Versione.Txt").exists():
                raise RuntimeError("the launcher kept the %s version file" % name)
            if (out_dir / PRODUCT).exists():
                raise RuntimeError("the launcher updated with the %s version file" % name)
            if r < 0:
                continue
            rss[name].add(run.maxrss_kib / 1024)
            wall[name].add(run.wall)
            cpu[name].add(run.cpu)
    finally:
        shutil.rmtree(out_dir.parent, ignore_errors=True)

    report.say()
    report.say("5. Version file: the launcher against a growing Versione.Txt (last line 1.0, nothing to update),")
    report.say("   vsftpd in a network namespace; a file past 64 KiB is cut off in its transfer (a failed step)")
    rows = [[n, rss[n].text(1, 1), cpu[n].text(), wall[n].text()] for n in names]
    report.table(["version file", "peak RSS MiB", "CPU s (process)", "process wall s"], rows)
    growth = max(max(rss[n].values) for n in names) - min(rss["small"].values)
    report.say("  target: peak resident memory within 8 MiB of the small file's (largest growth %.1f MiB: %s)"
               % (growth, verdict(growth, 8)))
    report.say("  (the process wall time holds the launcher's two fixed 1 s timers)")
    report.results["version"] = {"peak_rss_mib": {n: rss[n].values for n in names},
                                 "cpu_s": {n: cpu[n].values for n in names},
                                 "wall_s": {n: wall[n].values for n in names}}


# ---------------------------------------------------------------- main

BENCHMARKS = {
    "transfer": (bench_transfer, ["bench/run-measured", "bench/ftp-download-bench"]),
    "launcher": (bench_launcher, ["bench/run-measured", "app/merindo-launcher"]),
    "feedback": (bench_feedback, ["bench/run-measured", "bench/feedback-bench"]),
    "startup": (bench_startup, ["bench/run-measured", "app/merindo-launcher"]),
    "version": (bench_version, ["bench/run-measured", "app/merindo-launcher"]),
}


def main(argv=None):
    parser = argparse.ArgumentParser(description="The launcher's benchmarks against their peers.")
    parser.add_argument("--build", required=True)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--size-mib", type=int, default=256)
    parser.add_argument("--only", default=",".join(BENCHMARKS))
    parser.add_argument("--version-mb", type=int, default=300, help="the long version file, in MB")
    parser.add_argument("--sparse-gb", type=int, default=3, help="the sparse version file, in GB (0: none)")
    parser.add_argument("--scratch", default=scratch_root(),
                        help="where the contenders write (default /dev/shm, memory-backed)")
    parser.add_argument("--json")
    parser.add_argument("--strict", action="store_true", help="a benchmark whose programs are not built fails")
    args = parser.parse_args(argv)
    chosen = [b.strip() for b in args.only.split(",") if b.strip()]
    for b in chosen:
        if b not in BENCHMARKS:
            parser.error("unknown benchmark %s (known: %s)" % (b, ", ".join(BENCHMARKS)))
    if os.geteuid() != 0 and any(b in ("launcher", "startup", "version") for b in chosen):
        parser.error("the launcher benchmarks make network namespaces: run as root")

    global RUN_MEASURED
    RUN_MEASURED = str(Path(args.build).resolve() / "bench" / "run-measured")
    report = Report()
    for line in machine_header(args):
        report.say(line)
    failed = False
    work = Path(tempfile.mkdtemp(prefix="bench."))
    try:
        for name in chosen:
            function, needs = BENCHMARKS[name]
            missing = [n for n in needs if not (Path(args.build) / n).exists()]
            if missing:
                report.say()
                report.say("%s: skipped, %s not built" % (name, ", ".join(missing)))
                failed = failed or args.strict
                continue
            try:
                function(args, report, work)
            except RuntimeError as err:
                failed = True
                report.say()
                report.say("%s: FAILED: %s" % (name, err))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"header": report.lines[:4], "results": report.results}, f, indent=1)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
