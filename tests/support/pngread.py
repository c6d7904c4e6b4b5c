"""Reads the PNG files that the platform writes (8-bit RGB or RGBA, not
interlaced) into rows of (r, g, b) tuples and, for RGBA, rows of alpha
values, with the standard library only."""

import struct
import zlib


class Picture:
    def __init__(self, width, height, rows, alphas=None):
        self.width = width
        self.height = height
        self.rows = rows  # rows[y][x] == (r, g, b)
        self.alphas = alphas  # alphas[y][x] for RGBA files, else None

    def pixel(self, x, y):
        return self.rows[y][x]

    def opaque(self, x, y):
        return self.alphas is None or self.alphas[y][x] == 255

    def area(self, x, y, w, h):
        return [row[x:x + w] for row in self.rows[y:y + h]]

    def same_area(self, other, x, y, w, h):
        """True when both pictures hold the same pixels in the area."""
        return self.area(x, y, w, h) == other.area(x, y, w, h)

    def differences(self, other, x, y, w, h):
        return sum(a != b for ra, rb in zip(self.area(x, y, w, h), other.area(x, y, w, h)) for a, b in zip(ra, rb))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s is not a PNG file" % path)
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("%s: only 8-bit RGB(A) without interlace" % path)
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, alphas, previous, at = [], [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(left, up, corner)) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        if channels == 4:
            alphas.append(list(line[3::4]))
        previous = line
    return Picture(width, height, rows, alphas if channels == 4 else None)


def same_pixels(path_a, path_b):
    """True when two PNG files written by the platform hold the same pixels:
    its writer always filters and compresses the same pixels the same way, so
    this compares the decompressed image data without decoding it."""
    return _image_data(path_a) == _image_data(path_b)


def _image_data(path):
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, header = 8, b"", b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IHDR":
            header = data[pos + 8:pos + 8 + length]
        elif kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return header, zlib.decompress(idat)
