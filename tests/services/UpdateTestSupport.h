#pragma once
// Update descriptions, served files and the update server shared by the
// updater's and the update job's tests.
#include <QCryptographicHash>
#include <filesystem>
#include <string>
#include <vector>

#include "services/Updater.h"
#include "tests/support/HttpsTestServer.h"
#include "tests/support/TempDir.h"

namespace updatetest {

inline std::string Md5Hex(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
        .toHex()
        .toUpper()
        .toStdString();
}

struct File {
    std::string name;
    std::string bytes;
    std::string commandLine = {};
    // Attributes as they go into the description; by default the true ones.
    std::string hash = "auto";
    std::string size = "auto";
};

inline std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

inline std::string FileElement(const File& f)
{
    std::string e = "<DownloadFile";
    const std::string hash = f.hash == "auto" ? Md5Hex(f.bytes) : f.hash;
    const std::string size = f.size == "auto" ? std::to_string(f.bytes.size()) : f.size;
    if (hash != "none")
        e += " Hash=\"" + hash + "\"";
    if (size != "none")
        e += " Size=\"" + size + "\"";
    if (!f.commandLine.empty())
        e += " CommandLine=\"" + Escaped(f.commandLine) + "\"";
    return e + ">" + Escaped(f.name) + "</DownloadFile>";
}

inline std::string Product(const std::string& name, const std::string& major, const std::string& minor,
                           const std::string& downloadUrl, const std::vector<File>& files, bool restart = false)
{
    std::string p = "<Product Name=\"" + name + "\"><MajorVersion>" + major + "</MajorVersion><MinorVersion>" + minor +
                    "</MinorVersion><DownloadURL>" + Escaped(downloadUrl) + "</DownloadURL>";
    if (restart)
        p += "<Restart>true</Restart>";
    for (const File& f : files)
        p += FileElement(f);
    return p + "</Product>";
}

inline std::string Description(const std::string& products)
{
    return "<?xml version=\"1.0\"?>\n<Update>" + products + "</Update>\n";
}

// The folder the downloads go to, and every regular file under it.
inline std::string DownloadArea()
{
    return std::string(std::getenv("XDG_CACHE_HOME")) + "/VelmoraVoravev/updates";
}

inline std::vector<std::string> FilesInDownloadArea()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(DownloadArea(), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file())
            files.push_back(it->path().string());
    }
    return files;
}

inline void ClearDownloadArea()
{
    std::error_code ec;
    std::filesystem::remove_all(DownloadArea(), ec);
}

} // namespace updatetest
