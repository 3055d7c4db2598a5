// TSmoothImageListBox: construction, properties, owned parts, folder
// import and the loader thread's start and stop.
#include "controls/TSmoothImageListBox.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHideEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTimeZone>
#include <QTimer>
#include <chrono>

#include "controls/GDIPFill.h"
#include "controls/GDIPPicture.h"
#include "controls/GPImage.h"
#include "controls/MarkupRenderer.h"
#include "controls/TImageLoaderThread.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "controls/TThumbnailWorkers.h"
#include "platform/gdiplus/GpObjects.h"
#include "platform/thread/Thread.h"

namespace {
constexpr uint32_t kVersion = (1u << 24) | (1u << 16) | (6u << 8) | 1u;

// Days since 1899-12-30, the class library's date-time.
double ToDateTime(const QDateTime& t)
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), t.timeZone());
    return double(epoch.msecsTo(t)) / 86400000.0;
}
}  // namespace

TSmoothImageListBox::TSmoothImageListBox(QWidget* parent) : QWidget(parent)
{
    // Press durations need a clock that never jumps.
    TickCount = [] {
        return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
    setFocusPolicy(Qt::StrongFocus);
    // Hover, hints and the link cursor follow moves without a button held.
    setMouseTracking(true);

    FTimer = new QTimer(this);
    // What the fastest rate of the original platform gave: per-tick rates keep their feel.
    FTimer->setInterval(16);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, [this] { Guarded([this] { Tick(); }); });

    FDisplayList = std::make_unique<TSmoothImageListBoxDisplayList>();
    FItems = std::make_unique<TSmoothImageListBoxItems>(this);
    FTopLayerItems = std::make_unique<TSmoothImageListBoxTopLayerItems>(this);
    FFill = std::make_unique<TGDIPFill>();
    FFill->OnChange = [this](TGDIPFill*) {
        InitListBoxItems();
        Changed();
    };
    FDefaultImage = std::make_unique<TGDIPPicture>();
    FDefaultImage->OnChange = [this] { InitDefaultImage(); };
    FItemAppearance = std::make_unique<TSmoothImageListBoxItemAppearance>(this);
    FHeader = std::make_unique<TSmoothImageListBoxHeader>(this);
    FFooter = std::make_unique<TSmoothImageListBoxFooter>(this);
    FDefaultHTMLText = std::make_unique<TSmoothImageListBoxHTMLText>(this);

    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->setSingleStep(20);
    FScrollBar->setPageStep(40);
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FScrollBar);
    FScrollBar->resize(extent, extent);
    FScrollBar->hide();
    // Only the user's moves: placing the bar after a relayout fires nothing.
    connect(FScrollBar, &QScrollBar::actionTriggered, this, [this](int) {
        // A drag reports each move here as well as through sliderMoved.
        if (FScrollBar->sliderPosition() != GetPosition())
            ScrollBarScroll(FScrollBar->sliderPosition());
    });
    connect(FScrollBar, &QScrollBar::sliderMoved, this, [this](int value) {
        if (value != GetPosition())
            ScrollBarScroll(value);
    });

    resize(600, 450);
}

TSmoothImageListBox::~TSmoothImageListBox()
{
    // No new thread may start while the parts go; the running one stops
    // before the items it reads are freed.
    Destroying = true;
    FTimer->stop();
    StopThread();
    // Waits for the thumbnails being made; none reaches the parts after.
    FWorkers.reset();
    FDisplayList->Clear();
    FItems.reset();
    FTopLayerItems.reset();
    DefaultImageBitmap.reset();
    FDefaultHTMLText.reset();
    FFooter.reset();
    FHeader.reset();
    FItemAppearance.reset();
    FDefaultImage.reset();
    FFill.reset();
}

std::string TSmoothImageListBox::Version() const
{
    return std::to_string((kVersion >> 24) & 0xFF) + "." + std::to_string((kVersion >> 16) & 0xFF) + "." +
           std::to_string((kVersion >> 8) & 0xFF) + "." + std::to_string(kVersion & 0xFF);
}

void TSmoothImageListBox::Changed()
{
    if (Destroying)
        return;
    Q_ASSERT_X(TThread::IsMainThread(), "TSmoothImageListBox", "driven from another thread");
    update();
}

void TSmoothImageListBox::Guarded(const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::exception& e) {
        qWarning("TSmoothImageListBox: %s", e.what());
    } catch (...) {
        qWarning("TSmoothImageListBox: unknown exception in an event");
    }
}

bool TSmoothImageListBox::ItemsUpdating() const { return FItems->UpdateCount() > 0; }

bool TSmoothImageListBox::AnyItemZoomed() const
{
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->GetItem(i)->Zoomed)
            return true;
    return false;
}

// ---- Properties ------------------------------------------------------------

void TSmoothImageListBox::SetAnimationFactor(int value)
{
    if (FAnimationFactor == value)
        return;
    FAnimationFactor = value;
    Changed();
}

void TSmoothImageListBox::SetSelectedItemIndex(int value)
{
    if (FSelectedItemIndex == value)
        return;
    FSelectedItemIndex = value;
    Changed();
}

void TSmoothImageListBox::SetItems(const TSmoothImageListBoxItems& value)
{
    FItems->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetTopLayerItems(const TSmoothImageListBoxTopLayerItems& value)
{
    FTopLayerItems->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetItemAppearance(const TSmoothImageListBoxItemAppearance& value)
{
    FItemAppearance->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetHeader(const TSmoothImageListBoxHeader& value)
{
    FHeader->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetFooter(const TSmoothImageListBoxFooter& value)
{
    FFooter->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetFill(const TGDIPFill& value)
{
    FFill->Assign(value);
    InitListBoxItems();
    Changed();
}

void TSmoothImageListBox::SetDefaultImage(const TGDIPPicture& value)
{
    FDefaultImage->Assign(&value);
    InitDefaultImage();
}

void TSmoothImageListBox::SetDefaultHTMLText(const TSmoothImageListBoxHTMLText& value)
{
    FDefaultHTMLText->Assign(value);
    Changed();
}

void TSmoothImageListBox::SetTransparent(bool value)
{
    if (FTransparent == value)
        return;
    FTransparent = value;
    InitListBoxItems();
    Changed();
}

void TSmoothImageListBox::SetColumns(int value)
{
    if (FColumns == value)
        return;
    if (FRows != 0)
        FRows = 0;
    FColumns = value;
    FItemAppearance->InitFills();
    InitListBoxItems();
    Changed();
}

void TSmoothImageListBox::SetRows(int value)
{
    if (FRows == value)
        return;
    if (FColumns != 0)
        FColumns = 0;
    FRows = value;
    FItemAppearance->InitFills();
    InitListBoxItems();
    Changed();
}

void TSmoothImageListBox::SetThreadLoading(TSmoothImageThreadLoading value)
{
    if (FThreadLoading == value)
        return;
    FThreadLoading = value;
    Changed();
}

void TSmoothImageListBox::SetZoomOnDblClick(bool value)
{
    if (FZoomOnDblClick == value)
        return;
    FZoomOnDblClick = value;
    Changed();
}

void TSmoothImageListBox::SetZoomMode(TSmoothImageListBoxZoomMode value)
{
    if (FZoomMode == value)
        return;
    FZoomMode = value;
    Changed();
}

void TSmoothImageListBox::SetZoomOnTop(bool value)
{
    if (FZoomOnTop == value)
        return;
    FZoomOnTop = value;
    Changed();
}

void TSmoothImageListBox::SetKeyBoardLookUp(bool value)
{
    if (FKeyBoardLookUp == value)
        return;
    FKeyBoardLookUp = value;
    LookupText.clear();
    Changed();
}

void TSmoothImageListBox::SetShowScrollBar(bool value)
{
    if (FShowScrollBar == value)
        return;
    FShowScrollBar = value;
    // The bar's room in the layout changes with it.
    InitListBoxItems();
    Changed();
}

void TSmoothImageListBox::SetSorted(bool value)
{
    if (FSorted == value)
        return;
    FSorted = value;
    if (FSorted)
        FItems->Sort();
    Changed();
}

void TSmoothImageListBox::SetHover(bool value)
{
    if (FHover == value)
        return;
    FHover = value;
    Changed();
}

void TSmoothImageListBox::SetMultiSelect(bool value)
{
    if (FMultiSelect == value)
        return;
    FMultiSelect = value;
    Changed();
}

void TSmoothImageListBox::SetFocusColor(TColor value)
{
    if (FFocusColor == value)
        return;
    FFocusColor = value;
    Changed();
}

bool TSmoothImageListBox::TabStop() const { return focusPolicy() == Qt::StrongFocus; }

void TSmoothImageListBox::SetTabStop(bool value)
{
    setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

// ---- Operations --------------------------------------------------------------

void TSmoothImageListBox::Loaded()
{
    InitDefaultImage();
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->GetItem(i)->ImageChanged();
}

void TSmoothImageListBox::Assign(const TSmoothImageListBox& source)
{
    if (&source == this)
        return;
    SetThreadLoading(source.FThreadLoading);
    SetAnimationFactor(source.FAnimationFactor);
    SetItems(*source.FItems);
    SetFill(*source.FFill);
    SetTransparent(source.FTransparent);
    SetDefaultImage(*source.FDefaultImage);
    SetRows(source.FRows);
    SetColumns(source.FColumns);
    SetSelectedItemIndex(source.FSelectedItemIndex);
    SetHeader(*source.FHeader);
    SetFooter(*source.FFooter);
    SetDefaultHTMLText(*source.FDefaultHTMLText);
    SetTopLayerItems(*source.FTopLayerItems);
    SetZoomOnDblClick(source.FZoomOnDblClick);
    SetZoomOnTop(source.FZoomOnTop);
    SetShowScrollBar(source.FShowScrollBar);
    SetKeyBoardLookUp(source.FKeyBoardLookUp);
    SetSorted(source.FSorted);
    SetZoomMode(source.FZoomMode);
    SetHover(source.FHover);
    SetMultiSelect(source.FMultiSelect);
    SetShowFocus(source.FShowFocus);
    SetFocusColor(source.FFocusColor);
}

void TSmoothImageListBox::CollapseAll()
{
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->GetItem(i)->Splitter())
            FItems->GetItem(i)->SetSplitterState(stCollapsed);
}

void TSmoothImageListBox::ExpandAll()
{
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->GetItem(i)->Splitter())
            FItems->GetItem(i)->SetSplitterState(stExpanded);
}

void TSmoothImageListBox::Highlight(bool DoCase, const std::string& text)
{
    MarkCase = DoCase;
    MarkTag = "hi";
    MarkText = text;
    Changed();
}

void TSmoothImageListBox::Mark(bool DoCase, const std::string& text)
{
    MarkCase = DoCase;
    MarkTag = "e";
    MarkText = text;
    Changed();
}

void TSmoothImageListBox::UnHighlight()
{
    MarkCase = false;
    MarkTag.clear();
    MarkText.clear();
    Changed();
}

void TSmoothImageListBox::UnMark() { UnHighlight(); }

namespace {
struct FoundFile {
    std::string path, name;
    int32_t size;
    double date;
};

// Regular files (hidden ones included) matching the mask's pattern, in name order.
std::vector<FoundFile> FindFiles(const std::string& pathMask)
{
    const QFileInfo mask(QString::fromStdString(pathMask));
    QDir dir = mask.dir();
    dir.setNameFilters({mask.fileName().isEmpty() ? QStringLiteral("*") : mask.fileName()});
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    dir.setSorting(QDir::Name);
    std::vector<FoundFile> found;
    for (const QFileInfo& info : dir.entryInfoList())
        found.push_back({info.absoluteFilePath().toStdString(), info.fileName().toStdString(),
                         int32_t(std::min<qint64>(info.size(), INT32_MAX)), ToDateTime(info.lastModified())});
    return found;
}
}  // namespace

void TSmoothImageListBox::AddImagesFromFolder(const std::string& pathMask, bool WithCaption)
{
    const auto files = FindFiles(pathMask);
    FItems->BeginUpdate();
    for (const FoundFile& f : files) {
        TSmoothImageListBoxItem* item = FItems->Add();
        item->Image()->LoadFromFile(f.path);
        item->SetFileSize(f.size);
        item->SetFileDate(f.date);
        item->SetFileName(f.name);
        if (WithCaption) {
            item->Caption()->SetText(f.name);
            item->Caption()->SetLocation(cpCenterCenter);
        }
    }
    FItems->EndUpdate();
    if (WithCaption)
        FItemAppearance->SetTextVisible(true);
}

void TSmoothImageListBox::AddImageLocationsFromFolder(const std::string& pathMask, bool WithCaption)
{
    const auto files = FindFiles(pathMask);
    // The update stops the loader and its end starts it again.
    FItems->BeginUpdate();
    for (const FoundFile& f : files) {
        TSmoothImageListBoxItem* item = FItems->Add();
        item->SetLocation(f.path);
        item->SetFileSize(f.size);
        item->SetFileDate(f.date);
        item->SetFileName(f.name);
        if (WithCaption) {
            item->Caption()->SetText(f.name);
            item->Caption()->SetLocation(cpCenterCenter);
        }
    }
    FHasLocations = FHasLocations || !files.empty();
    FItems->EndUpdate();
    if (WithCaption)
        FItemAppearance->SetTextVisible(true);
}

// ---- Window and loader thread ---------------------------------------------------

void TSmoothImageListBox::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!WindowCreated && !event->spontaneous())
        Guarded([this] { CreateWnd(); });
    else
        WakeTimer();
}

bool TSmoothImageListBox::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        WakeTimer();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TSmoothImageListBox::WakeTimer()
{
    if (WindowCreated && isVisible() && !FTimer->isActive())
        FTimer->start();
}

bool TSmoothImageListBox::Idle()
{
    return !(AnimateScroll && Position != GetPositionTo()) && !AnimateZoom && LookupText.empty();
}

void TSmoothImageListBox::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    FTimer->stop();
}

void TSmoothImageListBox::CreateWnd()
{
    WindowCreated = true;
    FTimer->start();
    if (FRows != 0 && FColumns != 0)
        return;
    StopThread();
    StartThread();
}

void TSmoothImageListBox::StartThread()
{
    if (!WindowCreated || Destroying)
        return;
    if (!LoaderThread)
        LoaderThread = std::make_unique<TImageLoaderThread>(this);
    LoaderThread->Schedule();
}

void TSmoothImageListBox::StopThread()
{
    LoaderThread.reset();
    FLoadStartIndex = 0;
    FLoadRestart = false;
}

void TSmoothImageListBox::ScheduleLoads()
{
    if (LoaderThread && !Destroying)
        LoaderThread->Schedule();
}

TThumbnailWorkers& TSmoothImageListBox::Workers()
{
    if (!FWorkers)
        FWorkers = std::make_unique<TThumbnailWorkers>(
            this, [this](TThumbnailWorkers::TResults& batch) { Guarded([&] { StoreThumbnails(batch); }); });
    return *FWorkers;
}

void TSmoothImageListBox::QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job)
{
    const TGPRectF area = GetItemImageRect(
        TGPRectF{0, 0, float(FItemAppearance->GetColumnWidth()), float(FItemAppearance->GetRowHeight())});
    job.AreaWidth = RoundHalfEven(area.Width);
    job.AreaHeight = RoundHalfEven(area.Height);
    // The worker fits with the rule of the moment, by value: the appearance
    // belongs to this thread.
    const bool aspectRatio = FItemAppearance->AspectRatio();
    const bool shrinkOnly = FItemAppearance->Stretch() == isShrinkOnly;
    job.Fit = [aspectRatio, shrinkOnly](int& w, int& h, int boxHeight, int boxWidth, int imageHeight,
                                        int imageWidth) {
        FitAspectSize(aspectRatio, shrinkOnly, w, h, boxWidth, boxHeight, imageWidth, imageHeight);
    };
    item.LoadToken = std::make_shared<TSmoothImageListBoxItem*>(&item);
    Workers().Queue(TThumbnailTask{item.LoadToken, std::move(job)});
}

void TSmoothImageListBox::StoreThumbnails(std::vector<TThumbnailDone>& batch)
{
    if (Destroying)
        return;
    bool shown = false;
    for (TThumbnailDone& done : batch) {
        // An item that went, or wants another thumbnail now, has no use for it.
        const std::shared_ptr<TSmoothImageListBoxItem*> token =
            std::static_pointer_cast<TSmoothImageListBoxItem*>(done.Token.lock());
        if (!token || (*token)->LoadToken != token)
            continue;
        TSmoothImageListBoxItem* item = *token;
        item->TakeThumbnail(done.Result);
        shown = shown || GetItemIsVisible(item->CellRect());
    }
    if (shown)
        Changed();
    ScheduleLoads();
}

void TSmoothImageListBox::WaitForThumbnails()
{
    ScheduleLoads();
    while (FWorkers && FWorkers->Busy()) {
        FWorkers->WaitForResult();
        FWorkers->Drain();
    }
}

// ---- Default image -----------------------------------------------------------------

void TSmoothImageListBox::InitDefaultImage()
{
    if (Destroying)
        return;
    if (!FDefaultImage->Empty()) {
        FDefaultImage->GetImageSizes();
        DefaultImageWidth = FDefaultImage->Width();
        DefaultImageHeight = FDefaultImage->Height();
        const TGPRectF area = GetItemImageRect(TGPRectF{0, 0, float(FItemAppearance->GetColumnWidth()),
                                                        float(FItemAppearance->GetRowHeight())});
        int w = 0, h = 0;
        GetAspectSize(w, h, int(area.Width), int(area.Height), DefaultImageWidth, DefaultImageHeight);
        if (w > 0 && h > 0) {
            auto bitmap = std::make_unique<TGPBitmap>(w, h, PixelFormat32bppARGB);
            {
                TGPGraphics g(bitmap.get());
                FDefaultImage->GDIPDraw(&g, TRect{0, 0, w, h});
            }
            DefaultImageBitmap = std::move(bitmap);
        }
        // Only the fitted bitmap is kept; dropping the encoded picture fires
        // its change again, which finds it empty.
        FDefaultImage->Assign(nullptr);
    }
    if (!ItemsUpdating()) {
        InitListBoxItems();
        Changed();
    }
}
