#pragma once
// The update job: one update check in a worker of its own. It asks the user
// whether to download an offered update, downloads and runs it in the update
// window TForm7, and has the main window quit when the update needs a
// restart. A silent job (the check at start-up) runs at most every three
// days and shows nothing unless an update is offered; once the user accepts
// it, it goes on as an interactive job.
//
// Create and destroy it on the main thread. Terminate ends a wait on the
// network, on a started update file and on the user's Finish, so the owner
// can stop the job and wait for it at exit.
#include "platform/thread/Thread.h"

#include <atomic>
#include <string>

class TForm7;
class Updater;

class UpdateThread : public TThread {
public:
    UpdateThread(bool silent, bool CreateSuspended);
    ~UpdateThread() override;

    // Both run their window part on the main thread and return once it ran;
    // a silent job only stores the values.
    void SetStatus(const std::string& text);
    void SetProgress(int position, int maximum);
    // The download reports through this.
    virtual void SetStatusAndProgress(const std::string& text, int position, int maximum);

    // The window, until the job has ended (main thread).
    TForm7* Window() const { return window_; }
    bool Silent() const { return silent_.load(); }

    static const char* const ProductName;
    static constexpr int OwnMajor = 2;
    static constexpr int OwnMinor = 0;

protected:
    void Execute() override;

private:
    // Steps from the check to the applied update; returns at the first end,
    // false when that end is a failure.
    bool RunUpdate();
    void ShowWindow();
    // Sleeps up to ms, less when the job is asked to stop.
    void Pause(int ms);
    void ThreadTerminated();

    Updater* updater_ = nullptr;
    TForm7* window_ = nullptr;
    std::string status_;
    int position_ = 0;
    int maximum_ = 0;
    std::atomic<bool> silent_;
    bool quitRequested_ = false;
};
