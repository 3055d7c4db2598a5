#include "controls/GDIPFill.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <charconv>
#include <map>
#include <optional>

#include "controls/FillGDIP.h"
#include "platform/gdiplus/GpObjects.h"
#include "platform/rtl/Exception.h"

namespace {

const char* const kClipboardFormat = "GDI+ Fill";

// The gradient of gtRadial: a solid ground in the outer colour and an
// elliptic gradient rising from the top (or bottom) edge.
void DrawRadial(TGPGraphics* graphics, const TGPRectF& r, TColor first, uint8_t firstOpacity, TColor second,
                uint8_t secondOpacity, bool fromTop, int radius, TFillRoundingType roundingType)
{
    const ARGB a = MakeColor(firstOpacity, first), b = MakeColor(secondOpacity, second);
    std::unique_ptr<TGPGraphicsPath> outline(CreateRoundRectangle(r, radius, roundingType, false));
    TGPSolidBrush ground(fromTop ? a : b);
    graphics->FillPath(&ground, outline.get());

    TGPRegion region(outline.get());
    graphics->SetClip(&region, CombineModeReplace);
    TGPGraphicsPath ellipse;
    if (fromTop)
        ellipse.AddEllipse(r.X, r.Y - r.Height / 2, r.Width, 1.5f * r.Height);
    else
        ellipse.AddEllipse(r.X, r.Y, r.Width, 1.5f * r.Height);
    TGPPathGradientBrush brush(&ellipse);
    brush.SetCenterPoint(MakePoint(r.X + r.Width / 2, fromTop ? r.Y : r.Y + r.Height));
    brush.SetCenterColor(fromTop ? b : a);
    ARGB surround = fromTop ? a : b;
    int count = 1;
    brush.SetSurroundColors(&surround, count);
    graphics->FillRectangle(&brush, r);
    graphics->ResetClip();
}

std::string ToHex(const TGDIPPicture& picture)
{
    static const char digits[] = "0123456789ABCDEF";
    TMemoryStream& data = picture.Data();
    std::string text;
    text.reserve(size_t(data.GetSize()) * 2);
    for (int64_t i = 0; i < data.GetSize(); ++i) {
        text += digits[data.Memory()[i] >> 4];
        text += digits[data.Memory()[i] & 15];
    }
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    throw Exception("No Hex-Number");
}

bool ParseInt(const std::string& text, long long& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && *begin == ' ')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

}  // namespace

TGDIPFill::TGDIPFill() : backGroundPicture_(new TGDIPPicture), picture_(new TGDIPPicture)
{
    backGroundPicture_->OnChange = [this] { PictureChanged(); };
    picture_->OnChange = [this] { PictureChanged(); };
}

void TGDIPFill::SetBackGroundPicture(const TGDIPPicture* picture)
{
    if (picture != backGroundPicture_.get())
        backGroundPicture_->Assign(picture);
}

void TGDIPFill::SetPicture(const TGDIPPicture* picture)
{
    if (picture != picture_.get())
        picture_->Assign(picture);
}

void TGDIPFill::Changed()
{
    if (OnChange && updateCount_ == 0)
        OnChange(this);
}

void TGDIPFill::Assign(const TGDIPFill& s)
{
    if (&s == this)
        return;
    SetColor(s.Color());
    SetColorTo(s.ColorTo());
    SetColorMirror(s.ColorMirror());
    SetColorMirrorTo(s.ColorMirrorTo());
    SetGradientType(s.GradientType());
    SetGradientMirrorType(s.GradientMirrorType());
    SetHatchStyle(s.HatchStyle());
    SetHatchStyleMirror(s.HatchStyleMirror());
    backGroundPicture_->Assign(s.BackGroundPicture());
    SetBackGroundPicturePosition(s.BackGroundPicturePosition());
    SetBackGroundPictureLeft(s.BackGroundPictureLeft());
    SetBackGroundPictureTop(s.BackGroundPictureTop());
    picture_->Assign(s.Picture());
    SetPicturePosition(s.PicturePosition());
    SetPictureLeft(s.PictureLeft());
    SetPictureTop(s.PictureTop());
    SetPictureSize(s.PictureSize());
    SetPictureWidth(s.PictureWidth());
    SetPictureHeight(s.PictureHeight());
    SetOpacity(s.Opacity());
    SetOpacityTo(s.OpacityTo());
    SetOpacityMirror(s.OpacityMirror());
    SetOpacityMirrorTo(s.OpacityMirrorTo());
    SetBorderColor(s.BorderColor());
    SetBorderWidth(s.BorderWidth());
    SetRounding(s.Rounding());
    SetRoundingType(s.RoundingType());
    SetShadowColor(s.ShadowColor());
    SetShadowOffset(s.ShadowOffset());
    SetAngle(s.Angle());
    SetBorderOpacity(s.BorderOpacity());
    SetBackGroundPictureMode(s.BackGroundPictureMode());
}

TGPRectF TGDIPFill::Fill(TGPGraphics* graphics, const TGPRectF& rect, uint8_t borderOpacity, uint8_t opacity,
                         uint8_t opacityTo, uint8_t opacityMirror, uint8_t opacityMirrorTo)
{
    TGPRectF r = rect;
    if (!graphics)
        return r;
    auto pick = [](uint8_t given, uint8_t property) { return given < 255 ? given : property; };
    const uint8_t effBorder = pick(borderOpacity, fBorderOpacity), effOpacity = pick(opacity, fOpacity),
                  effOpacityTo = pick(opacityTo, fOpacityTo), effMirror = pick(opacityMirror, fOpacityMirror),
                  effMirrorTo = pick(opacityMirrorTo, fOpacityMirrorTo);

    const bool thin = r.Height == 1.0f || r.Width == 1.0f;
    if (thin) {
        if (fBorderWidth > 0 && fBorderColor != colors::clNone) {
            TGPPen pen(MakeColor(effBorder, fBorderColor), float(fBorderWidth));
            graphics->DrawLine(&pen, r.X, r.Y, r.X + r.Width, r.Y + r.Height);
        }
    } else {
        // Shadow: a soft band along the right and bottom edges.
        if (fShadowOffset > 0 && fShadowColor != colors::clNone) {
            std::unique_ptr<TGPGraphicsPath> outline(CreateRoundRectangle(r, fRounding, fRoundingType, false));
            TGPPathGradientBrush brush(outline.get());
            brush.SetWrapMode(WrapModeClamp);
            const ARGB colours[3] = {MakeColor(0, 0, 0, 0), MakeColor(180, fShadowColor), MakeColor(180, fShadowColor)};
            const float positions[3] = {0.0f, 0.1f, 1.0f};
            brush.SetInterpolationColors(colours, positions, 3);
            graphics->FillPath(&brush, outline.get());
            r.Width -= float(fShadowOffset);
            r.Height -= float(fShadowOffset);
        }

        const TColor radialTo = fColorTo == colors::clNone ? fColor : fColorTo;
        if (fGradientType == gtHatch || fGradientType == gtTexture || fColorMirror == colors::clNone) {
            if (fGradientType == gtRadial) {
                if (fColor != colors::clNone)
                    DrawRadial(graphics, r, fColor, effOpacity, radialTo, effOpacityTo, true, fRounding, fRoundingType);
            } else {
                DrawGradientBackGround(graphics, r, false, effOpacity, effOpacityTo, effMirror, effMirrorTo);
            }
        } else {
            const float h = r.Height / 2;
            const TGPRectF upper = MakeRect(r.X, r.Y, r.Width, r.Height - h + 1);
            const TGPRectF lower = MakeRect(r.X, r.Y + h - 1, r.Width, r.Height - h + 1);
            if (fGradientType == gtRadial) {
                if (fColor != colors::clNone)
                    DrawRadial(graphics, upper, fColor, effOpacity, radialTo, effOpacityTo, true, fRounding, rtTop);
            } else {
                DrawGradientBackGround(graphics, upper, false, effOpacity, effOpacityTo, effMirror, effMirrorTo);
            }
            if (fGradientMirrorType == gtRadial) {
                const TColor mirrorTo = fColorMirrorTo == colors::clNone ? fColorMirror : fColorMirrorTo;
                DrawRadial(graphics, lower, fColorMirror, effMirror, mirrorTo, effMirrorTo, false, fRounding, rtBottom);
            } else {
                DrawGradientBackGround(graphics, lower, true, effOpacity, effOpacityTo, effMirror, effMirrorTo);
            }
        }

        if (fBackGroundPictureMode == pmInsideFill && fGradientType == gtTexture) {
            std::unique_ptr<TGPGraphicsPath> outline(CreateRoundRectangle(r, fRounding, fRoundingType, false));
            TGPRegion region(outline.get());
            graphics->SetClip(&region, CombineModeReplace);
            DrawPicture(graphics, backGroundPicture_.get(), r, fBackGroundPicturePosition, fBackGroundPictureLeft,
                        fBackGroundPictureTop, false);
            graphics->ResetClip();  // back to the caller's clip
        }

        if (fBorderWidth > 0 && fBorderColor != colors::clNone) {
            std::unique_ptr<TGPGraphicsPath> outline(CreateRoundRectangle(r, fRounding, fRoundingType, false));
            TGPPen pen(MakeColor(effBorder, fBorderColor), float(fBorderWidth));
            graphics->DrawPath(&pen, outline.get());
        }
    }

    const float bw = float(fBorderWidth);
    InnerRect = MakeRect(r.X + bw, r.Y + bw, r.Width - 2 * bw, r.Height - 2 * bw);
    if (Focus) {
        graphics->SetSmoothingMode(SmoothingModeDefault);
        std::unique_ptr<TGPGraphicsPath> outline(
            CreateRoundRectangle(InnerRect, fRounding - fBorderWidth, fRoundingType, false));
        TGPPen pen(MakeColor(effOpacity, FocusColor), 1.0f);
        pen.SetDashStyle(DashStyleDot);
        graphics->DrawPath(&pen, outline.get());
    }

    if (fBackGroundPictureMode == pmOutsideFill && fGradientType == gtTexture)
        DrawPicture(graphics, backGroundPicture_.get(), r, fBackGroundPicturePosition, fBackGroundPictureLeft,
                    fBackGroundPictureTop, false);
    DrawPicture(graphics, picture_.get(), r, fPicturePosition, fPictureLeft, fPictureTop, fPictureSize == psCustom);
    return r;
}

void TGDIPFill::DrawPicture(TGPGraphics* graphics, TGDIPPicture* picture, const TGPRectF& r,
                            TFillPicturePosition position, int left, int top, bool customSize)
{
    if (picture->Empty() || position == ppTiled)
        return;
    int w = fPictureWidth, h = fPictureHeight;
    if (!customSize) {
        picture->GetImageSizes();
        w = picture->Width();
        h = picture->Height();
    }
    const int l = RoundHalfEven(r.X), t = RoundHalfEven(r.Y);
    const int rt = l + RoundHalfEven(r.Width), bt = t + RoundHalfEven(r.Height);
    const int cl = l + (rt - l - w) / 2, ct = t + (bt - t - h) / 2;
    TRect target;
    switch (position) {
    case ppTopLeft: target = {l, t, l + w, t + h}; break;
    case ppTopCenter: target = {cl, t, cl + w, t + h}; break;
    case ppTopRight: target = {rt - w, t, rt, t + h}; break;
    case ppBottomLeft: target = {l, bt - h, l + w, bt}; break;
    case ppBottomCenter: target = {cl, bt - h, cl + w, bt}; break;
    case ppBottomRight: target = {rt - w, bt - h, rt, bt}; break;
    case ppStretched: target = {l, t, rt, bt}; break;
    case ppCenterLeft: target = {l, ct, l + w, ct + h}; break;
    case ppCenterCenter: target = {cl, ct, cl + w, ct + h}; break;
    case ppCenterRight: target = {rt - w, ct, rt, ct + h}; break;
    case ppCustom: target = {left, top, left + w, top + h}; break;
    case ppTiled: return;
    }
    picture->GDIPDraw(graphics, target);
}

void TGDIPFill::DrawGradientBackGround(TGPGraphics* graphics, const TGPRectF& r, bool mirror, uint8_t opacity,
                                       uint8_t opacityTo, uint8_t opacityMirror, uint8_t opacityMirrorTo)
{
    if (!graphics)
        return;
    TGDIPFillParameters p;
    p.Graphics = graphics;
    p.R = r;
    p.GT = mirror ? fGradientMirrorType : fGradientType;
    p.ColorFrom = mirror ? fColorMirror : fColor;
    p.ColorTo = mirror ? fColorMirrorTo : fColorTo;
    p.OpacityFrom = mirror ? opacityMirror : opacity;
    p.OpacityTo = mirror ? opacityMirrorTo : opacityTo;
    p.Hatch = mirror ? fHatchStyleMirror : fHatchStyle;
    p.Angle = fAngle;
    p.Picture = fBackGroundPicturePosition == ppTiled ? backGroundPicture_.get() : nullptr;
    p.Mirror = mirror;
    if (p.ColorFrom == colors::clNone)
        p.GT = gtNone;
    else if (p.ColorTo == colors::clNone)
        p.GT = gtSolid;

    std::unique_ptr<TGPGraphicsPath> outline;
    if (fRounding != 0) {
        TFillRoundingType type = fRoundingType;
        if (fColorMirror != colors::clNone && type != rtLeft && type != rtRight) {
            if (!mirror)
                type = type == rtTop || type == rtBoth ? rtTop : rtNone;
            else
                type = type == rtBottom || type == rtBoth ? rtBottom : rtNone;
        }
        outline.reset(CreateRoundRectangle(r, fRounding, type, false));
        p.Path = outline.get();
        p.Fillpath = true;
    }
    if (outline) {
        const SmoothingMode before = graphics->GetSmoothingMode();
        graphics->SetSmoothingMode(SmoothingModeAntiAlias);
        FillGDIP(p);
        graphics->SetSmoothingMode(before);
    } else {
        FillGDIP(p);
    }
}

// ---- persistence -----------------------------------------------------------

TGDIPFill::Values TGDIPFill::SaveValues() const
{
    auto n = [](long long v) { return std::to_string(v); };
    Values v = {
        {"Color", n(fColor)}, {"ColorTo", n(fColorTo)}, {"ColorMirror", n(fColorMirror)},
        {"ColorMirrorTo", n(fColorMirrorTo)}, {"GradientType", n(fGradientType)},
        {"GradientMirrorType", n(fGradientMirrorType)}, {"HatchStyle", n(fHatchStyle)},
        {"HatchStyleMirror", n(fHatchStyleMirror)}, {"BackGroundPictureMode", n(fBackGroundPictureMode)},
        {"BackGroundPicturePosition", n(fBackGroundPicturePosition)},
        {"BackGroundPictureLeft", n(fBackGroundPictureLeft)}, {"BackGroundPictureTop", n(fBackGroundPictureTop)},
        {"PicturePosition", n(fPicturePosition)}, {"PictureLeft", n(fPictureLeft)}, {"PictureTop", n(fPictureTop)},
        {"PictureSize", n(fPictureSize)}, {"PictureWidth", n(fPictureWidth)}, {"PictureHeight", n(fPictureHeight)},
        {"Opacity", n(fOpacity)}, {"OpacityTo", n(fOpacityTo)}, {"OpacityMirror", n(fOpacityMirror)},
        {"OpacityMirrorTo", n(fOpacityMirrorTo)}, {"BorderColor", n(fBorderColor)},
        {"BorderOpacity", n(fBorderOpacity)}, {"BorderWidth", n(fBorderWidth)}, {"Rounding", n(fRounding)},
        {"RoundingType", n(fRoundingType)}, {"ShadowOffset", n(fShadowOffset)}, {"ShadowColor", n(fShadowColor)},
        {"Angle", n(fAngle)},
    };
    const std::string picture = ToHex(*picture_), background = ToHex(*backGroundPicture_);
    v.push_back({"Picture", picture});
    v.push_back({"PictureDataSize", n(static_cast<long long>(picture.size()))});
    v.push_back({"BackgroundPicture", background});
    v.push_back({"BackgroundPictureSize", n(static_cast<long long>(background.size()))});
    return v;
}

void TGDIPFill::LoadValues(const std::map<std::string, std::string>& values)
{
    auto lookup = [&values](const std::string& key, std::string& value) {
        const auto it = values.find(key);
        if (it == values.end())
            return false;
        value = it->second;
        return true;
    };
    // Everything is read into a copy of the values first, so that a bad
    // picture text leaves the fill as it was.
    struct Staged {
        std::string key;
        long long low, high;
        std::function<void(long long)> apply;
    };
    auto colour = [](auto& field) { return [&field](long long v) { field = TColor(v); }; };
    auto integer = [](auto& field) { return [&field](long long v) { field = std::remove_reference_t<decltype(field)>(v); }; };
    const long long i32min = INT32_MIN, i32max = INT32_MAX;
    const std::vector<Staged> scalars = {
        {"Color", i32min, i32max, colour(fColor)},
        {"ColorTo", i32min, i32max, colour(fColorTo)},
        {"ColorMirror", i32min, i32max, colour(fColorMirror)},
        {"ColorMirrorTo", i32min, i32max, colour(fColorMirrorTo)},
        {"GradientType", gtSolid, gtNone, integer(fGradientType)},
        {"GradientMirrorType", gtSolid, gtNone, integer(fGradientMirrorType)},
        {"HatchStyle", HatchStyleHorizontal, HatchStyleTotal, integer(fHatchStyle)},
        {"HatchStyleMirror", HatchStyleHorizontal, HatchStyleTotal, integer(fHatchStyleMirror)},
        {"BackGroundPictureMode", pmInsideFill, pmOutsideFill, integer(fBackGroundPictureMode)},
        {"BackGroundPicturePosition", ppTopLeft, ppCustom, integer(fBackGroundPicturePosition)},
        {"BackGroundPictureLeft", i32min, i32max, integer(fBackGroundPictureLeft)},
        {"BackGroundPictureTop", i32min, i32max, integer(fBackGroundPictureTop)},
        {"PicturePosition", ppTopLeft, ppCustom, integer(fPicturePosition)},
        {"PictureLeft", i32min, i32max, integer(fPictureLeft)},
        {"PictureTop", i32min, i32max, integer(fPictureTop)},
        {"PictureSize", psOriginal, psCustom, integer(fPictureSize)},
        {"PictureWidth", i32min, i32max, integer(fPictureWidth)},
        {"PictureHeight", i32min, i32max, integer(fPictureHeight)},
        {"Opacity", 0, 255, integer(fOpacity)},
        {"OpacityTo", 0, 255, integer(fOpacityTo)},
        {"OpacityMirror", 0, 255, integer(fOpacityMirror)},
        {"OpacityMirrorTo", 0, 255, integer(fOpacityMirrorTo)},
        {"BorderColor", i32min, i32max, colour(fBorderColor)},
        {"BorderOpacity", 0, 255, integer(fBorderOpacity)},
        {"BorderWidth", i32min, i32max, integer(fBorderWidth)},
        {"Rounding", i32min, i32max, integer(fRounding)},
        {"RoundingType", rtNone, rtRight, integer(fRoundingType)},
        {"ShadowOffset", i32min, i32max, integer(fShadowOffset)},
        {"ShadowColor", i32min, i32max, colour(fShadowColor)},
        {"Angle", i32min, i32max, integer(fAngle)},
    };
    std::vector<std::pair<const Staged*, long long>> accepted;
    for (const Staged& s : scalars) {
        std::string text;
        long long value = 0;
        if (lookup(s.key, text) && ParseInt(text, value) && value >= s.low && value <= s.high)
            accepted.push_back({&s, value});
    }
    auto decode = [&](const char* textKey, const char* sizeKey, std::optional<std::vector<uint8_t>>& out) {
        std::string sizeText, text;
        long long size = 0;
        if (!lookup(sizeKey, sizeText) || !ParseInt(sizeText, size) || size <= 0)
            return;
        lookup(textKey, text);
        const size_t used = std::min<size_t>(size_t(size), text.size());
        if (used % 2)
            throw Exception("No Hex-Number");
        std::vector<uint8_t> bytes(used / 2);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
        out = std::move(bytes);
    };
    std::optional<std::vector<uint8_t>> picture, background;
    decode("Picture", "PictureDataSize", picture);
    decode("BackgroundPicture", "BackgroundPictureSize", background);

    for (const auto& [staged, value] : accepted)
        staged->apply(value);
    BeginUpdate();
    auto load = [](TGDIPPicture& into, const std::optional<std::vector<uint8_t>>& bytes) {
        if (!bytes || bytes->empty())
            return;
        TMemoryStream stream;
        stream.WriteBuffer(bytes->data(), int64_t(bytes->size()));
        stream.SetPosition(0);
        into.LoadFromStream(&stream);
    };
    load(*picture_, picture);
    load(*backGroundPicture_, background);
    EndUpdate();
    Changed();
}

void TGDIPFill::SaveToFile(QSettings& ini, const std::string& section) const
{
    ini.beginGroup(QString::fromStdString(section));
    for (const auto& [key, value] : SaveValues())
        ini.setValue(QString::fromStdString(key), QString::fromStdString(value));
    ini.endGroup();
}

void TGDIPFill::SaveToFile(const std::string& fileName, const std::string& section) const
{
    QSettings ini(QString::fromStdString(fileName), QSettings::IniFormat);
    SaveToFile(ini, section);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw Exception("Cannot write " + fileName);
}

void TGDIPFill::LoadFromFile(QSettings& ini, const std::string& section)
{
    ini.beginGroup(QString::fromStdString(section));
    std::map<std::string, std::string> values;
    for (const QString& key : ini.childKeys())
        values[key.toStdString()] = ini.value(key).toString().toStdString();
    ini.endGroup();
    LoadValues(values);
}

void TGDIPFill::LoadFromFile(const std::string& fileName, const std::string& section)
{
    QSettings ini(QString::fromStdString(fileName), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw Exception("Cannot read " + fileName);
    LoadFromFile(ini, section);
}

std::string TGDIPFill::SaveToText() const
{
    std::string text;
    for (const auto& [key, value] : SaveValues())
        text += key + "=" + value + "\n";
    return text;
}

void TGDIPFill::LoadFromText(const std::string& text)
{
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values.emplace(line.substr(0, eq), line.substr(eq + 1));
        start = end + 1;
    }
    LoadValues(values);
}

void TGDIPFill::SaveToClipBoard() const
{
    auto* mime = new QMimeData;
    const std::string text = SaveToText();
    mime->setData(kClipboardFormat, QByteArray(text.data(), qsizetype(text.size())));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void TGDIPFill::LoadFromClipBoard()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(kClipboardFormat))
        return;
    const QByteArray bytes = mime->data(kClipboardFormat);
    LoadFromText(bytes.toStdString());
}
