#pragma once
// NamedPipeServer (unit Namedpipeserver): the running instance's side of the
// single-instance hand-over. A worker thread takes one message per
// connection from the pipe and hands it to the main thread in one
// synchronised call, where it is carried out: bring the main window to the
// front, open a portfolio, or add picture files as new "New Artwork" items.
//
// While a job or an addition of artworks runs, a modal dialog is open or
// another window holds the main window disabled, a request only brings the
// window forward and waits; the waiting requests run in arrival order once
// the main window is free, so a portfolio that a job or dialog is using is
// never replaced under it.
//
// Made and stopped by the main window on the main thread.
#include "platform/thread/Thread.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

// One decoded message.
struct PipeRequest {
    enum class Action { FocusApplication, OpenPortfolio, AddArtworks };
    Action action = Action::FocusApplication;
    // OpenPortfolio: at most one (none when the message had no file
    // element); AddArtworks: every file element in document order.
    std::vector<std::string> files;
    bool operator==(const PipeRequest&) const = default;
};

class NamedPipeServer : public TThread {
public:
    // Starts running at once.
    NamedPipeServer();
    // Stops first.
    ~NamedPipeServer() override;

    // Ends the thread: wakes it wherever it waits on the pipe, drops what
    // it has not handed over yet and joins it. Main thread only.
    void Stop();

    // On the server thread: decodes the text and hands it to the main thread.
    void HandleMessage(const std::string& text);
    // On the main thread.
    void FocusMainWindow();
    void OpenPendingPortfolio();
    void RefreshMainWindow();

    // The request a message asks for; nothing for a text that is not a
    // well-formed message with a known action.
    static std::optional<PipeRequest> ParseMessage(const std::string& text);

    // Requests waiting for the main window to be free (main thread).
    size_t WaitingRequests() const { return waiting_.size(); }

    // The limits per connection: a message longer than kMaxMessage, or one
    // not ended within kDeadlineMs, is dropped.
    static constexpr size_t kMaxMessage = 1 << 20;
    static constexpr unsigned kDeadlineMs = 5000;

protected:
    void Execute() override;

private:
    // On the main thread.
    void Dispatch(PipeRequest request);
    void Run(const PipeRequest& request);
    bool MainWindowBusy() const;
    void RunWaiting();
    // Once, when this run cannot serve later starts; says why.
    void ReportNoHandOver(unsigned error);

    std::string pendingPath_;
    std::deque<PipeRequest> waiting_;
    std::unique_ptr<QTimer> retry_;
    bool running_ = false;
};
