#include "app/NamedPipeClient.h"

#include "output/PortfolioGenerator.h"
#include "platform/rtl/Exception.h"

#include <chrono>

namespace {

const char* const kHeader = "<?xml version=\"1.0\"?><message><action>";

std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FileElement(const std::string& path)
{
    return "<file>" + Escaped(path) + "</file>";
}

} // namespace

std::string NamedPipeClient::PipeName()
{
    return std::string("\\\\.\\pipe\\") + PortfolioGenerator::ApplicationKey;
}

NamedPipeClient::NamedPipeClient(int waitMs)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(waitMs);
    const std::string name = PipeName();
    for (;;) {
        handle_ = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_)
            return;
        // We are a client because the instance lock is held: a socket that
        // is missing or refuses belongs to an instance still starting.
        const DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY && error != ERROR_FILE_NOT_FOUND)
            throw Exception("Failed to open the client pipe.");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0 || !WaitNamedPipeA(name, static_cast<DWORD>(left)))
            throw Exception("Failed to open the client named pipe.");
    }
}

NamedPipeClient::~NamedPipeClient()
{
    if (handle_)
        CloseHandle(handle_);
}

bool NamedPipeClient::Send(const std::string& text)
{
    DWORD written = 0;
    return WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool NamedPipeClient::OpenPortfolio(const std::string& path)
{
    return Send(OpenPortfolioMessage(path));
}

bool NamedPipeClient::AddArtworks(const std::vector<std::string>& files)
{
    return Send(AddArtworksMessage(files));
}

bool NamedPipeClient::FocusApplication()
{
    return Send(FocusApplicationMessage());
}

std::string NamedPipeClient::OpenPortfolioMessage(const std::string& path)
{
    return kHeader + std::string("OpenPortfolio</action>") + FileElement(path) + "</message>";
}

std::string NamedPipeClient::AddArtworksMessage(const std::vector<std::string>& files)
{
    std::string message = kHeader + std::string("AddArtworks</action>");
    for (const std::string& file : files)
        message += FileElement(file);
    return message + "</message>";
}

std::string NamedPipeClient::FocusApplicationMessage()
{
    return kHeader + std::string("FocusApplication</action></message>");
}
