#include "app/NamedPipeServer.h"

#include "app/NamedPipeClient.h"
#include "app/TForm1.h"
#include "model/Portfolio.h"
#include "output/Form1.h"
#include "output/MessageBox.h"
#include "output/ProgressThread.h"
#include "platform/ipc/Ipc.h"
#include "platform/xml/XMLDocument.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <thread>

NamedPipeServer::NamedPipeServer() : TThread(false), retry_(std::make_unique<QTimer>())
{
    retry_->setInterval(100);
    QObject::connect(retry_.get(), &QTimer::timeout, [this] { RunWaiting(); });
}

NamedPipeServer::~NamedPipeServer()
{
    Stop();
}

void NamedPipeServer::Stop()
{
    Terminate();
    retry_->stop();
    waiting_.clear();
    // Shut down until the thread has seen it: it may be between making a
    // pipe instance and waiting on it, and a new instance binds again.
    while (Started() && !Finished()) {
        ShutdownNamedPipe(NamedPipeClient::PipeName());
        CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    WaitFor();
    ShutdownNamedPipe(NamedPipeClient::PipeName());
}

void NamedPipeServer::Execute()
{
    const std::string name = NamedPipeClient::PipeName();
    char buffer[2048];
    while (!Terminated()) {
        HANDLE instance = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 2048, 2048, 10000, nullptr);
        // Without an instance no hand-over can come in this run: later
        // starts would fail against this one without a word, so the user
        // hears it once, and this window goes on alone.
        if (!instance) {
            if (!Terminated())
                ReportNoHandOver(GetLastError());
            return;
        }
        if (Terminated() || (!ConnectNamedPipe(instance, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)) {
            const bool stopped = Terminated() || GetLastError() == ERROR_OPERATION_ABORTED;
            CloseHandle(instance);
            if (stopped)
                return;
            // A connection that failed (out of descriptors, say) is dropped;
            // the pause keeps a lasting failure from spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        SetNamedPipeConnectionDeadline(instance, kDeadlineMs);
        std::string text;
        DWORD read = 0;
        bool whole = false;
        for (;;) {
            if (ReadFile(instance, buffer, sizeof buffer - 1, &read, nullptr) || GetLastError() == ERROR_MORE_DATA) {
                text.append(buffer, read);
                if (text.size() > kMaxMessage)
                    break;
                continue;
            }
            // Only a message its client ended is whole; one cut off by the
            // deadline or the stop is not a request.
            whole = GetLastError() == ERROR_BROKEN_PIPE;
            break;
        }
        CloseHandle(instance);
        if (whole && !text.empty() && !Terminated()) {
            try {
                HandleMessage(text);
            } catch (...) {
                // A message that cannot be carried out is dropped; the next
                // connection is served as usual.
            }
        }
    }
}

void NamedPipeServer::ReportNoHandOver(unsigned error)
{
    const std::string cause = error == ERROR_ACCESS_DENIED
                                  ? "a socket of another run is in the way, or the folder is not yours alone"
                                  : "error " + std::to_string(error);
    SyncMessageBox("Velmora Voravev cannot take pictures or portfolios from later starts while this window is open: "
                   "the hand-over could not be set up in \"" + GetIpcFolder() + "\" (" + cause +
                       "). This window works on its own; open files through its File menu, or close it and "
                       "start the program again.",
                   "Warning", MB_OK | MB_ICONWARNING);
}

std::optional<PipeRequest> NamedPipeServer::ParseMessage(const std::string& text)
{
    TXMLDocument document;
    try {
        document.LoadFromXML(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    IXMLNode message;
    for (const IXMLNode& node : document.ChildNodes())
        if (node.IsElement() && node.NodeName() == "message") {
            message = node;
            break;
        }
    const IXMLNode action = message.ChildNode("action");
    if (!action)
        return std::nullopt;
    const std::string verb = action.Text();
    PipeRequest request;
    if (verb == "FocusApplication") {
        request.action = PipeRequest::Action::FocusApplication;
    } else if (verb == "OpenPortfolio") {
        request.action = PipeRequest::Action::OpenPortfolio;
        if (const IXMLNode file = message.ChildNode("file"))
            request.files.push_back(file.Text());
    } else if (verb == "AddArtworks") {
        request.action = PipeRequest::Action::AddArtworks;
        for (const IXMLNode& node : message.ChildNodes())
            if (node.IsElement() && node.NodeName() == "file")
                request.files.push_back(node.Text());
    } else {
        return std::nullopt;
    }
    return request;
}

void NamedPipeServer::HandleMessage(const std::string& text)
{
    std::optional<PipeRequest> request = ParseMessage(text);
    if (!request)
        return;
    Synchronize([this, &request] { Dispatch(std::move(*request)); });
}

bool NamedPipeServer::MainWindowBusy() const
{
    if (running_ || QApplication::activeModalWidget() || Form1HeldDisabled())
        return true;
    if (Form1 && Form1->AddingArtworks())
        return true;
    if (Form1)
        for (const auto& job : Form1->Jobs())
            if (!job->Finished())
                return true;
    return false;
}

void NamedPipeServer::Dispatch(PipeRequest request)
{
    if (Terminated() || !Form1)
        return;
    if (MainWindowBusy() || !waiting_.empty()) {
        FocusMainWindow();
        waiting_.push_back(std::move(request));
        retry_->start();
        return;
    }
    Run(request);
}

void NamedPipeServer::RunWaiting()
{
    while (!waiting_.empty() && !MainWindowBusy()) {
        const PipeRequest request = std::move(waiting_.front());
        waiting_.pop_front();
        Run(request);
    }
    if (waiting_.empty())
        retry_->stop();
}

void NamedPipeServer::Run(const PipeRequest& request)
{
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    pendingPath_.clear();
    switch (request.action) {
    case PipeRequest::Action::FocusApplication:
        break;
    case PipeRequest::Action::OpenPortfolio:
        if (!request.files.empty()) {
            pendingPath_ = request.files.front();
            OpenPendingPortfolio();
        }
        break;
    case PipeRequest::Action::AddArtworks:
        // Decoded on workers under the progress window; later requests wait
        // until all of them are in.
        if (Form1 && Form1->GetPortfolio())
            Form1->AddArtworksFromFiles(request.files);
        break;
    }
    FocusMainWindow();
}

void NamedPipeServer::FocusMainWindow()
{
    QWidget* window = Form1;
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
    // A dialog in front of the main window stays in front of it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void NamedPipeServer::OpenPendingPortfolio()
{
    if (Form1 && !pendingPath_.empty())
        Form1->OpenPortfolio(pendingPath_);
}

void NamedPipeServer::RefreshMainWindow()
{
    if (Form1)
        Form1->ShowSelectedPage();
}
