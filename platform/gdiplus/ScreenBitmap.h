#pragma once
// Screen bitmaps: process-wide 32-bit handles to 32-bit ARGB images.
//
// A handle is a plain 32-bit value so that it can travel through interfaces
// that carry it as an integer (the image add-on hands one to the PDF module).
// Every module of the process, including modules loaded with dlopen, sees the
// same table, so a handle made in one module can be read in another.
#include <cstddef>
#include <cstdint>

#include <QImage>

using HBITMAP = uint32_t;

// The null handle: no bitmap.
inline constexpr HBITMAP kNullBitmap = 0;

// Registers a copy of the image (converted to 32-bit ARGB) and returns its new
// handle; a null image gives kNullBitmap.
HBITMAP CreateScreenBitmap(const QImage& image);

// The image behind a handle (a shallow, implicitly shared copy), or a null
// QImage for kNullBitmap and for handles that are not (or no longer) live.
QImage GetScreenBitmap(HBITMAP bitmap);

// Width and height of a live bitmap; false for an unknown handle.
bool GetScreenBitmapSize(HBITMAP bitmap, int* width, int* height);

// Frees the bitmap. False for kNullBitmap and for handles that are not live,
// so deleting twice is harmless.
bool DeleteObject(HBITMAP bitmap);

// Number of live bitmaps in the process (to find leaked handles).
std::size_t ScreenBitmapCount();
