// Pens and brushes: solid, hatch, texture, linear and path gradients.
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <new>

#include "platform/gdiplus/GdiPlusFlat.h"

namespace {

// 8 × 8 patterns, row by row, bit 7 the leftmost pixel; set bits show the
// foreground colour.
constexpr BYTE kHatches[HatchStyleTotal][8] = {
    {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // Horizontal
    {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // Vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // ForwardDiagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // BackwardDiagonal
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // Cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // DiagonalCross
    {0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00},  // 05Percent
    {0x80, 0x00, 0x08, 0x00, 0x80, 0x00, 0x08, 0x00},  // 10Percent
    {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00},  // 20Percent
    {0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22},  // 25Percent
    {0xAA, 0x44, 0xAA, 0x11, 0xAA, 0x44, 0xAA, 0x11},  // 30Percent
    {0xAA, 0x54, 0xAA, 0x45, 0xAA, 0x54, 0xAA, 0x45},  // 40Percent
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},  // 50Percent
    {0x55, 0xAB, 0x55, 0xBA, 0x55, 0xAB, 0x55, 0xBA},  // 60Percent
    {0x55, 0xBB, 0x55, 0xEE, 0x55, 0xBB, 0x55, 0xEE},  // 70Percent
    {0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD},  // 75Percent
    {0x77, 0xFF, 0xDD, 0xFF, 0x77, 0xFF, 0xDD, 0xFF},  // 80Percent
    {0x7F, 0xFF, 0xF7, 0xFF, 0x7F, 0xFF, 0xF7, 0xFF},  // 90Percent
    {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11},  // LightDownwardDiagonal
    {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88},  // LightUpwardDiagonal
    {0xCC, 0x66, 0x33, 0x99, 0xCC, 0x66, 0x33, 0x99},  // DarkDownwardDiagonal
    {0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC, 0x99},  // DarkUpwardDiagonal
    {0xC1, 0xE0, 0x70, 0x38, 0x1C, 0x0E, 0x07, 0x83},  // WideDownwardDiagonal
    {0x83, 0x07, 0x0E, 0x1C, 0x38, 0x70, 0xE0, 0xC1},  // WideUpwardDiagonal
    {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88},  // LightVertical
    {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // LightHorizontal
    {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},  // NarrowVertical
    {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00},  // NarrowHorizontal
    {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC},  // DarkVertical
    {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},  // DarkHorizontal
    {0x00, 0x00, 0x88, 0x44, 0x22, 0x11, 0x00, 0x00},  // DashedDownwardDiagonal
    {0x00, 0x00, 0x11, 0x22, 0x44, 0x88, 0x00, 0x00},  // DashedUpwardDiagonal
    {0xF0, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00},  // DashedHorizontal
    {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08},  // DashedVertical
    {0x80, 0x10, 0x02, 0x20, 0x01, 0x08, 0x40, 0x04},  // SmallConfetti
    {0xB1, 0x30, 0x03, 0x1B, 0xD8, 0xC0, 0x0C, 0x8D},  // LargeConfetti
    {0x81, 0x42, 0x24, 0x18, 0x81, 0x42, 0x24, 0x18},  // ZigZag
    {0x00, 0x18, 0xA4, 0x03, 0x00, 0x18, 0xA4, 0x03},  // Wave
    {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81},  // DiagonalBrick
    {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08},  // HorizontalBrick
    {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51},  // Weave
    {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0},  // Plaid
    {0x00, 0x10, 0x08, 0x10, 0x00, 0x01, 0x80, 0x01},  // Divot
    {0xAA, 0x00, 0x80, 0x00, 0x80, 0x00, 0x80, 0x00},  // DottedGrid
    {0x80, 0x00, 0x22, 0x00, 0x08, 0x00, 0x22, 0x00},  // DottedDiamond
    {0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01},  // Shingle
    {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99},  // Trellis
    {0x77, 0x89, 0x8F, 0x8F, 0x77, 0x98, 0xF8, 0xF8},  // Sphere
    {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},  // SmallGrid
    {0x99, 0x66, 0x66, 0x99, 0x99, 0x66, 0x66, 0x99},  // SmallCheckerBoard
    {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F},  // LargeCheckerBoard
    {0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41, 0x80},  // OutlinedDiamond
    {0x10, 0x38, 0x7C, 0xFE, 0x7C, 0x38, 0x10, 0x00},  // SolidDiamond
};

template <typename T>
GpStatus Store(T* made, T** out)
{
    if (!made)
        return OutOfMemory;
    *out = made;
    return Ok;
}

double ToLinear(int channel)
{
    return std::pow(channel / 255.0, 2.2);
}

int FromLinear(double value)
{
    return std::clamp(static_cast<int>(std::lround(std::pow(std::clamp(value, 0.0, 1.0), 1 / 2.2) * 255.0)), 0, 255);
}

// The colour a fraction t of the way from a to b, in linear light when asked.
QColor Mix(ARGB a, ARGB b, double t, bool gamma)
{
    const QColor ca = QColor::fromRgba(a), cb = QColor::fromRgba(b);
    auto channel = [&](int x, int y) {
        if (gamma)
            return FromLinear(ToLinear(x) + (ToLinear(y) - ToLinear(x)) * t);
        return std::clamp(static_cast<int>(std::lround(x + (y - x) * t)), 0, 255);
    };
    const int alpha = std::clamp(static_cast<int>(std::lround(ca.alpha() + (cb.alpha() - ca.alpha()) * t)), 0, 255);
    return QColor(channel(ca.red(), cb.red()), channel(ca.green(), cb.green()), channel(ca.blue(), cb.blue()), alpha);
}

struct Stop {
    double position;
    ARGB color;
};

// The colour stops along a gradient from `from` (position 0) to `to`
// (position 1) with the blend's factors or preset colours.
std::vector<Stop> BlendStops(ARGB from, ARGB to, const GradientBlend& blend)
{
    std::vector<Stop> stops;
    if (blend.presetColors.size() >= 2) {
        for (std::size_t i = 0; i < blend.presetColors.size(); ++i)
            stops.push_back({blend.presetPositions[i], blend.presetColors[i]});
    } else if (!blend.factors.empty()) {
        for (std::size_t i = 0; i < blend.factors.size(); ++i)
            stops.push_back({blend.factorPositions[i], Mix(from, to, blend.factors[i], blend.gamma).rgba()});
    } else {
        stops = {{0, from}, {1, to}};
    }
    return stops;
}

// The colour at `t` among stops, mixed in linear light when asked.
QColor ColourAt(const std::vector<Stop>& stops, double t, bool gamma)
{
    if (t <= stops.front().position)
        return QColor::fromRgba(stops.front().color);
    for (std::size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].position) {
            const double span = stops[i].position - stops[i - 1].position;
            const double f = span > 0 ? (t - stops[i - 1].position) / span : 1;
            return Mix(stops[i - 1].color, stops[i].color, f, gamma);
        }
    return QColor::fromRgba(stops.back().color);
}

// Qt interpolates stops in gamma space; with gamma correction asked for, the
// stops are placed densely enough that the curve follows linear light.
QGradientStops MakeQStops(const std::vector<Stop>& stops, bool gamma, bool reversed)
{
    QGradientStops out;
    auto add = [&](double t, QColor c) { out.append({reversed ? 1 - t : t, c}); };
    if (!gamma) {
        for (const Stop& s : stops)
            add(s.position, QColor::fromRgba(s.color));
    } else {
        constexpr int kSteps = 32;
        for (int i = 0; i <= kSteps; ++i) {
            const double t = double(i) / kSteps;
            add(t, ColourAt(stops, t, true));
        }
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

// Gamma-corrected stops cost a hundred powers each, and controls paint the
// same few gradients (buttons, bars) every frame: the last ones made are
// kept per thread, so drawing threads share nothing.
QGradientStops ToQStops(const std::vector<Stop>& stops, bool gamma, bool reversed)
{
    if (!gamma)
        return MakeQStops(stops, gamma, reversed);
    struct Made {
        std::vector<Stop> stops;
        bool reversed;
        QGradientStops out;
    };
    constexpr std::size_t kKept = 32;
    thread_local std::vector<Made> made;
    auto same = [&](const Made& m) {
        return m.reversed == reversed &&
               std::equal(m.stops.begin(), m.stops.end(), stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
                   return a.position == b.position && a.color == b.color;
               });
    };
    if (auto it = std::find_if(made.begin(), made.end(), same); it != made.end())
        return it->out;
    if (made.size() == kKept)
        made.erase(made.begin());
    made.push_back({stops, reversed, MakeQStops(stops, gamma, reversed)});
    return made.back().out;
}

QGradient::Spread SpreadOf(WrapMode wrap)
{
    switch (wrap) {
    case WrapModeTile:
        return QGradient::RepeatSpread;
    case WrapModeClamp:
        return QGradient::PadSpread;
    default:
        return QGradient::ReflectSpread;
    }
}

QImage TiledForWrap(const QImage& image, WrapMode wrap)
{
    const bool flipX = wrap == WrapModeTileFlipX || wrap == WrapModeTileFlipXY;
    const bool flipY = wrap == WrapModeTileFlipY || wrap == WrapModeTileFlipXY;
    if (!flipX && !flipY)
        return image;
    const int w = image.width(), h = image.height();
    QImage tile(w * (flipX ? 2 : 1), h * (flipY ? 2 : 1), QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    QPainter p(&tile);
    p.drawImage(0, 0, image);
    if (flipX)
        p.drawImage(w, 0, image.mirrored(true, false));
    if (flipY)
        p.drawImage(0, h, image.mirrored(false, true));
    if (flipX && flipY)
        p.drawImage(w, h, image.mirrored(true, true));
    return tile;
}

// Blend factors of the two shaped blends: a triangle peaking at `focus`, or a
// bell curve (normal distribution) peaking there.
void ShapeBlend(GradientBlend& blend, REAL focus, REAL scale, bool bell)
{
    blend.presetColors.clear();
    blend.presetPositions.clear();
    blend.factors.clear();
    blend.factorPositions.clear();
    auto add = [&](double position, double factor) {
        blend.factorPositions.push_back(REAL(position));
        blend.factors.push_back(REAL(factor));
    };
    if (!bell) {
        if (focus > 0)
            add(0, 0);
        add(focus, scale);
        if (focus < 1)
            add(1, 0);
        return;
    }
    // Rising half over [0, focus], falling half over [focus, 1], each a
    // normal cumulative curve.
    constexpr int kHalf = 16;
    auto cdf = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
    const double lo = cdf(-2.5), hi = cdf(2.5);
    auto shape = [&](double u) { return (cdf(-2.5 + 5 * u) - lo) / (hi - lo); };
    if (focus > 0)
        for (int i = 0; i < kHalf; ++i) {
            const double u = double(i) / kHalf;
            add(u * focus, shape(u) * scale);
        }
    add(focus, scale);
    if (focus < 1)
        for (int i = 1; i <= kHalf; ++i) {
            const double u = double(i) / kHalf;
            add(focus + u * (1 - focus), (1 - shape(u)) * scale);
        }
}

GpStatus SetFactors(GradientBlend& blend, const REAL* factors, const REAL* positions, INT count)
{
    if (!factors || !positions || count < 1)
        return InvalidParameter;
    if (count >= 2 && (positions[0] != 0 || positions[count - 1] != 1))
        return InvalidParameter;
    blend.factors.assign(factors, factors + count);
    blend.factorPositions.assign(positions, positions + count);
    blend.presetColors.clear();
    blend.presetPositions.clear();
    return Ok;
}

GpStatus GetFactors(const GradientBlend& blend, REAL* factors, REAL* positions, INT count)
{
    if (!factors || !positions || count < 1)
        return InvalidParameter;
    if (blend.factors.empty()) {
        // The implicit blend: straight from one colour to the other.
        factors[0] = 1;
        positions[0] = 1;
        return Ok;
    }
    if (count < static_cast<INT>(blend.factors.size()))
        return InsufficientBuffer;
    std::copy(blend.factors.begin(), blend.factors.end(), factors);
    std::copy(blend.factorPositions.begin(), blend.factorPositions.end(), positions);
    return Ok;
}

GpStatus SetPresets(GradientBlend& blend, const ARGB* colors, const REAL* positions, INT count)
{
    if (!colors || !positions || count < 2)
        return InvalidParameter;
    if (positions[0] != 0 || positions[count - 1] != 1)
        return InvalidParameter;
    blend.presetColors.assign(colors, colors + count);
    blend.presetPositions.assign(positions, positions + count);
    blend.factors.clear();
    blend.factorPositions.clear();
    return Ok;
}

GpStatus GetPresets(const GradientBlend& blend, ARGB* colors, REAL* positions, INT count)
{
    if (!colors || !positions || count < 2)
        return InvalidParameter;
    if (blend.presetColors.empty())
        return GenericError;
    if (count < static_cast<INT>(blend.presetColors.size()))
        return InsufficientBuffer;
    std::copy(blend.presetColors.begin(), blend.presetColors.end(), colors);
    std::copy(blend.presetPositions.begin(), blend.presetPositions.end(), positions);
    return Ok;
}

void ApplyOrder(QTransform& target, const QTransform& step, MatrixOrder order)
{
    target = order == MatrixOrderAppend ? target * step : step * target;
}

}  // namespace

const BYTE* HatchPattern(HatchStyle style)
{
    if (style < HatchStyleMin || style > HatchStyleMax)
        return nullptr;
    return kHatches[style];
}

QBrush GpSolidFill::ToQBrush(QPainterPath*) const
{
    return QBrush(QColor::fromRgba(color));
}

QBrush GpHatch::ToQBrush(QPainterPath*) const
{
    QImage tile(8, 8, QImage::Format_ARGB32);
    const BYTE* pattern = HatchPattern(style);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixel(x, y, pattern && (pattern[y] & (0x80 >> x)) ? fore : back);
    return QBrush(tile);
}

QBrush GpTexture::ToQBrush(QPainterPath* shape) const
{
    if (!image || image->image.isNull())
        return QBrush();
    QBrush brush(TiledForWrap(image->image.convertToFormat(QImage::Format_ARGB32_Premultiplied), wrap));
    brush.setTransform(transform);
    if (wrap == WrapModeClamp && shape) {
        QPainterPath covered;
        covered.addRect(QRectF(QPointF(0, 0), QSizeF(image->image.size())));
        *shape = shape->intersected(transform.map(covered));
    }
    return brush;
}

QBrush GpLineGradient::ToQBrush(QPainterPath*) const
{
    QLinearGradient gradient(start, end);
    gradient.setStops(ToQStops(BlendStops(colors[0], colors[1], blend), blend.gamma, false));
    gradient.setSpread(SpreadOf(wrap));
    QBrush brush(gradient);
    brush.setTransform(unitToRect * transform);
    return brush;
}

QBrush GpPathGradient::ToQBrush(QPainterPath* shape) const
{
    const QPainterPath outline = path.ToPainterPath();
    if (shape)
        *shape = shape->intersected(outline);
    // Along the way from the boundary (position 0) to the centre (1).
    const bool oneSurround = surroundColors.size() <= 1 ||
                             std::all_of(surroundColors.begin(), surroundColors.end(),
                                         [&](ARGB c) { return c == surroundColors.front(); });
    const ARGB surround = surroundColors.empty() ? 0xFFFFFFFFu : surroundColors.front();
    if (path.onlyEllipse && oneSurround) {
        const QRectF r = *path.onlyEllipse;
        const QPointF focal((center.x() - r.x()) / r.width(), (center.y() - r.y()) / r.height());
        QRadialGradient gradient(QPointF(0.5, 0.5), 0.5, focal);
        gradient.setStops(ToQStops(BlendStops(surround, centerColor, blend), blend.gamma, true));
        gradient.setSpread(QGradient::PadSpread);
        QBrush brush(gradient);
        brush.setTransform(QTransform(r.width(), 0, 0, r.height(), r.x(), r.y()));
        return brush;
    }

    // Anything else is painted pixel by pixel: each pixel lies in a triangle
    // of the centre and one edge of the outline, which gives how far out it is
    // and which surround colours meet there.
    const QPolygonF polygon = outline.toFillPolygon();
    const QRect bounds = polygon.boundingRect().toAlignedRect();
    if (bounds.isEmpty() || polygon.size() < 3 || qint64(bounds.width()) * bounds.height() > 16 * 1024 * 1024)
        return QBrush(QColor::fromRgba(centerColor));
    // Surround colour of each outline vertex: that of the nearest path point.
    std::vector<ARGB> vertexColour(polygon.size(), surround);
    if (!oneSurround)
        for (int i = 0; i < polygon.size(); ++i) {
            std::size_t best = 0;
            double bestDistance = 1e300;
            for (std::size_t k = 0; k < path.points.size(); ++k) {
                const QPointF d = path.points[k] - polygon[i];
                const double distance = d.x() * d.x() + d.y() * d.y();
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = k;
                }
            }
            vertexColour[i] = surroundColors[std::min(best, surroundColors.size() - 1)];
        }
    std::vector<Stop> stops = BlendStops(0, 0, blend);
    const bool presets = blend.presetColors.size() >= 2;
    QImage image(bounds.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int n = polygon.size();
    for (int y = 0; y < bounds.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bounds.width(); ++x) {
            const QPointF p(bounds.x() + x + 0.5, bounds.y() + y + 0.5);
            double bestS = 2;
            ARGB edgeColour = surround;
            for (int i = 0; i < n; ++i) {
                const QPointF a = polygon[i] - center, b = polygon[(i + 1) % n] - center, q = p - center;
                const double det = a.x() * b.y() - a.y() * b.x();
                if (std::abs(det) < 1e-12)
                    continue;
                const double u = (q.x() * b.y() - q.y() * b.x()) / det;
                const double v = (a.x() * q.y() - a.y() * q.x()) / det;
                if (u < -1e-9 || v < -1e-9)
                    continue;
                const double s = u + v;
                if (s < bestS) {
                    bestS = s;
                    const double along = s > 0 ? v / s : 0;
                    edgeColour = Mix(vertexColour[i], vertexColour[(i + 1) % n], along, false).rgba();
                }
            }
            if (bestS > 1.5)
                continue;
            const double position = 1 - std::min(bestS, 1.0);
            QColor colour;
            if (presets) {
                colour = ColourAt(stops, position, blend.gamma);
            } else if (!blend.factors.empty()) {
                double factor = blend.factors.back();
                for (std::size_t k = 1; k < blend.factors.size(); ++k)
                    if (position <= blend.factorPositions[k]) {
                        const double span = blend.factorPositions[k] - blend.factorPositions[k - 1];
                        const double f = span > 0 ? (position - blend.factorPositions[k - 1]) / span : 1;
                        factor = blend.factors[k - 1] + (blend.factors[k] - blend.factors[k - 1]) * f;
                        break;
                    }
                colour = Mix(edgeColour, centerColor, factor, blend.gamma);
            } else {
                colour = Mix(edgeColour, centerColor, position, blend.gamma);
            }
            row[x] = colour.rgba();
        }
    }
    QBrush brush(image);
    brush.setTransform(QTransform::fromTranslate(bounds.x(), bounds.y()));
    return brush;
}

QPen GpPen::ToQPen() const
{
    QPen pen(brush ? brush->ToQBrush(nullptr) : QBrush(Qt::black), std::max<qreal>(width * PixelsPerUnit(unit), 1.0));
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    switch (endCap) {
    case LineCapRound:
    case LineCapRoundAnchor:
        pen.setCapStyle(Qt::RoundCap);
        break;
    case LineCapSquare:
    case LineCapSquareAnchor:
        pen.setCapStyle(Qt::SquareCap);
        break;
    default:
        pen.setCapStyle(Qt::FlatCap);
        break;
    }
    switch (dash) {
    case DashStyleDash:
        pen.setDashPattern({3, 1});
        break;
    case DashStyleDot:
        pen.setDashPattern({1, 1});
        break;
    case DashStyleDashDot:
        pen.setDashPattern({3, 1, 1, 1});
        break;
    case DashStyleDashDotDot:
        pen.setDashPattern({3, 1, 1, 1, 1, 1});
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    return pen;
}

// Pens.

GpStatus GdipCreatePen1(ARGB color, REAL width, Unit_ unit, GpPen** pen)
{
    if (!pen)
        return InvalidParameter;
    *pen = nullptr;
    auto* fill = new (std::nothrow) GpSolidFill;
    auto* made = new (std::nothrow) GpPen;
    if (!fill || !made) {
        delete fill;
        delete made;
        return OutOfMemory;
    }
    fill->color = color;
    made->brush.reset(fill);
    made->width = width;
    made->unit = unit;
    *pen = made;
    return Ok;
}

GpStatus GdipCreatePen2(GpBrush* brush, REAL width, Unit_ unit, GpPen** pen)
{
    if (!pen || !brush)
        return InvalidParameter;
    *pen = nullptr;
    auto* made = new (std::nothrow) GpPen;
    if (!made)
        return OutOfMemory;
    made->brush.reset(brush->Clone());
    made->width = width;
    made->unit = unit;
    *pen = made;
    return Ok;
}

GpStatus GdipDeletePen(GpPen* pen)
{
    return DeleteFlatObject(pen);
}

GpStatus GdipSetPenDashStyle(GpPen* pen, DashStyle style)
{
    if (!pen || style < DashStyleSolid || style > DashStyleCustom)
        return InvalidParameter;
    pen->dash = style;
    return Ok;
}

GpStatus GdipGetPenDashStyle(GpPen* pen, DashStyle* style)
{
    if (!pen || !style)
        return InvalidParameter;
    *style = pen->dash;
    return Ok;
}

GpStatus GdipSetPenEndCap(GpPen* pen, LineCap cap)
{
    if (!pen)
        return InvalidParameter;
    pen->endCap = cap;
    return Ok;
}

GpStatus GdipGetPenFillType(GpPen* pen, PenType* type)
{
    if (!pen || !type)
        return InvalidParameter;
    *type = pen->brush ? static_cast<PenType>(pen->brush->Type()) : PenTypeUnknown;
    return Ok;
}

GpStatus GdipGetPenBrushFill(GpPen* pen, GpBrush** brush)
{
    if (!pen || !brush || !pen->brush)
        return InvalidParameter;
    *brush = pen->brush->Clone();
    return *brush ? Ok : OutOfMemory;
}

// Brushes.

GpStatus GdipDeleteBrush(GpBrush* brush)
{
    return DeleteFlatObject(brush);
}

GpStatus GdipGetBrushType(GpBrush* brush, BrushType* type)
{
    if (!brush || !type)
        return InvalidParameter;
    *type = brush->Type();
    return Ok;
}

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush)
{
    if (!brush)
        return InvalidParameter;
    auto* made = new (std::nothrow) GpSolidFill;
    if (made)
        made->color = color;
    return Store(made, brush);
}

GpStatus GdipGetSolidFillColor(GpSolidFill* brush, ARGB* color)
{
    if (!brush || !color)
        return InvalidParameter;
    *color = brush->color;
    return Ok;
}

GpStatus GdipCreateHatchBrush(HatchStyle style, ARGB fore, ARGB back, GpHatch** brush)
{
    if (!brush)
        return InvalidParameter;
    *brush = nullptr;
    if (!HatchPattern(style))
        return InvalidParameter;
    auto* made = new (std::nothrow) GpHatch;
    if (made) {
        made->style = style;
        made->fore = fore;
        made->back = back;
    }
    return Store(made, brush);
}

GpStatus GdipGetHatchStyle(GpHatch* brush, HatchStyle* style)
{
    if (!brush || !style)
        return InvalidParameter;
    *style = brush->style;
    return Ok;
}

GpStatus GdipGetHatchForegroundColor(GpHatch* brush, ARGB* color)
{
    if (!brush || !color)
        return InvalidParameter;
    *color = brush->fore;
    return Ok;
}

GpStatus GdipGetHatchBackgroundColor(GpHatch* brush, ARGB* color)
{
    if (!brush || !color)
        return InvalidParameter;
    *color = brush->back;
    return Ok;
}

namespace {

GpStatus MakeTexture(GpImage* image, WrapMode wrap, const QRectF* source, const GpImageAttributes* attributes,
                     GpTexture** texture)
{
    if (!texture)
        return InvalidParameter;
    *texture = nullptr;
    if (!image || image->image.isNull() || wrap < WrapModeTile || wrap > WrapModeClamp)
        return InvalidParameter;
    QImage pixels = image->image.convertToFormat(QImage::Format_ARGB32);
    if (source) {
        const QRect wanted = source->toAlignedRect();
        if (wanted.isEmpty() || !pixels.rect().contains(wanted))
            return InvalidParameter;
        pixels = pixels.copy(wanted);
    }
    if (attributes)
        pixels = attributes->Apply(pixels, ColorAdjustTypeBitmap);
    auto* made = new (std::nothrow) GpTexture;
    if (!made)
        return OutOfMemory;
    auto copy = std::make_shared<GpBitmap>();
    copy->image = std::move(pixels);
    copy->pixelFormat = PixelFormat32bppARGB;
    made->image = std::move(copy);
    made->wrap = attributes && attributes->wrap ? *attributes->wrap : wrap;
    *texture = made;
    return Ok;
}

}  // namespace

GpStatus GdipCreateTexture(GpImage* image, WrapMode wrap, GpTexture** texture)
{
    return MakeTexture(image, wrap, nullptr, nullptr, texture);
}

GpStatus GdipCreateTexture2(GpImage* image, WrapMode wrap, REAL x, REAL y, REAL width, REAL height,
                            GpTexture** texture)
{
    const QRectF source(x, y, width, height);
    return MakeTexture(image, wrap, &source, nullptr, texture);
}

GpStatus GdipCreateTexture2I(GpImage* image, WrapMode wrap, INT x, INT y, INT width, INT height,
                             GpTexture** texture)
{
    const QRectF source(x, y, width, height);
    return MakeTexture(image, wrap, &source, nullptr, texture);
}

GpStatus GdipCreateTextureIA(GpImage* image, const GpImageAttributes* attributes, REAL x, REAL y, REAL width,
                             REAL height, GpTexture** texture)
{
    const QRectF source(x, y, width, height);
    return MakeTexture(image, WrapModeTile, &source, attributes, texture);
}

GpStatus GdipCreateTextureIAI(GpImage* image, const GpImageAttributes* attributes, INT x, INT y, INT width,
                              INT height, GpTexture** texture)
{
    const QRectF source(x, y, width, height);
    return MakeTexture(image, WrapModeTile, &source, attributes, texture);
}

GpStatus GdipSetTextureTransform(GpTexture* brush, const GpMatrix* matrix)
{
    if (!brush || !matrix || !matrix->m.isInvertible())
        return InvalidParameter;
    brush->transform = matrix->m;
    return Ok;
}

GpStatus GdipGetTextureTransform(GpTexture* brush, GpMatrix* matrix)
{
    if (!brush || !matrix)
        return InvalidParameter;
    matrix->m = brush->transform;
    return Ok;
}

GpStatus GdipResetTextureTransform(GpTexture* brush)
{
    if (!brush)
        return InvalidParameter;
    brush->transform.reset();
    return Ok;
}

GpStatus GdipMultiplyTextureTransform(GpTexture* brush, const GpMatrix* matrix, MatrixOrder order)
{
    if (!brush || !matrix)
        return InvalidParameter;
    ApplyOrder(brush->transform, matrix->m, order);
    return Ok;
}

GpStatus GdipTranslateTextureTransform(GpTexture* brush, REAL dx, REAL dy, MatrixOrder order)
{
    if (!brush)
        return InvalidParameter;
    ApplyOrder(brush->transform, QTransform::fromTranslate(dx, dy), order);
    return Ok;
}

GpStatus GdipScaleTextureTransform(GpTexture* brush, REAL sx, REAL sy, MatrixOrder order)
{
    if (!brush)
        return InvalidParameter;
    ApplyOrder(brush->transform, QTransform::fromScale(sx, sy), order);
    return Ok;
}

GpStatus GdipRotateTextureTransform(GpTexture* brush, REAL angle, MatrixOrder order)
{
    if (!brush)
        return InvalidParameter;
    ApplyOrder(brush->transform, QTransform().rotate(angle), order);
    return Ok;
}

GpStatus GdipSetTextureWrapMode(GpTexture* brush, WrapMode wrap)
{
    if (!brush || wrap < WrapModeTile || wrap > WrapModeClamp)
        return InvalidParameter;
    brush->wrap = wrap;
    return Ok;
}

GpStatus GdipGetTextureWrapMode(GpTexture* brush, WrapMode* wrap)
{
    if (!brush || !wrap)
        return InvalidParameter;
    *wrap = brush->wrap;
    return Ok;
}

GpStatus GdipGetTextureImage(GpTexture* brush, GpImage** image)
{
    if (!brush || !image || !brush->image)
        return InvalidParameter;
    return GdipCloneImage(brush->image.get(), image);
}

// Linear gradients.

namespace {

GpStatus MakeLine(QRectF rect, QPointF start, QPointF end, QTransform unitToRect, ARGB c1, ARGB c2, WrapMode wrap,
                  GpLineGradient** brush)
{
    if (!brush)
        return InvalidParameter;
    *brush = nullptr;
    if (wrap == WrapModeClamp || wrap < WrapModeTile || wrap > WrapModeClamp)
        return InvalidParameter;
    auto* made = new (std::nothrow) GpLineGradient;
    if (!made)
        return OutOfMemory;
    made->rect = rect;
    made->start = start;
    made->end = end;
    made->unitToRect = unitToRect;
    made->colors[0] = c1;
    made->colors[1] = c2;
    made->wrap = wrap;
    *brush = made;
    return Ok;
}

QTransform UnitTo(const QRectF& r)
{
    return QTransform(r.width(), 0, 0, r.height(), r.x(), r.y());
}

// The gradient line of an angle: through the middle of the box, long enough
// that the corners with the least and the most projection get the two end
// colours.
void AngleLine(QRectF box, double angleDegrees, QPointF* start, QPointF* end)
{
    const double a = angleDegrees * 3.14159265358979323846 / 180.0;
    const QPointF d(std::cos(a), std::sin(a));
    const QPointF corners[4] = {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()};
    double lo = 1e300, hi = -1e300;
    for (const QPointF& c : corners) {
        const double t = c.x() * d.x() + c.y() * d.y();
        lo = std::min(lo, t);
        hi = std::max(hi, t);
    }
    const QPointF centre = box.center();
    const double mid = centre.x() * d.x() + centre.y() * d.y();
    *start = centre + (lo - mid) * d;
    *end = centre + (hi - mid) * d;
}

GpStatus LineFromRect(QRectF r, ARGB c1, ARGB c2, LinearGradientMode mode, WrapMode wrap, GpLineGradient** brush)
{
    if (!brush)
        return InvalidParameter;
    if (r.width() == 0 || r.height() == 0) {
        *brush = nullptr;
        return OutOfMemory;
    }
    QPointF start(0, 0), end(1, 0);
    switch (mode) {
    case LinearGradientModeHorizontal:
        break;
    case LinearGradientModeVertical:
        end = {0, 1};
        break;
    case LinearGradientModeForwardDiagonal:
        end = {1, 1};
        break;
    case LinearGradientModeBackwardDiagonal:
        start = {1, 0};
        end = {0, 1};
        break;
    default:
        *brush = nullptr;
        return InvalidParameter;
    }
    return MakeLine(r, start, end, UnitTo(r), c1, c2, wrap, brush);
}

GpStatus LineFromAngle(QRectF r, ARGB c1, ARGB c2, REAL angle, BOOL scalable, WrapMode wrap,
                       GpLineGradient** brush)
{
    if (!brush)
        return InvalidParameter;
    if (r.width() == 0 || r.height() == 0) {
        *brush = nullptr;
        return OutOfMemory;
    }
    QPointF start, end;
    if (scalable) {
        // The angle holds in the unit square, which is then stretched over
        // the rectangle.
        AngleLine(QRectF(0, 0, 1, 1), angle, &start, &end);
        return MakeLine(r, start, end, UnitTo(r), c1, c2, wrap, brush);
    }
    AngleLine(r, angle, &start, &end);
    return MakeLine(r, start, end, QTransform(), c1, c2, wrap, brush);
}

}  // namespace

GpStatus GdipCreateLineBrush(const GpPointF* point1, const GpPointF* point2, ARGB color1, ARGB color2,
                             WrapMode wrap, GpLineGradient** brush)
{
    if (!point1 || !point2)
        return InvalidParameter;
    const QPointF a(point1->X, point1->Y), b(point2->X, point2->Y);
    if (a == b) {
        if (brush)
            *brush = nullptr;
        return OutOfMemory;
    }
    return MakeLine(QRectF(a, b).normalized(), a, b, QTransform(), color1, color2, wrap, brush);
}

GpStatus GdipCreateLineBrushI(const GpPoint* point1, const GpPoint* point2, ARGB color1, ARGB color2,
                              WrapMode wrap, GpLineGradient** brush)
{
    if (!point1 || !point2)
        return InvalidParameter;
    const GpPointF a{REAL(point1->X), REAL(point1->Y)}, b{REAL(point2->X), REAL(point2->Y)};
    return GdipCreateLineBrush(&a, &b, color1, color2, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2, LinearGradientMode mode,
                                     WrapMode wrap, GpLineGradient** brush)
{
    if (!rect)
        return InvalidParameter;
    return LineFromRect(QRectF(rect->X, rect->Y, rect->Width, rect->Height), color1, color2, mode, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRectI(const GpRect* rect, ARGB color1, ARGB color2, LinearGradientMode mode,
                                      WrapMode wrap, GpLineGradient** brush)
{
    if (!rect)
        return InvalidParameter;
    return LineFromRect(QRectF(rect->X, rect->Y, rect->Width, rect->Height), color1, color2, mode, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRectWithAngle(const GpRectF* rect, ARGB color1, ARGB color2, REAL angle,
                                              BOOL isAngleScalable, WrapMode wrap, GpLineGradient** brush)
{
    if (!rect)
        return InvalidParameter;
    return LineFromAngle(QRectF(rect->X, rect->Y, rect->Width, rect->Height), color1, color2, angle,
                         isAngleScalable, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRectWithAngleI(const GpRect* rect, ARGB color1, ARGB color2, REAL angle,
                                               BOOL isAngleScalable, WrapMode wrap, GpLineGradient** brush)
{
    if (!rect)
        return InvalidParameter;
    return LineFromAngle(QRectF(rect->X, rect->Y, rect->Width, rect->Height), color1, color2, angle,
                         isAngleScalable, wrap, brush);
}

GpStatus GdipSetLineGammaCorrection(GpLineGradient* brush, BOOL useGamma)
{
    if (!brush)
        return InvalidParameter;
    brush->blend.gamma = useGamma != 0;
    return Ok;
}

GpStatus GdipGetLineGammaCorrection(GpLineGradient* brush, BOOL* useGamma)
{
    if (!brush || !useGamma)
        return InvalidParameter;
    *useGamma = brush->blend.gamma;
    return Ok;
}

GpStatus GdipGetLineBlendCount(GpLineGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = brush->blend.factors.empty() ? 1 : static_cast<INT>(brush->blend.factors.size());
    return Ok;
}

GpStatus GdipSetLineBlend(GpLineGradient* brush, const REAL* factors, const REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return SetFactors(brush->blend, factors, positions, count);
}

GpStatus GdipGetLineBlend(GpLineGradient* brush, REAL* factors, REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return GetFactors(brush->blend, factors, positions, count);
}

GpStatus GdipGetLinePresetBlendCount(GpLineGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = static_cast<INT>(brush->blend.presetColors.size());
    return Ok;
}

GpStatus GdipSetLinePresetBlend(GpLineGradient* brush, const ARGB* colors, const REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return SetPresets(brush->blend, colors, positions, count);
}

GpStatus GdipGetLinePresetBlend(GpLineGradient* brush, ARGB* colors, REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return GetPresets(brush->blend, colors, positions, count);
}

GpStatus GdipSetLineSigmaBlend(GpLineGradient* brush, REAL focus, REAL scale)
{
    if (!brush || focus < 0 || focus > 1 || scale < 0 || scale > 1)
        return InvalidParameter;
    ShapeBlend(brush->blend, focus, scale, true);
    return Ok;
}

GpStatus GdipSetLineLinearBlend(GpLineGradient* brush, REAL focus, REAL scale)
{
    if (!brush || focus < 0 || focus > 1 || scale < 0 || scale > 1)
        return InvalidParameter;
    ShapeBlend(brush->blend, focus, scale, false);
    return Ok;
}

// Path gradients.

namespace {

QPointF Centroid(const GpPath& path)
{
    if (path.onlyEllipse)
        return path.onlyEllipse->center();
    const QPolygonF polygon = path.ToPainterPath().toFillPolygon();
    double area = 0, cx = 0, cy = 0;
    for (int i = 0; i + 1 < polygon.size(); ++i) {
        const double cross = polygon[i].x() * polygon[i + 1].y() - polygon[i + 1].x() * polygon[i].y();
        area += cross;
        cx += (polygon[i].x() + polygon[i + 1].x()) * cross;
        cy += (polygon[i].y() + polygon[i + 1].y()) * cross;
    }
    if (std::abs(area) < 1e-9)
        return polygon.boundingRect().center();
    return {cx / (3 * area), cy / (3 * area)};
}

GpStatus MakePathGradient(const GpPath& path, WrapMode wrap, GpPathGradient** brush)
{
    if (!brush)
        return InvalidParameter;
    *brush = nullptr;
    if (path.points.size() < 2 || wrap < WrapModeTile || wrap > WrapModeClamp)
        return OutOfMemory;
    auto* made = new (std::nothrow) GpPathGradient;
    if (!made)
        return OutOfMemory;
    made->path = path;
    made->wrap = wrap;
    made->surroundColors = {0xFFFFFFFFu};
    made->center = Centroid(path);
    *brush = made;
    return Ok;
}

template <typename P>
GpStatus PathGradientFromPoints(const P* points, INT count, WrapMode wrap, GpPathGradient** brush)
{
    if (!points || count < 2)
        return OutOfMemory;
    GpPath path;
    for (INT i = 0; i < count; ++i) {
        path.points.emplace_back(points[i].X, points[i].Y);
        path.types.push_back(i == 0 ? PathPointTypeStart : PathPointTypeLine);
    }
    path.types.back() |= PathPointTypeCloseSubpath;
    return MakePathGradient(path, wrap, brush);
}

}  // namespace

GpStatus GdipCreatePathGradient(const GpPointF* points, INT count, WrapMode wrap, GpPathGradient** brush)
{
    return PathGradientFromPoints(points, count, wrap, brush);
}

GpStatus GdipCreatePathGradientI(const GpPoint* points, INT count, WrapMode wrap, GpPathGradient** brush)
{
    return PathGradientFromPoints(points, count, wrap, brush);
}

GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush)
{
    if (!path)
        return InvalidParameter;
    return MakePathGradient(*path, WrapModeClamp, brush);
}

GpStatus GdipGetPathGradientCenterColor(GpPathGradient* brush, ARGB* color)
{
    if (!brush || !color)
        return InvalidParameter;
    *color = brush->centerColor;
    return Ok;
}

GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color)
{
    if (!brush)
        return InvalidParameter;
    brush->centerColor = color;
    return Ok;
}

GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = brush->PointCount();
    return Ok;
}

GpStatus GdipGetPathGradientSurroundColorCount(GpPathGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = static_cast<INT>(brush->surroundColors.size());
    return Ok;
}

GpStatus GdipGetPathGradientSurroundColorsWithCount(GpPathGradient* brush, ARGB* colors, INT* count)
{
    if (!brush || !colors || !count)
        return InvalidParameter;
    const INT have = static_cast<INT>(brush->surroundColors.size());
    if (*count < have)
        return InsufficientBuffer;
    std::copy(brush->surroundColors.begin(), brush->surroundColors.end(), colors);
    *count = have;
    return Ok;
}

GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors, INT* count)
{
    if (!brush || !colors || !count || *count < 1 || *count > brush->PointCount())
        return InvalidParameter;
    brush->surroundColors.assign(colors, colors + *count);
    return Ok;
}

GpStatus GdipGetPathGradientCenterPoint(GpPathGradient* brush, GpPointF* point)
{
    if (!brush || !point)
        return InvalidParameter;
    *point = {REAL(brush->center.x()), REAL(brush->center.y())};
    return Ok;
}

GpStatus GdipGetPathGradientCenterPointI(GpPathGradient* brush, GpPoint* point)
{
    if (!brush || !point)
        return InvalidParameter;
    *point = {RoundHalfEven(brush->center.x()), RoundHalfEven(brush->center.y())};
    return Ok;
}

GpStatus GdipSetPathGradientCenterPoint(GpPathGradient* brush, const GpPointF* point)
{
    if (!brush || !point)
        return InvalidParameter;
    brush->center = QPointF(point->X, point->Y);
    return Ok;
}

GpStatus GdipSetPathGradientCenterPointI(GpPathGradient* brush, const GpPoint* point)
{
    if (!brush || !point)
        return InvalidParameter;
    brush->center = QPointF(point->X, point->Y);
    return Ok;
}

GpStatus GdipSetPathGradientGammaCorrection(GpPathGradient* brush, BOOL useGamma)
{
    if (!brush)
        return InvalidParameter;
    brush->blend.gamma = useGamma != 0;
    return Ok;
}

GpStatus GdipGetPathGradientGammaCorrection(GpPathGradient* brush, BOOL* useGamma)
{
    if (!brush || !useGamma)
        return InvalidParameter;
    *useGamma = brush->blend.gamma;
    return Ok;
}

GpStatus GdipGetPathGradientWrapMode(GpPathGradient* brush, WrapMode* wrap)
{
    if (!brush || !wrap)
        return InvalidParameter;
    *wrap = brush->wrap;
    return Ok;
}

GpStatus GdipSetPathGradientWrapMode(GpPathGradient* brush, WrapMode wrap)
{
    if (!brush || wrap < WrapModeTile || wrap > WrapModeClamp)
        return InvalidParameter;
    brush->wrap = wrap;
    return Ok;
}

GpStatus GdipGetPathGradientBlendCount(GpPathGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = brush->blend.factors.empty() ? 1 : static_cast<INT>(brush->blend.factors.size());
    return Ok;
}

GpStatus GdipSetPathGradientBlend(GpPathGradient* brush, const REAL* factors, const REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return SetFactors(brush->blend, factors, positions, count);
}

GpStatus GdipGetPathGradientBlend(GpPathGradient* brush, REAL* factors, REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return GetFactors(brush->blend, factors, positions, count);
}

GpStatus GdipGetPathGradientPresetBlendCount(GpPathGradient* brush, INT* count)
{
    if (!brush || !count)
        return InvalidParameter;
    *count = static_cast<INT>(brush->blend.presetColors.size());
    return Ok;
}

GpStatus GdipSetPathGradientPresetBlend(GpPathGradient* brush, const ARGB* colors, const REAL* positions,
                                        INT count)
{
    if (!brush)
        return InvalidParameter;
    return SetPresets(brush->blend, colors, positions, count);
}

GpStatus GdipGetPathGradientPresetBlend(GpPathGradient* brush, ARGB* colors, REAL* positions, INT count)
{
    if (!brush)
        return InvalidParameter;
    return GetPresets(brush->blend, colors, positions, count);
}

GpStatus GdipSetPathGradientSigmaBlend(GpPathGradient* brush, REAL focus, REAL scale)
{
    if (!brush || focus < 0 || focus > 1 || scale < 0 || scale > 1)
        return InvalidParameter;
    ShapeBlend(brush->blend, focus, scale, true);
    return Ok;
}

GpStatus GdipSetPathGradientLinearBlend(GpPathGradient* brush, REAL focus, REAL scale)
{
    if (!brush || focus < 0 || focus > 1 || scale < 0 || scale > 1)
        return InvalidParameter;
    ShapeBlend(brush->blend, focus, scale, false);
    return Ok;
}
