#!/usr/bin/python3
"""The demonstration run behind scripts/demo (see there).

The launcher's fixed profile names a host and port 21, so the run happens in
a network namespace of its own where that name means this machine, beside
vsftpd serving the demo release on port 21.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE / "tests" / "support"))
from ftptest import NetNamespace, VsftpdServer  # noqa: E402
from launcherenv import COMPANION, LIBRARY, PRODUCT, built_profile  # noqa: E402

DEMO_PRODUCT = """#!/bin/sh
# Merindo 2.0 (demo): records that and where it was started.
echo "Merindo 2.0 (demo) started in $(pwd) at $(date '+%H:%M:%S')" > merindo-started.txt
"""
DEMO_COMPANION = "#!/bin/sh\n# Quillane (demo companion)\nexit 0\n"
TAMPERED_PRODUCT = """#!/bin/sh
echo "TAMPERED product started in $(pwd)" > merindo-started.txt
"""


def padded(text, size):
    """A script followed by comment padding, so that the transfer can be seen."""
    data = text.encode()
    filler = b"#" * 79 + b"\n"
    return data + filler * ((size - len(data)) // len(filler))


def human(n):
    return "{:,}".format(n).replace(",", ".")


def run_launcher(binary, profile, site, work, trace, rate):
    """Runs the launcher once beside vsftpd; returns its result, the commands
    it sent and the seconds it took, once the product it started reported."""
    host, user, password, _ = profile
    marker = work / "merindo-started.txt"
    if marker.exists():
        marker.unlink()
    started = time.monotonic()
    with NetNamespace(hosts=[host]) as ns, \
            VsftpdServer(root=str(site), user=user, password=password, netns=ns, port=21, max_rate=rate) as server:
        env = dict(os.environ, WIN32_PLATFORM_TRACE=str(trace))
        result = ns.run([str(binary)], cwd=str(work), timeout=300, env=env)
        commands = server.commands()
        elapsed = time.monotonic() - started
        # The product runs on its own; give it a moment before the namespace goes.
        deadline = time.monotonic() + 10
        while not marker.exists() and time.monotonic() < deadline:
            time.sleep(0.05)
    return result, commands, elapsed


def report_run(result, commands, elapsed, work, expected, trace, source="the server's"):
    """Prints what the run did; true when every file is the one of `expected`
    (named `source`) and the product reported that it started."""
    print("The launcher ended after %.1f s with exit code %d." % (elapsed, result.returncode))
    print("Commands it sent: " + ", ".join(re.sub(r"^PASS .*", "PASS ****", c) for c in commands))
    print("In the working folder:")
    ok = True
    for name in (PRODUCT, COMPANION, LIBRARY):
        path = work / name
        if path.exists():
            same = path.read_bytes() == expected[name]
            ok &= same
            print("  %-26s %12s bytes  %s" % (name, human(path.stat().st_size),
                                                 "identical to " + source if same else "DIFFERENT"))
        else:
            ok = False
            print("  %-26s missing" % name)
    left = sorted(p.name for p in work.iterdir() if p.name.endswith(".download"))
    if left:
        ok = False
        print("  temporary files left: " + ", ".join(left))
    print("  VersioneAttuale.Txt still says: %s" % (work / "VersioneAttuale.Txt").read_text().strip())
    trace_lines = trace.read_text().splitlines() if trace.exists() else []
    trace.unlink(missing_ok=True)
    beeps = sum(1 for l in trace_lines if l.startswith("beep "))
    starts = [l for l in trace_lines if l.startswith("start ")]
    print("Beeps: %d (one per completed file)" % beeps)
    if starts:
        print("Started: " + starts[0].split(" dir=", 1)[1].split(" ", 1)[1] + " in " +
              starts[0].split(" dir=", 1)[1].split(" ", 1)[0])
    marker = work / "merindo-started.txt"
    if marker.exists():
        print("The product says: " + marker.read_text().strip())
    else:
        ok = False
        print("The product did not report that it started.")
    if result.stderr.strip():
        print("Launcher's error output:\n" + result.stderr)
    return ok and result.returncode == 0 and len(starts) == 1


def signed_demo(build, binary, profile, key, site, folder, work, served, rate):
    """A signed release installed, then a tampered product refused."""
    tool = build / "tools" / "merindo-release"
    trace = build / "demo" / "trace.log"
    public = Path(str(key).replace(".secret", ".public")).read_text().strip()
    signed = subprocess.run([str(tool), "sign", str(key), str(folder), "1"], capture_output=True, text=True)
    if signed.returncode != 0:
        print(signed.stderr)
        return 1
    print("The launcher is built with the demo's own public key %s." % public)
    print("merindo-release " + signed.stderr.split(": ", 1)[1].strip())
    print("Rilascio.Txt on the server:")
    for line in (folder / "Rilascio.Txt").read_text().splitlines():
        print("  " + line)
    print()

    print("== 1. The signed release")
    first = report_run(*run_launcher(binary, profile, site, work, trace, rate), work, served, trace,
                       "the signed release's")
    record = work / "RilascioAttuale.Txt"
    print("Release recorded as installed (RilascioAttuale.Txt): %s" %
          (record.read_text().strip() if record.exists() else "none"))
    first &= record.exists() and record.read_text() == "1\n"
    print()

    print("== 2. Someone replaces the product on the server; the signed description stays")
    (folder / PRODUCT).write_bytes(TAMPERED_PRODUCT.encode())
    second = report_run(*run_launcher(binary, profile, site, work, trace, rate), work, served, trace,
                        "the signed release's")
    marker = work / "merindo-started.txt"
    second &= marker.exists() and "TAMPERED" not in marker.read_text()
    print("The tampered product was %s." % ("refused: the installed files are untouched and the installed product "
                                            "started" if second else "NOT refused"))
    print()
    ok = first and second
    print("== signed demo %s" % ("done: the signed release was installed, the tampered one refused" if ok
                                 else "FAILED"))
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--signed", action="store_true", help="the launcher of --build carries the key of --key")
    parser.add_argument("--key", help="the secret key file the release is signed with (with --signed)")
    args = parser.parse_args()
    build = (SOURCE / args.build).resolve()
    binary = build / "app" / "merindo-launcher"
    profile = built_profile(build)
    host, user, password, root = profile
    display = bool(os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))

    demo = build / "demo"
    shutil.rmtree(demo, ignore_errors=True)
    site = demo / "site"
    work = demo / "work"
    folder = site / root / "Merindo"
    folder.mkdir(parents=True)
    work.mkdir(parents=True)

    # A release a person can watch arrive: a few MiB, throttled on a display.
    served = {
        "Versione.Txt": b"1.0\r\n2.0\r\n",
        PRODUCT: padded(DEMO_PRODUCT, 3 << 20),
        COMPANION: padded(DEMO_COMPANION, 1 << 20),
        LIBRARY: bytes((i * 31) & 0xFF for i in range(768 << 10)),
    }
    for name, data in served.items():
        (folder / name).write_bytes(data)
    (work / "VersioneAttuale.Txt").write_bytes(b"1.0\r\n")
    trace = demo / "trace.log"

    print("== Merindo launcher demo" + (" with signed releases" if args.signed else ""))
    print("Server: vsftpd on port 21 as %s (this machine, in a network namespace), user %s" % (host, user))
    print("Served in /%s/Merindo:" % root)
    for name, data in served.items():
        print("  %-26s %12s bytes" % (name, human(len(data))))
    print("  version on the server: 2.0; recorded locally (VersioneAttuale.Txt): 1.0")
    print("Working folder: %s" % work)
    print("Window: %s" % ("on the display" if display else "none (headless run)"))
    print()

    rate = 1536 * 1024 if display else 0
    if args.signed:
        return signed_demo(build, binary, profile, Path(args.key).resolve(), site, folder, work, served, rate)
    ok = report_run(*run_launcher(binary, profile, site, work, trace, rate), work, served, trace)
    print()
    print("== update %s" % ("done: the new version was downloaded and started" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
