#include "model/Options.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sys/stat.h>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/resources/Resources.h"
#include "platform/rtl/FileName.h"
#include "platform/shell/Shell.h"

const char* const Options::SettingsKey = "Software\\Velmora Album Designer Pro";
const char* const Options::SettingsSection = "Settings";
const char* const Options::SampleFileName = "Sample Portfolio.pfo";

namespace {

// One fixed default for the install folder and the recent files: empty, so
// that a fresh machine computes the install folder and the sample path.
const char* const kDefaultText = "";

const char* const kFirstRun = "FirstRun";
const char* const kInstallFolder = "InstallFolder";
const char* const kLastUpdateCheck = "LastUpdateCheck";
const char* const kShowWelcome = "ShowWelcome";
const char* const kCheckForUpdates = "CheckForUpdates";
const char* const kIncludeCopyright = "IncludeCopyright";
const char* const kIncludeDate = "IncludeDate";
const char* const kPictureSize = "PictureSize";
const char* const kPdfCompression = "PdfCompression";
const char* const kRecentFile[4] = {"RecentFile0", "RecentFile1", "RecentFile2", "RecentFile3"};

const char* const kShippedTemplates = "templates.vtp";
const char* const kSharedDataFolder = "../share/velmora-voravev/";

// The photo organiser: its presence key, the key holding its tool buttons,
// and the three fixed parts of our button entry around the install folder.
const char* const kPicasaPresenceKey = "\\Software\\Google\\Picasa";
const char* const kPicasaButtonsKey = "\\Software\\Google\\Picasa\\Picasa2\\Preferences\\Buttons";
const char* const kPicasaEntryPrefix = "VelmoraVoravev:";
const char* const kPicasaEntryMiddle = "velmora-voravev";
const char* const kPicasaEntrySuffix = ".pbf";

const char* const kDefaultMailClient = "Default Mail Client";

std::mutex instanceMutex;
Options* instance = nullptr;

std::string WithSlash(const std::string& folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

bool ParseDecimal(const std::string& text, long long& out)
{
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return first != last && ec == std::errc() && ptr == last;
}

std::string Trim(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    return s.substr(b);
}

// The "Name" of a desktop entry file's [Desktop Entry] group.
std::string DesktopEntryName(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (inEntry && line.rfind("Name=", 0) == 0)
            return Trim(line.substr(5));
    }
    return {};
}

// The name of the desktop's handler for mailto links, as xdg-mime reports it.
std::string DesktopMailClientName()
{
    FILE* pipe = popen("xdg-mime query default x-scheme-handler/mailto 2>/dev/null", "r");
    if (!pipe)
        return {};
    std::string id;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        id.append(buf, n);
    pclose(pipe);
    id = Trim(id);
    if (const size_t nl = id.find('\n'); nl != std::string::npos)
        id = Trim(id.substr(0, nl));
    if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..")
        return {};

    std::vector<std::string> dataDirs;
    if (const std::string home = GetLocalAppDataFolder(); !home.empty())
        dataDirs.push_back(home);
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= list.size()) {
        const size_t sep = list.find(':', start);
        const std::string dir = list.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!dir.empty() && dir[0] == '/')
            dataDirs.push_back(dir);
        if (sep == std::string::npos)
            break;
        start = sep + 1;
    }
    for (const std::string& dir : dataDirs) {
        const std::string file = WithSlash(dir) + "applications/" + id;
        struct stat st{};
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            const std::string name = DesktopEntryName(file);
            if (!name.empty())
                return name;
            break;
        }
    }
    // The desktop names a mail program whose entry tells no name.
    return kDefaultMailClient;
}

} // namespace

Options* Options::Instance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance)
        instance = new Options();
    return instance;
}

void Options::FreeInstance()
{
    std::lock_guard lock(instanceMutex);
    delete instance;
    instance = nullptr;
}

std::string Options::InstallFolderFor(const std::string& exeFolder)
{
    if (exeFolder.empty())
        return {};
    const std::string folder = WithSlash(exeFolder);
    struct stat st{};
    if (::stat((folder + kShippedTemplates).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return folder;
    // Resolve "bin/.." without touching the disk so the stored text is tidy.
    std::string shared = folder + kSharedDataFolder;
    std::vector<std::string> parts;
    size_t start = 1;
    while (start <= shared.size()) {
        const size_t sep = shared.find('/', start);
        const std::string part = shared.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (sep == std::string::npos)
            break;
        start = sep + 1;
    }
    if (shared[0] != '/')
        return shared;
    std::string out = "/";
    for (const std::string& part : parts)
        out += part + "/";
    return out;
}

Options::Options()
    : store_(std::make_unique<TRegistryIniFile>(SettingsKey))
{
    // The folder follows the program: an old value would point at a moved
    // or replaced installation and hide its shipped templates.
    installFolder_ = InstallFolderFor(GetExecutableFolder());
    try {
        if (!installFolder_.empty()
            && store_->ReadString(SettingsSection, kInstallFolder, kDefaultText) != installFolder_)
            store_->WriteString(SettingsSection, kInstallFolder, installFolder_);
        if (store_->ReadBool(SettingsSection, kFirstRun, true)) {
            GetInstallFolder();
            SetPicasaIntegration(true);
            store_->WriteBool(SettingsSection, kFirstRun, false);
        }
    } catch (const Exception&) {
        // An unwritable registry must not stop the program; the settings
        // simply read as their defaults.
    }
}

Options::~Options() = default;

std::string Options::GetResourceText(const std::string& name) const
{
    const auto bytes = FindResource(name, "RC_DATA");
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TDateTime Options::GetLastUpdateCheck()
{
    return store_->ReadDateTime(SettingsSection, kLastUpdateCheck, 0);
}

void Options::SetLastUpdateCheck()
{
    store_->WriteDateTime(SettingsSection, kLastUpdateCheck, Now());
}

bool Options::GetShowWelcome()
{
    return store_->ReadBool(SettingsSection, kShowWelcome, true);
}

void Options::SetShowWelcome(bool show)
{
    store_->WriteBool(SettingsSection, kShowWelcome, show);
}

bool Options::GetCheckForUpdates()
{
    return store_->ReadBool(SettingsSection, kCheckForUpdates, true);
}

void Options::SetCheckForUpdates(bool check)
{
    store_->WriteBool(SettingsSection, kCheckForUpdates, check);
}

bool Options::GetIncludeCopyright()
{
    return store_->ReadBool(SettingsSection, kIncludeCopyright, true);
}

void Options::SetIncludeCopyright(bool include)
{
    store_->WriteBool(SettingsSection, kIncludeCopyright, include);
}

bool Options::GetIncludeDate()
{
    return store_->ReadBool(SettingsSection, kIncludeDate, false);
}

void Options::SetIncludeDate(bool include)
{
    store_->WriteBool(SettingsSection, kIncludeDate, include);
}

int Options::GetPictureSize()
{
    return store_->ReadInteger(SettingsSection, kPictureSize, 5);
}

void Options::SetPictureSize(int size)
{
    if (size >= 0 && size <= 7)
        store_->WriteInteger(SettingsSection, kPictureSize, size);
}

int Options::GetPdfCompression()
{
    return store_->ReadInteger(SettingsSection, kPdfCompression, 80);
}

void Options::SetPdfCompression(int compression)
{
    if (compression >= 0 && compression <= 100)
        store_->WriteInteger(SettingsSection, kPdfCompression, compression);
}

std::string Options::GetRecentFile(int index)
{
    return store_->ReadString(SettingsSection, kRecentFile[index], kDefaultText);
}

void Options::SetRecentFile(int index, const std::string& path)
{
    store_->WriteString(SettingsSection, kRecentFile[index], path);
}

std::string Options::GetRecentFile0()
{
    std::string path = GetRecentFile(0);
    if (path.empty()) {
        path = GetSampleFile();
        try {
            SetRecentFile0(path);
        } catch (const Exception&) {
            // Still answer the sample path; it is stored on a later call.
        }
    }
    return path;
}

std::string Options::GetRecentFile1() { return GetRecentFile(1); }
std::string Options::GetRecentFile2() { return GetRecentFile(2); }
std::string Options::GetRecentFile3() { return GetRecentFile(3); }
void Options::SetRecentFile0(const std::string& path) { SetRecentFile(0, path); }
void Options::SetRecentFile1(const std::string& path) { SetRecentFile(1, path); }
void Options::SetRecentFile2(const std::string& path) { SetRecentFile(2, path); }
void Options::SetRecentFile3(const std::string& path) { SetRecentFile(3, path); }

std::string Options::GetSampleFile()
{
    return WithSlash(GetInstallFolder()) + SampleFileName;
}

std::string Options::GetInstallFolder()
{
    if (!installFolder_.empty())
        return installFolder_;
    try {
        const std::string stored = store_->ReadString(SettingsSection, kInstallFolder, kDefaultText);
        if (!stored.empty()) {
            installFolder_ = WithSlash(stored);
        } else {
            installFolder_ = InstallFolderFor(GetExecutableFolder());
            store_->WriteString(SettingsSection, kInstallFolder, installFolder_);
        }
    } catch (const Exception&) {
    }
    return installFolder_;
}

std::string Options::GetAppDataFolder()
{
    const std::string base = GetLocalAppDataFolder();
    if (base.empty())
        return {};
    const std::string folder = WithSlash(base) + "VelmoraCreator/";
    ForceDirectories(folder);
    return folder;
}

std::string Options::GetPdfViewerCommand()
{
    std::string command;
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        std::string handler;
        if (reg.OpenKeyReadOnly("\\.pdf\\PersistentHandler"))
            handler = reg.ReadString("");
        reg.CloseKey();
        if (!handler.empty() && reg.OpenKeyReadOnly("\\CLSID")) {
            const std::vector<std::string> classes = reg.GetKeyNames();
            for (const std::string& k : classes) {
                TRegistry probe(KEY_READ);
                probe.SetRootKey(HKEY_CLASSES_ROOT);
                if (!probe.OpenKeyReadOnly("\\CLSID\\" + k + "\\PersistentHandler"))
                    continue;
                const std::string value = probe.ReadString("");
                if (value.empty() || value != handler)
                    continue;
                if (probe.OpenKeyReadOnly("\\CLSID\\" + k + "\\LocalServer32"))
                    command = probe.ReadString("");
                break;
            }
        }
    } catch (const Exception&) {
        command.clear();
    }
    // Desktops without a registered viewer still open PDF files this way.
    return command.empty() ? "xdg-open" : command;
}

std::string Options::GetDefaultMailClient()
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (reg.OpenKeyReadOnly("\\Software\\Clients\\mail")) {
            const std::string name = reg.ReadString("");
            if (!name.empty())
                return name;
        }
    } catch (const Exception&) {
        // An unreadable store says nothing about the desktop's mail program.
    }
    // Empty when the desktop names none: then there is no mail program to
    // hand a message to.
    return DesktopMailClientName();
}

std::string Options::PicasaEntryText()
{
    return kPicasaEntryPrefix + WithSlash(GetInstallFolder()) + kPicasaEntryMiddle + kPicasaEntrySuffix;
}

bool Options::IsPicasaInstalled()
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        return reg.KeyExists(kPicasaPresenceKey);
    } catch (const Exception&) {
        return false;
    }
}

bool Options::GetPicasaIntegration()
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (!reg.OpenKeyReadOnly(kPicasaButtonsKey))
            return false;
        const std::string entry = PicasaEntryText();
        for (const std::string& name : reg.GetValueNames())
            if (reg.GetDataType(name) == TRegDataType::rdString && reg.ReadString(name) == entry)
                return true;
    } catch (const Exception&) {
    }
    return false;
}

void Options::SetPicasaIntegration(bool on)
{
    try {
        if (GetPicasaIntegration() == on)
            return;
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (!reg.OpenKey(kPicasaButtonsKey, false))
            return;
        const std::string entry = PicasaEntryText();
        const std::vector<std::string> names = reg.GetValueNames();
        if (!on) {
            for (const std::string& name : names)
                if (reg.GetDataType(name) == TRegDataType::rdString && reg.ReadString(name) == entry)
                    reg.WriteString(name, "");
            return;
        }
        long long number = 0;
        if (!names.empty() && ParseDecimal(names.back(), number) && number < INT_MAX)
            ++number;
        else
            number = 0;
        reg.WriteString(std::to_string(number), entry);
    } catch (const Exception&) {
    }
}
