#include "platform/registry/RegistryHive.h"

#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/shell/Shell.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && FoldRegistryName(s.substr(0, prefix.size())) == FoldRegistryName(prefix);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendQuoted(std::string& out, const std::string& text)
{
    static const char* hex = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= s.size())
            return false;
        const char e = s[pos++];
        switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            const int hi = pos < s.size() ? HexDigit(s[pos]) : -1;
            const int lo = pos + 1 < s.size() ? HexDigit(s[pos + 1]) : -1;
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default:
            // Not one of ours: keep it as written.
            out += '\\';
            out += e;
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& s, std::string& out)
{
    out.clear();
    size_t pos = 0;
    while (pos < s.size()) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos >= s.size())
            break;
        const int hi = HexDigit(s[pos]);
        const int lo = pos + 1 < s.size() ? HexDigit(s[pos + 1]) : -1;
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos < s.size()) {
            if (s[pos] != ',')
                return false;
            ++pos;
        }
    }
    return true;
}

bool ParseData(const std::string& text, RegValue& v)
{
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        if (!ParseQuoted(text, pos, v.data) || !Trim(text.substr(pos)).empty())
            return false;
        v.type = REG_SZ;
        return true;
    }
    if (StartsWithNoCase(text, "dword:")) {
        const std::string digits = text.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t n = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            n = n * 16 + static_cast<uint32_t>(d);
        }
        v.type = REG_DWORD;
        v.data.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            v.data[i] = static_cast<char>((n >> (8 * i)) & 0xff);
        return true;
    }
    if (StartsWithNoCase(text, "hex:")) {
        v.type = REG_BINARY;
        return ParseHexBytes(text.substr(4), v.data);
    }
    if (StartsWithNoCase(text, "hex(")) {
        const size_t close = text.find("):");
        if (close == std::string::npos || close == 4)
            return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0)
                return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        v.type = type;
        return ParseHexBytes(text.substr(close + 2), v.data);
    }
    return false;
}

std::vector<std::string> SplitKeyPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t sep = path.find('\\', start);
        parts.push_back(path.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos)
            break;
        start = sep + 1;
    }
    return parts;
}

void SerializeKey(const RegKey& key, const std::string& path, std::string& out)
{
    static const char* hex = "0123456789abcdef";
    out += "\n[";
    out += path;
    out += "]\n";
    for (const RegValue& v : key.values) {
        if (v.name.empty())
            out += '@';
        else
            AppendQuoted(out, v.name);
        out += '=';
        if (v.type == REG_SZ) {
            AppendQuoted(out, v.data);
        } else if (v.type == REG_DWORD && v.data.size() == 4) {
            uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(v.data[i]);
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", n);
            out += buf;
        } else {
            if (v.type == REG_BINARY) {
                out += "hex:";
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
                out += buf;
            }
            for (size_t i = 0; i < v.data.size(); ++i) {
                if (i)
                    out += ',';
                const auto b = static_cast<unsigned char>(v.data[i]);
                out += hex[b >> 4];
                out += hex[b & 15];
            }
        }
        out += '\n';
    }
    for (const auto& [folded, child] : key.children)
        SerializeKey(*child, path + "\\" + child->name, out);
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool ReadAll(int fd, std::string& out)
{
    out.clear();
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

std::string ErrnoText()
{
    return std::strerror(errno);
}

} // namespace

std::string FoldRegistryName(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

RegKey* RegKey::Find(const std::vector<std::string>& path)
{
    RegKey* key = this;
    for (const std::string& part : path) {
        const auto it = key->children.find(FoldRegistryName(part));
        if (it == key->children.end())
            return nullptr;
        key = it->second.get();
    }
    return key;
}

const RegKey* RegKey::Find(const std::vector<std::string>& path) const
{
    return const_cast<RegKey*>(this)->Find(path);
}

RegKey* RegKey::FindOrCreate(const std::vector<std::string>& path)
{
    RegKey* key = this;
    for (const std::string& part : path) {
        auto& slot = key->children[FoldRegistryName(part)];
        if (!slot) {
            slot = std::make_unique<RegKey>();
            slot->name = part;
        }
        key = slot.get();
    }
    return key;
}

RegValue* RegKey::FindValue(const std::string& name)
{
    const std::string folded = FoldRegistryName(name);
    for (RegValue& v : values)
        if (FoldRegistryName(v.name) == folded)
            return &v;
    return nullptr;
}

const RegValue* RegKey::FindValue(const std::string& name) const
{
    return const_cast<RegKey*>(this)->FindValue(name);
}

std::string RegistryHive::Folder()
{
    if (const char* dir = std::getenv("VELMORA_REGISTRY_DIR"); dir && *dir)
        return dir;
    const std::string config = GetUserConfigFolder();
    return config.empty() ? config : config + "/VelmoraVoravev";
}

std::string RegistryHive::FolderProblem(const std::string& folder)
{
    if (folder.empty())
        return "There is no folder for the settings: neither HOME nor the user database names a home folder for "
               "this user.";
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0)
        return errno == ENOENT ? std::string()
                               : "The settings folder \"" + folder + "\" cannot be read: " + ErrnoText();
    // What is kept there decides the accounts mail goes through and the
    // library the program loads for PDF documents: only the user may have
    // put it there.
    if (!S_ISDIR(st.st_mode))
        return "The settings folder \"" + folder + "\" is not a folder.";
    if (st.st_uid != ::geteuid())
        return "The settings folder \"" + folder + "\" belongs to another user. Remove it, or make it yours "
               "(permissions 700), then start the program again.";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "The settings folder \"" + folder + "\" may be changed by other users. Make it yours alone "
               "(permissions 700), then start the program again.";
    return {};
}

RegistryHive& RegistryHive::For(HKEY root)
{
    static std::mutex mapMutex;
    // Hives live for the whole run: callers on other threads may still hold one.
    static std::map<std::pair<std::string, uint32_t>, RegistryHive*> hives;
    const std::string folder = Folder();
    std::lock_guard lock(mapMutex);
    RegistryHive*& hive = hives[{folder, static_cast<uint32_t>(root)}];
    if (!hive)
        hive = new RegistryHive(root, folder);
    return *hive;
}

RegistryHive::RegistryHive(HKEY root, std::string folder)
    : root_(root), folder_(std::move(folder)), path_(folder_ + "/" + RootKeyName(root) + ".reg")
{
}

RegistryHive::~RegistryHive()
{
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
}

void RegistryHive::Reset()
{
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    cachedFd_ = -1;
    tree_ = RegKey{};
    loaded_ = false;
    damaged_ = false;
}

void RegistryHive::Refresh()
{
    struct stat now{};
    if (!FolderProblem(folder_).empty() || ::stat(path_.c_str(), &now) != 0) {
        Reset();
        loaded_ = true;
        return;
    }
    if (cachedFd_ >= 0) {
        struct stat cached{};
        if (::fstat(cachedFd_, &cached) == 0 && SameFile(cached, now))
            return;
    }
    Reset();
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // Unreadable: treat as empty but never overwrite it blindly.
        damaged_ = errno != ENOENT;
        loaded_ = true;
        return;
    }
    std::string text;
    if (!ReadAll(fd, text)) {
        ::close(fd);
        damaged_ = true;
        loaded_ = true;
        return;
    }
    damaged_ = Parse(text, root_, tree_) > 0;
    cachedFd_ = fd;
    loaded_ = true;
}

void RegistryHive::Read(const std::function<void(const RegKey&)>& f)
{
    std::lock_guard lock(mutex_);
    Refresh();
    f(tree_);
}

void RegistryHive::Modify(const std::function<bool(RegKey&)>& f)
{
    std::lock_guard lock(mutex_);
    if (const std::string problem = FolderProblem(folder_); !problem.empty())
        throw ERegistryException(problem);
    if (!ForceDirectories(folder_, 0700))
        throw ERegistryException("Cannot create the registry folder " + folder_ + ": " + ErrnoText());
    // Made just now by someone else, or open to others after all.
    if (const std::string problem = FolderProblem(folder_); !problem.empty())
        throw ERegistryException(problem);
    const std::string lockPath = folder_ + "/" + RootKeyName(root_) + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        throw ERegistryException("Cannot open the registry lock " + lockPath + ": " + ErrnoText());
    struct LockGuard {
        int fd;
        ~LockGuard()
        {
            ::flock(fd, LOCK_UN);
            ::close(fd);
        }
    } guard{lockFd};
    while (::flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR)
            throw ERegistryException("Cannot lock the registry " + lockPath + ": " + ErrnoText());
    }

    Refresh();
    bool changed = false;
    try {
        changed = f(tree_);
    } catch (...) {
        Reset();
        throw;
    }
    if (!changed)
        return;

    const std::string text = Serialize(tree_, root_);
    // A hive file made anew is private; one that is already there keeps
    // whatever permissions its owner gave it.
    std::unique_ptr<TSafeFileStream> file;
    try {
        file = std::make_unique<TSafeFileStream>(path_, 0600);
    } catch (const Exception& e) {
        Reset();
        throw ERegistryException("Cannot write the registry file " + path_ + ": " + e.Message());
    }
    if (file->Write(text.data(), static_cast<int64_t>(text.size())) != static_cast<int64_t>(text.size())) {
        const std::string reason = file->ErrorText();
        file.reset();
        Reset();
        throw ERegistryException("Cannot write the registry file " + path_ + ": " + reason);
    }
    if (damaged_) {
        // Keep what could not be read beside the new file instead of losing
        // it; when no copy can be kept, the old file stays as it is.
        const std::string keep = path_ + ".damaged";
        ::unlink(keep.c_str());
        if (::link(file->TargetName().c_str(), keep.c_str()) != 0 && errno != ENOENT) {
            const std::string reason = ErrnoText();
            file.reset();
            Reset();
            throw ERegistryException("Cannot keep the damaged registry file " + path_ + " as " + keep + ": "
                                     + reason);
        }
    }
    if (!file->Commit()) {
        const std::string reason = file->ErrorText();
        file.reset();
        Reset();
        throw ERegistryException("Cannot replace the registry file " + path_ + ": " + reason);
    }
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    cachedFd_ = file->ReleaseHandle();
    damaged_ = false;
}

int RegistryHive::Parse(const std::string& text, HKEY root, RegKey& out)
{
    out = RegKey{};
    const std::string rootName = RootKeyName(root);
    int bad = 0;
    RegKey* current = nullptr;
    size_t pos = 0;
    bool first = true;
    // Skip a UTF-8 byte order mark.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        // Long binary values may continue on following lines after a "\".
        if ((line.find("=hex") != std::string::npos) && !line.empty() && line.back() == '\\') {
            while (!line.empty() && line.back() == '\\' && pos < text.size()) {
                line.pop_back();
                size_t next = text.find('\n', pos);
                if (next == std::string::npos)
                    next = text.size();
                line += Trim(text.substr(pos, next - pos));
                pos = next + 1;
            }
        }
        const bool wasFirst = first;
        first = false;
        if (line.empty() || line[0] == ';')
            continue;
        if (wasFirst && (line.rfind("Windows Registry Editor", 0) == 0 || line == "REGEDIT4"))
            continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string::npos) {
                ++bad;
                current = nullptr;
                continue;
            }
            std::vector<std::string> parts = SplitKeyPath(line.substr(1, close - 1));
            if (parts.empty() || FoldRegistryName(parts[0]) != FoldRegistryName(rootName)) {
                ++bad;
                current = nullptr;
                continue;
            }
            parts.erase(parts.begin());
            bool valid = true;
            for (const std::string& p : parts)
                valid = valid && !p.empty();
            if (!valid) {
                ++bad;
                current = nullptr;
                continue;
            }
            current = out.FindOrCreate(parts);
            continue;
        }
        if (!current) {
            ++bad;
            continue;
        }
        RegValue value;
        size_t p = 0;
        if (line[0] == '@') {
            p = 1;
        } else if (!ParseQuoted(line, p, value.name)) {
            ++bad;
            continue;
        }
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
            ++p;
        if (p >= line.size() || line[p] != '=') {
            ++bad;
            continue;
        }
        if (!ParseData(Trim(line.substr(p + 1)), value)) {
            ++bad;
            continue;
        }
        if (RegValue* existing = current->FindValue(value.name)) {
            existing->type = value.type;
            existing->data = std::move(value.data);
        } else {
            current->values.push_back(std::move(value));
        }
    }
    return bad;
}

std::string RegistryHive::Serialize(const RegKey& root, HKEY rootKey)
{
    std::string out = "; Velmora Voravev registry hive, UTF-8\n";
    SerializeKey(root, RootKeyName(rootKey), out);
    return out;
}
