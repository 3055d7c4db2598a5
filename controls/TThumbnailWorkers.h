#pragma once
// The worker threads that make the strip's thumbnails, one per core, at the
// lowest priority. The GUI thread queues jobs; a worker decodes and scales
// one into a thumbnail of its own, touching no item and no widget; finished
// thumbnails come back to the GUI thread in batches, through a queued call
// on the strip.
//
// Workers sleep on a condition while there is nothing to make: an idle strip
// wakes nobody. They are started with the first job and end with the object,
// which waits for the jobs being made and drops the queued ones.
//
// Queue, TakeQueued, Drain and WaitForResult: GUI thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "controls/TImageLoaderThread.h"

class QObject;

struct TThumbnailTask {
    // The job is skipped once this has expired: the item went, or it wants
    // another thumbnail now.
    std::weak_ptr<void> Token;
    TThumbnailJob Job;
};

struct TThumbnailDone {
    std::weak_ptr<void> Token;
    TThumbnailResult Result;
};

class TThumbnailWorkers {
public:
    using TResults = std::vector<TThumbnailDone>;
    // onResults runs on the context's thread with what is finished.
    TThumbnailWorkers(QObject* context, std::function<void(TResults&)> onResults);
    ~TThumbnailWorkers();
    TThumbnailWorkers(const TThumbnailWorkers&) = delete;
    TThumbnailWorkers& operator=(const TThumbnailWorkers&) = delete;

    void Queue(TThumbnailTask task);
    // The queued jobs no worker has begun, taken out of the queue.
    std::vector<TThumbnailTask> TakeQueued();
    // Hands what is finished to onResults now.
    void Drain();
    // Jobs queued or being made.
    int Pending() const;
    // Whether jobs are queued, being made or finished and not yet handed over.
    bool Busy() const;
    // Sleeps until a finished job waits for Drain or nothing is left to make.
    void WaitForResult();

private:
    void Run();

    QObject* context_;
    std::function<void(TResults&)> onResults_;
    mutable std::mutex mutex_;
    std::condition_variable work_;  // workers: a job or the end
    std::condition_variable done_;  // WaitForResult: a result or idle
    std::deque<TThumbnailTask> queue_;
    TResults results_;
    int making_ = 0;
    bool drainPosted_ = false;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};
