#!/usr/bin/env python3
"""Writes disposal.apng: the frames disposal-frame0..4.png (read back as RGBA
through ImageMagick) as a full-canvas APNG with the delays of disposal.gif."""
import struct
import subprocess
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def rgba(path):
    return subprocess.run(["convert", path, "-depth", "8", "rgba:-"],
                          check=True, capture_output=True).stdout


width, height, delays, plays = 32, 24, [0, 0, 50, 300, 1000], 3
out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
out += chunk(b"acTL", struct.pack(">II", len(delays), plays))
seq = 0
for i, delay in enumerate(delays):
    pixels = rgba(f"disposal-frame{i}.png")
    raw = b"".join(b"\0" + pixels[y * width * 4:(y + 1) * width * 4] for y in range(height))
    # Full-canvas frames: no disposal (0), source blending (0); delay in ms.
    out += chunk(b"fcTL", struct.pack(">IIIIIHHBB", seq, width, height, 0, 0, delay, 1000, 0, 0))
    seq += 1
    data = zlib.compress(raw, 9)
    if i == 0:
        out += chunk(b"IDAT", data)
    else:
        out += chunk(b"fdAT", struct.pack(">I", seq) + data)
        seq += 1
out += chunk(b"IEND", b"")
open("disposal.apng", "wb").write(out)
