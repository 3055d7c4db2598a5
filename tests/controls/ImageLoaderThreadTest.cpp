// The thumbnail loader on a real strip: files named by the items' Location,
// and pictures handed to items, become thumbnails made by the strip's
// workers and stored on the GUI thread.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

#include "controls/TImageLoaderThread.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/render/MainWindowStrip.h"
#include "platform/rtl/ControlGroup.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/controls/LoaderFixtures.h"

namespace {

// Runs the GUI thread's events (the loader's synchronised calls among them)
// until done holds.
void RunEventsFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Calls a check before every event the application delivers.
class EventWatch : public QObject {
public:
    explicit EventWatch(std::function<void()> check) : check_(std::move(check))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~EventWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent*) override
    {
        check_();
        return false;
    }

private:
    std::function<void()> check_;
};

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        RunEventsFor(1);
    return done();
}

QImage Render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Context switches (voluntary and not) of each thread of this process, by
// thread id: every wake-up of a thread counts one.
std::map<int, long> WakeUps()
{
    std::map<int, long> counts;
    for (const QString& tid : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status("/proc/self/task/" + tid + "/status");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        long n = 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                n += line.mid(line.indexOf(':') + 1).trimmed().toLong();
        counts[tid.toInt()] = n;
    }
    return counts;
}

TMemoryStream Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
    TMemoryStream stream;
    stream.WriteBuffer(bytes.constData(), bytes.size());
    stream.SetPosition(0);
    return stream;
}

class ImageLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The main window's strip: one row of 143 x 110 cells, loading what
        // is in view.
        box = std::make_unique<TSmoothImageListBox>(nullptr);
        box->SetRows(1);
        box->SetThreadLoading(tlOnDemand);
        box->SetShowScrollBar(false);
        box->Header()->SetVisible(false);
        box->Footer()->SetHeight(35);
        TSmoothImageListBoxItemAppearance* ap = box->ItemAppearance();
        ap->SetImageWidth(143);
        ap->SetImageHeight(100);
        ap->SetItemWidth(143);
        ap->SetItemHeight(110);
        box->resize(600, 172);
        box->Loaded();
    }
    void Add(const std::vector<std::string>& paths)
    {
        box->Items()->BeginUpdate();
        for (const std::string& path : paths)
            box->Items()->Add()->SetLocation(path);
        box->Items()->EndUpdate();
    }
    void AddCopies(const std::string& name, int count)
    {
        Add(std::vector<std::string>(count, LoaderFixtures() / name));
    }
    TSmoothImageListBoxItem* Item(int i) { return box->Items()->GetItem(i); }
    bool Loaded(int i) { return Item(i)->Status() == stLoaded; }
    int CountLoaded()
    {
        int n = 0;
        for (int i = 0; i < box->Items()->Count(); ++i)
            n += Loaded(i);
        return n;
    }

    std::unique_ptr<TSmoothImageListBox> box;
};

}  // namespace

TEST_F(ImageLoader, EveryKindOfFileBecomesAThumbnailFittedIntoTheCell)
{
    const std::vector<std::string> names = {"split.png", "split.jpg", "split.bmp",
                                            "split.tif", "split.gif", "split8.png"};
    box->SetThreadLoading(tlAll);
    std::vector<std::string> paths;
    for (const auto& name : names)
        paths.push_back(LoaderFixtures() / name);
    Add(paths);
    box->show();  // the loader starts with the window
    ASSERT_TRUE(WaitUntil([&] { return CountLoaded() == int(names.size()); }));

    TSmoothImageListBoxItemAppearance* ap = box->ItemAppearance();
    const TGPRectF area =
        box->GetItemImageRect(TGPRectF{0, 0, float(ap->GetColumnWidth()), float(ap->GetRowHeight())});
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        TSmoothImageListBoxItem* item = Item(int(i));
        ASSERT_TRUE(item->Thumbnail);
        TGPBitmap& thumb = *item->Thumbnail;
        // 2:1 into a wider-than-tall area: the full width, half as high.
        EXPECT_EQ(int(thumb.GetWidth()), RoundHalfEven(area.Width));
        EXPECT_NEAR(thumb.GetHeight(), thumb.GetWidth() / 2.0, 1.0);
        EXPECT_EQ(item->SourceWidth, 200.0f);
        EXPECT_EQ(item->SourceHeight, 100.0f);
        EXPECT_EQ(item->LargestThumbWidth, RoundHalfEven(area.Width));
        ARGB left = 0, right = 0;
        thumb.GetPixel(int(thumb.GetWidth()) / 4, int(thumb.GetHeight()) / 2, &left);
        thumb.GetPixel(int(thumb.GetWidth()) * 3 / 4, int(thumb.GetHeight()) / 2, &right);
        EXPECT_TRUE(Near(left, qRgb(255, 0, 0), 40)) << std::hex << left;
        EXPECT_TRUE(Near(right, qRgb(0, 0, 255), 40)) << std::hex << right;
    }
    // And the strip shows them: red, then blue across the first cell.
    const QImage shown = Render(*box);
    const TGPRectF cell = Item(0)->CellRect();
    const int y = int(cell.Y + cell.Height / 2);
    EXPECT_TRUE(Near(shown.pixel(int(cell.X + cell.Width / 4), y), qRgb(255, 0, 0), 40));
    EXPECT_TRUE(Near(shown.pixel(int(cell.X + cell.Width * 3 / 4), y), qRgb(0, 0, 255), 40));
}

TEST_F(ImageLoader, OnDemandLeavesItemsOutOfViewUntilTheyAreScrolledIn)
{
    AddCopies("split.jpg", 30);
    box->show();
    const int lastInView = box->GetLastVisibleItem();
    ASSERT_GT(lastInView, 0);
    ASSERT_LT(lastInView, 10);
    ASSERT_TRUE(WaitUntil([&] {
        for (int i = 0; i <= lastInView; ++i)
            if (!Loaded(i))
                return false;
        return true;
    }));

    box->ScrollToItem(25);  // a jump: the items between never come into view
    ASSERT_TRUE(WaitUntil([&] { return Loaded(25); }));
    // The passes that found item 25 walked over these and left them.
    for (int i = lastInView + 2; i < 20; ++i)
        EXPECT_EQ(Item(i)->Status(), stInitialized) << i;
}

TEST_F(ImageLoader, ARestartBeginsAtTheFirstItemInView)
{
    // More items than jobs may be out at once (eight per usable core).
    const int out = 8 * UsableProcessors();
    const int jump = 2 * out + 40;
    box->SetThreadLoading(tlAll);
    AddCopies("big.jpg", jump + 20);
    box->show();
    ASSERT_TRUE(WaitUntil([&] { return Loaded(0); }));

    box->ScrollToItem(jump);  // the relayout asks the loader to begin there
    std::vector<bool> before;
    for (int i = 0; i < jump; ++i)
        before.push_back(Loaded(i));
    ASSERT_FALSE(before[jump - 1]);
    const int firstInView = box->GetFirstVisibleItem();
    ASSERT_GT(firstInView, out);
    // Results are stored one event at a time on this thread: the count is
    // taken at the first event that sees the jump's item stored, before the
    // loader, done with the view, goes on with the items above it.
    int finishedMeanwhile = -1;
    EventWatch watch([&] {
        if (finishedMeanwhile >= 0 || !Loaded(jump))
            return;
        finishedMeanwhile = 0;
        for (int i = 0; i < firstInView; ++i)
            finishedMeanwhile += Loaded(i) && !before[i];
    });
    ASSERT_TRUE(WaitUntil([&] { return finishedMeanwhile >= 0; }));
    // Above the view, only the jobs already out when the restart came, and
    // those their results queued before the picker saw the new view (one
    // more round at most), were finished: not the whole way down to it.
    EXPECT_LE(finishedMeanwhile, 2 * out);
}

TEST_F(ImageLoader, AFileThatCannotBeReadStopsNothing)
{
    const TempDir dir;
    box->SetThreadLoading(tlAll);
    Add({dir / "missing.jpg", dir.Write("garbage.png", "not a picture"), LoaderFixtures() / "split.png"});
    box->show();
    ASSERT_TRUE(WaitUntil([&] { return Loaded(2); }));
    // Tried once and left, without a thumbnail, never to be taken again.
    for (int i : {0, 1}) {
        EXPECT_EQ(Item(i)->Status(), stStarted) << i;
        EXPECT_FALSE(Item(i)->Thumbnail) << i;
    }
    EXPECT_TRUE(box->ThreadRunning());
}

TEST_F(ImageLoader, ANewLocationGivenWhileTheOldFileIsReadWins)
{
    box->SetThreadLoading(tlAll);
    AddCopies("big.jpg", 2);
    box->show();
    // Picked: the worker is reading the old file now, and its result can
    // reach the item only through the events run below.
    ASSERT_TRUE(WaitUntil([&] { return Item(0)->Status() == stStarted; }));
    Item(0)->SetLocation(LoaderFixtures() / "split.png");
    ASSERT_TRUE(WaitUntil([&] { return Loaded(0) && Loaded(1); }));
    EXPECT_EQ(Item(0)->SourceWidth, 200.0f);
    EXPECT_EQ(Item(0)->Thumbnail->GetWidth(), 2 * Item(0)->Thumbnail->GetHeight());
}

TEST_F(ImageLoader, ChangesToTheItemsWhileTheyLoadLoseNothing)
{
    box->SetThreadLoading(tlAll);
    AddCopies("big.jpg", 80);
    box->show();
    ASSERT_TRUE(WaitUntil([&] { return CountLoaded() > 0; }));
    for (int round = 0; round < 20; ++round) {
        box->Items()->Delete(round % box->Items()->Count());
        box->Items()->Move(0, box->Items()->Count() - 1);
        box->Items()->BeginUpdate();
        box->Items()->Add()->SetLocation(LoaderFixtures() / "split.png");
        box->Items()->EndUpdate();
        Item(round)->SetLocation(LoaderFixtures() / "split.bmp");  // a new file for one in flight or done
        Render(*box);
        RunEventsFor(1);
    }
    ASSERT_TRUE(WaitUntil([&] { return CountLoaded() == box->Items()->Count(); }));
    // Each shows its own file: a result read for an item's old Location
    // was dropped, not stored.
    for (int i = 0; i < box->Items()->Count(); ++i) {
        SCOPED_TRACE(Item(i)->Location());
        ASSERT_TRUE(Item(i)->Thumbnail);
        const bool big = Item(i)->Location() == LoaderFixtures() / "big.jpg";
        EXPECT_EQ(Item(i)->SourceWidth, big ? 1600.0f : 200.0f);
        EXPECT_EQ(Item(i)->SourceHeight, big ? 1200.0f : 100.0f);
    }
}

TEST_F(ImageLoader, DestroyingTheStripWhileItLoadsReturnsAtOnce)
{
    box->SetThreadLoading(tlAll);
    AddCopies("big.jpg", 1000);
    box->show();
    ASSERT_TRUE(WaitUntil([&] { return CountLoaded() > 0; }));
    ASSERT_LT(CountLoaded(), 1000);
    QElapsedTimer clock;
    clock.start();
    box.reset();
    // Loading the rest would take many seconds; the stop waits for one file.
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(ImageLoader, AnIdleStripWakesNobody)
{
    box->SetThreadLoading(tlAll);
    AddCopies("split.png", 12);
    box->Items()->BeginUpdate();
    TMemoryStream picture = Encoded(QImage(40, 30, QImage::Format_RGB32), "bmp");
    box->Items()->Add()->Image()->LoadFromStream(&picture);
    box->Items()->EndUpdate();
    box->show();
    ASSERT_TRUE(WaitUntil([&] { return CountLoaded() == box->Items()->Count(); }));
    RunEventsFor(100);  // the last repaints

    // A second of the event loop with nothing to load: the only wake-up
    // is the timer that ends it.
    const std::map<int, long> before = WakeUps();
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    const std::map<int, long> after = WakeUps();
    long others = 0;
    for (const auto& [tid, n] : after) {
        const auto was = before.find(tid);
        const long woke = n - (was == before.end() ? 0 : was->second);
        if (tid == ::getpid())
            EXPECT_LE(woke, 3) << "the GUI thread";
        else
            others += woke;
    }
    EXPECT_EQ(others, 0);
}

TEST_F(ImageLoader, APictureHandedToTheStripIsMadeOnAWorkerAndShown)
{
    // 7000 x 6000, red left, blue right, as the main window hands pictures
    // over: a 24-bit BMP of 126 MB.
    TMemoryStream picture;
    {
        QImage huge(7000, 6000, QImage::Format_RGB888);
        huge.fill(qRgb(0, 0, 255));
        for (int y = 0; y < 6000; ++y) {
            uchar* line = huge.scanLine(y);
            for (int x = 0; x < 3500; ++x) {
                line[3 * x] = 255;
                line[3 * x + 2] = 0;
            }
        }
        picture = Encoded(huge, "bmp");
    }
    strip_setup::PlainFill(box->ItemAppearance()->Fill(), colors::clWhite, colors::clNone);
    box->Items()->BeginUpdate();
    box->Items()->Add()->Image()->LoadFromStream(&picture);
    box->Items()->Add()->SetLocation(LoaderFixtures() / "clear.png");
    box->Items()->EndUpdate();
    box->show();
    // Handed over, not made on the GUI thread; the picture is dropped.
    EXPECT_EQ(Item(0)->Status(), stInitialized);
    EXPECT_TRUE(Item(0)->Image()->Empty());
    box->WaitForThumbnails();
    ASSERT_TRUE(Loaded(0));
    ASSERT_TRUE(Loaded(1));
    ASSERT_TRUE(Item(0)->Thumbnail);
    EXPECT_EQ(Item(0)->SourceWidth, 7000.0f);

    const QImage shown = Render(*box);
    for (int i : {0, 1}) {
        const TGPRectF cell = Item(i)->CellRect();
        const int y = int(cell.Y + cell.Height / 2);
        const QRgb left = shown.pixel(int(cell.X + cell.Width * 0.3), y);
        const QRgb right = shown.pixel(int(cell.X + cell.Width * 0.7), y);
        SCOPED_TRACE(i);
        // The transparent half shows the cell's white fill.
        EXPECT_TRUE(Near(left, i == 0 ? qRgb(255, 0, 0) : qRgb(255, 255, 255), 40)) << std::hex << left;
        EXPECT_TRUE(Near(right, qRgb(0, 0, 255), 40)) << std::hex << right;
    }
}
