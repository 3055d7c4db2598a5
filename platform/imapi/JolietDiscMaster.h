#pragma once
// The Joliet format of the disc master: the staged folder tree, kept as a
// libisofs image that refers to the files on disk; their bytes are read only
// while the disc is written. Used on one thread at a time.
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "platform/com/ComModule.h"
#include "platform/imapi/Imapi.h"

struct burn_source;
struct Iso_Image;
struct Iso_Dir;

namespace imapi {

class JolietDiscMaster final : public IJolietDiscMaster, public RefCounted<JolietDiscMaster> {
public:
    JolietDiscMaster();
    ~JolietDiscMaster();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    HRESULT AddData(const OLECHAR* folder, LONG overwrite) override;

    // The disc image of what is staged, produced while it is read (libisofs's
    // burn source; the caller frees it). Null when it cannot be started.
    ::burn_source* CreateImageSource();

    // Why a name cannot go on the disc as it is, to follow "its name";
    // empty when it can.
    static std::string NameProblem(const std::string& name);

private:
    HRESULT AddFolder(Iso_Dir* parent, const std::string& path, bool overwrite);
    HRESULT AddEntries(Iso_Dir* parent, const std::string& path, bool overwrite);

    Iso_Image* image_ = nullptr;
    // Device and inode of the folders being added, outermost first.
    std::vector<std::pair<dev_t, ino_t>> folderChain_;
};

} // namespace imapi
