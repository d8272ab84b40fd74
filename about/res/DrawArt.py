#!/usr/bin/env python3
"""Draws the About program's pictures: the two 146 x 63 logos (a tilted
yellow diamond sign with a black border and pictogram above the hand-lettered
vendor name) and the program icon. 4 bits per pixel, the standard 16-colour
palette. Run from this folder; writes AboutLogo.bmp, AboutLogoAlt.bmp and
AboutDashboard.ico."""
import math
import random
import struct

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, GREY, SILVER, YELLOW, WHITE = 0, 4, 8, 7, 11, 15

W, H = 146, 63
CX, CY = 73.0, 22.5   # centre of the sign
TILT = math.radians(45 + 12)  # a diamond, turned a little further


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def to_sign(x, y):
    """Pixel centre in the sign's own turned frame."""
    dx, dy = x - CX, y - CY
    c, s = math.cos(-TILT), math.sin(-TILT)
    return dx * c - dy * s, dx * s + dy * c


def from_sign(u, v, lean=-12):
    """A point of the pictogram (upright frame) turned with the sign's lean."""
    a = math.radians(lean)
    u, v = u * 1.12, v * 1.12
    return CX + u * math.cos(a) - v * math.sin(a), CY + u * math.sin(a) + v * math.cos(a)


def in_ellipse(x, y, ex, ey, rx, ry, angle):
    a = math.radians(angle)
    dx, dy = x - ex, y - ey
    u = dx * math.cos(a) + dy * math.sin(a)
    v = -dx * math.sin(a) + dy * math.cos(a)
    return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0


def footprints(x, y):
    # Two bare feet, walking upwards: the left one lower, the right one higher.
    for side, (fu, fv) in ((-1, (-4.5, 3.5)), (1, (4.5, -3.0))):
        sx, sy = from_sign(fu, fv)
        hx, hy = from_sign(fu, fv + 5.0)
        if in_ellipse(x, y, sx, sy, 2.6, 4.2, -12) or in_ellipse(x, y, hx, hy, 2.0, 2.2, -12):
            return True
        for i, (tu, tv, r) in enumerate(((-1.8, -5.6, 1.1), (-0.3, -6.3, 0.9), (1.1, -6.0, 0.8),
                                         (2.2, -5.2, 0.7), (2.9, -4.1, 0.6))):
            ox, oy = from_sign(fu + side * tu, fv + tv)
            if math.hypot(x - ox, y - oy) <= r + 0.25:
                return True
    return False


def raised_hand(x, y):
    # An open hand, palm towards us: palm, four fingers, thumb to the side.
    px, py = from_sign(0.0, 4.0)
    if in_ellipse(x, y, px, py, 5.0, 5.0, -12):
        return True
    px2, py2 = from_sign(0.0, 8.0)
    if in_ellipse(x, y, px2, py2, 3.6, 3.0, -12):
        return True
    for fu, top in ((-3.9, -5.5), (-1.3, -8.0), (1.3, -8.5), (3.9, -6.5)):
        ax, ay = from_sign(fu, 1.0)
        bx, by = from_sign(fu, top)
        if seg_dist(x, y, ax, ay, bx, by) <= 0.85:
            return True
    ax, ay = from_sign(-4.0, 5.0)
    bx, by = from_sign(-8.2, 0.5)
    return seg_dist(x, y, ax, ay, bx, by) <= 1.1


GLYPHS = {
    'T': [[(0, 0), (6, 0)], [(3, 0), (3, 10)]],
    'E': [[(6, 0), (0, 0), (0, 10), (6, 10)], [(0, 5), (4.5, 5)]],
    'S': [[(6, 1), (5, 0), (1, 0), (0, 1), (0, 4), (1, 5), (5, 5), (6, 6), (6, 9), (5, 10),
           (1, 10), (0, 9)]],
    'L': [[(0, 0), (0, 10), (6, 10)]],
    '-': [[(1, 5.5), (5, 5.5)]],
    'Q': [[(1, 0), (5, 0), (6, 1), (6, 9), (5, 10), (1, 10), (0, 9), (0, 1), (1, 0)],
          [(3.5, 7), (6.5, 10.5)]],
    'U': [[(0, 0), (0, 9), (1, 10), (5, 10), (6, 9), (6, 0)]],
    'A': [[(0, 10), (3, 0), (6, 10)], [(1.2, 6), (4.8, 6)]],
    'R': [[(0, 10), (0, 0), (5, 0), (6, 1), (6, 4), (5, 5), (0, 5)], [(3, 5), (6, 10)]],
    'Y': [[(0, 0), (3, 5), (6, 0)], [(3, 5), (3, 10)]],
}


def lettering(text, left, top, scale_x, scale_y, advance):
    """Hand-lettered strokes: each point nudged a little, the baseline wavy."""
    rng = random.Random(7)
    strokes = []
    for i, ch in enumerate(text):
        ox = left + i * advance
        oy = top + 1.2 * math.sin(i * 0.9)
        slant = 0.12
        for stroke in GLYPHS[ch]:
            pts = []
            for gx, gy in stroke:
                jx, jy = rng.uniform(-0.35, 0.35), rng.uniform(-0.35, 0.35)
                x = ox + gx * scale_x + (10 - gy) * slant + jx
                pts.append((x, oy + gy * scale_y + jy))
            strokes.append(pts)
    return strokes


def logo(pictogram):
    name = lettering("TESSEL-QUARRY", 7.5, 46.5, 1.15, 1.3, 10.1)
    half = 15.6   # half side of the sign's square
    border = 2.2
    pixels = []
    for y in range(H):
        row = []
        for x in range(W):
            fx, fy = x + 0.5, y + 0.5
            u, v = to_sign(fx, fy)
            colour = WHITE
            if max(abs(u), abs(v)) <= half:
                colour = BLACK if max(abs(u), abs(v)) > half - border else YELLOW
                if colour == YELLOW and pictogram(fx, fy):
                    colour = BLACK
            for stroke in name:
                if any(seg_dist(fx, fy, *a, *b) <= 0.8 for a, b in zip(stroke, stroke[1:])):
                    colour = BLACK
                    break
            row.append(colour)
        pixels.append(row)
    return pixels


def pack4(row):
    data = bytearray()
    for i in range(0, len(row), 2):
        hi = row[i]
        lo = row[i + 1] if i + 1 < len(row) else 0
        data.append(hi << 4 | lo)
    while len(data) % 4:
        data.append(0)
    return bytes(data)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def write_bmp(path, pixels):
    width, height = len(pixels[0]), len(pixels)
    bits = b"".join(pack4(row) for row in reversed(pixels))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(bits), 2835, 2835, 16, 16)
    offset = 14 + len(info) + 64
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette_bytes() + bits)


def window_icon(size):
    """A plain application window: black frame, blue title bar, white client."""
    m = 1 if size == 16 else 2
    top = 2 if size == 16 else 4
    bottom = size - top
    bar = 4 if size == 16 else 7
    pixels, mask = [], []
    for y in range(size):
        row, mrow = [], []
        for x in range(size):
            inside = m <= x < size - m and top <= y < bottom
            if not inside:
                row.append(BLACK)
                mrow.append(1)
                continue
            mrow.append(0)
            if x in (m, size - m - 1) or y in (top, bottom - 1):
                row.append(BLACK)
            elif y < top + bar:
                box = size - m - 1 - (bar - 1)
                row.append(SILVER if size == 32 and box <= x < size - m - 2 and
                           top + 2 <= y < top + bar - 1 else NAVY)
            else:
                row.append(WHITE)
        pixels.append(row)
        mask.append(mrow)
    return pixels, mask


def write_ico(path, sizes):
    images = []
    for size in sizes:
        pixels, mask = window_icon(size)
        xor = b"".join(pack4(row) for row in reversed(pixels))
        and_rows = b""
        for mrow in reversed(mask):
            bits = bytearray((size + 31) // 32 * 4)
            for x, bit in enumerate(mrow):
                if bit:
                    bits[x // 8] |= 0x80 >> (x % 8)
            and_rows += bytes(bits)
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(and_rows),
                           0, 0, 16, 0)
        images.append((size, info + palette_bytes() + xor + and_rows))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in images))


if __name__ == "__main__":
    write_bmp("AboutLogo.bmp", logo(footprints))
    write_bmp("AboutLogoAlt.bmp", logo(raised_hand))
    write_ico("AboutDashboard.ico", (32, 16))
