#pragma once
// Settings kept as sections (sub-keys) and values beneath one registry key,
// in the manner of an ini file. Reads never fail: a missing value, or one that
// cannot be read as the asked type, gives the default. Writes raise
// ERegistryException when the hive cannot be written.
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/rtl/DateTime.h"

class TRegistryIniFile {
public:
    // fileName is the key path under the root. With write access the key is
    // created when missing; read-only access only opens an existing key.
    explicit TRegistryIniFile(const std::string& fileName, uint32_t access = KEY_ALL_ACCESS,
                              HKEY root = HKEY_CURRENT_USER);

    const std::string& FileName() const { return fileName_; }
    HKEY RootKey() const { return root_; }

    // Section "" is the key itself; ident "" is a section's default value.
    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    // Integers read from a DWORD or a decimal string; a value that already
    // exists as a string is rewritten as a decimal string, otherwise as a DWORD.
    int ReadInteger(const std::string& section, const std::string& ident, int def);
    void WriteInteger(const std::string& section, const std::string& ident, int value);
    // Stored as the integers 0 and 1; any non-zero integer reads as true.
    bool ReadBool(const std::string& section, const std::string& ident, bool def);
    void WriteBool(const std::string& section, const std::string& ident, bool value);
    // Stored as the 8 bytes of the date-time; a decimal string (with a point)
    // is accepted when reading.
    TDateTime ReadDateTime(const std::string& section, const std::string& ident, TDateTime def);
    void WriteDateTime(const std::string& section, const std::string& ident, TDateTime value);

    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& ident);
    // Removes one value of a section.
    void DeleteKey(const std::string& section, const std::string& ident);
    // Removes a section with everything beneath it; raises when it exists
    // but cannot be removed, and for a section without a name (the store's
    // own key, which is never erased this way).
    void EraseSection(const std::string& section);
    // Section names (sub-keys), ordered by name.
    std::vector<std::string> ReadSections();
    // Value names of a section, in the order first written.
    std::vector<std::string> ReadSection(const std::string& section);

private:
    bool OpenSection(TRegistry& reg, const std::string& section, bool forWrite);
    std::string SectionPath(const std::string& section) const;

    std::string fileName_;
    HKEY root_;
    uint32_t access_;
};
