// Draws sheets of what the drawing wrappers paint, one PNG each, for a person
// to look at: pens, brushes, the hatch patterns, gradients, text, fills,
// placed pictures, caption markup, the painters and the thumbnail strip's parts.
//
//   render-controls OUT [--check]
//
// With --check it also fails when a sheet came out empty (one colour only).
#include <QDir>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "controls/SmoothGDIP.h"
#include "controls/render/FillSheets.h"
#include "controls/render/ListBoxSheets.h"
#include "controls/render/ListWidgetSheets.h"
#include "controls/render/StyleSheets.h"

namespace {

constexpr int kWidth = 760;

std::u16string Wide(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), s.size());
}

class Sheet {
public:
    Sheet(int height) : image_(kWidth, height, QImage::Format_ARGB32), painter_(&image_)
    {
        image_.fill(Qt::white);
        graphics_ = std::make_unique<TGPGraphics>(&painter_);
        family_ = std::make_unique<TGPFontFamily>(u"Arial");
        label_ = std::make_unique<TGPFont>(family_.get(), 11, FontStyleRegular, UnitPixel);
    }
    TGPGraphics& G() { return *graphics_; }
    TGPFontFamily* Family() { return family_.get(); }
    void Label(float x, float y, const QString& text)
    {
        TGPSolidBrush ink(MakeColor(255, 60, 60, 60));
        graphics_->DrawString(Wide(text), -1, label_.get(), TGPPointF{x, y}, &ink);
    }
    QImage Finish()
    {
        label_.reset();
        family_.reset();
        graphics_.reset();
        painter_.end();
        return image_;
    }

private:
    QImage image_;
    QPainter painter_;
    std::unique_ptr<TGPGraphics> graphics_;
    std::unique_ptr<TGPFontFamily> family_;
    std::unique_ptr<TGPFont> label_;
};

QImage Pens()
{
    Sheet s(420);
    const char* dashNames[] = {"Solid", "Dash", "Dot", "DashDot", "DashDotDot"};
    for (int smooth = 0; smooth < 2; ++smooth) {
        s.G().SetSmoothingMode(smooth ? SmoothingModeAntiAlias : SmoothingModeNone);
        const float x0 = 20 + smooth * 370.0f;
        s.Label(x0, 4, smooth ? "anti-aliased" : "aliased");
        for (int style = 0; style < 5; ++style) {
            for (int w = 0; w < 3; ++w) {
                const float width = w == 0 ? 1 : w == 1 ? 2 : 5;
                TGPPen pen(MakeColor(255, 30, 60, 160), width);
                pen.SetDashStyle(static_cast<DashStyle>(style));
                const float y = 30 + style * 40 + w * 12;
                s.G().DrawLine(&pen, x0 + 80, y, x0 + 330, y);
            }
            s.Label(x0, 28 + style * 40, dashNames[style]);
        }
        TGPPen arcPen(MakeColor(255, 200, 40, 40), 3);
        s.G().DrawArc(&arcPen, x0 + 10, 240.0f, 80.0f, 80.0f, 0.0f, 90.0f);
        s.G().DrawArc(&arcPen, x0 + 100, 240.0f, 80.0f, 80.0f, 180.0f, 270.0f);
        TGPPen ellipsePen(MakeColor(255, 20, 140, 60), 2);
        s.G().DrawEllipse(&ellipsePen, x0 + 190, 240.0f, 120.0f, 60.0f);
        TGPPen rectPen(MakeColor(255, 0, 0, 0), 1);
        s.G().DrawRectangle(&rectPen, x0 + 10, 340.0f, 100.0f, 50.0f);
        TGPGraphicsPath curve;
        const TGPPoint points[] = {{int(x0) + 130, 390}, {int(x0) + 170, 340}, {int(x0) + 220, 380},
                                   {int(x0) + 300, 345}};
        curve.AddCurve(points, 4);
        TGPPen curvePen(MakeColor(255, 120, 0, 160), 2);
        s.G().DrawPath(&curvePen, &curve);
    }
    return s.Finish();
}

QImage Brushes()
{
    Sheet s(300);
    s.G().SetSmoothingMode(SmoothingModeAntiAlias);
    TGPSolidBrush solid(MakeColor(255, 40, 120, 200));
    s.G().FillRectangle(&solid, TGPRectF{20, 30, 120, 80});
    s.Label(20, 10, "solid");
    TGPSolidBrush translucent(MakeColor(128, 220, 40, 40));
    s.G().FillEllipse(&translucent, TGPRectF{80, 60, 120, 80});

    TGPBitmap tile(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile.SetPixel(x, y, (x / 4 + y / 4) % 2 ? MakeColor(255, 250, 200, 60) : MakeColor(255, 60, 90, 40));
    tile.SetPixel(0, 0, MakeColor(255, 255, 0, 0));
    TGPTextureBrush texture(&tile, WrapModeTileFlipXY);
    s.G().FillRectangle(&texture, TGPRectF{230, 30, 120, 110});
    s.Label(230, 10, "texture, flipped tiles");

    TGPGraphicsPath ellipse;
    ellipse.AddEllipse(380.0f, 30.0f, 160.0f, 110.0f);
    TGPPathGradientBrush radial(&ellipse);
    radial.SetCenterColor(MakeColor(255, 255, 255, 200));
    ARGB edge = MakeColor(255, 200, 60, 0);
    int one = 1;
    radial.SetSurroundColors(&edge, one);
    radial.SetCenterPoint(TGPPointF{430, 70});
    s.G().FillPath(&radial, &ellipse);
    s.Label(380, 10, "path gradient, ellipse");

    const TGPPointF star[] = {{640, 30}, {660, 75}, {710, 80}, {670, 110}, {685, 150},
                              {640, 125}, {595, 150}, {610, 110}, {570, 80}, {620, 75}};
    TGPPathGradientBrush polygon(star, 10);
    polygon.SetCenterColor(MakeColor(255, 255, 255, 255));
    ARGB rays[10];
    for (int i = 0; i < 10; ++i)
        rays[i] = i % 2 ? MakeColor(255, 40, 40, 200) : MakeColor(255, 200, 30, 120);
    int ten = 10;
    polygon.SetSurroundColors(rays, ten);
    TGPGraphicsPath starPath;
    starPath.AddPolygon(star, 10);
    s.G().FillPath(&polygon, &starPath);
    s.Label(570, 10, "path gradient, polygon");

    // A rounded rectangle, its outline and a colour-keyed image.
    TGPGraphicsPath round;
    round.AddArc(20, 170, 30, 30, 180, 90);
    round.AddArc(170, 170, 30, 30, 270, 90);
    round.AddArc(170, 250, 30, 30, 0, 90);
    round.AddArc(20, 250, 30, 30, 90, 90);
    round.CloseFigure();
    TGPLinearGradientBrush fill(TGPRectF{20, 170, 180, 110}, MakeColor(255, 240, 240, 255),
                                MakeColor(255, 120, 140, 220), LinearGradientModeVertical);
    s.G().FillPath(&fill, &round);
    TGPPen outline(MakeColor(255, 40, 50, 120), 2);
    s.G().DrawPath(&outline, &round);
    s.Label(20, 150, "rounded rectangle");

    TGPImageAttributes keyed;
    keyed.SetColorKey(MakeColor(255, 60, 90, 40), MakeColor(255, 60, 90, 40));
    s.G().DrawImage(&tile, TGPRectF{250, 170, 96, 96}, 0, 0, 16, 16, UnitPixel, &keyed);
    s.Label(250, 150, "colour key (dark squares)");
    s.G().DrawImage(&tile, TGPRectF{380, 170, 96, 96}, 0, 0, 16, 16, UnitPixel);
    s.Label(380, 150, "same image, no key");
    return s.Finish();
}

QImage Hatches()
{
    Sheet s(520);
    const char* names[HatchStyleTotal] = {
        "Horizontal", "Vertical", "ForwardDiagonal", "BackwardDiagonal", "Cross", "DiagonalCross", "05Percent",
        "10Percent", "20Percent", "25Percent", "30Percent", "40Percent", "50Percent", "60Percent", "70Percent",
        "75Percent", "80Percent", "90Percent", "LightDownwardDiagonal", "LightUpwardDiagonal",
        "DarkDownwardDiagonal", "DarkUpwardDiagonal", "WideDownwardDiagonal", "WideUpwardDiagonal",
        "LightVertical", "LightHorizontal", "NarrowVertical", "NarrowHorizontal", "DarkVertical", "DarkHorizontal",
        "DashedDownwardDiagonal", "DashedUpwardDiagonal", "DashedHorizontal", "DashedVertical", "SmallConfetti",
        "LargeConfetti", "ZigZag", "Wave", "DiagonalBrick", "HorizontalBrick", "Weave", "Plaid", "Divot",
        "DottedGrid", "DottedDiamond", "Shingle", "Trellis", "Sphere", "SmallGrid", "SmallCheckerBoard",
        "LargeCheckerBoard", "OutlinedDiamond", "SolidDiamond"};
    for (int i = 0; i < HatchStyleTotal; ++i) {
        const float x = 10 + (i % 5) * 150.0f, y = 10 + (i / 5) * 46.0f;
        TGPHatchBrush brush(static_cast<HatchStyle>(i), MakeColor(255, 20, 30, 90), MakeColor(255, 230, 235, 245));
        s.G().FillRectangle(&brush, TGPRectF{x, y, 40, 32});
        s.Label(x + 44, y + 8, QString::number(i) + " " + names[i]);
    }
    return s.Finish();
}

QImage Gradients()
{
    Sheet s(470);
    const char* modes[] = {"Horizontal", "Vertical", "ForwardDiagonal", "BackwardDiagonal"};
    for (int gamma = 0; gamma < 2; ++gamma)
        for (int m = 0; m < 4; ++m) {
            const TGPRectF r{20 + m * 180.0f, 30 + gamma * 100.0f, 160, 60};
            TGPLinearGradientBrush brush(r, MakeColor(255, 230, 30, 30), MakeColor(255, 30, 60, 230),
                                         static_cast<LinearGradientMode>(m));
            brush.SetGammaCorrection(gamma);
            s.G().FillRectangle(&brush, r);
            s.Label(r.X, r.Y - 18, QString(modes[m]) + (gamma ? ", gamma" : ""));
        }
    for (int a = 0; a < 4; ++a) {
        const TGPRectF r{20 + a * 180.0f, 250, 160, 60};
        TGPLinearGradientBrush brush(r, MakeColor(255, 255, 220, 0), MakeColor(255, 0, 120, 60), 30.0f + a * 45,
                                     true);
        s.G().FillRectangle(&brush, r);
        s.Label(r.X, r.Y - 18, QString("angle %1, scaled").arg(30 + a * 45));
    }
    const TGPRectF bell{20, 360, 340, 60}, triangle{380, 360, 340, 60};
    TGPLinearGradientBrush b1(bell, MakeColor(255, 255, 255, 255), MakeColor(255, 80, 0, 120),
                              LinearGradientModeHorizontal);
    b1.SetBlendBellShape(0.5f);
    s.G().FillRectangle(&b1, bell);
    s.Label(bell.X, bell.Y - 18, "bell blend");
    TGPLinearGradientBrush b2(triangle, MakeColor(255, 255, 255, 255), MakeColor(255, 0, 100, 80),
                              LinearGradientModeHorizontal);
    b2.SetBlendTriangularShape(0.3f);
    const ARGB presets[] = {MakeColor(255, 255, 0, 0), MakeColor(255, 255, 255, 0), MakeColor(255, 0, 160, 0)};
    const float positions[] = {0, 0.5f, 1};
    TGPLinearGradientBrush b3(TGPRectF{380, 430, 340, 30}, 0, 0, LinearGradientModeHorizontal);
    b3.SetInterpolationColors(presets, positions, 3);
    s.G().FillRectangle(&b2, triangle);
    s.G().FillRectangle(&b3, TGPRectF{380, 430, 340, 30});
    s.Label(triangle.X, triangle.Y - 18, "triangular blend; interpolation colours below");
    return s.Finish();
}

QImage Text()
{
    Sheet s(430);
    TGPSolidBrush black(MakeColor(255, 0, 0, 0));
    TGPPen guide(MakeColor(255, 255, 120, 120), 1);
    const char* hintNames[] = {"SystemDefault", "SingleBitPerPixelGridFit", "SingleBitPerPixel",
                               "AntiAliasGridFit", "AntiAlias", "ClearTypeGridFit"};
    for (int hint = 0; hint < 6; ++hint) {
        s.G().SetTextRenderingHint(static_cast<TextRenderingHint>(hint));
        TGPFont font(s.Family(), 14, hint % 2 ? FontStyleBold : FontStyleRegular, UnitPixel);
        const float y = 10 + hint * 24.0f;
        s.G().DrawString(Wide(QString("Portfolio %1").arg(hintNames[hint])), -1, &font, TGPPointF{20, y}, &black);
    }
    s.G().SetTextRenderingHint(TextRenderingHintAntiAlias);
    // Measured boxes around the drawn text, with each alignment.
    const char* alignNames[] = {"Near", "Center", "Far"};
    TGPFont font(s.Family(), 13, FontStyleRegular, UnitPoint);
    for (int a = 0; a < 3; ++a) {
        TGPStringFormat format;
        format.SetAlignment(static_cast<StringAlignment>(a));
        format.SetLineAlignment(StringAlignmentCenter);
        const TGPRectF rect{400, 10 + a * 50.0f, 330, 40};
        s.G().DrawRectangle(&guide, rect);
        TGPRectF box;
        s.G().MeasureString(Wide(QString(alignNames[a])), -1, &font, rect, &format, &box);
        TGPPen boxPen(MakeColor(255, 120, 180, 120), 1);
        s.G().DrawRectangle(&boxPen, box);
        s.G().DrawString(Wide(QString(alignNames[a])), -1, &font, rect, &format, &black);
    }
    TGPStringFormat vertical(StringFormatFlagsDirectionVertical);
    TGPFont big(s.Family(), 18, FontStyleItalic, UnitPixel);
    s.G().DrawString(u"Vertical text", -1, &big, TGPPointF{360, 170}, &vertical, &black);

    TGPStringFormat hotkey;
    hotkey.SetHotkeyPrefix(HotkeyPrefixShow);
    s.G().DrawString(u"&Open portfolio, Save &As...", -1, &font, TGPPointF{20, 170}, &hotkey, &black);
    TGPStringFormat wrap;
    s.G().DrawRectangle(&guide, TGPRectF{20, 200, 300, 70});
    s.G().DrawString(u"A longer caption that wraps at word boundaries inside its layout rectangle.", -1, &font,
                     TGPRectF{20, 200, 300, 70}, &wrap, &black);

    // The text helper: measured only, with a background, and sizes.
    TFont classFont;
    classFont.SetName("Arial");
    classFont.SetColor(colors::clNavy);
    int y = 290;
    for (int size : {8, 10, 14}) {
        classFont.SetSize(size);
        TRect rect{20, y, 400, y + 40};
        s.G().DrawText("DrawText with background, " + std::to_string(size) + " pt", -1, rect, classFont, 0,
                       colors::clYellow);
        TRect measured{430, y, 700, y + 40};
        s.G().DrawText("measured " + std::to_string(size) + " pt ", -1, measured, classFont, DT_CALCRECT);
        s.G().DrawRectangle(&guide, TGPRectF{float(measured.Left), float(measured.Top), float(measured.Width()),
                                             float(measured.Height())});
        y += 40;
    }
    TGPStringFormat trimmed(StringFormatFlagsNoWrap);
    trimmed.SetTrimming(StringTrimmingEllipsisCharacter);
    s.G().DrawRectangle(&guide, TGPRectF{20, 408, 260, 18});
    s.G().DrawString(u"An ellipsis ends a caption that is far too long for its box", -1, &font,
                     TGPRectF{20, 408, 260, 18}, &trimmed, &black);
    classFont.SetName("No Such Family");
    TRect fallback{430, 410, 700, 430};
    s.G().DrawText("unknown family drawn as Arial", -1, fallback, classFont, 0);
    return s.Finish();
}

bool Blank(const QImage& image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first)
                return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The list control sheets render widgets.
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render-controls OUT [--check]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool check = argc > 2 && std::string(argv[2]) == "--check";
    QDir().mkpath(out);
    const std::vector<std::pair<const char*, std::function<QImage()>>> sheets = {
        {"pens", Pens}, {"brushes", Brushes}, {"hatches", Hatches}, {"gradients", Gradients}, {"text", Text},
        {"fills", FillsSheet}, {"pictures", PicturesSheet}, {"markup", MarkupSheet}, {"painters", PaintersSheet},
        {"listbox-bars", ListBoxBarsSheet}, {"listbox-cells", ListBoxCellsSheet},
        {"listwidget-strip", ListWidgetStripSheet}, {"listwidget-grid", ListWidgetGridSheet},
        {"listbox-styles", ListBoxStylesSheet},
    };
    int failures = 0;
    for (const auto& [name, draw] : sheets) {
        const QImage image = draw();
        const QString path = out + "/" + name + ".png";
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        if (check && Blank(image)) {
            std::fprintf(stderr, "%s is blank\n", qPrintable(path));
            ++failures;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return failures ? 1 : 0;
}
