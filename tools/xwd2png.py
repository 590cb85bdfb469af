#!/usr/bin/env python3
"""Converts a 24/32-bit TrueColor X window dump (xwd) on stdin to a PNG file."""
import struct
import sys
import zlib


def main():
    data = sys.stdin.buffer.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit("xwd2png: only 24- and 32-bit dumps are supported (got %d)" % bits_per_pixel)
    step = bits_per_pixel // 8
    pixels = data[header_size + ncolors * 12:]
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * step]
        for x in range(width):
            pixel = line[x * step:x * step + step]
            # LSBFirst (0): B G R [X] in memory; MSBFirst: [X] R G B.
            rows += bytes((pixel[2], pixel[1], pixel[0])) if byte_order == 0 else bytes(pixel[-3:])

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b"")
    with open(sys.argv[1], "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main()
