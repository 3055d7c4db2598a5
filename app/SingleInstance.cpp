#include "app/SingleInstance.h"

#include "app/NamedPipeClient.h"
#include "app/TApplication.h"
#include "output/PortfolioGenerator.h"
#include "platform/registry/RegistryHive.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

namespace {

std::string Absolute(const std::string& path, const std::string& currentFolder)
{
    if (path.empty() || path.front() == '/' || currentFolder.empty())
        return path;
    return currentFolder + (currentFolder.back() == '/' ? "" : "/") + path;
}

std::string CurrentFolder()
{
    std::string folder(4096, '\0');
    while (!::getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE)
            return {};
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder;
}

// A box can be shown only where a display is; an offscreen platform would
// wait for a click nobody can give.
bool HasDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0))
        return false;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value)
            return true;
    return false;
}

int ReportFailure(int argc, char** argv, const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    if (HasDisplay()) {
        TApplication app(argc, argv);
        app.ShowException(message);
    }
    return 1;
}

} // namespace

bool HandOver(NamedPipeClient& client, const std::vector<std::string>& args, const std::string& currentFolder)
{
    if (args.size() <= 1)
        return client.FocusApplication();
    if (args[1] == "/open")
        return client.OpenPortfolio(args.size() > 2 ? Absolute(args[2], currentFolder) : std::string());
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i)
        files.push_back(Absolute(args[i], currentFolder));
    return client.AddArtworks(files);
}

std::optional<int> HandOverToRunningInstance(int argc, char** argv, HANDLE* instanceLock)
{
    *instanceLock = nullptr;
    HANDLE lock = CreateMutexA(nullptr, true, PortfolioGenerator::ApplicationKey);
    if (!lock) {
        // Running anyway would let two instances write the same settings.
        const std::string folder = GetIpcFolder();
        if (GetLastError() == ERROR_ACCESS_DENIED && !folder.empty())
            return ReportFailure(argc, argv,
                                 "Velmora Voravev cannot start: the folder \"" + folder +
                                     "\" must be a folder of yours that nobody else may open. Remove it, or "
                                     "make it yours with permissions 700, then start the program again.");
        return ReportFailure(argc, argv,
                             "Velmora Voravev cannot start: the lock that keeps it from running twice could not "
                             "be made in \"" + folder + "\" (error " + std::to_string(GetLastError()) + ").");
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        // The instance is the one that reads the settings, which name the
        // accounts mail goes through and a library it loads.
        if (const std::string problem = RegistryHive::FolderProblem(RegistryHive::Folder()); !problem.empty()) {
            CloseHandle(lock);
            return ReportFailure(argc, argv, "Velmora Voravev cannot start. " + problem);
        }
        *instanceLock = lock;
        return std::nullopt;
    }
    CloseHandle(lock);
    try {
        NamedPipeClient client;
        if (!HandOver(client, std::vector<std::string>(argv, argv + argc), CurrentFolder()))
            return ReportFailure(argc, argv, "Failed to write to the client pipe.");
    } catch (const std::exception& error) {
        return ReportFailure(argc, argv, error.what());
    }
    return 0;
}
