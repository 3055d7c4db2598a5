#pragma once
// Turns pixels described by a picture's own colour profile into sRGB, the
// colours browsers, PDF viewers and the program's windows assume for
// pixels without a profile. Done once, where a picture is loaded, so that
// every view and every output shows the same colours.
//
// Any thread; one object must not be used by two threads at once.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TSrgbTransform {
public:
    // How pixels lie in memory, byte by byte. Alpha passes unchanged.
    enum class TLayout { Bgr8, Rgb8, Bgra8, Grey8 };

    // Not valid when the profile cannot be read or describes other data
    // than the layout holds (a CMYK profile for RGB pixels, a grey one for
    // colour): such pixels are then best left as they are.
    TSrgbTransform(const std::vector<uint8_t>& profile, TLayout layout);
    ~TSrgbTransform();
    TSrgbTransform(const TSrgbTransform&) = delete;
    TSrgbTransform& operator=(const TSrgbTransform&) = delete;

    bool IsValid() const { return transform_ != nullptr; }
    // Converts `count` pixels in place.
    void Convert(uint8_t* pixels, size_t count) const;
    // Converts `rows` rows of `width` pixels, `stride` bytes apart, in place.
    void ConvertRows(uint8_t* first, size_t width, size_t rows, ptrdiff_t stride) const;

private:
    void* context_ = nullptr;
    void* transform_ = nullptr;
    uint32_t format_ = 0;
};
