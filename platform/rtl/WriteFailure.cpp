#include "platform/rtl/WriteFailure.h"

#include <cerrno>
#include <cstring>

namespace {

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string WriteFailureText(const std::string& path, int error)
{
    switch (error) {
    case ENOSPC:
        return "The disk is full: the folder \"" + FolderOf(path) + "\" has no room left for \"" + NameOf(path) +
               "\".";
    case EDQUOT:
        return "Your disk quota is used up: the folder \"" + FolderOf(path) + "\" has no room left for \"" +
               NameOf(path) + "\".";
    case 0:
        return "The file \"" + path + "\" could not be written.";
    default:
        return "The file \"" + path + "\" could not be written: " + std::strerror(error) + ".";
    }
}
