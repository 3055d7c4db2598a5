#pragma once
// The per-user registry: a tree of keys with typed values, kept for each root
// in a hive file of its own (see RegistryHive.h). TRegistry works on one open
// key at a time, as the class library's registry class does; every call reads
// the latest state of the file and every change is written through at once.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exception.h"

enum HKEY : uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
};

// Access rights; only "may change values and keys" is told apart.
enum : uint32_t {
    KEY_QUERY_VALUE = 0x0001,
    KEY_SET_VALUE = 0x0002,
    KEY_CREATE_SUB_KEY = 0x0004,
    KEY_ENUMERATE_SUB_KEYS = 0x0008,
    KEY_READ = 0x20019,
    KEY_WRITE = 0x20006,
    KEY_ALL_ACCESS = 0xF003F,
};

// Stored value types, numbered as in the Windows registry so hive files keep
// the familiar "hex(N):" numbers for types this program does not interpret.
enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The display name of a root ("HKEY_CURRENT_USER").
std::string RootKeyName(HKEY root);

class TRegistry {
public:
    explicit TRegistry(uint32_t access = KEY_ALL_ACCESS);

    HKEY RootKey() const { return root_; }
    // Changing the root closes the open key.
    void SetRootKey(HKEY root);
    uint32_t Access() const { return access_; }
    void SetAccess(uint32_t access) { access_ = access; }

    // Paths are "\"-separated and case-insensitive. A path that starts with
    // "\" is taken from the root, any other from the open key. A trailing "\"
    // is ignored. False when the key is missing (and canCreate is false) or
    // the path is not a valid key name.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    // The open key's path from the root, without a leading "\" (empty for
    // the root itself).
    std::string CurrentPath() const;
    bool HasOpenKey() const { return open_; }

    bool CreateKey(const std::string& key);
    // Removes the key with every sub-key and value; false when it is missing
    // or names the root.
    bool DeleteKey(const std::string& key);
    bool KeyExists(const std::string& key);
    bool HasSubKeys();
    // Sub-keys of the open key, ordered by name without regard to case.
    std::vector<std::string> GetKeyNames();
    // Values of the open key in the order they were first written; the
    // default value appears as "".
    std::vector<std::string> GetValueNames();

    // The empty name stands for the key's default value.
    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    // Bytes of the stored data; -1 when the value is missing.
    int GetDataSize(const std::string& name);

    // Missing values read as empty text; other types raise ERegistryException.
    std::string ReadString(const std::string& name);
    // Missing values and values of another type raise ERegistryException.
    int ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name);
    TDateTime ReadDateTime(const std::string& name);
    // Copies the value into buffer and answers the number of bytes; raises
    // when the value is missing or longer than bufferSize.
    int ReadBinaryData(const std::string& name, void* buffer, int bufferSize);
    std::string ReadBinaryData(const std::string& name);

    // Writes raise ERegistryException when the key is open read-only, was
    // deleted meanwhile, or the hive file cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int value);
    void WriteBool(const std::string& name, bool value);
    void WriteDateTime(const std::string& name, TDateTime value);
    void WriteBinaryData(const std::string& name, const void* buffer, int size);

private:
    bool Resolve(const std::string& key, std::vector<std::string>& out) const;
    bool ReadRaw(const std::string& name, uint32_t& type, std::string& data);
    void WriteRaw(const std::string& name, uint32_t type, std::string data);

    HKEY root_ = HKEY_CURRENT_USER;
    uint32_t access_;
    uint32_t keyAccess_ = 0;
    bool open_ = false;
    std::vector<std::string> path_;
};
