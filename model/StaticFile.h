#pragma once
// A named file that a template carries and that generated portfolios get a
// copy of: the CD autorun file and icon, the page arrows and document icon
// (built into the program), and the template's background images (carried
// inside the template file as base64).
#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/RegularFile.h"
#include "platform/xml/XMLNode.h"

class StaticFile {
public:
    explicit StaticFile(bool builtin);
    ~StaticFile() = default;
    StaticFile(const StaticFile&) = delete;
    StaticFile& operator=(const StaticFile&) = delete;

    bool IsBuiltin() const { return builtin_; }
    // The name as given, cut to what a file system takes (FitFileName).
    const std::string& GetName() const { return name_; }
    const std::string& GetType() const { return type_; }
    std::uint32_t GetSize() const { return size_; }
    // Null when the file holds no bytes.
    const unsigned char* GetData() const { return data_.get(); }

    // Every load is all or nothing: on false the object is as it was. Only a
    // regular file of at most maxBytes (and 4 GB) is read (see RegularFile.h).
    bool LoadFromFile(const std::string& path, const std::string& name, const std::string& type,
                      int64_t maxBytes = kNoSizeLimit);
    bool LoadFromResource(const std::string& resource, const std::string& name, const std::string& type);
    // Reads a "StaticFile" element; refuses a name that could point outside
    // the folder the file is later written to.
    bool LoadFromXml(const IXMLNode& element);
    // Fills the caller's "StaticFile" element; a file without bytes leaves it empty.
    void SaveToXml(IXMLNode element) const;
    // Takes over name, type and a copy of the bytes; the built-in flag stays.
    bool CopyFrom(const StaticFile* other);

private:
    void Assign(std::unique_ptr<unsigned char[]> data, std::uint32_t size,
                const std::string& name, const std::string& type);

    bool builtin_;
    std::uint32_t size_ = 0;
    std::unique_ptr<unsigned char[]> data_;
    std::string name_;
    std::string type_;
};
