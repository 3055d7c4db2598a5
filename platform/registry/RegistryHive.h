#pragma once
// One registry root kept in a text file in the style of exported registry
// files:
//
//   [HKEY_CURRENT_USER\Software\Example]
//   @="default value"
//   "Name"="text"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,ff
//
// The file lives in $VELMORA_REGISTRY_DIR, else $XDG_CONFIG_HOME/VelmoraVoravev
// (default ~/.config/VelmoraVoravev, with the home from the user database
// when HOME is not set), named after the root. Changes are made
// under an exclusive lock (a process mutex plus flock on "<root>.lock"): the
// file is re-read, changed and written to a temporary name that is renamed
// over it, so concurrent writers in several processes lose nothing and
// readers never see half a file.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"

struct RegValue {
    std::string name; // "" is the default value
    uint32_t type = REG_SZ;
    std::string data; // text without terminator, DWORD as 4 little-endian bytes
};

struct RegKey {
    std::string name; // as first written
    std::vector<RegValue> values; // in the order first written
    std::map<std::string, std::unique_ptr<RegKey>> children; // by folded name

    RegKey* Find(const std::vector<std::string>& path);
    const RegKey* Find(const std::vector<std::string>& path) const;
    RegKey* FindOrCreate(const std::vector<std::string>& path);
    RegValue* FindValue(const std::string& name);
    const RegValue* FindValue(const std::string& name) const;
};

// Case folding used for key and value names (ASCII letters only).
std::string FoldRegistryName(const std::string& name);

class RegistryHive {
public:
    // The hive of the root in the folder that the environment names now.
    static RegistryHive& For(HKEY root);
    // The folder holding the hive files; empty when the user has no home.
    static std::string Folder();
    // Why the folder may not hold the user's settings (empty when it may,
    // or does not exist yet): it must be the user's own folder that nobody
    // else may change. A hive in such a folder reads as empty and is never
    // written.
    static std::string FolderProblem(const std::string& folder);

    const std::string& FilePath() const { return path_; }

    // Runs f on the latest contents of the file.
    void Read(const std::function<void(const RegKey&)>& f);
    // Runs f on the latest contents under the exclusive lock and writes the
    // result back when f answers true. Raises ERegistryException when the
    // file cannot be written; nothing is changed then.
    void Modify(const std::function<bool(RegKey&)>& f);

    // Parses hive text; answers the number of lines that could not be read.
    static int Parse(const std::string& text, HKEY root, RegKey& out);
    static std::string Serialize(const RegKey& root, HKEY rootKey);

    ~RegistryHive();

private:
    RegistryHive(HKEY root, std::string folder);
    void Refresh();
    void Reset();

    HKEY root_;
    std::string folder_;
    std::string path_;
    std::mutex mutex_;
    RegKey tree_;
    // The file the tree was read from stays open, so its inode cannot be
    // reused by a later file and comparing inodes tells reliably whether
    // the file was replaced.
    int cachedFd_ = -1;
    bool loaded_ = false;
    bool damaged_ = false;
};
