#!/usr/bin/env python3
"""Draws the lamp masks and the About box pictures into this folder.

Run it again after changing a shape; the PNGs are committed so that the
build needs no Python.  Standard library only.

Lamp masks: 16 shapes x 4 looks, 13 x 13 pixels, 16-colour palette.
Silver (192,192,192) is the face and olive (128,128,0) the background; the
control replaces both when it paints, every other colour is drawn as is.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 13
C = SIZE / 2.0

# 16-colour palette; index 0 olive (background key), 1 silver (face key).
PALETTE = [
    (128, 128, 0),    # 0 olive: background
    (192, 192, 192),  # 1 silver: face
    (255, 255, 255),  # 2 white: highlight
    (128, 128, 128),  # 3 grey: shadow
    (0, 0, 0),        # 4 black: flat outline
    (64, 64, 64),     # 5 dark grey: outer edge
    (224, 224, 224),  # 6 light grey
    (0, 0, 128),      # 7 navy (About pictures)
    (0, 128, 128),    # 8 teal
    (0, 0, 255),      # 9 blue
    (255, 255, 0),    # 10 yellow
    (128, 0, 0),      # 11 maroon
    (0, 128, 0),      # 12 green
    (255, 0, 0),      # 13 red
    (0, 255, 255),    # 14 aqua
    (160, 160, 164),  # 15 mid grey
]
OLIVE, SILVER, WHITE, GREY, BLACK = 0, 1, 2, 3, 4


def write_png(path, width, height, pixels, palette):
    """pixels: rows of palette indices; written as a 4-bit indexed PNG."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        packed = bytearray()
        for i in range(0, width, 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < width else 0
            packed.append((hi << 4) | lo)
        raw += packed

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    plte = b"".join(bytes(c) for c in palette)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", plte)
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# Shapes as signed distance functions: negative inside, in pixels.

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(rx, ry):
    return lambda x, y: (math.hypot((x - C) / rx, (y - C) / ry) - 1.0) * min(rx, ry)


def polygon(points):
    """Convex polygon given clockwise in screen coordinates (y down)."""
    edges = []
    n = len(points)
    for i in range(n):
        (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
        dx, dy = x2 - x1, y2 - y1
        length = math.hypot(dx, dy)
        # Outward normal of a clockwise polygon with y pointing down.
        edges.append((x1, y1, dy / length, -dx / length))

    def sdf(x, y):
        return max((x - ex) * nx + (y - ey) * ny for ex, ey, nx, ny in edges)

    return sdf


def difference(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def regular(count, radius, start_deg):
    pts = []
    for i in range(count):
        a = math.radians(start_deg + 360.0 * i / count)
        pts.append((C + radius * math.cos(a), C + 0.5 + radius * math.sin(a)))
    return pts


R = 6.4
SHAPES = {
    "AMDMDLED": polygon([(C, C - R), (C + R, C), (C, C + R), (C - R, C)]),
    "AMLPSLEDHRZ": ellipse(R, 4.2),
    "AMLPSLEDVRT": ellipse(4.2, R),
    "AMMONLEDLEFT": difference(circle(C, C, R), circle(C + 4.0, C, 5.2)),
    "AMMONLEDRIGHT": difference(circle(C, C, R), circle(C - 4.0, C, 5.2)),
    "AMPRLLEDBCK": polygon([(0.1, 2.5), (8.5, 2.5), (12.9, 10.5), (4.5, 10.5)]),
    "AMPRLLEDFWT": polygon([(4.5, 2.5), (12.9, 2.5), (8.5, 10.5), (0.1, 10.5)]),
    "AMPNTLED": polygon(regular(5, 6.6, -90)),
    "AMRNDLED": circle(C, C, R),
    "AMRCTLEDHRZ": polygon([(0.1, 3.0), (12.9, 3.0), (12.9, 10.0), (0.1, 10.0)]),
    "AMRCTLEDVRT": polygon([(3.0, 0.1), (10.0, 0.1), (10.0, 12.9), (3.0, 12.9)]),
    "AMSQRLED": polygon([(0.6, 0.6), (12.4, 0.6), (12.4, 12.4), (0.6, 12.4)]),
    "AMTRILEDDWN": polygon([(0.1, 1.5), (12.9, 1.5), (C, 12.9)]),
    "AMTRILEDLEFT": polygon([(0.1, C), (11.5, 0.1), (11.5, 12.9)]),
    "AMTRILEDRIGHT": polygon([(1.5, 0.1), (12.9, C), (1.5, 12.9)]),
    "AMTRILEDUP": polygon([(C, 0.1), (12.9, 11.5), (0.1, 11.5)]),
}

LOOKS = ["", "3DUP", "3DDWN", "FLAT"]


def draw_led(sdf, look):
    grid = [[OLIVE] * SIZE for _ in range(SIZE)]
    inside = [[sdf(x + 0.5, y + 0.5) <= 0.0 for x in range(SIZE)] for y in range(SIZE)]
    inset = {"": 0.0, "3DUP": 1.6, "3DDWN": 1.6, "FLAT": 1.0}[look]
    face = [[sdf(x + 0.5, y + 0.5) <= -inset for x in range(SIZE)] for y in range(SIZE)]
    cells = [(x, y) for y in range(SIZE) for x in range(SIZE) if face[y][x]]
    fx = sum(x for x, _ in cells) / max(1, len(cells))
    fy = sum(y for _, y in cells) / max(1, len(cells))
    for y in range(SIZE):
        for x in range(SIZE):
            if not inside[y][x]:
                continue
            if face[y][x]:
                grid[y][x] = SILVER
            elif look == "FLAT":
                grid[y][x] = BLACK
            else:
                # Light from the upper left: the rim facing it is bright on a
                # raised lamp and dark on a lowered one.
                px, py, e = x + 0.5, y + 0.5, 0.5
                nx = sdf(px + e, py) - sdf(px - e, py)
                ny = sdf(px, py + e) - sdf(px, py - e)
                lit = nx + ny < 0
                if look == "3DUP":
                    grid[y][x] = WHITE if lit else GREY
                else:
                    grid[y][x] = GREY if lit else WHITE
    if look != "FLAT":
        # A small reflection on the face gives the lamp its depth.
        best = None
        for x, y in cells:
            score = (x - fx) + (y - fy)
            if all(face[yy][xx] for xx, yy in ((x - 1, y), (x, y - 1)) if 0 <= xx < SIZE and 0 <= yy < SIZE):
                if best is None or score < best[0]:
                    best = (score, x, y)
        if best is not None and len(cells) > 12:
            _, hx, hy = best
            grid[hy + 1][hx + 1] = WHITE if face[hy + 1][hx + 1] else grid[hy + 1][hx + 1]
    return grid


def draw_about_icon():
    """32 x 32 program icon: a navy disc with four coloured input strokes."""
    n = 32
    grid = [[6] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            d = math.hypot(x + 0.5 - 16, y + 0.5 - 16)
            if d <= 14.5:
                grid[y][x] = 7
            if 12.5 < d <= 14.5:
                grid[y][x] = 9
    for i, colour in enumerate((10, 14, 12, 13)):
        y = 9 + i * 4
        for x in range(6, 20):
            grid[y][x] = colour
            grid[y + 1][x] = colour
    for y in range(9, 25):
        for x in range(20, 26):
            grid[y][x] = 2
    return n, n, grid


def draw_logo():
    """96 x 32 logo: a wave under a sail, in navy and teal."""
    w, h = 96, 32
    grid = [[2] * w for _ in range(h)]
    for x in range(w):
        wave = 24 + 3 * math.sin(x / 6.0)
        for y in range(h):
            if y >= wave:
                grid[y][x] = 8 if y < wave + 3 else 7
    for y in range(3, 22):
        span = int((y - 3) * 0.9)
        for x in range(40 - span // 2, 40 + span // 2 + 1):
            grid[y][x] = 9
        for x in range(46, 46 + span // 2 + 1):
            grid[y][x] = 7
    return w, h, grid


def main():
    led_dir = os.path.join(HERE, "leds")
    os.makedirs(led_dir, exist_ok=True)
    for base, sdf in SHAPES.items():
        for look in LOOKS:
            write_png(os.path.join(led_dir, base + look + ".png"), SIZE, SIZE, draw_led(sdf, look), PALETTE)
    w, h, grid = draw_about_icon()
    write_png(os.path.join(HERE, "ProgramIcon.png"), w, h, grid, PALETTE)
    w, h, grid = draw_logo()
    write_png(os.path.join(HERE, "Logo.png"), w, h, grid, PALETTE)


if __name__ == "__main__":
    main()
