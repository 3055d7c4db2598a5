#!/usr/bin/env python3
"""Draws the artworks of the sample portfolio into data/sample/ and writes
its texts beside them (sample.json).

The build assembles "Sample Portfolio.pfo" from these files with the
program's own portfolio writer (velmora-make-sample) and places it beside
the program, where the first recent file of a fresh start points. The
files are committed; run this again only to change the sample:

    python3 scripts/make-sample-portfolio.py

Uses the drawing helpers of make-static-files.py and nothing beyond the
Python standard library.
"""
import importlib.util
import json
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "data", "sample")

spec = importlib.util.spec_from_file_location("static_files", os.path.join(HERE, "make-static-files.py"))
draw = importlib.util.module_from_spec(spec)
spec.loader.exec_module(draw)

WIDTH, HEIGHT = 480, 360
SUPERSAMPLE = 2


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def tide_lines(w, h):
    """Bands of sea under a low sun, their borders rolling like waves."""
    sky_top, sky_low = draw.hexcolour("#F4D9B0"), draw.hexcolour("#F7EEDC")
    sun = draw.hexcolour("#F08A4B")
    bands = [draw.hexcolour(c) for c in ("#9FC5D6", "#6FA3BD", "#3F7E9E", "#285E7D", "#173F57")]
    horizon = h * 0.42

    def shade(x, y):
        if y < horizon:
            colour = mix(sky_top, sky_low, y / horizon)
            d = math.hypot(x - w * 0.68, y - horizon * 0.72)
            return mix(sun, colour, smooth(h * 0.10, h * 0.105, d))
        depth = (y - horizon) / (h - horizon)
        wave = 0.035 * math.sin(x / w * math.tau * 3 + depth * 9) + 0.02 * math.sin(x / w * math.tau * 7)
        band = min(len(bands) - 1, max(0, int((depth + wave) * len(bands))))
        return bands[band]
    return shade


def orchard(w, h):
    """Round trees in autumn colours on a hill, under a pale evening sky."""
    rng = random.Random(7)
    sky, haze = draw.hexcolour("#CFE0E8"), draw.hexcolour("#F2E6CF")
    hill, hill_dark = draw.hexcolour("#8E9B4E"), draw.hexcolour("#5F6B33")
    trunk = draw.hexcolour("#4A3323")
    colours = [draw.hexcolour(c) for c in ("#D9622B", "#E8A33D", "#B8432F", "#C98B2E", "#9E3B26")]
    trees = []
    for i in range(7):
        cx = w * (0.08 + i * 0.14) + rng.uniform(-10, 10)
        ground = h * 0.62 + 0.10 * h * math.sin(cx / w * math.pi)
        r = rng.uniform(0.07, 0.10) * h
        trees.append((cx, ground, r, colours[i % len(colours)]))

    def shade(x, y):
        ground = h * 0.62 + 0.10 * h * math.sin(x / w * math.pi)
        if y < ground:
            colour = mix(sky, haze, y / ground)
        else:
            colour = mix(hill, hill_dark, (y - ground) / (h - ground))
        for cx, base, r, leaf in trees:
            if abs(x - cx) < r * 0.12 and base - r * 1.2 < y < base + 4:
                colour = trunk
            if math.hypot(x - cx, y - (base - r * 1.6)) < r:
                colour = leaf
        return colour
    return shade


def blue_hour(w, h):
    """A harbour at dusk: dark houses on the quay, lit windows and their
    broken reflections in the water."""
    rng = random.Random(11)
    top, low = draw.hexcolour("#1C2A4A"), draw.hexcolour("#6D7BA3")
    water, water_deep = draw.hexcolour("#2A3A5C"), draw.hexcolour("#0F1830")
    house = draw.hexcolour("#141C2E")
    light = draw.hexcolour("#FFC766")
    line = h * 0.58
    houses = []
    x = 0.0
    while x < w:
        width = rng.uniform(0.10, 0.18) * w
        houses.append((x, x + width, line - rng.uniform(0.10, 0.24) * h))
        x += width
    windows = []
    for left, right, roof in houses:
        for _ in range(2):
            wx = rng.uniform(left + 6, right - 12)
            wy = rng.uniform(roof + 8, line - 14)
            windows.append((wx, wy))

    def shade(x, y):
        if y < line:
            colour = mix(top, low, y / line)
            for left, right, roof in houses:
                if left <= x < right and y >= roof:
                    colour = house
            for wx, wy in windows:
                if wx <= x < wx + 6 and wy <= y < wy + 8:
                    colour = light
            return colour
        depth = (y - line) / (h - line)
        colour = mix(water, water_deep, depth)
        row = int((y - line) / 4)
        if row % 2 == 0:
            for wx, _ in windows:
                reach = 5 + 4 * math.sin(row * 1.7 + wx)
                if abs(x - wx - 3) < reach * (1 - depth):
                    colour = mix(colour, light, 0.6 * (1 - depth))
        return colour
    return shade


def three_folds(w, h):
    """Three translucent folds of colour laid over one another on paper."""
    paper = draw.hexcolour("#F3EEE4")
    folds = [
        (((0.12, 0.85), (0.55, 0.10), (0.70, 0.80)), draw.hexcolour("#2F6F9F", 0.75)),
        (((0.35, 0.20), (0.92, 0.30), (0.50, 0.92)), draw.hexcolour("#E0A458", 0.70)),
        (((0.05, 0.35), (0.80, 0.55), (0.25, 0.95)), draw.hexcolour("#B8432F", 0.55)),
    ]
    folds = [(tuple((px * w, py * h) for px, py in corners), colour) for corners, colour in folds]

    def shade(x, y):
        colour = paper
        for corners, fold in folds:
            if draw.in_triangle(x, y, *corners):
                colour = draw.over(fold, colour)
        return colour
    return shade


ARTWORKS = [
    ("tide-lines.png", tide_lines, WIDTH, HEIGHT, {
        "Title": "Tide Lines",
        "Media": "Acrylic on canvas",
        "Dimensions": "60 x 45 cm",
        "Description": "The sea at Low Bay an hour before sunset, painted as the bands of colour it breaks into.",
    }),
    ("orchard.png", orchard, WIDTH, HEIGHT, {
        "Title": "Orchard, October",
        "Media": "Gouache on paper",
        "Dimensions": "40 x 30 cm",
        "Description": "Seven apple trees on the hill behind the studio, in the week the leaves turn.",
    }),
    ("blue-hour.png", blue_hour, HEIGHT, WIDTH, {
        "Title": "Blue Hour, Harbour",
        "Media": "Oil on board",
        "Dimensions": "30 x 40 cm",
        "Description": "The quay lights coming on while the water still holds the last of the sky.",
    }),
    ("three-folds.png", three_folds, WIDTH, WIDTH, {
        "Title": "Three Folds",
        "Media": "Screen print, edition of 20",
        "Dimensions": "50 x 50 cm",
        "Description": "Three transparent inks printed over one another; where they meet, new colours appear.",
    }),
]

PORTFOLIO = {
    "Template": "Gallery White",
    "Name": "Robin Aldermere",
    "Phone": "+44 1632 960 123",
    "Email": "robin@example.org",
    "WebsiteAddress": "www.example.org",
    "Address": "The Old Sail Loft\nHarbour Row\nLow Bay",
    "StatementTitle": "Artist Statement",
    "StatementText": (
        "I paint the coast and the country behind it: the sea in its bands of colour, the orchards in "
        "their short season, the harbour when its lights come on.\n\n"
        "This sample portfolio shows what the program makes of a few artworks. Open it, look through "
        "the pages, preview or export it, then start a portfolio of your own with File > New."),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    artworks = []
    for name, painter, w, h, texts in ARTWORKS:
        pixels = draw.render(w, painter(w, h), height=h, supersample=SUPERSAMPLE)
        with open(os.path.join(OUT, name), "wb") as out:
            out.write(draw.png_rgba(w, pixels, height=h))
        artworks.append(dict(File=name, **texts))
        print("drew", name)
    with open(os.path.join(OUT, "sample.json"), "w", encoding="utf-8") as out:
        json.dump(dict(PORTFOLIO, Artworks=artworks), out, indent=2, ensure_ascii=False)
        out.write("\n")


if __name__ == "__main__":
    main()
