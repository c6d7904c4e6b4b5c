"""Fetches files with Python's ftplib in active mode, one connection, binary
type, 64 KiB blocks written straight to the output files (the peer of the
transfer benchmarks).

    /usr/bin/python3 ftplib_get.py HOST PORT USER PASSWORD REMOTE LOCAL [REMOTE LOCAL ...]
"""

import ftplib
import sys


def main(argv):
    host, port, user, password = argv[1], int(argv[2]), argv[3], argv[4]
    pairs = argv[5:]
    if not pairs or len(pairs) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    ftp = ftplib.FTP()
    ftp.connect(host, port)
    ftp.login(user, password)
    ftp.set_pasv(False)
    for remote, local in zip(pairs[0::2], pairs[1::2]):
        with open(local, "wb") as f:
            ftp.retrbinary("RETR " + remote, f.write, blocksize=65536)
    ftp.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
