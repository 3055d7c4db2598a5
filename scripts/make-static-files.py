#!/usr/bin/env python3
"""Draws the program's built-in static files into resources/RC_DATA/.

The files are committed; run this again only to change how they look:

    python3 scripts/make-static-files.py

Needs nothing beyond the Python standard library, so the output is the same
on every machine.
"""
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "RC_DATA")

SUPERSAMPLE = 4


# ---------------------------------------------------------------- drawing ---

def render(size, shade, height=None, supersample=SUPERSAMPLE):
    """Returns size*height RGBA tuples (height defaults to size); shade(x, y)
    gives an RGBA float tuple (0..1) for a point in pixel units, sampled
    supersample^2 times a pixel."""
    pixels = []
    n = supersample
    for py in range(size if height is None else height):
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = shade(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    # premultiplied, so edges blend without dark fringes
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            samples = n * n
            a = acc[3] / samples
            if a <= 0:
                pixels.append((0, 0, 0, 0))
                continue
            pixels.append(tuple(int(round(min(1.0, c / acc[3]) * 255)) for c in acc[:3])
                          + (int(round(a * 255)),))
    return pixels


def over(top, bottom):
    """Porter-Duff over of two straight RGBA float tuples."""
    ta, ba = top[3], bottom[3]
    a = ta + ba * (1 - ta)
    if a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a,)


def hexcolour(text, alpha=1.0):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) / 255 for i in (0, 2, 4)) + (alpha,)


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (x - q[0]) * (p[1] - q[1]) - (p[0] - q[0]) * (y - q[1])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


# ------------------------------------------------------------ file formats ---

def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_rgba(size, pixels, height=None):
    height = size if height is None else height
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for r, g, b, a in pixels[y * size:(y + 1) * size]:
            raw += bytes((r, g, b, a))
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, height, 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def png_palette(size, pixels):
    palette = []
    index = {}
    rows = bytearray()
    for y in range(size):
        rows.append(0)
        for p in pixels[y * size:(y + 1) * size]:
            if p[3] == 0:
                p = (0, 0, 0, 0)
            if p not in index:
                index[p] = len(palette)
                palette.append(p)
            rows.append(index[p])
    if len(palette) > 256:
        sys.exit("palette image needs %d colours" % len(palette))
    plte = b"".join(bytes(p[:3]) for p in palette)
    trns = bytes(p[3] for p in palette)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
            + png_chunk(b"PLTE", plte)
            + png_chunk(b"tRNS", trns.rstrip(b"\xff") or b"\xff")
            + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + png_chunk(b"IEND", b""))


def ico_32bpp(size, pixels):
    """One image, 32 bits a pixel, stored as a bottom-up BGRA bitmap with an
    AND mask, as every icon reader understands."""
    xor = bytearray()
    for y in reversed(range(size)):
        for r, g, b, a in pixels[y * size:(y + 1) * size]:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixels[y * size + x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
            + image)


# ------------------------------------------------------------------ icons ---

def arrow(forward, hover):
    """A round button with a white triangle; brighter while hovered."""
    size = 48
    c = size / 2
    radius = 21.0
    base = hexcolour("#C8553D") if hover else hexcolour("#5A5F66")
    rim = hexcolour("#FFFFFF", 0.85)
    if forward:
        tri = ((19.0, 14.0), (19.0, 34.0), (35.0, 24.0))
    else:
        tri = ((29.0, 14.0), (29.0, 34.0), (13.0, 24.0))

    def shade(x, y):
        d = math.hypot(x - c, y - c)
        if d > radius + 1.5:
            return (0.0, 0.0, 0.0, 0.0)
        if d > radius:
            return rim
        # a soft light from the top keeps the flat disc from looking dead
        light = 0.12 * (1 - (y - (c - radius)) / (2 * radius))
        body = tuple(min(1.0, ch + light) for ch in base[:3]) + (1.0,)
        if in_triangle(x, y, *tri):
            return over(hexcolour("#FFFFFF"), body)
        return body
    return png_rgba(size, render(size, shade))


def word_icon():
    """A document page with a folded corner and a few text lines; drawn
    without smoothing so it fits an 8-bit palette."""
    size = 32
    page = (255, 255, 255, 255)
    edge = (70, 90, 120, 255)
    fold = (200, 210, 225, 255)
    band = (43, 87, 154, 255)
    line = (150, 165, 190, 255)
    pixels = []
    left, right, top, bottom, corner = 5, 26, 2, 29, 7
    for y in range(size):
        for x in range(size):
            p = (0, 0, 0, 0)
            inside = left <= x <= right and top <= y <= bottom
            cut = x - (right - corner) > y - top  # above the fold diagonal
            if inside and not cut:
                p = page
                if x in (left, right) or y in (top, bottom):
                    p = edge
                elif 8 <= y <= 12 and left + 3 <= x <= right - 9:
                    p = band
                elif y in (15, 18, 21, 24) and left + 3 <= x <= right - 3 - (4 if y == 24 else 0):
                    p = line
            if inside and x >= right - corner and y <= top + corner:
                dx, dy = x - (right - corner), y - top
                if dx == dy:
                    p = edge
                elif dx < dy and (x == right - corner or y == top + corner):
                    p = edge
                elif dx < dy:
                    p = fold
            pixels.append(p)
    # the "W" on the band
    for x, y in ((8, 9), (8, 10), (9, 11), (10, 10), (11, 11), (12, 10), (12, 9)):
        pixels[y * size + x] = page
    return png_palette(size, pixels)


def disc_icon():
    """A silver disc with a coloured sheen, for the CD's icon."""
    size = 48
    c = size / 2

    def shade(x, y):
        d = math.hypot(x - c, y - c)
        if d > 22.5 or d < 4.0:
            return (0.0, 0.0, 0.0, 0.0)
        if d > 21.5 or d < 5.0:
            return hexcolour("#7D8590")
        if d < 9.0:
            return hexcolour("#D9DEE4")
        angle = math.atan2(y - c, x - c)
        sheen = 0.5 + 0.5 * math.cos(2 * angle + 0.6)
        silver = hexcolour("#B9C0C9")
        tint = hexcolour("#C8553D") if math.sin(angle) > 0 else hexcolour("#3D7EC8")
        mix = 0.28 * sheen
        return tuple(silver[i] * (1 - mix) + tint[i] * mix + 0.15 * sheen for i in range(3)) + (1.0,)
    return ico_32bpp(size, render(size, shade))


AUTORUN = b"[autorun]\r\nShellExecute=portfolio.html\r\nicon=autorun.ico\r\nlabel=Portfolio"


def main():
    os.makedirs(OUT, exist_ok=True)
    files = {
        "AUTORUN_INF": AUTORUN,
        "AUTORUN_ICO": disc_icon(),
        "WORD_PNG": word_icon(),
        "FORWARD_ON_PNG": arrow(True, True),
        "FORWARD_OFF_PNG": arrow(True, False),
        "BACKWARD_ON_PNG": arrow(False, True),
        "BACKWARD_OFF_PNG": arrow(False, False),
    }
    assert len(AUTORUN) == 73
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
        print("%-18s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
