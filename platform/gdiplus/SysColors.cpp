#include "platform/gdiplus/SysColors.h"

#include <cstdlib>
#include <limits>

namespace {

constexpr COLORREF Rgb(unsigned r, unsigned g, unsigned b)
{
    return r | (g << 8) | (b << 16);
}

constexpr COLORREF kSysColors[COLOR_ENDCOLORS + 1] = {
    Rgb(200, 200, 200),  // scroll bar
    Rgb(0, 0, 0),        // desktop
    Rgb(153, 180, 209),  // active caption
    Rgb(191, 205, 219),  // inactive caption
    Rgb(240, 240, 240),  // menu
    Rgb(255, 255, 255),  // window
    Rgb(100, 100, 100),  // window frame
    Rgb(0, 0, 0),        // menu text
    Rgb(0, 0, 0),        // window text
    Rgb(0, 0, 0),        // caption text
    Rgb(180, 180, 180),  // active border
    Rgb(244, 247, 252),  // inactive border
    Rgb(171, 171, 171),  // application workspace
    Rgb(0, 120, 215),    // highlight
    Rgb(255, 255, 255),  // highlight text
    Rgb(240, 240, 240),  // button face
    Rgb(160, 160, 160),  // button shadow
    Rgb(109, 109, 109),  // grey text
    Rgb(0, 0, 0),        // button text
    Rgb(0, 0, 0),        // inactive caption text
    Rgb(255, 255, 255),  // button highlight
    Rgb(105, 105, 105),  // dark 3-D shadow
    Rgb(227, 227, 227),  // 3-D light
    Rgb(0, 0, 0),        // tooltip text
    Rgb(255, 255, 225),  // tooltip background
    Rgb(0, 0, 0),        // (unused)
    Rgb(0, 102, 204),    // hot-tracked item
    Rgb(185, 209, 234),  // active caption gradient
    Rgb(215, 228, 242),  // inactive caption gradient
    Rgb(0, 120, 215),    // menu highlight
    Rgb(240, 240, 240),  // menu bar
};

}  // namespace

COLORREF GetSysColor(int index)
{
    if (index < 0 || index > COLOR_ENDCOLORS)
        return 0;
    return kSysColors[index];
}

int32_t ColorToRGB(TColor color)
{
    if (color < 0)
        return static_cast<int32_t>(GetSysColor(color & 0xFF));
    return color & 0x00FFFFFF;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t product = int64_t(a) * b;
    const int64_t magnitude = (std::llabs(product) + std::llabs(int64_t(c)) / 2) / std::llabs(int64_t(c));
    const int64_t result = (product < 0) != (c < 0) ? -magnitude : magnitude;
    if (result > std::numeric_limits<int32_t>::max() || result < std::numeric_limits<int32_t>::min())
        return -1;
    return static_cast<int32_t>(result);
}
