// Fonts and text: measuring, the text helper and vertical text.
#include <gtest/gtest.h>

#include "tests/controls/DrawingFixture.h"

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;

TFont FontOf(const std::string& name, int size, TFontStyles style = 0)
{
    TFont font;
    font.SetName(name);
    font.SetSize(size);
    font.SetStyle(style);
    font.SetColor(colors::clBlack);
    return font;
}

// The bounding box of pixels that are not the background.
QRect Ink(const QImage& image, QRgb background = kWhite)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

TEST(GPFont, ClassLibrarySizesAtNinetySixDotsPerInch)
{
    TFont font;
    int changes = 0;
    font.OnChange = [&] { ++changes; };
    font.SetHeight(-13);
    EXPECT_EQ(font.Size(), 10);
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -16);
    font.SetSize(12);  // unchanged: no event
    EXPECT_EQ(changes, 2);
    TFont copy;
    copy = font;
    EXPECT_EQ(copy.Size(), 12);
}

TEST(GPFont, UnknownFamilyMeasuresLikeArial)
{
    DrawingSurface s;
    const TFont unknown = FontOf("No Such Family 0815", 12, fsBold);
    const TFont arial = FontOf("Arial", 12, fsBold);
    EXPECT_EQ(s.G().TextWidth("Portfolio", unknown), s.G().TextWidth("Portfolio", arial));
    EXPECT_EQ(s.G().TextHeight("Portfolio", unknown), s.G().TextHeight("Portfolio", arial));
    EXPECT_GT(s.G().TextWidth("Portfolio", arial), s.G().TextWidth("Portfolio", FontOf("Arial", 12)))
        << "bold is kept";
    TGPFontFamily missing(u"No Such Family 0815");
    EXPECT_EQ(missing.LastResult(), FontFamilyNotFound);
    TGPFontFamily arialFamily(u"arial");
    EXPECT_EQ(arialFamily.LastResult(), Ok);
    EXPECT_EQ(arialFamily.GetFamilyName(), u"Liberation Sans");
}

TEST(GPText, MeasureAddsASixthOfAnEmEachSideAndDropsTrailingSpaces)
{
    DrawingSurface s;
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 12, FontStyleRegular, UnitPixel);
    TGPRectF a, b, trailing;
    s.G().MeasureString(u"Wide", -1, &font, TGPPointF{5, 7}, &a);
    s.G().MeasureString(u"WideWide", -1, &font, TGPPointF{5, 7}, &b);
    s.G().MeasureString(u"Wide   ", -1, &font, TGPPointF{5, 7}, &trailing);
    EXPECT_FLOAT_EQ(a.X, 5);
    EXPECT_FLOAT_EQ(a.Y, 7);
    // Twice the text adds only the text's own width: the padding is 2 × 12/6.
    EXPECT_NEAR(b.Width - a.Width, a.Width - 4, 0.5);
    EXPECT_FLOAT_EQ(trailing.Width, a.Width);
    TGPStringFormat keep(StringFormatFlagsMeasureTrailingSpaces);
    TGPRectF kept;
    s.G().MeasureString(u"Wide   ", -1, &font, TGPPointF{5, 7}, &keep, &kept);
    EXPECT_GT(kept.Width, a.Width);

    // Centred on a point: the box straddles it.
    TGPStringFormat centred;
    centred.SetAlignment(StringAlignmentCenter);
    TGPRectF c;
    s.G().MeasureString(u"Wide", -1, &font, TGPPointF{50, 7}, &centred, &c);
    EXPECT_NEAR(c.X + c.Width / 2, 50, 0.01);
}

TEST(GPText, DrawStringAtAPointStartsASixthOfAnEmIn)
{
    DrawingSurface s(120, 40);
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 24, FontStyleRegular, UnitPixel);
    TGPSolidBrush black(MakeColor(255, 0, 0, 0));
    s.G().SetTextRenderingHint(TextRenderingHintSingleBitPerPixel);
    s.G().DrawString(u"l", -1, &font, TGPPointF{20, 2}, &black);
    const QRect ink = Ink(s.Finish());
    ASSERT_FALSE(ink.isEmpty());
    // 24/6 = 4 px padding, plus the glyph's own small side bearing.
    EXPECT_GE(ink.left(), 24);
    EXPECT_LE(ink.left(), 27);
}

TEST(GPText, DrawTextMeasuresATrailingSpaceAsAnIAndDrawsNothing)
{
    DrawingSurface s;
    const TFont font = FontOf("Arial", 10);
    TRect rect{5, 5, 50, 30};
    const int height = s.G().DrawText("ab ", -1, rect, font, DT_CALCRECT, colors::clNone);
    TRect withI{5, 5, 50, 30};
    s.G().DrawText("abi", -1, withI, font, DT_CALCRECT, colors::clNone);
    TRect plain{5, 5, 50, 30};
    s.G().DrawText("ab", -1, plain, font, DT_CALCRECT, colors::clNone);
    EXPECT_EQ(rect.Right, withI.Right);
    EXPECT_EQ(rect.Bottom, withI.Bottom);
    EXPECT_GT(rect.Right, plain.Right);
    EXPECT_EQ(height, rect.Bottom - rect.Top);
    // 10 points: margin 2 + round(2 / 1.5) = 3; the box is the measured
    // width less the margin.
    TGPFont* gpFont = s.G().MakeFont(font);
    TGPRectF measured;
    s.G().MeasureString(u"abi", -1, gpFont, TGPRectF{5, 5, 1045, 25}, &measured);
    delete gpFont;
    EXPECT_EQ(rect.Right, 5 + RoundHalfEven(measured.Width - 3));
    EXPECT_EQ(rect.Bottom, 5 + RoundHalfEven(measured.Height));
    EXPECT_TRUE(Ink(s.Finish()).isEmpty());
}

TEST(GPText, DrawTextFillsTheBackgroundThenDrawsTheText)
{
    DrawingSurface s;
    const TFont font = FontOf("Arial", 10);
    TRect rect{10, 10, 100, 30};
    s.G().DrawText("Text", -1, rect, font, 0, colors::clYellow);
    const QImage& img = s.Finish();
    // The background box starts one pixel in and ends at the rectangle's new right edge.
    EXPECT_EQ(img.pixel(10, 12), kWhite);
    EXPECT_EQ(img.pixel(11, rect.Top + 1), 0xFFFFFF00u);
    EXPECT_EQ(img.pixel(rect.Right - 1, rect.Top + 1), 0xFFFFFF00u);
    int dark = 0;
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x)
            if (qRed(img.pixel(x, y)) < 100)
                ++dark;
    EXPECT_GT(dark, 10) << "text drawn over the background";
    EXPECT_EQ(img.pixel(50, 40), kWhite);
}

TEST(GPText, VerticalTextIsDrawnRotated)
{
    DrawingSurface s(60, 120);
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 14, FontStyleRegular, UnitPixel);
    TGPSolidBrush black(MakeColor(255, 0, 0, 0));
    TGPStringFormat vertical(StringFormatFlagsDirectionVertical);
    TGPRectF box;
    s.G().MeasureString(u"Vertical", -1, &font, TGPPointF{10, 10}, &vertical, &box);
    EXPECT_GT(box.Height, box.Width);
    s.G().DrawString(u"Vertical", -1, &font, TGPPointF{10, 10}, &vertical, &black);
    const QRect ink = Ink(s.Finish());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.height(), 2 * ink.width());
    EXPECT_TRUE(QRectF(box.X, box.Y, box.Width, box.Height).adjusted(-1, -1, 1, 1).contains(QRectF(ink)));
}

TEST(GPText, HotkeyPrefixes)
{
    DrawingSurface s;
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 12, FontStyleRegular, UnitPixel);
    TGPRectF none, hidden, plain;
    TGPStringFormat hide;
    hide.SetHotkeyPrefix(HotkeyPrefixHide);
    s.G().MeasureString(u"&Open", -1, &font, TGPPointF{0, 0}, &none);
    s.G().MeasureString(u"&Open", -1, &font, TGPPointF{0, 0}, &hide, &hidden);
    s.G().MeasureString(u"Open", -1, &font, TGPPointF{0, 0}, &plain);
    EXPECT_FLOAT_EQ(hidden.Width, plain.Width);
    EXPECT_GT(none.Width, plain.Width) << "without a prefix setting the & is text";
}

TEST(GPText, EightBitStringIsConvertedWhole)
{
    DrawingSurface a(80, 30), b(80, 30);
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 14, FontStyleRegular, UnitPixel);
    TGPSolidBrush black(MakeColor(255, 0, 0, 0));
    EXPECT_EQ(a.G().DrawString(std::string("Grüße"), -1, &font, TGPPointF{2, 2}, &black), Ok);
    b.G().DrawString(u"Grüße", -1, &font, TGPPointF{2, 2}, &black);
    EXPECT_EQ(a.Finish(), b.Finish());
}

TEST(GPStringFormat, AssignToItselfKeepsItsSettings)
{
    TGPStringFormat format;
    format.SetAlignment(StringAlignmentFar);
    format.Assign(&format);
    EXPECT_EQ(format.GetAlignment(), StringAlignmentFar);
    EXPECT_EQ(format.LastResult(), Ok);
    TGPStringFormat other;
    other.Assign(&format);
    EXPECT_EQ(other.GetAlignment(), StringAlignmentFar);
    TGPStringFormat copy(&format);
    EXPECT_EQ(copy.GetAlignment(), StringAlignmentFar);
    EXPECT_THROW(other.Assign(nullptr), Exception);
}

TEST(GPText, WrapsInItsLayoutRectangleAndKeepsWholeLinesWhenAsked)
{
    DrawingSurface s;
    TGPFontFamily family(u"Arial");
    TGPFont font(&family, 12, FontStyleRegular, UnitPixel);
    const std::u16string text = u"one two three four five six";
    TGPRectF oneLine;
    s.G().MeasureString(u"one", -1, &font, TGPPointF{0, 0}, &oneLine);
    const float spacing = oneLine.Height;
    TGPRectF all;
    int unlimited = 0;
    s.G().MeasureString(text, -1, &font, TGPRectF{0, 0, 45, 0}, nullptr, &all, nullptr, &unlimited);
    ASSERT_GE(unlimited, 3);
    EXPECT_NEAR(all.Height, unlimited * spacing, 0.01);
    struct Case {
        float height;
        int flags;
        int lines;
        bool allFit;
    };
    for (const Case& c : {Case{1.5f * spacing, 0, 2, false}, Case{1.5f * spacing, StringFormatFlagsLineLimit, 1, false},
                          Case{0, StringFormatFlagsNoWrap, 1, true}}) {
        TGPStringFormat format(c.flags);
        TGPRectF box;
        int fitted = 0, lines = 0;
        ASSERT_EQ(s.G().MeasureString(text, -1, &font, TGPRectF{0, 0, 45, c.height}, &format, &box, &fitted, &lines),
                  Ok);
        EXPECT_EQ(lines, c.lines) << c.height << " " << c.flags;
        if (c.height > 0) {
            EXPECT_LE(box.Height, c.height + 0.01f);
            EXPECT_LE(box.Width, 45.0f);
        }
        EXPECT_EQ(fitted == int(text.size()), c.allFit) << fitted;
    }
}

TEST(GPText, EllipsisTrimmingShortensTextThatDoesNotFit)
{
    auto draw = [](StringTrimming trimming) {
        DrawingSurface s(200, 30);
        TGPFontFamily family(u"Arial");
        TGPFont font(&family, 14, FontStyleRegular, UnitPixel);
        TGPSolidBrush black(MakeColor(255, 0, 0, 0));
        TGPStringFormat format(StringFormatFlagsNoWrap);
        format.SetTrimming(trimming);
        s.G().DrawString(u"A caption far too long for its box", -1, &font, TGPRectF{10, 5, 100, 20}, &format, &black);
        return Ink(s.Finish());
    };
    const QRect clipped = draw(StringTrimmingCharacter);
    const QRect trimmed = draw(StringTrimmingEllipsisCharacter);
    EXPECT_EQ(clipped.right(), 109) << "cut off at the layout rectangle";
    EXPECT_LT(trimmed.right(), 108) << "ends in a whole ellipsis inside the box";
    EXPECT_GE(trimmed.left(), 10);
}
