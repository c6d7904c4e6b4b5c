"""Reads what `xwd -root -silent` writes of a TrueColor screen (24 or 32
bits a pixel, Z format) into a pngread.Picture, with the standard library
only."""

import struct

from pngread import Picture

_FIELDS = ("header_size version format depth width height xoffset byte_order unit bit_order pad bits_per_pixel "
           "bytes_per_line visual_class red_mask green_mask blue_mask bits_per_rgb colormap_entries ncolors "
           "window_width window_height window_x window_y border_width").split()


def _shift(mask):
    return (mask & -mask).bit_length() - 1


def parse(data):
    header = dict(zip(_FIELDS, struct.unpack(">25I", data[:100])))
    if header["format"] != 2 or header["bits_per_pixel"] not in (24, 32):
        raise ValueError("only 24- or 32-bit Z-format screens, not format %d at %d bits" %
                         (header["format"], header["bits_per_pixel"]))
    at = header["header_size"] + 12 * header["ncolors"]
    order = "little" if header["byte_order"] == 0 else "big"
    size = header["bits_per_pixel"] // 8
    width, height, stride = header["width"], header["height"], header["bytes_per_line"]
    masks = [header["red_mask"], header["green_mask"], header["blue_mask"]]
    shifts = [_shift(m) for m in masks]
    rows = []
    for y in range(height):
        line = data[at + y * stride:at + y * stride + width * size]
        pixels = (int.from_bytes(line[x:x + size], order) for x in range(0, width * size, size))
        rows.append([tuple((p & m) >> s for m, s in zip(masks, shifts)) for p in pixels])
    return Picture(width, height, rows)


def read(path):
    with open(path, "rb") as f:
        return parse(f.read())
