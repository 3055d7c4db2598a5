#pragma once
#include <string>

#include "controls/Font.h"
#include "controls/GPBrushes.h"
#include "controls/GPFonts.h"
#include "controls/GPImageAttributes.h"
#include "controls/GPPath.h"

// The flag of DrawText that only measures.
inline constexpr unsigned DT_CALCRECT = 0x400;

class TGPGraphics : public TGdiplusBase {
public:
    // Draws through the caller's painter, inside its clip; the painter is
    // restored when the graphics is freed.
    explicit TGPGraphics(HDC hdc);
    // Draws into the image; a missing image leaves the graphics without a handle.
    explicit TGPGraphics(TGPImage* image);
    static TGPGraphics* FromImage(TGPImage* image) { return new TGPGraphics(image); }
    ~TGPGraphics() override;

    Status Clear(ARGB color);
    // Its status is returned, not kept.
    Status Flush(FlushIntention intention = FlushIntentionFlush);
    HDC GetHDC();
    void ReleaseHDC(HDC hdc);

    Status SetSmoothingMode(SmoothingMode mode);
    SmoothingMode GetSmoothingMode();
    Status SetPixelOffsetMode(PixelOffsetMode mode);
    PixelOffsetMode GetPixelOffsetMode();
    Status SetTextRenderingHint(TextRenderingHint hint);
    TextRenderingHint GetTextRenderingHint();
    Status SetCompositingQuality(CompositingQuality quality);
    CompositingQuality GetCompositingQuality();
    Status SetInterpolationMode(InterpolationMode mode);

    Status DrawLine(TGPPen* pen, float x1, float y1, float x2, float y2);
    Status DrawLine(TGPPen* pen, int x1, int y1, int x2, int y2);
    Status DrawRectangle(TGPPen* pen, float x, float y, float width, float height);
    Status DrawRectangle(TGPPen* pen, const TGPRectF& rect);
    Status DrawEllipse(TGPPen* pen, float x, float y, float width, float height);
    Status DrawEllipse(TGPPen* pen, int x, int y, int width, int height);
    Status DrawEllipse(TGPPen* pen, const TGPRectF& rect);
    Status DrawEllipse(TGPPen* pen, const TGPRect& rect);
    Status DrawArc(TGPPen* pen, float x, float y, float width, float height, float startAngle, float sweepAngle);
    Status DrawArc(TGPPen* pen, int x, int y, int width, int height, float startAngle, float sweepAngle);
    Status DrawArc(TGPPen* pen, const TGPRectF& rect, float startAngle, float sweepAngle);
    Status DrawArc(TGPPen* pen, const TGPRect& rect, float startAngle, float sweepAngle);
    Status DrawPath(TGPPen* pen, TGPGraphicsPath* path);

    Status FillRectangle(TGPBrush* brush, float x, float y, float width, float height);
    Status FillRectangle(TGPBrush* brush, int x, int y, int width, int height);
    Status FillRectangle(TGPBrush* brush, const TGPRectF& rect);
    Status FillRectangle(TGPBrush* brush, const TGPRect& rect);
    Status FillEllipse(TGPBrush* brush, float x, float y, float width, float height);
    Status FillEllipse(TGPBrush* brush, int x, int y, int width, int height);
    Status FillEllipse(TGPBrush* brush, const TGPRectF& rect);
    Status FillEllipse(TGPBrush* brush, const TGPRect& rect);
    Status FillPolygon(TGPBrush* brush, const TGPPointF* points, int count);
    Status FillPolygon(TGPBrush* brush, const TGPPointF* points, int count, FillMode fillMode);
    Status FillPolygon(TGPBrush* brush, const TGPPoint* points, int count);
    Status FillPolygon(TGPBrush* brush, const TGPPoint* points, int count, FillMode fillMode);
    Status FillPath(TGPBrush* brush, TGPGraphicsPath* path);

    Status DrawImage(TGPImage* image, float x, float y);
    Status DrawImage(TGPImage* image, int x, int y);
    Status DrawImage(TGPImage* image, float x, float y, float width, float height);
    Status DrawImage(TGPImage* image, int x, int y, int width, int height);
    Status DrawImage(TGPImage* image, const TGPRectF& rect);
    Status DrawImage(TGPImage* image, const TGPRect& rect);
    Status DrawImage(TGPImage* image, const TGPRectF& destRect, float srcx, float srcy, float srcwidth,
                     float srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes = nullptr,
                     DrawImageAbort callback = nullptr, void* callbackData = nullptr);
    Status DrawImage(TGPImage* image, const TGPRect& destRect, int srcx, int srcy, int srcwidth, int srcheight,
                     Unit_ srcUnit, TGPImageAttributes* imageAttributes = nullptr, DrawImageAbort callback = nullptr,
                     void* callbackData = nullptr);
    Status DrawImage(TGPImage* image, const TGPPointF* destPoints, int count, float srcx, float srcy,
                     float srcwidth, float srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes = nullptr,
                     DrawImageAbort callback = nullptr, void* callbackData = nullptr);
    Status DrawImage(TGPImage* image, const TGPPoint* destPoints, int count, int srcx, int srcy, int srcwidth,
                     int srcheight, Unit_ srcUnit, TGPImageAttributes* imageAttributes = nullptr,
                     DrawImageAbort callback = nullptr, void* callbackData = nullptr);
    // Integer rectangle passed on as floats; the float form rounds each field
    // to the nearest integer (ties to even) first.
    Status DrawImageRect(TGPImage* image, int x, int y, int width, int height);
    Status DrawImageRect(TGPImage* image, const TGPRectF& rect);

    // Text; `length` counts UTF-16 units, -1 for the whole string.
    Status DrawString(const std::u16string& string, int length, TGPFont* font, const TGPRectF& layoutRect,
                      TGPStringFormat* stringFormat, TGPBrush* brush);
    Status DrawString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                      TGPStringFormat* stringFormat, TGPBrush* brush);
    Status DrawString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                      TGPBrush* brush);
    // UTF-8 text; `length` counts bytes (-1 for all).
    Status DrawString(const std::string& string, int length, TGPFont* font, const TGPPointF& origin,
                      TGPBrush* brush);
    Status MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPRectF& layoutRect,
                         TGPStringFormat* stringFormat, TGPRectF* boundingBox, int* codepointsFitted = nullptr,
                         int* linesFilled = nullptr);
    Status MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                         TGPStringFormat* stringFormat, TGPRectF* boundingBox);
    Status MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPRectF& layoutRect,
                         TGPRectF* boundingBox);
    Status MeasureString(const std::u16string& string, int length, TGPFont* font, const TGPPointF& origin,
                         TGPRectF* boundingBox);

    // A font for the class-library font, for the caller to free; a family
    // that is not installed gives "Arial" in the same size and style.
    TGPFont* MakeFont(const TFont& font);
    int TextWidth(const std::string& text, const TFont& font);
    int TextHeight(const std::string& text, const TFont& font);
    // One line of text like the system's text call: with DT_CALCRECT only
    // measures (a trailing space counts as an "i") and sets rect's right and
    // bottom; a background other than clNone is filled first. Returns the
    // text's height.
    int DrawText(const std::string& text, int length, TRect& rect, const TFont& font, unsigned flags,
                 TColor background = colors::clNone);

    Status SetClip(TGPRegion* region, CombineMode combineMode = CombineModeReplace);
    Status ExcludeClip(const TGPRectF& rect);
    Status ExcludeClip(TGPRegion* region);
    Status ResetClip();

    Status GetLastStatus();
    GpGraphics* GetNativeGraphics() const { return nativeGraphics; }
    void SetNativeGraphics(GpGraphics* graphics) { nativeGraphics = graphics; }

private:
    Status SetStatus(Status status) { return KeepStatus(lastResult, status); }
    GpGraphics* nativeGraphics = nullptr;
    Status lastResult = Ok;
};
