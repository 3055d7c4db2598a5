#include "controls/TThumbnailWorkers.h"

#include "platform/rtl/ControlGroup.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

TThumbnailWorkers::TThumbnailWorkers(QObject* context, std::function<void(TResults&)> onResults)
    : context_(context), onResults_(std::move(onResults))
{
}

TThumbnailWorkers::~TThumbnailWorkers()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        queue_.clear();
    }
    work_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void TThumbnailWorkers::Queue(TThumbnailTask task)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
        // One per core, started as work comes: a strip that loads nothing
        // has no threads at all.
        static const size_t cores = size_t(UsableProcessors());
        if (threads_.size() < cores && threads_.size() < queue_.size() + size_t(making_))
            threads_.emplace_back([this] { Run(); });
    }
    work_.notify_one();
}

std::vector<TThumbnailTask> TThumbnailWorkers::TakeQueued()
{
    std::lock_guard lock(mutex_);
    std::vector<TThumbnailTask> taken(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
    queue_.clear();
    return taken;
}

void TThumbnailWorkers::Drain()
{
    TResults batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(results_);
        drainPosted_ = false;
    }
    if (!batch.empty())
        onResults_(batch);
}

int TThumbnailWorkers::Pending() const
{
    std::lock_guard lock(mutex_);
    return int(queue_.size()) + making_;
}

bool TThumbnailWorkers::Busy() const
{
    std::lock_guard lock(mutex_);
    return !queue_.empty() || making_ > 0 || !results_.empty();
}

void TThumbnailWorkers::WaitForResult()
{
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !results_.empty() || (queue_.empty() && making_ == 0); });
}

void TThumbnailWorkers::Run()
{
    // The strip's loader yields to everything else the user runs.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    ::pthread_setname_np(::pthread_self(), "thumbnails");
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (ending_)
            return;
        TThumbnailTask task = std::move(queue_.front());
        queue_.pop_front();
        if (task.Token.expired()) {
            done_.notify_all();
            continue;
        }
        ++making_;
        lock.unlock();
        TThumbnailDone done{task.Token, MakeThumbnail(task.Job)};
        lock.lock();
        --making_;
        if (ending_)
            return;
        results_.push_back(std::move(done));
        // One hand-over per batch: results that come while it waits join it.
        if (!drainPosted_) {
            drainPosted_ = true;
            QMetaObject::invokeMethod(context_, [this] { Drain(); }, Qt::QueuedConnection);
        }
        done_.notify_all();
    }
}
