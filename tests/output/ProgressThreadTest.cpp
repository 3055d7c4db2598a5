#include "output/Form1.h"
#include "output/ProgressThread.h"
#include "output/TForm15.h"
#include "tests/output/JobWindowChecks.h"

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

class ScriptedJob : public ProgressThread {
public:
    explicit ScriptedJob(std::function<void(ScriptedJob&)> body)
        : ProgressThread("Preview...", true), body_(std::move(body)) {}
    ~ScriptedJob() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(ScriptedJob&)> body_;
};

// No members of its own: destroying it while it runs leaves the wait to the
// base destructor, as with a job that was written without one.
std::atomic<bool> g_stuckJobRunning{false};

class StuckJob : public ProgressThread {
public:
    StuckJob() : ProgressThread("Export...", true) {}

protected:
    void Execute() override
    {
        g_stuckJobRunning = true;
        ShowProgressForm();
        SetStatus("Generating Portfolio...");
        SetProgress(1, 4);
    }
};

class PaintCounter : public QObject {
public:
    std::atomic<int> paints{0};

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class ProgressThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainWindow_.resize(300, 200);
        mainWindow_.show();
        RegisterForm1(&mainWindow_);
    }
    void TearDown() override { RegisterForm1(nullptr); }

    QWidget mainWindow_;
};

} // namespace

TEST_F(ProgressThreadTest, SetProgressAcceptsOnlyPositionsWithinTheMaximum)
{
    ScriptedJob job([](ScriptedJob&) {});
    job.ShowProgressForm();
    TForm15* form = job.ProgressForm();
    QProgressBar* bar = form->ProgressBar1;

    struct Step {
        int position, maximum;
        int barMaximum, barPosition; // the window's state afterwards
    };
    const Step steps[] = {
        {0, 0, 0, 0},     // accepted: an empty bar
        {5, 10, 10, 5},
        {-1, 10, 10, 5},  // ignored
        {11, 10, 10, 5},  // ignored
        {3, 2, 10, 5},    // ignored: position above its own maximum
        {10, 10, 10, 10}, // full
        {0, 0, 0, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "SetProgress(" << s.position << ", " << s.maximum << ")");
        job.SetProgress(s.position, s.maximum);
        EXPECT_EQ(form->BarMaximum(), s.barMaximum);
        EXPECT_EQ(form->BarPosition(), s.barPosition);
        // What the user sees: never the busy animation, and the share filled.
        ASSERT_GT(bar->maximum(), bar->minimum());
        const double shown = double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum());
        const double expected = s.barMaximum == 0 ? 0.0 : double(s.barPosition) / s.barMaximum;
        EXPECT_DOUBLE_EQ(shown, expected);
    }
}

TEST_F(ProgressThreadTest, SetStatusFromWorkerReturnsAfterTheLabelChangedAndRepaintsOnlyOnChange)
{
    PaintCounter counter;
    std::atomic<int> paintsAfterFirst{-1}, paintsAfterSecond{-1}, paintsAfterThird{-1};
    QString seenAfterReturn;
    QThread* const mainThread = QThread::currentThread();
    std::atomic<bool> workerOffMain{false};

    ScriptedJob job([&](ScriptedJob& self) {
        workerOffMain = QThread::currentThread() != mainThread;
        self.SetStatus("Generating Portfolio...");
        // The main thread only serves synchronised calls meanwhile, so the
        // label can be read here without racing it.
        seenAfterReturn = self.ProgressForm()->Label1->text();
        paintsAfterFirst = counter.paints.load();
        self.SetStatus("Generating Portfolio...");
        paintsAfterSecond = counter.paints.load();
        self.SetStatus("Exporting Portfolio...");
        paintsAfterThird = counter.paints.load();
    });
    EXPECT_EQ(job.ProgressForm()->Label1->text(), "Label1");
    // Shown and on screen first: a window not yet exposed paints nothing.
    job.ShowProgressForm();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(job.ProgressForm()));
    QCoreApplication::processEvents();
    job.ProgressForm()->Label1->installEventFilter(&counter);
    job.Start();
    job.WaitFor();

    EXPECT_TRUE(workerOffMain);
    EXPECT_EQ(seenAfterReturn, "Generating Portfolio...");
    EXPECT_GE(paintsAfterFirst.load(), 1);
    EXPECT_EQ(paintsAfterSecond.load(), paintsAfterFirst.load());
    EXPECT_GT(paintsAfterThird.load(), paintsAfterSecond.load());
    EXPECT_EQ(job.ProgressForm()->Label1->text(), "Exporting Portfolio...");
}

TEST_F(ProgressThreadTest, WindowOperationsOnTheMainThreadRunAtOnce)
{
    // The e-mail job sends from the main thread: nothing here may wait for
    // the event loop.
    ScriptedJob job([](ScriptedJob&) {});
    job.ShowProgressForm();
    job.SetStatus("Please Wait, Sending E-Mail...");
    job.SetProgress(3, 8);
    job.EnableCloseButton();
    TForm15* form = job.ProgressForm();
    EXPECT_EQ(form->Label1->text(), "Please Wait, Sending E-Mail...");
    EXPECT_EQ(form->windowTitle(), "Preview...");
    EXPECT_EQ(form->BarPosition(), 3);
    EXPECT_TRUE(form->Button1->isEnabled());
    job.HideProgressForm();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ProgressThreadTest, ShowingDisablesTheMainWindowAndCloseEnablesIt)
{
    ScriptedJob job([](ScriptedJob& self) {
        self.ShowProgressForm();
        self.SetStatus("Finished. Your portfolio was exported successfully.");
        self.EnableCloseButton();
    });
    job.Start();
    job.WaitFor();

    TForm15* form = job.ProgressForm();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(mainWindow_.isEnabled());
    ASSERT_TRUE(form->Button1->isEnabled());
    EXPECT_EQ(form->Button1->text(), "&Close");

    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST_F(ProgressThreadTest, WindowCannotBeDismissedWhileCloseIsDisabled)
{
    ScriptedJob job([](ScriptedJob&) {});
    job.ShowProgressForm();
    TForm15* form = job.ProgressForm();

    form->close(); // what the window manager's close does
    QTest::keyClick(form, Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(mainWindow_.isEnabled());

    job.EnableCloseButton();
    QTest::keyClick(form, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST_F(ProgressThreadTest, ShowingAgainDisablesCloseAndEmptiesTheBar)
{
    ScriptedJob job([](ScriptedJob&) {});
    TForm15* form = job.ProgressForm();
    EXPECT_FALSE(form->Button1->isEnabled());

    job.ShowProgressForm();
    job.SetProgress(4, 4);
    job.EnableCloseButton();
    job.HideProgressForm();
    EXPECT_TRUE(mainWindow_.isEnabled());

    job.ShowProgressForm();
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_EQ(form->BarMaximum(), 0);
    EXPECT_EQ(form->BarPosition(), 0);
    EXPECT_FALSE(mainWindow_.isEnabled());
    // The same values again must reach the emptied bar.
    job.SetProgress(4, 4);
    EXPECT_EQ(form->BarPosition(), 4);
}

TEST_F(ProgressThreadTest, JobThatEndsWhileItsWindowBlocksGetsItsCloseButton)
{
    const std::function<void(ScriptedJob&)> bodies[] = {
        [](ScriptedJob& self) {
            self.ShowProgressForm();
            self.SetStatus("Generating Portfolio...");
        },
        [](ScriptedJob& self) {
            self.ShowProgressForm();
            throw std::runtime_error("generator failed");
        },
    };
    for (const auto& body : bodies) {
        ScriptedJob job(body);
        job.Start();
        job.WaitFor();
        TForm15* form = job.ProgressForm();
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->Button1->isEnabled());
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        EXPECT_TRUE(mainWindow_.isEnabled());
    }

    // A job that hid its window leaves it hidden.
    ScriptedJob hidden([](ScriptedJob& self) {
        self.ShowProgressForm();
        self.HideProgressForm();
    });
    hidden.Start();
    hidden.WaitFor();
    EXPECT_FALSE(hidden.ProgressForm()->isVisible());
    EXPECT_FALSE(hidden.ProgressForm()->Button1->isEnabled());
    EXPECT_TRUE(mainWindow_.isEnabled());
}

// Whatever a job throws, the process goes on and the job's window tells
// the user it failed, with the cause where the exception carries one.
TEST_F(ProgressThreadTest, AJobEndedByAnyExceptionIsReportedAsFailed)
{
    const struct {
        std::function<void()> fail;
        const char* status;
    } cases[] = {
        {[] { throw std::runtime_error("The template has no pages."); }, "Error: The template has no pages."},
        {[] { throw 42; }, "Error: The job ended unexpectedly."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        ScriptedJob job([&c](ScriptedJob& self) {
            self.ShowProgressForm();
            self.SetStatus("Generating Portfolio...");
            self.SetProgress(3, 4);
            c.fail();
        });
        job.Start();
        job.WaitFor();
        TForm15* form = job.ProgressForm();
        EXPECT_EQ(form->Label1->text().toStdString(), c.status);
        EXPECT_EQ(form->BarPosition(), 0);
        EXPECT_TRUE(form->Button1->isEnabled());
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        EXPECT_TRUE(mainWindow_.isEnabled());
    }
}

TEST_F(ProgressThreadTest, JobDestroyedWhileItsWorkerWaitsInASynchronizedCallEnds)
{
    auto* job = new StuckJob;
    job->Start();
    // No event is processed before the delete: once Execute runs, the worker
    // is (or soon will be) blocked in its first synchronised call.
    while (!g_stuckJobRunning.load())
        QThread::msleep(1);
    QThread::msleep(20);
    delete job;
    // Its window went with it and let go of the main window.
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST_F(ProgressThreadTest, MainWindowStaysDisabledUntilTheLastProgressWindowIsHidden)
{
    ScriptedJob first([](ScriptedJob&) {});
    ScriptedJob second([](ScriptedJob&) {});
    first.ShowProgressForm();
    second.ShowProgressForm();
    first.HideProgressForm();
    EXPECT_FALSE(mainWindow_.isEnabled());
    first.HideProgressForm(); // hiding twice frees nothing more
    EXPECT_FALSE(mainWindow_.isEnabled());
    second.HideProgressForm();
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST_F(ProgressThreadTest, MainWindowDestroyedWhileAProgressWindowIsShown)
{
    auto* other = new QWidget;
    other->show();
    RegisterForm1(other);
    ScriptedJob job([](ScriptedJob&) {});
    job.ShowProgressForm();
    EXPECT_FALSE(other->isEnabled());
    delete other;
    EXPECT_EQ(Form1Window(), nullptr);
    job.HideProgressForm();

    // A main window registered while a progress window is shown starts disabled.
    job.ShowProgressForm();
    RegisterForm1(&mainWindow_);
    EXPECT_FALSE(mainWindow_.isEnabled());
    job.HideProgressForm();
    EXPECT_TRUE(mainWindow_.isEnabled());
}

namespace {
std::atomic<int> g_lateJobRuns{0};

class LateJob : public ProgressThread {
public:
    LateJob() : ProgressThread("Preview...", false) {}

protected:
    void Execute() override { ++g_lateJobRuns; }
};
} // namespace

TEST_F(ProgressThreadTest, JobDeletedBeforeItsStartCameRoundNeverRuns)
{
    // Created running: its start waits for the event loop, which the delete
    // comes before. By then the job's own part is gone; running it would call
    // into an object that no longer exists.
    auto* job = new LateJob;
    delete job;
    QCoreApplication::processEvents();
    EXPECT_EQ(g_lateJobRuns.load(), 0);
    EXPECT_TRUE(mainWindow_.isEnabled());
}

namespace {

TEST_F(ProgressThreadTest, LongStatusWrapsAndTheWindowGrowsToShowItWhole)
{
    ScriptedJob job([](ScriptedJob& self) {
        self.ShowProgressForm();
        self.SetStatus("Generating Portfolio...");
    });
    job.Start();
    job.WaitFor();
    TForm15& window = *job.ProgressForm();
    const QSize designed = window.size();
    for (const char* status : kLongStatuses) {
        SCOPED_TRACE(status);
        job.SetStatus(status);
        ExpectWholeStatusShown(window);
        EXPECT_GT(window.height(), designed.height());
        EXPECT_EQ(window.width(), designed.width());
    }
    job.SetStatus("Finished.");
    ExpectWholeStatusShown(window);
    EXPECT_EQ(window.size(), designed);
}

} // namespace

namespace {

// The share of the bar's inside drawn in (shades of) the highlight colour.
double FilledShare(const QImage& shot, const QRect& bar, const QColor& highlight)
{
    int filled = 0, all = 0;
    const int y = bar.center().y();
    for (int x = bar.left() + 3; x < bar.right() - 3; ++x, ++all) {
        const QColor c = shot.pixelColor(x, y);
        if (std::abs(c.hue() - highlight.hue()) < 20 && c.saturation() > 96)
            ++filled;
    }
    return all ? double(filled) / all : 0;
}

// Stops a job at numbered steps until the test has looked at its window.
class Steps {
public:
    // In the job: the step is reached; waits until the test lets it go on.
    void Reach(int step)
    {
        step_ = step;
        for (int i = 0; i < 3000 && !release_; ++i)
            QThread::msleep(5);
        release_ = false;
    }
    // In the test: whether the job came to the step.
    bool Await(int step)
    {
        for (int i = 0; i < 3000 && step_ != step; ++i)
            QTest::qWait(5);
        return step_ == step;
    }
    void Release() { release_ = true; }

private:
    std::atomic<int> step_{0};
    std::atomic<bool> release_{false};
};

// What the screen holds of the window, not a fresh render of it.
QImage OnScreen(QWidget* window)
{
    return window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

TEST_F(ProgressThreadTest, TheWindowOnScreenShowsItsStatusAndBarWhileTheJobRunsAndAsTheyChange)
{
    Steps steps;
    ScriptedJob job([&](ScriptedJob& self) {
        self.ShowProgressForm();
        self.SetStatus("Reading artwork 3 of 7...");
        self.SetProgress(3, 7);
        steps.Reach(1);
        self.SetStatus("Reading artwork 6 of 7: a longer name that the window wraps onto its next line");
        self.SetProgress(6, 7);
        steps.Reach(2);
    });
    job.Start();
    TForm15* window = job.ProgressForm();
    const QColor highlight = window->ProgressBar1->palette().color(QPalette::Highlight);
    for (int expected : {1, 2}) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(steps.Await(expected));
        const QImage shot = OnScreen(window);
        ASSERT_EQ(shot.size(), window->size() * shot.devicePixelRatio());
        const QImage label = window->Label1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shot.copy(window->Label1->geometry()), label);
        // The text is there: the label is no blank area.
        int dark = 0;
        for (int y = 0; y < label.height(); ++y)
            for (int x = 0; x < label.width(); ++x)
                dark += qGray(label.pixel(x, y)) < 96;
        EXPECT_GT(dark, 40);
        EXPECT_NEAR(FilledShare(shot, window->ProgressBar1->geometry(), highlight), expected == 1 ? 3.0 / 7 : 6.0 / 7, 0.08);
        steps.Release();
    }
    job.WaitFor();
}

} // namespace

namespace {

// Keeps the main thread's queue fed with ordinary queued calls, as pictures
// arriving and strip updates do while a job runs, until it is destroyed.
class QueueFlood {
public:
    QueueFlood()
        : thread_([this] {
              while (!stop_) {
                  if (pending_ > 400) {
                      QThread::usleep(50);
                      continue;
                  }
                  ++pending_;
                  QMetaObject::invokeMethod(
                      qApp,
                      [this] {
                          QThread::usleep(100);
                          --pending_;
                      },
                      Qt::QueuedConnection);
              }
          })
    {
    }
    ~QueueFlood()
    {
        stop_ = true;
        thread_.join();
        while (pending_ > 0)
            QCoreApplication::processEvents();
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> pending_{0};
    std::thread thread_;
};

TEST_F(ProgressThreadTest, TheWindowOnScreenShowsEachChangeWhileTheMainThreadsQueueIsNeverEmpty)
{
    Steps steps;
    ScriptedJob job([&](ScriptedJob& self) {
        self.ShowProgressForm();
        self.OfferCancel();
        self.SetStatus("Adding Artworks...");
        self.SetProgress(3, 7);
        steps.Reach(1);
        self.SetProgress(6, 7);
        steps.Reach(2);
    });
    TForm15* window = job.ProgressForm();
    const QColor highlight = window->ProgressBar1->palette().color(QPalette::Highlight);
    QueueFlood flood;
    job.Start();
    for (int expected : {1, 2}) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(steps.Await(expected));
        // Far longer than a frame: whatever changed has been drawn by now.
        QTest::qWait(100);
        const QImage shot = OnScreen(window);
        ASSERT_EQ(shot.size(), window->size() * shot.devicePixelRatio());
        EXPECT_EQ(shot.copy(window->Label1->geometry()), window->Label1->grab().toImage().convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(shot.copy(window->Button2->geometry()), window->Button2->grab().toImage().convertToFormat(QImage::Format_RGB32));
        EXPECT_NEAR(FilledShare(shot, window->ProgressBar1->geometry(), highlight), expected == 1 ? 3.0 / 7 : 6.0 / 7, 0.08);
        steps.Release();
    }
    job.WaitFor();
}

} // namespace
