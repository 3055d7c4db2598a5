#include "controls/GDIPPainters.h"

#include <gtest/gtest.h>
#include <cmath>

#include "platform/rtl/DateTime.h"
#include "tests/controls/DrawingFixture.h"

namespace {

bool Dark(QRgb c) { return qGray(c) < 100; }

TEST(GDIPProgressTest, HalfwayCoversHalfTheInside)
{
    DrawingSurface surface(200, 30);
    TGDIPProgress progress;
    progress.Transparent = true;  // no gloss over the colours
    progress.ProgressFill()->SetGradientType(gtSolid);
    progress.ProgressFill()->SetColor(colors::clRed);
    progress.Draw(&surface.G(), TRect{0, 0, 200, 30}, 0, 100, 50);
    const QImage& image = surface.Finish();
    const TGPRectF inside = progress.GetInsideRectF(TRect{0, 0, 200, 30});
    int red = 0;
    for (int x = 0; x < image.width(); ++x)
        red += Near(image.pixel(x, 15), qRgb(255, 0, 0), 40) ? 1 : 0;
    EXPECT_NEAR(red, inside.Width / 2, 2);
    EXPECT_TRUE(Near(image.pixel(int(inside.X + inside.Width * 0.75f), 15), qRgb(255, 255, 255), 40));
}

TEST(GDIPProgressTest, PercentageValueText)
{
    TGDIPProgress progress;
    progress.ValueType = vtPercentage;
    struct Case {
        double min, max, position;
        const char* expected;
    } cases[] = {
        {0, 100, 50, "50%"},    {50, 150, 75, "25%"}, {-100, 100, 0, "50%"}, {0, 200, 199, "100%"},
        {0, 3, 1, "33%"},       {0, 100, 0, "0%"},    {0, 100, 100, "100%"}, {10, 10, 10, "0%"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(progress.ValueText(c.min, c.max, c.position), c.expected) << c.min << ".." << c.max;
    progress.ValueFormat = "%.1f of 100";
    EXPECT_EQ(progress.ValueText(0, 400, 101), "25.3 of 100");
    progress.ValueType = vtAbsolute;
    EXPECT_EQ(progress.ValueText(0, 400, 101), "101.0 of 100");
}

TEST(GDIPProgressTest, BadFormatsAndValuesDrawWithoutThrowing)
{
    DrawingSurface surface(200, 30);
    TGDIPProgress progress;
    progress.ValueVisible = true;
    progress.ValueFormat = "%d items";  // not a floating-point format
    EXPECT_EQ(progress.ValueText(0, 10, 5), "");
    EXPECT_NO_THROW(progress.Draw(&surface.G(), TRect{0, 0, 200, 30}, 0, 10, 5));
    EXPECT_NO_THROW(progress.Draw(&surface.G(), TRect{0, 0, 200, 30}, 10, 0, NAN));
    EXPECT_EQ(progress.CalculateProgressRectangle(TRect{0, 0, 200, 30}, 10, 0, 5).Width, 0);
    EXPECT_EQ(progress.CalculateProgressRectangle(TRect{0, 0, 200, 30}, 0, 10, 20).Width,
              progress.GetInsideRectF(TRect{0, 0, 200, 30}).Width);
}

TEST(GDIPProgressTest, FillChangesReachOnChange)
{
    TGDIPProgress progress;
    int changes = 0;
    progress.OnChange = [&](TGDIPProgress*) { ++changes; };
    progress.ProgressFill()->SetColor(colors::clBlue);
    progress.Font().SetColor(colors::clRed);
    EXPECT_EQ(changes, 2);
    TGDIPProgress copy;
    copy.Assign(progress);
    EXPECT_EQ(copy.ProgressFill()->Color(), colors::clBlue);
    EXPECT_EQ(copy.Font().Color(), colors::clRed);
}

// Segment centres a..g of a cell, in twelfths and fifteenths.
const float kCentres[7][2] = {{6, 1.5f}, {9.5f, 4.5f}, {9.5f, 10.5f}, {6, 13.5f}, {2.5f, 10.5f}, {2.5f, 4.5f}, {6, 7.5f}};

// Which of the seven segments of cell `index` are lit.
std::string Lit(const QImage& image, float cellWidth, float cellHeight, int index)
{
    std::string lit;
    for (int s = 0; s < 7; ++s) {
        const int x = int(index * cellWidth + kCentres[s][0] * cellWidth / 12);
        const int y = int(kCentres[s][1] * cellHeight / 15);
        lit += Dark(image.pixel(x, y)) ? char('a' + s) : '.';
    }
    return lit;
}

QImage Led(double value, const std::string& format, TFillValueType type, int width, int height = 75)
{
    DrawingSurface surface(width, height);
    DrawLed(&surface.G(), TGPRectF{0, 0, float(width), float(height)}, value, format, type, gtSolid,
            colors::clBlack, colors::clNone, HatchStyleHorizontal, nullptr);
    return surface.Finish();
}

TEST(DrawLedTest, DigitsLightTheirSegments)
{
    EXPECT_EQ(Lit(Led(8, "0", vtNormal, 60), 60, 75, 0), "abcdefg");
    EXPECT_EQ(Lit(Led(1, "0", vtNormal, 60), 60, 75, 0), ".bc....");
    QImage minus = Led(-7, "0", vtNormal, 120);
    EXPECT_EQ(Lit(minus, 60, 75, 0), "......g");
    EXPECT_EQ(Lit(minus, 60, 75, 1), "abc....");
}

TEST(DrawLedTest, ColonAndPointDoNotTakeACell)
{
    EXPECT_EQ(LedText(1.5, "0.0", vtNormal), "1.5");
    EXPECT_EQ(LedCellCount("1.5"), 2);
    QImage decimal = Led(1.5, "0.0", vtNormal, 120);
    EXPECT_EQ(Lit(decimal, 60, 75, 0), ".bc....");
    EXPECT_EQ(Lit(decimal, 60, 75, 1), "a.cd.fg");
    EXPECT_TRUE(Dark(decimal.pixel(60, int(13.5 * 5))));  // the point between the cells

    // 12:34 at noon and a bit: four cells, the colon on the border of the second and third.
    const TDateTime noon = (12 * 60 + 34) / 1440.0;
    EXPECT_EQ(LedText(noon, "hh:nn", vtDateTime), "12:34");
    QImage clock = Led(noon, "hh:nn", vtDateTime, 240);
    EXPECT_EQ(Lit(clock, 60, 75, 2), "abcd..g");  // 3
    EXPECT_EQ(Lit(clock, 60, 75, 3), ".bc..fg");  // 4
    EXPECT_TRUE(Dark(clock.pixel(120, 25)));
    EXPECT_TRUE(Dark(clock.pixel(120, 50)));
    EXPECT_FALSE(Dark(clock.pixel(120, 37)));
}

TEST(DrawLedTest, SkipsOtherCharactersAndNothingEscapes)
{
    EXPECT_EQ(LedCellCount("'V' 12 x"), 2);
    QImage volts = Led(12, "'V'0", vtNormal, 120);
    EXPECT_EQ(Lit(volts, 60, 75, 0), ".bc....");
    DrawingSurface surface;
    EXPECT_NO_THROW(DrawLed(&surface.G(), TGPRectF{0, 0, 50, 20}, NAN, "yyyy", vtDateTime, gtTexture,
                            colors::clRed, colors::clBlue, HatchStyleCross, nullptr));
}

TEST(HSVTest, RoundTripsAndNamedHues)
{
    struct Case {
        int r, g, b;
        double h, s, v;
    } cases[] = {
        {255, 0, 0, 0, 1, 1},       {0, 255, 0, 120, 1, 1}, {0, 0, 255, 240, 1, 1},
        {255, 255, 0, 60, 1, 1},    {255, 0, 255, 300, 1, 1}, {128, 64, 64, 0, 0.5, 128 / 255.0},
        {10, 200, 150, 60 * (2 + (150 - 10) / 190.0), 0.95, 200 / 255.0},
        {128, 128, 128, -1, 0, 128 / 255.0},
    };
    for (const Case& c : cases) {
        double h, s, v;
        RGBToHSV(c.r / 255.0, c.g / 255.0, c.b / 255.0, h, s, v);
        EXPECT_NEAR(h, c.h, 1e-6) << c.r << "," << c.g << "," << c.b;
        EXPECT_NEAR(s, c.s, 1e-6);
        EXPECT_NEAR(v, c.v, 1e-6);
        double r, g, b;
        HSVToRGB(h, s, v, r, g, b);
        EXPECT_EQ(std::lround(r * 255), c.r);
        EXPECT_EQ(std::lround(g * 255), c.g);
        EXPECT_EQ(std::lround(b * 255), c.b);
    }
    double r, g, b;
    HSVToRGB(360, 1, 1, r, g, b);  // 360 is 0
    EXPECT_DOUBLE_EQ(r, 1);
    EXPECT_DOUBLE_EQ(g, 0);
}

TEST(HSVTest, ZeroSaturationWithAHueIsAnError)
{
    double r, g, b;
    try {
        HSVToRGB(90, 0, 0.5, r, g, b);
        FAIL() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "HSVtoRGB: S = 0 and H has a value");
    }
}

// The bounding box of the dark (caption) pixels.
QRect Ink(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Dark(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(GDIPButtonTest, PressedFaceMovesByShiftDown)
{
    TGDIPButton button;
    button.ShiftDown = 3;
    button.Font().SetColor(colors::clBlack);
    button.Font().SetHeight(-16);
    auto draw = [&](bool down) {
        DrawingSurface surface(120, 40);
        button.Draw(&surface.G(), "Hello", 0, 0, 120, 40, 2, 2, RGB(220, 230, 250), RGB(200, 210, 240),
                    colors::clNone, down, false, true, false, true, rtBoth, nullptr, 4, 255, false);
        return Ink(surface.Finish());
    };
    const QRect up = draw(false), down = draw(true);
    ASSERT_FALSE(up.isEmpty());
    EXPECT_EQ(down.topLeft() - up.topLeft(), QPoint(3, 3));
    EXPECT_EQ(down.size(), up.size());
}

TEST(GDIPButtonTest, UpdatesGroupChanges)
{
    TGDIPButton button;
    int changes = 0, fontChanges = 0;
    button.OnChange = [&](TGDIPButton*) { ++changes; };
    button.OnFontChange = [&](TGDIPButton*) { ++fontChanges; };
    button.BeginUpdate();
    button.Font().SetColor(colors::clRed);
    button.Font().SetHeight(-20);
    EXPECT_EQ(changes, 0);
    button.EndUpdate();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(fontChanges, 2);
    button.OnIsFontStored = [](void*, bool& stored) { stored = false; };
    EXPECT_FALSE(button.IsFontStored());
}

}  // namespace
