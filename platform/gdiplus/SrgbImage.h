#pragma once
// Decoded images in sRGB: the pixels of a picture with a colour profile of
// its own are converted once, where it is decoded, as the picture library's
// loads are, so that a picture shows the same colours in every window and
// output. Qt's readers only note the profile (QImage::colorSpace) and leave
// the pixels as stored; the note is dropped once the pixels are converted.
#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <vector>

// Converts by the given profile (nothing when it is empty or describes
// other pixels than the image's).
void ImageToSrgb(QImage& image, const std::vector<uint8_t>& profile);
// Converts by the profile the encoded file carries for its page `page`.
void ImageToSrgb(QImage& image, const QByteArray& encoded, unsigned page = 0);
// Converts by the profile Qt's reader noted for the image, for callers that
// read from a device and hold no bytes of the file.
void ImageToSrgbByItsColorSpace(QImage& image);
