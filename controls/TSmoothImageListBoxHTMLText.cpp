#include "controls/TSmoothImageListBoxHTMLText.h"

#include "controls/IListBoxHost.h"

TSmoothImageListBoxHTMLText::TSmoothImageListBoxHTMLText(IListBoxHost* owner) : owner_(owner)
{
    font_.OnChange = [this] { FontChanged(); };
}

void TSmoothImageListBoxHTMLText::Assign(const TSmoothImageListBoxHTMLText& source)
{
    if (&source == this)
        return;
    text_ = source.text_;
    urlColor_ = source.urlColor_;
    shadowOffset_ = source.shadowOffset_;
    {
        // One repaint for the whole copy, below.
        const bool suppressed = SuppressChange;
        SuppressChange = true;
        font_.Assign(source.font_);
        SuppressChange = suppressed;
    }
    shadowColor_ = source.shadowColor_;
    location_ = source.location_;
    left_ = source.left_;
    top_ = source.top_;
    Changed();
}

void TSmoothImageListBoxHTMLText::Changed()
{
    if (!SuppressChange && owner_)
        owner_->Changed();
}

namespace {
template <typename T>
bool Store(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
}  // namespace

void TSmoothImageListBoxHTMLText::SetText(const std::string& value)
{
    if (Store(text_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetLocation(TSmoothImageListBoxLocation value)
{
    if (Store(location_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetTop(int value)
{
    if (Store(top_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetLeft(int value)
{
    if (Store(left_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetURLColor(TColor value)
{
    if (Store(urlColor_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetShadowColor(TColor value)
{
    if (Store(shadowColor_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetShadowOffset(int value)
{
    if (Store(shadowOffset_, value))
        Changed();
}

void TSmoothImageListBoxHTMLText::SetFont(const TFont& value)
{
    // An equal font changes nothing; a different one announces itself
    // (FontChanged).
    font_.Assign(value);
}
