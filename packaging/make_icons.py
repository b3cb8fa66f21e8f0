#!/usr/bin/env python3
"""Draws the program's desktop icon in the usual sizes, plus the SVG.

The same picture as the About box icon (a navy disc with four coloured
input strokes joining one output), drawn anti-aliased on a transparent
background.  Run it again after changing the picture; the files are
committed so that the build needs no Python.  Standard library only.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
APP_ID = "com.quorvane.HLXConfig"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SAMPLES = 4  # per axis and pixel

NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
WHITE = (255, 255, 255)
STROKES = ((255, 255, 0), (0, 255, 255), (0, 128, 0), (255, 0, 0))


def colour_at(x, y):
    """Colour (r, g, b) or None at a point of the 32 x 32 design."""
    d2 = (x - 16) ** 2 + (y - 16) ** 2
    if d2 > 14.5 ** 2:
        return None
    for i, c in enumerate(STROKES):
        top = 9 + i * 4
        if 6 <= x < 20 and top <= y < top + 2:
            return c
    if 20 <= x < 26 and 9 <= y < 25:
        return WHITE
    return BLUE if d2 > 12.5 ** 2 else NAVY


def render(n):
    rows = []
    scale = 32.0 / n
    for py in range(n):
        row = bytearray()
        for px in range(n):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row += bytes((r // a, g // a, b // a, a * 255 // (SAMPLES * SAMPLES)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def write_png(path, n, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def svg():
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">',
        '<circle cx="16" cy="16" r="14.5" fill="#0000ff"/>',
        '<circle cx="16" cy="16" r="12.5" fill="#000080"/>',
    ]
    for i, c in enumerate(STROKES):
        parts.append('<rect x="6" y="%d" width="14" height="2" fill="#%02x%02x%02x"/>' % ((9 + i * 4,) + c))
    parts.append('<rect x="20" y="9" width="6" height="16" fill="#ffffff"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    for n in SIZES:
        folder = os.path.join(HERE, "icons", "%dx%d" % (n, n))
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, APP_ID + ".png"), n, render(n))
    folder = os.path.join(HERE, "icons", "scalable")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, APP_ID + ".svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
