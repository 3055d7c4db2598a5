#!/usr/bin/env python3
"""Draws the two fixed pictures of the main window's page strip into
resources/RC_DATA/.

STRIP_STATEMENT_PNG is the statement page (a sheet with a heading and lines
of text), STRIP_ADD_PNG the "Add Artwork" item (a frame with a plus) and
STRIP_DEFAULT_PNG what an artwork without a picture shows (a grey landscape),
all 133 by 93 pixels. The files are committed; run this again only to change how
they look:

    python3 scripts/make-strip-images.py

Uses the drawing helpers of make-static-files.py and nothing beyond the
Python standard library.
"""
import importlib.util
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "resources", "RC_DATA")

spec = importlib.util.spec_from_file_location("static_files", os.path.join(HERE, "make-static-files.py"))
draw = importlib.util.module_from_spec(spec)
spec.loader.exec_module(draw)

WIDTH, HEIGHT = 133, 93


def render(shade):
    return draw.png_rgba(WIDTH, draw.render(WIDTH, shade, HEIGHT, supersample=3), HEIGHT)


CLEAR = (0.0, 0.0, 0.0, 0.0)
PAPER = draw.hexcolour("#FFFFFF")
INK = draw.hexcolour("#8A939C")
ORANGE = draw.hexcolour("#FF6600")
SHADOW = draw.hexcolour("#000000", 0.18)


def in_box(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def statement(x, y):
    left, top, right, bottom = 41.0, 6.0, 92.0, 87.0
    if in_box(x, y, left, top, right, bottom):
        if min(x - left, right - x, y - top, bottom - y) < 1.0:
            return INK
        if in_box(x, y, left + 7, top + 8, right - 14, top + 13):
            return ORANGE
        for line in range(8):
            ly = top + 22 + line * 7
            end = right - 7 - (18 if line in (3, 7) else 0)
            if in_box(x, y, left + 7, ly, end, ly + 2.2):
                return INK
        return PAPER
    if in_box(x, y, left + 3, top + 3, right + 3, bottom + 3):
        return SHADOW
    return CLEAR


def add_artwork(x, y):
    left, top, right, bottom = 26.0, 8.0, 107.0, 85.0
    cx, cy = (left + right) / 2, (top + bottom) / 2
    if abs(x - cx) < 4.5 and abs(y - cy) < 22 or abs(y - cy) < 4.5 and abs(x - cx) < 22:
        return ORANGE
    if in_box(x, y, left, top, right, bottom):
        edge = min(x - left, right - x, y - top, bottom - y)
        along = (x - left) if min(y - top, bottom - y) < 1.5 else (y - top)
        if edge < 1.5 and int(along / 6) % 2 == 0:
            return INK
    return CLEAR


def no_picture(x, y):
    left, top, right, bottom = 31.0, 12.0, 102.0, 81.0
    grey = draw.hexcolour("#B8BEC4")
    if not in_box(x, y, left, top, right, bottom):
        return CLEAR
    if min(x - left, right - x, y - top, bottom - y) < 2.0:
        return grey
    if (x - 82) ** 2 + (y - 30) ** 2 < 36:
        return grey
    if draw.in_triangle(x, y, (36, 77), (58, 40), (80, 77)) or draw.in_triangle(x, y, (62, 77), (79, 52), (97, 77)):
        return grey
    return PAPER


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, shade in (("STRIP_STATEMENT_PNG", statement), ("STRIP_ADD_PNG", add_artwork),
                        ("STRIP_DEFAULT_PNG", no_picture)):
        data = render(shade)
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
        print("%-20s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
