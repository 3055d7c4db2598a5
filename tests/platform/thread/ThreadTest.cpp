#include "platform/thread/Thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

// A thread whose work is given as a function; its destructor waits first, as
// every subclass with members of its own must.
class FunctionThread : public TThread {
public:
    FunctionThread(std::function<void(FunctionThread&)> body, bool suspended)
        : TThread(suspended), body_(std::move(body)) {}
    ~FunctionThread() override
    {
        Terminate();
        WaitFor();
    }
    void SetReturn(int value) { ReturnValue = value; }
    using TThread::AfterExecute;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(FunctionThread&)> body_;
};

// Has no members of its own, so destroying it while it runs is safe and the
// base destructor's wait is what ends it.
class BareThread : public TThread {
public:
    explicit BareThread(std::atomic<int>* stage) : TThread(true), stage_(stage) {}

protected:
    void Execute() override
    {
        stage_->store(1);
        Synchronize([this] { stage_->store(2); });
        stage_->store(3);
    }

private:
    std::atomic<int>* stage_;
};

// Runs the event loop until pred holds or a generous limit passes.
bool PumpUntil(const std::function<bool()>& pred)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred() && timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return pred();
}

} // namespace

TEST(ThreadTest, SynchronizeRunsOnMainThreadAndBlocksTheWorker)
{
    QThread* const mainThread = QThread::currentThread();
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> seenAfterReturn{false};
    int value = 0; // written on the main thread, read by the worker after the call

    FunctionThread worker(
        [&](FunctionThread& self) {
            self.Synchronize([&] {
                ranOnMain = QThread::currentThread() == mainThread;
                value = 42;
            });
            seenAfterReturn = value == 42;
        },
        false);

    // The worker starts from the event loop and its call is run from there.
    ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
    worker.WaitFor();
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(seenAfterReturn);
}

TEST(ThreadTest, SynchronizeOnMainThreadRunsDirectly)
{
    bool ran = false;
    TThread::Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(ThreadTest, WaitForOnMainThreadServesPendingSynchronizedCalls)
{
    int calls = 0;
    FunctionThread worker(
        [&](FunctionThread& self) {
            for (int i = 0; i < 5; ++i)
                self.Synchronize([&] { ++calls; });
        },
        true);
    worker.Start();
    // No event loop runs here: only WaitFor can serve the worker's calls.
    worker.WaitFor();
    EXPECT_EQ(calls, 5);
}

TEST(ThreadTest, CallsFromManyWorkersRunOneAtATimeOnTheMainThread)
{
    constexpr int kWorkers = 6;
    constexpr int kCalls = 200;
    long counter = 0; // deliberately not atomic: only the main thread touches it
    std::vector<std::unique_ptr<FunctionThread>> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.push_back(std::make_unique<FunctionThread>(
            [&](FunctionThread& self) {
                for (int i = 0; i < kCalls; ++i)
                    self.Synchronize([&] { ++counter; });
            },
            true));
    }
    for (auto& w : workers)
        w->Start();
    for (auto& w : workers)
        w->WaitFor();
    EXPECT_EQ(counter, long(kWorkers) * kCalls);
}

TEST(ThreadTest, ExceptionOfSynchronizedCallIsRaisedInTheWorker)
{
    std::string caught;
    FunctionThread worker(
        [&](FunctionThread& self) {
            try {
                self.Synchronize([] { throw std::runtime_error("on main"); });
            } catch (const std::runtime_error& e) {
                caught = e.what();
            }
        },
        false);
    ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
    worker.WaitFor();
    EXPECT_EQ(caught, "on main");
}

TEST(ThreadTest, DestroyingAThreadBlockedInSynchronizeEnds)
{
    std::atomic<int> stage{0};
    auto* thread = new BareThread(&stage);
    thread->Start();
    // Let the worker get into its call; no events are processed meanwhile.
    QElapsedTimer timer;
    timer.start();
    while (stage.load() < 1 && timer.elapsed() < 20000)
        QThread::msleep(1);
    QThread::msleep(20);
    delete thread;
    EXPECT_EQ(stage.load(), 3);
}

TEST(ThreadTest, SuspendedThreadRunsOnlyWhenStarted)
{
    std::atomic<bool> ran{false};
    {
        FunctionThread worker([&](FunctionThread&) { ran = true; }, true);
        QCoreApplication::processEvents();
        QThread::msleep(20);
        EXPECT_FALSE(worker.Started());
        EXPECT_FALSE(ran);
        // Waiting for a thread that never started must not hang.
        EXPECT_EQ(worker.WaitFor(), 0);
    }
    EXPECT_FALSE(ran);

    FunctionThread worker([&](FunctionThread&) { ran = true; }, true);
    worker.Resume();
    worker.WaitFor();
    EXPECT_TRUE(ran);
}

TEST(ThreadTest, ThreadCreatedRunningAndDestroyedAtOnceRunsOnceWithStopRequest)
{
    std::atomic<int> runs{0};
    std::atomic<bool> sawStop{false};
    {
        FunctionThread worker(
            [&](FunctionThread& self) {
                ++runs;
                sawStop = self.Terminated();
            },
            false);
    }
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(sawStop);
    // The start queued by the constructor must find nothing left to start.
    QCoreApplication::processEvents();
    QThread::msleep(20);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 1);
}

TEST(ThreadTest, WaitForStartsAThreadCreatedRunning)
{
    FunctionThread worker([](FunctionThread& self) { self.SetReturn(7); }, false);
    EXPECT_EQ(worker.WaitFor(), 7);
    EXPECT_TRUE(worker.Finished());
}

TEST(ThreadTest, TerminateIsSeenByExecuteAndTheDestructorWaits)
{
    std::atomic<int> rounds{0};
    auto* worker = new FunctionThread(
        [&](FunctionThread& self) {
            while (!self.Terminated()) {
                ++rounds;
                QThread::msleep(1);
            }
        },
        true);
    worker->Start();
    while (rounds.load() == 0)
        QThread::msleep(1);
    delete worker; // would hang if the stop request were lost
    const int after = rounds.load();
    QThread::msleep(20);
    EXPECT_EQ(rounds.load(), after);
}

TEST(ThreadTest, EscapedExceptionIsKeptAndEndHandlersStillRun)
{
    QThread* const mainThread = QThread::currentThread();
    std::atomic<bool> afterExecuteRan{false};
    bool terminateOnMain = false;
    FunctionThread worker([](FunctionThread&) { throw std::runtime_error("boom"); }, true);
    worker.AfterExecute = [&] { afterExecuteRan = true; };
    worker.OnTerminate = [&] { terminateOnMain = QThread::currentThread() == mainThread; };
    worker.Start();
    worker.WaitFor();

    EXPECT_TRUE(afterExecuteRan);
    EXPECT_TRUE(terminateOnMain);
    ASSERT_TRUE(worker.FatalException());
    try {
        std::rethrow_exception(worker.FatalException());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST(ThreadTest, PriorityReachesTheWorkerThread)
{
    std::atomic<int> niceAtStart{-100};
    std::atomic<bool> release{false};
    std::atomic<int> niceAfterChange{-100};
    std::atomic<bool> changed{false};
    FunctionThread worker(
        [&](FunctionThread&) {
            const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
            niceAtStart = ::getpriority(PRIO_PROCESS, tid);
            while (!changed.load())
                QThread::msleep(1);
            niceAfterChange = ::getpriority(PRIO_PROCESS, tid);
            while (!release.load())
                QThread::msleep(1);
        },
        true);
    worker.SetPriority(tpLowest);
    worker.Start();
    while (niceAtStart.load() == -100)
        QThread::msleep(1);
    EXPECT_EQ(niceAtStart.load(), 10);

    // A change while running applies to the running thread.
    worker.SetPriority(tpIdle);
    changed = true;
    while (niceAfterChange.load() == -100)
        QThread::msleep(1);
    EXPECT_EQ(niceAfterChange.load(), 19);
    release = true;
    worker.WaitFor();
}

TEST(ThreadTest, ProcessEndsWhileAWorkerWaitsInASynchronizedCall)
{
    // The pipe server is never stopped; a message arriving during shut-down
    // leaves it waiting for the main thread, and the program must still end.
    std::string out;
    const int status = RunCommand(std::string("timeout 20 ") + THREAD_EXIT_HELPER, &out);
    EXPECT_EQ(0, status) << "124 means the process hung at exit";
    EXPECT_EQ("worker waiting\n", out);
}
