#!/usr/bin/env python3
"""Turns the 24-bit BMP screenshots of the Windows window tests into PNG
files beside them (and removes the BMP files), with nothing but the
standard library. Usage: bmp_to_png.py FILE.bmp..."""

import struct
import sys
import zlib
from pathlib import Path


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def convert(bmp_path):
    data = bmp_path.read_bytes()
    if data[:2] != b"BM":
        raise ValueError(f"{bmp_path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError(f"{bmp_path}: {bits} bits per pixel, expected 24")
    stride = (width * 3 + 3) & ~3
    bottom_up = height > 0
    height = abs(height)
    rows = []
    for y in range(height):
        source = height - 1 - y if bottom_up else y
        start = offset + source * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\x00" + bytes(rgb))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    png = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
           + png_chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + png_chunk(b"IEND", b""))
    png_path = bmp_path.with_suffix(".png")
    png_path.write_bytes(png)
    bmp_path.unlink()
    print(f"screenshot: {png_path} ({width}x{height})")


def main(paths):
    for name in paths:
        path = Path(name)
        if path.exists():
            convert(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
