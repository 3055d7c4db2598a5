#pragma once
// Cameras store a portrait photo as it lay on the sensor and name, in the
// EXIF orientation tag, how it is to be turned for viewing. Browsers and PDF
// renderers apply that tag to a JPEG they are given, so a picture turned
// here and written with the old tag would be turned twice. A loaded picture
// is therefore turned upright once, and its EXIF data (both the parsed tags
// and the raw block that the JPEG writer copies out again) then says 1,
// "as stored".
#include <FreeImage.h>

#include <cstddef>

// The orientation (1..8) the image's EXIF data names; 1 when it names none
// or a value out of range.
int ExifOrientation(FIBITMAP* dib);

// Turns the image upright by its EXIF orientation, or when that names none
// by `fileOrientation` (a TIFF file's own tag, which the library does not
// report), and marks it upright. Takes ownership of `dib` and returns the
// image to keep (the same one or its turned copy; the original, marked
// upright, when turning fails). Null stays null.
FIBITMAP* TurnUpright(FIBITMAP* dib, int fileOrientation = 1);

// The orientation (1..8) a TIFF file's first directory names; 1 when none.
int TiffOrientation(const BYTE* data, size_t size);

// The orientation (1..8) a JPEG file's EXIF segment names; 1 when none. Read
// here rather than by the picture library, whose EXIF reader never sees a
// received file.
int JpegOrientation(const BYTE* data, size_t size);

// Sets the orientation entry of a raw EXIF block (with or without its
// "Exif\0\0" prefix) to 1. False when the block holds no such entry.
bool ClearRawExifOrientation(BYTE* block, size_t size);
