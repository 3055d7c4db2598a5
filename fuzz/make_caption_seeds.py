#!/usr/bin/python3
"""Writes seeds of the caption fuzz target into the given folder: markup that
uses every tag, attribute and entity the renderer knows (first byte 1, then
the markup, then after a NUL the search text), and small pictures of every
format the header readers know, in their common variants (first byte 0).

    make_caption_seeds.py FOLDER
"""
import io
import os
import sys

from PIL import Image

MARKUP = {
    "styles": "<B>b</B><I>i</I><U>u</U><S>s</S><E>wrongly</E> <SHAD>shadow</SHAD> <BLINK>blink</BLINK>"
    " <HI>marked</HI><Z>hidden</Z>x<SUB>2</SUB>y<SUP>3</SUP><SUB A>no</SUB><b><i>nested</b></i></u>",
    "fonts": '<FONT FACE="Courier New" COLOR="#FF0000" BGCOLOR="clYellow" SIZE="3">a</FONT>'
    '<FONT SIZE="20" COLOR="clbtnface">b</FONT><font color="#ff00aa" size="x">c</font>'
    '<FONT SIZE="5" BGCOLOR="clinfobk" COLOR="clnonsense">d</FONT><FONT SIZE="-4">e</FONT>',
    "paragraphs": '<BODY BGCOLOR="#00FF00" BGCOLORTO="#0000FF" DIR="V">'
    '<P ALIGN="RIGHT" INDENT="8" BGCOLOR="clRed" BGCOLORTO="clBlue">right</P>'
    '<P ALIGN="CENTER">centre</P><P ALIGN="LEFT" BGCOLOR="#00FF00">left</P><P INDENT="-3">x</P>'
    '<BODY BGCOLOR="clwhite" BGCOLORTO="clgray">',
    "lists": "<UL><LI>one<UL><LI>two<UL><LI>three</UL></UL><LI>four</LI></UL></UL>"
    '<HR>after the rule<OFS "40">at 40<OFS "-5">back<BR>next<IND x>',
    "links": 'go <A HREF="http://e/x">here</A> &amp; <A href="y">there &lt;b&gt;</A>'
    " &quot;&sect;&permil;&reg;&copy;&para;&trade;&euro;&nbsp;&unknown; & x && y &amp;amp;\0e",
    "pictures": '<IMG SRC="IDX:0" ALT="red"><IMG SRC="IDX:1" WIDTH="20" HEIGHT="30" ALIGN="TOP">t'
    '<IMG SRC="pic" ALIGN="MIDDLE">m<IMG SRC="PIC" WRAP ALT="w">w<A HREF="l"><IMG SRC="IDX:0" ALT="in"></A>'
    '<IMG SRC="SSYS:/"><IMG SRC="LSYS:/no/such.txt"><IMG SRC="IDX:7"><IMG SRC="missing">',
    "fields": "<#Name> and <#Other>\r\nnext\rline\n<BR><BR>",
    "wrap": "The quick brown fox jumps over <B>the lazy</B> dog, then the quick brown "
    "<A HREF=\"f\">fox</A> jumps again over the <I>lazy dog</I> and so on.\0the",
    "case": "aAaA<B>Aa</B>aa<Z>aa</Z>\0Aa",
}


def picture(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, fmt, **options)
    return out.getvalue()


def pictures():
    rgb = Image.new("RGB", (5, 3))
    rgb.putdata([(x * 40, y * 80, 200) for y in range(3) for x in range(5)])
    rgba = rgb.convert("RGBA")
    rgba.putpixel((0, 0), (0, 0, 0, 0))
    palette = rgb.convert("P")
    exif = Image.Exif()
    exif[0x0112] = 6  # turned: stored on its side
    frames = [palette, rgb.transpose(Image.Transpose.FLIP_LEFT_RIGHT).convert("P")]
    out = {
        "jpeg-exif.jpg": picture(rgb, "JPEG", exif=exif.tobytes()),
        "jpeg-progressive.jpg": picture(rgb, "JPEG", progressive=True),
        "jpeg-grey.jpg": picture(rgb.convert("L"), "JPEG"),
        "jpeg-cmyk.jpg": picture(rgb.convert("CMYK"), "JPEG"),
        "png-rgb.png": picture(rgb, "PNG"),
        "png-rgba.png": picture(rgba, "PNG"),
        "png-palette.png": picture(palette, "PNG", transparency=0),
        "png-grey16.png": picture(rgb.convert("L").convert("I"), "PNG"),
        "gif.gif": picture(palette, "GIF", transparency=0),
        "gif-animated.gif": picture(frames[0], "GIF", save_all=True, append_images=frames[1:], duration=50),
        "bmp-24.bmp": picture(rgb, "BMP"),
        "bmp-32.bmp": picture(rgba, "BMP"),
        "bmp-8.bmp": picture(palette, "BMP"),
        "bmp-1.bmp": picture(rgb.convert("1"), "BMP"),
        "tif-plain.tif": picture(rgb, "TIFF"),
        "tif-lzw.tif": picture(rgba, "TIFF", compression="tiff_lzw"),
        "tif-pages.tif": picture(rgb, "TIFF", save_all=True, append_images=[rgb.convert("L")]),
        "ico.ico": picture(rgba.resize((16, 16)), "ICO", sizes=[(16, 16), (8, 8)]),
    }
    return out


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, text in MARKUP.items():
        with open(os.path.join(folder, "markup-" + name), "wb") as f:
            f.write(b"\1" + text.encode("utf-8"))
    for name, data in pictures().items():
        with open(os.path.join(folder, "picture-" + name), "wb") as f:
            f.write(b"\0" + data)


if __name__ == "__main__":
    main()
