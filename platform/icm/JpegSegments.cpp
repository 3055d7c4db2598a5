#include "platform/icm/JpegSegments.h"

namespace {

// Past the entropy-coded data of a scan, to the marker that ends it. In the
// data a 0xFF byte is followed by 0 (a stuffed byte) or by a restart
// marker; anything else is the next marker.
bool SkipScanData(const uint8_t* data, size_t size, size_t& at)
{
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t next = data[at + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            at += 2;
        else if (next == 0xFF)
            ++at;
        else
            return true;
    }
    return false;
}

}  // namespace

TJpegWalk WalkJpegSegments(const uint8_t* data, size_t size,
                           const std::function<bool(uint8_t marker, const uint8_t* payload, size_t size)>& visit,
                           size_t* end)
{
    size_t ignored = 0;
    size_t& at = end ? *end : ignored;
    at = 0;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return TJpegWalk::Broken;
    at = 2;
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9)
            return TJpegWalk::ReachedEnd;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (at + 4 > size)
            return TJpegWalk::Broken;
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2 || length > size - at - 2)
            return TJpegWalk::Broken;
        if (!visit(marker, data + at + 4, length - 2))
            return TJpegWalk::Stopped;
        at += 2 + length;
        if (marker == 0xDA && !SkipScanData(data, size, at))
            return TJpegWalk::Broken;
    }
    at = size;
    return TJpegWalk::Broken;
}
