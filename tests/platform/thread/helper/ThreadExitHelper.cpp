// thread-exit-helper
//     starts a worker that waits in a synchronised call nobody serves, then
//     ends the program without stopping the worker, as the program does with
//     its pipe server. Prints "worker waiting" before it returns from main.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/thread/Thread.h"

namespace {

std::atomic<bool> entered{false};

class Waiter : public TThread {
public:
    Waiter() : TThread(true) {}

protected:
    void Execute() override
    {
        Synchronize([] { std::puts("served"); });
    }
};

} // namespace

int main()
{
    auto* worker = new Waiter; // never deleted, like a thread that is never stopped
    TThread::Synchronize([] { entered = true; }); // on the main thread: runs directly
    worker->Start();
    // Give the worker time to queue its call and start waiting for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::puts(entered ? "worker waiting" : "main thread call lost");
    std::fflush(stdout);
    return 0;
}
