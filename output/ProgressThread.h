#pragma once
// Base of the job threads: a worker that owns a progress window and updates
// it on the main thread through synchronised calls.
//
// Create and destroy it on the main thread (it owns a window). A job whose
// Execute uses members of its own must call Terminate() and WaitFor() at the
// start of its destructor, before those members go.
#include "platform/thread/Thread.h"

#include <atomic>
#include <string>

class TForm15;

class ProgressThread : public TThread {
public:
    ProgressThread(const std::string& title, bool CreateSuspended);
    ~ProgressThread() override;

    // Both may be called on the worker or on the main thread; they return
    // once the window shows the new values.
    void SetStatus(const std::string& text);
    // Ignored unless 0 <= position <= maximum.
    void SetProgress(int position, int maximum);
    // A bar standing full would tell the user a failed job went well.
    void EmptyBar() { SetProgress(0, 0); }
    // The busy animation while the job waits without a measure of progress;
    // the next SetProgress ends it.
    void ShowBusy();
    // The status of a job whose generator failed: the cause the generator
    // gave (the artwork, the file, the component), or a general text.
    void ReportGenerationFailure(const std::string& cause = {});

    // Window operations; they run on the main thread whichever thread calls.
    void ShowProgressForm();
    void HideProgressForm();
    void EnableCloseButton();
    // Shows the window's Cancel button: a click asks the job to stop, which
    // Cancelled() then tells; the job decides what it keeps.
    void OfferCancel();
    bool Cancelled() const { return cancelled_.load(); }

    TForm15* ProgressForm() const { return progressForm_; }
    const std::string& Title() const { return title_; }

private:
    void UpdateStatus();
    void UpdateProgress();

    std::string statusText_;
    TForm15* progressForm_ = nullptr;
    std::string title_;
    int position_ = 0;
    int maximum_ = 0;
    std::atomic<bool> cancelled_{false};
};
