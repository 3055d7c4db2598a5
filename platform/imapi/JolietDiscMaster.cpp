#include "platform/imapi/JolietDiscMaster.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/imapi/BurnLibraries.h"

namespace imapi {
namespace {

// With long names switched on the format holds up to 103 characters.
constexpr size_t kMaxJolietName = 103;

bool Readable(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

JolietDiscMaster::JolietDiscMaster()
{
    if (StartBurnLibraries())
        iso_image_new("PORTFOLIO", &image_);
    if (image_) {
        // A link on disk becomes the file or folder it points to.
        iso_tree_set_follow_symlinks(image_, 1);
    }
}

JolietDiscMaster::~JolietDiscMaster()
{
    if (image_)
        iso_image_unref(image_);
}

HRESULT JolietDiscMaster::QueryInterface(REFIID iid, void** object)
{
    return QueryInterfaceImpl<IJolietDiscMaster>(iid, object, {IID_IUnknown, IID_IJolietDiscMaster});
}

std::string JolietDiscMaster::NameProblem(const std::string& name)
{
    const std::u16string wide = WideFromUtf8(name);
    if (Utf8FromWide(wide) != name)
        return "is not valid UTF-8";
    if (wide.size() > kMaxJolietName)
        return "is longer than 103 characters";
    for (char16_t c : wide)
        if (c < 0x20 || c == u'*' || c == u'/' || c == u':' || c == u';' || c == u'?' || c == u'\\')
            return "holds one of the characters * / : ; ? \\ or a control character";
    return {};
}

HRESULT JolietDiscMaster::AddData(const OLECHAR* folder, LONG overwrite)
{
    if (!folder)
        return E_POINTER;
    if (!image_)
        return IMAPI_E_GENERIC;
    std::string path = Utf8FromWide(folder);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return STG_E_PATHNOTFOUND;
    if (!Readable(path, O_DIRECTORY))
        return STG_E_ACCESSDENIED;
    folderChain_.clear();
    return AddFolder(iso_image_get_root(image_), path, overwrite != 0);
}

HRESULT JolietDiscMaster::AddFolder(IsoDir* parent, const std::string& path, bool overwrite)
{
    struct stat self{};
    if (::stat(path.c_str(), &self) != 0)
        return E_ACCESSDENIED;
    // A link back to a folder above would make the disc endless.
    const auto id = std::make_pair(self.st_dev, self.st_ino);
    if (std::find(folderChain_.begin(), folderChain_.end(), id) != folderChain_.end())
        return E_INVALIDARG;
    folderChain_.push_back(id);
    const HRESULT hr = AddEntries(parent, path, overwrite);
    folderChain_.pop_back();
    return hr;
}

HRESULT JolietDiscMaster::AddEntries(IsoDir* parent, const std::string& path, bool overwrite)
{
    std::error_code ec;
    std::vector<std::filesystem::path> entries;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    if (ec)
        return E_ACCESSDENIED;
    std::sort(entries.begin(), entries.end());

    for (const std::filesystem::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (!NameProblem(name).empty())
            return IMAPI_E_BADJOLIETNAME;
        struct stat st{};
        if (::stat(entry.c_str(), &st) != 0)
            return E_ACCESSDENIED; // a dangling link or a file that went away
        const bool isDir = S_ISDIR(st.st_mode);
        if (!isDir && !S_ISREG(st.st_mode))
            return E_INVALIDARG; // devices, pipes and sockets hold no data to burn

        IsoNode* existing = nullptr;
        if (iso_dir_get_node(parent, name.c_str(), &existing) == 1 && existing) {
            const bool mergeFolders = isDir && iso_node_get_type(existing) == LIBISO_DIR;
            if (!mergeFolders) {
                if (!overwrite)
                    return IMAPI_E_FILEEXISTS;
                iso_node_remove(existing);
                existing = nullptr;
            }
        }

        if (isDir) {
            IsoDir* dir = reinterpret_cast<IsoDir*>(existing);
            if (!dir && iso_tree_add_new_dir(parent, name.c_str(), &dir) < 0)
                return E_OUTOFMEMORY;
            if (!Readable(entry, O_DIRECTORY))
                return E_ACCESSDENIED;
            if (const HRESULT hr = AddFolder(dir, entry.string(), overwrite); FAILED(hr))
                return hr;
        } else {
            // Checked now: a file that cannot be read would otherwise fail the
            // write halfway through the disc.
            if (!Readable(entry, 0))
                return E_ACCESSDENIED;
            if (iso_tree_add_node(image_, parent, entry.c_str(), nullptr) < 0)
                return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

::burn_source* JolietDiscMaster::CreateImageSource()
{
    if (!image_)
        return nullptr;
    IsoWriteOpts* opts = nullptr;
    if (iso_write_opts_new(&opts, 0) < 0)
        return nullptr;
    iso_write_opts_set_joliet(opts, 1);
    // Names go on the disc as they are: cut or changed names break the
    // links between the pages.
    iso_write_opts_set_joliet_long_names(opts, 1);
    iso_write_opts_set_joliet_utf16(opts, 1);
    iso_write_opts_set_joliet_longer_paths(opts, 1);
    ::burn_source* source = nullptr;
    if (iso_image_create_burn_source(image_, opts, &source) < 0)
        source = nullptr;
    iso_write_opts_free(opts);
    return source;
}

} // namespace imapi
