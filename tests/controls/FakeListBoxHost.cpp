#include "tests/controls/FakeListBoxHost.h"

#include <algorithm>

#include "controls/MarkupRenderer.h"
#include "controls/TImageLoaderThread.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"

FakeListBoxHost::FakeListBoxHost()
    : displayList_(std::make_unique<TSmoothImageListBoxDisplayList>()),
      appearance_(std::make_unique<TSmoothImageListBoxItemAppearance>(this)),
      header_(std::make_unique<TSmoothImageListBoxHeader>(this)),
      footer_(std::make_unique<TSmoothImageListBoxFooter>(this)),
      items_(std::make_unique<TSmoothImageListBoxItems>(this))
{
    ImageRect = [](const TGPRectF& cell) {
        return MakeRect(cell.X + 3, cell.Y + 3, cell.Width - 7, cell.Height - 7);
    };
    TextRect = [](const TSmoothImageListBoxHTMLText&, const TGPRectF& r) { return MakeRect(r.X, r.Y, 40, 12); };
    ClearCalls();
}

FakeListBoxHost::~FakeListBoxHost()
{
    // As the strip does: the items go first, while the rest still stands.
    items_.reset();
}

std::vector<std::string> FakeListBoxHost::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeListBoxHost::ClearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

int FakeListBoxHost::CountOf(const std::string& call) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

void FakeListBoxHost::Log(const std::string& call)
{
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
}

void FakeListBoxHost::StopThread()
{
    Log("StopThread");
    std::lock_guard lock(mutex_);
    loadRestart_ = false;
    loadStartIndex_ = 0;
}

bool FakeListBoxHost::HasLocations() const
{
    std::lock_guard lock(mutex_);
    return hasLocations_;
}

void FakeListBoxHost::SetHasLocations(bool value)
{
    std::lock_guard lock(mutex_);
    hasLocations_ = value;
}

bool FakeListBoxHost::LoadRestart() const
{
    std::lock_guard lock(mutex_);
    return loadRestart_;
}

void FakeListBoxHost::SetLoadRestart(bool value)
{
    std::lock_guard lock(mutex_);
    loadRestart_ = value;
}

int FakeListBoxHost::LoadStartIndex() const
{
    std::lock_guard lock(mutex_);
    return loadStartIndex_;
}

void FakeListBoxHost::SetLoadStartIndex(int value)
{
    std::lock_guard lock(mutex_);
    loadStartIndex_ = value;
}

TGPRectF FakeListBoxHost::GetItemImageRect(const TGPRectF& cell)
{
    return ImageRect(cell);
}

void FakeListBoxHost::GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                                    int imageHeight)
{
    if (boxWidth <= 0 || boxHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) {
        width = height = 0;
        return;
    }
    const auto mulDiv = [](int a, int b, int c) {
        return static_cast<int>((static_cast<long long>(a) * b * 2 + c) / (2LL * c));
    };
    if (static_cast<double>(boxWidth) / boxHeight <= static_cast<double>(imageWidth) / imageHeight) {
        width = boxWidth;
        height = mulDiv(boxWidth, imageHeight, imageWidth);
    } else {
        height = boxHeight;
        width = mulDiv(boxHeight, imageWidth, imageHeight);
    }
}

void FakeListBoxHost::QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job)
{
    MakeThumbnailNow(*this, item, std::move(job));
}

void FakeListBoxHost::DrawDefaultImage(TGPGraphics*, int itemIndex, const TGPRectF&)
{
    Log("DrawDefaultImage " + std::to_string(itemIndex));
}

std::string FakeListBoxHost::GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text)
{
    return StripTags(text.Text());
}

TGPRectF FakeListBoxHost::GetHTMLTextRect(TGPGraphics*, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r)
{
    return TextRect(text, r);
}

TGPRectF FakeListBoxHost::GetTextRect(TGPGraphics*, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r)
{
    return TextRect(text, r);
}

void FakeListBoxHost::DrawText(TGPGraphics*, const TSmoothImageListBoxHTMLText&, const TGPRectF&)
{
    Log("DrawText");
}

void FakeListBoxHost::DrawHTMLText(TGPGraphics*, const TSmoothImageListBoxHTMLText&, const TGPRectF&)
{
    Log("DrawHTMLText");
}

void FakeListBoxHost::FillDisplayList()
{
    displayList_->Clear();
    for (int i = 0; i < items_->Count(); ++i) {
        TSmoothImageListBoxItem* item = items_->GetItem(i);
        if (!item->Splitter() && (!item->Visible() || item->Collapsed))
            continue;
        TSmoothImageListBoxDisplayListItem* entry = displayList_->AddItem();
        entry->Item = item;
        entry->SetKind(item->Splitter() ? ikSplitter : ikItem);
    }
}
