#pragma once
// The update client: reads the update description over HTTPS, decides
// whether a newer version is offered, downloads the files it lists into a
// fresh private folder, checks each against its MD5 and runs them. Blocking;
// it runs on the update job's thread. Every operation returns false on
// failure and leaves the reason in GetError().
#include <functional>
#include <memory>
#include <string>
#include <vector>

class UpdateThread;

// One file of an update.
class UpdateDownload {
public:
    std::string Name;      // joined to the download address and the folder
    int Size = 0;          // the byte count; more bytes than this fail
    std::string Hash;      // MD5, 32 upper-case hexadecimal digits
    std::string LocalPath; // where DownloadAll put it
    std::string CommandLine;
};

class Updater {
public:
    Updater(const std::string& url, const std::string& product, int major, int minor);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    bool CheckForUpdates();
    // Both clear the error text.
    bool IsUpdateAvailable();
    bool NeedsRestart();
    // Downloads and verifies every file, stopping at the first that fails;
    // job (may be null) is told the progress.
    bool DownloadAll(UpdateThread* job);
    bool FetchFile(UpdateDownload* file, UpdateThread* job);
    // Runs every downloaded file in order: without restart one after the
    // other, each waited for; with restart each in a session of its own.
    // Runs nothing while the program runs as root (see MayInstall).
    bool ApplyUpdates();

    // False while the program runs as root: downloaded installers are never
    // run with the rights of root.
    static bool MayInstall();
    // What the user is told instead of installing as root.
    static std::string RootRefusal();
    // For tests of the install steps only (the tests run as root).
    static void SetTestRootRuleOff(bool off);

    std::string GetError() const { return error_; }
    // Sets the error text; returns false.
    bool SetError(const std::string& text);

    // Asked while the network or a started file is waited for: once true,
    // the operation in progress gives up.
    void SetStopRequest(std::function<bool()> stop) { stop_ = std::move(stop); }

    const std::vector<std::unique_ptr<UpdateDownload>>& Downloads() const { return downloads_; }

    // The update description's address: "https://" + the update host the
    // build names + "/update2.xml"; empty when the build names none.
    static std::string DescriptionAddress();
    // For tests only: the description's address, a CA file trusted in place
    // of the system store and the stall limit in seconds. Empty texts and 0
    // restore the defaults.
    static void SetTestOverrides(const std::string& address, const std::string& caFile, int stallSeconds);

private:
    bool ReadDescription(const std::string& text);
    bool Stopped() const { return stop_ && stop_(); }

    bool updateAvailable_ = false;
    bool restart_ = false;
    std::string error_;
    std::string url_;
    std::string product_;
    int ownMajor_ = 0;
    int ownMinor_ = 0;
    std::string remoteMajor_;
    std::string remoteMinor_;
    std::string downloadUrl_;
    std::vector<std::unique_ptr<UpdateDownload>> downloads_;
    std::function<bool()> stop_;
};
