#pragma once
// The bars above (header) and below (footer) the strip's items: a caption,
// a fill, a height and a navigator.
#include <functional>
#include <memory>
#include <string>

#include "controls/DrawingHelpers.h"
#include "controls/Font.h"
#include "controls/GDIPFill.h"
#include "controls/ListBoxProperty.h"
#include "controls/TSmoothImageListBoxNavigator.h"

class IListBoxHost;

class TSmoothImageListBoxBar {
public:
    TSmoothImageListBoxBar(const TSmoothImageListBoxBar&) = delete;
    TSmoothImageListBoxBar& operator=(const TSmoothImageListBoxBar&) = delete;
    virtual ~TSmoothImageListBoxBar();

    VELMORA_LISTBOX_PROPERTY(std::string, Caption, std::string())
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxLocation, CaptionLocation, cpCenterCenter)
    VELMORA_LISTBOX_PROPERTY(int, CaptionLeft, 0)
    VELMORA_LISTBOX_PROPERTY(int, CaptionTop, 0)

public:
    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* value);
    TGDIPFill* Fill() const { return fill_.get(); }
    void SetFill(const TGDIPFill* value);
    TSmoothImageListBoxNavigator* Navigator() const { return navigator_.get(); }
    void SetNavigator(const TSmoothImageListBoxNavigator* value);
    int Height() const { return height_; }
    // Relayouts the list box, so that the rows follow at once.
    void SetHeight(int value);
    bool Visible() const { return visible_; }
    // Relayouts the list box: a hidden bar gives its room to the items.
    void SetVisible(bool value);

    std::function<void()> OnChange;  // published; never fired

    // Repaints the list box.
    void Changed();
    // Height when visible, else 0.
    int GetHeight() const { return visible_ ? height_ : 0; }
    // The bar's rectangle in the list box.
    virtual TGPRectF GetRect() const = 0;

protected:
    TSmoothImageListBoxBar(IListBoxHost* owner, bool navigatorVisible);
    // Everything but the navigator; Changed is left to the caller.
    void AssignBar(const TSmoothImageListBoxBar& source);

    IListBoxHost* owner_;
    int height_ = 50;
    bool visible_ = true;

private:
    std::unique_ptr<TGDIPFill> fill_;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TSmoothImageListBoxNavigator> navigator_;
};

class TSmoothImageListBoxHeader : public TSmoothImageListBoxBar {
public:
    explicit TSmoothImageListBoxHeader(IListBoxHost* owner) : TSmoothImageListBoxBar(owner, false) {}
    // Leaves this header's navigator alone.
    void Assign(const TSmoothImageListBoxHeader& source);
    TGPRectF GetRect() const override;
};

class TSmoothImageListBoxFooter : public TSmoothImageListBoxBar {
public:
    explicit TSmoothImageListBoxFooter(IListBoxHost* owner) : TSmoothImageListBoxBar(owner, true) {}
    // Copies the navigator too.
    void Assign(const TSmoothImageListBoxFooter& source);
    TGPRectF GetRect() const override;
};
