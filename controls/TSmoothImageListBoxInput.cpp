// TSmoothImageListBox: keyboard, mouse, navigator buttons, expanders, link
// anchors and hints.
#include <QCursor>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>

#include "controls/GPGraphics.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "controls/TSmoothImageListBoxSplitter.h"
#include "platform/gdiplus/GpObjects.h"

namespace {

constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34,
              VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45,
              VK_DELETE = 46, VK_F1 = 112;

// The key code handlers see for a Qt key; 0 for keys without one.
int VirtualKey(int key)
{
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + (key - Qt::Key_F1);
    // Digits and letters share their codes with Qt's keys.
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;
    return 0;
}

bool Contains(const TGPRectF& r, int x, int y)
{
    return x >= r.X && x < r.X + r.Width && y >= r.Y && y < r.Y + r.Height;
}

std::string UpperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// A graphics object for measuring text outside painting.
class MeasuringGraphics {
public:
    MeasuringGraphics() : image_(1, 1, QImage::Format_ARGB32), painter_(&image_), graphics_(&painter_) {}
    TGPGraphics* operator->() { return &graphics_; }
    TGPGraphics* get() { return &graphics_; }

private:
    QImage image_;
    QPainter painter_;
    TGPGraphics graphics_;
};

}  // namespace

// ---- Geometry of the pointer ------------------------------------------------

bool TSmoothImageListBox::StripMode() const
{
    return FRows > 0 && FColumns == 0;
}

int TSmoothImageListBox::ScrollCoord(int X, int Y) const
{
    if (FRows == 0)
        return Y;
    return FColumns == 0 ? X : 0;
}

int TSmoothImageListBox::ItemEntryCount() const
{
    return FDisplayList->ItemEntryCount();
}

TSmoothImageListBoxDisplayListItem* TSmoothImageListBox::EntryAt(int X, int Y, bool enabledOnly) const
{
    const TGPRectF area = GetDisplayRectangle();
    if (!Contains(area, X, Y))
        return nullptr;
    for (int i = 0; i < FDisplayList->Count(); ++i) {
        TSmoothImageListBoxDisplayListItem* e = FDisplayList->GetItem(i);
        if (e->Item && !e->Item->Splitter() && (!enabledOnly || e->Item->Enabled()) && Contains(e->Rect(), X, Y))
            return e;
    }
    return nullptr;
}

int TSmoothImageListBox::FindItemOnXY(int X, int Y)
{
    const TSmoothImageListBoxDisplayListItem* e = EntryAt(X, Y, true);
    return e ? e->Item->Index() : -1;
}

TGPRectF TSmoothImageListBox::GetItemRectangleOnXY(int X, int Y)
{
    const TSmoothImageListBoxDisplayListItem* e = EntryAt(X, Y, true);
    return e ? e->Rect() : TGPRectF{};
}

int TSmoothImageListBox::BarButton(TSmoothImageListBoxBar* bar, int X, int Y)
{
    TSmoothImageListBoxNavigator* nav = bar->Navigator();
    if (!bar->Visible() || !nav->Visible())
        return -1;
    TGPRectF caption{}, block{};
    GetBarRects(bar, caption, block);
    for (int b = 0; b < 4; ++b)
        if (Contains(nav->GetNavigatorButtonRect(block, b), X, Y))
            return b;
    return -1;
}

int TSmoothImageListBox::HeaderButton(int X, int Y)
{
    return BarButton(Header(), X, Y);
}

int TSmoothImageListBox::FooterButton(int X, int Y)
{
    return BarButton(Footer(), X, Y);
}

bool TSmoothImageListBox::ExpanderButton(int X, int Y, TSmoothImageListBoxItem* item, const TGPRectF& rect)
{
    TSmoothImageListBoxSplitter* splitter = ItemAppearance()->Splitter();
    const std::optional<TGPRectF> r0 = splitter->GetRect(rect);
    if (!r0)
        return false;
    TGPRectF r = *r0;
    TSmoothImageListBoxHTMLText caption(nullptr);
    caption.SuppressChange = true;
    caption.SetLocation(splitter->TextLocation());
    caption.SetFont(*splitter->TextFont());
    caption.SetText(item->SplitterText());
    MeasuringGraphics g;
    const TGPRectF t = FRows == 0 ? GetHTMLTextRect(g.get(), caption, r) : GetTextRect(g.get(), caption, r);
    splitter->ExpanderTextRect(t, r);
    return Contains(splitter->GetExpanderRect(r), X, Y);
}

std::string TSmoothImageListBox::GetAnchorAt(int X, int Y, int& index)
{
    index = -1;
    const TSmoothImageListBoxDisplayListItem* e = EntryAt(X, Y, false);
    if (!e)
        return std::string();
    TSmoothImageListBoxItem* item = e->Item;
    index = item->Index();
    if (!ItemAppearance()->TextVisible())
        return std::string();
    const TGPRectF r = GetItemTextRect(e->Rect());
    MeasuringGraphics g;
    if (item->Status() == stLoaded && !item->Caption()->Text().empty())
        return RenderHTMLText(g.get(), *item->Caption(), item->Caption()->Text(), r, true, X, Y);
    if (!DefaultHTMLText()->Text().empty())
        return RenderHTMLText(g.get(), *DefaultHTMLText(), DefaultHTMLText()->Text(), r, true, X, Y);
    return std::string();
}

// ---- Keyboard ----------------------------------------------------------------

bool TSmoothImageListBox::ProcessKeyDown(int Key, int& index)
{
    const int count = FItems->Count();
    const bool grid = FRows == 0, strip = !grid && FColumns == 0;
    switch (Key) {
    case VK_PRIOR: index = GetFirstVisibleItem(); return true;
    case VK_NEXT: index = GetLastVisibleItem(); return true;
    // An item index: the display list also holds splitters and lacks hidden items.
    case VK_END: index = count - 1; return true;
    case VK_HOME: index = 0; return true;
    case VK_LEFT:
        if (grid)
            index -= 1;
        else if (strip && index - FRows >= 0)
            index -= FRows;
        return true;
    case VK_UP:
        if (grid && index - FColumns >= 0)
            index -= FColumns;
        else if (strip)
            index -= 1;
        return true;
    case VK_RIGHT:
        if (grid)
            index += 1;
        else if (strip && index + FRows <= count - 1)
            index += FRows;
        return true;
    case VK_DOWN:
        if (grid && index + FColumns <= count - 1)
            index += FColumns;
        else if (strip)
            index += 1;
        return true;
    default: return false;
    }
}

void TSmoothImageListBox::Navigate(int Key, Qt::KeyboardModifiers Shift)
{
    const int count = FItems->Count();
    if (FDisplayList->Count() == 0 || count == 0)
        return;
    LookupTicks = 0;
    auto blocked = [&](int i) {
        const TSmoothImageListBoxItem* item = FItems->GetItem(i);
        return !item || item->Splitter() || !item->Enabled();
    };

    if (Key != VK_SPACE) {
        int& current = FMultiSelect ? FFocusedItemIndex : FSelectedItemIndex;
        int index = current;
        if (ProcessKeyDown(Key, index)) {
            if (Key == VK_PRIOR)
                --index;
            else if (Key == VK_NEXT)
                ++index;
            index = std::clamp(index, 0, count - 1);
            // Skip what cannot take the focus; give up when the index stops
            // moving (an edge, End) or every item was passed.
            for (int moves = 0; blocked(index) && moves < count; ++moves) {
                int next = index;
                if (Key == VK_PRIOR)
                    --next;
                else if (Key == VK_NEXT)
                    ++next;
                else
                    ProcessKeyDown(Key, next);
                next = std::clamp(next, 0, count - 1);
                if (next == index)
                    break;
                index = next;
            }
            if (blocked(index) && index == count - 1)
                while (index > 0 && FItems->GetItem(index)->Splitter())
                    --index;
            if (blocked(index) && index == 0)
                while (index < count - 1 && FItems->GetItem(index)->Splitter())
                    ++index;
            if (!blocked(index))
                current = index;
        }
        if (FMultiSelect) {
            if (Shift & Qt::ShiftModifier) {
                for (int i = 0; i < count; ++i)
                    FItems->GetItem(i)->SetSelected(false);
                if (FSelectedItemIndex != -1)
                    for (int i = std::min(FSelectedItemIndex, FFocusedItemIndex);
                         i <= std::max(FSelectedItemIndex, FFocusedItemIndex); ++i)
                        FItems->GetItem(i)->SetSelected(true);
            }
            SelectImage(Key, FFocusedItemIndex, false);
        } else {
            SelectImage(Key, FSelectedItemIndex, true);
            FFocusedItemIndex = FSelectedItemIndex;
        }
        Changed();
    } else if (FMultiSelect) {
        const bool ctrl = Shift & Qt::ControlModifier, shift = Shift & Qt::ShiftModifier;
        if (FFocusedItemIndex == FSelectedItemIndex) {
            DoZoom(-1);
        } else if (!ctrl && !shift) {
            for (int i = 0; i < count; ++i)
                FItems->GetItem(i)->SetSelected(false);
            FSelectedItemIndex = FFocusedItemIndex;
            if (TSmoothImageListBoxItem* item = FItems->GetItem(FSelectedItemIndex))
                item->SetSelected(true);
        }
        if (ctrl) {
            if (TSmoothImageListBoxItem* item = FItems->GetItem(FFocusedItemIndex))
                item->SetSelected(!item->Selected());
        } else if (shift) {
            for (int i = 0; i < count; ++i)
                FItems->GetItem(i)->SetSelected(false);
            if (FSelectedItemIndex != -1 && FFocusedItemIndex != -1)
                for (int i = std::min(FSelectedItemIndex, FFocusedItemIndex);
                     i <= std::max(FSelectedItemIndex, FFocusedItemIndex); ++i)
                    FItems->GetItem(i)->SetSelected(true);
        }
        Changed();
    } else {
        DoZoom(-1);  // Space toggles the zoom of the selected item
    }

    switch (Key) {
    case VK_RETURN: case VK_SPACE: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
        LookupText.clear();
        break;
    default: break;
    }
}

void TSmoothImageListBox::SelectImage(int Key, int& index, bool fire)
{
    const int count = FItems->Count();
    if (count == 0)
        return;
    index = std::clamp(index, 0, count - 1);
    if (fire && OnItemSelect)
        OnItemSelect(this, index);

    const bool strip = StripMode();
    const int headerHeight = Header()->GetHeight(), footerHeight = Footer()->GetHeight();
    const int vh = height() - footerHeight - headerHeight - ShadowOffset();
    if (Key == VK_PRIOR) {
        PositionTo -= strip ? width() : vh;
    } else if (Key == VK_NEXT) {
        PositionTo += strip ? width() : vh;
    } else {
        const TSmoothImageListBoxDisplayListItem* entry = nullptr;
        for (int i = 0; i < FDisplayList->Count() && !entry; ++i)
            if (FDisplayList->GetItem(i)->Item == FItems->GetItem(index))
                entry = FDisplayList->GetItem(i);
        if (entry) {
            const int pos = GetPosition();
            const TSmoothImageListBoxItemAppearance* ap = ItemAppearance();
            if (FRows == 0) {
                const int top = RoundHalfEven(entry->Rect().Y) + pos;
                const int bottom = top + RoundHalfEven(entry->Rect().Height);
                if (bottom - pos > height() - footerHeight)
                    PositionTo = bottom - (height() - footerHeight) + ap->ItemVerticalSpacing();
                else if (pos + headerHeight > top)
                    PositionTo = top - headerHeight - ap->ItemVerticalSpacing();
            } else if (strip) {
                const int left = RoundHalfEven(entry->Rect().X) + pos;
                const int right = left + RoundHalfEven(entry->Rect().Width);
                if (right - pos > width())
                    PositionTo = right - width() + ap->ItemHorizontalSpacing();
                else if (pos > left)
                    PositionTo = left - ap->ItemHorizontalSpacing();
            }
        }
    }
    Position = std::min(GetFullSize(), std::max(0, PositionTo));
    PositionTo = Position;
    ScrollLayout();
}

void TSmoothImageListBox::KeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
    if (Key != 0 && FDisplayList->Count() > 0 && TabStop())
        Navigate(Key, Shift);
}

void TSmoothImageListBox::KeyPress(char& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (!FKeyBoardLookUp || Key == 0)
        return;
    LookupTicks = 0;
    if (Key >= 48 && Key <= 122)
        LookupText += Key;
    else if (Key == VK_BACK && !LookupText.empty())
        LookupText.pop_back();
    else
        return;
    if (LookupText.empty())
        return;

    const std::string wanted = UpperAscii(LookupText);
    for (int i = 0; i < FDisplayList->Count(); ++i) {
        const TSmoothImageListBoxDisplayListItem* e = FDisplayList->GetItem(i);
        if (e->Kind() != ikItem || !e->Item)
            continue;
        if (UpperAscii(GetStrippedHTMLText(*e->Item->Caption())).rfind(wanted, 0) != 0)
            continue;
        AnimateScroll = true;
        const int pos = GetPosition();
        PositionTo = FRows == 0 ? RoundHalfEven(e->Rect().Y) + pos - Header()->GetHeight() : RoundHalfEven(e->Rect().X) + pos;
        FSelectedItemIndex = FFocusedItemIndex = e->Item->Index();
        ScrollSpeed = float(FAnimationFactor);
        Changed();
        return;
    }
    LookupText.clear();
}

void TSmoothImageListBox::keyPressEvent(QKeyEvent* event)
{
    const int pressed = VirtualKey(event->key());
    int key = pressed;
    if (key != 0)
        KeyDown(key, event->modifiers());
    // The typed character comes apart from the key, as the handlers expect.
    const QString text = event->text();
    bool typed = false;
    if (!text.isEmpty() && text.at(0).unicode() < 128) {
        char c = char(text.at(0).unicode());
        KeyPress(c);
        typed = FKeyBoardLookUp && c != 0;
    }
    // Keys the control used stay here; the rest go on to the parent
    // (Escape to a dialog, say).
    int ignored = 0;
    const bool navigation = ProcessKeyDown(pressed, ignored) || pressed == VK_SPACE;
    event->setAccepted(navigation || typed || (pressed != 0 && key == 0));
}

// ---- Mouse ---------------------------------------------------------------

void TSmoothImageListBox::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)
{
    if (!AnyItemZoomed()) {
        MouseIsDown = true;
        LastDragCoord = DragStartCoord = ScrollCoord(X, Y);
        DownTime = TickCount();
        DownX = X;
        DownY = Y;
        const int idx = FindItemOnXY(X, Y);
        if (idx != -1 && OnItemMouseDown)
            OnItemMouseDown(this, idx);
        if (ItemEntryCount() > 1 && FSelectedItemIndex != -1) {
            HeaderDownButton = HeaderButton(X, Y);
            FooterDownButton = FooterButton(X, Y);
            if (HeaderDownButton != -1 || FooterDownButton != -1)
                Changed();
        }
        if (ItemAppearance()->Splitter()->Expander()) {
            for (int i = 0; i < FDisplayList->Count(); ++i) {
                TSmoothImageListBoxDisplayListItem* e = FDisplayList->GetItem(i);
                if (e->Kind() == ikSplitter && e->Item && ExpanderButton(X, Y, e->Item, e->Rect())) {
                    e->Item->ExpanderDown = 1;
                    Changed();
                    break;
                }
            }
        }
    }
    int index = -1;
    const std::string anchor = GetAnchorAt(X, Y, index);
    if (!anchor.empty() && index >= 0 && index < FItems->Count() && OnItemAnchorClick)
        OnItemAnchorClick(this, index, anchor);
}

void TSmoothImageListBox::MouseMove(Qt::KeyboardModifiers, int X, int Y)
{
    int anchorIndex = -1;
    const bool overLink = !GetAnchorAt(X, Y, anchorIndex).empty() && anchorIndex >= 0;
    if (overLink)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    if (AnyItemZoomed())
        return;

    const int c = ScrollCoord(X, Y);
    if (MouseIsDown) {
        if (!(c - 2 <= LastDragCoord && LastDragCoord <= c + 2)) {
            // The content follows the pointer.
            ScrollSpeed = 4.0f;
            AnimateScroll = false;
            FHoverItemIndex = -1;
            const int d = std::abs(c - LastDragCoord);
            Position = c <= LastDragCoord ? GetPosition() + d : GetPosition() - d;
            LastDragCoord = c;
            PositionTo = GetPosition();
            ScrollLayout();
            Changed();
        }
    } else if (FlickPending) {
        FlickPending = false;
        const int64_t held = UpTime - DownTime;
        if (held > 0 && held <= 500) {
            const int d = std::abs(c - DragStartCoord);
            ScrollSpeed = float(d) / float(held);
            if (ScrollSpeed > 0) {
                const int momentum = RoundHalfEven(d * double(ScrollSpeed));
                PositionTo += c <= DragStartCoord ? momentum : -momentum;
            }
        }
    }

    if (!Animating && FHover) {
        const int idx = FindItemOnXY(X, Y);
        if (idx != -1 && idx != FHoverItemIndex) {
            // Leaving one cell for the next ends the first hover before the
            // second begins, so each hover gets one enter and one leave.
            if (MouseInsideIndex != -1 && MouseInsideIndex != idx && OnItemMouseLeave)
                OnItemMouseLeave(this, MouseInsideIndex);
            FHoverItemIndex = idx;
            if (MouseInsideIndex != idx) {
                MouseInsideIndex = idx;
                if (OnItemMouseEnter)
                    OnItemMouseEnter(this, idx);
            }
            ShowHint(X, Y);
            Changed();
        } else if (idx == -1) {
            EndItemHover();
        }
    }

    if (ItemEntryCount() > 1 && FSelectedItemIndex != -1) {
        const int h = HeaderButton(X, Y), f = FooterButton(X, Y);
        if (h != HeaderHoverButton || f != FooterHoverButton) {
            HeaderHoverButton = h;
            FooterHoverButton = f;
            ShowHint(X, Y);
            Changed();
        }
    }

    if (ItemAppearance()->Splitter()->Expander()) {
        for (int i = 0; i < FDisplayList->Count(); ++i) {
            TSmoothImageListBoxDisplayListItem* e = FDisplayList->GetItem(i);
            if (e->Kind() != ikSplitter || !e->Item)
                continue;
            const int state = ExpanderButton(X, Y, e->Item, e->Rect()) ? 1 : -1;
            if (state != e->Item->ExpanderHover) {
                e->Item->ExpanderHover = state;
                Changed();
                break;
            }
        }
    }
}

void TSmoothImageListBox::EndItemHover()
{
    if (MouseInsideIndex != -1) {
        const int left = MouseInsideIndex;
        MouseInsideIndex = -1;
        if (OnItemMouseLeave)
            OnItemMouseLeave(this, left);
    }
    if (FHoverItemIndex != -1) {
        FHoverItemIndex = -1;
        QToolTip::hideText();
        Changed();
    }
}

void TSmoothImageListBox::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (AnyItemZoomed()) {
        if (!AnimateZoom)
            DoZoom(-1);  // any release zooms out
        return;
    }
    const int c = ScrollCoord(X, Y);
    const int full = GetFullSize();
    if (Animating && (FRows == 0 ? full >= height() : full >= width())) {
        AnimateScroll = false;
        DragStartCoord = PositionTo = Position = GetPosition();
        DownTime = UpTime = 0;
    }
    HeaderDownButton = FooterDownButton = HeaderHoverButton = FooterHoverButton = -1;
    for (int i = 0; i < FItems->Count(); ++i) {
        FItems->GetItem(i)->ExpanderHover = -1;
        FItems->GetItem(i)->ExpanderDown = -1;
    }
    MouseIsDown = false;
    FlickPending = true;
    UpTime = TickCount();
    AnimateScroll = UpTime - DownTime > 0;
    if (std::abs(c - DragStartCoord) >= 2) {
        ScrollSpeed = 4.0f;  // a drag, not a click
        return;
    }

    if (ItemAppearance()->Splitter()->Expander()) {
        for (int i = 0; i < FDisplayList->Count(); ++i) {
            TSmoothImageListBoxDisplayListItem* e = FDisplayList->GetItem(i);
            if (e->Kind() == ikSplitter && e->Item && ExpanderButton(X, Y, e->Item, e->Rect())) {
                TSmoothImageListBoxItem* item = e->Item;
                item->SetSplitterState(item->SplitterState() == stCollapsed ? stExpanded : stCollapsed);
                break;
            }
        }
    }

    const int count = FItems->Count();
    int b = HeaderButton(X, Y);
    if (b == -1)
        b = FooterButton(X, Y);
    bool refused = false;
    if (b != -1 && ItemEntryCount() > 1 && FSelectedItemIndex != -1) {
        static const TSmoothImageListBoxNavigationMode modes[] = {nmPriorPage, nmPrior, nmNext, nmNextPage};
        const bool grid = FRows == 0;
        const int keys[] = {VK_PRIOR, grid ? VK_LEFT : VK_UP, grid ? VK_RIGHT : VK_DOWN, VK_NEXT};
        bool allow = true;
        if (OnNavigate)
            OnNavigate(this, modes[b], allow);
        if (allow) {
            if (b <= 1 ? FSelectedItemIndex >= 1 : FSelectedItemIndex < count - 1)
                Navigate(keys[b], Shift);
            if (OnItemMouseUp)
                OnItemMouseUp(this, FSelectedItemIndex);
            return;
        }
        refused = true;
    }
    if (!refused) {
        const TSmoothImageListBoxDisplayListItem* e = EntryAt(X, Y, false);
        if (!e) {
            if (FSelectedItemIndex != -1) {
                FSelectedItemIndex = -1;
                Changed();
            }
        } else if (e->Item->Enabled()) {
            const int idx = e->Item->Index();
            if (FMultiSelect && (Shift & Qt::ShiftModifier)) {
                for (int i = 0; i < count; ++i)
                    FItems->GetItem(i)->SetSelected(false);
                if (FSelectedItemIndex != -1)
                    for (int i = std::min(FSelectedItemIndex, idx); i <= std::max(FSelectedItemIndex, idx); ++i)
                        FItems->GetItem(i)->SetSelected(true);
            } else if (FMultiSelect && (Shift & Qt::ControlModifier)) {
                e->Item->SetSelected(!e->Item->Selected());
            } else {
                if (FMultiSelect)
                    for (int i = 0; i < count; ++i)
                        FItems->GetItem(i)->SetSelected(false);
                FSelectedItemIndex = FFocusedItemIndex = idx;
                FItems->GetItem(idx)->SetSelected(true);
            }
        }
    }
    if (FSelectedItemIndex != -1 && FDisplayList->Count() > 0 && count > 0) {
        FlickPending = false;
        const int selected = FSelectedItemIndex;
        if (OnItemClick)
            OnItemClick(this, selected, Button, Shift);
        if (OnItemSelect)
            OnItemSelect(this, selected);
        if (OnItemMouseUp)
            OnItemMouseUp(this, selected);
        Changed();
    }
}

void TSmoothImageListBox::DblClick(int X, int Y)
{
    if (OnDblClick)
        OnDblClick(this);
    if (!AnyItemZoomed() && FSelectedItemIndex != -1 && FindItemOnXY(X, Y) != -1 && OnItemDblClick)
        OnItemDblClick(this, FSelectedItemIndex);
    if (FZoomOnDblClick && Contains(GetDisplayRectangle(), X, Y))
        DoZoom(-1);
}

void TSmoothImageListBox::mousePressEvent(QMouseEvent* event)
{
    const int X = int(event->position().x()), Y = int(event->position().y());
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), X, Y);
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    MouseDown(event->button(), event->modifiers(), X, Y);
    event->accept();
}

void TSmoothImageListBox::mouseMoveEvent(QMouseEvent* event)
{
    const int X = int(event->position().x()), Y = int(event->position().y());
    if (OnMouseMove)
        OnMouseMove(this, event->modifiers(), X, Y);
    MouseMove(event->modifiers(), X, Y);
}

void TSmoothImageListBox::mouseReleaseEvent(QMouseEvent* event)
{
    const int X = int(event->position().x()), Y = int(event->position().y());
    if (OnMouseUp)
        OnMouseUp(this, event->button(), event->modifiers(), X, Y);
    MouseUp(event->button(), event->modifiers(), X, Y);
    if (OnClick && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OnClick(this);
}

void TSmoothImageListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt sends press, release, double click, release: the double click is
    // also the second press.
    const int X = int(event->position().x()), Y = int(event->position().y());
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), X, Y);
    MouseDown(event->button(), event->modifiers(), X, Y);
    DblClick(X, Y);
    event->accept();
}

void TSmoothImageListBox::enterEvent(QEnterEvent* event)
{
    MouseIsDown = false;
    FlickPending = false;
    if (OnMouseEnter)
        OnMouseEnter(this);
    QWidget::enterEvent(event);
}

void TSmoothImageListBox::leaveEvent(QEvent* event)
{
    MouseIsDown = false;
    FlickPending = false;
    EndItemHover();
    QToolTip::hideText();
    Changed();
    if (OnMouseLeave)
        OnMouseLeave(this);
    QWidget::leaveEvent(event);
}

void TSmoothImageListBox::focusInEvent(QFocusEvent* event)
{
    FHasFocus = true;
    Changed();
    if (OnEnter)
        OnEnter(this);
    QWidget::focusInEvent(event);
}

void TSmoothImageListBox::focusOutEvent(QFocusEvent* event)
{
    FHoverItemIndex = -1;
    QToolTip::hideText();
    FHasFocus = false;
    Changed();
    if (OnExit)
        OnExit(this);
    QWidget::focusOutEvent(event);
}

// ---- Hints -------------------------------------------------------------------

std::string TSmoothImageListBox::HintAt(int X, int Y)
{
    std::string hint = toolTip().toStdString();
    const int idx = FindItemOnXY(X, Y);
    if (idx != -1) {
        const std::string& itemHint = FItems->GetItem(idx)->Hint();
        if (!itemHint.empty()) {
            hint = itemHint;
            if (OnItemHint)
                OnItemHint(this, idx, hint);
        }
    }
    auto navigatorHint = [&hint](TSmoothImageListBoxNavigator* nav, int button) {
        switch (button) {
        case 0: hint = nav->HintPreviousPage(); break;
        case 1: hint = nav->HintPrevious(); break;
        case 2: hint = nav->HintNext(); break;
        case 3: hint = nav->HintNextPage(); break;
        default: break;
        }
    };
    navigatorHint(Footer()->Navigator(), FooterHoverButton);
    navigatorHint(Header()->Navigator(), HeaderHoverButton);
    return hint;
}

void TSmoothImageListBox::ShowHint(int X, int Y)
{
    // Shown at once, not after the usual delay.
    const std::string hint = HintAt(X, Y);
    if (hint.empty())
        QToolTip::hideText();
    else
        QToolTip::showText(mapToGlobal(QPoint(X, Y)), QString::fromStdString(hint), this);
}
