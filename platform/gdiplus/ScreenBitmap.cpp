#include "platform/gdiplus/ScreenBitmap.h"

#include <mutex>
#include <unordered_map>

namespace velmora_gdiplus_detail {

// Has external linkage on purpose: see the anchor below.
struct ScreenBitmapTable {
    std::mutex lock;
    std::unordered_map<HBITMAP, QImage> images;
    HBITMAP lastHandle = kNullBitmap;
};

// A function-local static of an inline function is emitted as a GNU unique
// symbol: the dynamic loader keeps one instance for the whole process, even
// across modules opened with RTLD_LOCAL. The executable exports it as well
// (see the folder's CMakeLists.txt), so the program and its modules agree.
inline ScreenBitmapTable& VelmoraScreenBitmapAnchor()
{
    static ScreenBitmapTable table;
    return table;
}

}  // namespace velmora_gdiplus_detail

namespace {

using velmora_gdiplus_detail::ScreenBitmapTable;

ScreenBitmapTable& Table()
{
    return velmora_gdiplus_detail::VelmoraScreenBitmapAnchor();
}

}  // namespace

HBITMAP CreateScreenBitmap(const QImage& image)
{
    if (image.isNull())
        return kNullBitmap;
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    if (copy.isNull())
        return kNullBitmap;
    // Detach from the caller's pixels, so later edits of theirs don't show.
    copy.detach();

    ScreenBitmapTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    // Handles are not reused right away: a stale handle held by someone finds
    // nothing instead of a stranger's picture until the counter wraps.
    HBITMAP handle = table.lastHandle;
    do {
        ++handle;
    } while (handle == kNullBitmap || table.images.count(handle) != 0);
    table.lastHandle = handle;
    table.images.emplace(handle, std::move(copy));
    return handle;
}

QImage GetScreenBitmap(HBITMAP bitmap)
{
    if (bitmap == kNullBitmap)
        return QImage();
    ScreenBitmapTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.images.find(bitmap);
    return it == table.images.end() ? QImage() : it->second;
}

bool GetScreenBitmapSize(HBITMAP bitmap, int* width, int* height)
{
    QImage image = GetScreenBitmap(bitmap);
    if (image.isNull())
        return false;
    if (width)
        *width = image.width();
    if (height)
        *height = image.height();
    return true;
}

bool DeleteObject(HBITMAP bitmap)
{
    if (bitmap == kNullBitmap)
        return false;
    QImage doomed;
    {
        ScreenBitmapTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        auto it = table.images.find(bitmap);
        if (it == table.images.end())
            return false;
        doomed = std::move(it->second);
        table.images.erase(it);
    }
    // The pixels are released here, outside the lock.
    return true;
}

std::size_t ScreenBitmapCount()
{
    ScreenBitmapTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.images.size();
}
