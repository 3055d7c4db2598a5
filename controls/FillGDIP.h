#pragma once
// The gradient painter behind every fill, and two small drawing functions.
#include "controls/Colors.h"
#include "controls/FillTypes.h"
#include "controls/GPGraphics.h"

class TGDIPPicture;

struct TGDIPFillParameters {
    TGPGraphics* Graphics = nullptr;  // borrowed
    TGPGraphicsPath* Path = nullptr;  // borrowed; used when Fillpath is set
    bool Fillpath = false;
    TGPRectF R{};  // the area without a path, and always the gradients' extent
    TGradientType GT = gtSolid;
    TColor ColorFrom = colors::clNone;
    TColor ColorTo = colors::clNone;
    int OpacityFrom = 255;
    int OpacityTo = 255;
    HatchStyle Hatch = HatchStyleHorizontal;
    int Angle = 0;
    TGDIPPicture* Picture = nullptr;  // borrowed, may be absent
    TColor BorderColor = colors::clNone;
    int BorderWidth = 0;
    DashStyle BorderStyle = DashStyleSolid;
    bool Mirror = false;
};

// Fills the path or rectangle in the kind of the parameters and outlines it
// in the border colour. The caller chooses the smoothing mode.
void FillGDIP(const TGDIPFillParameters& params);

// A grey shadow over the rectangle that fades out toward its edge.
void ShadowGDIP(TGPGraphics* graphics, const TGPRectF& r);

// An arrow head at `to`, pointing away from `from`; the scale factors stretch
// it horizontally and vertically.
void ArrowGDIP(TGPGraphics* graphics, const TGPPointF& from, const TGPPointF& to, int headSize, TColor color,
               float scaleX, float scaleY);
