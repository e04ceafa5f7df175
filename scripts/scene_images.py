#!/usr/bin/env python3
"""Writes the layer images the scenes stamp, byte for byte the same on every
run: straight 8-bit RGBA PNGs with stored (uncompressed) deflate blocks, so
that no compressor version changes a byte.

  scenes/bench/stamp.png      64x64, W7's layer: the peers' stampImage() (as
                              bench::stampImage() in bench/workloads.h), a
                              ring of hues and a white bar at alpha 200
  scenes/examples/emblem.png  48x48, a small badge for the example scene
                              layer_stamps.json

usage: scene_images.py [REPO]   (default: the folder above this script)
"""
import math
import os
import struct
import sys
import zlib


def png_bytes(width, height, rgba):
    """rgba: rows of (r, g, b, a) tuples, 0..255."""
    raw = bytearray()
    for row in rgba:
        raw.append(0)  # filter type None
        for pixel in row:
            raw.extend(pixel)
    # zlib stream of stored blocks of at most 65535 bytes, then the Adler-32.
    stream = bytearray(b"\x78\x01")
    for start in range(0, len(raw), 65535):
        block = raw[start:start + 65535]
        last = 1 if start + 65535 >= len(raw) else 0
        stream.append(last)
        stream.extend(struct.pack("<HH", len(block), len(block) ^ 0xFFFF))
        stream.extend(block)
    stream.extend(struct.pack(">I", zlib.adler32(bytes(raw))))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", bytes(stream)) + chunk(b"IEND", b"")


def stamp_image():
    """The peers' stampImage(), operation for operation; channels truncate."""
    size = 64
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x + 0.5 - 32.0, y + 0.5 - 32.0
            d = math.sqrt(dx * dx + dy * dy)
            if 20.0 <= d < 30.0:
                a = math.atan2(dy, dx)
                row.append((int(127.5 + 127.5 * math.cos(a)), int(127.5 + 127.5 * math.cos(a + 2.0944)),
                            int(127.5 + 127.5 * math.cos(a + 4.1888)), 255))
            elif abs(dy) < 4.0 and abs(dx) < 20.0:
                row.append((255, 255, 255, 200))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return size, rows


def emblem_image():
    """An orange disc with a dark rim and a white four-pointed star, edges
    antialiased by 4 x 4 samples per pixel; only +, *, / and sqrt, which
    round the same everywhere."""
    size, centre, samples = 48, 24.0, 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            # Coverage counts of rim, disc face and star among the samples.
            rim = face = star = 0
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples - centre
                    py = y + (sy + 0.5) / samples - centre
                    r = math.sqrt(px * px + py * py)
                    if r >= 22.0:
                        continue
                    # The star: |x| and |y| under a concave outline of four points of 16 pixels.
                    ax, ay = abs(px), abs(py)
                    if math.sqrt(ax) + math.sqrt(ay) < 4.0:
                        star += 1
                    elif r >= 19.0:
                        rim += 1
                    else:
                        face += 1
            total = samples * samples
            covered = rim + face + star
            if covered == 0:
                row.append((0, 0, 0, 0))
                continue
            # Straight colour: the coverage-weighted mean of the parts.
            colour = [(rim * c0 + face * c1 + star * c2 + covered // 2) // covered
                      for c0, c1, c2 in zip((150, 60, 20), (250, 150, 40), (255, 255, 255))]
            row.append((colour[0], colour[1], colour[2], (covered * 255 + total // 2) // total))
        rows.append(row)
    return size, rows


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    for path, (size, rows) in (("scenes/bench/stamp.png", stamp_image()),
                               ("scenes/examples/emblem.png", emblem_image())):
        with open(os.path.join(repo, path), "wb") as out:
            out.write(png_bytes(size, size, rows))


if __name__ == "__main__":
    main()
