#include "platform/rtl/FileName.h"

#include <algorithm>

namespace {
size_t LastSeparator(std::string_view path)
{
    return path.find_last_of("\\/");
}
} // namespace

std::string ExtractFileName(std::string_view path)
{
    const size_t sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string ExtractFilePath(std::string_view path)
{
    const size_t sep = LastSeparator(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    const std::string name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext)
{
    const std::string folder = ExtractFilePath(path);
    std::string name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return folder + name + std::string(ext);
}

std::string IncludeTrailingPathDelimiter(std::string_view path)
{
    std::string out(path);
    if (out.empty() || (out.back() != '/' && out.back() != '\\'))
        out += '/';
    return out;
}

std::string SafeFileName(std::string_view path)
{
    std::string name = ExtractFileName(path);
    if (name == "." || name == "..")
        return {};
    return name;
}

std::string FitFileName(std::string_view name, std::string_view suffix)
{
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string_view::npos && dot > 0 && name.size() - dot <= 16;
    const std::string_view stem = hasExt ? name.substr(0, dot) : name;
    const std::string_view ext = hasExt ? name.substr(dot) : std::string_view();
    std::size_t size = kMaxFileNameBytes - ext.size() - std::min(suffix.size(), kMaxFileNameBytes - ext.size());
    if (stem.size() > size)
        while (size > 0 && (static_cast<unsigned char>(stem[size]) & 0xC0) == 0x80)
            --size;
    else
        size = stem.size();
    std::string out(stem.substr(0, size));
    out += suffix;
    out += ext;
    return out;
}
