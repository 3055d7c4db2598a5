// The colour schemes of the thumbnail strip, applied to real parts.
#include <gtest/gtest.h>

#include <QImage>

#include "controls/GDIPFill.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "controls/TSmoothImageListBoxSplitter.h"
#include "controls/TSmoothImageListBoxStyles.h"
#include "tests/controls/FakeListBoxHost.h"

using namespace colors;

namespace {

class ListBoxStyles : public ::testing::Test {
protected:
    TListBoxStyleParts Parts()
    {
        return {&background, host.Header(), host.Footer(), host.ItemAppearance()};
    }
    TSmoothImageListBoxItemAppearance& A() { return *host.ItemAppearance(); }

    FakeListBoxHost host;
    TGDIPFill background;
};

}  // namespace

TEST_F(ListBoxStyles, CustomOnlyTurnsTheSplitterGradientWithTheMode)
{
    ApplyListBoxStyle(Parts(), 1, 0, tsOffice2007Luna);
    ApplyListBoxStyle(Parts(), 0, 3, tsCustom);
    EXPECT_EQ(A().Splitter()->Fill()->GradientType(), gtVertical);
    // Luna's colours stay, in every kind of part.
    EXPECT_EQ(background.Color(), 0xDCB698);
    EXPECT_EQ(host.Header()->Font()->Color(), 0x723708);
    EXPECT_EQ(host.Footer()->Navigator()->HoverColor(), 0xAAD9FF);
    EXPECT_EQ(A().SelectedFill()->ColorMirror(), 0x42AEFE);
    EXPECT_EQ(A().Splitter()->ExpanderDownColor(), 0x6EBBFF);
    EXPECT_EQ(A().Splitter()->Fill()->Color(), 0xAAD9FF);

    ApplyListBoxStyle(Parts(), 1, 0, tsCustom);
    EXPECT_EQ(A().Splitter()->Fill()->GradientType(), gtHorizontal);
    EXPECT_EQ(background.Color(), 0xDCB698);
}

TEST_F(ListBoxStyles, ValuesOutsideTheEnumerationChangeNoColour)
{
    background.SetColor(0x123456);
    for (int style : {-1, 13, 200}) {
        ApplyListBoxStyle(Parts(), 0, 3, static_cast<TControlStyle>(style));
        EXPECT_EQ(background.Color(), 0x123456) << style;
    }
}

TEST_F(ListBoxStyles, VistaGivesTheBackgroundOneColour)
{
    ApplyListBoxStyle(Parts(), 0, 3, tsWindowsVista);
    EXPECT_EQ(background.Color(), 0xF7EED9);
    EXPECT_EQ(background.ColorTo(), clNone);
    // Its header and footer navigators differ, as the scheme has it.
    EXPECT_EQ(host.Header()->Navigator()->Color(), 0xCFF0EA);
    EXPECT_EQ(host.Footer()->Navigator()->Color(), 0xFDF8F1);
}

TEST_F(ListBoxStyles, StripModeGivesTheSplitterAHorizontalGradient)
{
    for (TControlStyle style : {tsOffice2003Blue, tsWindows7, tsTerminal}) {
        A().Splitter()->Fill()->SetGradientType(gtVertical);
        ApplyListBoxStyle(Parts(), 1, 0, style);
        EXPECT_EQ(A().Splitter()->Fill()->GradientType(), gtHorizontal) << style;
        ApplyListBoxStyle(Parts(), 0, 4, style);
        EXPECT_EQ(A().Splitter()->Fill()->GradientType(), gtVertical) << style;
    }
}

// Each scheme lands in its own column: the ordinals after tsCustom shift by
// one, and the rows a scheme leaves out keep what was there.
TEST_F(ListBoxStyles, EachSchemeSetsItsOwnColumnAndLeavesItsGapsAlone)
{
    const struct {
        TControlStyle style;
        TColor fill;
        TColor hoverMirror;     // kKeep: not set by the scheme
        bool setsMirrorType;
        TColor footerFont;
    } cases[] = {
        {tsOffice2003Blue, 0xFFD2AF, kKeep, true, 0xFFFFFF},
        {tsOffice2003Olive, 0xCFF0EA, kKeep, true, 0xFFFFFF},
        {tsOffice2003Classic, 0xF2F2F2, clNone, true, 0xFFFFFF},
        {tsWindowsXP, 0xB6B6B6, clNone, true, 0x000000},
        {tsWhidbey, 0xF5F9FA, clNone, true, 0xFFFFFF},
        {tsOffice2007Silver, 0xCAC1BA, 0x59DAFF, true, 0x8B4215},
        {tsWindows7, 0xF7EED9, clNone, true, 0x000000},
        {tsTerminal, 0xFFFFFF, clNone, false, 0x000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        A().HoverFill()->SetColorMirror(0x010203);
        for (TGDIPFill* fill : {A().Fill(), A().SelectedFill(), A().DisabledFill(), A().HoverFill()})
            fill->SetGradientMirrorType(gtSolid);
        ApplyListBoxStyle(Parts(), 0, 3, c.style);
        EXPECT_EQ(background.Color(), c.fill);
        EXPECT_EQ(A().HoverFill()->ColorMirror(), c.hoverMirror == kKeep ? 0x010203 : c.hoverMirror);
        for (TGDIPFill* fill : {A().Fill(), A().SelectedFill(), A().DisabledFill(), A().HoverFill()})
            EXPECT_EQ(fill->GradientMirrorType(), c.setsMirrorType ? gtVertical : gtSolid);
        EXPECT_EQ(host.Footer()->Font()->Color(), c.footerFont);
    }
}

TEST_F(ListBoxStyles, SystemColoursStayNamedSoTheyFollowTheTheme)
{
    ApplyListBoxStyle(Parts(), 0, 3, tsWindowsXP);
    EXPECT_EQ(host.Header()->Fill()->Color(), clBtnFace);
    EXPECT_EQ(A().HoverFill()->Color(), clInactiveCaptionText);
    EXPECT_EQ(A().SelectedFill()->Color(), clInactiveCaption);
    ApplyListBoxStyle(Parts(), 0, 3, tsTerminal);
    EXPECT_EQ(A().SelectedFill()->Color(), clHighlight);
    EXPECT_EQ(A().DisabledFill()->BorderColor(), clNone);
}

// On the control itself: its own background fill takes the scheme, the
// splitter follows the strip, and the window shows it.
TEST(ListBoxStylesOnTheControl, VistaPaintsTheBackgroundInOneColour)
{
    TSmoothImageListBox box;
    box.SetRows(1);
    box.resize(300, 200);
    box.SetComponentStyle(tsWindowsVista);
    EXPECT_EQ(box.Fill()->ColorTo(), clNone);
    EXPECT_EQ(box.ItemAppearance()->Splitter()->Fill()->GradientType(), gtHorizontal);

    QImage shown(box.size(), QImage::Format_ARGB32);
    shown.fill(Qt::black);
    box.render(&shown);
    // BBGGRR F7EED9, top and bottom of the items area alike.
    const QRgb vista = qRgb(0xD9, 0xEE, 0xF7);
    for (int y : {box.Header()->GetHeight() + 10, box.height() - box.Footer()->GetHeight() - 10})
        EXPECT_EQ(shown.pixel(150, y), vista) << y << " " << std::hex << shown.pixel(150, y);
}
