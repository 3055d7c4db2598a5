// Paths, regions and matrices.
#include <algorithm>
#include <cmath>
#include <new>

#include "platform/gdiplus/GdiPlusFlat.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

template <typename T>
GpStatus MakeObject(T** out)
{
    if (!out)
        return InvalidParameter;
    *out = new (std::nothrow) T;
    return *out ? Ok : OutOfMemory;
}

void AddPoint(GpPath& path, QPointF point, BYTE type)
{
    path.onlyEllipse.reset();
    if (path.newFigure) {
        type = PathPointTypeStart;
        path.newFigure = false;
    }
    path.points.push_back(point);
    path.types.push_back(type);
}

// Continues the open figure at `point`: lines and arcs join what came before.
void JoinAt(GpPath& path, QPointF point)
{
    if (path.newFigure) {
        AddPoint(path, point, PathPointTypeStart);
        return;
    }
    if (path.points.back() != point)
        AddPoint(path, point, PathPointTypeLine);
}

void CloseFigure(GpPath& path)
{
    if (!path.newFigure && !path.types.empty())
        path.types.back() |= PathPointTypeCloseSubpath;
    path.newFigure = true;
}

// The parameter of the ellipse point that lies at `angle` degrees (clockwise,
// y down) as seen from the centre.
double EllipseParameter(double rx, double ry, double angleDegrees)
{
    const double a = angleDegrees * kPi / 180.0;
    return std::atan2(rx * std::sin(a), ry * std::cos(a));
}

// Appends Bézier points of an elliptical arc; the first point of the arc is
// added by the caller.
void AppendArcBeziers(GpPath& path, QRectF rect, double startAngle, double sweepAngle)
{
    const double rx = rect.width() / 2, ry = rect.height() / 2;
    const QPointF c = rect.center();
    sweepAngle = std::clamp(sweepAngle, -360.0, 360.0);
    const int segments = std::max(1, static_cast<int>(std::ceil(std::abs(sweepAngle) / 90.0 - 1e-9)));
    const double step = sweepAngle / segments;
    for (int i = 0; i < segments; ++i) {
        const double from = startAngle + i * step, to = from + step;
        double t0 = EllipseParameter(rx, ry, from);
        double t1 = EllipseParameter(rx, ry, to);
        // Keep the parameter moving the way the sweep goes.
        if (step > 0)
            while (t1 < t0)
                t1 += 2 * kPi;
        else
            while (t1 > t0)
                t1 -= 2 * kPi;
        const double k = 4.0 / 3.0 * std::tan((t1 - t0) / 4);
        const QPointF p0(c.x() + rx * std::cos(t0), c.y() + ry * std::sin(t0));
        const QPointF p3(c.x() + rx * std::cos(t1), c.y() + ry * std::sin(t1));
        const QPointF d0(-rx * std::sin(t0), ry * std::cos(t0));
        const QPointF d1(-rx * std::sin(t1), ry * std::cos(t1));
        AddPoint(path, p0 + k * d0, PathPointTypeBezier);
        AddPoint(path, p3 - k * d1, PathPointTypeBezier);
        AddPoint(path, p3, PathPointTypeBezier);
    }
}

QPointF ArcPoint(QRectF rect, double angle)
{
    const double rx = rect.width() / 2, ry = rect.height() / 2;
    const double t = EllipseParameter(rx, ry, angle);
    return {rect.center().x() + rx * std::cos(t), rect.center().y() + ry * std::sin(t)};
}

GpStatus AddArc(GpPath* path, QRectF rect, REAL start, REAL sweep)
{
    if (!path)
        return InvalidParameter;
    if (rect.width() <= 0 || rect.height() <= 0)
        return Ok;
    JoinAt(*path, ArcPoint(rect, start));
    AppendArcBeziers(*path, rect, start, sweep);
    return Ok;
}

GpStatus AddClosedPolygon(GpPath* path, const std::vector<QPointF>& points)
{
    if (!path || points.size() < 2)
        return InvalidParameter;
    path->newFigure = true;
    for (const QPointF& p : points)
        AddPoint(*path, p, PathPointTypeLine);
    CloseFigure(*path);
    return Ok;
}

// Cardinal spline through the points as Béziers.
GpStatus AddCurve(GpPath* path, std::vector<QPointF> pts, REAL tension)
{
    if (!path || pts.size() < 2)
        return InvalidParameter;
    JoinAt(*path, pts.front());
    const double t = tension / 3.0;
    const std::size_t n = pts.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const QPointF prev = pts[i == 0 ? 0 : i - 1];
        const QPointF next2 = pts[i + 2 < n ? i + 2 : n - 1];
        AddPoint(*path, pts[i] + t * (pts[i + 1] - prev), PathPointTypeBezier);
        AddPoint(*path, pts[i + 1] - t * (next2 - pts[i]), PathPointTypeBezier);
        AddPoint(*path, pts[i + 1], PathPointTypeBezier);
    }
    return Ok;
}

template <typename P>
std::vector<QPointF> ToPoints(const P* points, INT count)
{
    std::vector<QPointF> out;
    if (points && count > 0)
        for (INT i = 0; i < count; ++i)
            out.emplace_back(points[i].X, points[i].Y);
    return out;
}

QPainterPath Combine(const QPainterPath& a, bool aInfinite, const QPainterPath& b, CombineMode mode,
                     bool* resultInfinite)
{
    *resultInfinite = false;
    switch (mode) {
    case CombineModeReplace:
        return b;
    case CombineModeIntersect:
        return aInfinite ? b : a.intersected(b);
    case CombineModeUnion:
        *resultInfinite = aInfinite;
        return aInfinite ? a : a.united(b);
    case CombineModeXor:
        return a.united(b).subtracted(a.intersected(b));
    case CombineModeExclude:
        *resultInfinite = false;
        return a.subtracted(b);
    case CombineModeComplement:
        return b.subtracted(a);
    }
    return b;
}

// Stands in for the infinite region where a path is needed.
QPainterPath HugeRect()
{
    QPainterPath p;
    p.addRect(QRectF(-4194304, -4194304, 8388608, 8388608));
    return p;
}

void ApplyOrder(GpMatrix* matrix, const QTransform& step, MatrixOrder order)
{
    // Row vectors: prepend applies `step` first.
    matrix->m = order == MatrixOrderAppend ? matrix->m * step : step * matrix->m;
}

}  // namespace

QPainterPath GpPath::ToPainterPath() const
{
    QPainterPath out;
    out.setFillRule(fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
    std::size_t i = 0;
    while (i < points.size()) {
        const BYTE kind = types[i] & 0x07;
        if (kind == PathPointTypeStart) {
            out.moveTo(points[i]);
            ++i;
        } else if (kind == PathPointTypeBezier && i + 2 < points.size()) {
            out.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 3;
        } else {
            out.lineTo(points[i]);
            ++i;
        }
        if (types[i - 1] & PathPointTypeCloseSubpath)
            out.closeSubpath();
    }
    return out;
}

GpStatus GdipCreatePath(FillMode mode, GpPath** path)
{
    GpStatus status = MakeObject(path);
    if (status == Ok)
        (*path)->fillMode = mode;
    return status;
}

GpStatus GdipDeletePath(GpPath* path)
{
    return DeleteFlatObject(path);
}

GpStatus GdipClosePathFigure(GpPath* path)
{
    if (!path)
        return InvalidParameter;
    CloseFigure(*path);
    return Ok;
}

GpStatus GdipGetPointCount(GpPath* path, INT* count)
{
    if (!path || !count)
        return InvalidParameter;
    *count = static_cast<INT>(path->points.size());
    return Ok;
}

GpStatus GdipGetPathPoints(GpPath* path, GpPointF* points, INT count)
{
    if (!path || !points || count < static_cast<INT>(path->points.size()))
        return InvalidParameter;
    for (std::size_t i = 0; i < path->points.size(); ++i)
        points[i] = {REAL(path->points[i].x()), REAL(path->points[i].y())};
    return Ok;
}

GpStatus GdipGetPathTypes(GpPath* path, BYTE* types, INT count)
{
    if (!path || !types || count < static_cast<INT>(path->types.size()))
        return InvalidParameter;
    std::copy(path->types.begin(), path->types.end(), types);
    return Ok;
}

GpStatus GdipGetPathWorldBounds(GpPath* path, GpRectF* bounds, const GpMatrix* matrix, const GpPen* pen)
{
    if (!path || !bounds)
        return InvalidParameter;
    QPainterPath p = path->ToPainterPath();
    if (matrix)
        p = matrix->m.map(p);
    QRectF r = p.boundingRect();
    if (pen)
        r.adjust(-pen->width / 2, -pen->width / 2, pen->width / 2, pen->width / 2);
    *bounds = {REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height())};
    return Ok;
}

GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2)
{
    if (!path)
        return InvalidParameter;
    JoinAt(*path, {x1, y1});
    AddPoint(*path, {x2, y2}, PathPointTypeLine);
    return Ok;
}

GpStatus GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2)
{
    return GdipAddPathLine(path, REAL(x1), REAL(y1), REAL(x2), REAL(y2));
}

GpStatus GdipAddPathLine2I(GpPath* path, const GpPoint* points, INT count)
{
    const std::vector<QPointF> pts = ToPoints(points, count);
    if (!path || pts.empty())
        return InvalidParameter;
    JoinAt(*path, pts.front());
    for (std::size_t i = 1; i < pts.size(); ++i)
        AddPoint(*path, pts[i], PathPointTypeLine);
    return Ok;
}

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle)
{
    return AddArc(path, QRectF(x, y, width, height), startAngle, sweepAngle);
}

GpStatus GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle)
{
    return AddArc(path, QRectF(x, y, width, height), startAngle, sweepAngle);
}

GpStatus GdipAddPathRectangle(GpPath* path, REAL x, REAL y, REAL width, REAL height)
{
    if (!path)
        return InvalidParameter;
    if (width <= 0 || height <= 0)
        return Ok;
    return AddClosedPolygon(path, {{x, y}, {x + width, y}, {x + width, y + height}, {x, y + height}});
}

GpStatus GdipAddPathRectangleI(GpPath* path, INT x, INT y, INT width, INT height)
{
    return GdipAddPathRectangle(path, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height)
{
    if (!path)
        return InvalidParameter;
    if (width <= 0 || height <= 0)
        return Ok;
    const bool wasEmpty = path->points.empty();
    const QRectF rect(x, y, width, height);
    path->newFigure = true;
    AddPoint(*path, ArcPoint(rect, 0), PathPointTypeStart);
    AppendArcBeziers(*path, rect, 0, 360);
    CloseFigure(*path);
    if (wasEmpty)
        path->onlyEllipse = rect;
    return Ok;
}

GpStatus GdipAddPathEllipseI(GpPath* path, INT x, INT y, INT width, INT height)
{
    return GdipAddPathEllipse(path, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipAddPathPie(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle)
{
    if (!path)
        return InvalidParameter;
    if (width <= 0 || height <= 0)
        return Ok;
    const QRectF rect(x, y, width, height);
    path->newFigure = true;
    AddPoint(*path, rect.center(), PathPointTypeStart);
    AddPoint(*path, ArcPoint(rect, startAngle), PathPointTypeLine);
    AppendArcBeziers(*path, rect, startAngle, sweepAngle);
    CloseFigure(*path);
    return Ok;
}

GpStatus GdipAddPathPieI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle)
{
    return GdipAddPathPie(path, REAL(x), REAL(y), REAL(width), REAL(height), startAngle, sweepAngle);
}

GpStatus GdipAddPathPolygon(GpPath* path, const GpPointF* points, INT count)
{
    if (count < 3)
        return InvalidParameter;
    return AddClosedPolygon(path, ToPoints(points, count));
}

GpStatus GdipAddPathPolygonI(GpPath* path, const GpPoint* points, INT count)
{
    if (count < 3)
        return InvalidParameter;
    return AddClosedPolygon(path, ToPoints(points, count));
}

GpStatus GdipAddPathCurve(GpPath* path, const GpPointF* points, INT count)
{
    return AddCurve(path, ToPoints(points, count), 0.5f);
}

GpStatus GdipAddPathCurveI(GpPath* path, const GpPoint* points, INT count)
{
    return AddCurve(path, ToPoints(points, count), 0.5f);
}

GpStatus GdipAddPathCurve2I(GpPath* path, const GpPoint* points, INT count, REAL tension)
{
    return AddCurve(path, ToPoints(points, count), tension);
}

GpStatus GdipAddPathBezier(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3, REAL y3, REAL x4, REAL y4)
{
    if (!path)
        return InvalidParameter;
    JoinAt(*path, {x1, y1});
    AddPoint(*path, {x2, y2}, PathPointTypeBezier);
    AddPoint(*path, {x3, y3}, PathPointTypeBezier);
    AddPoint(*path, {x4, y4}, PathPointTypeBezier);
    return Ok;
}

GpStatus GdipAddPathBezierI(GpPath* path, INT x1, INT y1, INT x2, INT y2, INT x3, INT y3, INT x4, INT y4)
{
    return GdipAddPathBezier(path, REAL(x1), REAL(y1), REAL(x2), REAL(y2), REAL(x3), REAL(y3), REAL(x4), REAL(y4));
}

// Regions.

GpStatus GdipCreateRegion(GpRegion** region)
{
    GpStatus status = MakeObject(region);
    if (status == Ok)
        (*region)->infinite = true;
    return status;
}

GpStatus GdipCreateRegionRect(const GpRectF* rect, GpRegion** region)
{
    if (!rect)
        return InvalidParameter;
    GpStatus status = MakeObject(region);
    if (status == Ok)
        (*region)->path.addRect(QRectF(rect->X, rect->Y, rect->Width, rect->Height));
    return status;
}

GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region)
{
    if (!path)
        return InvalidParameter;
    GpStatus status = MakeObject(region);
    if (status == Ok)
        (*region)->path = path->ToPainterPath();
    return status;
}

GpStatus GdipCombineRegionPath(GpRegion* region, GpPath* path, CombineMode mode)
{
    if (!region || !path)
        return InvalidParameter;
    bool infinite = false;
    const QPainterPath current = region->infinite ? HugeRect() : region->path;
    region->path = Combine(current, region->infinite, path->ToPainterPath(), mode, &infinite);
    region->infinite = infinite;
    return Ok;
}

GpStatus GdipCombineRegionRegion(GpRegion* region, GpRegion* other, CombineMode mode)
{
    if (!region || !other)
        return InvalidParameter;
    if (other->infinite && (mode == CombineModeReplace || mode == CombineModeUnion)) {
        region->infinite = true;
        region->path = QPainterPath();
        return Ok;
    }
    bool infinite = false;
    const QPainterPath current = region->infinite ? HugeRect() : region->path;
    region->path = Combine(current, region->infinite, other->infinite ? HugeRect() : other->path, mode, &infinite);
    region->infinite = infinite;
    return Ok;
}

GpStatus GdipDeleteRegion(GpRegion* region)
{
    return DeleteFlatObject(region);
}

// Matrices.

GpStatus GdipCreateMatrix(GpMatrix** matrix)
{
    return MakeObject(matrix);
}

GpStatus GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix)
{
    GpStatus status = MakeObject(matrix);
    if (status == Ok)
        (*matrix)->m = QTransform(m11, m12, m21, m22, dx, dy);
    return status;
}

GpStatus GdipCreateMatrix3(const GpRectF* rect, const GpPointF* dstplg, GpMatrix** matrix)
{
    if (!rect || !dstplg || rect->Width == 0 || rect->Height == 0)
        return InvalidParameter;
    // Maps the rectangle's top-left, top-right and bottom-left corners onto
    // the three points of the parallelogram.
    const qreal m11 = (dstplg[1].X - dstplg[0].X) / rect->Width;
    const qreal m12 = (dstplg[1].Y - dstplg[0].Y) / rect->Width;
    const qreal m21 = (dstplg[2].X - dstplg[0].X) / rect->Height;
    const qreal m22 = (dstplg[2].Y - dstplg[0].Y) / rect->Height;
    const qreal dx = dstplg[0].X - m11 * rect->X - m21 * rect->Y;
    const qreal dy = dstplg[0].Y - m12 * rect->X - m22 * rect->Y;
    return GdipCreateMatrix2(REAL(m11), REAL(m12), REAL(m21), REAL(m22), REAL(dx), REAL(dy), matrix);
}

GpStatus GdipCreateMatrix3I(const GpRect* rect, const GpPoint* dstplg, GpMatrix** matrix)
{
    if (!rect || !dstplg)
        return InvalidParameter;
    const GpRectF r{REAL(rect->X), REAL(rect->Y), REAL(rect->Width), REAL(rect->Height)};
    const GpPointF p[3] = {{REAL(dstplg[0].X), REAL(dstplg[0].Y)},
                           {REAL(dstplg[1].X), REAL(dstplg[1].Y)},
                           {REAL(dstplg[2].X), REAL(dstplg[2].Y)}};
    return GdipCreateMatrix3(&r, p, matrix);
}

GpStatus GdipCloneMatrix(GpMatrix* matrix, GpMatrix** clone)
{
    if (!matrix)
        return InvalidParameter;
    GpStatus status = MakeObject(clone);
    if (status == Ok)
        (*clone)->m = matrix->m;
    return status;
}

GpStatus GdipDeleteMatrix(GpMatrix* matrix)
{
    return DeleteFlatObject(matrix);
}

GpStatus GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy)
{
    if (!matrix)
        return InvalidParameter;
    matrix->m = QTransform(m11, m12, m21, m22, dx, dy);
    return Ok;
}

GpStatus GdipGetMatrixElements(const GpMatrix* matrix, REAL* e)
{
    if (!matrix || !e)
        return InvalidParameter;
    const QTransform& m = matrix->m;
    e[0] = REAL(m.m11());
    e[1] = REAL(m.m12());
    e[2] = REAL(m.m21());
    e[3] = REAL(m.m22());
    e[4] = REAL(m.dx());
    e[5] = REAL(m.dy());
    return Ok;
}

GpStatus GdipMultiplyMatrix(GpMatrix* matrix, GpMatrix* other, MatrixOrder order)
{
    if (!matrix || !other)
        return InvalidParameter;
    ApplyOrder(matrix, other->m, order);
    return Ok;
}

GpStatus GdipTranslateMatrix(GpMatrix* matrix, REAL offsetX, REAL offsetY, MatrixOrder order)
{
    if (!matrix)
        return InvalidParameter;
    ApplyOrder(matrix, QTransform::fromTranslate(offsetX, offsetY), order);
    return Ok;
}

GpStatus GdipScaleMatrix(GpMatrix* matrix, REAL scaleX, REAL scaleY, MatrixOrder order)
{
    if (!matrix)
        return InvalidParameter;
    ApplyOrder(matrix, QTransform::fromScale(scaleX, scaleY), order);
    return Ok;
}

GpStatus GdipRotateMatrix(GpMatrix* matrix, REAL angle, MatrixOrder order)
{
    if (!matrix)
        return InvalidParameter;
    // Clockwise on a y-down surface, which is Qt's positive rotation.
    ApplyOrder(matrix, QTransform().rotate(angle), order);
    return Ok;
}

GpStatus GdipShearMatrix(GpMatrix* matrix, REAL shearX, REAL shearY, MatrixOrder order)
{
    if (!matrix)
        return InvalidParameter;
    ApplyOrder(matrix, QTransform(1, shearY, shearX, 1, 0, 0), order);
    return Ok;
}

GpStatus GdipInvertMatrix(GpMatrix* matrix)
{
    if (!matrix)
        return InvalidParameter;
    bool invertible = false;
    const QTransform inverse = matrix->m.inverted(&invertible);
    if (!invertible)
        return InvalidParameter;
    matrix->m = inverse;
    return Ok;
}

GpStatus GdipTransformMatrixPoints(GpMatrix* matrix, GpPointF* points, INT count)
{
    if (!matrix || !points || count <= 0)
        return InvalidParameter;
    for (INT i = 0; i < count; ++i) {
        const QPointF p = matrix->m.map(QPointF(points[i].X, points[i].Y));
        points[i] = {REAL(p.x()), REAL(p.y())};
    }
    return Ok;
}

GpStatus GdipTransformMatrixPointsI(GpMatrix* matrix, GpPoint* points, INT count)
{
    if (!matrix || !points || count <= 0)
        return InvalidParameter;
    for (INT i = 0; i < count; ++i) {
        const QPointF p = matrix->m.map(QPointF(points[i].X, points[i].Y));
        points[i] = {RoundHalfEven(p.x()), RoundHalfEven(p.y())};
    }
    return Ok;
}

GpStatus GdipVectorTransformMatrixPoints(GpMatrix* matrix, GpPointF* points, INT count)
{
    if (!matrix || !points || count <= 0)
        return InvalidParameter;
    const QTransform linear(matrix->m.m11(), matrix->m.m12(), matrix->m.m21(), matrix->m.m22(), 0, 0);
    for (INT i = 0; i < count; ++i) {
        const QPointF p = linear.map(QPointF(points[i].X, points[i].Y));
        points[i] = {REAL(p.x()), REAL(p.y())};
    }
    return Ok;
}

GpStatus GdipVectorTransformMatrixPointsI(GpMatrix* matrix, GpPoint* points, INT count)
{
    if (!matrix || !points || count <= 0)
        return InvalidParameter;
    const QTransform linear(matrix->m.m11(), matrix->m.m12(), matrix->m.m21(), matrix->m.m22(), 0, 0);
    for (INT i = 0; i < count; ++i) {
        const QPointF p = linear.map(QPointF(points[i].X, points[i].Y));
        points[i] = {RoundHalfEven(p.x()), RoundHalfEven(p.y())};
    }
    return Ok;
}

GpStatus GdipIsMatrixInvertible(const GpMatrix* matrix, BOOL* result)
{
    if (!matrix || !result)
        return InvalidParameter;
    *result = matrix->m.isInvertible();
    return Ok;
}

GpStatus GdipIsMatrixIdentity(const GpMatrix* matrix, BOOL* result)
{
    if (!matrix || !result)
        return InvalidParameter;
    *result = matrix->m.isIdentity();
    return Ok;
}

GpStatus GdipIsMatrixEqual(const GpMatrix* matrix, const GpMatrix* other, BOOL* result)
{
    if (!matrix || !other || !result)
        return InvalidParameter;
    *result = matrix->m == other->m;
    return Ok;
}

int RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0))
        result = floor + 1;
    return static_cast<int>(result);
}

qreal PixelsPerUnit(Unit_ unit)
{
    switch (unit) {
    case UnitPoint:
        return 96.0 / 72.0;
    case UnitInch:
        return 96.0;
    case UnitDocument:
        return 96.0 / 300.0;
    case UnitMillimeter:
        return 96.0 / 25.4;
    default:
        return 1.0;
    }
}
