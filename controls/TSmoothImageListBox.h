#pragma once
// TSmoothImageListBox: the scrollable, animated strip (Rows > 0) or grid
// (Columns > 0) of thumbnail items, drawn with the GDI+ layer into Qt's
// backing store. It owns its items, appearance, header, footer, fills, the
// scroll bar, the animation timer and the thumbnail loader thread.
//
// Main thread only: the control and its items are driven from the GUI
// thread; the thumbnail workers touch neither (they get their jobs as
// values and hand the thumbnails back through a queued call).
//
// The class is split over several files:
//   TSmoothImageListBox.cpp        properties, parts, folder import, loader start/stop
//   TSmoothImageListBoxLayout.cpp  layout, scroll range, wheel, scroll bar, animation
//   TSmoothImageListBoxPaint.cpp   painting
//   TSmoothImageListBoxInput.cpp   keyboard, mouse, navigator, hints
//   TSmoothImageListBoxStyles.cpp  colour schemes
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/Colors.h"
#include "controls/DrawingHelpers.h"
#include "controls/GDIPPictureContainer.h"
#include "controls/GPValues.h"
#include "controls/IListBoxHost.h"
#include "controls/ImageList.h"
#include "controls/StyleIF.h"

struct MarkupParams;
class QPainter;
class QScrollBar;
class QTimer;
class TGDIPFill;
class TGDIPPicture;
class TGPBitmap;
class TGPGraphics;
class TImageLoaderThread;
class TSmoothImageListBoxBar;
class TSmoothImageListBoxDisplayList;
class TSmoothImageListBoxDisplayListItem;
class TSmoothImageListBoxFooter;
class TSmoothImageListBoxHeader;
class TSmoothImageListBoxHTMLText;
class TSmoothImageListBoxItem;
class TSmoothImageListBoxItemAppearance;
class TSmoothImageListBoxItems;
class TSmoothImageListBoxTopLayerItems;
class TThumbnailWorkers;
struct TThumbnailDone;
struct TThumbnailJob;

enum TSmoothImageListBoxZoomMode : int { zmFullScreen, zmAspectRatio };
// Which items the loader thread takes: all, those in view, those in view
// once scrolling has stopped.
enum TSmoothImageThreadLoading : int { tlAll, tlOnDemand, tlOnDemandAfterAnimation };
enum TSmoothImageListBoxNavigationMode : int { nmNone, nmPrior, nmPriorPage, nmNext, nmNextPage };

// Events. Sender is the list box; "var" arguments are references.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TItemEvent = std::function<void(QObject* Sender, int itemindex)>;
using TItemClickEvent =
    std::function<void(QObject* Sender, int itemindex, Qt::MouseButton Button, Qt::KeyboardModifiers Shift)>;
using TItemZoomEvent = std::function<void(QObject* Sender, int itemindex, bool& allow)>;
using TItemHintEvent = std::function<void(QObject* Sender, int itemindex, std::string& hint)>;
using TItemAnchorEvent = std::function<void(QObject* Sender, int itemindex, const std::string& Anchor)>;
using TItemDisplayTextEvent = std::function<void(QObject* Sender, int itemindex, std::string& text)>;
using TNavigateEvent = std::function<void(QObject* Sender, TSmoothImageListBoxNavigationMode mode, bool& allow)>;
using TScrollEvent = std::function<void(QObject* Sender, int scrollposition)>;
// Key is the virtual-key code (33 Page Up ... 40 Down, 46 Delete); a handler
// may change it or set it to 0 to swallow the key.
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, char& Key)>;
using TMouseEvent =
    std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

class TSmoothImageListBox : public QWidget, public IListBoxHost {
    Q_OBJECT  // for findChild / qobject_cast on forms that hold the strip
public:
    explicit TSmoothImageListBox(QWidget* parent = nullptr);
    ~TSmoothImageListBox() override;

    // ---- Properties -------------------------------------------------------
    int AnimationFactor() const { return FAnimationFactor; }
    void SetAnimationFactor(int value);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* value) { FImages = value; }
    TGDIPPictureContainer* PictureContainer() const { return FPictureContainer; }
    void SetPictureContainer(TGDIPPictureContainer* value) { FPictureContainer = value; }
    // "1.1.6.1".
    std::string Version() const;
    int SelectedItemIndex() const override { return FSelectedItemIndex; }
    void SetSelectedItemIndex(int value);

    // Owned parts: the getter gives the part, the setter copies another one
    // into it (the control keeps owning its own).
    TSmoothImageListBoxItems* Items() override { return FItems.get(); }
    void SetItems(const TSmoothImageListBoxItems& value);
    TSmoothImageListBoxTopLayerItems* TopLayerItems() const { return FTopLayerItems.get(); }
    void SetTopLayerItems(const TSmoothImageListBoxTopLayerItems& value);
    TSmoothImageListBoxItemAppearance* ItemAppearance() override { return FItemAppearance.get(); }
    void SetItemAppearance(const TSmoothImageListBoxItemAppearance& value);
    TSmoothImageListBoxHeader* Header() override { return FHeader.get(); }
    void SetHeader(const TSmoothImageListBoxHeader& value);
    TSmoothImageListBoxFooter* Footer() override { return FFooter.get(); }
    void SetFooter(const TSmoothImageListBoxFooter& value);
    TGDIPFill* Fill() const { return FFill.get(); }
    void SetFill(const TGDIPFill& value);
    TGDIPPicture* DefaultImage() const { return FDefaultImage.get(); }
    void SetDefaultImage(const TGDIPPicture& value);
    TSmoothImageListBoxHTMLText* DefaultHTMLText() const { return FDefaultHTMLText.get(); }
    void SetDefaultHTMLText(const TSmoothImageListBoxHTMLText& value);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    // Columns and Rows exclude each other: setting one non-zero clears the other.
    int Columns() const override { return FColumns; }
    void SetColumns(int value);
    int Rows() const override { return FRows; }
    void SetRows(int value);
    TSmoothImageThreadLoading ThreadLoading() const { return FThreadLoading; }
    void SetThreadLoading(TSmoothImageThreadLoading value);
    bool ZoomOnDblClick() const { return FZoomOnDblClick; }
    void SetZoomOnDblClick(bool value);
    TSmoothImageListBoxZoomMode ZoomMode() const { return FZoomMode; }
    void SetZoomMode(TSmoothImageListBoxZoomMode value);
    bool ZoomOnTop() const { return FZoomOnTop; }
    void SetZoomOnTop(bool value);
    bool KeyBoardLookUp() const { return FKeyBoardLookUp; }
    void SetKeyBoardLookUp(bool value);
    bool ShowScrollBar() const { return FShowScrollBar; }
    void SetShowScrollBar(bool value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    bool Hover() const override { return FHover; }
    void SetHover(bool value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool ShowFocus() const override { return FShowFocus; }
    void SetShowFocus(bool value) { FShowFocus = value; }
    TColor FocusColor() const override { return FFocusColor; }
    void SetFocusColor(TColor value);
    // TabStop: the control takes the focus by Tab (and asks for the arrow keys).
    bool TabStop() const override;
    void SetTabStop(bool value);

    // ---- Events ------------------------------------------------------------
    TItemEvent OnItemSelect;
    TItemClickEvent OnItemClick;
    TItemEvent OnItemMouseDown;
    TItemEvent OnItemMouseUp;
    TItemEvent OnItemMouseEnter;
    TItemEvent OnItemMouseLeave;
    TItemEvent OnItemDblClick;
    TItemZoomEvent OnItemZoomIn;
    TItemZoomEvent OnItemZoomOut;
    TItemEvent OnItemZoomedIn;
    TItemEvent OnItemZoomedOut;
    TItemHintEvent OnItemHint;
    TItemAnchorEvent OnItemAnchorClick;
    TItemDisplayTextEvent OnItemGetDisplayText;
    TNavigateEvent OnNavigate;
    TScrollEvent OnScroll;
    // The class library's own events the program hooks.
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;

    // ---- Operations --------------------------------------------------------
    // The owner calls it once after setting the form's values: builds the
    // default-image bitmap and every item's thumbnail.
    void Loaded();
    // Copies the settings of another list box (not its ItemAppearance).
    void Assign(const TSmoothImageListBox& source);

    void CollapseAll();
    void ExpandAll();
    // Captions are drawn with every occurrence of text highlighted ("hi") or
    // marked ("e"); DoCase makes the search case-sensitive.
    void Highlight(bool DoCase, const std::string& text);
    void Mark(bool DoCase, const std::string& text);
    void UnHighlight();
    void UnMark();
    void LoadFromTheme(const std::string&) {}
    void SaveToTheme(const std::string&) {}
    std::string GetThemeID() const { return "TSmoothImageListBox"; }

    // ---- Colour schemes (TSmoothImageListBoxStyles.cpp; issue-25l) ----------
    // Recolours background, bars, item fills, navigators and splitter by a
    // named scheme; tsCustom only turns the splitter gradient with the mode.
    void SetComponentStyle(TControlStyle style);
    // ---- end of colour schemes ----------------------------------------------

    // ---- Keyboard, mouse and navigation (TSmoothImageListBoxInput.cpp; issue-25l)
    // Key codes are the virtual-key codes of TKeyEvent. ProcessKeyDown moves
    // index by a navigation key and says whether it was one; Navigate moves
    // the selection (or focus) past splitters and disabled items and keeps it
    // where it was when none can take it; SelectImage scrolls the item into
    // view and, with fire, reports it through OnItemSelect.
    bool ProcessKeyDown(int Key, int& index);
    void Navigate(int Key, Qt::KeyboardModifiers Shift);
    void SelectImage(int Key, int& index, bool fire);
    // The enabled, non-splitter item under the point in the items area; -1
    // (an empty rectangle) when none.
    int FindItemOnXY(int X, int Y);
    TGPRectF GetItemRectangleOnXY(int X, int Y);
    // The link anchor of the caption under the point; index is the item there.
    std::string GetAnchorAt(int X, int Y, int& index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    void KeyDown(int& Key, Qt::KeyboardModifiers Shift);
    void KeyPress(char& Key);
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void MouseMove(Qt::KeyboardModifiers Shift, int X, int Y);
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void DblClick(int X, int Y);
    // Navigator button 0..3 under the point, -1 when none.
    int HeaderButton(int X, int Y);
    int FooterButton(int X, int Y);
    int BarButton(TSmoothImageListBoxBar* bar, int X, int Y);
    // Whether the point is on the expander of the splitter item in rect.
    bool ExpanderButton(int X, int Y, TSmoothImageListBoxItem* item, const TGPRectF& rect);
    // The entry of the (enabled, with enabledOnly) non-splitter item under
    // the point in the items area.
    TSmoothImageListBoxDisplayListItem* EntryAt(int X, int Y, bool enabledOnly) const;
    bool StripMode() const;
    // X in a strip, Y in a grid, 0 with both Rows and Columns set.
    int ScrollCoord(int X, int Y) const;
    int ItemEntryCount() const;
    // Fires the leave of the hovered item and forgets the hover.
    void EndItemHover();
    std::string HintAt(int X, int Y);
    void ShowHint(int X, int Y);
    // The item whose hover began with an enter event (-1: none).
    int MouseInsideIndex = -1;

public:
    // ---- end of keyboard, mouse and navigation ------------------------------

    // Adds an item per file matching the mask ("/dir/*.jpg"), loading its
    // picture at once, or only naming it for the loader thread. Folders are
    // skipped. Throws nothing: a folder that cannot be read adds nothing.
    void AddImagesFromFolder(const std::string& pathMask, bool WithCaption);
    void AddImageLocationsFromFolder(const std::string& pathMask, bool WithCaption);

    // The loader. StartThread starts one when the window exists, none runs
    // and the control is not being destroyed, and has it queue what is
    // wanted; StopThread drops it (thumbnails being made still come).
    void StartThread() override;
    void StopThread() override;
    bool ThreadRunning() const { return LoaderThread != nullptr; }
    void QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job) override;
    // Returns once every thumbnail that is queued or wanted now is stored
    // (for callers that show or render the strip at once, and for tests).
    void WaitForThumbnails();
    TThumbnailWorkers& Workers();

    // ---- Layout, scrolling and zoom ----------------------------------------
    // Recomputes the display list (the items' cells) and places the scroll bar.
    void InitListBoxItems() override;
    // Repaints.
    void Changed() override;
    // The largest scroll offset.
    virtual int GetFullSize();
    // The scroll offset after overscroll clamping and pinning.
    int GetPosition();
    // The animation target, clamped into [0, GetFullSize].
    int GetPositionTo();
    // Jumps so that the item's cell starts at the leading edge.
    void ScrollToItem(int index);
    // Zooms the item (-1: the selected one) in, or every zoomed item out.
    void DoZoom(int index);
    // One animation step: the timer's tick, callable directly.
    void Tick();
    // The clock (milliseconds) of mouse presses and releases; tests replace it.
    std::function<int64_t()> TickCount;

    TRect InsideRect() const override;
    // The items area.
    TGPRectF GetDisplayRectangle() const;
    // Whether the rectangle meets the client area.
    bool GetItemIsVisible(const TGPRectF& r) const;
    // The index of the first / last enabled item in view, 0 when none.
    int GetFirstVisibleItem() override;
    int GetLastVisibleItem();
    // How many rows (columns) the laid-out entries span.
    int GetRowCount() const;
    int GetColumnCount() const;
    int ShadowOffset() const override;
    // The outer border as the layout counts it (0 without border colour).
    int BorderWidth() const;
    int ScrollBarThickness() const override;
    QScrollBar* ScrollBar() const { return FScrollBar; }

    void GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                       int imageHeight) override;
    // The same rule without the control (for the loader's worker): with
    // aspectRatio off the box; (0, 0) for a size that is not positive; an
    // image smaller both ways keeps its size when shrinkOnly; otherwise the
    // image fitted into the box. Note the order: widths before heights.
    static void FitAspectSize(bool aspectRatio, bool shrinkOnly, int& width, int& height, int boxWidth,
                              int boxHeight, int imageWidth, int imageHeight);
    TGPRectF GetItemImageRect(const TGPRectF& cell) override;
    TGPRectF GetItemTextRect(const TGPRectF& cell);

    // ---- What the parts ask of the control ---------------------------------
    TSmoothImageListBoxDisplayList* DisplayList() override { return FDisplayList.get(); }
    int HoverItemIndex() const override { return FHoverItemIndex; }
    int FocusedItemIndex() const { return FFocusedItemIndex; }
    bool HasFocus() const override { return FHasFocus; }
    bool IsDesigning() const override { return false; }
    // The items are inside BeginUpdate / EndUpdate.
    bool ItemsUpdating() const;
    bool HasLocations() const override { return FHasLocations; }
    void SetHasLocations(bool value) override { FHasLocations = value; }
    bool LoadRestart() const override { return FLoadRestart; }
    void SetLoadRestart(bool value) override { FLoadRestart = value; }
    int LoadStartIndex() const override { return FLoadStartIndex; }
    void SetLoadStartIndex(int value) override { FLoadStartIndex = value; }
    std::string GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text) override;
    void DrawDefaultImage(TGPGraphics* graphics, int itemIndex, const TGPRectF& rect) override;
    void DrawHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    TGPRectF GetHTMLTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                             const TGPRectF& r) override;
    void DrawText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) override;
    TGPRectF GetTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                         const TGPRectF& r) override;
    // Lays out the caption (with str as its text) in r and draws it unless
    // checkOnly; returns the link anchor at (x, y), empty when none.
    std::string RenderHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                               const std::string& str, const TGPRectF& r, bool checkOnly, int x = -1, int y = -1);

    // Where a header's or footer's caption and navigator are drawn.
    void GetBarRects(TSmoothImageListBoxBar* bar, TGPRectF& caption, TGPRectF& navigator);

    // The index of the item whose image is being painted, -1 outside.
    int GetDrawingItemIndex() const { return DrawingItemIndex; }
    // The last scroll step still moved.
    bool IsAnimating() const { return Animating; }
    bool IsItemsInitialized() const { return ItemsInitialized; }
    bool IsDesignPreview() const { return DesignPreview; }

protected:
    // ---- Qt events ---------------------------------------------------------
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The animation timer runs while the control is shown and something
    // animates; input (which may start an animation) wakes it.
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void WakeTimer();
    // Nothing scrolls, zooms or waits for the lookup to expire.
    bool Idle();
    void wheelEvent(QWheelEvent* event) override;

    // Runs an event's work; what it throws (a handler's exception) is
    // reported and goes no further than the event.
    static void Guarded(const std::function<void()>& work);
    // Runs at the first show: starts the loader thread.
    void CreateWnd();
    void Resize();

    // ---- Painting ----------------------------------------------------------
    void Paint(QPainter& painter);
    void DrawBackGround(TGPGraphics* graphics);
    void DrawItems(TGPGraphics* graphics);
    void DrawZoomedItems(TGPGraphics* graphics);
    void DrawHeader(TGPGraphics* graphics);
    void DrawFooter(TGPGraphics* graphics);
    void DrawTopLayerItems(TGPGraphics* graphics);
    // Places the scroll bar and fires OnScroll.
    void SetScrollBarPosition();
    void ScrollBarScroll(int position);

    void StepZoom();
    // Display positions of the first / last enabled item in view, -1 when none.
    int FirstVisibleEntry() const;
    int LastVisibleEntry() const;
    bool AnyItemZoomed() const;

    void InitDefaultImage();
    // Stores what the workers made; GUI thread.
    void StoreThumbnails(std::vector<TThumbnailDone>& batch);
    // Has the loader (when one runs) queue what is wanted now.
    void ScheduleLoads();
    // After Position alone changed: the laid-out cells stay, shown at the
    // new offset.
    void ScrollLayout();
    // Display positions of the entries that can meet the items area.
    void EntriesInView(int& first, int& end) const;
    // The renderer's input for a caption object showing str in r (measuring only).
    MarkupParams CaptionParams(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                               const std::string& str, const TGPRectF& r) const;

    // ---- State (named as the control's documentation names it) -------------
    int Position = 0;
    int PositionTo = 0;
    // The scroll offset the display list was laid out with.
    int LayoutPosition = 0;
    float ScrollSpeed = 0;
    bool Animating = false;
    bool AnimateScroll = false;
    bool AnimateZoom = false;
    // An item was zoomed since painting last found none zoomed.
    bool ZoomSeen = false;
    int FFocusedItemIndex = -1;
    int FHoverItemIndex = -1;
    int HeaderHoverButton = -1;
    int FooterHoverButton = -1;
    int HeaderDownButton = -1;
    int FooterDownButton = -1;
    bool MouseIsDown = false;
    bool FlickPending = false;
    int64_t DownTime = 0;
    int64_t UpTime = 0;
    int LastDragCoord = 0;
    int DragStartCoord = 0;
    int DownX = 0;
    int DownY = 0;
    std::string LookupText;
    int LookupTicks = 0;
    // Left by the wheel until a whole notch (120 units) has come together.
    int WheelDelta = 0;
    bool FHasFocus = false;
    bool DesignPreview = false;
    bool ItemsInitialized = false;
    int DrawingItemIndex = -1;
    int FLoadStartIndex = 0;
    bool FLoadRestart = false;
    bool FHasLocations = false;
    std::string MarkText;
    std::string MarkTag;
    bool MarkCase = false;

    // The loader thread reads the state above on the GUI thread.
    friend class TImageLoaderThread;

private:
    int FAnimationFactor = 4;
    QPointer<TImageList> FImages;
    QPointer<TGDIPPictureContainer> FPictureContainer;
    int FSelectedItemIndex = -1;
    bool FTransparent = false;
    int FColumns = 0;
    int FRows = 3;
    TSmoothImageThreadLoading FThreadLoading = tlOnDemandAfterAnimation;
    bool FZoomOnDblClick = true;
    TSmoothImageListBoxZoomMode FZoomMode = zmFullScreen;
    bool FZoomOnTop = false;
    bool FKeyBoardLookUp = false;
    bool FShowScrollBar = true;
    bool FSorted = false;
    bool FHover = true;
    bool FMultiSelect = false;
    bool FShowFocus = true;
    TColor FFocusColor = colors::clBlack;

    std::unique_ptr<TSmoothImageListBoxDisplayList> FDisplayList;
    std::unique_ptr<TSmoothImageListBoxItems> FItems;
    std::unique_ptr<TSmoothImageListBoxTopLayerItems> FTopLayerItems;
    std::unique_ptr<TGDIPFill> FFill;
    std::unique_ptr<TGDIPPicture> FDefaultImage;
    std::unique_ptr<TSmoothImageListBoxItemAppearance> FItemAppearance;
    std::unique_ptr<TSmoothImageListBoxHeader> FHeader;
    std::unique_ptr<TSmoothImageListBoxFooter> FFooter;
    std::unique_ptr<TSmoothImageListBoxHTMLText> FDefaultHTMLText;
    std::unique_ptr<TGPBitmap> DefaultImageBitmap;
    int DefaultImageWidth = 0;
    int DefaultImageHeight = 0;
    QTimer* FTimer = nullptr;
    QScrollBar* FScrollBar = nullptr;
    std::unique_ptr<TImageLoaderThread> LoaderThread;
    std::unique_ptr<TThumbnailWorkers> FWorkers;
    // Rows and columns of the last relayout (a scroll changes neither).
    int LaidOutRows = 0;
    int LaidOutColumns = 0;
    bool WindowCreated = false;
    bool Destroying = false;
};
