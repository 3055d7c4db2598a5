#define POINTERHOLDER_TRANSITION 4
#include "platform/pdf/PdfFileWriter.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/Pipeline.hh>

#include <memory>
#include <set>
#include <stdexcept>

#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"

namespace {

// Hands what the writer produces straight to the file, so the finished
// document is never held in memory a second time.
class FilePipeline : public Pipeline {
public:
    explicit FilePipeline(TSafeFileStream& file) : Pipeline("file", nullptr), file_(file) {}
    void write(unsigned char const* data, size_t len) override
    {
        const auto count = static_cast<int64_t>(len);
        if (file_.Write(data, count) != count)
            throw std::runtime_error(file_.ErrorText());
    }
    void finish() override {}

private:
    TSafeFileStream& file_;
};

} // namespace

bool WritePdfFile(const std::string& pdf, const std::string& author, const std::string& title,
    const std::vector<PdfAttachment>& attachments, const std::string& path, std::string* error)
{
    if (path.empty()) {
        if (error)
            *error = "No output file was set.";
        return false;
    }
    std::unique_ptr<TSafeFileStream> file;
    try {
        file = std::make_unique<TSafeFileStream>(path);
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return false;
    }
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
        FilePipeline output(*file);
        QPDFWriter w(q);
        w.setOutputPipeline(&output);
        w.setStaticID(false);
        w.write();
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
    if (!file->Commit()) {
        if (error)
            *error = "Cannot write " + path + ": " + file->ErrorText();
        return false;
    }
    return true;
}
