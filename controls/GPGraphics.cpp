#include "controls/GPGraphics.h"

#include <QString>

#include "controls/Utf16.h"

namespace {

GpPen* PenOf(TGPPen* pen)
{
    return pen ? pen->NativePen() : nullptr;
}
GpBrush* BrushOf(TGPBrush* brush)
{
    return brush ? brush->NativeBrush() : nullptr;
}
GpImage* ImageOf(TGPImage* image)
{
    return image ? image->NativeImage() : nullptr;
}
const GpImageAttributes* AttributesOf(TGPImageAttributes* attributes)
{
    return attributes ? attributes->NativeImageAttributes() : nullptr;
}
const GpStringFormat* FormatOf(TGPStringFormat* format)
{
    return format ? format->NativeFormat() : nullptr;
}
const GpFont* FontOf(TGPFont* font)
{
    return font ? font->NativeFont() : nullptr;
}
int LengthOf(const std::u16string& string, int length)
{
    return length < 0 ? static_cast<int>(string.size()) : std::min(length, static_cast<int>(string.size()));
}
std::u16string Utf16Of(const std::string& text, int length)
{
    return ToUtf16(std::string_view(text).substr(0, length < 0 ? text.size() : size_t(length)));
}

}  // namespace

TGPGraphics::TGPGraphics(HDC hdc)
{
    lastResult = GdipCreateFromHDC(hdc, &nativeGraphics);
}

TGPGraphics::TGPGraphics(TGPImage* image)
{
    if (image)
        lastResult = GdipGetImageGraphicsContext(image->NativeImage(), &nativeGraphics);
}

TGPGraphics::~TGPGraphics()
{
    if (nativeGraphics)
        GdipDeleteGraphics(nativeGraphics);
}

Status TGPGraphics::Clear(ARGB color)
{
    return SetStatus(GdipGraphicsClear(nativeGraphics, color));
}

Status TGPGraphics::Flush(FlushIntention intention)
{
    return GdipFlush(nativeGraphics, intention);
}

HDC TGPGraphics::GetHDC()
{
    HDC hdc = nullptr;
    SetStatus(GdipGetDC(nativeGraphics, &hdc));
    return hdc;
}

void TGPGraphics::ReleaseHDC(HDC hdc)
{
    SetStatus(GdipReleaseDC(nativeGraphics, hdc));
}

Status TGPGraphics::SetSmoothingMode(SmoothingMode mode)
{
    return SetStatus(GdipSetSmoothingMode(nativeGraphics, mode));
}

SmoothingMode TGPGraphics::GetSmoothingMode()
{
    SmoothingMode mode = SmoothingModeInvalid;
    if (SetStatus(GdipGetSmoothingMode(nativeGraphics, &mode)) != Ok)
        return SmoothingModeInvalid;
    return mode;
}

Status TGPGraphics::SetPixelOffsetMode(PixelOffsetMode mode)
{
    return SetStatus(GdipSetPixelOffsetMode(nativeGraphics, mode));
}

PixelOffsetMode TGPGraphics::GetPixelOffsetMode()
{
    PixelOffsetMode mode = PixelOffsetModeInvalid;
    if (SetStatus(GdipGetPixelOffsetMode(nativeGraphics, &mode)) != Ok)
        return PixelOffsetModeInvalid;
    return mode;
}

Status TGPGraphics::SetTextRenderingHint(TextRenderingHint hint)
{
    return SetStatus(GdipSetTextRenderingHint(nativeGraphics, hint));
}

TextRenderingHint TGPGraphics::GetTextRenderingHint()
{
    TextRenderingHint hint = TextRenderingHintSystemDefault;
    SetStatus(GdipGetTextRenderingHint(nativeGraphics, &hint));
    return hint;
}

Status TGPGraphics::SetCompositingQuality(CompositingQuality quality)
{
    return SetStatus(GdipSetCompositingQuality(nativeGraphics, quality));
}

CompositingQuality TGPGraphics::GetCompositingQuality()
{
    CompositingQuality quality = CompositingQualityInvalid;
    SetStatus(GdipGetCompositingQuality(nativeGraphics, &quality));
    return quality;
}

Status TGPGraphics::SetInterpolationMode(InterpolationMode mode)
{
    return SetStatus(GdipSetInterpolationMode(nativeGraphics, mode));
}

Status TGPGraphics::DrawLine(TGPPen* pen, float x1, float y1, float x2, float y2)
{
    return SetStatus(GdipDrawLine(nativeGraphics, PenOf(pen), x1, y1, x2, y2));
}

Status TGPGraphics::DrawLine(TGPPen* pen, int x1, int y1, int x2, int y2)
{
    return SetStatus(GdipDrawLineI(nativeGraphics, PenOf(pen), x1, y1, x2, y2));
}

Status TGPGraphics::DrawRectangle(TGPPen* pen, float x, float y, float width, float height)
{
    return SetStatus(GdipDrawRectangle(nativeGraphics, PenOf(pen), x, y, width, height));
}

Status TGPGraphics::DrawRectangle(TGPPen* pen, const TGPRectF& r)
{
    return DrawRectangle(pen, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::DrawEllipse(TGPPen* pen, float x, float y, float width, float height)
{
    return SetStatus(GdipDrawEllipse(nativeGraphics, PenOf(pen), x, y, width, height));
}

Status TGPGraphics::DrawEllipse(TGPPen* pen, int x, int y, int width, int height)
{
    return SetStatus(GdipDrawEllipseI(nativeGraphics, PenOf(pen), x, y, width, height));
}

Status TGPGraphics::DrawEllipse(TGPPen* pen, const TGPRectF& r)
{
    return DrawEllipse(pen, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::DrawEllipse(TGPPen* pen, const TGPRect& r)
{
    return DrawEllipse(pen, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::DrawArc(TGPPen* pen, float x, float y, float width, float height, float startAngle,
                            float sweepAngle)
{
    return SetStatus(GdipDrawArc(nativeGraphics, PenOf(pen), x, y, width, height, startAngle, sweepAngle));
}

Status TGPGraphics::DrawArc(TGPPen* pen, int x, int y, int width, int height, float startAngle, float sweepAngle)
{
    return SetStatus(GdipDrawArcI(nativeGraphics, PenOf(pen), x, y, width, height, startAngle, sweepAngle));
}

Status TGPGraphics::DrawArc(TGPPen* pen, const TGPRectF& r, float startAngle, float sweepAngle)
{
    return DrawArc(pen, r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status TGPGraphics::DrawArc(TGPPen* pen, const TGPRect& r, float startAngle, float sweepAngle)
{
    return DrawArc(pen, r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status TGPGraphics::DrawPath(TGPPen* pen, TGPGraphicsPath* path)
{
    return SetStatus(GdipDrawPath(nativeGraphics, PenOf(pen), path ? path->NativePath() : nullptr));
}

Status TGPGraphics::FillRectangle(TGPBrush* brush, float x, float y, float width, float height)
{
    // Nothing to paint, or nothing to paint with: not a failure.
    if (width == 0 || height == 0 || !brush || !brush->NativeBrush() || !nativeGraphics)
        return Ok;
    return SetStatus(GdipFillRectangle(nativeGraphics, brush->NativeBrush(), x, y, width, height));
}

Status TGPGraphics::FillRectangle(TGPBrush* brush, int x, int y, int width, int height)
{
    return SetStatus(GdipFillRectangleI(nativeGraphics, BrushOf(brush), x, y, width, height));
}

Status TGPGraphics::FillRectangle(TGPBrush* brush, const TGPRectF& r)
{
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::FillRectangle(TGPBrush* brush, const TGPRect& r)
{
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::FillEllipse(TGPBrush* brush, float x, float y, float width, float height)
{
    return SetStatus(GdipFillEllipse(nativeGraphics, BrushOf(brush), x, y, width, height));
}

Status TGPGraphics::FillEllipse(TGPBrush* brush, int x, int y, int width, int height)
{
    return SetStatus(GdipFillEllipseI(nativeGraphics, BrushOf(brush), x, y, width, height));
}

Status TGPGraphics::FillEllipse(TGPBrush* brush, const TGPRectF& r)
{
    return FillEllipse(brush, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::FillEllipse(TGPBrush* brush, const TGPRect& r)
{
    return FillEllipse(brush, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPointF* points, int count)
{
    return FillPolygon(brush, points, count, FillModeAlternate);
}

Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPointF* points, int count, FillMode fillMode)
{
    return SetStatus(
        GdipFillPolygon(nativeGraphics, BrushOf(brush), reinterpret_cast<const GpPointF*>(points), count, fillMode));
}

Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPoint* points, int count)
{
    return FillPolygon(brush, points, count, FillModeAlternate);
}

Status TGPGraphics::FillPolygon(TGPBrush* brush, const TGPPoint* points, int count, FillMode fillMode)
{
    return SetStatus(
        GdipFillPolygonI(nativeGraphics, BrushOf(brush), reinterpret_cast<const GpPoint*>(points), count, fillMode));
}

Status TGPGraphics::FillPath(TGPBrush* brush, TGPGraphicsPath* path)
{
    return SetStatus(GdipFillPath(nativeGraphics, BrushOf(brush), path ? path->NativePath() : nullptr));
}

Status TGPGraphics::DrawImage(TGPImage* image, float x, float y)
{
    return SetStatus(GdipDrawImage(nativeGraphics, ImageOf(image), x, y));
}

Status TGPGraphics::DrawImage(TGPImage* image, int x, int y)
{
    return SetStatus(GdipDrawImageI(nativeGraphics, ImageOf(image), x, y));
}

Status TGPGraphics::DrawImage(TGPImage* image, float x, float y, float width, float height)
{
    return SetStatus(GdipDrawImageRect(nativeGraphics, ImageOf(image), x, y, width, height));
}

Status TGPGraphics::DrawImage(TGPImage* image, int x, int y, int width, int height)
{
    return SetStatus(GdipDrawImageRectI(nativeGraphics, ImageOf(image), x, y, width, height));
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPRectF& r)
{
    return DrawImage(image, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPRect& r)
{
    return DrawImage(image, r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPRectF& d, float srcx, float srcy, float srcwidth,
                              float srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes,
                              DrawImageAbort callback, void* callbackData)
{
    return SetStatus(GdipDrawImageRectRect(nativeGraphics, ImageOf(image), d.X, d.Y, d.Width, d.Height, srcx, srcy,
                                           srcwidth, srcheight, srcUnit, AttributesOf(imageAttributes), callback,
                                           callbackData));
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPRect& d, int srcx, int srcy, int srcwidth, int srcheight,
                              Unit_ srcUnit, TGPImageAttributes* imageAttributes, DrawImageAbort callback,
                              void* callbackData)
{
    return SetStatus(GdipDrawImageRectRectI(nativeGraphics, ImageOf(image), d.X, d.Y, d.Width, d.Height, srcx, srcy,
                                            srcwidth, srcheight, srcUnit, AttributesOf(imageAttributes), callback,
                                            callbackData));
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPPointF* destPoints, int count, float srcx, float srcy,
                              float srcwidth, float srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes,
                              DrawImageAbort callback, void* callbackData)
{
    return SetStatus(GdipDrawImagePointsRect(nativeGraphics, ImageOf(image),
                                             reinterpret_cast<const GpPointF*>(destPoints), count, srcx, srcy,
                                             srcwidth, srcheight, srcUnit, AttributesOf(imageAttributes), callback,
                                             callbackData));
}

Status TGPGraphics::DrawImage(TGPImage* image, const TGPPoint* destPoints, int count, int srcx, int srcy,
                              int srcwidth, int srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes,
                              DrawImageAbort callback, void* callbackData)
{
    return SetStatus(GdipDrawImagePointsRectI(nativeGraphics, ImageOf(image),
                                              reinterpret_cast<const GpPoint*>(destPoints), count, srcx, srcy,
                                              srcwidth, srcheight, srcUnit, AttributesOf(imageAttributes), callback,
                                              callbackData));
}

Status TGPGraphics::DrawImageRect(TGPImage* image, int x, int y, int width, int height)
{
    return SetStatus(GdipDrawImageRect(nativeGraphics, ImageOf(image), float(x), float(y), float(width),
                                       float(height)));
}

Status TGPGraphics::DrawImageRect(TGPImage* image, const TGPRectF& r)
{
    return DrawImageRect(image, RoundHalfEven(r.X), RoundHalfEven(r.Y), RoundHalfEven(r.Width),
                         RoundHalfEven(r.Height));
}

Status TGPGraphics::DrawString(const std::u16string& string, int length, TGPFont* font, const TGPRectF& layoutRect,
                               TGPStringFormat* stringFormat, TGPBrush* brush)
{
    const RectF rect{layoutRect.X, layoutRect.Y, layoutRect.Width, layoutRect.Height};
    return SetStatus(GdipDrawString(nativeGraphics, string.c_str(), LengthOf(string, length), FontOf(font), &rect,
                                    FormatOf(stringFormat), BrushOf(brush)));
}

Status TGPGraphics::DrawString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                               TGPStringFormat* stringFormat, TGPBrush* brush)
{
    return DrawString(string, length, font, TGPRectF{origin.X, origin.Y, 0, 0}, stringFormat, brush);
}

Status TGPGraphics::DrawString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                               TGPBrush* brush)
{
    return DrawString(string, length, font, TGPRectF{origin.X, origin.Y, 0, 0}, nullptr, brush);
}

Status TGPGraphics::DrawString(const std::string& string, int length, TGPFont* font, const TGPPointF& origin,
                               TGPBrush* brush)
{
    // The length handed on is that of the converted text, so no byte count
    // reaches past its end.
    const std::u16string wide = Utf16Of(string, length);
    return DrawString(wide, static_cast<int>(wide.size()), font, origin, brush);
}

Status TGPGraphics::MeasureString(const std::u16string& string, int length, TGPFont* font,
                                  const TGPRectF& layoutRect, TGPStringFormat* stringFormat, TGPRectF* boundingBox,
                                  int* codepointsFitted, int* linesFilled)
{
    const RectF rect{layoutRect.X, layoutRect.Y, layoutRect.Width, layoutRect.Height};
    RectF box;
    const Status status =
        SetStatus(GdipMeasureString(nativeGraphics, string.c_str(), LengthOf(string, length), FontOf(font), &rect,
                                    FormatOf(stringFormat), &box, codepointsFitted, linesFilled));
    if (boundingBox)
        *boundingBox = {box.X, box.Y, box.Width, box.Height};
    return status;
}

Status TGPGraphics::MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                                  TGPStringFormat* stringFormat, TGPRectF* boundingBox)
{
    return MeasureString(string, length, font, TGPRectF{origin.X, origin.Y, 0, 0}, stringFormat, boundingBox);
}

Status TGPGraphics::MeasureString(const std::u16string& string, int length, TGPFont* font,
                                  const TGPRectF& layoutRect, TGPRectF* boundingBox)
{
    return MeasureString(string, length, font, layoutRect, nullptr, boundingBox);
}

Status TGPGraphics::MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                                  TGPRectF* boundingBox)
{
    return MeasureString(string, length, font, TGPRectF{origin.X, origin.Y, 0, 0}, nullptr, boundingBox);
}

TGPFont* TGPGraphics::MakeFont(const TFont& font)
{
    const QString name = QString::fromStdString(font.Name());
    auto* family = new TGPFontFamily(std::u16string(reinterpret_cast<const char16_t*>(name.utf16()), name.size()));
    if (family->LastResult() == FontFamilyNotFound || family->LastResult() == FontStyleNotFound) {
        delete family;
        family = new TGPFontFamily(u"Arial");
    }
    int style = FontStyleRegular;
    if (font.Style() & fsBold)
        style |= FontStyleBold;
    if (font.Style() & fsItalic)
        style |= FontStyleItalic;
    if (font.Style() & fsUnderline)
        style |= FontStyleUnderline;
    auto* made = new TGPFont(family, float(font.Size()), style, UnitPoint);
    delete family;
    return made;
}

int TGPGraphics::TextWidth(const std::string& text, const TFont& font)
{
    TGPFont* gpFont = MakeFont(font);
    TGPRectF box;
    MeasureString(Utf16Of(text, -1), -1, gpFont, TGPRectF{0, 0, 10000, 10000}, &box);
    delete gpFont;
    return RoundHalfEven(box.Width);
}

int TGPGraphics::TextHeight(const std::string& text, const TFont& font)
{
    TGPFont* gpFont = MakeFont(font);
    TGPRectF box;
    MeasureString(Utf16Of(text, -1), -1, gpFont, TGPRectF{0, 0, 10000, 10000}, &box);
    delete gpFont;
    return RoundHalfEven(box.Height);
}

int TGPGraphics::DrawText(const std::string& text, int length, TRect& rect, const TFont& font, unsigned flags,
                          TColor background)
{
    TGPFont* gpFont = MakeFont(font);
    const std::u16string wide = Utf16Of(text, length);
    if ((flags & DT_CALCRECT) || background != colors::clNone) {
        int margin = 2;
        if (font.Size() > 8)
            margin += RoundHalfEven((font.Size() - 8) / 1.5);
        SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
        // A trailing space would not be measured; an "i" in its place is.
        std::u16string copy = wide;
        if (copy.size() >= 2 && copy.back() == u' ')
            copy.back() = u'i';
        TGPRectF box;
        MeasureString(copy, static_cast<int>(copy.size()), gpFont,
                      TGPRectF{float(rect.Left), float(rect.Top), float(rect.Width() + 1000), float(rect.Height())},
                      &box);
        rect.Right = rect.Left + RoundHalfEven(box.Width - margin);
        rect.Bottom = rect.Top + RoundHalfEven(box.Height);
        if (background != colors::clNone) {
            TGPSolidBrush fill(ColorToARGB(background));
            FillRectangle(&fill, TGPRectF{float(rect.Left + 1), float(rect.Top), box.Width - margin + 1, box.Height});
        }
    }
    if (!(flags & DT_CALCRECT)) {
        SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
        TGPSolidBrush ink(ColorToARGB(font.Color()));
        DrawString(wide, static_cast<int>(wide.size()), gpFont, TGPPointF{float(rect.Left), float(rect.Top)}, &ink);
    }
    delete gpFont;
    return rect.Bottom - rect.Top;
}

Status TGPGraphics::SetClip(TGPRegion* region, CombineMode combineMode)
{
    return SetStatus(GdipSetClipRegion(nativeGraphics, region ? region->NativeRegion() : nullptr, combineMode));
}

Status TGPGraphics::ExcludeClip(const TGPRectF& r)
{
    return SetStatus(GdipSetClipRect(nativeGraphics, r.X, r.Y, r.Width, r.Height, CombineModeExclude));
}

Status TGPGraphics::ExcludeClip(TGPRegion* region)
{
    return SetStatus(
        GdipSetClipRegion(nativeGraphics, region ? region->NativeRegion() : nullptr, CombineModeExclude));
}

Status TGPGraphics::ResetClip()
{
    return SetStatus(GdipResetClip(nativeGraphics));
}

Status TGPGraphics::GetLastStatus()
{
    const Status status = lastResult;
    lastResult = Ok;
    return status;
}
