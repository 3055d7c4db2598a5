#include "controls/TSmoothImageListBoxBar.h"

#include "controls/IListBoxHost.h"

TSmoothImageListBoxBar::TSmoothImageListBoxBar(IListBoxHost* owner, bool navigatorVisible)
    : owner_(owner),
      fill_(std::make_unique<TGDIPFill>()),
      font_(std::make_unique<TFont>()),
      navigator_(std::make_unique<TSmoothImageListBoxNavigator>(owner))
{
    fill_->OnChange = [this](TGDIPFill*) { Changed(); };
    font_->OnChange = [this] { Changed(); };
    navigator_->OnChange = [this] { Changed(); };
    navigator_->SetVisible(navigatorVisible);
}

TSmoothImageListBoxBar::~TSmoothImageListBoxBar() = default;

void TSmoothImageListBoxBar::SetFont(const TFont* value)
{
    if (value && value != font_.get() && !(*value == *font_)) {
        font_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxBar::SetFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*fill_, value))
        Changed();
}

void TSmoothImageListBoxBar::SetNavigator(const TSmoothImageListBoxNavigator* value)
{
    if (value && value != navigator_.get()) {
        navigator_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxBar::SetVisible(bool value)
{
    if (visible_ == value)
        return;
    visible_ = value;
    owner_->InitListBoxItems();
    Changed();
}

void TSmoothImageListBoxBar::Changed()
{
    if (owner_)
        owner_->Changed();
}

void TSmoothImageListBoxBar::AssignBar(const TSmoothImageListBoxBar& source)
{
    fCaption = source.fCaption;
    fCaptionLocation = source.fCaptionLocation;
    fCaptionTop = source.fCaptionTop;
    fCaptionLeft = source.fCaptionLeft;
    AssignFillQuietly(*fill_, source.fill_.get());
    height_ = source.height_;
    visible_ = source.visible_;
    font_->Assign(*source.font_);
}

void TSmoothImageListBoxHeader::Assign(const TSmoothImageListBoxHeader& source)
{
    if (&source == this)
        return;
    AssignBar(source);
    Changed();
}

void TSmoothImageListBoxFooter::Assign(const TSmoothImageListBoxFooter& source)
{
    if (&source == this)
        return;
    AssignBar(source);
    Navigator()->Assign(*source.Navigator());
    Changed();
}

void TSmoothImageListBoxBar::SetHeight(int value)
{
    if (height_ == value)
        return;
    height_ = value;
    owner_->InitListBoxItems();
    Changed();
}

TGPRectF TSmoothImageListBoxHeader::GetRect() const
{
    const TRect r = owner_->InsideRect();
    const float s = float(owner_->ShadowOffset());
    return TGPRectF{float(r.Left), float(r.Top), float(r.Right - r.Left) - s, float(Height())};
}

TGPRectF TSmoothImageListBoxFooter::GetRect() const
{
    const TRect r = owner_->InsideRect();
    const float s = float(owner_->ShadowOffset());
    return TGPRectF{float(r.Left), float(r.Bottom - Height()) - s, float(r.Right - r.Left) - s, float(Height())};
}
