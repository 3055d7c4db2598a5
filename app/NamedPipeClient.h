#pragma once
// NamedPipeClient (unit Namedpipeclient): the second start's side of the
// single-instance hand-over. It connects to the running instance's pipe and
// sends one XML message: bring the program to the front, open a portfolio,
// or add picture files as new artworks. Used before any application object
// exists; any thread.
#include "platform/ipc/Ipc.h"

#include <string>
#include <vector>

class NamedPipeClient {
public:
    // Connects. While the running instance cannot take the connection yet
    // (still starting, or busy), retries for up to waitMs in all; throws
    // Exception("Failed to open the client named pipe.") when that time runs
    // out and Exception("Failed to open the client pipe.") on other errors.
    explicit NamedPipeClient(int waitMs = 10000);
    ~NamedPipeClient();
    NamedPipeClient(const NamedPipeClient&) = delete;
    NamedPipeClient& operator=(const NamedPipeClient&) = delete;

    bool OpenPortfolio(const std::string& path);
    bool AddArtworks(const std::vector<std::string>& files);
    bool FocusApplication();
    // Writes the whole text; true only when every byte went out.
    bool Send(const std::string& text);

    // The messages. Paths are escaped ("&", "<", ">"), so any file name
    // reaches the running instance as it is.
    static std::string OpenPortfolioMessage(const std::string& path);
    static std::string AddArtworksMessage(const std::vector<std::string>& files);
    static std::string FocusApplicationMessage();

    // Format("\\.\pipe\%s", the application key).
    static std::string PipeName();

private:
    HANDLE handle_ = nullptr;
};
