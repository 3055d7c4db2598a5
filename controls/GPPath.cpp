#include "controls/GPPath.h"

TGPGraphicsPath::TGPGraphicsPath(FillMode fillMode)
{
    lastResult = GdipCreatePath(fillMode, &nativePath);
}

TGPGraphicsPath::~TGPGraphicsPath()
{
    if (nativePath)
        GdipDeletePath(nativePath);
}

Status TGPGraphicsPath::CloseFigure()
{
    return KeepStatus(lastResult, GdipClosePathFigure(nativePath));
}

Status TGPGraphicsPath::AddLine(const TGPPointF& pt1, const TGPPointF& pt2)
{
    return AddLine(pt1.X, pt1.Y, pt2.X, pt2.Y);
}

Status TGPGraphicsPath::AddLine(float x1, float y1, float x2, float y2)
{
    return KeepStatus(lastResult, GdipAddPathLine(nativePath, x1, y1, x2, y2));
}

Status TGPGraphicsPath::AddLines(const TGPPoint* points, int count)
{
    return KeepStatus(lastResult, GdipAddPathLine2I(nativePath, reinterpret_cast<const GpPoint*>(points), count));
}

Status TGPGraphicsPath::AddArc(const TGPRectF& r, float startAngle, float sweepAngle)
{
    return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status TGPGraphicsPath::AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle)
{
    return KeepStatus(lastResult, GdipAddPathArc(nativePath, x, y, width, height, startAngle, sweepAngle));
}

Status TGPGraphicsPath::AddRectangle(const TGPRectF& r)
{
    return KeepStatus(lastResult, GdipAddPathRectangle(nativePath, r.X, r.Y, r.Width, r.Height));
}

Status TGPGraphicsPath::AddRectangle(const TGPRect& r)
{
    return KeepStatus(lastResult, GdipAddPathRectangleI(nativePath, r.X, r.Y, r.Width, r.Height));
}

Status TGPGraphicsPath::AddEllipse(const TGPRectF& r)
{
    return AddEllipse(r.X, r.Y, r.Width, r.Height);
}

Status TGPGraphicsPath::AddEllipse(float x, float y, float width, float height)
{
    return KeepStatus(lastResult, GdipAddPathEllipse(nativePath, x, y, width, height));
}

Status TGPGraphicsPath::AddPie(const TGPRectF& r, float startAngle, float sweepAngle)
{
    return AddPie(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status TGPGraphicsPath::AddPie(float x, float y, float width, float height, float startAngle, float sweepAngle)
{
    return KeepStatus(lastResult, GdipAddPathPie(nativePath, x, y, width, height, startAngle, sweepAngle));
}

Status TGPGraphicsPath::AddPolygon(const TGPPointF* points, int count)
{
    return KeepStatus(lastResult, GdipAddPathPolygon(nativePath, reinterpret_cast<const GpPointF*>(points), count));
}

Status TGPGraphicsPath::AddPolygon(const TGPPoint* points, int count)
{
    return KeepStatus(lastResult, GdipAddPathPolygonI(nativePath, reinterpret_cast<const GpPoint*>(points), count));
}

Status TGPGraphicsPath::AddCurve(const TGPPointF* points, int count)
{
    return KeepStatus(lastResult, GdipAddPathCurve(nativePath, reinterpret_cast<const GpPointF*>(points), count));
}

Status TGPGraphicsPath::AddCurve(const TGPPoint* points, int count)
{
    return KeepStatus(lastResult, GdipAddPathCurveI(nativePath, reinterpret_cast<const GpPoint*>(points), count));
}

Status TGPGraphicsPath::AddCurve(const TGPPoint* points, int count, float tension)
{
    return KeepStatus(lastResult,
                      GdipAddPathCurve2I(nativePath, reinterpret_cast<const GpPoint*>(points), count, tension));
}

Status TGPGraphicsPath::AddBezier(const TGPPointF& p1, const TGPPointF& p2, const TGPPointF& p3, const TGPPointF& p4)
{
    return AddBezier(p1.X, p1.Y, p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y);
}

Status TGPGraphicsPath::AddBezier(const TGPPoint& p1, const TGPPoint& p2, const TGPPoint& p3, const TGPPoint& p4)
{
    return KeepStatus(lastResult,
                      GdipAddPathBezierI(nativePath, p1.X, p1.Y, p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y));
}

Status TGPGraphicsPath::AddBezier(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4)
{
    return KeepStatus(lastResult, GdipAddPathBezier(nativePath, x1, y1, x2, y2, x3, y3, x4, y4));
}

int TGPGraphicsPath::GetPointCount()
{
    INT count = 0;
    KeepStatus(lastResult, GdipGetPointCount(nativePath, &count));
    return count;
}

TGPRegion::TGPRegion(const TGPRectF& r)
{
    const GpRectF rect{r.X, r.Y, r.Width, r.Height};
    lastResult = GdipCreateRegionRect(&rect, &nativeRegion);
}

TGPRegion::TGPRegion(TGPGraphicsPath* path)
{
    lastResult = GdipCreateRegionPath(path ? path->NativePath() : nullptr, &nativeRegion);
}

TGPRegion::~TGPRegion()
{
    if (nativeRegion)
        GdipDeleteRegion(nativeRegion);
}

Status TGPRegion::Exclude(TGPGraphicsPath* path)
{
    return KeepStatus(lastResult,
                      GdipCombineRegionPath(nativeRegion, path ? path->NativePath() : nullptr, CombineModeExclude));
}

Status TGPRegion::Union(TGPRegion* region)
{
    return KeepStatus(lastResult, GdipCombineRegionRegion(nativeRegion, region ? region->nativeRegion : nullptr,
                                                          CombineModeUnion));
}
