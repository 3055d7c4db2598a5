"""Writes the image files the add-on tests load into the folder given.

Every frame has a colour and size of its own, so a test can tell which frame
reached the document:
  clear.png   4x2, left half opaque red, right half fully transparent, and
              pixel (1,1) blue at alpha 128
  pages.tif   two pages: 5x4 green, then 6x3 blue
  frames.gif  three 4x4 frames: red, green, blue
  garbage.png bytes that are no image
"""
import sys

from PIL import Image

out = sys.argv[1]

clear = Image.new("RGBA", (4, 2), (0, 0, 0, 0))
for y in range(2):
    for x in range(2):
        clear.putpixel((x, y), (255, 0, 0, 255))
clear.putpixel((1, 1), (0, 0, 255, 128))
clear.save(f"{out}/clear.png")

first = Image.new("RGB", (5, 4), (0, 255, 0))
second = Image.new("RGB", (6, 3), (0, 0, 255))
first.save(f"{out}/pages.tif", save_all=True, append_images=[second])

frames = [Image.new("RGB", (4, 4), colour).convert("P") for colour in ((255, 0, 0), (0, 255, 0), (0, 0, 255))]
frames[0].save(f"{out}/frames.gif", save_all=True, append_images=frames[1:], duration=100, loop=0, disposal=1)

with open(f"{out}/garbage.png", "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + b"no image follows" * 8)
