#include "model/StaticFile.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "platform/resources/Resources.h"
#include "platform/rtl/Base64.h"
#include "platform/rtl/FileDescriptor.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/RegularFile.h"

namespace {

// Closes the descriptor on every way out.
struct FileHandle {
    int fd;
    ~FileHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

StaticFile::StaticFile(bool builtin) : builtin_(builtin) {}

void StaticFile::Assign(std::unique_ptr<unsigned char[]> data, std::uint32_t size,
                        const std::string& name, const std::string& type)
{
    data_ = std::move(data);
    size_ = size;
    // Cut here, once: the folder and the pages that name the file both take
    // the name from here.
    name_ = FitFileName(name);
    type_ = type;
}

bool StaticFile::LoadFromFile(const std::string& path, const std::string& name, const std::string& type,
                              int64_t maxBytes)
{
    if (path.empty() || name.empty() || type.empty())
        return false;
    int64_t length = 0;
    FileHandle file{OpenRegularFile(path, std::min<int64_t>(maxBytes, 0xFFFFFFFFll), length)};
    if (file.fd < 0 || length <= 0)
        return false;
    const auto size = static_cast<std::uint32_t>(length);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer)
        return false;
    // A file that shrank under us is not half-loaded.
    if (!FdReadAll(file.fd, buffer.get(), size))
        return false;
    Assign(std::move(buffer), size, name, type);
    return true;
}

bool StaticFile::LoadFromResource(const std::string& resource, const std::string& name, const std::string& type)
{
    if (resource.empty() || name.empty() || type.empty())
        return false;
    const auto bytes = FindResource(resource, "RC_DATA");
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFull)
        return false;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    std::memcpy(buffer.get(), bytes.data(), size);
    Assign(std::move(buffer), size, name, type);
    return true;
}

bool StaticFile::LoadFromXml(const IXMLNode& element)
{
    const std::string name = element.GetAttribute("Name").value_or("");
    if (name.empty() || SafeFileName(name) != name)
        return false;
    const std::string encoding = element.GetAttribute("Encoding").value_or("");
    if (encoding.empty())
        return false;
    const std::string type = element.GetAttribute("Type").value_or("");
    if (type.empty() || encoding != "base64")
        return false;
    std::vector<std::uint8_t> decoded;
    if (!Base64Decode(element.Text(), decoded) || decoded.empty() || decoded.size() > 0xFFFFFFFFull)
        return false;
    const auto size = static_cast<std::uint32_t>(decoded.size());
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    std::memcpy(buffer.get(), decoded.data(), size);
    Assign(std::move(buffer), size, name, type);
    return true;
}

void StaticFile::SaveToXml(IXMLNode element) const
{
    if (element.IsNull() || !data_ || size_ == 0)
        return;
    element.SetAttribute("Name", name_);
    element.SetAttribute("Encoding", "base64");
    element.SetAttribute("Type", type_);
    element.SetText(Base64Encode(data_.get(), size_));
}

bool StaticFile::CopyFrom(const StaticFile* other)
{
    if (!other)
        return false;
    if (other == this)
        return true;
    std::unique_ptr<unsigned char[]> buffer;
    std::uint32_t size = 0;
    if (other->size_ > 0 && other->data_) {
        size = other->size_;
        buffer.reset(new unsigned char[size]);
        std::memcpy(buffer.get(), other->data_.get(), size);
    }
    Assign(std::move(buffer), size, other->name_, other->type_);
    return true;
}
