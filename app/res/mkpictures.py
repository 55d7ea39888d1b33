#!/usr/bin/env python3
"""Builds the launcher's button pictures and the window icon from Pictures.txt.

Pictures.txt holds a palette (one character per colour, "." is transparent)
and 32 x 32 pixel-art pictures. Each picture becomes an .ico file with 32-bit
(alpha) images and their AND masks, one for each display scale the program
picks from: 32, 40, 48 and 64 pixels (100, 125, 150 and 200 %). `icon`
pictures also get the title bar's sizes, 16, 20, 24 and 32 pixels. Each
size is drawn from the 32 x 32 picture by area: a pixel takes the average
colour of the opaque part of the picture it covers, and is opaque when at
least half of what it covers is. With --png it writes enlarged previews
instead, through ImageMagick's `convert`, for looking at the drawing.
"""
import struct
import subprocess
import sys
from pathlib import Path

SIZE = 32
PICTURE_SIZES = (32, 40, 48, 64)
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)


def parse(text):
    palette, pictures, current = {}, {}, None
    section = None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "palette":
            section, current = "palette", None
            continue
        if words[0] in ("picture", "icon"):
            section = "picture"
            current = words[1]
            pictures[current] = {"rows": [], "icon": words[0] == "icon"}
            continue
        if section == "palette":
            key, value = words[0], words[1]
            if len(key) != 1:
                sys.exit(f"line {number}: palette key must be one character")
            palette[key] = None if value == "none" else tuple(
                int(value[i:i + 2], 16) for i in (0, 2, 4))
        elif section == "picture":
            row = words[0]
            if len(row) != SIZE:
                sys.exit(f"line {number}: row of {current} has {len(row)} pixels, not {SIZE}")
            unknown = set(row) - set(palette)
            if unknown:
                sys.exit(f"line {number}: colours {sorted(unknown)} not in the palette")
            pictures[current]["rows"].append([palette[c] for c in row])
        else:
            sys.exit(f"line {number}: unexpected text")
    for name, picture in pictures.items():
        if len(picture["rows"]) != SIZE:
            sys.exit(f"{name}: {len(picture['rows'])} rows, not {SIZE}")
    return pictures


def resample(rows, n):
    """The SIZE x SIZE picture drawn n x n, by area: target pixel t covers
    source pixels [t * SIZE / n, (t + 1) * SIZE / n), counted in units of
    1 / n of a source pixel so that the weights are whole numbers."""
    def spans(t):
        start, end = t * SIZE, (t + 1) * SIZE
        return [(s, min(end, (s + 1) * n) - max(start, s * n))
                for s in range(start // n, (end - 1) // n + 1)]
    out = []
    for ty in range(n):
        line = []
        for tx in range(n):
            total = opaque = 0
            colour = [0, 0, 0]
            for sy, wy in spans(ty):
                for sx, wx in spans(tx):
                    weight = wy * wx
                    total += weight
                    p = rows[sy][sx]
                    if p is not None:
                        opaque += weight
                        for i in range(3):
                            colour[i] += weight * p[i]
            line.append(tuple(c // opaque for c in colour) if 2 * opaque >= total else None)
        out.append(line)
    return out


def icon_image(rows):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA pixels bottom-up, AND mask."""
    n = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for p in row:
            pixels += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
    stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """An .ico file holding the given square images."""
    blobs = [icon_image(rows) for rows in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for rows, blob in zip(images, blobs):
        n = len(rows)
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def preview(rows, path):
    """An enlarged PNG on a checker background, through ImageMagick."""
    scale = 8
    n = len(rows)
    ppm = bytearray(f"P6 {n * scale} {n * scale} 255\n".encode())
    for y in range(n * scale):
        for x in range(n * scale):
            p = rows[y // scale][x // scale]
            if p is None:
                p = (200, 200, 200) if ((x // 4) + (y // 4)) % 2 else (240, 240, 240)
            ppm += bytes(p)
    subprocess.run(["convert", "ppm:-", str(path)], input=bytes(ppm), check=True)


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: mkpictures.py Pictures.txt OUTDIR [--png]")
    pictures = parse(Path(argv[1]).read_text(encoding="utf-8"))
    out = Path(argv[2])
    out.mkdir(parents=True, exist_ok=True)
    for name, picture in pictures.items():
        sizes = ICON_SIZES if picture["icon"] else PICTURE_SIZES
        images = [resample(picture["rows"], n) for n in sizes]
        if "--png" in argv:
            for n, rows in zip(sizes, images):
                preview(rows, out / f"{name}-{n}.png")
            continue
        (out / f"{name}.ico").write_bytes(ico(images))


if __name__ == "__main__":
    main(sys.argv)
