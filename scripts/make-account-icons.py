#!/usr/bin/env python3
"""Draws the account icons of the e-mail account list into resources/PNG/.

EMAIL0_PNG to EMAIL7_PNG, by account kind: 0 the "Add a New Account..."
entry, 1 a generic SMTP account and the mail client, 2 to 7 the provider
presets. The files are committed; run this again only to change how they
look:

    python3 scripts/make-account-icons.py

Uses the drawing helpers of make-static-files.py and nothing beyond the
Python standard library.
"""
import importlib.util
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "resources", "PNG")

spec = importlib.util.spec_from_file_location("static_files", os.path.join(HERE, "make-static-files.py"))
draw = importlib.util.module_from_spec(spec)
spec.loader.exec_module(draw)

SIZE = 32
# body colour by kind; kind 0 is drawn with a badge on the generic envelope
COLOURS = ["#6E7781", "#6E7781", "#C8553D", "#6B3FA0", "#24508F", "#1F7FC4", "#C99A06", "#1F8A70"]


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def envelope(kind):
    body = draw.hexcolour(COLOURS[kind])
    paper = draw.hexcolour("#FFFFFF")
    left, right, top, bottom = 3.0, 29.0, 8.0, 25.0
    flap = ((left, top), (16.0, 17.5), (right, top))
    badge_c, badge_r = (24.5, 23.5), 6.5

    def shade(x, y):
        colour = (0.0, 0.0, 0.0, 0.0)
        if left <= x <= right and top <= y <= bottom:
            edge = min(x - left, right - x, y - top, bottom - y)
            colour = body if edge < 1.6 else draw.over(draw.hexcolour(COLOURS[kind], 0.18), paper)
            if min(segment_distance(x, y, flap[0], flap[1]), segment_distance(x, y, flap[1], flap[2])) < 1.0:
                colour = body
        if kind == 0:
            d = math.hypot(x - badge_c[0], y - badge_c[1])
            if d <= badge_r:
                colour = draw.hexcolour("#2E9E4F") if d < badge_r - 0.8 else paper
                if (abs(x - badge_c[0]) < 1.0 and abs(y - badge_c[1]) < 4.0) or \
                        (abs(y - badge_c[1]) < 1.0 and abs(x - badge_c[0]) < 4.0):
                    colour = paper
        return colour
    return draw.png_rgba(SIZE, draw.render(SIZE, shade))


def main():
    os.makedirs(OUT, exist_ok=True)
    for kind in range(8):
        data = envelope(kind)
        name = "EMAIL%d_PNG" % kind
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
        print("%-12s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
