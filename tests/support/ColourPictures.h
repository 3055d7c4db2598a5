#pragma once
// Pictures whose pixels carry a colour profile other than sRGB (Adobe RGB,
// Display P3), and the sRGB colour each value stands for, worked out from
// the spaces' published primaries and tone curves: an answer that owes
// nothing to the colour library the program converts with. Also a busy
// photo-like JPEG to cut short.
#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

enum class TestSpace { AdobeRgb, DisplayP3 };
inline void PrintTo(TestSpace space, std::ostream* os)
{
    *os << (space == TestSpace::AdobeRgb ? "Adobe RGB" : "Display P3");
}

// The space as an ICC profile (matrix and tone curves).
std::vector<uint8_t> ProfileOf(TestSpace space);
// The sRGB colour a value in the space shows as, rounded.
QRgb InSrgb(TestSpace space, QRgb value);
// A flat picture of one colour, encoded by Qt's writer ("jpeg", "png",
// "tiff") with the space's profile embedded as the format embeds it.
QByteArray FlatPictureIn(TestSpace space, QRgb value, const char* format, QSize size = QSize(64, 48));
// A JPEG whose profile is split over APP2 segments of at most `part` bytes,
// written in the order `order` gives (segment numbers from 1); segment
// numbers not in `order` are left out.
QByteArray JpegWithProfileParts(const QImage& image, const std::vector<uint8_t>& profile, size_t part,
                                const std::vector<int>& order);
// A photo-like JPEG whose every row and column differs, so that a cut
// leaves rows the file never held.
QByteArray PhotoLikeJpeg(QSize size, bool progressive);
// The largest difference of red, green or blue.
int ColourDistance(QRgb a, QRgb b);
std::string ColourText(QRgb colour);
