#include "platform/thread/Thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdint>
#include <deque>
#include <map>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct SyncRequest {
    const std::function<void()>* call;
    bool done = false;
    std::exception_ptr error;
};

// One queue for all workers: whoever runs the main thread's side drains it in
// order, so calls from different workers never interleave on the main thread.
//
// These three are never destroyed: a worker that nobody stops (the pipe
// server) may still wait in a synchronised call when the process exits, and
// destroying a condition variable that has a waiter blocks for ever, so the
// process would never end.
std::mutex& SyncMutex()
{
    static auto* m = new std::mutex;
    return *m;
}

std::condition_variable& SyncCondition()
{
    static auto* c = new std::condition_variable;
    return *c;
}

std::deque<SyncRequest*>& SyncQueue()
{
    static auto* q = new std::deque<SyncRequest*>;
    return *q;
}

const std::thread::id g_processMainThread = std::this_thread::get_id();

// Threads created running whose start waits for the event loop. Keyed by
// object and serial, so a queued start never reaches a later object that
// happens to live at the address of a destroyed one.
std::mutex& PendingMutex()
{
    static std::mutex m;
    return m;
}

std::map<TThread*, std::uint64_t>& Pending()
{
    static std::map<TThread*, std::uint64_t> p;
    return p;
}

std::atomic<std::uint64_t> g_nextSerial{1};

int NiceFor(TThreadPriority priority)
{
    switch (priority) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
    }
    return 0;
}

} // namespace

TThread::TThread(bool CreateSuspended)
{
    if (CreateSuspended)
        return;
    const std::uint64_t serial = g_nextSerial++;
    {
        std::lock_guard lock(PendingMutex());
        Pending()[this] = serial;
    }
    if (auto* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app,
            [this, serial] {
                std::lock_guard lock(PendingMutex());
                auto it = Pending().find(this);
                if (it == Pending().end() || it->second != serial)
                    return;
                Pending().erase(it);
                // Still under the pending lock: a destructor on another
                // thread cannot get past its own erase until we are done.
                StartLocked();
            },
            Qt::QueuedConnection);
    }
}

TThread::~TThread()
{
    {
        std::lock_guard lock(PendingMutex());
        Pending().erase(this);
    }
    {
        std::lock_guard lock(mutex_);
        if (!started_)
            return;
        if (thread_.get_id() == std::this_thread::get_id()) {
            // Destroyed by its own worker: nobody is left to join it.
            thread_.detach();
            return;
        }
    }
    Terminate();
    WaitFor();
}

void TThread::Start()
{
    std::lock_guard lock(PendingMutex());
    Pending().erase(this);
    StartLocked();
}

void TThread::StartLocked()
{
    std::lock_guard lock(mutex_);
    if (started_)
        return;
    started_ = true;
    thread_ = std::thread(&TThread::Run, this);
}

bool TThread::Started() const
{
    std::lock_guard lock(mutex_);
    return started_;
}

void TThread::Terminate()
{
    terminated_ = true;
}

namespace {
std::atomic<bool> allTerminated{false};
}

void TThread::TerminateAll()
{
    allTerminated = true;
}

bool TThread::AllTerminated()
{
    return allTerminated.load();
}

std::exception_ptr TThread::FatalException() const
{
    std::lock_guard lock(mutex_);
    return fatal_;
}

void TThread::Run()
{
    tid_ = static_cast<long>(::syscall(SYS_gettid));
    if (priority_.load() != tpNormal)
        ApplyPriority();

    try {
        Execute();
    } catch (...) {
        std::lock_guard lock(mutex_);
        fatal_ = std::current_exception();
    }
    finished_ = true;

    if (AfterExecute) {
        try {
            AfterExecute();
        } catch (...) {
        }
    }
    if (OnTerminate) {
        try {
            Synchronize(OnTerminate);
        } catch (...) {
        }
    }

    {
        std::lock_guard lock(SyncMutex());
        done_ = true;
    }
    // The owner may destroy this object from here on: touch only globals.
    SyncCondition().notify_all();
}

int TThread::WaitFor()
{
    bool pending = false;
    {
        std::lock_guard lock(PendingMutex());
        pending = Pending().count(this) != 0;
    }
    if (pending)
        Start();

    {
        std::lock_guard lock(mutex_);
        if (!started_ || thread_.get_id() == std::this_thread::get_id())
            return ReturnValue;
    }

    const bool onMain = IsMainThread();
    for (;;) {
        if (onMain)
            CheckSynchronize();
        std::unique_lock lock(SyncMutex());
        if (done_)
            break;
        if (onMain && !SyncQueue().empty())
            continue;
        SyncCondition().wait(lock);
    }

    std::lock_guard join(joinMutex_);
    if (thread_.joinable())
        thread_.join();
    return ReturnValue;
}

void TThread::SetPriority(TThreadPriority priority)
{
    priority_ = priority;
    ApplyPriority();
}

void TThread::ApplyPriority()
{
    const long tid = tid_.load();
    if (tid == 0)
        return;
    // Raising above normal needs privileges; without them the thread keeps
    // the priority it has, as a scheduler hint should.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority_.load()));
}

bool TThread::IsMainThread()
{
    if (auto* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    return std::this_thread::get_id() == g_processMainThread;
}

void TThread::Synchronize(const std::function<void()>& call)
{
    if (!call)
        return;
    if (IsMainThread()) {
        call();
        return;
    }

    SyncRequest request{&call, false, nullptr};
    {
        std::lock_guard lock(SyncMutex());
        SyncQueue().push_back(&request);
    }
    // Wakes a main thread that waits in WaitFor ...
    SyncCondition().notify_all();
    // ... or one that runs its event loop.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);

    {
        std::unique_lock lock(SyncMutex());
        SyncCondition().wait(lock, [&] { return request.done; });
    }
    if (request.error)
        std::rethrow_exception(request.error);
}

bool TThread::CheckSynchronize()
{
    if (!IsMainThread())
        return false;
    bool ran = false;
    for (;;) {
        SyncRequest* request = nullptr;
        {
            std::lock_guard lock(SyncMutex());
            if (SyncQueue().empty())
                break;
            request = SyncQueue().front();
            SyncQueue().pop_front();
        }
        // A call may open a modal loop that comes back here for the calls of
        // other workers; the queue is unlocked meanwhile.
        std::exception_ptr error;
        try {
            (*request->call)();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(SyncMutex());
            request->error = error;
            request->done = true;
        }
        SyncCondition().notify_all();
        ran = true;
    }
    return ran;
}
