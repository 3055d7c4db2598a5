#include "tests/support/FifoWatchdog.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

FifoWatchdog::FifoWatchdog(std::string fifo, int seconds) : fifo_(std::move(fifo))
{
    thread_ = std::thread([this, seconds] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopped_; }))
            return;
        released_ = true;
        lock.unlock();
        // Keeps releasing until stopped: the code may open the FIFO again.
        for (;;) {
            for (const int side : {O_WRONLY, O_RDONLY})
                if (const int fd = ::open(fifo_.c_str(), side | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                    ::close(fd);
            lock.lock();
            if (wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopped_; }))
                return;
            lock.unlock();
        }
    });
}

FifoWatchdog::~FifoWatchdog()
{
    Stop();
}

void FifoWatchdog::Stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool FifoWatchdog::Released() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return released_;
}
