#pragma once
#include <cstdint>
#include <string>

// A read-only memory-mapped view of a whole file. Sizes are 64-bit, so files
// of any size that fits the address space can be mapped.
class FileMap {
public:
    explicit FileMap(const std::string& fileName);
    ~FileMap();
    FileMap(const FileMap&) = delete;
    FileMap& operator=(const FileMap&) = delete;

    // Maps the whole file. False, with nothing left open, when the file is
    // missing, unreadable, not a regular file or empty (an empty file has
    // nothing to map). Opening an open map maps the file afresh.
    bool Open();
    void Close();

    // Valid while open: the first byte of the view and the size in bytes.
    const uint8_t* GetData() const { return view_; }
    uint64_t GetSize() const { return size_; }
    bool IsOpen() const { return open_; }
    const std::string& GetFileName() const { return fileName_; }

private:
    uint64_t size_ = 0;
    const uint8_t* view_ = nullptr;
    int fd_ = -1;
    std::string fileName_;
    bool open_ = false;
};
