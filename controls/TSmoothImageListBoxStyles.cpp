#include "controls/TSmoothImageListBoxStyles.h"

#include <iterator>

#include "controls/GDIPFill.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "controls/TSmoothImageListBoxSplitter.h"

namespace {

using namespace colors;

// Rows that set a gradient direction take no colour: any value but kKeep sets it.
constexpr TColor kSet = 0;

// Columns: tsOffice2003Blue, tsOffice2003Silver, tsOffice2003Olive,
// tsOffice2003Classic, tsOffice2007Luna, tsOffice2007Obsidian, tsWindowsXP,
// tsWhidbey, tsOffice2007Silver, tsWindowsVista, tsWindows7, tsTerminal.
// Colours are BBGGRR. Oddities such as Olive's silver hover border and the
// navigators of Vista and 7 differing between header and footer are the
// schemes' own.
const TListBoxStyleRow kRows[] = {
    {"Fill.Color", [](const TListBoxStyleParts& p, TColor v) { p.Fill->SetColor(v); },
     {0xFFD2AF, 0xE6D8D8, 0xCFF0EA, 0xF2F2F2, 0xDCB698, 0x5C534C, 0xB6B6B6, 0xF5F9FA, 0xCAC1BA, 0xF7EED9, 0xF7EED9, 0xFFFFFF}},
    {"Fill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.Fill->SetColorTo(v); },
     {0xFFD2AF, 0xE6D8D8, 0xCFF0EA, 0xF2F2F2, 0xDCB698, 0x5C534C, 0xB6B6B6, 0xF5F9FA, 0xCAC1BA, clNone, clNone, 0xFFFFFF}},
    {"Header.Fill.Color", [](const TListBoxStyleParts& p, TColor v) { p.Header->Fill()->SetColor(v); },
     {0xD68759, 0xBDA4A5, 0x82C0AF, 0x808080, 0xFFEFE3, 0xF2F1F0, clBtnFace, 0xEBEEEF, 0xF8F7F6, 0xFCF9F2, 0xFCF9F2, clBtnFace}},
    {"Header.Fill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.Header->Fill()->SetColorTo(v); },
     {0x933803, 0x957475, 0x447A63, 0x808080, 0xFFD2AF, 0xC9C2BD, clBtnFace, 0x7E9898, 0xE8E0DB, 0xF7EED9, 0xF7EED9, clBtnFace}},
    {"Header.Font.Color", [](const TListBoxStyleParts& p, TColor v) { p.Header->Font()->SetColor(v); },
     {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x723708, 0x433C37, 0x000000, 0xFFFFFF, 0x8B4215, 0x000000, 0x000000, 0x000000}},
    {"Header.Fill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.Header->Fill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x588060, 0x808080, 0xFFD2AF, 0x5C534C, 0x000000, 0x962D00, 0x74706F, 0xF9D996, 0xF9D996, 0x808080}},
    {"Footer.Fill.Color", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Fill()->SetColor(v); },
     {0xD68759, 0xBDA4A5, 0x82C0AF, 0x808080, 0xFFEFE3, 0xF2F1F0, clBtnFace, 0xEBEEEF, 0xF8F7F6, 0xFCF9F2, 0xFCF9F2, clBtnFace}},
    {"Footer.Fill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Fill()->SetColorTo(v); },
     {0x933803, 0x957475, 0x447A63, 0x808080, 0xFFD2AF, 0xC9C2BD, clBtnFace, 0x7E9898, 0xE8E0DB, 0xF7EED9, 0xF7EED9, clBtnFace}},
    {"Footer.Font.Color", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Font()->SetColor(v); },
     {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x723708, 0x433C37, 0x000000, 0xFFFFFF, 0x8B4215, 0x000000, 0x000000, 0x000000}},
    {"Footer.Fill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Fill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x588060, 0x808080, 0xFFD2AF, 0x5C534C, 0x000000, 0x962D00, 0x74706F, 0xF9D996, 0xF9D996, 0x808080}},
    {"Item.Fill.Color", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Fill()->SetColor(v); },
     {0xFCE1CB, 0xECE2E1, 0xCFF0EA, 0xFFFFFF, 0xFFEFE3, 0xF9F8F8, 0xFFFFFF, 0xF5F9FA, 0xFAEEEB, 0xFFFDF9, 0xFFFDF9, clBtnFace}},
    {"Item.Fill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Fill()->SetColorTo(v); },
     {0xE0A57D, 0xB39698, 0x8CC0B1, 0xC9D1D5, 0xFFDDC4, 0xE4E2DF, clBtnFace, 0xA8C0C0, 0xE5DBD7, 0xFFFAF0, 0xFFFAF0, clBtnFace}},
    {"Item.Fill.ColorMirror", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Fill()->SetColorMirror(v); },
     {clNone, clNone, clNone, clNone, 0xFFD1AD, 0xD1CBC7, clNone, clNone, 0xE2D8D4, clNone, clNone, clNone}},
    {"Item.Fill.ColorMirrorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Fill()->SetColorMirrorTo(v); },
     {clNone, clNone, clNone, clNone, 0xFFDBC0, 0xE2DEDB, clNone, clNone, 0xD1C7C5, clNone, clNone, clNone}},
    {"Item.Fill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Fill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x588060, 0x808080, 0xFFD1AD, 0x000000, 0x000000, 0x962D00, 0x000000, 0xFCF2DA, 0xFCF2DA, 0x808080}},
    {"Item.Fill.GradientMirrorType", [](const TListBoxStyleParts& p, TColor) { p.ItemAppearance->Fill()->SetGradientMirrorType(gtVertical); },
     {kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kKeep}},
    {"Item.DisabledFill.Color", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->DisabledFill()->SetColor(v); },
     {0xF2F2F2, 0xF2F2F2, 0xF2F2F2, 0xD8D5D4, 0xF2F2F2, 0xF2F2F2, 0xB6B6B6, 0xF2F2F2, 0xF2F2F2, 0xFBFAFA, 0xFBFAFA, 0xFFFFFF}},
    {"Item.DisabledFill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->DisabledFill()->SetColorTo(v); },
     {0xB6B6B6, 0xB6B6B6, 0xB6B6B6, 0xD8D5D4, 0xB6B6B6, 0xB6B6B6, 0xB6B6B6, 0xB6B6B6, 0xB6B6B6, 0xE6E6E6, 0xE6E6E6, 0xFFFFFF}},
    {"Item.DisabledFill.ColorMirror", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->DisabledFill()->SetColorMirror(v); },
     {clNone, clNone, clNone, clNone, 0xB6B6B6, 0xB6B6B6, clNone, clNone, 0xB6B6B6, clNone, clNone, clNone}},
    {"Item.DisabledFill.ColorMirrorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->DisabledFill()->SetColorMirrorTo(v); },
     {clNone, clNone, clNone, clNone, 0xF2F2F2, 0xF2F2F2, clNone, clNone, 0xF2F2F2, clNone, clNone, clNone}},
    {"Item.DisabledFill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->DisabledFill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x588060, 0x808080, 0xFFD1AD, 0x000000, 0x000000, 0x962D00, 0x000000, 0xD9D9D9, 0xD9D9D9, clNone}},
    {"Item.DisabledFill.GradientMirrorType", [](const TListBoxStyleParts& p, TColor) { p.ItemAppearance->DisabledFill()->SetGradientMirrorType(gtVertical); },
     {kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kKeep}},
    {"Item.HoverFill.Color", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->HoverFill()->SetColor(v); },
     {0xEBFDFF, 0xEBFDFF, 0xEBFDFF, 0xD2BDB6, 0xEBFDFF, 0xEBFDFF, clInactiveCaptionText, 0x94E6FB, 0xEBFDFF, 0xFEF9F0, 0xFDFBFA, 0xC0C0C0}},
    {"Item.HoverFill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->HoverFill()->SetColorTo(v); },
     {0xACECFF, 0xACECFF, 0xACECFF, 0xD2BDB6, 0xACECFF, 0xACECFF, clInactiveCaptionText, 0x1595EE, 0xACECFF, 0xFDF0D7, 0xFDF3EB, 0xC0C0C0}},
    {"Item.HoverFill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->HoverFill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x947C7C, 0x808080, 0x99CEDB, 0x99CEDB, 0x000000, 0x000000, 0x000000, 0xFEDF9A, 0xFBD6B8, 0x808080}},
    {"Item.HoverFill.GradientMirrorType", [](const TListBoxStyleParts& p, TColor) { p.ItemAppearance->HoverFill()->SetGradientMirrorType(gtVertical); },
     {kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kKeep}},
    {"Item.SelectedFill.Color", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->SelectedFill()->SetColor(v); },
     {0x94E6FB, 0x94E6FB, 0x94E6FB, 0xB59285, 0xAAD9FF, 0xAAD9FF, clInactiveCaption, 0x94E6FB, 0xAAD9FF, 0xFEF9F0, 0xFCEBDC, clHighlight}},
    {"Item.SelectedFill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->SelectedFill()->SetColorTo(v); },
     {0x1595EE, 0x1595EE, 0x1595EE, 0xB59285, 0x6EBBFF, 0x6EBBFF, clInactiveCaption, 0x1595EE, 0x6EBBFF, 0xFDF0D7, 0xFCDBC1, clHighlight}},
    {"Item.SelectedFill.ColorMirror", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->SelectedFill()->SetColorMirror(v); },
     {clNone, clNone, clNone, clNone, 0x42AEFE, 0x42AEFE, clNone, clNone, 0x42AEFE, clNone, clNone, clNone}},
    {"Item.SelectedFill.ColorMirrorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->SelectedFill()->SetColorMirrorTo(v); },
     {clNone, clNone, clNone, clNone, 0x7AE1FE, 0x7AE1FE, clNone, clNone, 0x7AE1FE, clNone, clNone, clNone}},
    {"Item.SelectedFill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->SelectedFill()->SetBorderColor(v); },
     {0x962D00, 0x947C7C, 0x588060, 0x962D00, 0xFFD1AD, 0x000000, 0x000000, 0x962D00, 0x000000, 0xFEDF9A, 0xCEA27D, 0x808080}},
    {"Item.SelectedFill.GradientMirrorType", [](const TListBoxStyleParts& p, TColor) { p.ItemAppearance->SelectedFill()->SetGradientMirrorType(gtVertical); },
     {kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kSet, kKeep}},
    {"Footer.Navigator.Color", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Navigator()->SetColor(v); },
     {0xFFD2AF, 0xECE2E1, 0xCFF0EA, 0xFFFFFF, 0xFFEFE3, 0xF9F8F8, clBtnFace, 0xF5F9FA, 0xFAEEEB, 0xFDF8F1, 0xFDF8F1, clBtnFace}},
    {"Footer.Navigator.HoverColor", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Navigator()->SetHoverColor(v); },
     {0x94E6FB, 0x94E6FB, 0x94E6FB, 0xB59285, 0xAAD9FF, 0xAAD9FF, clInactiveCaption, 0x94E6FB, 0xAAD9FF, 0xFBEDD3, 0xFBEDD3, 0xC0C0C0}},
    {"Footer.Navigator.DownColor", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Navigator()->SetDownColor(v); },
     {0x1595EE, 0x1595EE, 0x1595EE, 0xD8D5D4, 0x6EBBFF, 0x6EBBFF, clInactiveCaption, 0x1595EE, 0x6EBBFF, 0xFAE9C6, 0xFAE9C6, clHighlight}},
    {"Footer.Navigator.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.Footer->Navigator()->SetBorderColor(v); },
     {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0xFDDE99, 0xFDDE99, 0x808080}},
    {"Splitter.ExpanderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->SetExpanderColor(v); },
     {0xFFD2AF, 0xECE2E1, 0xCFF0EA, 0xFFFFFF, 0xFFEFE3, 0xF9F8F8, clBtnFace, 0xF5F9FA, 0xFAEEEB, 0xCFF0EA, 0xCFF0EA, clBtnFace}},
    {"Splitter.ExpanderHoverColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->SetExpanderHoverColor(v); },
     {0x94E6FB, 0x94E6FB, 0x94E6FB, 0xB59285, 0xAAD9FF, 0xAAD9FF, clInactiveCaption, 0x94E6FB, 0xAAD9FF, 0x94E6FB, 0x94E6FB, 0xC0C0C0}},
    {"Splitter.ExpanderDownColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->SetExpanderDownColor(v); },
     {0x1595EE, 0x1595EE, 0x1595EE, 0xD8D5D4, 0x6EBBFF, 0x6EBBFF, clInactiveCaption, 0x1595EE, 0x6EBBFF, 0x1595EE, 0x1595EE, clHighlight}},
    {"Splitter.ExpanderBorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->SetExpanderBorderColor(v); },
     {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
    {"Header.Navigator.Color", [](const TListBoxStyleParts& p, TColor v) { p.Header->Navigator()->SetColor(v); },
     {0xFFD2AF, 0xECE2E1, 0xCFF0EA, 0xFFFFFF, 0xFFEFE3, 0xF9F8F8, clBtnFace, 0xF5F9FA, 0xFAEEEB, 0xCFF0EA, 0xCFF0EA, clBtnFace}},
    {"Header.Navigator.HoverColor", [](const TListBoxStyleParts& p, TColor v) { p.Header->Navigator()->SetHoverColor(v); },
     {0x94E6FB, 0x94E6FB, 0x94E6FB, 0xB59285, 0xAAD9FF, 0xAAD9FF, clInactiveCaption, 0x94E6FB, 0xAAD9FF, 0x94E6FB, 0x94E6FB, 0x808080}},
    {"Header.Navigator.DownColor", [](const TListBoxStyleParts& p, TColor v) { p.Header->Navigator()->SetDownColor(v); },
     {0x1595EE, 0x1595EE, 0x1595EE, 0xD8D5D4, 0x6EBBFF, 0x6EBBFF, clInactiveCaptionText, 0x1595EE, 0x6EBBFF, 0x1595EE, 0x1595EE, clHighlight}},
    {"Header.Navigator.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.Header->Navigator()->SetBorderColor(v); },
     {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x808080}},
    {"Splitter.Fill.Color", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->Fill()->SetColor(v); },
     {0x94E6FB, 0x94E6FB, 0x94E6FB, 0xB59285, 0xAAD9FF, 0xAAD9FF, clInactiveCaption, 0x94E6FB, 0xAAD9FF, 0x94E6FB, 0x94E6FB, clBtnFace}},
    {"Splitter.Fill.ColorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->Fill()->SetColorTo(v); },
     {0x1595EE, 0x1595EE, 0x1595EE, 0xB59285, 0x6EBBFF, 0x6EBBFF, clInactiveCaption, 0x1595EE, 0x6EBBFF, 0x1595EE, 0x1595EE, clBtnFace}},
    {"Splitter.Fill.BorderColor", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->Splitter()->Fill()->SetBorderColor(v); },
     {0x962D00, 0x962D00, 0x962D00, 0x962D00, 0xFFD1AD, 0x000000, 0x000000, 0x962D00, 0x000000, 0x962D00, 0x962D00, 0x808080}},
    {"Item.HoverFill.ColorMirror", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->HoverFill()->SetColorMirror(v); },
     {kKeep, kKeep, kKeep, clNone, 0x59DAFF, 0x59DAFF, clNone, clNone, 0x59DAFF, clNone, clNone, clNone}},
    {"Item.HoverFill.ColorMirrorTo", [](const TListBoxStyleParts& p, TColor v) { p.ItemAppearance->HoverFill()->SetColorMirrorTo(v); },
     {kKeep, kKeep, kKeep, clNone, 0xA4E9FF, 0xA4E9FF, clNone, clNone, 0xA4E9FF, clNone, clNone, clNone}},
};

}  // namespace

const TListBoxStyleRow* ListBoxStyleRows(int& count)
{
    count = static_cast<int>(std::size(kRows));
    return kRows;
}

int ListBoxStyleColumn(TControlStyle style)
{
    if (style < tsOffice2003Blue || style > tsTerminal || style == tsCustom)
        return -1;
    return style < tsCustom ? style : style - 1;
}

void ApplyListBoxStyle(const TListBoxStyleParts& parts, int rows, int columns, TControlStyle style)
{
    TGDIPFill* splitterFill = parts.ItemAppearance->Splitter()->Fill();
    if (rows == 0)
        splitterFill->SetGradientType(gtVertical);
    else if (columns == 0)
        splitterFill->SetGradientType(gtHorizontal);

    const int column = ListBoxStyleColumn(style);
    if (column < 0)
        return;
    for (const TListBoxStyleRow& row : kRows)
        if (row.Values[column] != kKeep)
            row.Set(parts, row.Values[column]);
}

void TSmoothImageListBox::SetComponentStyle(TControlStyle style)
{
    ApplyListBoxStyle({Fill(), Header(), Footer(), ItemAppearance()}, Rows(), Columns(), style);
}
