#pragma once
// The colour profile a picture file carries, read from the file's own bytes
// so that every decoder of the program (the picture library and Qt's
// readers alike) is given the same profile, whatever each of them makes of
// it. Only the profile's container is read here; the profile itself is
// checked by the colour transform that takes it.
#include <cstddef>
#include <cstdint>
#include <vector>

// Larger than any profile a camera, a phone or an editor writes, small
// enough that a file claiming more costs nothing.
inline constexpr size_t kMaxEmbeddedProfileBytes = size_t{16} << 20;

// The ICC profile of a JPEG (its ICC_PROFILE segments joined in their
// numbered order), a PNG (its iCCP chunk, inflated) or a TIFF (tag 34675 of
// directory `page`, counted from 0). Empty when the file carries none, or
// when what it carries is incomplete, inconsistent, out of the file's bounds
// or over kMaxEmbeddedProfileBytes. A bitmap's embedded profile (newest info
// header only) counts too. Never reads outside [data, data + size).
std::vector<uint8_t> EmbeddedProfile(const uint8_t* data, size_t size, unsigned page = 0);
