#pragma once
// Guards code that must not open a FIFO and wait on it: when the time is up
// and the code still runs, the FIFO is opened from the other side and closed
// again, which ends the wait (the reader then sees an empty file), so that a
// fault fails the test instead of hanging it.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class FifoWatchdog {
public:
    FifoWatchdog(std::string fifo, int seconds);
    // Stops the watchdog; a wait it released stays recorded.
    ~FifoWatchdog();
    void Stop();
    // True when the time ran out before Stop(), and the FIFO was released.
    bool Released() const;

private:
    std::string fifo_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    bool released_ = false;
    std::thread thread_;
};
