#!/usr/bin/env python3
"""Writes data/templates.vtp, the templates shipped with the program.

The file is committed; run this again only to change the shipped templates:

    python3 scripts/make-templates.py

Each template styles the classes of the two page skeletons: background,
spacer, title, content, heading, text, footer and artwork. Colours are
stored as "0x00RRGGBB", font sizes in pixels.
"""
import base64
import os
import random
import struct
import zlib
from xml.sax.saxutils import escape, quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "data", "templates.vtp")

FIELDS = ("FriendlyName", "FontFamily", "FontSize", "FontColor", "FontStyle", "TextAlign",
          "BackgroundColor", "BackgroundImage", "BackgroundRepeat", "AppendCss")

SERIF = "Georgia, 'DejaVu Serif', 'Times New Roman', serif"
SANS = "'Helvetica Neue', Arial, 'DejaVu Sans', sans-serif"
BOOK = "'Palatino Linotype', Palatino, 'URW Palladio L', 'DejaVu Serif', serif"


def colour(text):
    return "0x00" + text.lstrip("#").upper()


def style(name, friendly, **fields):
    out = {"Name": name, "FriendlyName": friendly}
    for key, value in fields.items():
        if key in ("FontColor", "BackgroundColor"):
            value = colour(value)
        out[key] = str(value)
    return out


def template(name, font, heading_font, page, ink, accent, muted, rule, title_size=34,
             background_image=None, title_style="Normal", extra_title_css=""):
    styles = [
        style(".background", "Page Background", BackgroundColor=page, FontFamily=font,
              BackgroundImage=background_image or "", BackgroundRepeat="Tile" if background_image else "",
              AppendCss="width:100%;"),
        style(".spacer", "Spacing", AppendCss="height:28px;line-height:28px;font-size:1px;overflow:hidden;"),
        style(".title", "Artist Name", FontFamily=heading_font, FontSize=title_size, FontColor=ink,
              FontStyle=title_style, TextAlign="Center",
              AppendCss="padding:18px 0 14px 0;border-bottom:1px solid " + rule + ";" + extra_title_css),
        style(".content", "Content Area", AppendCss="padding:10px 0;"),
        style(".heading", "Headings", FontFamily=heading_font, FontSize=18, FontColor=accent,
              FontStyle="Normal", TextAlign="Left", AppendCss="margin:22px 0 8px 0;"),
        style(".text", "Body Text", FontFamily=font, FontSize=13, FontColor=ink, TextAlign="Left",
              AppendCss="line-height:1.6;"),
        style(".artwork", "Artwork Caption", FontFamily=font, FontSize=12, FontColor=muted,
              FontStyle="Italic", TextAlign="Center", AppendCss="margin:0 auto 12px auto;"),
        style(".artwork img", "Artwork Frame", AppendCss="border:1px solid " + rule + ";"),
        style(".footer", "Footer", FontFamily=font, FontSize=10, FontColor=muted, TextAlign="Center",
              AppendCss="padding-top:10px;border-top:1px solid " + rule + ";line-height:1.6;"),
        style(".background a", "Links", FontColor=accent, AppendCss="text-decoration:none;"),
    ]
    for s in styles:
        for key in list(s):
            if s[key] == "":
                del s[key]
    return {"Name": name, "Styles": styles, "Files": []}


def png_rgb(size, pixels):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for p in pixels[y * size:(y + 1) * size]:
            raw += bytes(p)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def linen_texture():
    """A quiet woven texture that tiles without seams: thread noise that
    depends on the row and the column separately."""
    size = 64
    rng = random.Random(1905)
    rows = [rng.uniform(-1, 1) for _ in range(size)]
    cols = [rng.uniform(-1, 1) for _ in range(size)]
    base = (0xF3, 0xEC, 0xDF)
    pixels = []
    for y in range(size):
        for x in range(size):
            grain = 4.0 * rows[y] + 4.0 * cols[x] + rng.uniform(-1.5, 1.5)
            pixels.append(tuple(max(0, min(255, int(round(c + grain)))) for c in base))
    return png_rgb(size, pixels)


def build():
    templates = [
        template("Gallery White", SANS, SERIF, "#FFFFFF", "#2E2E2E", "#8A6D3B", "#8C8C8C", "#E2E2E2"),
        template("Charcoal", SANS, SANS, "#232323", "#E8E6E3", "#E0A458", "#9A9794", "#3D3D3D",
                 title_size=32, extra_title_css="text-transform:uppercase;"),
        template("Linen", BOOK, BOOK, "#F3ECDF", "#4A3B2A", "#8C4A2F", "#8A7A66", "#D8CCB6",
                 title_size=36, background_image="linen.png", title_style="Italic"),
        template("Midnight", SERIF, SERIF, "#1B2638", "#DCE3EC", "#D9B26F", "#8593A8", "#34445E"),
        template("Slate Modern", SANS, SANS, "#EEF1F4", "#27313B", "#2F6F9F", "#7A8792", "#CBD3DA",
                 title_size=30, title_style="Bold"),
    ]
    templates[2]["Files"].append(("linen.png", "Background", linen_texture()))
    return templates


def write(templates):
    lines = ['<?xml version="1.0"?>', "<Templates>"]
    for t in templates:
        lines.append('  <Template Version="2.0">')
        lines.append("    <Name>%s</Name>" % escape(t["Name"]))
        lines.append("    <Builtin>true</Builtin>")
        lines.append("    <Layout>Default</Layout>")
        lines.append("    <Styles>")
        for s in t["Styles"]:
            lines.append("      <Style>")
            lines.append("        <Name>%s</Name>" % escape(s["Name"]))
            for key in FIELDS:
                if key in s:
                    lines.append("        <%s>%s</%s>" % (key, escape(s[key]), key))
            lines.append("      </Style>")
        lines.append("    </Styles>")
        if t["Files"]:
            lines.append("    <Files>")
            for name, kind, data in t["Files"]:
                lines.append('      <StaticFile Name=%s Encoding="base64" Type=%s>%s</StaticFile>'
                             % (quoteattr(name), quoteattr(kind), base64.b64encode(data).decode()))
            lines.append("    </Files>")
        else:
            lines.append("    <Files/>")
        lines.append("  </Template>")
    lines.append("</Templates>")
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    write(build())
    print(OUT)
