#include "controls/render/ListBoxSheets.h"

#include <string>

#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "controls/render/Canvas.h"
#include "controls/render/SheetListBoxHost.h"

namespace {

// The main window's navigator: white buttons, light blue when hovered,
// paler when pressed, a black border.
void MainWindowNavigator(TSmoothImageListBoxNavigator& n)
{
    n.SetColor(colors::clWhite);
    n.SetHoverColor(0x33A4FF);
    n.SetDownColor(0xAAD9FF);
    n.SetBorderColor(colors::clBlack);
    n.SetSize(25);
}

void PlainFill(TGDIPFill& f, TColor color, TColor border)
{
    f.SetColor(color);
    f.SetColorTo(colors::clNone);
    f.SetGradientType(gtSolid);
    f.SetBorderColor(border);
}

}  // namespace

QImage ListBoxBarsSheet()
{
    Canvas c(540);
    TGPGraphics* g = &c.G();
    SheetListBoxHost host;
    TSmoothImageListBoxNavigator navigator(&host);
    navigator.SetVisible(true);

    struct State {
        const char* name;
        int entries, selected, hovered, pressed;
    } states[] = {
        {"one item", 1, 0, -1, -1},
        {"no selection", 5, -1, 2, -1},
        {"first sel., 2 hovered", 5, 0, 2, -1},
        {"middle sel., 1 pressed", 5, 2, -1, 1},
        {"last sel., 1 hover+press", 5, 4, 1, 1},
    };
    const TSmoothImageListBoxNavigatorButtonsShape shapes[] = {nsRounded, nsRoundRect, nsRect};
    const char* shapeNames[] = {"nsRounded", "nsRoundRect", "nsRect"};
    int y = 8;
    for (int colours = 0; colours < 2; ++colours) {
        c.Label(10, y, colours == 0 ? "navigator, default colours (size 20)" : "navigator, main window colours (size 25)");
        y += 18;
        if (colours == 1)
            MainWindowNavigator(navigator);
        for (int s = 0; s < 3; ++s) {
            navigator.SetShape(shapes[s]);
            c.Label(10, y + 4, shapeNames[s]);
            for (int i = 0; i < 5; ++i) {
                const State& st = states[i];
                host.SetItemEntries(st.entries);
                host.Selected = st.selected;
                const TGPRectF block{float(100 + i * 130), float(y), float((navigator.Size() + 3) * 4),
                                     float(navigator.Size())};
                navigator.Draw(g, block, st.pressed, st.hovered);
            }
            y += navigator.Size() + 8;
        }
        for (int i = 0; i < 5; ++i)
            c.Label(100 + i * 130, y, states[i].name);
        y += 30;
    }

    // Bars: a header with its caption left and navigator right, and a footer
    // whose caption shares the navigator's centre-right place.
    host.Inside = TRect{10, y + 18, 750, y + 218};
    c.Label(10, y, "header (caption cpCenterLeft, navigator cpCenterRight) and footer (both cpCenterRight)");
    TGPPen frame(MakeColor(255, 200, 200, 200), 1.f);
    g->DrawRectangle(&frame, 10.f, float(y + 18), 740.f, 200.f);
    TSmoothImageListBoxHeader& header = host.HeaderBar;
    header.SetCaption("Header caption");
    header.SetCaptionLocation(cpCenterLeft);
    header.Fill()->SetColor(0xF0D0B0);
    header.Fill()->SetColorTo(0xC08040);
    header.Fill()->SetRounding(8);
    header.Fill()->SetRoundingType(rtTop);
    header.Navigator()->SetVisible(true);
    header.Font()->SetHeight(-13);
    header.SetHeight(40);
    TSmoothImageListBoxFooter& footer = host.FooterBar;
    footer.SetCaption("5 pictures");
    footer.SetCaptionLocation(cpCenterRight);
    footer.SetHeight(35);
    PlainFill(*footer.Fill(), 0xF2F2F2, colors::clSilver);
    MainWindowNavigator(*footer.Navigator());
    footer.Navigator()->SetShape(nsRounded);
    footer.Font()->SetName("Tahoma");
    footer.Font()->SetHeight(-13);
    footer.Font()->SetColor(colors::clBlack);
    host.SetItemEntries(5);
    host.Selected = 2;
    g->SetSmoothingMode(SmoothingModeAntiAlias);
    host.DrawBar(g, header, 3, -1);
    host.DrawBar(g, footer, -1, 0);
    return c.Finish();
}

QImage ListBoxCellsSheet()
{
    Canvas c(680);
    TGPGraphics* g = &c.G();
    SheetListBoxHost host;
    TSmoothImageListBoxItemAppearance& a = host.Appearance;
    a.SetItemWidth(110);
    a.SetItemHeight(80);
    a.SetHoverSize(10);

    // Cells, as the strip paints them from the pre-rendered fills.
    int y = 8;
    c.Label(10, y, "cells: normal, selected, hovered (10 px larger), disabled, focused, selected and focused");
    y += 24;
    for (int style = 0; style < 2; ++style) {
        if (style == 0) {
            PlainFill(*a.Fill(), colors::clWhite, 0x00CCFF);
            PlainFill(*a.SelectedFill(), colors::clWhite, 0x0066FF);
            PlainFill(*a.HoverFill(), colors::clWhite, 0x0099FF);
            PlainFill(*a.DisabledFill(), 0xD8D5D4, colors::clGray);
        } else {
            TGDIPFill* fills[] = {a.Fill(), a.SelectedFill(), a.HoverFill(), a.DisabledFill()};
            const TColor from[] = {0xFAF0E6, 0x9CE6FF, 0xD0F0FF, 0xE0E0E0};
            const TColor to[] = {0xE6C8A0, 0x3CA8FF, 0x80D0FF, 0xB0B0B0};
            for (int i = 0; i < 4; ++i) {
                fills[i]->SetColor(from[i]);
                fills[i]->SetColorTo(to[i]);
                fills[i]->SetGradientType(gtVertical);
                fills[i]->SetBorderColor(0x805020);
                fills[i]->SetRounding(8);
                fills[i]->SetRoundingType(rtBoth);
            }
        }
        struct Cell {
            TGPBitmap* cache;
            TGDIPFill* fill;
            bool hover, focus;
        } cells[] = {
            {a.FillBitmap(), a.Fill(), false, false},         {a.SelectedFillBitmap(), a.SelectedFill(), false, false},
            {a.HoverFillBitmap(), a.HoverFill(), true, false}, {a.DisabledFillBitmap(), a.DisabledFill(), false, false},
            {a.FillBitmap(), a.Fill(), false, true},          {a.SelectedFillBitmap(), a.SelectedFill(), false, true},
        };
        for (int i = 0; i < 6; ++i) {
            TGPRectF r{float(20 + i * 122), float(y + 6), float(a.GetColumnWidth()), float(a.GetRowHeight())};
            if (cells[i].hover) {
                const float hs = float(a.HoverSize());
                r = TGPRectF{r.X - hs / 2, r.Y - hs / 2, r.Width + hs, r.Height + hs};
            }
            if (cells[i].fill->RoundingType() != rtNone && cells[i].fill->Rounding() > 0)
                g->SetSmoothingMode(SmoothingModeAntiAlias);
            g->DrawImage(cells[i].cache, r);
            if (cells[i].focus)
                a.DrawFocusRect(cells[i].fill, g, TGPRectF{r.X + 1, r.Y + 1, r.Width - 3, r.Height - 3});
            g->SetSmoothingMode(SmoothingModeDefault);
        }
        y += 100;
    }

    // Splitters in a grid (horizontal bars) and in a strip (upright bars).
    TSmoothImageListBoxSplitter* sp = a.Splitter();
    sp->SetExpander(true);
    sp->Fill()->SetColor(0xB59285);
    sp->Fill()->SetColorTo(0xE8D8D0);
    sp->Fill()->SetGradientType(gtHorizontal);
    sp->Fill()->SetBorderColor(0x962D00);
    TSmoothImageListBoxHTMLText text(&host);
    text.Font().SetHeight(-12);
    text.Font().SetColor(colors::clBlack);
    text.SetText("<b>Group</b> text");
    c.Label(10, y, "grid splitters: thick (size 3) collapsed; thin (size 1) expanded with text and expander at "
                   "cpCenterLeft, cpCenterCenter; hovered; pressed; clNone expander");
    y += 22;
    host.RowCount = 0;
    host.ColumnCount = 3;
    struct Splitter {
        int size;
        TSmoothImageListBoxLocation textAt, expanderAt;
        bool collapsed;
        int hover, down;
        TColor colour;
    } grid[] = {
        {3, cpCenterLeft, cpCenterRight, true, -1, -1, colors::clGray},
        {1, cpCenterLeft, cpCenterLeft, false, -1, -1, colors::clGray},
        {1, cpCenterCenter, cpCenterCenter, false, 0, -1, colors::clGray},
        {1, cpCenterRight, cpCenterLeft, true, -1, 0, colors::clGray},
        {1, cpCenterLeft, cpCenterRight, true, -1, -1, colors::clNone},
    };
    auto drawSplitter = [&](const Splitter& s, const TGPRectF& cell) {
        sp->SetSize(s.size);
        sp->SetTextLocation(s.textAt);
        sp->SetExpanderLocation(s.expanderAt);
        sp->SetExpanderColor(s.colour);
        text.SetLocation(s.textAt);
        sp->DrawSplitter(g, &text, cell, s.collapsed, s.hover, s.down);
    };
    c.Label(390, y + 16, "cell 360 x 26");
    for (const Splitter& s : grid) {
        drawSplitter(s, TGPRectF{20, float(y + 10), 360, 26});
        y += 40;
    }

    const int stripTop = y + 4;
    c.Label(10, stripTop, "strip splitters: thick collapsed; thin expanded; thin hovered; thin pressed, text centre");
    host.RowCount = 1;
    host.ColumnCount = 0;
    text.SetText("Group text");
    Splitter strip[] = {
        {3, cpCenterLeft, cpCenterRight, true, -1, -1, colors::clGray},
        {1, cpCenterLeft, cpCenterRight, false, -1, -1, colors::clGray},
        {1, cpCenterLeft, cpCenterLeft, false, 0, -1, colors::clGray},
        {1, cpCenterCenter, cpCenterRight, false, -1, 0, colors::clGray},
    };
    for (int i = 0; i < 4; ++i)
        drawSplitter(strip[i], TGPRectF{float(30 + i * 60), float(stripTop + 30), 30, 170});

    // Top layer: boxes by alignment inside an items area.
    const TGPRectF area{330, float(stripTop + 30), 410, 170};
    c.Label(330, stripTop + 14, "top layer in the items area: alTop, alBottom, alLeft, alRight, alCustom 10/5");
    TGPPen frame(MakeColor(255, 160, 160, 160), 1.f);
    g->DrawRectangle(&frame, area);
    TSmoothImageListBoxTopLayerItems layer(&host);
    const TAlign aligns[] = {alTop, alBottom, alLeft, alRight, alCustom};
    const char* names[] = {"alTop", "alBottom", "alLeft", "alRight", "alCustom"};
    const TColor colours[] = {0xF0C0A0, 0xA0C0F0, 0xA0F0C0, 0xC0A0F0, 0x80E0F0};
    for (int i = 0; i < 5; ++i) {
        TSmoothImageListBoxTopLayerItem* item = layer.Add();
        item->SetAlign(aligns[i]);
        item->SetWidth(70);
        item->SetHeight(30);
        item->SetLeft(100);
        item->SetTop(50);
        if (aligns[i] == alCustom) {
            item->SetLeft(10);
            item->SetTop(5);
            item->SetWidth(120);
            item->SetHeight(40);
        }
        PlainFill(*item->Fill(), colours[i], aligns[i] == alCustom ? 0x404040 : colors::clNone);
        item->Fill()->SetOpacity(aligns[i] == alCustom ? 255 : 170);
        item->Fill()->SetRounding(aligns[i] == alCustom ? 6 : 0);
        item->HTMLText()->SetText(names[i]);
        item->HTMLText()->SetLocation(cpCenterCenter);
        item->Draw(g, area);
    }
    return c.Finish();
}
