#pragma once
// Painters that smooth controls draw through: a progress bar, a status badge,
// two push buttons and seven-segment LED digits. Each owns its fills and
// fonts and reports any change of them through OnChange. Drawing never
// throws: a failure leaves the surface as far as it got.
#include <functional>
#include <memory>
#include <string>

#include "controls/GDIPFill.h"

enum TGDIPProgressValueType : int { vtPercentage, vtAbsolute };
enum TGDIPProgressValuePosition : int { vpProgressCenter, vpProgressRight, vpCenter, vpLeft, vpRight, vpCustom };
enum TGDIPButtonLayout : int { blPictureLeft, blPictureRight, blPictureBottom, blPictureTop };
enum TAlignment : int { taLeftJustify, taRightJustify, taCenter };
using TFontStoredEvent = std::function<void(void* sender, bool& isStored)>;

class TGDIPProgress {
public:
    TGDIPProgress();
    bool Transparent = false;
    std::string ValueFormat = "%.0f%%";
    TGDIPProgressValueType ValueType = vtAbsolute;
    TGDIPProgressValuePosition ValuePosition = vpCenter;
    int ValuePositionLeft = 0;
    int ValuePositionTop = 0;
    bool ValueVisible = false;
    std::function<void(TGDIPProgress*)> OnChange;

    TGDIPFill* BackGroundFill() const { return backGroundFill_.get(); }
    TGDIPFill* ProgressFill() const { return progressFill_.get(); }
    TFont& Font() { return font_; }
    TFont& ProgressFont() { return progressFont_; }

    void Changed();
    void Assign(const TGDIPProgress& source);

    void Draw(TGPGraphics* g, const TRect& r, double min, double max, double position);
    // The area inside the border, and of it the part the position covers.
    TRect InsideRect(const TRect& r) const;
    TGPRectF GetInsideRectF(const TRect& r) const;
    TGPRectF CalculateProgressRectangle(const TRect& r, double min, double max, double position) const;
    // The value text; a format that does not fit the value gives "".
    std::string ValueText(double min, double max, double position) const;
    TGPRectF GetTextSize(TGPGraphics* g, const TFont& font, const std::string& text) const;
    void DrawGlow(TGPGraphics* g, const TGPRectF& r);

private:
    void DrawBackGround(TGPGraphics* g, const TRect& r);
    void DrawProgress(TGPGraphics* g, const TGPRectF& progress);
    void DrawShadows(TGPGraphics* g, const TRect& r);
    void DrawValue(TGPGraphics* g, const TRect& r, const TGPRectF& progress, double min, double max, double position);
    void DrawOverLay(TGPGraphics* g, const TRect& r);

    std::unique_ptr<TGDIPFill> backGroundFill_, progressFill_;
    TFont font_, progressFont_;
};

class TGDIPStatus {
public:
    TGDIPStatus();
    int Spacing = 0;
    bool Glow = true;
    std::function<void(TGDIPStatus*)> OnChange;
    TGDIPFill* Fill() const { return fill_.get(); }
    TFont& Font() { return font_; }
    void Changed();
    void Assign(const TGDIPStatus& source);

    // With useSize false the badge takes the size CalculateSize gives.
    void Draw(TGPGraphics* g, int left, int top, int width, int height, bool useSize, const std::string& caption);
    void CalculateSize(TGPGraphics* g, const std::string& caption);
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }

private:
    std::unique_ptr<TGDIPFill> fill_;
    TFont font_;
    int width_ = 0, height_ = 0;
};

// Hue in degrees [0, 360), saturation and value 0 to 1. A grey has no hue:
// RGBToHSV gives -1 for it, and HSVToRGB refuses a hue with saturation 0.
void RGBToHSV(double r, double g, double b, double& h, double& s, double& v);
void HSVToRGB(double h, double s, double v, double& r, double& g, double& b);

class TGDIPButton {
public:
    TGDIPButton();
    TAlignment Alignment = taCenter;
    TGDIPButtonLayout Layout = blPictureLeft;
    int Spacing = 3;
    int ShiftDown = 1;
    std::function<void(TGDIPButton*)> OnChange;
    std::function<void(TGDIPButton*)> OnFontChange;
    TFontStoredEvent OnIsFontStored;
    TFont& Font() { return font_; }
    bool IsFontStored();
    void Changed();
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Assign(const TGDIPButton& source);

    // Geometry: the button rectangle, then the spacing of caption and
    // picture from the face's edge. The face is a vertical gradient from a
    // lighter shade of `color` (or `colorDown` when down, brighter when hot)
    // with a `borderColor` outline rounded by `rounding`.
    void Draw(TGPGraphics* g, const std::string& caption, int left, int top, int width, int height,
              int verticalSpacing, int horizontalSpacing, TColor color, TColor colorDown, TColor borderColor,
              bool down, bool hot, bool enabled, bool focused, bool showCaption, TFillRoundingType roundingType,
              TGDIPPicture* picture, int rounding, int opacity, bool drawBorder);

private:
    TFont font_;
    int updateCount_ = 0;
};

class TGDIPDialogButton {
public:
    TGDIPDialogButton();
    TGDIPButtonLayout Layout = blPictureLeft;
    int Spacing = 3;
    std::function<void(TGDIPDialogButton*)> OnChange;
    TFont& Font() { return font_; }
    void Changed();
    void Assign(const TGDIPDialogButton& source);

    // A flat rounded face in `color` (`colorDown` when down) fading from
    // `opacity` to `opacityTo`, with caption and picture.
    void Draw(TGPGraphics* g, const std::string& caption, int left, int top, int width, int height, TColor color,
              TColor colorDown, int rounding, uint8_t opacity, uint8_t opacityTo, bool down, bool enabled,
              TGDIPPicture* picture, bool focused);

private:
    TFont font_;
};

// Paints `value` as seven-segment digits across r: FormatFloat with `format`
// for vtNormal, FormatDateTime for vtDateTime. Digits and "-" take one cell
// each; ":" and "." sit at the start of the next cell; other characters are
// skipped.
void DrawLed(TGPGraphics* g, const TGPRectF& r, double value, const std::string& format, TFillValueType valueType,
             TGradientType gradientType, TColor color, TColor colorTo, HatchStyle hatch, TGDIPPicture* picture,
             uint8_t opacity = 255, int angle = 0);
// The text DrawLed draws and the number of cells it takes.
std::string LedText(double value, const std::string& format, TFillValueType valueType);
int LedCellCount(const std::string& text);
