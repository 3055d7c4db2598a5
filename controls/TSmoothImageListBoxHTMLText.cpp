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
    fText = source.fText;
    fURLColor = source.fURLColor;
    fShadowOffset = source.fShadowOffset;
    {
        // One repaint for the whole copy, below.
        const bool suppressed = SuppressChange;
        SuppressChange = true;
        font_.Assign(source.font_);
        SuppressChange = suppressed;
    }
    fShadowColor = source.fShadowColor;
    fLocation = source.fLocation;
    fLeft = source.fLeft;
    fTop = source.fTop;
    Changed();
}

void TSmoothImageListBoxHTMLText::Changed()
{
    if (!SuppressChange && owner_)
        owner_->Changed();
}

void TSmoothImageListBoxHTMLText::SetFont(const TFont& value)
{
    // An equal font changes nothing; a different one announces itself
    // (FontChanged).
    font_.Assign(value);
}
