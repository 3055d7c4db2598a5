#pragma once
// A float rectangle as "x,y wxh", for comparing placements in one line.
#include <sstream>
#include <string>

#include "controls/GPValues.h"

inline std::string RectText(const TGPRectF& r)
{
    std::ostringstream out;
    out << r.X << "," << r.Y << " " << r.Width << "x" << r.Height;
    return out.str();
}
