#!/usr/bin/env python3
"""Writes Ostrevane.ico: the program's 32 x 32, 16-colour icon (a sheet going into a shredder,
strips coming out below). Run it again after changing the picture; the .ico is committed."""
import struct
import sys
from pathlib import Path

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


def icon_bytes():
    lines = rows()
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
    image = header + palette + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = Path(__file__).with_name("Ostrevane.ico")
    out.write_bytes(icon_bytes())
    print(f"wrote {out}")
