#pragma once
// Qt's JPEG reader decodes a file cut short without a word: the rows past
// the cut come out grey. Only the file's own structure tells: a whole JPEG
// reaches its end marker after its last scan.
#include <cstddef>
#include <cstdint>

// True when the JPEG's segments and scans run on to an end marker within
// the bytes; false when they end first or break off. Reads each byte at
// most once.
bool JpegReachesItsEnd(const uint8_t* data, size_t size);
