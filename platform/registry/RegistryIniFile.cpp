#include "platform/registry/RegistryIniFile.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

bool ParseInt(const std::string& text, int& out)
{
    size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ')
        ++b;
    while (e > b && text[e - 1] == ' ')
        --e;
    if (b < e && text[b] == '+')
        ++b;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    if (first == last)
        return false;
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

bool ParseDouble(const std::string& text, double& out)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first == last)
        return false;
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

} // namespace

TRegistryIniFile::TRegistryIniFile(const std::string& fileName, uint32_t access, HKEY root)
    : fileName_(fileName), root_(root), access_(access)
{
    if (access_ & KEY_SET_VALUE) {
        TRegistry reg(access_);
        reg.SetRootKey(root_);
        reg.OpenKey("\\" + fileName_, true);
    }
}

std::string TRegistryIniFile::SectionPath(const std::string& section) const
{
    std::string path = "\\" + fileName_;
    while (path.size() > 1 && path.back() == '\\')
        path.pop_back();
    if (!section.empty())
        path += "\\" + section;
    return path;
}

bool TRegistryIniFile::OpenSection(TRegistry& reg, const std::string& section, bool forWrite)
{
    reg.SetRootKey(root_);
    if (forWrite)
        return reg.OpenKey(SectionPath(section), true);
    return reg.OpenKeyReadOnly(SectionPath(section));
}

std::string TRegistryIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def)
{
    TRegistry reg(KEY_READ);
    if (!OpenSection(reg, section, false))
        return def;
    switch (reg.GetDataType(ident)) {
    case TRegDataType::rdString:
    case TRegDataType::rdExpandString:
        return reg.ReadString(ident);
    case TRegDataType::rdInteger:
        return std::to_string(reg.ReadInteger(ident));
    default:
        return def;
    }
}

void TRegistryIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    TRegistry reg(access_);
    if (!OpenSection(reg, section, true))
        throw ERegistryException("Failed to create key '" + SectionPath(section) + "'");
    reg.WriteString(ident, value);
}

int TRegistryIniFile::ReadInteger(const std::string& section, const std::string& ident, int def)
{
    TRegistry reg(KEY_READ);
    if (!OpenSection(reg, section, false))
        return def;
    switch (reg.GetDataType(ident)) {
    case TRegDataType::rdInteger:
        return reg.ReadInteger(ident);
    case TRegDataType::rdString:
    case TRegDataType::rdExpandString: {
        int value = 0;
        return ParseInt(reg.ReadString(ident), value) ? value : def;
    }
    default:
        return def;
    }
}

void TRegistryIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    TRegistry reg(access_);
    if (!OpenSection(reg, section, true))
        throw ERegistryException("Failed to create key '" + SectionPath(section) + "'");
    if (reg.GetDataType(ident) == TRegDataType::rdString)
        reg.WriteString(ident, std::to_string(value));
    else
        reg.WriteInteger(ident, value);
}

bool TRegistryIniFile::ReadBool(const std::string& section, const std::string& ident, bool def)
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TRegistryIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteInteger(section, ident, value ? 1 : 0);
}

TDateTime TRegistryIniFile::ReadDateTime(const std::string& section, const std::string& ident, TDateTime def)
{
    TRegistry reg(KEY_READ);
    if (!OpenSection(reg, section, false))
        return def;
    switch (reg.GetDataType(ident)) {
    case TRegDataType::rdBinary: {
        const std::string data = reg.ReadBinaryData(ident);
        if (data.size() != sizeof(TDateTime))
            return def;
        TDateTime value;
        std::memcpy(&value, data.data(), sizeof value);
        return value;
    }
    case TRegDataType::rdString: {
        double value = 0;
        return ParseDouble(reg.ReadString(ident), value) ? value : def;
    }
    default:
        return def;
    }
}

void TRegistryIniFile::WriteDateTime(const std::string& section, const std::string& ident, TDateTime value)
{
    TRegistry reg(access_);
    if (!OpenSection(reg, section, true))
        throw ERegistryException("Failed to create key '" + SectionPath(section) + "'");
    reg.WriteDateTime(ident, value);
}

bool TRegistryIniFile::SectionExists(const std::string& section)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root_);
    return reg.KeyExists(SectionPath(section));
}

bool TRegistryIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    TRegistry reg(KEY_READ);
    return OpenSection(reg, section, false) && reg.ValueExists(ident);
}

void TRegistryIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    TRegistry reg(access_);
    reg.SetRootKey(root_);
    if (reg.OpenKey(SectionPath(section), false))
        reg.DeleteValue(ident);
}

void TRegistryIniFile::EraseSection(const std::string& section)
{
    // A section without a name is the store's key itself; erasing it would
    // take every other section with it.
    if (section.find_first_not_of('\\') == std::string::npos)
        throw ERegistryException("Failed to delete key '" + SectionPath(section) + "': the section has no name");
    TRegistry reg(access_);
    reg.SetRootKey(root_);
    const std::string path = SectionPath(section);
    if (reg.KeyExists(path) && !reg.DeleteKey(path))
        throw ERegistryException("Failed to delete key '" + path + "'");
}

std::vector<std::string> TRegistryIniFile::ReadSections()
{
    TRegistry reg(KEY_READ);
    if (!OpenSection(reg, "", false))
        return {};
    return reg.GetKeyNames();
}

std::vector<std::string> TRegistryIniFile::ReadSection(const std::string& section)
{
    TRegistry reg(KEY_READ);
    if (!OpenSection(reg, section, false))
        return {};
    return reg.GetValueNames();
}
