#pragma once
// A picture with a colour profile of its own (an Adobe RGB photo, a phone's
// Display P3 one) is turned into sRGB once, as it is loaded, and keeps no
// profile: the windows and the PDF show pixel values as they stand, while
// browsers apply a profile the written JPEG would carry, so a picture that
// kept both would have two colours in the two outputs an artist sends.
#include <FreeImage.h>

#include <cstddef>

// Converts the image's pixels from the profile the encoded file carries
// (read from `data`, not from what the decoder kept) to sRGB and drops
// any profile the decoder attached. Pixels whose kind the profile does not
// describe stay as they are. Returns `dib`; null stays null.
FIBITMAP* PixelsToSrgb(FIBITMAP* dib, const BYTE* data, size_t size);
