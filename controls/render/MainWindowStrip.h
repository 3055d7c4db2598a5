#pragma once
// The thumbnail strip as the main window sets it up (a one-row strip under
// a 35-pixel footer with its navigator), for tests, render sheets and
// benchmarks; and a helper that fills items with plain-coloured pictures.
#include <QImage>
#include <QPainter>

#include "controls/GDIPFill.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxNavigator.h"

namespace strip_setup {

inline void PlainFill(TGDIPFill* fill, TColor color, TColor border)
{
    fill->SetColor(color);
    fill->SetColorTo(color);
    fill->SetColorMirror(colors::clNone);
    fill->SetColorMirrorTo(colors::clNone);
    fill->SetGradientType(gtSolid);
    fill->SetBorderColor(border);
    fill->SetRounding(0);
    fill->SetShadowOffset(0);
    fill->SetShadowColor(colors::clNone);
}

inline void ConfigureAsMainWindowStrip(TSmoothImageListBox& box)
{
    box.SetRows(1);
    box.SetThreadLoading(tlOnDemand);
    box.SetZoomOnDblClick(false);
    box.SetShowScrollBar(false);
    box.SetFocusColor(colors::cl3DLight);
    TSmoothImageListBoxItemAppearance* ap = box.ItemAppearance();
    ap->SetImageWidth(143);
    ap->SetImageHeight(100);
    ap->SetItemWidth(143);
    ap->SetItemHeight(110);
    ap->SetHoverSize(10);
    PlainFill(ap->Fill(), colors::clWhite, 0x00CCFF);
    PlainFill(ap->SelectedFill(), colors::clWhite, 0x0066FF);
    PlainFill(ap->HoverFill(), colors::clWhite, 0x0099FF);
    PlainFill(ap->DisabledFill(), 0xD8D5D4, colors::clGray);
    TGDIPFill* splitter = ap->Splitter()->Fill();
    splitter->SetColor(0xB59285);
    splitter->SetColorTo(0xB59285);
    splitter->SetGradientType(gtHorizontal);
    splitter->SetBorderColor(0x962D00);
    PlainFill(box.Fill(), 0xF2F2F2, colors::clNone);

    box.Header()->SetVisible(false);
    TSmoothImageListBoxFooter* footer = box.Footer();
    footer->SetHeight(35);
    footer->Fill()->SetColor(colors::clNone);
    footer->Fill()->SetColorTo(colors::clNone);
    footer->Fill()->SetBorderColor(colors::clNone);
    footer->Fill()->SetShadowOffset(-2);
    TFont font;
    font.SetName("Tahoma");
    font.SetHeight(-13);
    font.SetColor(colors::clBlack);
    footer->SetFont(&font);
    TSmoothImageListBoxNavigator* nav = footer->Navigator();
    nav->SetVisible(true);
    nav->SetShape(nsRounded);
    nav->SetSize(25);
    nav->SetColor(colors::clWhite);
    nav->SetHoverColor(0x33A4FF);
    nav->SetDownColor(0xAAD9FF);
    nav->SetBorderColor(colors::clBlack);

    TFont caption;
    caption.SetName("Tahoma");
    caption.SetHeight(-11);
    box.DefaultHTMLText()->SetFont(caption);
    box.DefaultHTMLText()->SetLocation(cpTopLeft);
    box.SetSelectedItemIndex(0);
}

// A picture of one colour, as BMP bytes in the item's Image.
inline void SetPicture(TSmoothImageListBoxItem* item, QColor color, int width = 400, int height = 300)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    item->Image()->Assign(&image);
}

inline void AddColouredItems(TSmoothImageListBox& box, const std::vector<QColor>& colours, int width = 400,
                             int height = 300)
{
    box.Items()->BeginUpdate();
    for (const QColor& c : colours)
        SetPicture(box.Items()->Add(), c, width, height);
    box.Items()->EndUpdate();
    box.WaitForThumbnails();
}

}  // namespace strip_setup
