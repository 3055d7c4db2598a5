#define POINTERHOLDER_TRANSITION 4
#include "platform/pdf/PdfFileWriter.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

bool WritePdfFile(const std::string& pdf, const std::string& author, const std::string& title,
    const std::vector<PdfAttachment>& attachments, const std::string& path, std::string* error)
{
    namespace fs = std::filesystem;
    if (path.empty()) {
        if (error)
            *error = "No output file was set.";
        return false;
    }
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string tmp = (folder / (".~" + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        if (error)
            *error = "Cannot create a file in " + folder.string() + ".";
        return false;
    }
    ::close(fd);
    try {
        QPDF q;
        q.processMemoryFile("document", pdf.data(), pdf.size());
        QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
        if (q.getTrailer().hasKey("/Info") && q.getTrailer().getKey("/Info").isDictionary())
            info = q.getTrailer().getKey("/Info");
        else
            q.getTrailer().replaceKey("/Info", q.makeIndirectObject(info));
        info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(author));
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));

        QPDFEmbeddedFileDocumentHelper files(q);
        std::set<std::string> keys;
        for (const PdfAttachment& a : attachments) {
            // Two files of the same name stay two entries.
            std::string key = a.name;
            for (int n = 2; !keys.insert(key).second; ++n)
                key = a.name + " (" + std::to_string(n) + ")";
            auto stream = QPDFEFStreamObjectHelper::createEFStream(q, a.bytes);
            auto spec = QPDFFileSpecObjectHelper::createFileSpec(q, a.name, stream);
            if (!a.description.empty())
                spec.setDescription(a.description);
            files.replaceEmbeddedFile(key, spec);
        }
        QPDFWriter w(q, tmp.c_str());
        w.setStaticID(false);
        w.write();
    } catch (const std::exception& e) {
        std::remove(tmp.c_str());
        if (error)
            *error = e.what();
        return false;
    }
    std::error_code ec;
    fs::permissions(tmp, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
        ec);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        if (error)
            *error = "Cannot write " + path + ".";
        return false;
    }
    return true;
}
