#!/usr/bin/python3
"""Writes seeds of the picture fuzz target into the given folder: small
pictures of every format an artwork may come in, in the variants cameras,
phones and editors write (EXIF with orientation and GPS, progressive scans,
text, EXIF and profile chunks, tiles, pages, animation, later bitmap
headers), and a few hostile ones (an EXIF directory claiming 65,535
entries, a run of empty progressive scans, a tile far larger than its
picture).

    make_picture_seeds.py FOLDER
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image, PngImagePlugin


def picture(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, fmt, **options)
    return out.getvalue()


def tiled(tiff):
    """The TIFF again in 16 x 16 tiles, as tiffcp writes them."""
    with tempfile.TemporaryDirectory() as folder:
        plain, made = os.path.join(folder, "plain.tif"), os.path.join(folder, "tiled.tif")
        with open(plain, "wb") as f:
            f.write(tiff)
        subprocess.run(["tiffcp", "-t", "-w", "16", "-l", "16", "-c", "zip", plain, made], check=True)
        with open(made, "rb") as f:
            return f.read()


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def with_segment(jpeg, marker, payload):
    """The JPEG with one more segment right after its start marker."""
    return jpeg[:2] + segment(marker, payload) + jpeg[2:]


def broken_exif():
    """An EXIF block whose first directory claims 65,535 entries."""
    tiff = b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", 0xFFFF)
    tiff += struct.pack("<HHII", 0x0112, 3, 1, 6) + struct.pack("<HHII", 0x8769, 4, 1, 8)
    return b"Exif\0\0" + tiff


def empty_scans(jpeg, count):
    """A progressive JPEG with `count` more scans that hold no data."""
    end = jpeg.rindex(b"\xff\xd9")
    # A DC refinement scan of the first component: one bit of nothing.
    scan = segment(0xDA, bytes([1, 1, 0, 0, 0, 0x10]))
    return jpeg[:end] + scan * count + jpeg[end:]


def tile_bomb():
    """16 x 16 grey pixels in one 4096 x 4096 tile of deflated zeros."""
    data = zlib.compress(bytes(4096 * 4096), 9)
    entries = [(256, 3, 1, 16), (257, 3, 1, 16), (258, 3, 1, 8), (259, 3, 1, 8), (262, 3, 1, 1),
               (277, 3, 1, 1), (322, 3, 1, 4096), (323, 3, 1, 4096)]
    directory_at = 8
    data_at = directory_at + 2 + 12 * (len(entries) + 2) + 4
    entries += [(324, 4, 1, data_at), (325, 4, 1, len(data))]
    out = b"II*\0" + struct.pack("<I", directory_at) + struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        packed = struct.pack("<H", value) + b"\0\0" if kind == 3 else struct.pack("<I", value)
        out += struct.pack("<HHI", tag, kind, count) + packed
    return out + struct.pack("<I", 0) + data


def seeds():
    rgb = Image.new("RGB", (24, 18))
    rgb.putdata([(x * 10, y * 14, 200 - x * 5) for y in range(18) for x in range(24)])
    rgba = rgb.convert("RGBA")
    rgba.putpixel((0, 0), (0, 0, 0, 0))
    palette = rgb.convert("P")
    exif = Image.Exif()
    exif[0x0112] = 6  # stored on its side
    exif[0x010F] = "Camera maker"
    exif[0x0110] = "Camera model"
    exif.get_ifd(0x8769)[0x9003] = "2024:05:01 10:00:00"
    exif.get_ifd(0x8825)[0x0001] = "N"
    info = PngImagePlugin.PngInfo()
    info.add_text("Title", "an artwork")
    info.add_text("Comment", "a longer comment " * 20, zip=True)
    info.add_itxt("Description", "une œuvre", lang="fr", tkey="Beschreibung", zip=True)
    jpeg = picture(rgb, "JPEG", quality=90)
    progressive = picture(rgb, "JPEG", progressive=True)
    frames = [palette, rgb.transpose(Image.Transpose.FLIP_LEFT_RIGHT).convert("P")]
    tiff = picture(rgb, "TIFF")
    out = {
        "camera.jpg": picture(rgb, "JPEG", exif=exif.tobytes(), quality=85),
        "camera-progressive.jpg": picture(rgb, "JPEG", exif=exif.tobytes(), progressive=True),
        "progressive.jpg": progressive,
        "grey.jpg": picture(rgb.convert("L"), "JPEG"),
        "cmyk.jpg": picture(rgb.convert("CMYK"), "JPEG"),
        "subsampled.jpg": picture(rgb, "JPEG", subsampling=2),
        "restarts.jpg": with_segment(jpeg, 0xDD, struct.pack(">H", 1)),
        "comment-xmp.jpg": with_segment(with_segment(jpeg, 0xFE, b"a comment"), 0xE1,
                                        b"http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>"),
        "photoshop.jpg": with_segment(jpeg, 0xED, b"Photoshop 3.0\08BIM\x04\x04\0\0\0\0\0\0"),
        "broken-exif.jpg": with_segment(jpeg, 0xE1, broken_exif()),
        "empty-scans.jpg": empty_scans(progressive, 150),
        "text.png": picture(rgb, "PNG", pnginfo=info),
        "exif.png": picture(rgba, "PNG", exif=exif.tobytes()),
        "palette.png": picture(palette, "PNG", transparency=0),
        "grey16.png": picture(rgb.convert("L").convert("I"), "PNG"),
        "gif.gif": picture(palette, "GIF", transparency=0, comment=b"a comment"),
        "animated.gif": picture(frames[0], "GIF", save_all=True, append_images=frames[1:], duration=50,
                                loop=0),
        "24.bmp": picture(rgb, "BMP"),
        "32-alpha.bmp": picture(rgba, "BMP"),
        "8.bmp": picture(palette, "BMP"),
        "1.bmp": picture(rgb.convert("1"), "BMP"),
        "plain.tif": tiff,
        "exif.tif": picture(rgb, "TIFF", exif=exif.tobytes()),
        "lzw.tif": picture(rgba, "TIFF", compression="tiff_lzw"),
        "tiled.tif": tiled(tiff),
        "pages.tif": picture(rgb, "TIFF", save_all=True, append_images=[rgb.convert("L"), palette]),
        "big-endian.tif": picture(rgb.convert("L").convert("I;16B"), "TIFF"),
        "tile-bomb.tif": tile_bomb(),
    }
    return out


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
