#include "platform/rtl/FileName.h"

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
