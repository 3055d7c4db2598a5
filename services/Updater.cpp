#include "services/Updater.h"

#include "model/MD5.h"
#include "model/Options.h"
#include "model/XmlHelpers.h"
#include "platform/inet/Inet.h"
#include "platform/rtl/PercentEncode.h"
#include "platform/rtl/StringReplace.h"
#include "platform/shell/PrivateCopy.h"
#include "platform/shell/Process.h"
#include "platform/shell/Shell.h"
#include "platform/thread/Thread.h"
#include "platform/xml/XMLDocument.h"
#include "services/ProductAddresses.h"
#include "services/UpdateThread.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kAgent[] = "Updater/1.0";
const char kDownloadArea[] = "updates";
// Download folders of earlier checks are removed once they are this old; a
// restart installer started from one may still be running for a while.
constexpr std::time_t kKeepDownloadsSeconds = 24 * 60 * 60;
constexpr size_t kMaxDescription = 1024 * 1024;

const char kNoConnection[] = "No Internet connection available.";
const char kNoServer[] = "Failed to connect to the update server.";
const char kReadFailed[] = "Failed to read the remote update file.";
const char kParseFailed[] = "Failed to parse the update file.";
const char kNoFiles[] = "This product has no download files set.";
const char kNoFolder[] = "Failed to determine the temporary folder.";
const char kFileServer[] = "Could not connect to the update server.";
const char kCreateFailed[] = "Unable to create the temporary file.";
const char kWriteFailed[] = "Unable to write to the temporary file.";
const char kNoChecksum[] = "Failed to compute the file's checksum.";
const char kBadChecksum[] = "Failed to verify the file's checksum.";
const char kExecFailed[] = "Failed to execute the file: ";
const char kStopped[] = "The update was stopped before the file ended: ";
const char kAsRoot[] = "Updates are not installed while the program runs as root. Start it as a normal user "
                       "to update.";

// Only tests of the install steps, which run as root, turn the root rule off.
std::atomic<bool> rootRuleOff{false};

struct Overrides {
    std::mutex lock;
    std::string address;
    std::string caFile;
    int stallSeconds = 0;
};

Overrides& TestOverrides()
{
    static Overrides o;
    return o;
}

// The session every request goes through, closed with this object.
class Session {
public:
    explicit Session(const std::function<bool()>& stop)
    {
        InternetSessionOptions options;
        {
            Overrides& o = TestOverrides();
            std::lock_guard lock(o.lock);
            options.caFile = o.caFile;
            if (o.stallSeconds > 0)
                options.stallSeconds = o.stallSeconds;
        }
        options.stopRequested = stop;
        handle_ = InternetOpen(kAgent, options);
    }
    ~Session() { InternetCloseHandle(handle_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    HINTERNET Handle() const { return handle_; }

private:
    HINTERNET handle_ = nullptr;
};

// A request, closed with this object.
struct Request {
    HINTERNET handle = nullptr;
    ~Request() { InternetCloseHandle(handle); }
};

// A whole decimal number (blanks around it allowed); throws otherwise.
int ParseInteger(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    const size_t last = text.find_last_not_of(" \t\r\n");
    if (first == std::string::npos)
        throw std::invalid_argument("not a number");
    int value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        throw std::invalid_argument("not a number");
    return value;
}

// The name becomes one path component of our folder and one segment of the
// server's address: anything that could step outside either is refused.
bool IsPlainFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name) {
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

std::string InstallFolder()
{
    std::string folder;
    TThread::Synchronize([&] { folder = Options::Instance()->GetInstallFolder(); });
    return folder;
}

} // namespace

Updater::Updater(const std::string& url, const std::string& product, int major, int minor)
    : url_(url), product_(product), ownMajor_(major), ownMinor_(minor)
{
}

Updater::~Updater() = default;

bool Updater::SetError(const std::string& text)
{
    error_ = text;
    return false;
}

bool Updater::IsUpdateAvailable()
{
    error_.clear();
    return updateAvailable_;
}

bool Updater::NeedsRestart()
{
    error_.clear();
    return restart_;
}

bool Updater::MayInstall()
{
    return ::geteuid() != 0 || rootRuleOff.load();
}

std::string Updater::RootRefusal()
{
    return kAsRoot;
}

void Updater::SetTestRootRuleOff(bool off)
{
    rootRuleOff = off;
}

std::string Updater::DescriptionAddress()
{
    {
        Overrides& o = TestOverrides();
        std::lock_guard lock(o.lock);
        if (!o.address.empty())
            return o.address;
    }
    const std::string host = ProductAddresses::UpdateHost;
    return host.empty() ? std::string() : "https://" + host + "/update2.xml";
}

void Updater::SetTestOverrides(const std::string& address, const std::string& caFile, int stallSeconds)
{
    Overrides& o = TestOverrides();
    std::lock_guard lock(o.lock);
    o.address = address;
    o.caFile = caFile;
    o.stallSeconds = stallSeconds;
}

bool Updater::CheckForUpdates()
{
    updateAvailable_ = false;
    error_.clear();
    downloads_.clear();
    if (const std::string folder = PrivateCacheFolder(kDownloadArea); !folder.empty())
        PrunePrivateCopies(folder, kKeepDownloadsSeconds);

    Session session(stop_);
    if (!session.Handle())
        return SetError(kNoConnection);
    // No address: nothing may go out.
    if (url_.empty())
        return SetError(kNoServer);
    Request request;
    request.handle = InternetOpenUrl(session.Handle(), url_, INTERNET_FLAG_RELOAD);
    if (!request.handle)
        return SetError(kNoServer);

    SetError(kReadFailed);
    std::string text;
    char buffer[1024];
    for (;;) {
        uint32_t read = 0;
        if (!InternetReadFile(request.handle, buffer, sizeof buffer - 1, &read))
            return false;
        if (read == 0)
            break;
        text.append(buffer, read);
        if (text.size() > kMaxDescription)
            return false;
    }
    try {
        return ReadDescription(text);
    } catch (const std::exception&) {
        downloads_.clear();
        return SetError(kParseFailed);
    }
}

bool Updater::ReadDescription(const std::string& text)
{
    TXMLDocument document;
    document.LoadFromXML(text);
    const IXMLNode update = document.ChildNode("Update");
    if (!update)
        return false;
    for (const IXMLNode& product : update.ChildNodes()) {
        if (!product.IsElement() || product.NodeName() != "Product" || product.GetAttribute("Name") != product_)
            continue;
        remoteMajor_ = GetChildValue(product, "MajorVersion");
        remoteMinor_ = GetChildValue(product, "MinorVersion");
        downloadUrl_ = GetChildValue(product, "DownloadURL");
        restart_ = GetChildBool(product, "Restart", false);
        for (const IXMLNode& file : product.ChildNodes()) {
            if (!file.IsElement() || file.NodeName() != "DownloadFile")
                continue;
            const XMLValue hash = file.GetAttribute("Hash");
            const XMLValue size = file.GetAttribute("Size");
            auto download = std::make_unique<UpdateDownload>();
            download->Name = file.Text();
            if (!hash || !size || !IsPlainFileName(download->Name))
                throw std::invalid_argument("incomplete file entry");
            download->Hash = *hash;
            download->Size = ParseInteger(*size);
            if (download->Size < 0)
                throw std::invalid_argument("negative size");
            download->CommandLine = file.GetAttribute("CommandLine").value_or("");
            downloads_.push_back(std::move(download));
        }
        if (downloads_.empty())
            return SetError(kNoFiles);
        updateAvailable_ = ParseInteger(remoteMajor_) == ownMajor_ && ParseInteger(remoteMinor_) > ownMinor_;
        error_.clear();
        return true;
    }
    return false;
}

bool Updater::DownloadAll(UpdateThread* job)
{
    error_.clear();
    if (!IsUpdateAvailable())
        return false;
    // A fresh folder of our own for each download: the shared temp folder
    // is open to others and often refuses to run programs.
    const std::string area = PrivateCacheFolder(kDownloadArea);
    std::string folder = area + "XXXXXX";
    if (area.empty() || !::mkdtemp(folder.data()))
        return SetError(kNoFolder);
    for (const auto& file : downloads_) {
        file->LocalPath = folder + "/" + file->Name;
        if (!FetchFile(file.get(), job)) {
            // What came before is of no use without the rest.
            for (const auto& f : downloads_)
                f->LocalPath.clear();
            DeleteFolderTree(folder);
            return false;
        }
    }
    return true;
}

bool Updater::FetchFile(UpdateDownload* file, UpdateThread* job)
{
    error_.clear();
    const std::string address = downloadUrl_ + PercentEncodeSegment(file->Name);
    Session session(stop_);
    if (!session.Handle())
        return SetError(kNoConnection);
    Request request;
    request.handle = InternetOpenUrl(session.Handle(), address, INTERNET_FLAG_RELOAD);
    if (!request.handle)
        return SetError(kFileServer);

    const int fd = ::open(file->LocalPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return SetError(kCreateFailed);
    // Nothing unverified is ever left behind.
    auto discard = [&](const char* text) {
        ::close(fd);
        ::unlink(file->LocalPath.c_str());
        return SetError(text);
    };

    const std::string status = "Downloading: " + file->Name;
    int64_t total = 0;
    char buffer[1024];
    for (;;) {
        uint32_t read = 0;
        if (!InternetReadFile(request.handle, buffer, sizeof buffer, &read))
            return discard(kFileServer);
        total += read;
        // More than announced can never match; reading on would only fill
        // the disk.
        if (total > file->Size)
            return discard(kBadChecksum);
        if (job)
            job->SetStatusAndProgress(status, static_cast<int>(total), file->Size);
        if (read == 0)
            break;
        for (uint32_t done = 0; done < read;) {
            const ssize_t n = ::write(fd, buffer + done, read - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return discard(kWriteFailed);
            done += static_cast<uint32_t>(n);
        }
    }
    if (::close(fd) != 0) {
        ::unlink(file->LocalPath.c_str());
        return SetError(kWriteFailed);
    }

    const MD5 md5;
    const HashDigest digest = md5.DigestFile(file->LocalPath);
    if (!digest) {
        ::unlink(file->LocalPath.c_str());
        return SetError(kNoChecksum);
    }
    // The description's hex digits may be written in either case.
    const std::string actual = md5.ToHex(digest.get());
    if (actual.size() != file->Hash.size() || ::strncasecmp(actual.c_str(), file->Hash.c_str(), actual.size()) != 0) {
        ::unlink(file->LocalPath.c_str());
        return SetError(kBadChecksum);
    }
    return true;
}

bool Updater::ApplyUpdates()
{
    error_.clear();
    // An installer run as root could change anything on the machine.
    if (!MayInstall())
        return SetError(kAsRoot);
    const std::string installFolder = InstallFolder();
    for (const auto& file : downloads_) {
        // Only what DownloadAll fetched and verified ever runs.
        if (file->LocalPath.empty() || ::chmod(file->LocalPath.c_str(), 0700) != 0)
            return SetError(kExecFailed + file->Name);
        std::vector<std::string> args = {file->LocalPath};
        for (std::string word : SplitCommandWords(file->CommandLine)) {
            StringReplaceAll(word, "%APP%", installFolder);
            args.push_back(std::move(word));
        }
        if (restart_) {
            if (!StartDetached(args))
                return SetError(kExecFailed + file->Name);
            continue;
        }
        int status = 0;
        bool abandoned = false;
        if (!RunAndWaitUnless(args, [this] { return Stopped(); }, &status, &abandoned))
            return SetError(kExecFailed + file->Name);
        if (abandoned)
            return SetError(kStopped + file->Name);
        // An installer that reports failure has not updated anything we
        // could rely on; the files after it must not run on top of it.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return SetError(kExecFailed + file->Name);
    }
    return true;
}
