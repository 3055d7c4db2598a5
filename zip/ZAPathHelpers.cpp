#include "zip/ZAPathHelpers.h"

#include "zip/WideUtils.h"

namespace ZAPath {

std::u16string IncludeTrailingBackslash(const std::u16string& path) {
    if (!path.empty() && path.back() == u'/')
        return path;
    return path + u"/";
}

std::u16string ExcludeTrailingBackslash(const std::u16string& path) {
    if (!path.empty() && path.back() == u'/' && path.size() > 1)
        return path.substr(0, path.size() - 1);
    return path;
}

bool DirectoryExists(const std::u16string& path) { return WideIsDirectory(path); }
bool FileExists(const std::u16string& path) { return WideIsFile(path); }
size_t ByteLength(const std::u16string& s) { return 2 * s.size(); }

uint32_t FileGetAttr(const std::u16string& path) {
    uint32_t attr = WideGetAttributes(path);
    if (attr != INVALID_FILE_ATTRIBUTES)
        return attr;
    TWideSearchRec search;
    int found = WideFindStart(path, faAnyFile, search);
    WideFindEnd(search);
    return found == 0 ? faSysFile : INVALID_FILE_ATTRIBUTES;
}

int32_t FileAge(const std::u16string& path) { return WideGetFileAge(path); }
std::u16string ExpandFileName(const std::u16string& name) { return WideFullName(name); }
std::u16string GetCurrentDir() { return WideCurrentFolder(); }

bool IsFloppyDrive(const std::u16string&) { return false; }

bool IsRemovableDrive(const std::u16string& path) {
    return IsFloppyDrive(path) || WideIsRemovable(path);
}

bool RemoveEmptyFolders(const std::u16string& path) {
    std::u16string folder = IncludeTrailingBackslash(path);
    TWideSearchRec search;
    int result = WideFindStart(folder + u"*", 0x37, search);
    // Collected first: removing entries while the folder is read is unsafe.
    std::vector<std::u16string> children;
    while (result == 0) {
        if ((search.Attr & faDirectory) && search.Name != u"." && search.Name != u"..")
            children.push_back(search.Name);
        result = WideFindContinue(search);
    }
    WideFindEnd(search);
    for (const std::u16string& child : children) {
        if (!RemoveEmptyFolders(folder + child + u"/"))
            return false;
    }
    std::u16string self = ExcludeTrailingBackslash(folder);
    return WideRemoveDir(self) || !WideIsDirectory(self);
}

std::u16string ExpandPath(const std::u16string& baseDir, const std::u16string& name,
                          const std::u16string& defaultDir) {
    if (!name.empty() && name[0] == u'/')
        return WideFullName(name);
    // The current folder is asked for only when nothing else is given: a
    // folder walk expands every name it adds.
    std::u16string dir = IncludeTrailingBackslash(
        !baseDir.empty() ? baseDir : defaultDir.empty() ? WideCurrentFolder() : defaultDir);
    if (!name.empty())
        return WideFullName(dir + name);
    if (!WideIsDirectory(dir) && !baseDir.empty())
        return baseDir;
    return WideFullName(dir);
}

std::u16string StoredName(const std::u16string& fileName, const std::u16string& baseDir,
                          uint8_t storePath, const std::u16string& defaultDir) {
    const std::u16string base = ExpandPath(baseDir, u"", defaultDir);
    return StoredNameOfExpanded(ExpandPath(base, fileName, defaultDir), base, storePath, defaultDir);
}

std::u16string StoredNameOfExpanded(const std::u16string& expanded, const std::u16string& base, uint8_t storePath,
                                    const std::u16string& defaultDir) {
    std::u16string full = expanded;
    if (full.size() > 1 && full.back() == u'/')
        full.pop_back();
    if (!full.empty() && full.back() == u'.')
        full.pop_back();
    switch (storePath) {
    case 0:
        full = WideNameOf(full);
        break;
    case 1: {
        std::u16string from =
            IncludeTrailingBackslash(base.empty() ? defaultDir : base);
        std::u16string rel = WideRelativePath(from, full);
        if (rel.find(u"../") == std::u16string::npos)
            full = rel;
        break;
    }
    case 3:
        full = WideFullName(full);
        break;
    default:
        break;
    }
    // Stored names are relative: the root's "/" does not go into the archive.
    if (!full.empty() && full[0] == u'/')
        full.erase(0, 1);
    return full;
}

} // namespace ZAPath
