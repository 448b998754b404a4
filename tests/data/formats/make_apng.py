#!/usr/bin/env python3
"""Writes the animation of disposal.gif as APNG, from its reference frames
disposal-frame0..4.png (read back as RGBA through ImageMagick), with the GIF's
delays: disposal.apng as five full-canvas frames, disposal-ops.apng with the
GIF's frame rectangles, disposals (background, previous) and blending over."""
import struct
import subprocess
import zlib

WIDTH, HEIGHT, DELAYS, PLAYS = 32, 24, [0, 0, 50, 300, 1000], 3
NONE, BACKGROUND, PREVIOUS = 0, 1, 2
SOURCE, OVER = 0, 1


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def rgba(path):
    return subprocess.run(["convert", path, "-depth", "8", "rgba:-"],
                          check=True, capture_output=True).stdout


def crop(pixels, x, y, w, h):
    return b"".join(pixels[((y + r) * WIDTH + x) * 4:((y + r) * WIDTH + x + w) * 4]
                    for r in range(h))


def write(name, frames):
    """frames: (pixels of w x h, x, y, w, h, dispose, blend) for each delay."""
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0))
    out += chunk(b"acTL", struct.pack(">II", len(frames), PLAYS))
    seq = 0
    for i, ((pixels, x, y, w, h, dispose, blend), delay) in enumerate(zip(frames, DELAYS)):
        raw = b"".join(b"\0" + pixels[r * w * 4:(r + 1) * w * 4] for r in range(h))
        out += chunk(b"fcTL", struct.pack(">IIIIIHHBB", seq, w, h, x, y, delay, 1000, dispose, blend))
        seq += 1
        data = zlib.compress(raw, 9)
        if i == 0:
            out += chunk(b"IDAT", data)
        else:
            out += chunk(b"fdAT", struct.pack(">I", seq) + data)
            seq += 1
    out += chunk(b"IEND", b"")
    open(name, "wb").write(out)


refs = [rgba(f"disposal-frame{i}.png") for i in range(5)]
write("disposal.apng", [(p, 0, 0, WIDTH, HEIGHT, NONE, SOURCE) for p in refs])
write("disposal-ops.apng", [
    (refs[0], 0, 0, WIDTH, HEIGHT, NONE, SOURCE),
    (crop(refs[1], 0, 0, 16, 12), 0, 0, 16, 12, NONE, SOURCE),
    (crop(refs[2], 16, 12, 16, 12), 16, 12, 16, 12, BACKGROUND, OVER),
    (crop(refs[3], 8, 6, 16, 12), 8, 6, 16, 12, PREVIOUS, OVER),
    (crop(refs[4], 31, 0, 1, 1), 31, 0, 1, 1, NONE, OVER),
])
