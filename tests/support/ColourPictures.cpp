#include "tests/support/ColourPictures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;

struct Primaries {
    double rx, ry, gx, gy, bx, by;
};
constexpr double kWhiteX = 0.3127, kWhiteY = 0.3290;  // D65, all three spaces
constexpr Primaries kSrgb{0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
constexpr Primaries kAdobe{0.64, 0.33, 0.21, 0.71, 0.15, 0.06};
constexpr Primaries kP3{0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
constexpr double kAdobeGamma = 563.0 / 256.0;

Matrix Inverse(const Matrix& m)
{
    const double a = m[0][0], b = m[0][1], c = m[0][2], d = m[1][0], e = m[1][1], f = m[1][2], g = m[2][0],
                 h = m[2][1], i = m[2][2];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    return {{{A / det, -(b * i - c * h) / det, (b * f - c * e) / det},
             {B / det, (a * i - c * g) / det, -(a * f - c * d) / det},
             {C / det, -(a * h - b * g) / det, (a * e - b * d) / det}}};
}

Vector Times(const Matrix& m, const Vector& v)
{
    Vector out{};
    for (int r = 0; r < 3; ++r)
        out[r] = m[r][0] * v[0] + m[r][1] * v[1] + m[r][2] * v[2];
    return out;
}

// Linear RGB to XYZ, white mapping to the white point's XYZ.
Matrix ToXyz(const Primaries& p)
{
    const double xy[3][2] = {{p.rx, p.ry}, {p.gx, p.gy}, {p.bx, p.by}};
    Matrix m{};
    for (int c = 0; c < 3; ++c) {
        m[0][c] = xy[c][0] / xy[c][1];
        m[1][c] = 1;
        m[2][c] = (1 - xy[c][0] - xy[c][1]) / xy[c][1];
    }
    const Vector white{kWhiteX / kWhiteY, 1, (1 - kWhiteX - kWhiteY) / kWhiteY};
    const Vector scale = Times(Inverse(m), white);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] *= scale[c];
    return m;
}

double SrgbDecode(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double SrgbEncode(double v)
{
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

cmsCIExyY Xy(double x, double y)
{
    return cmsCIExyY{x, y, 1.0};
}

}  // namespace

namespace {

std::vector<uint8_t> MakeProfile(TestSpace space)
{
    const Primaries& p = space == TestSpace::AdobeRgb ? kAdobe : kP3;
    const cmsCIExyY white = Xy(kWhiteX, kWhiteY);
    const cmsCIExyYTRIPLE primaries{Xy(p.rx, p.ry), Xy(p.gx, p.gy), Xy(p.bx, p.by)};
    const cmsFloat64Number srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = space == TestSpace::AdobeRgb ? cmsBuildGamma(nullptr, kAdobeGamma)
                                                       : cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

}  // namespace

std::vector<uint8_t> ProfileOf(TestSpace space)
{
    // Made once: a profile's header holds the time it was written, and two
    // made a second apart would differ.
    static const std::vector<uint8_t> adobe = MakeProfile(TestSpace::AdobeRgb);
    static const std::vector<uint8_t> p3 = MakeProfile(TestSpace::DisplayP3);
    return space == TestSpace::AdobeRgb ? adobe : p3;
}

QRgb InSrgb(TestSpace space, QRgb value)
{
    const bool adobe = space == TestSpace::AdobeRgb;
    const auto decode = [adobe](int v) { return adobe ? std::pow(v / 255.0, kAdobeGamma) : SrgbDecode(v / 255.0); };
    const Vector linear{decode(qRed(value)), decode(qGreen(value)), decode(qBlue(value))};
    const Vector srgb = Times(Inverse(ToXyz(kSrgb)), Times(ToXyz(adobe ? kAdobe : kP3), linear));
    const auto encode = [](double v) { return int(std::lround(255 * SrgbEncode(v))); };
    return qRgb(encode(srgb[0]), encode(srgb[1]), encode(srgb[2]));
}

QByteArray FlatPictureIn(TestSpace space, QRgb value, const char* format, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(value);
    const std::vector<uint8_t> profile = ProfileOf(space);
    image.setColorSpace(QColorSpace::fromIccProfile(
        QByteArray(reinterpret_cast<const char*>(profile.data()), qsizetype(profile.size()))));
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    if (!image.colorSpace().isValid() || !writer.write(image))
        return {};
    return out;
}

QByteArray JpegWithProfileParts(const QImage& image, const std::vector<uint8_t>& profile, size_t part,
                                const std::vector<int>& order)
{
    QImage plain = image;
    plain.setColorSpace(QColorSpace());
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    if (!writer.write(plain))
        return {};
    const size_t count = (profile.size() + part - 1) / part;
    QByteArray segments;
    for (int number : order) {
        const size_t from = size_t(number - 1) * part;
        const size_t length = std::min(part, profile.size() - from);
        const size_t segment = 2 + 12 + 2 + length;
        segments += char(0xFF);
        segments += char(0xE2);
        segments += char(segment >> 8);
        segments += char(segment & 0xFF);
        segments += QByteArray("ICC_PROFILE", 12);
        segments += char(number);
        segments += char(count);
        segments += QByteArray(reinterpret_cast<const char*>(profile.data() + from), qsizetype(length));
    }
    jpeg.insert(2, segments);
    return jpeg;
}

QByteArray PhotoLikeJpeg(QSize size, bool progressive)
{
    QImage photo(size, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(90);
    if (!writer.write(photo))
        return {};
    return jpeg;
}

int ColourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

std::string ColourText(QRgb colour)
{
    return "(" + std::to_string(qRed(colour)) + "," + std::to_string(qGreen(colour)) + "," +
           std::to_string(qBlue(colour)) + ")";
}
