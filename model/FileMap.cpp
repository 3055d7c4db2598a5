#include "model/FileMap.h"

#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include "platform/rtl/RegularFile.h"

FileMap::FileMap(const std::string& fileName) : fileName_(fileName) {}

FileMap::~FileMap()
{
    if (open_)
        Close();
}

bool FileMap::Open()
{
    if (open_)
        Close();
    struct stat st {};
    fd_ = OpenOnlyRegularFile(fileName_, O_RDONLY, st);
    if (fd_ < 0)
        return false;
    if (st.st_size <= 0 || static_cast<uint64_t>(st.st_size) > SIZE_MAX) {
        Close();
        return false;
    }
    const size_t length = static_cast<size_t>(st.st_size);
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (view == MAP_FAILED) {
        Close();
        return false;
    }
    // Readers go through the view once from start to end.
    ::madvise(view, length, MADV_SEQUENTIAL);
    view_ = static_cast<const uint8_t*>(view);
    size_ = static_cast<uint64_t>(st.st_size);
    open_ = true;
    return true;
}

void FileMap::Close()
{
    if (view_)
        ::munmap(const_cast<uint8_t*>(view_), static_cast<size_t>(size_));
    if (fd_ >= 0)
        ::close(fd_);
    view_ = nullptr;
    size_ = 0;
    fd_ = -1;
    open_ = false;
}
