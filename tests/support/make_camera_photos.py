"""Writes camera-like JPEGs into the folder given: o1.jpg ... o8.jpg, and
a TIFF scan with its own orientation tag 6: o6.tif.

Each shows, once turned as its EXIF orientation says, the same 160x80
picture: red top-left, green top-right, blue bottom-left, yellow
bottom-right quarters. The pixels are stored turned the other way, as a
camera held on its side stores them, and the orientation tag names the turn.
"""
import sys

from PIL import Image

out = sys.argv[1]

upright = Image.new("RGB", (160, 80))
for box, colour in (((0, 0, 80, 40), (220, 30, 30)), ((80, 0, 160, 40), (30, 200, 30)),
                    ((0, 40, 80, 80), (30, 30, 220)), ((80, 40, 160, 80), (230, 220, 30))):
    upright.paste(colour, box)

# What a viewer does for each orientation, and so what undoes it.
undo = {
    2: Image.Transpose.FLIP_LEFT_RIGHT,
    3: Image.Transpose.ROTATE_180,
    4: Image.Transpose.FLIP_TOP_BOTTOM,
    5: Image.Transpose.TRANSPOSE,
    6: Image.Transpose.ROTATE_90,
    7: Image.Transpose.TRANSVERSE,
    8: Image.Transpose.ROTATE_270,
}
for orientation in range(1, 9):
    stored = upright.transpose(undo[orientation]) if orientation in undo else upright.copy()
    exif = Image.Exif()
    exif[0x0112] = orientation
    exif[0x010F] = "Velmora Test Camera"
    stored.save(f"{out}/o{orientation}.jpg", quality=95, exif=exif.tobytes())
    if orientation == 6:
        stored.save(f"{out}/o6.tif", tiffinfo={0x0112: 6})
