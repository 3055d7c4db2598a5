#pragma once
// A fixed set of threads for the processor-bound part of items (compressing,
// encrypting, decrypting, inflating) while the archiver's own thread keeps
// the archive's reads and writes, its events and their order.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TZAWorkerPool {
public:
    explicit TZAWorkerPool(int threads);
    // Runs what was submitted to the end, then joins the threads.
    ~TZAWorkerPool();
    TZAWorkerPool(const TZAWorkerPool&) = delete;
    TZAWorkerPool& operator=(const TZAWorkerPool&) = delete;

    // Tasks start in submission order; a task must not throw.
    void Submit(std::function<void()> task);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Runs task(0) ... task(count - 1) on up to DefaultArchiverWorkers()
// threads and returns once all have ended; with one worker or one task, on
// the calling thread. A task that throws does not stop the others; the
// first exception, by task number, is raised here afterwards.
void RunOnWorkers(size_t count, const std::function<void(size_t)>& task);

// The worker count new archivers start with: the machine's cores, at most 8
// and at least 1, unless set below.
int DefaultArchiverWorkers();
// Sets the count new archivers start with (0: back to the machine's), for
// programs that create archivers indirectly, such as benchmarks.
void SetDefaultArchiverWorkers(int workers);
