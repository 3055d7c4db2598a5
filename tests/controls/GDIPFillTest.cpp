// The fill: its paint steps, placement, events and persistence.
#include <gtest/gtest.h>

#include <QSettings>

#include "controls/GDIPFill.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/PictureFixture.h"
#include "tests/support/TempDir.h"

namespace {

// The bounding box of the pixels of one colour, as left, top, right, bottom.
QRect BoxOf(const QImage& image, QRgb colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Near(image.pixel(x, y), colour))
                box |= QRect(x, y, 1, 1);
    return box;
}

const QRgb kGreen = qRgb(0, 160, 0);

}  // namespace

TEST(GDIPFill, MirrorHalvesOverlapAtTheSeam)
{
    DrawingSurface surface(100, 40);
    TGDIPFill fill;
    fill.SetColor(colors::clRed);
    fill.SetColorTo(colors::clNone);  // solid
    fill.SetColorMirror(colors::clBlue);
    fill.Fill(&surface.G(), MakeRect(0.f, 0.f, 100.f, 40.f));
    const QImage& out = surface.Finish();
    // Upper half rows 0-20, lower half rows 19-39, drawn last.
    EXPECT_TRUE(Near(qRgb(255, 0, 0), out.pixel(50, 18)));
    EXPECT_TRUE(Near(qRgb(0, 0, 255), out.pixel(50, 19)));
    EXPECT_TRUE(Near(qRgb(0, 0, 255), out.pixel(50, 39)));

    // Without a mirror colour the whole rectangle is one part.
    DrawingSurface one(100, 40);
    fill.SetColorMirror(colors::clNone);
    fill.Fill(&one.G(), MakeRect(0.f, 0.f, 100.f, 40.f));
    EXPECT_TRUE(Near(qRgb(255, 0, 0), one.Finish().pixel(50, 39)));
}

TEST(GDIPFill, ShadowTakesItsBandAndFillReturnsTheRest)
{
    DrawingSurface surface(110, 50);
    TGDIPFill fill;
    fill.SetColor(colors::clRed);
    fill.SetColorTo(colors::clNone);
    fill.SetShadowColor(colors::clBlack);
    fill.SetShadowOffset(5);
    const TGPRectF rest = fill.Fill(&surface.G(), MakeRect(0.f, 0.f, 100.f, 40.f));
    EXPECT_FLOAT_EQ(95, rest.Width);
    EXPECT_FLOAT_EQ(35, rest.Height);
    const QImage& out = surface.Finish();
    EXPECT_TRUE(Near(qRgb(255, 0, 0), out.pixel(50, 20)));
    const QRgb band = out.pixel(50, 37);
    EXPECT_LT(qRed(band), 110) << "shadow colour below the gradient";
    EXPECT_EQ(qRed(band), qBlue(band));
    EXPECT_TRUE(Near(qRgb(255, 255, 255), out.pixel(50, 45)));

    // No surface: the rectangle comes back untouched and nothing is drawn.
    const TGPRectF same = fill.Fill(nullptr, MakeRect(1.f, 2.f, 3.f, 4.f));
    EXPECT_FLOAT_EQ(3, same.Width);
}

TEST(GDIPFill, PicturesArePlacedByPosition)
{
    struct Case {
        TFillPicturePosition position;
        bool customSize;
        QRect expected;  // empty: nothing drawn
    } cases[] = {
        {ppTopLeft, false, QRect(QPoint(10, 10), QPoint(19, 15))},
        {ppTopCenter, false, QRect(QPoint(55, 10), QPoint(64, 15))},
        {ppTopRight, false, QRect(QPoint(100, 10), QPoint(109, 15))},
        {ppBottomLeft, false, QRect(QPoint(10, 44), QPoint(19, 49))},
        {ppBottomCenter, false, QRect(QPoint(55, 44), QPoint(64, 49))},
        {ppBottomRight, false, QRect(QPoint(100, 44), QPoint(109, 49))},
        {ppCenterLeft, false, QRect(QPoint(10, 27), QPoint(19, 32))},
        {ppCenterCenter, false, QRect(QPoint(55, 27), QPoint(64, 32))},
        {ppCenterRight, false, QRect(QPoint(100, 27), QPoint(109, 32))},
        {ppStretched, false, QRect(QPoint(10, 10), QPoint(109, 49))},
        {ppCustom, false, QRect(QPoint(3, 4), QPoint(12, 9))},  // on the surface, not in R
        {ppTiled, false, QRect()},
        {ppTopLeft, true, QRect(QPoint(10, 10), QPoint(29, 17))},
    };
    for (const Case& c : cases) {
        DrawingSurface surface(120, 60);
        TGDIPFill fill;
        fill.SetColor(colors::clNone);
        LoadPng(*fill.Picture(), 10, 6, kGreen);
        fill.SetPicturePosition(c.position);
        fill.SetPictureLeft(3);
        fill.SetPictureTop(4);
        fill.SetPictureWidth(20);
        fill.SetPictureHeight(8);
        fill.SetPictureSize(c.customSize ? psCustom : psOriginal);
        fill.Fill(&surface.G(), MakeRect(10.4f, 9.6f, 100.f, 40.f));
        EXPECT_EQ(c.expected, BoxOf(surface.Finish(), kGreen)) << c.position;
    }
}

TEST(GDIPFill, InsidePictureLeavesTheCallersClip)
{
    QImage image(120, 60, QImage::Format_ARGB32);
    image.fill(qRgb(255, 255, 255));
    {
        QPainter painter(&image);
        painter.setClipRect(0, 0, 60, 60);
        TGPGraphics graphics(&painter);
        TGDIPFill fill;
        fill.SetGradientType(gtTexture);
        fill.SetBackGroundPictureMode(pmInsideFill);
        fill.SetBackGroundPicturePosition(ppStretched);
        LoadPng(*fill.BackGroundPicture(), 4, 4, qRgb(0, 0, 200));
        LoadPng(*fill.Picture(), 4, 4, kGreen);
        fill.SetPicturePosition(ppStretched);
        fill.Fill(&graphics, MakeRect(10.f, 10.f, 100.f, 40.f));
    }
    EXPECT_TRUE(Near(kGreen, image.pixel(30, 30)));
    EXPECT_TRUE(Near(qRgb(255, 255, 255), image.pixel(80, 30))) << "drawn outside the caller's clip";
}

TEST(GDIPFill, RadialRisesFromTheTopAndThinRectanglesAreLines)
{
    DrawingSurface surface(100, 40);
    TGDIPFill fill;
    fill.SetGradientType(gtRadial);
    fill.SetColor(colors::clRed);
    fill.SetColorTo(colors::clBlue);
    fill.Fill(&surface.G(), MakeRect(0.f, 0.f, 100.f, 40.f));
    const QImage& out = surface.Finish();
    EXPECT_GT(qBlue(out.pixel(50, 1)), 200) << "centre colour at the top middle";
    EXPECT_TRUE(Near(qRgb(255, 0, 0), out.pixel(1, 38), 30)) << "ground in the first colour";

    DrawingSurface thin(100, 20);
    fill.SetBorderColor(colors::clBlack);
    fill.SetShadowOffset(4);
    fill.Fill(&thin.G(), MakeRect(0.f, 10.f, 100.f, 1.f));
    const QImage& line = thin.Finish();
    EXPECT_TRUE(Near(qRgb(0, 0, 0), line.pixel(50, 10), 40));
    EXPECT_TRUE(Near(qRgb(255, 255, 255), line.pixel(50, 13)));
}

TEST(GDIPFill, AssignAnnouncesEachChangedValueOnce)
{
    TGDIPFill source;
    source.SetColor(colors::clRed);
    source.SetRounding(4);
    source.SetBorderOpacity(7);
    LoadPng(*source.Picture(), 3, 3, kGreen);

    TGDIPFill target;
    int changes = 0;
    target.OnChange = [&](TGDIPFill* sender) {
        EXPECT_EQ(&target, sender);
        ++changes;
    };
    target.Assign(source);
    EXPECT_EQ(5, changes);  // three values, and each picture announces its copy
    EXPECT_EQ(source.SaveToText(), target.SaveToText());
    changes = 0;
    target.Assign(source);
    // The pictures are copied again and announce themselves; nothing else changed.
    EXPECT_EQ(2, changes);

    changes = 0;
    target.BeginUpdate();
    target.SetAngle(45);
    target.EndUpdate();
    target.EndUpdate();
    EXPECT_EQ(0, changes);
    target.SetAngle(46);
    EXPECT_EQ(1, changes);
}

class GDIPFillPersistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        fill.SetColor(RGB(1, 2, 3));
        fill.SetColorMirror(colors::clBtnFace);
        fill.SetGradientType(gtHatch);
        fill.SetHatchStyleMirror(HatchStyleSolidDiamond);
        fill.SetPictureSize(psCustom);
        fill.SetPictureWidth(-5);
        fill.SetOpacityTo(0);
        fill.SetRoundingType(rtRight);
        fill.SetAngle(-30);
        LoadPng(*fill.Picture(), 5, 4, kGreen);
        LoadPng(*fill.BackGroundPicture(), 2, 9, kGreen);
    }
    TGDIPFill fill;
    TempDir dir;
};

TEST_F(GDIPFillPersistence, IniFileRoundTripGivesAnEqualFill)
{
    const std::string path = dir / "fill.ini";
    fill.SaveToFile(path, "Header");
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(std::string::npos, text.find("PictureSize=1")) << text;
    EXPECT_NE(std::string::npos, text.find("PictureDataSize=")) << text;

    TGDIPFill loaded;
    int changes = 0;
    loaded.OnChange = [&](TGDIPFill*) { ++changes; };
    loaded.LoadFromFile(path, "Header");
    EXPECT_EQ(1, changes);
    EXPECT_EQ(fill.SaveToText(), loaded.SaveToText());
    EXPECT_EQ(5, loaded.Picture()->Width());

    // Another section leaves the fill as it is.
    TGDIPFill other;
    other.LoadFromFile(path, "Footer");
    EXPECT_EQ(TGDIPFill().SaveToText(), other.SaveToText());
}

TEST_F(GDIPFillPersistence, ClipboardRoundTripGivesAnEqualFill)
{
    fill.SaveToClipBoard();
    TGDIPFill pasted;
    pasted.LoadFromClipBoard();
    EXPECT_EQ(fill.SaveToText(), pasted.SaveToText());
}

TEST_F(GDIPFillPersistence, HostileIniChangesNothing)
{
    const std::string path = dir / "fill.ini";
    fill.SaveToFile(path, "S");
    const std::string before = fill.SaveToText();
    struct Case {
        const char* key;
        const char* value;
        bool throws;
    } cases[] = {
        {"GradientType", "99", false},     {"RoundingType", "-1", false}, {"Opacity", "256", false},
        {"HatchStyle", "x", false},        {"Picture", "89504", true},    {"Picture", "8950ZZ", true},
        {"PictureDataSize", "7", true},
    };
    for (const Case& c : cases) {
        {
            QSettings ini(QString::fromStdString(path), QSettings::IniFormat);
            fill.SaveToFile(ini, "S");
            ini.setValue(QString("S/") + c.key, c.value);
            if (std::string(c.key) == "Picture")
                ini.setValue("S/PictureDataSize", int(std::string(c.value).size()));
        }
        if (c.throws) {
            try {
                fill.LoadFromFile(path, "S");
                ADD_FAILURE() << c.key << "=" << c.value << " loaded";
            } catch (const Exception& e) {
                EXPECT_EQ("No Hex-Number", e.Message());
            }
        } else {
            fill.LoadFromFile(path, "S");
        }
        EXPECT_EQ(before, fill.SaveToText()) << c.key << "=" << c.value;
    }
}
