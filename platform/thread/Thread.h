#pragma once
// Worker thread with synchronised calls onto the main thread.
//
// The main thread is the thread of the QCoreApplication (or, before one
// exists, the thread that started the process). Widgets may be touched there
// only, so a worker hands such work to Synchronize, which runs it on the main
// thread and blocks the worker until it has run.
//
// Rules that keep this free of deadlocks:
//  - Synchronize called on the main thread runs the call directly.
//  - WaitFor called on the main thread keeps running the pending synchronised
//    calls of every worker while it waits, so a worker blocked in one can end.
//  - An exception thrown by a synchronised call is caught on the main thread
//    and thrown again in the calling worker; it never reaches the event loop.
//
// Lifetime: the destructor asks the thread to stop and waits for it. C++
// destroys the derived part first, so a subclass with members that its
// Execute uses must call Terminate() and WaitFor() at the start of its own
// destructor.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
public:
    // A thread created suspended runs once Start (or Resume) is called. One
    // created running starts as soon as the main event loop gets to it, or
    // at the first Start/WaitFor, whichever comes first: the constructors of
    // the subclasses must finish before Execute may run.
    explicit TThread(bool CreateSuspended);
    virtual ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Resume() { Start(); }

    // Sets the stop request; Execute decides whether and when to look at it.
    void Terminate();
    // Also true for every thread once the program is ending (TerminateAll).
    bool Terminated() const { return terminated_.load() || AllTerminated(); }

    // The program is ending (a signal asked it to): every worker, running
    // or yet to start, is asked to stop at its next check, and long work
    // that is not a worker of its own (a connection test) looks here too.
    // Cannot be undone.
    static void TerminateAll();
    static bool AllTerminated();

    // True once Execute has returned.
    bool Finished() const { return finished_.load(); }
    // True once the worker has been launched.
    bool Started() const;

    // Waits until Execute has returned and the end handlers have run;
    // returns ReturnValue. A thread that was never started returns at once.
    int WaitFor();

    TThreadPriority Priority() const { return priority_.load(); }
    void SetPriority(TThreadPriority priority);

    // What escaped Execute, if anything (the thread itself never lets it out).
    std::exception_ptr FatalException() const;

    // Runs on the main thread (synchronised) after Execute has returned.
    std::function<void()> OnTerminate;

    // Runs call on the main thread and returns when it has run there.
    static void Synchronize(const std::function<void()>& call);
    // Runs the synchronised calls waiting for the main thread; true when it
    // ran any. Does nothing on other threads.
    static bool CheckSynchronize();
    static bool IsMainThread();

protected:
    virtual void Execute() = 0;

    // For subclasses: runs on the worker right after Execute, before
    // OnTerminate. A member rather than a virtual so the worker never reads
    // the object's type while an owner destroys it.
    std::function<void()> AfterExecute;

    std::atomic<int> ReturnValue{0};

private:
    void Run();
    void StartLocked();
    void ApplyPriority();
    static void PostedStart(TThread* thread);

    std::thread thread_;
    mutable std::mutex mutex_;        // guards thread_, started_, fatal_
    std::mutex joinMutex_;
    bool started_ = false;
    bool done_ = false;               // guarded by the process-wide sync mutex
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<long> tid_{0};
    std::exception_ptr fatal_;
};
