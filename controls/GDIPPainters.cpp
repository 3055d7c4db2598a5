#include "controls/GDIPPainters.h"

#include <algorithm>
#include <cmath>
#include <QString>
#include <memory>

#include "controls/FillGDIP.h"
#include "controls/Utf16.h"
#include "platform/rtl/Format.h"

namespace {

TGPRectF ToRectF(const TRect& r)
{
    return {float(r.Left), float(r.Top), float(r.Width()), float(r.Height())};
}

// Caption and picture laid out inside `area` by layout and alignment.
void DrawContent(TGPGraphics* g, const std::string& caption, const TFont& font, TGDIPPicture* picture,
                 TGDIPButtonLayout layout, TAlignment alignment, int spacing, const TGPRectF& area, bool showCaption,
                 bool enabled)
{
    const bool hasPicture = picture && !picture->Empty();
    const bool hasText = showCaption && !caption.empty();
    std::unique_ptr<TGPFont> gpFont(g->MakeFont(font));
    TGPRectF text{};
    if (hasText)
        g->MeasureString(ToUtf16(caption), -1, gpFont.get(), TGPPointF{0, 0}, &text);
    const float pw = hasPicture ? float(picture->Width()) : 0, ph = hasPicture ? float(picture->Height()) : 0;
    const float gap = (hasPicture && hasText) ? float(spacing) : 0;
    const bool horizontal = layout == blPictureLeft || layout == blPictureRight;
    const float w = horizontal ? pw + gap + text.Width : std::max(pw, text.Width);
    const float h = horizontal ? std::max(ph, text.Height) : ph + gap + text.Height;
    float x = area.X + (area.Width - w) / 2;
    if (alignment == taLeftJustify)
        x = area.X;
    else if (alignment == taRightJustify)
        x = area.X + area.Width - w;
    const float y = area.Y + (area.Height - h) / 2;
    TGPPointF pictureAt{}, textAt{};
    switch (layout) {
    case blPictureLeft:
        pictureAt = {x, y + (h - ph) / 2};
        textAt = {x + pw + gap, y + (h - text.Height) / 2};
        break;
    case blPictureRight:
        textAt = {x, y + (h - text.Height) / 2};
        pictureAt = {x + text.Width + gap, y + (h - ph) / 2};
        break;
    case blPictureTop:
        pictureAt = {x + (w - pw) / 2, y};
        textAt = {x + (w - text.Width) / 2, y + ph + gap};
        break;
    case blPictureBottom:
        textAt = {x + (w - text.Width) / 2, y};
        pictureAt = {x + (w - pw) / 2, y + text.Height + gap};
        break;
    }
    if (hasPicture) {
        int px = int(std::lround(pictureAt.X)), py = int(std::lround(pictureAt.Y));
        picture->GDIPDraw(g, TRect{px, py, px + picture->Width(), py + picture->Height()});
    }
    if (hasText) {
        TGPSolidBrush brush(enabled ? ColorToARGB(font.Color()) : MakeColor(255, colors::clGrayText));
        g->DrawString(ToUtf16(caption), -1, gpFont.get(), textAt, &brush);
    }
}

// The colour moved in value (brightness) by `delta`, kept to 0..1.
TColor ShiftValue(TColor color, double delta)
{
    int32_t rgb = ColorToRGB(color);
    double h, s, v;
    RGBToHSV(GetRValue(rgb) / 255.0, GetGValue(rgb) / 255.0, GetBValue(rgb) / 255.0, h, s, v);
    v = std::clamp(v + delta, 0.0, 1.0);
    if (delta > 0)
        s = std::max(0.0, s - delta / 2);
    if (s == 0)
        h = -1;
    double r, g, b;
    HSVToRGB(h, s, v, r, g, b);
    return RGB(int(std::lround(r * 255)), int(std::lround(g * 255)), int(std::lround(b * 255)));
}

void FillPathWith(TGPGraphics* g, const TGPRectF& r, int rounding, TFillRoundingType type, TGradientType gt,
                  TColor from, TColor to, int opacityFrom, int opacityTo, TColor border)
{
    std::unique_ptr<TGPGraphicsPath> path(CreateRoundRectangle(r, rounding, type, false));
    TGDIPFillParameters p;
    p.Graphics = g;
    p.Path = path.get();
    p.Fillpath = true;
    p.R = r;
    p.GT = gt;
    p.ColorFrom = from;
    p.ColorTo = to;
    p.OpacityFrom = opacityFrom;
    p.OpacityTo = opacityTo;
    p.BorderColor = border;
    p.BorderWidth = border == colors::clNone ? 0 : 1;
    FillGDIP(p);
}

}  // namespace

// ---- progress ----

TGDIPProgress::TGDIPProgress()
    : backGroundFill_(std::make_unique<TGDIPFill>()), progressFill_(std::make_unique<TGDIPFill>())
{
    backGroundFill_->SetColor(colors::clWhite);
    backGroundFill_->SetColorTo(colors::clWhite);
    backGroundFill_->SetBorderColor(colors::clSilver);
    progressFill_->SetColor(RGB(0x9C, 0xD6, 0x7B));
    progressFill_->SetColorTo(RGB(0x3C, 0x9E, 0x2D));
    progressFill_->SetBorderColor(colors::clNone);
    backGroundFill_->OnChange = [this](TGDIPFill*) { Changed(); };
    progressFill_->OnChange = [this](TGDIPFill*) { Changed(); };
    font_.OnChange = [this] { Changed(); };
    progressFont_.OnChange = [this] { Changed(); };
}

void TGDIPProgress::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TGDIPProgress::Assign(const TGDIPProgress& source)
{
    Transparent = source.Transparent;
    backGroundFill_->Assign(*source.backGroundFill_);
    progressFill_->Assign(*source.progressFill_);
    font_.Assign(source.font_);
    progressFont_.Assign(source.progressFont_);
    ValueFormat = source.ValueFormat;
    ValueType = source.ValueType;
    ValuePosition = source.ValuePosition;
    ValuePositionLeft = source.ValuePositionLeft;
    ValuePositionTop = source.ValuePositionTop;
    ValueVisible = source.ValueVisible;
    Changed();
}

TRect TGDIPProgress::InsideRect(const TRect& r) const
{
    const int border = backGroundFill_->BorderColor() == colors::clNone ? 0 : backGroundFill_->BorderWidth();
    const int inset = border + 1;
    return {r.Left + inset, r.Top + inset, std::max(r.Left + inset, r.Right - inset),
            std::max(r.Top + inset, r.Bottom - inset)};
}

TGPRectF TGDIPProgress::GetInsideRectF(const TRect& r) const { return ToRectF(InsideRect(r)); }

TGPRectF TGDIPProgress::CalculateProgressRectangle(const TRect& r, double min, double max, double position) const
{
    TGPRectF inside = GetInsideRectF(r);
    double fraction = (max > min && std::isfinite(position)) ? (position - min) / (max - min) : 0;
    inside.Width = float(inside.Width * std::clamp(fraction, 0.0, 1.0));
    return inside;
}

std::string TGDIPProgress::ValueText(double min, double max, double position) const
{
    double value = position;
    if (ValueType == vtPercentage)
        value = max > min ? (position - min) / (max - min) * 100 : 0;
    try {
        return Format(ValueFormat, {value});
    } catch (const EConvertError&) {
        return {};
    }
}

TGPRectF TGDIPProgress::GetTextSize(TGPGraphics* g, const TFont& font, const std::string& text) const
{
    std::unique_ptr<TGPFont> gpFont(g->MakeFont(font));
    TGPRectF box{};
    g->MeasureString(ToUtf16(text), -1, gpFont.get(), TGPPointF{0, 0}, &box);
    return box;
}

void TGDIPProgress::Draw(TGPGraphics* g, const TRect& r, double min, double max, double position)
{
    if (!g || r.Width() <= 0 || r.Height() <= 0)
        return;
    try {
        g->SetSmoothingMode(SmoothingModeAntiAlias);
        const TGPRectF progress = CalculateProgressRectangle(r, min, max, position);
        DrawBackGround(g, r);
        DrawProgress(g, progress);
        DrawShadows(g, r);
        if (ValueVisible)
            DrawValue(g, r, progress, min, max, position);
        if (!Transparent)
            DrawOverLay(g, r);
    } catch (...) {
        // A painter is called from paint events: nothing may escape it.
    }
}

void TGDIPProgress::DrawBackGround(TGPGraphics* g, const TRect& r) { backGroundFill_->Fill(g, ToRectF(r)); }

void TGDIPProgress::DrawProgress(TGPGraphics* g, const TGPRectF& progress)
{
    if (progress.Width >= 1)
        progressFill_->Fill(g, progress);
}

void TGDIPProgress::DrawShadows(TGPGraphics* g, const TRect& r)
{
    // A soft inner shadow under the top and left edges makes the track sunken.
    const TGPRectF in = GetInsideRectF(r);
    if (in.Width < 2 || in.Height < 2)
        return;
    TGPPen dark(MakeColor(60, 0, 0, 0)), light(MakeColor(25, 0, 0, 0));
    g->DrawLine(&dark, in.X, in.Y + 0.5f, in.X + in.Width, in.Y + 0.5f);
    g->DrawLine(&light, in.X + 0.5f, in.Y + 1, in.X + 0.5f, in.Y + in.Height);
}

void TGDIPProgress::DrawValue(TGPGraphics* g, const TRect& r, const TGPRectF& progress, double min, double max,
                              double position)
{
    const std::string text = ValueText(min, max, position);
    if (text.empty())
        return;
    const TGPRectF in = GetInsideRectF(r);
    const bool onProgress = ValuePosition == vpProgressCenter || ValuePosition == vpProgressRight;
    const TFont& font = onProgress ? progressFont_ : font_;
    const TGPRectF size = GetTextSize(g, font, text);
    float x = in.X + (in.Width - size.Width) / 2;
    float y = in.Y + (in.Height - size.Height) / 2;
    switch (ValuePosition) {
    case vpProgressCenter:
        x = progress.X + (progress.Width - size.Width) / 2;
        break;
    case vpProgressRight:
        x = progress.X + progress.Width - size.Width - 2;
        break;
    case vpCenter:
        break;
    case vpLeft:
        x = in.X + 2;
        break;
    case vpRight:
        x = in.X + in.Width - size.Width - 2;
        break;
    case vpCustom:
        x = float(r.Left + ValuePositionLeft);
        y = float(r.Top + ValuePositionTop);
        break;
    }
    if (onProgress)
        x = std::max(x, in.X + 2);
    std::unique_ptr<TGPFont> gpFont(g->MakeFont(font));
    TGPSolidBrush brush(ColorToARGB(font.Color()));
    g->DrawString(ToUtf16(text), -1, gpFont.get(), TGPPointF{x, y}, &brush);
}

void TGDIPProgress::DrawOverLay(TGPGraphics* g, const TRect& r)
{
    // A gloss over the upper half.
    TGPRectF in = GetInsideRectF(r);
    in.Height /= 2;
    if (in.Width < 1 || in.Height < 1)
        return;
    TGPLinearGradientBrush gloss(in, MakeColor(110, 255, 255, 255), MakeColor(30, 255, 255, 255),
                                 LinearGradientModeVertical);
    g->FillRectangle(&gloss, in);
}

void TGDIPProgress::DrawGlow(TGPGraphics* g, const TGPRectF& r)
{
    try {
        std::unique_ptr<TGPGraphicsPath> path(new TGPGraphicsPath());
        path->AddEllipse(r);
        TGPPathGradientBrush glow(path.get());
        glow.SetCenterColor(MakeColor(160, 255, 255, 255));
        ARGB edge = MakeColor(0, 255, 255, 255);
        int count = 1;
        glow.SetSurroundColors(&edge, count);
        g->FillPath(&glow, path.get());
    } catch (...) {
    }
}

// ---- status ----

TGDIPStatus::TGDIPStatus() : fill_(std::make_unique<TGDIPFill>())
{
    fill_->SetColor(RGB(0xFF, 0x60, 0x40));
    fill_->SetColorTo(RGB(0xD0, 0x20, 0x10));
    fill_->SetBorderColor(colors::clWhite);
    fill_->SetRounding(8);
    font_.SetColor(colors::clWhite);
    font_.SetStyle(fsBold);
    fill_->OnChange = [this](TGDIPFill*) { Changed(); };
    font_.OnChange = [this] { Changed(); };
}

void TGDIPStatus::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TGDIPStatus::Assign(const TGDIPStatus& source)
{
    fill_->Assign(*source.fill_);
    font_.Assign(source.font_);
    Spacing = source.Spacing;
    Glow = source.Glow;
    Changed();
}

void TGDIPStatus::CalculateSize(TGPGraphics* g, const std::string& caption)
{
    std::unique_ptr<TGPFont> gpFont(g->MakeFont(font_));
    TGPRectF box{};
    g->MeasureString(ToUtf16(caption), -1, gpFont.get(), TGPPointF{0, 0}, &box);
    const int pad = 4 + Spacing;
    height_ = int(std::ceil(box.Height)) + 2 * (2 + Spacing / 2);
    // At least round: a single digit gives a circle.
    width_ = std::max(height_, int(std::ceil(box.Width)) + 2 * pad);
}

void TGDIPStatus::Draw(TGPGraphics* g, int left, int top, int width, int height, bool useSize,
                       const std::string& caption)
{
    if (!g)
        return;
    try {
        if (!useSize) {
            CalculateSize(g, caption);
            width = width_;
            height = height_;
        }
        if (width <= 0 || height <= 0)
            return;
        g->SetSmoothingMode(SmoothingModeAntiAlias);
        const TGPRectF r{float(left), float(top), float(width), float(height)};
        const int savedRounding = fill_->Rounding();
        fill_->BeginUpdate();
        fill_->SetRounding(std::min(savedRounding, height / 2));
        fill_->Fill(g, r);
        fill_->SetRounding(savedRounding);
        fill_->EndUpdate();
        if (Glow) {
            TGPRectF upper{r.X + 2, r.Y + 1, r.Width - 4, r.Height / 2};
            std::unique_ptr<TGPGraphicsPath> path(CreateRoundRectangle(upper, int(upper.Height / 2), rtBoth, false));
            TGPLinearGradientBrush glow(upper, MakeColor(150, 255, 255, 255), MakeColor(20, 255, 255, 255),
                                        LinearGradientModeVertical);
            g->FillPath(&glow, path.get());
        }
        std::unique_ptr<TGPFont> gpFont(g->MakeFont(font_));
        TGPRectF box{};
        g->MeasureString(ToUtf16(caption), -1, gpFont.get(), TGPPointF{0, 0}, &box);
        TGPSolidBrush brush(ColorToARGB(font_.Color()));
        g->DrawString(ToUtf16(caption), -1, gpFont.get(),
                      TGPPointF{r.X + (r.Width - box.Width) / 2, r.Y + (r.Height - box.Height) / 2}, &brush);
    } catch (...) {
    }
}

// ---- HSV ----

void RGBToHSV(double r, double g, double b, double& h, double& s, double& v)
{
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), delta = mx - mn;
    v = mx;
    s = mx > 0 ? delta / mx : 0;
    if (s == 0) {
        h = -1;
        return;
    }
    if (r == mx)
        h = (g - b) / delta;
    else if (g == mx)
        h = 2 + (b - r) / delta;
    else
        h = 4 + (r - g) / delta;
    h *= 60;
    if (h < 0)
        h += 360;
    if (h >= 360)
        h -= 360;
}

void HSVToRGB(double h, double s, double v, double& r, double& g, double& b)
{
    if (s == 0) {
        if (h >= 0)
            throw Exception("HSVtoRGB: S = 0 and H has a value");
        r = g = b = v;
        return;
    }
    if (h >= 360)
        h = std::fmod(h, 360.0);
    if (h < 0)
        h = 0;
    const double sector = h / 60;
    const int i = int(std::floor(sector));
    const double f = sector - i;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (i) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
}

// ---- button ----

TGDIPButton::TGDIPButton()
{
    font_.OnChange = [this] {
        if (OnFontChange)
            OnFontChange(this);
        Changed();
    };
}

bool TGDIPButton::IsFontStored()
{
    bool stored = true;
    if (OnIsFontStored)
        OnIsFontStored(this, stored);
    return stored;
}

void TGDIPButton::Changed()
{
    if (updateCount_ == 0 && OnChange)
        OnChange(this);
}

void TGDIPButton::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0)
        Changed();
}

void TGDIPButton::Assign(const TGDIPButton& source)
{
    BeginUpdate();
    Alignment = source.Alignment;
    font_.Assign(source.font_);
    Layout = source.Layout;
    Spacing = source.Spacing;
    ShiftDown = source.ShiftDown;
    EndUpdate();
}

void TGDIPButton::Draw(TGPGraphics* g, const std::string& caption, int left, int top, int width, int height,
                       int verticalSpacing, int horizontalSpacing, TColor color, TColor colorDown,
                       TColor borderColor, bool down, bool hot, bool enabled, bool focused, bool showCaption,
                       TFillRoundingType roundingType, TGDIPPicture* picture, int rounding, int opacity,
                       bool drawBorder)
{
    if (!g || width <= 0 || height <= 0)
        return;
    try {
        g->SetSmoothingMode(SmoothingModeAntiAlias);
        const TGPRectF face{float(left), float(top), float(width - 1), float(height - 1)};
        TColor base = down ? colorDown : color;
        if (!enabled)
            base = colors::clBtnFace;
        else if (hot && !down)
            base = ShiftValue(base, 0.08);
        const int alpha = std::clamp(opacity, 0, 255);
        FillPathWith(g, face, rounding, roundingType, gtVertical, ShiftValue(base, down ? -0.05 : 0.15), base,
                     alpha, alpha, drawBorder ? borderColor : colors::clNone);
        if (focused) {
            TGPRectF inner{face.X + 2, face.Y + 2, face.Width - 4, face.Height - 4};
            std::unique_ptr<TGPGraphicsPath> path(
                CreateRoundRectangle(inner, std::max(rounding - 2, 0), roundingType, false));
            TGPPen pen(MakeColor(160, colors::clBlack));
            pen.SetDashStyle(DashStyleDot);
            g->DrawPath(&pen, path.get());
        }
        const int shift = down ? ShiftDown : 0;
        const TGPRectF area{float(left + horizontalSpacing + shift), float(top + verticalSpacing + shift),
                            float(width - 2 * horizontalSpacing), float(height - 2 * verticalSpacing)};
        DrawContent(g, caption, font_, picture, Layout, Alignment, Spacing, area, showCaption, enabled);
    } catch (...) {
    }
}

// ---- dialog button ----

TGDIPDialogButton::TGDIPDialogButton()
{
    font_.OnChange = [this] { Changed(); };
}

void TGDIPDialogButton::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TGDIPDialogButton::Assign(const TGDIPDialogButton& source)
{
    font_.Assign(source.font_);
    Layout = source.Layout;
    Spacing = source.Spacing;
    Changed();
}

void TGDIPDialogButton::Draw(TGPGraphics* g, const std::string& caption, int left, int top, int width, int height,
                             TColor color, TColor colorDown, int rounding, uint8_t opacity, uint8_t opacityTo,
                             bool down, bool enabled, TGDIPPicture* picture, bool focused)
{
    if (!g || width <= 0 || height <= 0)
        return;
    try {
        g->SetSmoothingMode(SmoothingModeAntiAlias);
        const TGPRectF face{float(left), float(top), float(width - 1), float(height - 1)};
        const TColor base = enabled ? (down ? colorDown : color) : colors::clBtnFace;
        FillPathWith(g, face, rounding, rtBoth, gtVertical, base, base, opacity, opacityTo,
                     focused ? colors::clHighlight : colors::clNone);
        DrawContent(g, caption, font_, picture, Layout, taCenter, Spacing, face, true, enabled);
    } catch (...) {
    }
}

// ---- LED ----

namespace {

// Segments a..g as bits 0..6: top, upper right, lower right, bottom, lower
// left, upper left, middle.
constexpr unsigned char kDigitSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
constexpr unsigned char kMinusSegments = 0x40;

// A segment as a six-cornered bar between two points of the cell, in
// twelfths of its width (x) and fifteenths of its height (y).
void AddSegment(TGPGraphicsPath* path, const TGPRectF& cell, int segment)
{
    const float u = cell.Width / 12, v = cell.Height / 15;
    auto at = [&](float x, float y) { return TGPPointF{cell.X + x * u, cell.Y + y * v}; };
    TGPPointF points[6];
    auto horizontal = [&](float y) {
        points[0] = at(2.6f, y);
        points[1] = at(3.2f, y - 0.6f);
        points[2] = at(8.8f, y - 0.6f);
        points[3] = at(9.4f, y);
        points[4] = at(8.8f, y + 0.6f);
        points[5] = at(3.2f, y + 0.6f);
    };
    auto vertical = [&](float x, float y1, float y2) {
        points[0] = at(x, y1);
        points[1] = at(x + 0.6f, y1 + 0.6f);
        points[2] = at(x + 0.6f, y2 - 0.6f);
        points[3] = at(x, y2);
        points[4] = at(x - 0.6f, y2 - 0.6f);
        points[5] = at(x - 0.6f, y1 + 0.6f);
    };
    switch (segment) {
    case 0: horizontal(1.5f); break;
    case 1: vertical(9.5f, 1.8f, 7.2f); break;
    case 2: vertical(9.5f, 7.8f, 13.2f); break;
    case 3: horizontal(13.5f); break;
    case 4: vertical(2.5f, 7.8f, 13.2f); break;
    case 5: vertical(2.5f, 1.8f, 7.2f); break;
    default: horizontal(7.5f); break;
    }
    path->AddPolygon(points, 6);
}

void AddDot(TGPGraphicsPath* path, const TGPRectF& cell, float y)
{
    const float u = cell.Width / 12, v = cell.Height / 15;
    const float size = std::min(1.4f * u, 1.4f * v);
    path->AddRectangle(TGPRectF{cell.X - size / 2, cell.Y + y * v - size / 2, size, size});
}

// The brush of the digits; a texture is painted by the picture itself.
std::unique_ptr<TGPBrush> LedBrush(const TGPRectF& r, TGradientType gt, TColor color, TColor colorTo,
                                   HatchStyle hatch, uint8_t opacity, int angle)
{
    const ARGB from = MakeColor(opacity, color), to = MakeColor(opacity, colorTo == colors::clNone ? color : colorTo);
    switch (gt) {
    case gtVertical:
        return std::make_unique<TGPLinearGradientBrush>(r, from, to, LinearGradientModeVertical);
    case gtHorizontal:
        return std::make_unique<TGPLinearGradientBrush>(r, from, to, LinearGradientModeHorizontal);
    case gtForwardDiagonal:
        return std::make_unique<TGPLinearGradientBrush>(r, from, to, LinearGradientModeForwardDiagonal);
    case gtBackwardDiagonal:
        return std::make_unique<TGPLinearGradientBrush>(r, from, to, LinearGradientModeBackwardDiagonal);
    case gtAngle:
        return std::make_unique<TGPLinearGradientBrush>(r, from, to, float(angle));
    case gtHatch:
        return std::make_unique<TGPHatchBrush>(hatch, from, to);
    default:
        return std::make_unique<TGPSolidBrush>(from);
    }
}

}  // namespace

std::string LedText(double value, const std::string& format, TFillValueType valueType)
{
    return valueType == vtDateTime ? FormatDateTime(format, value) : FormatFloat(format, value);
}

int LedCellCount(const std::string& text)
{
    return int(std::count_if(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-'; }));
}

void DrawLed(TGPGraphics* g, const TGPRectF& r, double value, const std::string& format, TFillValueType valueType,
             TGradientType gradientType, TColor color, TColor colorTo, HatchStyle hatch, TGDIPPicture* picture,
             uint8_t opacity, int angle)
{
    if (!g || r.Width <= 0 || r.Height <= 0)
        return;
    try {
        const std::string text = LedText(value, format, valueType);
        const int cells = LedCellCount(text);
        if (cells == 0)
            return;
        TGPGraphicsPath path;
        TGPRectF cell{r.X, r.Y, r.Width / float(cells), r.Height};
        for (char c : text) {
            unsigned char segments = 0;
            if (c >= '0' && c <= '9') {
                segments = kDigitSegments[c - '0'];
            } else if (c == '-') {
                segments = kMinusSegments;
            } else if (c == ':') {
                AddDot(&path, cell, 5.0f);
                AddDot(&path, cell, 10.0f);
                continue;
            } else if (c == '.') {
                AddDot(&path, cell, 13.5f);
                continue;
            } else {
                continue;
            }
            for (int s = 0; s < 7; ++s)
                if (segments & (1u << s))
                    AddSegment(&path, cell, s);
            cell.X += cell.Width;
        }
        g->SetSmoothingMode(SmoothingModeAntiAlias);
        if (gradientType == gtTexture && picture && !picture->Empty()) {
            picture->FillPath(g, &path);
        } else {
            std::unique_ptr<TGPBrush> brush = LedBrush(r, gradientType, color, colorTo, hatch, opacity, angle);
            g->FillPath(brush.get(), &path);
        }
    } catch (...) {
    }
}
