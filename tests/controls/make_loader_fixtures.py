"""Writes the image files the thumbnail loader tests read into the folder given.

The split files are 200 x 100, red on their left half and blue on their
right half, so a thumbnail shows whether the whole picture arrived the right
way round:
  split.png, split.jpg, split.bmp, split.tif (no header reader for ".tif"),
  split.gif and split8.png (256-colour palette, indexed).
big.jpg is 1600 x 1200, so that reading it takes a while; turned.jpg, huge.jpg
and clear.png are described where they are written.
"""
import sys

from PIL import Image

out = sys.argv[1]

image = Image.new("RGB", (200, 100), (0, 0, 255))
image.paste((255, 0, 0), (0, 0, 100, 100))
image.save(f"{out}/split.png")
image.save(f"{out}/split.jpg", quality=95)
image.save(f"{out}/split.bmp")
image.save(f"{out}/split.tif")
image.convert("P").save(f"{out}/split.gif")
image.convert("P").save(f"{out}/split8.png")

# A photo-sized file, so that each load takes a while: 1600 x 1200.
big = Image.linear_gradient("L").resize((1600, 1200)).convert("RGB")
big.paste((255, 0, 0), (0, 0, 800, 1200))
big.save(f"{out}/big.jpg", quality=90)

# turned.jpg: split.jpg's pixels stored with EXIF orientation 6 (turn a
# quarter clockwise to show), so it shows 100 x 200: red above, blue below.
exif = Image.Exif()
exif[0x0112] = 6
image.save(f"{out}/turned.jpg", quality=95, exif=exif)

# huge.jpg: 7000 x 6000 (42 MP), red left, blue right: four bytes a pixel
# is more than Qt's reader allocates by default.
huge = Image.new("RGB", (7000, 6000), (0, 0, 255))
huge.paste((255, 0, 0), (0, 0, 3500, 6000))
huge.save(f"{out}/huge.jpg", quality=80)

# clear.png: 200 x 100, transparent on its left half, blue on its right.
clear = Image.new("RGBA", (200, 100), (0, 0, 255, 255))
clear.paste((255, 0, 0, 0), (0, 0, 100, 100))
clear.save(f"{out}/clear.png")
