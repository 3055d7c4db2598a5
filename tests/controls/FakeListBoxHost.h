#pragma once
// A stand-in for the thumbnail strip that owns real parts (items,
// appearance, bars, display list), answers with plain values the test sets,
// and logs what the parts ask it to do. Thread-safe for the calls the loader
// thread makes (Changed, the load flags).
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/IListBoxHost.h"

class FakeListBoxHost : public IListBoxHost {
public:
    FakeListBoxHost();
    ~FakeListBoxHost() override;

    // The log: "InitListBoxItems", "Changed", "StartThread", "StopThread",
    // "DrawDefaultImage <index>", "DrawText", "DrawHTMLText".
    std::vector<std::string> Calls() const;
    void ClearCalls();
    int CountOf(const std::string& call) const;

    // Values the parts read.
    TRect Inside{0, 0, 600, 450};
    int Shadow = 0;
    int ScrollBar = 0;
    int RowsValue = 0;
    int ColumnsValue = 3;
    int FirstVisible = 0;
    int HoverIndex = -1;
    bool HoverOn = true;
    int SelectedIndex = -1;
    bool Focused = false;
    bool TabStopOn = true;
    bool ShowFocusOn = true;
    TColor Focus = colors::clBlack;
    bool Designing = false;
    // The image area of a cell; by default the cell less a 3-pixel margin,
    // as the strip places it with the appearance's defaults.
    std::function<TGPRectF(const TGPRectF&)> ImageRect;
    // What the text measures report; by default a 40 × 12 box at r's origin.
    std::function<TGPRectF(const TSmoothImageListBoxHTMLText&, const TGPRectF&)> TextRect;

    // IListBoxHost
    void InitListBoxItems() override { Log("InitListBoxItems"); }
    void Changed() override { Log("Changed"); }
    void StartThread() override { Log("StartThread"); }
    void StopThread() override;
    // Made at once, on the calling thread.
    void QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job) override;
    bool HasLocations() const override;
    void SetHasLocations(bool value) override;
    bool LoadRestart() const override;
    void SetLoadRestart(bool value) override;
    int LoadStartIndex() const override;
    void SetLoadStartIndex(int value) override;
    TSmoothImageListBoxItems* Items() override { return items_.get(); }
    TSmoothImageListBoxItemAppearance* ItemAppearance() override { return appearance_.get(); }
    TSmoothImageListBoxHeader* Header() override { return header_.get(); }
    TSmoothImageListBoxFooter* Footer() override { return footer_.get(); }
    TSmoothImageListBoxDisplayList* DisplayList() override { return displayList_.get(); }
    TRect InsideRect() const override { return Inside; }
    int ShadowOffset() const override { return Shadow; }
    int ScrollBarThickness() const override { return ScrollBar; }
    int Rows() const override { return RowsValue; }
    int Columns() const override { return ColumnsValue; }
    int GetFirstVisibleItem() override { return FirstVisible; }
    TGPRectF GetItemImageRect(const TGPRectF& cell) override;
    // The strip's rule with AspectRatio on and stretching always.
    void GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                       int imageHeight) override;
    void DrawDefaultImage(TGPGraphics* graphics, int itemIndex, const TGPRectF& rect) override;
    std::string GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text) override;
    TGPRectF GetHTMLTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                             const TGPRectF& r) override;
    TGPRectF GetTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                         const TGPRectF& r) override;
    void DrawText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    void DrawHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    int HoverItemIndex() const override { return HoverIndex; }
    bool Hover() const override { return HoverOn; }
    int SelectedItemIndex() const override { return SelectedIndex; }
    bool HasFocus() const override { return Focused; }
    bool TabStop() const override { return TabStopOn; }
    bool ShowFocus() const override { return ShowFocusOn; }
    TColor FocusColor() const override { return Focus; }
    bool IsDesigning() const override { return Designing; }

    // Adds a display entry per visible, not collapsed item (a splitter entry
    // for splitters), in item order: the strip's relayout without geometry.
    void FillDisplayList();

private:
    void Log(const std::string& call);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    bool hasLocations_ = false;
    bool loadRestart_ = false;
    int loadStartIndex_ = 0;
    std::unique_ptr<TSmoothImageListBoxDisplayList> displayList_;
    std::unique_ptr<TSmoothImageListBoxItemAppearance> appearance_;
    std::unique_ptr<TSmoothImageListBoxHeader> header_;
    std::unique_ptr<TSmoothImageListBoxFooter> footer_;
    std::unique_ptr<TSmoothImageListBoxItems> items_;
};
