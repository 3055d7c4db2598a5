#pragma once
#include "controls/GPImage.h"
#include "controls/GPMatrix.h"

class TGPGraphicsPath;
class TGPImageAttributes;

class TGPBrush : public TGdiplusBase {
public:
    // An empty brush: no handle, status NotImplemented.
    TGPBrush() : lastResult(NotImplemented) {}
    TGPBrush(GpBrush* native, Status status) : nativeBrush(native), lastResult(status) {}
    ~TGPBrush() override;

    GpBrush* NativeBrush() const { return nativeBrush; }
    void SetNativeBrush(GpBrush* native) { nativeBrush = native; }
    Status LastResult() const { return lastResult; }

protected:
    Status SetStatus(Status status) { return KeepStatus(lastResult, status); }
    GpBrush* nativeBrush = nullptr;
    Status lastResult = Ok;
};

class TGPSolidBrush : public TGPBrush {
public:
    TGPSolidBrush() = default;
    explicit TGPSolidBrush(ARGB color);
};

class TGPHatchBrush : public TGPBrush {
public:
    TGPHatchBrush() = default;
    TGPHatchBrush(HatchStyle style, ARGB foreColor, ARGB backColor = MakeColor(255, 0, 0, 0));
    HatchStyle GetHatchStyle();
    ARGB GetForegroundColor();
    ARGB GetBackgroundColor();

private:
    GpHatch* Native() const { return static_cast<GpHatch*>(nativeBrush); }
};

class TGPTextureBrush : public TGPBrush {
public:
    TGPTextureBrush() = default;
    TGPTextureBrush(TGPImage* image, WrapMode wrapMode = WrapModeTile);
    TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRectF& dstRect);
    TGPTextureBrush(TGPImage* image, WrapMode wrapMode, const TGPRect& dstRect);
    TGPTextureBrush(TGPImage* image, WrapMode wrapMode, float x, float y, float width, float height);
    TGPTextureBrush(TGPImage* image, WrapMode wrapMode, int x, int y, int width, int height);
    TGPTextureBrush(TGPImage* image, const TGPRectF& dstRect, TGPImageAttributes* attributes = nullptr);
    TGPTextureBrush(TGPImage* image, const TGPRect& dstRect, TGPImageAttributes* attributes = nullptr);

    Status SetTransform(TGPMatrix* matrix);
    Status GetTransform(TGPMatrix* matrix);
    Status ResetTransform();
    Status MultiplyTransform(TGPMatrix* matrix, MatrixOrder order = MatrixOrderPrepend);
    Status TranslateTransform(float dx, float dy, MatrixOrder order = MatrixOrderPrepend);
    Status ScaleTransform(float sx, float sy, MatrixOrder order = MatrixOrderPrepend);
    Status RotateTransform(float angle, MatrixOrder order = MatrixOrderPrepend);
    Status SetWrapMode(WrapMode wrapMode);
    WrapMode GetWrapMode();
    // The texture's image, for the caller to free.
    TGPImage* GetImage();

private:
    GpTexture* Native() const { return static_cast<GpTexture*>(nativeBrush); }
};

class TGPLinearGradientBrush : public TGPBrush {
public:
    TGPLinearGradientBrush() = default;
    TGPLinearGradientBrush(const TGPPointF& point1, const TGPPointF& point2, ARGB color1, ARGB color2);
    TGPLinearGradientBrush(const TGPPoint& point1, const TGPPoint& point2, ARGB color1, ARGB color2);
    TGPLinearGradientBrush(const TGPRectF& rect, ARGB color1, ARGB color2, LinearGradientMode mode);
    TGPLinearGradientBrush(const TGPRect& rect, ARGB color1, ARGB color2, LinearGradientMode mode);
    TGPLinearGradientBrush(const TGPRectF& rect, ARGB color1, ARGB color2, float angle, bool isAngleScalable = false);
    TGPLinearGradientBrush(const TGPRect& rect, ARGB color1, ARGB color2, float angle, bool isAngleScalable = false);

    Status SetGammaCorrection(bool useGammaCorrection);
    bool GetGammaCorrection();
    int GetBlendCount();
    Status SetBlend(const float* blendFactors, const float* blendPositions, int count);
    Status GetBlend(float* blendFactors, float* blendPositions, int count);
    int GetInterpolationColorCount();
    Status SetInterpolationColors(const ARGB* presetColors, const float* blendPositions, int count);
    Status GetInterpolationColors(ARGB* presetColors, float* blendPositions, int count);
    Status SetBlendBellShape(float focus, float scale = 1.0f);
    Status SetBlendTriangularShape(float focus, float scale = 1.0f);

private:
    GpLineGradient* Native() const { return static_cast<GpLineGradient*>(nativeBrush); }
};

class TGPPathGradientBrush : public TGPBrush {
public:
    TGPPathGradientBrush() = default;
    TGPPathGradientBrush(const TGPPointF* points, int count, WrapMode wrapMode = WrapModeClamp);
    TGPPathGradientBrush(const TGPPoint* points, int count, WrapMode wrapMode = WrapModeClamp);
    explicit TGPPathGradientBrush(TGPGraphicsPath* path);

    ARGB GetCenterColor();
    Status SetCenterColor(ARGB color);
    int GetPointCount();
    int GetSurroundColorCount();
    Status GetSurroundColors(ARGB* colors, int& count);
    Status SetSurroundColors(const ARGB* colors, int& count);
    Status GetCenterPoint(TGPPointF* point);
    Status GetCenterPoint(TGPPoint* point);
    Status SetCenterPoint(const TGPPointF& point);
    Status SetCenterPoint(const TGPPoint& point);
    Status SetGammaCorrection(bool useGammaCorrection);
    bool GetGammaCorrection();
    WrapMode GetWrapMode();
    Status SetWrapMode(WrapMode wrapMode);
    int GetBlendCount();
    Status GetBlend(float* blendFactors, float* blendPositions, int count);
    Status SetBlend(const float* blendFactors, const float* blendPositions, int count);
    int GetInterpolationColorCount();
    Status SetInterpolationColors(const ARGB* presetColors, const float* blendPositions, int count);
    Status GetInterpolationColors(ARGB* presetColors, float* blendPositions, int count);
    Status SetBlendBellShape(float focus, float scale = 1.0f);
    Status SetBlendTriangularShape(float focus, float scale = 1.0f);

private:
    GpPathGradient* Native() const { return static_cast<GpPathGradient*>(nativeBrush); }
};

class TGPPen : public TGdiplusBase {
public:
    explicit TGPPen(ARGB color, float width = 1.0f);
    explicit TGPPen(TGPBrush* brush, float width = 1.0f);
    ~TGPPen() override;

    Status SetDashStyle(DashStyle dashStyle);
    DashStyle GetDashStyle();
    Status SetEndCap(LineCap endCap);
    PenType GetPenType();
    // A wrapper of the pen's brush for the caller to free; null for a pen of
    // an unknown kind.
    TGPBrush* GetBrush();

    GpPen* NativePen() const { return nativePen; }
    Status LastResult() const { return lastResult; }

private:
    GpPen* nativePen = nullptr;
    Status lastResult = Ok;
};
