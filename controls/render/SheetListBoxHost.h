#pragma once
// A stand-in strip for the renderer's sheets: it owns a real appearance,
// header, footer and display list, draws caption texts with the markup
// renderer, and lets the sheet set its geometry and state.
#include "controls/IListBoxHost.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"

class SheetListBoxHost : public IListBoxHost {
public:
    SheetListBoxHost();

    TSmoothImageListBoxItemAppearance Appearance{this};
    TSmoothImageListBoxHeader HeaderBar{this};
    TSmoothImageListBoxFooter FooterBar{this};
    TSmoothImageListBoxDisplayList List;
    TRect Inside{0, 0, 600, 400};
    int RowCount = 1, ColumnCount = 0;
    int Selected = -1;
    bool Focused = true;
    TColor Focus = colors::clBlack;

    // The display list holds n item entries.
    void SetItemEntries(int n);
    // Paints a bar as the strip does: fill, caption out of the navigator's
    // way, navigator with the given button states.
    void DrawBar(TGPGraphics* graphics, TSmoothImageListBoxBar& bar, int hovered, int pressed);

    void InitListBoxItems() override {}
    void Changed() override {}
    void StartThread() override {}
    void StopThread() override {}
    // Made at once: a sheet is drawn as soon as it is filled.
    void QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job) override;
    bool HasLocations() const override { return false; }
    void SetHasLocations(bool) override {}
    bool LoadRestart() const override { return false; }
    void SetLoadRestart(bool) override {}
    int LoadStartIndex() const override { return 0; }
    void SetLoadStartIndex(int) override {}
    TSmoothImageListBoxItems* Items() override { return nullptr; }
    TSmoothImageListBoxItemAppearance* ItemAppearance() override { return &Appearance; }
    TSmoothImageListBoxHeader* Header() override { return &HeaderBar; }
    TSmoothImageListBoxFooter* Footer() override { return &FooterBar; }
    TSmoothImageListBoxDisplayList* DisplayList() override { return &List; }
    TRect InsideRect() const override { return Inside; }
    int ShadowOffset() const override { return 0; }
    int ScrollBarThickness() const override { return 0; }
    int Rows() const override { return RowCount; }
    int Columns() const override { return ColumnCount; }
    int GetFirstVisibleItem() override { return 0; }
    TGPRectF GetItemImageRect(const TGPRectF& cell) override;
    void GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                       int imageHeight) override;
    void DrawDefaultImage(TGPGraphics*, int, const TGPRectF&) override {}
    std::string GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text) override;
    TGPRectF GetHTMLTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                             const TGPRectF& r) override;
    TGPRectF GetTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    void DrawText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    void DrawHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    int HoverItemIndex() const override { return -1; }
    bool Hover() const override { return true; }
    int SelectedItemIndex() const override { return Selected; }
    bool HasFocus() const override { return Focused; }
    bool TabStop() const override { return true; }
    bool ShowFocus() const override { return true; }
    TColor FocusColor() const override { return Focus; }
    bool IsDesigning() const override { return false; }
};
