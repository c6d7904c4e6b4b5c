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


def padded(text, size):
    """A script followed by comment padding, so that the transfer can be seen."""
    data = text.encode()
    filler = b"#" * 79 + b"\n"
    return data + filler * ((size - len(data)) // len(filler))


def human(n):
    return "{:,}".format(n).replace(",", ".")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    build = (SOURCE / args.build).resolve()
    binary = build / "app" / "merindo-launcher"
    host, user, password, root = built_profile(build)
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

    print("== Merindo launcher demo")
    print("Server: vsftpd on port 21 as %s (this machine, in a network namespace), user %s" % (host, user))
    print("Served in /%s/Merindo:" % root)
    for name, data in served.items():
        print("  %-26s %12s bytes" % (name, human(len(data))))
    print("  version on the server: 2.0; recorded locally (VersioneAttuale.Txt): 1.0")
    print("Working folder: %s" % work)
    print("Window: %s" % ("on the display" if display else "none (headless run)"))
    print()

    rate = 1536 * 1024 if display else 0
    started = time.monotonic()
    with NetNamespace(hosts=[host]) as ns, \
            VsftpdServer(root=str(site), user=user, password=password, netns=ns, port=21, max_rate=rate) as server:
        env = dict(os.environ, WIN32_PLATFORM_TRACE=str(trace))
        result = ns.run([str(binary)], cwd=str(work), timeout=300, env=env)
        commands = server.commands()
        elapsed = time.monotonic() - started
        # The product runs on its own; give it a moment before the namespace goes.
        marker = work / "merindo-started.txt"
        deadline = time.monotonic() + 10
        while not marker.exists() and time.monotonic() < deadline:
            time.sleep(0.05)

    print("The launcher ended after %.1f s with exit code %d." % (elapsed, result.returncode))
    print("Commands it sent: " + ", ".join(re.sub(r"^PASS .*", "PASS ****", c) for c in commands))
    print("Arrived in the working folder:")
    ok = True
    for name in (PRODUCT, COMPANION, LIBRARY):
        path = work / name
        if path.exists():
            same = path.read_bytes() == served[name]
            ok &= same
            print("  %-26s %12s bytes  %s" % (name, human(path.stat().st_size),
                                                 "identical to the server's" if same else "DIFFERENT"))
        else:
            ok = False
            print("  %-26s missing" % name)
    print("  VersioneAttuale.Txt still says: %s" % (work / "VersioneAttuale.Txt").read_text().strip())
    trace_lines = trace.read_text().splitlines() if trace.exists() else []
    beeps = sum(1 for l in trace_lines if l.startswith("beep "))
    starts = [l for l in trace_lines if l.startswith("start ")]
    print("Beeps: %d (one per completed file)" % beeps)
    if starts:
        print("Started: " + starts[0].split(" dir=", 1)[1].split(" ", 1)[1] + " in " +
              starts[0].split(" dir=", 1)[1].split(" ", 1)[0])
    if marker.exists():
        print("The product says: " + marker.read_text().strip())
    else:
        ok = False
        print("The product did not report that it started.")
    if result.stderr.strip():
        print("Launcher's error output:\n" + result.stderr)
    print()
    print("== update %s" % ("done: the new version was downloaded and started" if ok and result.returncode == 0
                             else "FAILED"))
    return 0 if ok and result.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
