#include "platform/registry/Registry.h"

#include <cstring>

#include "platform/registry/RegistryHive.h"

namespace {

bool ValidKeyName(const std::string& name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

TRegDataType ToDataType(uint32_t type)
{
    switch (type) {
    case REG_SZ: return TRegDataType::rdString;
    case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
    case REG_DWORD: return TRegDataType::rdInteger;
    case REG_BINARY: return TRegDataType::rdBinary;
    default: return TRegDataType::rdUnknown;
    }
}

[[noreturn]] void InvalidType(const std::string& name)
{
    throw ERegistryException("Invalid data type for '" + name + "'");
}

} // namespace

std::string RootKeyName(HKEY root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    }
    return "HKEY_UNKNOWN";
}

TRegistry::TRegistry(uint32_t access) : access_(access) {}

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    root_ = root;
}

bool TRegistry::Resolve(const std::string& key, std::vector<std::string>& out) const
{
    out.clear();
    std::string rest = key;
    if (!rest.empty() && rest[0] == '\\')
        rest.erase(0, 1);
    else if (open_)
        out = path_;
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    if (rest.empty())
        return true;
    size_t start = 0;
    while (true) {
        const size_t sep = rest.find('\\', start);
        std::string part = rest.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!ValidKeyName(part))
            return false;
        out.push_back(std::move(part));
        if (sep == std::string::npos)
            return true;
        start = sep + 1;
    }
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    std::vector<std::string> path;
    if (!Resolve(key, path))
        return false;
    RegistryHive& hive = RegistryHive::For(root_);
    bool exists = false;
    hive.Read([&](const RegKey& root) { exists = root.Find(path) != nullptr; });
    if (!exists) {
        if (!canCreate)
            return false;
        try {
            hive.Modify([&](RegKey& root) {
                if (root.Find(path))
                    return false;
                root.FindOrCreate(path);
                return true;
            });
        } catch (const ERegistryException&) {
            return false;
        }
    }
    path_ = std::move(path);
    open_ = true;
    keyAccess_ = access_;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    const uint32_t saved = access_;
    access_ = KEY_READ;
    const bool ok = OpenKey(key, false);
    access_ = saved;
    return ok;
}

void TRegistry::CloseKey()
{
    open_ = false;
    path_.clear();
    keyAccess_ = 0;
}

std::string TRegistry::CurrentPath() const
{
    std::string out;
    for (const std::string& part : path_) {
        if (!out.empty())
            out += '\\';
        out += part;
    }
    return out;
}

bool TRegistry::CreateKey(const std::string& key)
{
    std::vector<std::string> path;
    if (!Resolve(key, path))
        return false;
    try {
        RegistryHive::For(root_).Modify([&](RegKey& root) {
            if (root.Find(path))
                return false;
            root.FindOrCreate(path);
            return true;
        });
    } catch (const ERegistryException&) {
        return false;
    }
    return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    std::vector<std::string> path;
    if (!Resolve(key, path) || path.empty())
        return false;
    bool deleted = false;
    try {
        RegistryHive::For(root_).Modify([&](RegKey& root) {
            RegKey* parent = root.Find(std::vector<std::string>(path.begin(), path.end() - 1));
            if (!parent)
                return false;
            deleted = parent->children.erase(FoldRegistryName(path.back())) > 0;
            return deleted;
        });
    } catch (const ERegistryException&) {
        return false;
    }
    return deleted;
}

bool TRegistry::KeyExists(const std::string& key)
{
    std::vector<std::string> path;
    if (!Resolve(key, path))
        return false;
    bool exists = false;
    RegistryHive::For(root_).Read([&](const RegKey& root) { exists = root.Find(path) != nullptr; });
    return exists;
}

bool TRegistry::HasSubKeys()
{
    return !GetKeyNames().empty();
}

std::vector<std::string> TRegistry::GetKeyNames()
{
    std::vector<std::string> names;
    RegistryHive::For(root_).Read([&](const RegKey& root) {
        if (const RegKey* key = root.Find(path_))
            for (const auto& [folded, child] : key->children)
                names.push_back(child->name);
    });
    return names;
}

std::vector<std::string> TRegistry::GetValueNames()
{
    std::vector<std::string> names;
    RegistryHive::For(root_).Read([&](const RegKey& root) {
        if (const RegKey* key = root.Find(path_))
            for (const RegValue& v : key->values)
                names.push_back(v.name);
    });
    return names;
}

bool TRegistry::ReadRaw(const std::string& name, uint32_t& type, std::string& data)
{
    bool found = false;
    RegistryHive::For(root_).Read([&](const RegKey& root) {
        const RegKey* key = root.Find(path_);
        const RegValue* v = key ? key->FindValue(name) : nullptr;
        if (v) {
            found = true;
            type = v->type;
            data = v->data;
        }
    });
    return found;
}

void TRegistry::WriteRaw(const std::string& name, uint32_t type, std::string data)
{
    if (!(keyAccess_ & KEY_SET_VALUE) && open_)
        throw ERegistryException("Failed to set data for '" + name + "': the key is open for reading only");
    if (!open_ && !(access_ & KEY_SET_VALUE))
        throw ERegistryException("Failed to set data for '" + name + "': no write access");
    bool keyMissing = false;
    try {
        RegistryHive::For(root_).Modify([&](RegKey& root) {
            RegKey* key = root.Find(path_);
            if (!key) {
                keyMissing = true;
                return false;
            }
            if (RegValue* v = key->FindValue(name)) {
                if (v->type == type && v->data == data)
                    return false;
                v->type = type;
                v->data = std::move(data);
            } else {
                key->values.push_back(RegValue{name, type, std::move(data)});
            }
            return true;
        });
    } catch (const ERegistryException& e) {
        throw ERegistryException("Failed to set data for '" + name + "': " + e.Message());
    }
    if (keyMissing)
        throw ERegistryException("Failed to set data for '" + name + "': the key was deleted");
}

bool TRegistry::ValueExists(const std::string& name)
{
    uint32_t type;
    std::string data;
    return ReadRaw(name, type, data);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    if (open_ && !(keyAccess_ & KEY_SET_VALUE))
        return false;
    bool deleted = false;
    try {
        RegistryHive::For(root_).Modify([&](RegKey& root) {
            RegKey* key = root.Find(path_);
            if (!key)
                return false;
            const std::string folded = FoldRegistryName(name);
            for (auto it = key->values.begin(); it != key->values.end(); ++it) {
                if (FoldRegistryName(it->name) == folded) {
                    key->values.erase(it);
                    deleted = true;
                    return true;
                }
            }
            return false;
        });
    } catch (const ERegistryException&) {
        return false;
    }
    return deleted;
}

TRegDataType TRegistry::GetDataType(const std::string& name)
{
    uint32_t type = REG_NONE;
    std::string data;
    return ReadRaw(name, type, data) ? ToDataType(type) : TRegDataType::rdUnknown;
}

int TRegistry::GetDataSize(const std::string& name)
{
    uint32_t type;
    std::string data;
    return ReadRaw(name, type, data) ? static_cast<int>(data.size()) : -1;
}

std::string TRegistry::ReadString(const std::string& name)
{
    uint32_t type;
    std::string data;
    if (!ReadRaw(name, type, data))
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        InvalidType(name);
    return data;
}

int TRegistry::ReadInteger(const std::string& name)
{
    uint32_t type;
    std::string data;
    if (!ReadRaw(name, type, data) || type != REG_DWORD || data.size() != 4)
        InvalidType(name);
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<unsigned char>(data[i]);
    return static_cast<int>(n);
}

bool TRegistry::ReadBool(const std::string& name)
{
    return ReadInteger(name) != 0;
}

TDateTime TRegistry::ReadDateTime(const std::string& name)
{
    TDateTime value = 0;
    if (ReadBinaryData(name, &value, sizeof value) != sizeof value)
        InvalidType(name);
    return value;
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufferSize)
{
    uint32_t type;
    std::string data;
    if (!ReadRaw(name, type, data) || (type != REG_BINARY && type != REG_NONE))
        InvalidType(name);
    if (bufferSize < 0 || data.size() > static_cast<size_t>(bufferSize))
        throw ERegistryException("Failed to get data for '" + name + "': the buffer is too small");
    std::memcpy(buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

std::string TRegistry::ReadBinaryData(const std::string& name)
{
    uint32_t type;
    std::string data;
    if (!ReadRaw(name, type, data) || (type != REG_BINARY && type != REG_NONE))
        InvalidType(name);
    return data;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    WriteRaw(name, REG_SZ, value);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value)
{
    WriteRaw(name, REG_EXPAND_SZ, value);
}

void TRegistry::WriteInteger(const std::string& name, int value)
{
    const auto n = static_cast<uint32_t>(value);
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((n >> (8 * i)) & 0xff);
    WriteRaw(name, REG_DWORD, std::move(data));
}

void TRegistry::WriteBool(const std::string& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteDateTime(const std::string& name, TDateTime value)
{
    WriteBinaryData(name, &value, sizeof value);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int size)
{
    if (size < 0)
        throw ERegistryException("Failed to set data for '" + name + "': negative size");
    WriteRaw(name, REG_BINARY, std::string(static_cast<const char*>(buffer), static_cast<size_t>(size)));
}
