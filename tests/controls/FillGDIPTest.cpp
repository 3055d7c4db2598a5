// The gradient painter: each kind fills the inside of its rectangle or path
// and leaves the outside alone.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "controls/FillGDIP.h"
#include "controls/GDIPPicture.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/PictureFixture.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
bool Reddish(QRgb p) { return qRed(p) > 200 && qBlue(p) < 110 && qGreen(p) < 60; }
bool Bluish(QRgb p) { return qBlue(p) > 200 && qRed(p) < 110 && qGreen(p) < 60; }
bool Red(QRgb p) { return Near(p, qRgb(255, 0, 0)); }
bool Blue(QRgb p) { return Near(p, qRgb(0, 0, 255)); }
bool Green(QRgb p) { return Near(p, qRgb(0, 128, 0)); }
bool White(QRgb p) { return Near(p, kWhite); }

struct Probe {
    int x, y;
    std::function<bool(QRgb)> is;
    const char* what;
};

std::unique_ptr<TGDIPPicture> GreenPicture()
{
    auto picture = std::make_unique<TGDIPPicture>();
    LoadPng(*picture, 8, 8, qRgb(0, 128, 0));
    return picture;
}

}  // namespace

TEST(FillGDIP, EachKindPaintsInsideItsRectangleOnly)
{
    auto picture = GreenPicture();
    struct Case {
        const char* name;
        std::function<void(TGDIPFillParameters&)> set;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"solid", [](auto& p) { p.GT = gtSolid; }, {{60, 20, Red, "inside"}, {60, 9, White, "above"}, {60, 30, White, "below"}}},
        // The brush spans (9,9,102,22); only (10,10,100,20) is filled.
        {"vertical", [](auto& p) { p.GT = gtVertical; },
         {{60, 10, Reddish, "first row"}, {60, 29, Bluish, "last row"}, {60, 9, White, "row 9"}, {60, 30, White, "row 30"},
          {9, 20, White, "column 9"}, {110, 20, White, "column 110"}}},
        {"horizontal", [](auto& p) { p.GT = gtHorizontal; }, {{10, 20, Reddish, "left"}, {109, 20, Bluish, "right"}}},
        {"forward diagonal", [](auto& p) { p.GT = gtForwardDiagonal; }, {{11, 11, Reddish, "top left"}, {108, 28, Bluish, "bottom right"}}},
        {"backward diagonal", [](auto& p) { p.GT = gtBackwardDiagonal; }, {{108, 11, Reddish, "top right"}, {11, 28, Bluish, "bottom left"}}},
        {"angle 90", [](auto& p) { p.GT = gtAngle; p.Angle = 90; }, {{60, 10, Reddish, "top"}, {60, 29, Bluish, "bottom"}}},
        {"angle 0", [](auto& p) { p.GT = gtAngle; }, {{10, 20, Reddish, "left"}, {109, 20, Bluish, "right"}}},
        // Horizontal hatch: one foreground row in eight, anchored at the origin.
        {"hatch", [](auto& p) { p.GT = gtHatch; }, {{60, 16, Red, "hatch line"}, {60, 17, Blue, "between lines"}, {60, 30, White, "outside"}}},
        {"texture", [&](auto& p) { p.GT = gtTexture; p.Picture = picture.get(); }, {{60, 20, Green, "inside"}, {60, 31, White, "outside"}}},
        {"texture without picture: outline only", [](auto& p) { p.GT = gtTexture; p.BorderColor = colors::clBlack; p.BorderWidth = 1; },
         {{60, 20, White, "inside"}, {60, 10, [](QRgb c) { return Near(c, qRgb(0, 0, 0)); }, "border"}}},
        {"radial: outline only", [](auto& p) { p.GT = gtRadial; p.BorderColor = colors::clBlack; p.BorderWidth = 1; },
         {{60, 20, White, "inside"}, {60, 30, [](QRgb c) { return Near(c, qRgb(0, 0, 0)); }, "border"}}},
        {"no opacity: invisible outline", [](auto& p) { p.GT = gtPath; p.OpacityFrom = 0; p.BorderColor = colors::clBlack; p.BorderWidth = 3; },
         {{60, 10, White, "border"}, {60, 20, White, "inside"}}},
        // The mirror part's seam: its top row in the start colour.
        {"mirror seam", [](auto& p) { p.GT = gtVertical; p.Mirror = true; }, {{60, 10, Red, "top row"}, {60, 11, Reddish, "next row"}}},
    };
    for (const Case& c : cases) {
        DrawingSurface surface(120, 50);
        TGDIPFillParameters p;
        p.Graphics = &surface.G();
        p.R = MakeRect(10.f, 10.f, 100.f, 20.f);
        p.ColorFrom = colors::clRed;
        p.ColorTo = colors::clBlue;
        c.set(p);
        FillGDIP(p);
        const QImage& out = surface.Finish();
        for (const Probe& probe : c.probes)
            EXPECT_TRUE(probe.is(out.pixel(probe.x, probe.y)))
                << c.name << ": " << probe.what << " " << std::hex << out.pixel(probe.x, probe.y);
    }
}

TEST(FillGDIP, PathFlagFillsThePathNotTheRectangle)
{
    DrawingSurface surface(120, 50);
    TGPGraphicsPath ellipse;
    ellipse.AddEllipse(10.f, 10.f, 100.f, 20.f);
    TGDIPFillParameters p;
    p.Graphics = &surface.G();
    p.Path = &ellipse;
    p.Fillpath = true;
    p.R = MakeRect(10.f, 10.f, 100.f, 20.f);
    p.GT = gtVertical;
    p.ColorFrom = colors::clRed;
    p.ColorTo = colors::clRed;
    FillGDIP(p);
    const QImage& out = surface.Finish();
    EXPECT_TRUE(Red(out.pixel(60, 20)));
    EXPECT_TRUE(White(out.pixel(11, 11))) << "corner outside the ellipse";
}

TEST(FillGDIP, ShadowFadesTowardItsEdgeAndArrowPointsAtItsEnd)
{
    DrawingSurface surface(120, 60);
    ShadowGDIP(&surface.G(), MakeRect(0.f, 0.f, 100.f, 60.f));
    ArrowGDIP(&surface.G(), MakePoint(0.f, 55.f), MakePoint(110.f, 55.f), 8, colors::clRed, 1.f, 1.f);
    ArrowGDIP(&surface.G(), MakePoint(5.f, 5.f), MakePoint(5.f, 5.f), 8, colors::clRed, 1.f, 1.f);  // no direction
    const QImage& out = surface.Finish();
    const QRgb centre = out.pixel(50, 30), edge = out.pixel(0, 30);
    EXPECT_NEAR(qRed(centre), 165, 6) << "128 grey at alpha 180 over white";
    EXPECT_GT(qRed(edge), qRed(centre) + 40) << "fades toward the edge";
    EXPECT_TRUE(Red(out.pixel(106, 55))) << "head just before the tip";
    EXPECT_TRUE(White(out.pixel(112, 55))) << "nothing beyond the tip";
    EXPECT_FALSE(Red(out.pixel(5, 5)));
}
