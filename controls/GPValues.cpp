#include "controls/GPValues.h"

ARGB MakeColor(uint8_t a, TColor color)
{
    const int32_t rgb = ColorToRGB(color);
    return MakeColor(a, uint8_t(GetRValue(rgb)), uint8_t(GetGValue(rgb)), uint8_t(GetBValue(rgb)));
}

ARGB ColorToARGB(TColor color)
{
    return MakeColor(255, color);
}
