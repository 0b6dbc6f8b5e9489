#!/usr/bin/env python3
"""Writes Ostrevane.ico: the program's icon (a sheet going into a shredder, strips coming out
below), drawn as 32 x 32 in 16 colours. The shell asks for other sizes at other display scales:
those are made from the same picture, averaged over the area each pixel covers, in 32-bit colour
with alpha (256 x 256 as PNG). Run it again after changing the picture; the .ico is committed."""
import struct
import sys
import zlib
from pathlib import Path

# The designed size first: an icon loaded without a size asked is its first image.
SIZES = [32, 16, 20, 24, 40, 48, 64, 256]

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Picture characters and their palette index; "." is transparent.
INK = {"K": 0, "R": 9, "N": 4, "B": 12, "S": 7, "G": 8, "W": 15, "Y": 11}

PICTURE = """
................................
.......KKKKKKKKKKKKKKKKK........
.......KWWWWWWWWWWWWWWWKK.......
.......KWGGGGGGGGGGGWWWKWK......
.......KWWWWWWWWWWWWWWWKKKK.....
.......KWGGGGGGGGGGGGGWWWWK.....
.......KWWWWWWWWWWWWWWWWWWK.....
.......KWGGGGGGGGGWWWWWWWWK.....
.......KWWWWWWWWWWWWWWWWWWK.....
.......KWGGGGGGGGGGGGGGWWWK.....
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKK.
.KSSSSSSSSSSSSSSSSSSSSSSSSSSSSK.
.KSKKKKKKKKKKKKKKKKKKKKKKKKKKSK.
.KBBBBBBBBBBBBBBBBBBBBBBBBBBBBK.
.KBNNNNNNNNNNNNNNNNNNNNNNNNNNBK.
.KBNNNNNNNNNNNNNNNNNNNNNNNRRNBK.
.KBNNNNNNNNNNNNNNNNNNNNNNNRRNBK.
.KBNNNNNNNNNNNNNNNNNNNNNNNNNNBK.
.KBNNNNNNNNNNNNNNNNNNNNNNNNNNBK.
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKK.
.....KGGGGGGGGGGGGGGGGGGGGK.....
......KWK.KWK.KWK.KWK.KWK.KWK...
......KWK.KWK.KWK.KWK.KWK.KWK...
......KWK.KWK.KWK.KWK.KWK.KWK...
......KWK.KWK.KWK.KWK.KWK.KWK...
......KWK.KWK.KKK.KWK.KWK.KWK...
......KWK.KWK.....KWK.KWK.KKK...
......KKK.KWK.....KWK.KWK.......
..........KWK.....KKK.KWK.......
..........KKK.........KWK.......
......................KKK.......
................................
"""


def rows():
    lines = [line for line in PICTURE.strip("\n").split("\n")]
    if len(lines) != 32 or any(len(line) != 32 for line in lines):
        sys.exit("the picture must be 32 x 32")
    return lines


def image_16_colours(lines):
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for line in reversed(lines):  # bitmaps are stored bottom row first
        for x in range(0, 32, 2):
            high = INK.get(line[x], 0)
            low = INK.get(line[x + 1], 0)
            colour.append(high << 4 | low)
        bits = 0
        for x, char in enumerate(line):
            if char == ".":
                bits |= 1 << (31 - x)
        mask += bits.to_bytes(4, "big")
    return header + palette + bytes(colour) + bytes(mask)


def resampled(lines, size):
    """Rows of (r, g, b, a) at size x size: each pixel the average of the picture's area under
    it, colours weighted by their opacity."""
    def spans(target):
        # For each target pixel, the source pixels it covers and by how much.
        out = []
        for t in range(target):
            start, end = t * 32 / target, (t + 1) * 32 / target
            out.append([(s, min(end, s + 1) - max(start, s))
                        for s in range(int(start), min(32, int(-(-end // 1))))
                        if min(end, s + 1) > max(start, s)])
        return out
    axis = spans(size)
    picture = []
    for ys in axis:
        row = []
        for xs in axis:
            r = g = b = a = area = 0.0
            for y, wy in ys:
                for x, wx in xs:
                    w = wy * wx
                    char = lines[y][x]
                    area += w
                    if char != ".":
                        pr, pg, pb = PALETTE[INK[char]]
                        r, g, b, a = r + pr * w, g + pg * w, b + pb * w, a + w
            row.append((round(r / a), round(g / a), round(b / a), round(255 * a / area))
                       if a else (0, 0, 0, 0))
        picture.append(row)
    return picture


def image_32_bit(lines, size):
    picture = resampled(lines, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    stride = (size + 31) // 32 * 4
    for row in reversed(picture):
        bits = 0
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits |= 1 << (stride * 8 - 1 - x)
        mask += bits.to_bytes(stride, "big")
    return header + bytes(colour) + bytes(mask)


def png(lines, size):
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel)
                   for row in resampled(lines, size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_bytes():
    lines = rows()
    images = []
    for size in SIZES:
        if size == 32:
            images.append((size, 16, 4, image_16_colours(lines)))
        elif size == 256:
            images.append((size, 0, 32, png(lines, size)))
        else:
            images.append((size, 0, 32, image_32_bit(lines, size)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, colours, bits, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                               len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(image for *_, image in images)


if __name__ == "__main__":
    out = Path(__file__).with_name("Ostrevane.ico")
    out.write_bytes(icon_bytes())
    print(f"wrote {out}")
