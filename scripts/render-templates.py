#!/usr/bin/env python3
"""Renders every shipped template with sample text and takes screenshots.

    python3 scripts/render-templates.py [OUTPUT_FOLDER]

For each template in data/templates.vtp it fills the two page skeletons the
way the HTML generator does for a browser (front page and one artwork page),
writes the static files beside them and screenshots both pages with headless
Chromium. Chromium is installed with apt-get when it is missing. A preview
tool for people, not a test: the C++ tests hold the rules themselves.
"""
import base64
import math
import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RC_DATA = os.path.join(ROOT, "resources", "RC_DATA")
BUILTIN = [("AUTORUN_INF", "autorun.inf"), ("AUTORUN_ICO", "autorun.ico"), ("WORD_PNG", "Word.png"),
           ("FORWARD_ON_PNG", "ForwardOn.png"), ("FORWARD_OFF_PNG", "ForwardOff.png"),
           ("BACKWARD_ON_PNG", "BackwardOn.png"), ("BACKWARD_OFF_PNG", "BackwardOff.png")]


def css_number(value):
    # the program formats sizes like printf("%.2f"); Python's format agrees
    return "%.2f" % value


def css_color(text):
    return "#%06X" % (int(text, 0) & 0xFFFFFF)


def to_css(style, prefix):
    """The same rule text as Style::ToCss."""
    name = style.get("Name", "")
    if not name:
        return ""
    css = name + " { "
    if style.get("FontFamily"):
        css += "font-family:" + style["FontFamily"] + ";"
    if style.get("FontSize"):
        css += "font-size:" + css_number(float(style["FontSize"]) * 0.0625) + "em;"
    if style.get("FontColor"):
        css += "color:" + css_color(style["FontColor"]) + ";"
    css += {"Normal": "font-style:normal;font-weight:normal;",
            "Bold": "font-style:normal;font-weight:bold;",
            "Italic": "font-style:italic;font-weight:normal;"}.get(style.get("FontStyle", ""), "")
    if style.get("TextAlign"):
        css += "text-align:" + style["TextAlign"].lower() + ";"
    if style.get("BackgroundImage"):
        if prefix == "\\":
            css += 'background:url("Data/' + style["BackgroundImage"] + '");'
        elif prefix == "\\Data\\":
            css += 'background:url("' + style["BackgroundImage"] + '");'
    css += {"Normal": "background-repeat:no-repeat;", "Tile": "background-repeat:repeat;",
            "Horizontal": "background-repeat:repeat-x;",
            "Vertical": "background-repeat:repeat-y;"}.get(style.get("BackgroundRepeat", ""), "")
    if style.get("BackgroundColor"):
        css += "background-color:" + css_color(style["BackgroundColor"]) + ";"
    css += style.get("AppendCss", "")
    return css + " }\r\n"


def switch_on(page, block):
    return page.replace("<!--%" + block + "_BEGIN%", "").replace("%" + block + "_END%//-->", "")


SAMPLE = {
    "ARTISTNAME": "Marta Ilves",
    "STATEMENTTITLE": "Artist Statement",
    "STATEMENTTEXT": "My paintings begin with walks along the northern coast: the grey-green water, "
                     "the shifting light on wet stone.<br/>I work in layers of oil and wax, scraping "
                     "back and building up until the surface holds the memory of a place rather than "
                     "its picture.",
    "ARTISTSTATEMENT": "statement.doc",
    "ARTISTCV": "cv.doc",
    "ARTISTSTATEMENT_KIND": "Word document.",
    "ARTISTSTATEMENT_PROGRAM": " as a Word document",
    "ARTISTCV_KIND": "Word document.",
    "ARTISTCV_PROGRAM": " as a Word document",
    "ARTISTPICTURE": "artist.png",
    "ARTISTPHONE": "+372 555 0142",
    "ARTISTMAIL": "marta@example.org",
    "ARTISTWEBSITE": "www.example.org/marta",
    "ARTISTADDRESS": "Studio 4, Old Harbour Lane<br/>Tallinn 10111",
    "PORTFOLIODATE": "12 May 2025",
    "PORTFOLIOYEAR": "2025",
}


def fill_common(page):
    page = page.replace("<!--%HTML_SAFE%", "").replace("%HTML_SAFE%//-->", "")
    page = page.replace("%ARTISTNAME%", SAMPLE["ARTISTNAME"])
    for block in ("CONTACT", "ARTISTPICTURE", "ARTISTADDRESS", "ARTISTPHONE", "ARTISTMAIL", "ARTISTWEBSITE",
                  "PORTFOLIOCOPYRIGHT", "PORTFOLIODATE", "STATEMENTTEXT", "HTML_STATEMENT", "HTML_CV"):
        page = switch_on(page, block)
    for key, value in SAMPLE.items():
        page = page.replace("%" + key + "%", value)
    return page


def fill_artwork(page, width, height):
    if width > height:
        style, art_width = ("width:600px;", 600) if width >= 600 else ("width:%dpx;" % width, width)
    else:
        style = "height:600px;" if height >= 600 else "height:%dpx;" % height
        art_width = int(width * (600.0 / height) + 0.5) if height >= 600 else 600
    page = page.replace("%ARTWORK_STYLE%", style).replace("%ARTWORK_WIDTH%", str(art_width or 600))
    page = fill_common(page)
    page = page.replace("%IMAGETITLE%", "Low Tide, Morning").replace("%IMAGEMEDIA%", "Oil and wax on linen")
    page = page.replace("%IMAGEDIMENSIONS%", "80 x 60 cm")
    page = switch_on(page, "DESCRIPTION").replace(
        "%DESCRIPTION%", "The first of a series painted over one winter; the horizon dissolves into the "
                         "same grey as the shore.")
    page = page.replace("%PREVPAGE%", "portfolio.html").replace("%NEXTPAGE%", "portfolio.html")
    return page.replace("%IMAGEFILE%", "lowtide.png")


def png_rgb(width, height, shade):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(shade(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))


def sample_painting():
    def shade(x, y):
        sky = y < 230 + 12 * math.sin(x / 40.0)
        t = y / 450.0
        if sky:
            return (int(180 + 40 * t), int(190 + 30 * t), int(200 + 20 * t))
        return (int(90 + 60 * (1 - t) + 10 * math.sin(x / 7.0)), int(110 + 40 * (1 - t)), int(105 + 30 * (1 - t)))
    return png_rgb(600, 450, shade)


def sample_portrait():
    def shade(x, y):
        d = math.hypot(x - 125, y - 120)
        return (200, 180, 160) if d < 70 else ((120, 100, 90) if y > 190 and abs(x - 125) < 100 else (230, 226, 220))
    return png_rgb(250, 300, shade)


def ensure_chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "chromium"], check=True)
    return shutil.which("chromium")


def screenshot(browser, page, png, height):
    subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--window-size=900,%d" % height, "--screenshot=" + png, "file://" + page],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-render"))
    browser = ensure_chromium()
    p1 = open(os.path.join(RC_DATA, "P1"), "rb").read().decode("utf-8")
    p2 = open(os.path.join(RC_DATA, "P2"), "rb").read().decode("utf-8")
    painting, portrait = sample_painting(), sample_portrait()
    tree = ET.parse(os.path.join(ROOT, "data", "templates.vtp"))
    for element in tree.getroot().findall("Template"):
        name = element.findtext("Name")
        styles = [{child.tag: child.text or "" for child in s} for s in element.find("Styles").findall("Style")]
        folder = os.path.join(out, name.replace(" ", "_"))
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "Data"))
        os.makedirs(os.path.join(folder, "Images"))
        for resource, file_name in BUILTIN:
            shutil.copy(os.path.join(RC_DATA, resource), os.path.join(folder, "Data", file_name))
        for f in (element.find("Files") or []):
            with open(os.path.join(folder, "Data", f.get("Name")), "wb") as target:
                target.write(base64.b64decode(f.text))
        open(os.path.join(folder, "Images", "lowtide.png"), "wb").write(painting)
        open(os.path.join(folder, "Data", "artist.png"), "wb").write(portrait)
        front = p1.replace("%STYLES%", "".join(to_css(s, "\\") for s in styles))
        art = p2.replace("%STYLES%", "".join(to_css(s, "\\Data\\") for s in styles))
        open(os.path.join(folder, "portfolio.html"), "w", encoding="utf-8").write(fill_common(front))
        open(os.path.join(folder, "Data", "000.html"), "w", encoding="utf-8").write(fill_artwork(art, 600, 450))
        for page, shot in (("portfolio.html", "front.png"), ("Data/000.html", "artwork.png")):
            screenshot(browser, os.path.join(folder, page), os.path.join(folder, shot), 1100)
        print(os.path.join(folder, "front.png"), os.path.join(folder, "artwork.png"))


if __name__ == "__main__":
    main()
