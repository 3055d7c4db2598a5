#include "controls/GPBrushes.h"

#include <vector>

#include "controls/GPImageAttributes.h"
#include "controls/GPPath.h"

TGPBrush::~TGPBrush()
{
    if (nativeBrush)
        GdipDeleteBrush(nativeBrush);
}

TGPSolidBrush::TGPSolidBrush(ARGB color)
{
    GpSolidFill* brush = nullptr;
    lastResult = GdipCreateSolidFill(color, &brush);
    nativeBrush = brush;
}

TGPHatchBrush::TGPHatchBrush(HatchStyle style, ARGB foreColor, ARGB backColor)
{
    GpHatch* brush = nullptr;
    lastResult = GdipCreateHatchBrush(style, foreColor, backColor, &brush);
    nativeBrush = brush;
}

HatchStyle TGPHatchBrush::GetHatchStyle()
{
    HatchStyle style = HatchStyleHorizontal;
    SetStatus(GdipGetHatchStyle(Native(), &style));
    return style;
}

ARGB TGPHatchBrush::GetForegroundColor()
{
    ARGB color = 0;
    SetStatus(GdipGetHatchForegroundColor(Native(), &color));
    return color;
}

ARGB TGPHatchBrush::GetBackgroundColor()
{
    ARGB color = 0;
    SetStatus(GdipGetHatchBackgroundColor(Native(), &color));
    return color;
}

namespace {
GpImage* ImageOf(TGPImage* image)
{
    return image ? image->NativeImage() : nullptr;
}
const GpImageAttributes* AttributesOf(TGPImageAttributes* attributes)
{
    return attributes ? attributes->NativeImageAttributes() : nullptr;
}
}  // namespace

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode)
{
    GpTexture* brush = nullptr;
    lastResult = GdipCreateTexture(ImageOf(image), wrapMode, &brush);
    nativeBrush = brush;
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRectF& r)
    : TGPTextureBrush(image, wrapMode, r.X, r.Y, r.Width, r.Height)
{
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRect& r)
    : TGPTextureBrush(image, wrapMode, r.X, r.Y, r.Width, r.Height)
{
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, float x, float y, float width, float height)
{
    GpTexture* brush = nullptr;
    lastResult = GdipCreateTexture2(ImageOf(image), wrapMode, x, y, width, height, &brush);
    nativeBrush = brush;
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, WrapMode wrapMode, int x, int y, int width, int height)
{
    GpTexture* brush = nullptr;
    lastResult = GdipCreateTexture2I(ImageOf(image), wrapMode, x, y, width, height, &brush);
    nativeBrush = brush;
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, const TGPRectF& r, TGPImageAttributes* attributes)
{
    GpTexture* brush = nullptr;
    lastResult = GdipCreateTextureIA(ImageOf(image), AttributesOf(attributes), r.X, r.Y, r.Width, r.Height, &brush);
    nativeBrush = brush;
}

TGPTextureBrush::TGPTextureBrush(TGPImage* image, const TGPRect& r, TGPImageAttributes* attributes)
{
    GpTexture* brush = nullptr;
    lastResult = GdipCreateTextureIAI(ImageOf(image), AttributesOf(attributes), r.X, r.Y, r.Width, r.Height, &brush);
    nativeBrush = brush;
}

Status TGPTextureBrush::SetTransform(TGPMatrix* matrix)
{
    return SetStatus(GdipSetTextureTransform(Native(), matrix ? matrix->NativeMatrix() : nullptr));
}

Status TGPTextureBrush::GetTransform(TGPMatrix* matrix)
{
    return SetStatus(GdipGetTextureTransform(Native(), matrix ? matrix->NativeMatrix() : nullptr));
}

Status TGPTextureBrush::ResetTransform()
{
    return SetStatus(GdipResetTextureTransform(Native()));
}

Status TGPTextureBrush::MultiplyTransform(TGPMatrix* matrix, MatrixOrder order)
{
    return SetStatus(GdipMultiplyTextureTransform(Native(), matrix ? matrix->NativeMatrix() : nullptr, order));
}

Status TGPTextureBrush::TranslateTransform(float dx, float dy, MatrixOrder order)
{
    return SetStatus(GdipTranslateTextureTransform(Native(), dx, dy, order));
}

Status TGPTextureBrush::ScaleTransform(float sx, float sy, MatrixOrder order)
{
    return SetStatus(GdipScaleTextureTransform(Native(), sx, sy, order));
}

Status TGPTextureBrush::RotateTransform(float angle, MatrixOrder order)
{
    return SetStatus(GdipRotateTextureTransform(Native(), angle, order));
}

Status TGPTextureBrush::SetWrapMode(WrapMode wrapMode)
{
    return SetStatus(GdipSetTextureWrapMode(Native(), wrapMode));
}

WrapMode TGPTextureBrush::GetWrapMode()
{
    WrapMode mode = WrapModeTile;
    SetStatus(GdipGetTextureWrapMode(Native(), &mode));
    return mode;
}

TGPImage* TGPTextureBrush::GetImage()
{
    GpImage* image = nullptr;
    const Status status = SetStatus(GdipGetTextureImage(Native(), &image));
    if (status != Ok)
        return nullptr;
    return new TGPImage(image, lastResult);
}

// Linear gradients.

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPPointF& p1, const TGPPointF& p2, ARGB c1, ARGB c2)
{
    GpLineGradient* brush = nullptr;
    const GpPointF a{p1.X, p1.Y}, b{p2.X, p2.Y};
    lastResult = GdipCreateLineBrush(&a, &b, c1, c2, WrapModeTile, &brush);
    nativeBrush = brush;
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPPoint& p1, const TGPPoint& p2, ARGB c1, ARGB c2)
{
    GpLineGradient* brush = nullptr;
    const GpPoint a{p1.X, p1.Y}, b{p2.X, p2.Y};
    lastResult = GdipCreateLineBrushI(&a, &b, c1, c2, WrapModeTile, &brush);
    nativeBrush = brush;
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRectF& r, ARGB c1, ARGB c2, LinearGradientMode mode)
{
    GpLineGradient* brush = nullptr;
    const GpRectF rect{r.X, r.Y, r.Width, r.Height};
    lastResult = GdipCreateLineBrushFromRect(&rect, c1, c2, mode, WrapModeTile, &brush);
    nativeBrush = brush;
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRect& r, ARGB c1, ARGB c2, LinearGradientMode mode)
{
    GpLineGradient* brush = nullptr;
    const GpRect rect{r.X, r.Y, r.Width, r.Height};
    lastResult = GdipCreateLineBrushFromRectI(&rect, c1, c2, mode, WrapModeTile, &brush);
    nativeBrush = brush;
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRectF& r, ARGB c1, ARGB c2, float angle,
                                               bool isAngleScalable)
{
    GpLineGradient* brush = nullptr;
    const GpRectF rect{r.X, r.Y, r.Width, r.Height};
    lastResult = GdipCreateLineBrushFromRectWithAngle(&rect, c1, c2, angle, isAngleScalable, WrapModeTile, &brush);
    nativeBrush = brush;
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRect& r, ARGB c1, ARGB c2, float angle,
                                               bool isAngleScalable)
{
    GpLineGradient* brush = nullptr;
    const GpRect rect{r.X, r.Y, r.Width, r.Height};
    lastResult = GdipCreateLineBrushFromRectWithAngleI(&rect, c1, c2, angle, isAngleScalable, WrapModeTile, &brush);
    nativeBrush = brush;
}

Status TGPLinearGradientBrush::SetGammaCorrection(bool useGammaCorrection)
{
    return SetStatus(GdipSetLineGammaCorrection(Native(), useGammaCorrection));
}

bool TGPLinearGradientBrush::GetGammaCorrection()
{
    BOOL use = 0;
    SetStatus(GdipGetLineGammaCorrection(Native(), &use));
    return use != 0;
}

int TGPLinearGradientBrush::GetBlendCount()
{
    INT count = 0;
    SetStatus(GdipGetLineBlendCount(Native(), &count));
    return count;
}

Status TGPLinearGradientBrush::SetBlend(const float* blendFactors, const float* blendPositions, int count)
{
    return SetStatus(GdipSetLineBlend(Native(), blendFactors, blendPositions, count));
}

Status TGPLinearGradientBrush::GetBlend(float* blendFactors, float* blendPositions, int count)
{
    if (count < 1 || !blendFactors || !blendPositions)
        return SetStatus(InvalidParameter);
    return SetStatus(GdipGetLineBlend(Native(), blendFactors, blendPositions, count));
}

int TGPLinearGradientBrush::GetInterpolationColorCount()
{
    INT count = 0;
    SetStatus(GdipGetLinePresetBlendCount(Native(), &count));
    return count;
}

Status TGPLinearGradientBrush::SetInterpolationColors(const ARGB* presetColors, const float* blendPositions,
                                                      int count)
{
    if (count < 1)
        return SetStatus(InvalidParameter);
    return SetStatus(GdipSetLinePresetBlend(Native(), presetColors, blendPositions, count));
}

Status TGPLinearGradientBrush::GetInterpolationColors(ARGB* presetColors, float* blendPositions, int count)
{
    if (count < 1)
        return SetStatus(InvalidParameter);
    return SetStatus(GdipGetLinePresetBlend(Native(), presetColors, blendPositions, count));
}

Status TGPLinearGradientBrush::SetBlendBellShape(float focus, float scale)
{
    return SetStatus(GdipSetLineSigmaBlend(Native(), focus, scale));
}

Status TGPLinearGradientBrush::SetBlendTriangularShape(float focus, float scale)
{
    return SetStatus(GdipSetLineLinearBlend(Native(), focus, scale));
}

// Path gradients.

TGPPathGradientBrush::TGPPathGradientBrush(const TGPPointF* points, int count, WrapMode wrapMode)
{
    GpPathGradient* brush = nullptr;
    lastResult = GdipCreatePathGradient(reinterpret_cast<const GpPointF*>(points), count, wrapMode, &brush);
    nativeBrush = brush;
}

TGPPathGradientBrush::TGPPathGradientBrush(const TGPPoint* points, int count, WrapMode wrapMode)
{
    GpPathGradient* brush = nullptr;
    lastResult = GdipCreatePathGradientI(reinterpret_cast<const GpPoint*>(points), count, wrapMode, &brush);
    nativeBrush = brush;
}

TGPPathGradientBrush::TGPPathGradientBrush(TGPGraphicsPath* path)
{
    GpPathGradient* brush = nullptr;
    lastResult = GdipCreatePathGradientFromPath(path ? path->NativePath() : nullptr, &brush);
    nativeBrush = brush;
}

ARGB TGPPathGradientBrush::GetCenterColor()
{
    ARGB color = 0;
    SetStatus(GdipGetPathGradientCenterColor(Native(), &color));
    return color;
}

Status TGPPathGradientBrush::SetCenterColor(ARGB color)
{
    return SetStatus(GdipSetPathGradientCenterColor(Native(), color));
}

int TGPPathGradientBrush::GetPointCount()
{
    INT count = 0;
    SetStatus(GdipGetPathGradientPointCount(Native(), &count));
    return count;
}

int TGPPathGradientBrush::GetSurroundColorCount()
{
    INT count = 0;
    SetStatus(GdipGetPathGradientSurroundColorCount(Native(), &count));
    return count;
}

Status TGPPathGradientBrush::GetSurroundColors(ARGB* colors, int& count)
{
    if (!colors)
        return SetStatus(InvalidParameter);
    INT have = 0;
    if (const Status status = SetStatus(GdipGetPathGradientSurroundColorCount(Native(), &have)); status != Ok)
        return status;
    if (count < have || have < 1)
        return SetStatus(InsufficientBuffer);
    INT read = have;
    const Status status = SetStatus(GdipGetPathGradientSurroundColorsWithCount(Native(), colors, &read));
    if (status == Ok)
        count = read;
    return status;
}

Status TGPPathGradientBrush::SetSurroundColors(const ARGB* colors, int& count)
{
    if (!colors)
        return SetStatus(InvalidParameter);
    INT points = 0;
    if (const Status status = SetStatus(GdipGetPathGradientPointCount(Native(), &points)); status != Ok)
        return status;
    if (count > points || points < 1)
        return SetStatus(InvalidParameter);
    INT used = count;
    const Status status = SetStatus(GdipSetPathGradientSurroundColorsWithCount(Native(), colors, &used));
    if (status == Ok)
        count = used;
    return status;
}

Status TGPPathGradientBrush::GetCenterPoint(TGPPointF* point)
{
    return SetStatus(GdipGetPathGradientCenterPoint(Native(), reinterpret_cast<GpPointF*>(point)));
}

Status TGPPathGradientBrush::GetCenterPoint(TGPPoint* point)
{
    return SetStatus(GdipGetPathGradientCenterPointI(Native(), reinterpret_cast<GpPoint*>(point)));
}

Status TGPPathGradientBrush::SetCenterPoint(const TGPPointF& point)
{
    const GpPointF p{point.X, point.Y};
    return SetStatus(GdipSetPathGradientCenterPoint(Native(), &p));
}

Status TGPPathGradientBrush::SetCenterPoint(const TGPPoint& point)
{
    const GpPoint p{point.X, point.Y};
    return SetStatus(GdipSetPathGradientCenterPointI(Native(), &p));
}

Status TGPPathGradientBrush::SetGammaCorrection(bool useGammaCorrection)
{
    return SetStatus(GdipSetPathGradientGammaCorrection(Native(), useGammaCorrection));
}

bool TGPPathGradientBrush::GetGammaCorrection()
{
    BOOL use = 0;
    SetStatus(GdipGetPathGradientGammaCorrection(Native(), &use));
    return use != 0;
}

WrapMode TGPPathGradientBrush::GetWrapMode()
{
    WrapMode mode = WrapModeClamp;
    SetStatus(GdipGetPathGradientWrapMode(Native(), &mode));
    return mode;
}

Status TGPPathGradientBrush::SetWrapMode(WrapMode wrapMode)
{
    return SetStatus(GdipSetPathGradientWrapMode(Native(), wrapMode));
}

int TGPPathGradientBrush::GetBlendCount()
{
    INT count = 0;
    SetStatus(GdipGetPathGradientBlendCount(Native(), &count));
    return count;
}

Status TGPPathGradientBrush::GetBlend(float* blendFactors, float* blendPositions, int count)
{
    return SetStatus(GdipGetPathGradientBlend(Native(), blendFactors, blendPositions, count));
}

Status TGPPathGradientBrush::SetBlend(const float* blendFactors, const float* blendPositions, int count)
{
    return SetStatus(GdipSetPathGradientBlend(Native(), blendFactors, blendPositions, count));
}

int TGPPathGradientBrush::GetInterpolationColorCount()
{
    INT count = 0;
    SetStatus(GdipGetPathGradientPresetBlendCount(Native(), &count));
    return count;
}

Status TGPPathGradientBrush::SetInterpolationColors(const ARGB* presetColors, const float* blendPositions, int count)
{
    if (count < 1 || !presetColors)
        return SetStatus(InvalidParameter);
    return SetStatus(GdipSetPathGradientPresetBlend(Native(), presetColors, blendPositions, count));
}

Status TGPPathGradientBrush::GetInterpolationColors(ARGB* presetColors, float* blendPositions, int count)
{
    if (count < 1)
        return SetStatus(InvalidParameter);
    // Read through a buffer of our own, then hand the colours over.
    std::vector<ARGB> colors;
    try {
        colors.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return SetStatus(OutOfMemory);
    }
    const Status status = SetStatus(GdipGetPathGradientPresetBlend(Native(), colors.data(), blendPositions, count));
    if (status == Ok && presetColors)
        std::copy(colors.begin(), colors.end(), presetColors);
    return status;
}

Status TGPPathGradientBrush::SetBlendBellShape(float focus, float scale)
{
    return SetStatus(GdipSetPathGradientSigmaBlend(Native(), focus, scale));
}

Status TGPPathGradientBrush::SetBlendTriangularShape(float focus, float scale)
{
    return SetStatus(GdipSetPathGradientLinearBlend(Native(), focus, scale));
}

// Pens.

TGPPen::TGPPen(ARGB color, float width)
{
    lastResult = GdipCreatePen1(color, width, UnitWorld, &nativePen);
}

TGPPen::TGPPen(TGPBrush* brush, float width)
{
    lastResult = GdipCreatePen2(brush ? brush->NativeBrush() : nullptr, width, UnitWorld, &nativePen);
}

TGPPen::~TGPPen()
{
    if (nativePen)
        GdipDeletePen(nativePen);
}

Status TGPPen::SetDashStyle(DashStyle dashStyle)
{
    return KeepStatus(lastResult, GdipSetPenDashStyle(nativePen, dashStyle));
}

DashStyle TGPPen::GetDashStyle()
{
    DashStyle style = DashStyleSolid;
    KeepStatus(lastResult, GdipGetPenDashStyle(nativePen, &style));
    return style;
}

Status TGPPen::SetEndCap(LineCap endCap)
{
    return KeepStatus(lastResult, GdipSetPenEndCap(nativePen, endCap));
}

PenType TGPPen::GetPenType()
{
    PenType type = PenTypeUnknown;
    KeepStatus(lastResult, GdipGetPenFillType(nativePen, &type));
    return type;
}

TGPBrush* TGPPen::GetBrush()
{
    TGPBrush* brush = nullptr;
    switch (GetPenType()) {
    case PenTypeSolidColor:
        brush = new TGPSolidBrush();
        break;
    case PenTypeHatchFill:
        brush = new TGPHatchBrush();
        break;
    case PenTypeTextureFill:
        brush = new TGPTextureBrush();
        break;
    case PenTypePathGradient:
        brush = new TGPBrush();
        break;
    case PenTypeLinearGradient:
        brush = new TGPLinearGradientBrush();
        break;
    default:
        return nullptr;
    }
    GpBrush* native = nullptr;
    KeepStatus(lastResult, GdipGetPenBrushFill(nativePen, &native));
    brush->SetNativeBrush(native);
    return brush;
}
