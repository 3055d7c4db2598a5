#pragma once
// The appearance object through which every surface of the thumbnail strip
// is painted: shadow, a two-colour gradient with an optional mirror half,
// hatch or texture, rounded corners, border, focus outline and two pictures.
#include <QSettings>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "controls/Colors.h"
#include "controls/DrawingHelpers.h"
#include "controls/FillTypes.h"
#include "controls/GDIPPicture.h"
#include "controls/GPGraphics.h"

// A property: the setter stores a different value and announces it.
#define VELMORA_FILL_PROPERTY(Type, Name, initial)   \
public:                                               \
    Type Name() const { return f##Name; }             \
    void Set##Name(Type value)                        \
    {                                                 \
        if (f##Name != value) {                       \
            f##Name = value;                          \
            Changed();                                \
        }                                             \
    }                                                 \
                                                      \
private:                                              \
    Type f##Name = initial;

class TGDIPFill {
public:
    TGDIPFill();
    virtual ~TGDIPFill() = default;
    TGDIPFill(const TGDIPFill&) = delete;
    TGDIPFill& operator=(const TGDIPFill&) = delete;

    VELMORA_FILL_PROPERTY(TColor, Color, colors::clSilver)
    VELMORA_FILL_PROPERTY(TColor, ColorTo, colors::clGray)
    VELMORA_FILL_PROPERTY(TColor, ColorMirror, colors::clNone)
    VELMORA_FILL_PROPERTY(TColor, ColorMirrorTo, colors::clNone)
    VELMORA_FILL_PROPERTY(TGradientType, GradientType, gtVertical)
    VELMORA_FILL_PROPERTY(TGradientType, GradientMirrorType, gtSolid)
    VELMORA_FILL_PROPERTY(::HatchStyle, HatchStyle, HatchStyleHorizontal)
    VELMORA_FILL_PROPERTY(::HatchStyle, HatchStyleMirror, HatchStyleHorizontal)
    VELMORA_FILL_PROPERTY(TFillPictureMode, BackGroundPictureMode, pmOutsideFill)
    VELMORA_FILL_PROPERTY(TFillPicturePosition, BackGroundPicturePosition, ppTopLeft)
    VELMORA_FILL_PROPERTY(int, BackGroundPictureLeft, 0)
    VELMORA_FILL_PROPERTY(int, BackGroundPictureTop, 0)
    VELMORA_FILL_PROPERTY(TFillPicturePosition, PicturePosition, ppTopLeft)
    VELMORA_FILL_PROPERTY(int, PictureLeft, 0)
    VELMORA_FILL_PROPERTY(int, PictureTop, 0)
    VELMORA_FILL_PROPERTY(TFillPictureSize, PictureSize, psOriginal)
    VELMORA_FILL_PROPERTY(int, PictureWidth, 50)
    VELMORA_FILL_PROPERTY(int, PictureHeight, 50)
    VELMORA_FILL_PROPERTY(uint8_t, Opacity, 255)
    VELMORA_FILL_PROPERTY(uint8_t, OpacityTo, 255)
    VELMORA_FILL_PROPERTY(uint8_t, OpacityMirror, 255)
    VELMORA_FILL_PROPERTY(uint8_t, OpacityMirrorTo, 255)
    VELMORA_FILL_PROPERTY(TColor, BorderColor, colors::clNone)
    VELMORA_FILL_PROPERTY(uint8_t, BorderOpacity, 255)
    VELMORA_FILL_PROPERTY(int, BorderWidth, 1)
    VELMORA_FILL_PROPERTY(int, Rounding, 0)
    VELMORA_FILL_PROPERTY(TFillRoundingType, RoundingType, rtBoth)
    VELMORA_FILL_PROPERTY(TColor, ShadowColor, colors::clGray)
    VELMORA_FILL_PROPERTY(int, ShadowOffset, 0)
    VELMORA_FILL_PROPERTY(int, Angle, 0)

public:
    // The owned pictures; setting one copies the given picture.
    TGDIPPicture* BackGroundPicture() const { return backGroundPicture_.get(); }
    void SetBackGroundPicture(const TGDIPPicture* picture);
    TGDIPPicture* Picture() const { return picture_.get(); }
    void SetPicture(const TGDIPPicture* picture);

    bool Focus = false;
    TColor FocusColor = colors::clBlack;
    // The filled rectangle less the border, set by Fill; owners may change it.
    TGPRectF InnerRect{};

    std::function<void(TGDIPFill*)> OnChange;
    void Changed();
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate()
    {
        if (updateCount_ > 0)
            --updateCount_;
    }

    // Copies every published value through its setter.
    void Assign(const TGDIPFill& source);

    // Paints into R and returns R less the shadow. An opacity below 255
    // overrides the property of that name for this call.
    TGPRectF Fill(TGPGraphics* graphics, const TGPRectF& r, uint8_t borderOpacity = 255, uint8_t opacity = 255,
                  uint8_t opacityTo = 255, uint8_t opacityMirror = 255, uint8_t opacityMirrorTo = 255);
    // The main (mirror false) or mirror gradient part.
    void DrawGradientBackGround(TGPGraphics* graphics, const TGPRectF& r, bool mirror, uint8_t opacity,
                                uint8_t opacityTo, uint8_t opacityMirror, uint8_t opacityMirrorTo);

    // Ini persistence. Loading checks everything first: a file that does not
    // load changes nothing. Malformed picture text throws "No Hex-Number".
    void SaveToFile(QSettings& ini, const std::string& section) const;
    void SaveToFile(const std::string& fileName, const std::string& section) const;
    void LoadFromFile(QSettings& ini, const std::string& section);
    void LoadFromFile(const std::string& fileName, const std::string& section);
    // The same key/value text on the clipboard, under the format "GDI+ Fill".
    void SaveToClipBoard() const;
    void LoadFromClipBoard();
    // The key/value text itself, one "Key=Value" line each.
    std::string SaveToText() const;
    void LoadFromText(const std::string& text);

private:
    using Values = std::vector<std::pair<std::string, std::string>>;
    Values SaveValues() const;
    // Missing keys keep their values.
    void LoadValues(const std::map<std::string, std::string>& values);
    void PictureChanged() { Changed(); }
    void DrawPicture(TGPGraphics* graphics, TGDIPPicture* picture, const TGPRectF& r, TFillPicturePosition position,
                     int left, int top, bool customSize);

    std::unique_ptr<TGDIPPicture> backGroundPicture_;
    std::unique_ptr<TGDIPPicture> picture_;
    int updateCount_ = 0;
};

#undef VELMORA_FILL_PROPERTY
