#include "zip/TZAWorkerPool.h"

#include "platform/rtl/ControlGroup.h"

#include <algorithm>
#include <atomic>
#include <exception>

TZAWorkerPool::TZAWorkerPool(int threads)
{
    threads_.reserve(size_t(std::max(threads, 1)));
    for (int i = 0; i < std::max(threads, 1); ++i)
        threads_.emplace_back([this] { Run(); });
}

TZAWorkerPool::~TZAWorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void TZAWorkerPool::Submit(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void TZAWorkerPool::Run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void RunOnWorkers(size_t count, const std::function<void(size_t)>& task)
{
    std::vector<std::exception_ptr> failures(count);
    auto run = [&](size_t i) {
        try {
            task(i);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    };
    const size_t workers = std::min(count, size_t(DefaultArchiverWorkers()));
    if (workers <= 1) {
        for (size_t i = 0; i < count; ++i)
            run(i);
    } else {
        TZAWorkerPool pool{static_cast<int>(workers)};
        for (size_t i = 0; i < count; ++i)
            pool.Submit([&run, i] { run(i); });
    }
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

namespace {

std::atomic<int> g_defaultWorkers{0};

}  // namespace

int DefaultArchiverWorkers()
{
    if (const int set = g_defaultWorkers.load(); set > 0)
        return set;
    return std::clamp(UsableProcessors(), 1, 8);
}

void SetDefaultArchiverWorkers(int workers) { g_defaultWorkers.store(std::max(workers, 0)); }
