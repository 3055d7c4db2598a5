#pragma once
// Drawing helpers shared by the thumbnail strip, its items, header, footer,
// navigator and splitters.
#include "controls/Colors.h"
#include "controls/FillTypes.h"
#include "controls/GPPath.h"
#include "controls/GPValues.h"

// Where an object sits in a rectangle.
enum TSmoothImageListBoxLocation : int {
    cpTopLeft, cpTopCenter, cpTopRight, cpCenterLeft, cpCenterCenter, cpCenterRight, cpBottomLeft,
    cpBottomCenter, cpBottomRight, cpCustom
};

// A new closed outline of the rectangle with the chosen corners rounded, for
// the caller to free. A radius of 0 or less gives the plain rectangle.
TGPGraphicsPath* CreateRoundRectangle(const TGPRectF& r, int radius, TFillRoundingType roundingType, bool mirror);
// The same outline, but rtLeft and rtRight give an empty one.
TGPGraphicsPath* CreateRoundRectPath(const TGPRectF& r, int radius, TFillRoundingType roundingType, bool mirror);

// Places an object of w × h in R: X and Y come out as its top-left corner.
// For cpCustom the incoming X and Y are taken relative to R.
void GetLocationOffset(float& x, float& y, const TGPRectF& r, int w, int h, TSmoothImageListBoxLocation location);

// Lightens the colour toward white by the percentage (0 unchanged, 100 white;
// channels stop at 255).
TColor BlendColor(TColor color, uint8_t percentage);
