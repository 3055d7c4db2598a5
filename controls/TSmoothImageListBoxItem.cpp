#include "controls/TSmoothImageListBoxItem.h"

#include <algorithm>
#include <cmath>

#include "controls/GPGraphics.h"
#include "controls/IListBoxHost.h"
#include "controls/TImageLoaderThread.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "platform/rtl/MemoryStream.h"

TSmoothImageListBoxItem::TSmoothImageListBoxItem(TSmoothImageListBoxItems* collection) : collection_(collection)
{
    collection_->Attach(this);
    image_ = std::make_unique<TGDIPPicture>();
    image_->OnChange = [this] { ImageChanged(); };
    caption_ = std::make_unique<TSmoothImageListBoxHTMLText>(Owner());
    caption_->OnChange = [this] { CaptionChanged(); };
    Changed();
}

TSmoothImageListBoxItem::~TSmoothImageListBoxItem()
{
    image_.reset();
    caption_.reset();
    Thumbnail.reset();
    collection_->Detach(this);
    if (collection_->Destroying())
        return;
    if (IListBoxHost* host = Owner()) {
        // Hit tests, animation steps and the navigator walk the display list
        // before the next relayout; none may meet this item there.
        if (TSmoothImageListBoxDisplayList* list = host->DisplayList())
            list->RemoveItem(this);
        host->SetLoadRestart(true);
    }
    Changed();
}

IListBoxHost* TSmoothImageListBoxItem::Owner() const
{
    return collection_->GetOwner();
}

void TSmoothImageListBoxItem::SetIndex(int value)
{
    collection_->Move(Index(), value);
}

bool TSmoothImageListBoxItem::Updating() const
{
    return collection_->Updating() || collection_->Destroying();
}

void TSmoothImageListBoxItem::Changed()
{
    if (Updating())
        return;
    if (IListBoxHost* host = Owner()) {
        host->InitListBoxItems();
        host->Changed();
    }
}

void TSmoothImageListBoxItem::Assign(const TSmoothImageListBoxItem& source)
{
    if (&source == this)
        return;
    image_->Assign(source.image_.get());
    fTag = source.fTag;
    caption_->Assign(*source.caption_);
    fSplitterText = source.fSplitterText;
    fSplitter = source.fSplitter;
    fEnabled = source.fEnabled;
    fHint = source.fHint;
    fVisible = source.fVisible;
    fFileDate = source.fFileDate;
    fFileSize = source.fFileSize;
    fFileName = source.fFileName;
    splitterState_ = source.splitterState_;  // without collapsing the group
    fSelected = source.fSelected;
    Changed();
}

void TSmoothImageListBoxItem::SetSplitterState(TSmoothImageListBoxSplitterState value)
{
    if (splitterState_ == value)
        return;
    splitterState_ = value;
    Collapsed = value == stCollapsed;
    // The group ends at the next splitter.
    for (int i = Index() + 1; i < collection_->Count(); ++i) {
        TSmoothImageListBoxItem* item = collection_->GetItem(i);
        if (item->Splitter())
            break;
        item->Collapsed = Collapsed;
    }
    Changed();
}

void TSmoothImageListBoxItem::SetImage(const TGDIPPicture* value)
{
    // The item keeps its own picture: the caller's stays the caller's. The
    // copy announces itself, which makes the thumbnail.
    if (value != image_.get())
        image_->Assign(value);
}

void TSmoothImageListBoxItem::SetLocation(const std::string& value)
{
    if (location_ == value)
        return;
    location_ = value;
    LoadToken.reset();  // a thumbnail of the old file is not wanted
    SetStatus(stInitialized);
    if (IListBoxHost* host = Owner())
        host->SetHasLocations(true);
    Changed();
}

void TSmoothImageListBoxItem::SetCaption(const TSmoothImageListBoxHTMLText* value)
{
    if (!value || value == caption_.get())
        return;
    caption_->Assign(*value);
    CaptionChanged();
}

TGPRectF TSmoothImageListBoxItem::GetImageRectangle() const
{
    return MakeRect(static_cast<float>(ImageRect.X), static_cast<float>(ImageRect.Y),
                    static_cast<float>(ImageRect.Width), static_cast<float>(ImageRect.Height));
}

int TSmoothImageListBoxItem::GetOriginalImageWidth() const
{
    return static_cast<int>(std::nearbyint(SourceWidth));
}

int TSmoothImageListBoxItem::GetOriginalImageHeight() const
{
    return static_cast<int>(std::nearbyint(SourceHeight));
}

TGPRectF TSmoothImageListBoxItem::CellRect() const
{
    const IListBoxHost* host = Owner();
    const TSmoothImageListBoxDisplayList* list = host ? const_cast<IListBoxHost*>(host)->DisplayList() : nullptr;
    if (!list)
        return Cell;
    return TGPRectF{Cell.X - list->OffsetX(), Cell.Y - list->OffsetY(), Cell.Width, Cell.Height};
}

namespace {
// Runs once at a time: emptying the picture announces a change again.
class Reentry {
public:
    explicit Reentry(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
    ~Reentry()
    {
        if (entered_)
            flag_ = false;
    }
    Reentry(const Reentry&) = delete;
    Reentry& operator=(const Reentry&) = delete;
    bool Entered() const { return entered_; }

private:
    bool& flag_;
    bool entered_;
};
}  // namespace

void TSmoothImageListBoxItem::QueueThumbnail(TThumbnailJob&& job)
{
    SetStatus(stInitialized);
    Owner()->QueueThumbnail(*this, std::move(job));
}

void TSmoothImageListBoxItem::ImageChanged()
{
    Reentry guard(inImageChanged_);
    if (!guard.Entered())
        return;
    IListBoxHost* host = Owner();
    if (host && image_ && !image_->Empty()) {
        // The size from the picture's header; the worker decodes the bytes
        // once, scaled to the cell, and tells the size as shown.
        SourceWidth = static_cast<float>(image_->Width());
        SourceHeight = static_cast<float>(image_->Height());
        TThumbnailJob job;
        job.Bytes = std::make_shared<TMemoryStream>();
        // Only the thumbnail stays in memory; a designer keeps the picture
        // to store it with the form.
        if (host->IsDesigning()) {
            job.Bytes->WriteBuffer(image_->Data().Memory(), image_->Data().GetSize());
        } else {
            job.Bytes->Swap(image_->Data());
            image_->Assign(nullptr);
        }
        QueueThumbnail(std::move(job));
        host->SetHasLocations(false);
    }
    Changed();
}

void TSmoothImageListBoxItem::SetDecodedImage(const QImage& image)
{
    IListBoxHost* host = Owner();
    if (!host || image.isNull())
        return;
    SourceWidth = static_cast<float>(image.width());
    SourceHeight = static_cast<float>(image.height());
    TThumbnailJob job;
    job.Image = image;
    QueueThumbnail(std::move(job));
    host->SetHasLocations(false);
    Changed();
}

void TSmoothImageListBoxItem::TakeThumbnail(TThumbnailResult& result)
{
    LoadToken.reset();
    const bool picture = Status() == stInitialized;
    if (result.Outcome != TThumbnailResult::Loaded) {
        if (picture) {
            Thumbnail.reset();
            SetStatus(stLoaded);
        }
        return;
    }
    SourceWidth = result.SourceWidth;
    SourceHeight = result.SourceHeight;
    Thumbnail = std::move(result.Thumbnail);
    ImagePixelFormat = result.PixelFormatValue;
    ImagePixelDepth = result.PixelDepth;
    ImageHasPalette = result.HasPalette;
    ImageHasAlpha = result.HasAlpha;
    LargestThumbWidth = std::max(LargestThumbWidth, result.TargetWidth);
    LargestThumbHeight = std::max(LargestThumbHeight, result.TargetHeight);
    SetStatus(stLoaded);
}

namespace {
// Nearest integer, halves to even.
int RoundEven(float value)
{
    return static_cast<int>(std::nearbyint(value));
}
}  // namespace

void TSmoothImageListBoxItem::Draw(TGPGraphics* graphics, TGPRectF rect, bool zoom)
{
    if (!fVisible)
        return;
    IListBoxHost* host = Owner();
    if (!host)
        return;
    if (host->Hover() && host->HoverItemIndex() == Index()) {
        const float grow = static_cast<float>(host->ItemAppearance()->HoverSize());
        rect.X -= grow / 2;
        rect.Y -= grow / 2;
        rect.Width += grow;
        rect.Height += grow;
    }
    // A picture's new thumbnail is on its way: the old one shows meanwhile.
    const bool shown = Status() == stLoaded || (Status() == stInitialized && LoadToken);
    if (shown && Thumbnail && Thumbnail->GetWidth() > 0 && Thumbnail->GetHeight() > 0) {
        const int tw = static_cast<int>(Thumbnail->GetWidth());
        const int th = static_cast<int>(Thumbnail->GetHeight());
        const TGPRectF area = host->GetItemImageRect(rect);
        if ((area.Width <= 0 || area.Height <= 0) && !Zoomed)
            return;
        int w = 0;
        int h = 0;
        host->GetAspectSize(w, h, RoundEven(area.Width), RoundEven(area.Height), tw, th);
        const TGPRect placed{RoundEven((area.Width - static_cast<float>(w)) / 2 + area.X),
                             RoundEven((area.Height - static_cast<float>(h)) / 2 + area.Y), w, h};
        // While the strip zooms the item it moves ImageRect toward the target.
        if (!zoom)
            ImageRect = placed;
        TargetImageRect = placed;
        graphics->DrawImage(Thumbnail.get(), ImageRect.X, ImageRect.Y, ImageRect.Width, ImageRect.Height);
    } else {
        host->DrawDefaultImage(graphics, Index(), rect);
    }
}

void TSmoothImageListBoxItem::DrawSplitter(TGPGraphics* graphics, TSmoothImageListBoxHTMLText* caption,
                                           const TGPRectF& rect)
{
    if (IListBoxHost* host = Owner())
        host->ItemAppearance()->Splitter()->DrawSplitter(graphics, caption, rect, Collapsed, ExpanderHover,
                                                         ExpanderDown);
}

void TSmoothImageListBoxItem::ExpanderTextRect(TGPGraphics*, const TGPRectF& textRect, TGPRectF& splitterRect)
{
    if (IListBoxHost* host = Owner())
        host->ItemAppearance()->Splitter()->ExpanderTextRect(textRect, splitterRect);
}

void TSmoothImageListBoxItem::DrawExpander(TGPGraphics* graphics, const TGPRectF& rect, int hover, int down)
{
    if (IListBoxHost* host = Owner())
        host->ItemAppearance()->Splitter()->DrawExpander(graphics, rect, Collapsed, hover, down);
}
