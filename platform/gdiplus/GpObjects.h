#pragma once
// The objects behind the flat interface's handles (other than images, see
// GpImage.h). Callers only ever hold pointers to them.
#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "platform/gdiplus/GdiPlusTypes.h"
#include "platform/gdiplus/GpImage.h"

class QPainter;
using HDC = QPainter*;

// Point types in a path, as the flat interface reports them.
enum PathPointType : BYTE {
    PathPointTypeStart = 0, PathPointTypeLine = 1, PathPointTypeBezier = 3, PathPointTypeCloseSubpath = 0x80
};

struct GpPath {
    FillMode fillMode = FillModeAlternate;
    std::vector<QPointF> points;
    std::vector<BYTE> types;
    // The next point added starts a new figure.
    bool newFigure = true;
    // Set while the path is exactly one ellipse (path gradients paint it
    // as a radial gradient).
    std::optional<QRectF> onlyEllipse;

    QPainterPath ToPainterPath() const;
};

// Regions are painter paths; an infinite region has no path.
struct GpRegion {
    bool infinite = false;
    QPainterPath path;
};

struct GpMatrix {
    QTransform m;
};

struct GpBrush {
    virtual ~GpBrush() = default;
    virtual BrushType Type() const = 0;
    virtual GpBrush* Clone() const = 0;
    // The Qt brush that paints like this one. `shape` is the area being
    // filled, in the same coordinates; brushes that only cover part of the
    // plane (clamped textures, path gradients) narrow it.
    virtual QBrush ToQBrush(QPainterPath* shape) const = 0;
};

struct GpSolidFill : GpBrush {
    ARGB color = 0;
    BrushType Type() const override { return BrushTypeSolidColor; }
    GpBrush* Clone() const override { return new GpSolidFill(*this); }
    QBrush ToQBrush(QPainterPath*) const override;
};

struct GpHatch : GpBrush {
    HatchStyle style = HatchStyleHorizontal;
    ARGB fore = 0, back = 0;
    BrushType Type() const override { return BrushTypeHatchFill; }
    GpBrush* Clone() const override { return new GpHatch(*this); }
    QBrush ToQBrush(QPainterPath*) const override;
};

struct GpImageAttributes;

struct GpTexture : GpBrush {
    std::shared_ptr<GpImage> image;  // the brush's own copy of the pixels
    WrapMode wrap = WrapModeTile;
    QTransform transform;
    BrushType Type() const override { return BrushTypeTextureFill; }
    GpBrush* Clone() const override { return new GpTexture(*this); }
    QBrush ToQBrush(QPainterPath* shape) const override;
};

// What the two gradient kinds share: blend factors or preset colours.
struct GradientBlend {
    std::vector<REAL> factors, factorPositions;
    std::vector<ARGB> presetColors;
    std::vector<REAL> presetPositions;
    bool gamma = false;
};

struct GpLineGradient : GpBrush {
    QRectF rect;
    ARGB colors[2] = {0, 0};
    // Gradient runs from `start` to `end` in unit space, mapped to `rect`
    // by `unitToRect` (so diagonals scale with the rectangle).
    QPointF start, end;
    QTransform unitToRect;
    WrapMode wrap = WrapModeTile;
    QTransform transform;
    GradientBlend blend;
    BrushType Type() const override { return BrushTypeLinearGradient; }
    GpBrush* Clone() const override { return new GpLineGradient(*this); }
    QBrush ToQBrush(QPainterPath* shape) const override;
};

struct GpPathGradient : GpBrush {
    GpPath path;
    ARGB centerColor = 0xFF000000u;
    std::vector<ARGB> surroundColors;  // one per point once set; starts as one white
    QPointF center;
    WrapMode wrap = WrapModeClamp;
    GradientBlend blend;
    BrushType Type() const override { return BrushTypePathGradient; }
    GpBrush* Clone() const override { return new GpPathGradient(*this); }
    QBrush ToQBrush(QPainterPath* shape) const override;
    int PointCount() const { return static_cast<int>(path.points.size()); }
};

struct GpPen {
    REAL width = 1;
    Unit_ unit = UnitWorld;
    std::unique_ptr<GpBrush> brush;
    DashStyle dash = DashStyleSolid;
    LineCap startCap = LineCapFlat, endCap = LineCapFlat;
    QPen ToQPen() const;
};

struct GpFontFamily {
    QString name;  // the installed family it resolved to
};

struct GpFont {
    QString family;
    REAL emSize = 0;
    INT style = 0;
    Unit_ unit = UnitPoint;
    // The size in pixels at 96 dots per inch.
    qreal PixelSize() const;
};

struct GpStringFormat {
    INT flags = 0;
    INT language = 0;
    StringAlignment align = StringAlignmentNear;
    StringAlignment lineAlign = StringAlignmentNear;
    StringTrimming trimming = StringTrimmingCharacter;
    HotkeyPrefix hotkey = HotkeyPrefixNone;
};

struct ColorAdjustments {
    bool enabled = false;
    bool noOp = false;
    std::optional<ColorMatrix> matrix;
    ColorMatrixFlags matrixFlags = ColorMatrixFlagsDefault;
    std::optional<REAL> threshold;
    std::optional<REAL> gamma;
    std::optional<std::pair<ARGB, ARGB>> colorKey;
    std::optional<ColorChannelFlags> outputChannel;
    std::vector<ColorMap> remap;
};

struct GpImageAttributes {
    std::array<ColorAdjustments, ColorAdjustTypeCount> adjust;
    // Set by GdipSetImageAttributesWrapMode; textures made with these
    // attributes tile unless it was called.
    std::optional<WrapMode> wrap;
    ARGB wrapColor = 0;
    // Applies the adjustments for `type` (or the default ones when that type
    // has none) to a copy of `source`.
    QImage Apply(const QImage& source, ColorAdjustType type) const;
    ARGB ApplyToColor(ARGB color, ColorAdjustType type) const;
};

struct GpGraphics {
    QPainter* painter = nullptr;
    std::unique_ptr<QPainter> ownPainter;  // for a graphics on an image
    GpImage* image = nullptr;
    bool onDc = false;
    // The clip the painter had when the graphics was made (the outer limit),
    // and the graphics' own clip; both in the painter's coordinates, nullopt
    // meaning no limit.
    std::optional<QPainterPath> baseClip;
    std::optional<QPainterPath> clip;
    QRectF surface;  // the whole drawing surface, in the painter's coordinates
    bool dcOut = false;
    SmoothingMode smoothing = SmoothingModeNone;
    PixelOffsetMode pixelOffset = PixelOffsetModeDefault;
    TextRenderingHint textHint = TextRenderingHintSystemDefault;
    CompositingQuality compositing = CompositingQualityDefault;
    InterpolationMode interpolation = InterpolationModeBilinear;

    // Sets up the painter for one drawing call: render hints, composition
    // and the clip (base ∩ own, further limited by `extraClip` when given).
    void Prepare(const QPainterPath* extraClip = nullptr);
    // The offset that moves this layer's coordinates, where integers are pixel
    // centres, onto Qt's, where they are pixel corners.
    QPointF GeometryOffset() const;
};

// Frees an object of the flat interface; a null one is InvalidParameter.
template <typename T>
GpStatus DeleteFlatObject(T* object)
{
    if (!object)
        return InvalidParameter;
    delete object;
    return Ok;
}

// Rounds to the nearest integer, ties to the even one.
int RoundHalfEven(double value);

// Pixels per unit at 96 dots per inch (world and display units are pixels).
qreal PixelsPerUnit(Unit_ unit);

// A QColor from an ARGB value.
inline QColor QColorOfArgb(ARGB argb) { return QColor::fromRgba(argb); }

// The 8 × 8 pattern of a hatch style: row r, bit 7 − c set where the
// foreground shows at column c. Nothing for styles out of range.
const BYTE* HatchPattern(HatchStyle style);
