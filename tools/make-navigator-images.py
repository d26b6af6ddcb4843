#!/usr/bin/env python3
"""Writes the navigator's node images (16x16 PNG) into data/navigator/.

Each image is drawn here as sixteen rows of sixteen palette letters; "." is white, which the
navigator treats as transparent. Run from the tree's root after changing a drawing:
    python3 tools/make-navigator-images.py
"""
import os
import struct
import zlib

PALETTE = {
    ".": (255, 255, 255),
    "k": (32, 32, 32),
    "w": (200, 200, 200),
    "b": (40, 90, 200),
    "c": (120, 190, 235),
    "g": (40, 150, 60),
    "y": (240, 200, 40),
    "o": (230, 130, 30),
    "r": (200, 40, 40),
    "p": (130, 60, 170),
}

IMAGES = {
    "DB": [
        "................",
        "....kkkkkkkk....",
        "..kkccccccccckk.",
        ".kcccccccccccck.",
        ".kkccccccccccck.",
        ".kbkkkkkkkkkkbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kkbbbbbbbbbbkk.",
        ".kbkkkkkkkkkkbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        "..kkbbbbbbbbkk..",
        "....kkkkkkkk....",
        "................",
    ],
    "TABLE": [
        "................",
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kkkkkkkkkkkkkk.",
        ".k....k...k...k.",
        ".kkkkkkkkkkkkkk.",
        ".k....k...k...k.",
        ".kkkkkkkkkkkkkk.",
        ".k....k...k...k.",
        ".kkkkkkkkkkkkkk.",
        ".k....k...k...k.",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    "COLUMN": [
        "................",
        "................",
        ".....kkkkkk.....",
        ".....kbbbbk.....",
        ".....kkkkkk.....",
        ".....kyyyyk.....",
        ".....kkkkkk.....",
        ".....kyyyyk.....",
        ".....kkkkkk.....",
        ".....kyyyyk.....",
        ".....kkkkkk.....",
        ".....kyyyyk.....",
        ".....kkkkkk.....",
        "................",
        "................",
        "................",
    ],
    "STOREDPROC": [
        "................",
        "..kkkkkkkkkk....",
        "..kwwwwwwwwkk...",
        "..kwkkkkwwwkwk..",
        "..kwwwwwwwwkkkk.",
        "..kwkkkkkkwwwgk.",
        "..kwwwwwwwwwwgk.",
        "..kwwkkkkkkwwgk.",
        "..kwwwwwwwwwwgk.",
        "..kwkkkkkwwwwgk.",
        "..kwwwwwwwwwwgk.",
        "..kwkkkkkkkwwgk.",
        "..kwwwwwwwwwwgk.",
        "..kgggggggggggk.",
        "..kkkkkkkkkkkkk.",
        "................",
    ],
    "SUBPROC": [
        "................",
        "................",
        "................",
        "...kkkkkkk......",
        "...kgggggk......",
        "...kgggggk......",
        "...kkkkkkk......",
        "......k.........",
        "......k.........",
        "......k...k.....",
        "......kkkkkk....",
        "..........k.....",
        "................",
        "................",
        "................",
        "................",
    ],
    "TRIGGER": [
        "................",
        ".........kkkk...",
        "........kyyyk...",
        ".......kyyyk....",
        "......kyyyk.....",
        ".....kyyyk......",
        "....kyyyykkkk...",
        "...kyyyyyyyyk...",
        "...kkkkyyyyk....",
        "......kyyyk.....",
        ".....kyyyk......",
        ".....kyyk.......",
        "....kyyk........",
        "....kyk.........",
        "....kk..........",
        "................",
    ],
    "TYPE": [
        "................",
        "................",
        "..kkkkkkkkkkkk..",
        "..kppppppppppk..",
        "..kkkkkppkkkkk..",
        "......kppk......",
        "......kppk......",
        "......kppk......",
        "......kppk......",
        "......kppk......",
        "......kppk......",
        "......kppk......",
        "......kkkk......",
        "................",
        "................",
        "................",
    ],
    "ATTRIBUTE": [
        "................",
        "................",
        "................",
        ".......k........",
        "......kpk.......",
        ".....kpppk......",
        "....kpppppk.....",
        "...kpppppppk....",
        "....kpppppk.....",
        ".....kpppk......",
        "......kpk.......",
        ".......k........",
        "................",
        "................",
        "................",
        "................",
    ],
    "BUILTIN": [
        "................",
        "......kkkk......",
        "...kk.kook.kk...",
        "...kokkookkok...",
        "....kooooook....",
        "..kkoookkooookk.",
        "..koookk.kkooook",
        "..kkook....kookk",
        "..kkook....kookk",
        "..koookk..kooook",
        "..kkoookkkooookk",
        "....kooooook....",
        "...kokkookkok...",
        "...kk.kook.kk...",
        "......kkkk......",
        "................",
    ],
    "SEQUENCE": [
        "................",
        "................",
        "..kkk...........",
        "..krk...........",
        "..krk...........",
        "..krk..kkk......",
        "..krk..krk......",
        "..krk..krk......",
        "..krk..krk..kkk.",
        "..krk..krk..krk.",
        "..krk..krk..krk.",
        "..krk..krk..krk.",
        "..krk..krk..krk.",
        "..kkk..kkk..kkk.",
        "................",
        "................",
    ],
}


def png(rows):
    height = len(rows)
    width = len(rows[0])
    raw = b""
    for row in rows:
        assert len(row) == width, row
        raw += b"\x00" + b"".join(bytes(PALETTE[c]) for c in row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "navigator")
    os.makedirs(root, exist_ok=True)
    for name, rows in IMAGES.items():
        assert len(rows) == 16, name
        with open(os.path.join(root, name + ".png"), "wb") as out:
            out.write(png(rows))


if __name__ == "__main__":
    main()
