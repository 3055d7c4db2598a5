#include "platform/thread/RunOnWorker.h"

#include "platform/thread/Thread.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <exception>

namespace {

class WorkerCall : public TThread {
public:
    explicit WorkerCall(const std::function<void()>& work) : TThread(true), work_(work) {}
    ~WorkerCall() override
    {
        Terminate();
        if (Started())
            WaitFor();
    }

    std::exception_ptr error;

protected:
    void Execute() override
    {
        try {
            work_();
        } catch (...) {
            error = std::current_exception();
        }
    }

private:
    const std::function<void()>& work_;
};

} // namespace

void RunOnWorker(const std::function<void()>& work)
{
    // Without an event loop to keep there is nothing to win.
    if (!TThread::IsMainThread() || !QCoreApplication::instance()) {
        work();
        return;
    }
    WorkerCall call(work);
    QEventLoop loop;
    // Runs on the main thread, which gets to it only inside loop.exec().
    call.OnTerminate = [&loop] { loop.quit(); };
    call.Start();
    loop.exec();
    call.WaitFor();
    if (call.error)
        std::rethrow_exception(call.error);
}
