#pragma once
// The process-wide settings object. Preferences live in the current user's
// registry under "Software\Velmora Album Designer Pro", section "Settings";
// the object also knows the install folder, the application-data folder, the
// program that shows PDF files, the default mail client and the program's
// built-in text resources.
#include <memory>
#include <string>

#include "platform/rtl/DateTime.h"

class TRegistryIniFile;

class Options {
public:
    static Options* Instance();
    static void FreeInstance();

    Options();
    ~Options();
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    // Kind of operating system as the updater knows it; 2 = "other".
    int GetWindowsKind() const { return windowsKind_; }
    // The bytes of the built-in resource of type "RC_DATA"; empty when missing.
    std::string GetResourceText(const std::string& name) const;

    TDateTime GetLastUpdateCheck();
    // Stores the current local date and time.
    void SetLastUpdateCheck();
    bool GetShowWelcome();
    void SetShowWelcome(bool show);
    bool GetCheckForUpdates();
    void SetCheckForUpdates(bool check);
    bool GetIncludeCopyright();
    void SetIncludeCopyright(bool include);
    bool GetIncludeDate();
    void SetIncludeDate(bool include);
    // Index into the picture size table, 0..7; other values are ignored.
    int GetPictureSize();
    void SetPictureSize(int size);
    // 0..100; other values are ignored.
    int GetPdfCompression();
    void SetPdfCompression(int compression);

    // The most recent portfolio; while none is stored it is the sample
    // portfolio in the install folder, and that path is stored.
    std::string GetRecentFile0();
    std::string GetRecentFile1();
    std::string GetRecentFile2();
    std::string GetRecentFile3();
    void SetRecentFile0(const std::string& path);
    void SetRecentFile1(const std::string& path);
    void SetRecentFile2(const std::string& path);
    void SetRecentFile3(const std::string& path);

    // Where the shipped data sits, ending in "/" (empty only when the
    // program's own path cannot be found).
    std::string GetInstallFolder();
    // The shipped sample portfolio, in the install folder.
    std::string GetSampleFile();
    // $XDG_DATA_HOME/VelmoraCreator/ (created when missing); empty when no
    // data folder is known.
    std::string GetAppDataFolder();
    // The command that shows a PDF file: the registered viewer of ".pdf", or
    // "xdg-open" when none is registered.
    std::string GetPdfViewerCommand();
    // The display name of the user's mail client; "Default Mail Client" when
    // the desktop names one whose name cannot be told; empty when it names none.
    std::string GetDefaultMailClient();

    bool IsPicasaInstalled();
    bool GetPicasaIntegration();
    void SetPicasaIntegration(bool on);

    // The install folder for a program whose file lies in exeFolder: that
    // folder when it holds the shipped "templates.vtp", else its
    // "../share/velmora-voravev/".
    static std::string InstallFolderFor(const std::string& exeFolder);

    // Names in the registry, shared with the tests and the e-mail accounts.
    static const char* const SettingsKey;
    static const char* const SettingsSection;
    static const char* const SampleFileName;

private:
    std::string GetRecentFile(int index);
    void SetRecentFile(int index, const std::string& path);
    std::string PicasaEntryText();

    int windowsKind_ = 2;
    std::unique_ptr<TRegistryIniFile> store_;
    std::string installFolder_;
};
