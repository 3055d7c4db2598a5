#pragma once
// Value types and colour helpers of the drawing wrappers.
#include <vector>

#include "controls/Colors.h"
#include "platform/gdiplus/GdiPlusTypes.h"

struct TGPPointF {
    float X = 0, Y = 0;
};
struct TGPPoint {
    int32_t X = 0, Y = 0;
};
struct TGPRectF {
    float X = 0, Y = 0, Width = 0, Height = 0;
};
struct TGPRect {
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

using TSingleDynArray = std::vector<float>;
using TPointFDynArray = std::vector<TGPPointF>;
using TPointDynArray = std::vector<TGPPoint>;
using TRectFDynArray = std::vector<TGPRectF>;
using TRectDynArray = std::vector<TGPRect>;
using TColorDynArray = std::vector<ARGB>;

enum TImageType { itPNG, itBMP, itJPEG, itTIFF, itGIF };
enum TAntiAlias { aaNone, aaClearType, aaAntiAlias };
enum TGPImageFormat { ifUndefined, ifMemoryBMP, ifBMP, ifEMF, ifWMF, ifJPEG, ifPNG, ifGIF, ifTIFF, ifEXIF, ifIcon };
enum TGradientType {
    gtSolid, gtRadial, gtVertical, gtHorizontal, gtForwardDiagonal, gtBackwardDiagonal, gtAngle, gtHatch, gtPath,
    gtTexture, gtNone
};

inline TGPPointF MakePoint(float x, float y) { return {x, y}; }
inline TGPPoint MakePoint(int32_t x, int32_t y) { return {x, y}; }
inline TGPRectF MakeRect(float x, float y, float width, float height) { return {x, y, width, height}; }

inline constexpr ARGB MakeColor(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
{
    return (ARGB(a) << 24) | (ARGB(r) << 16) | (ARGB(g) << 8) | ARGB(b);
}
inline constexpr ARGB MakeColor(uint8_t r, uint8_t g, uint8_t b) { return MakeColor(255, r, g, b); }
// A class-library colour (system colours resolved) with the given alpha.
ARGB MakeColor(uint8_t a, TColor color);
// The resolved colour, opaque.
ARGB ColorToARGB(TColor color);

inline constexpr uint8_t GetAlpha(ARGB c) { return uint8_t(c >> 24); }
inline constexpr uint8_t GetRed(ARGB c) { return uint8_t(c >> 16); }
inline constexpr uint8_t GetGreen(ARGB c) { return uint8_t(c >> 8); }
inline constexpr uint8_t GetBlue(ARGB c) { return uint8_t(c); }

// The class library's rectangle: edges, right and bottom exclusive.
struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
};
