#pragma once
// A path written out as its segments, for comparing outlines with a table:
// "M(x,y)" starts a figure, "L(x,y)" a line to, "B(x,y)" a curve to, "Z"
// closes. Coordinates are rounded to whole pixels.
#include <cmath>
#include <string>
#include <vector>

#include "controls/GPPath.h"

inline std::string PathElements(TGPGraphicsPath& path)
{
    const int count = path.GetPointCount();
    std::vector<GpPointF> points(size_t(std::max(count, 0)));
    std::vector<BYTE> types(points.size());
    if (count > 0) {
        GdipGetPathPoints(path.NativePath(), points.data(), count);
        GdipGetPathTypes(path.NativePath(), types.data(), count);
    }
    auto at = [&](int i) {
        return "(" + std::to_string(std::lround(points[i].X)) + "," + std::to_string(std::lround(points[i].Y)) + ")";
    };
    std::string out;
    for (int i = 0; i < count; ++i) {
        const int kind = types[i] & 0x07;
        if (kind == 0)
            out += "M" + at(i);
        else if (kind == 1)
            out += " L" + at(i);
        else if (kind == 3) {
            i += 2;  // a curve's two control points are not compared
            out += " B" + at(i);
        }
        if (types[i] & 0x80)
            out += " Z";
    }
    return out;
}
