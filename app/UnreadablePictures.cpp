#include "app/UnreadablePictures.h"

#include "FreeImage/FreeBitmap.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Enough for the header of every artwork format; the rest of a damaged file
// is no concern here.
constexpr size_t kHeadBytes = size_t{4} << 20;

std::string MiB(int64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f MiB", double(bytes) / double(1 << 20));
    return text;
}

} // namespace

std::string WhyNoPicture(const std::string& path)
{
    // The type is known before the file is opened: opening a device may act.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "it does not exist"
                                                   : std::string("it cannot be reached: ") + std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (!S_ISREG(st.st_mode))
        return "it is a special file (a device, pipe or socket), not a picture file";
    if (st.st_size > TFreeBitmap::kMaxFileBytes)
        return "at " + MiB(st.st_size) + " it is larger than the " + MiB(TFreeBitmap::kMaxFileBytes) +
               " a picture file may be";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? "you may not read it" : std::string("it cannot be read: ") + std::strerror(errno);
    std::vector<unsigned char> head(std::min<size_t>(kHeadBytes, size_t(st.st_size)));
    size_t done = 0;
    struct stat opened{};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    while (regular && done < head.size()) {
        const ssize_t n = ::read(fd, head.data() + done, head.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    if (!regular)
        return "it is a special file (a device, pipe or socket), not a picture file";
    TFreeBitmap::Header header;
    const bool read = done > 0 && TFreeBitmap::ReadHeader(head.data(), DWORD(done), header);
    // Refused from its own bytes, so the head of a longer file refuses
    // only what the whole file would.
    if (!header.refusal.empty())
        return header.refusal;
    if (header.format == FIF_UNKNOWN || !TFreeBitmap::IsArtworkFormat(header.format))
        return "it is not a picture in a format the program reads (JPEG, PNG, GIF, BMP or TIFF)";
    if (read && !header.WithinLimits())
        return "its picture of " + std::to_string(header.width) + " x " + std::to_string(header.height) +
               " pixels is larger than the " + std::to_string(TFreeBitmap::kMaxPixels / 1000000) +
               " million pixels a picture may have";
    return "it is damaged or cut short";
}

std::string UnreadablePicturesText(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return std::string();
    if (paths.size() == 1)
        return "The file \"" + paths.front() + "\" could not be read as a picture: " + WhyNoPicture(paths.front()) +
               ".";
    std::string text = "These files could not be read as pictures:";
    for (const std::string& path : paths)
        text += "\n" + path + ": " + WhyNoPicture(path);
    return text;
}
