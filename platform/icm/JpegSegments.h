#pragma once
// A JPEG's marker segments, walked from the file's own bytes: for the
// colour profile it carries, and to tell a whole file from one cut short
// (Qt's reader decodes the latter without a word, the lost rows grey).
#include <cstddef>
#include <cstdint>
#include <functional>

enum class TJpegWalk {
    Stopped,     // the visitor asked to stop
    ReachedEnd,  // the end marker came after the last scan
    Broken       // the bytes ended first, or a segment overran them
};

// Calls visit(marker, payload, payloadSize) for every segment that has a
// length, a scan's header included, in file order; a visitor returning
// false stops the walk. Stray bytes between segments are passed over, as
// decoders do. Reads each byte at most once, never outside the bytes. With
// `end`, the walk gives where it stopped: the end marker's offset when it
// reached it.
TJpegWalk WalkJpegSegments(const uint8_t* data, size_t size,
                           const std::function<bool(uint8_t marker, const uint8_t* payload, size_t size)>& visit,
                           size_t* end = nullptr);

inline bool JpegReachesItsEnd(const uint8_t* data, size_t size)
{
    return WalkJpegSegments(data, size, [](uint8_t, const uint8_t*, size_t) { return true; }) == TJpegWalk::ReachedEnd;
}
