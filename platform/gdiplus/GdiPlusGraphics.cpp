// Graphics: drawing surfaces over a caller's painter or over an image.
#include <QPainter>
#include <cmath>
#include <new>

#include "platform/gdiplus/GdiPlusFlat.h"

void GpGraphics::Prepare(const QPainterPath* extraClip)
{
    const bool antialias = smoothing == SmoothingModeHighQuality || smoothing == SmoothingModeAntiAlias;
    painter->setRenderHint(QPainter::Antialiasing, antialias);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, interpolation != InterpolationModeNearestNeighbor);
    painter->setRenderHint(QPainter::TextAntialiasing, textHint != TextRenderingHintSingleBitPerPixel &&
                                                           textHint != TextRenderingHintSingleBitPerPixelGridFit);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->setOpacity(1);
    painter->setBrushOrigin(0, 0);
    std::optional<QPainterPath> effective = baseClip;
    auto limit = [&](const QPainterPath& path) { effective = effective ? effective->intersected(path) : path; };
    if (clip)
        limit(*clip);
    if (extraClip)
        limit(*extraClip);
    if (effective)
        painter->setClipPath(*effective, Qt::ReplaceClip);
    else
        painter->setClipping(false);
}

QPointF GpGraphics::GeometryOffset() const
{
    // Qt samples pixel centres with ties going right and down; a hair less
    // than half a pixel keeps edges on integer coordinates on the pixel they
    // name, as this layer's callers expect.
    constexpr qreal kHalf = 0.5 - 1.0 / 32;
    const bool half = pixelOffset == PixelOffsetModeHalf || pixelOffset == PixelOffsetModeHighQuality;
    return half ? QPointF(0, 0) : QPointF(kHalf, kHalf);
}

namespace {

GpStatus Usable(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    if (graphics->dcOut)
        return ObjectBusy;
    return Ok;
}

GpStatus StrokePath(GpGraphics* graphics, GpPen* pen, const QPainterPath& path)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!pen)
        return InvalidParameter;
    graphics->Prepare();
    graphics->painter->setPen(pen->ToQPen());
    graphics->painter->setBrush(Qt::NoBrush);
    graphics->painter->drawPath(path.translated(graphics->GeometryOffset()));
    return Ok;
}

GpStatus FillShape(GpGraphics* graphics, GpBrush* brush, const QPainterPath& path)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!brush)
        return InvalidParameter;
    QPainterPath shape = path;
    const QBrush qbrush = brush->ToQBrush(&shape);
    graphics->Prepare();
    graphics->painter->setPen(Qt::NoPen);
    graphics->painter->setBrush(qbrush);
    graphics->painter->drawPath(shape.translated(graphics->GeometryOffset()));
    return Ok;
}

QPainterPath ArcPath(QRectF rect, REAL start, REAL sweep)
{
    GpPath path;
    GdipAddPathArc(&path, REAL(rect.x()), REAL(rect.y()), REAL(rect.width()), REAL(rect.height()), start, sweep);
    return path.ToPainterPath();
}

QPainterPath EllipsePath(QRectF rect)
{
    GpPath path;
    GdipAddPathEllipse(&path, REAL(rect.x()), REAL(rect.y()), REAL(rect.width()), REAL(rect.height()));
    return path.ToPainterPath();
}

QPainterPath RectPath(QRectF rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}

template <typename P>
QPainterPath PolygonPath(const P* points, INT count, FillMode mode)
{
    QPolygonF polygon;
    for (INT i = 0; i < count; ++i)
        polygon << QPointF(points[i].X, points[i].Y);
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    path.setFillRule(mode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

GpStatus DrawImageMapped(GpGraphics* graphics, GpImage* image, QRectF source, const QTransform& sourceToDest,
                         Unit_ srcUnit, const GpImageAttributes* attributes, DrawImageAbort callback,
                         void* callbackData)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!image || image->image.isNull())
        return InvalidParameter;
    if (srcUnit != UnitPixel && srcUnit != UnitWorld) {
        const qreal k = PixelsPerUnit(srcUnit);
        source = QRectF(source.x() * k, source.y() * k, source.width() * k, source.height() * k);
    }
    if (source.width() <= 0 || source.height() <= 0)
        return InvalidParameter;
    if (callback && callback(callbackData))
        return Aborted;
    graphics->Prepare();
    QPainter* p = graphics->painter;
    QRect crop = source.toAlignedRect().intersected(image->image.rect());
    // Only what can reach the device is adjusted and drawn, so a picture far
    // larger than the place it lands in costs no more than that place (a
    // margin keeps smooth scaling's neighbours).
    bool invertible = false;
    const QTransform toSource = (sourceToDest * p->transform()).inverted(&invertible);
    if (invertible && p->device()) {
        const QRectF device(0, 0, p->device()->width(), p->device()->height());
        crop = crop.intersected(toSource.mapRect(device).toAlignedRect().adjusted(-2, -2, 2, 2));
    }
    if (crop.isEmpty())
        return Ok;
    // Colour adjustments work on a copy of the part that is drawn.
    QImage pixels = crop == image->image.rect() ? image->image : image->image.copy(crop);
    if (attributes)
        pixels = attributes->Apply(pixels, ColorAdjustTypeBitmap);
    const QRectF target = source.intersected(QRectF(crop));
    const QTransform saved = p->transform();
    p->setTransform(sourceToDest, true);
    // Whole pixels moved by whole pixels: smoothing has nothing to
    // interpolate, but Qt then leaves its direct blend for a much slower
    // general path.
    auto whole = [](qreal v) { return v == std::round(v); };
    const QTransform& placed = p->transform();
    const bool smooth = p->testRenderHint(QPainter::SmoothPixmapTransform);
    if (placed.type() <= QTransform::TxTranslate && whole(placed.dx()) && whole(placed.dy()) && whole(target.x()) &&
        whole(target.y()) && whole(target.width()) && whole(target.height()))
        p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    p->drawImage(target, pixels, target.translated(-QPointF(crop.topLeft())));
    p->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    p->setTransform(saved);
    return Ok;
}

QTransform RectToRect(QRectF from, QRectF to)
{
    return QTransform(to.width() / from.width(), 0, 0, to.height() / from.height(),
                      to.x() - from.x() * to.width() / from.width(), to.y() - from.y() * to.height() / from.height());
}

}  // namespace

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics)
{
    if (!graphics)
        return InvalidParameter;
    *graphics = nullptr;
    if (!hdc || !hdc->isActive())
        return InvalidParameter;
    auto* made = new (std::nothrow) GpGraphics;
    if (!made)
        return OutOfMemory;
    made->painter = hdc;
    made->onDc = true;
    hdc->save();
    if (hdc->hasClipping())
        made->baseClip = hdc->clipPath();
    if (QPaintDevice* device = hdc->device())
        made->surface = hdc->transform().inverted().mapRect(QRectF(0, 0, device->width(), device->height()));
    *graphics = made;
    return Ok;
}

GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics)
{
    if (!graphics)
        return InvalidParameter;
    *graphics = nullptr;
    if (!image || image->image.isNull())
        return InvalidParameter;
    if (IsIndexedPixelFormat(image->pixelFormat))
        return OutOfMemory;
    if (image->busy)
        return ObjectBusy;
    auto* made = new (std::nothrow) GpGraphics;
    if (!made)
        return OutOfMemory;
    made->ownPainter = std::make_unique<QPainter>();
    if (!made->ownPainter->begin(&image->image)) {
        delete made;
        return OutOfMemory;
    }
    made->painter = made->ownPainter.get();
    made->image = image;
    made->surface = QRectF(image->image.rect());
    image->busy = true;
    *graphics = made;
    return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    if (graphics->onDc) {
        graphics->painter->restore();
    } else {
        graphics->ownPainter->end();
        graphics->image->busy = false;
    }
    delete graphics;
    return Ok;
}

GpStatus GdipGraphicsClear(GpGraphics* graphics, ARGB color)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    graphics->Prepare();
    graphics->painter->setCompositionMode(QPainter::CompositionMode_Source);
    graphics->painter->fillRect(graphics->surface, QColor::fromRgba(color));
    graphics->painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return Ok;
}

GpStatus GdipFlush(GpGraphics* graphics, FlushIntention)
{
    // Drawing reaches the pixels at once; there is nothing queued to flush.
    return Usable(graphics);
}

GpStatus GdipGetDC(GpGraphics* graphics, HDC* hdc)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!hdc)
        return InvalidParameter;
    // The caller draws on the painter itself, within the graphics' clip.
    graphics->Prepare();
    graphics->dcOut = true;
    *hdc = graphics->painter;
    return Ok;
}

GpStatus GdipReleaseDC(GpGraphics* graphics, HDC hdc)
{
    if (!graphics || !graphics->dcOut || hdc != graphics->painter)
        return InvalidParameter;
    graphics->dcOut = false;
    return Ok;
}

GpStatus GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias)
        return InvalidParameter;
    graphics->smoothing = mode == SmoothingModeDefault || mode == SmoothingModeHighSpeed ? SmoothingModeNone
                          : mode == SmoothingModeHighQuality                             ? SmoothingModeAntiAlias
                                                                                         : mode;
    return Ok;
}

GpStatus GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!mode)
        return InvalidParameter;
    *mode = graphics->smoothing;
    return Ok;
}

GpStatus GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (mode < PixelOffsetModeDefault || mode > PixelOffsetModeHalf)
        return InvalidParameter;
    graphics->pixelOffset = mode;
    return Ok;
}

GpStatus GdipGetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode* mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!mode)
        return InvalidParameter;
    *mode = graphics->pixelOffset;
    return Ok;
}

GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (hint < TextRenderingHintSystemDefault || hint > TextRenderingHintClearTypeGridFit)
        return InvalidParameter;
    graphics->textHint = hint;
    return Ok;
}

GpStatus GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* hint)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!hint)
        return InvalidParameter;
    *hint = graphics->textHint;
    return Ok;
}

GpStatus GdipSetCompositingQuality(GpGraphics* graphics, CompositingQuality quality)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (quality < CompositingQualityDefault || quality > CompositingQualityAssumeLinear)
        return InvalidParameter;
    graphics->compositing = quality;
    return Ok;
}

GpStatus GdipGetCompositingQuality(GpGraphics* graphics, CompositingQuality* quality)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!quality)
        return InvalidParameter;
    *quality = graphics->compositing;
    return Ok;
}

GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
        return InvalidParameter;
    graphics->interpolation = mode == InterpolationModeDefault || mode == InterpolationModeLowQuality
                                  ? InterpolationModeBilinear
                              : mode == InterpolationModeHighQuality ? InterpolationModeHighQualityBicubic
                                                                     : mode;
    return Ok;
}

GpStatus GdipGetInterpolationMode(GpGraphics* graphics, InterpolationMode* mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!mode)
        return InvalidParameter;
    *mode = graphics->interpolation;
    return Ok;
}

GpStatus GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2)
{
    QPainterPath path(QPointF(x1, y1));
    path.lineTo(x2, y2);
    return StrokePath(graphics, pen, path);
}

GpStatus GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2)
{
    return GdipDrawLine(graphics, pen, REAL(x1), REAL(y1), REAL(x2), REAL(y2));
}

GpStatus GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height)
{
    return StrokePath(graphics, pen, RectPath(QRectF(x, y, width, height)));
}

GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height)
{
    return StrokePath(graphics, pen, RectPath(QRectF(x, y, width, height)));
}

GpStatus GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height)
{
    return StrokePath(graphics, pen, EllipsePath(QRectF(x, y, width, height)));
}

GpStatus GdipDrawEllipseI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height)
{
    return StrokePath(graphics, pen, EllipsePath(QRectF(x, y, width, height)));
}

GpStatus GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                     REAL sweepAngle)
{
    return StrokePath(graphics, pen, ArcPath(QRectF(x, y, width, height), startAngle, sweepAngle));
}

GpStatus GdipDrawArcI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height, REAL startAngle,
                      REAL sweepAngle)
{
    return StrokePath(graphics, pen, ArcPath(QRectF(x, y, width, height), startAngle, sweepAngle));
}

GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path)
{
    if (!path)
        return InvalidParameter;
    return StrokePath(graphics, pen, path->ToPainterPath());
}

GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height)
{
    if (width == 0 || height == 0)
        return Usable(graphics) == Ok && brush ? Ok : InvalidParameter;
    return FillShape(graphics, brush, RectPath(QRectF(x, y, width, height)));
}

GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height)
{
    return GdipFillRectangle(graphics, brush, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height)
{
    return FillShape(graphics, brush, EllipsePath(QRectF(x, y, width, height)));
}

GpStatus GdipFillEllipseI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height)
{
    return FillShape(graphics, brush, EllipsePath(QRectF(x, y, width, height)));
}

GpStatus GdipFillPolygon(GpGraphics* graphics, GpBrush* brush, const GpPointF* points, INT count, FillMode mode)
{
    if (!points || count < 1)
        return InvalidParameter;
    return FillShape(graphics, brush, PolygonPath(points, count, mode));
}

GpStatus GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count, FillMode mode)
{
    if (!points || count < 1)
        return InvalidParameter;
    return FillShape(graphics, brush, PolygonPath(points, count, mode));
}

GpStatus GdipFillPolygon2(GpGraphics* graphics, GpBrush* brush, const GpPointF* points, INT count)
{
    return GdipFillPolygon(graphics, brush, points, count, FillModeAlternate);
}

GpStatus GdipFillPolygon2I(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count)
{
    return GdipFillPolygonI(graphics, brush, points, count, FillModeAlternate);
}

GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path)
{
    if (!path)
        return InvalidParameter;
    return FillShape(graphics, brush, path->ToPainterPath());
}

GpStatus GdipDrawImage(GpGraphics* graphics, GpImage* image, REAL x, REAL y)
{
    if (!image)
        return InvalidParameter;
    const QRectF source(QPointF(0, 0), QSizeF(image->image.size()));
    return DrawImageMapped(graphics, image, source, QTransform::fromTranslate(x, y), UnitPixel, nullptr, nullptr,
                           nullptr);
}

GpStatus GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y)
{
    return GdipDrawImage(graphics, image, REAL(x), REAL(y));
}

GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height)
{
    if (!image)
        return InvalidParameter;
    const QRectF source(QPointF(0, 0), QSizeF(image->image.size()));
    if (width == 0 || height == 0 || source.isEmpty())
        return Usable(graphics) == Ok ? Ok : InvalidParameter;
    return DrawImageMapped(graphics, image, source, RectToRect(source, QRectF(x, y, width, height)), UnitPixel,
                           nullptr, nullptr, nullptr);
}

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height)
{
    return GdipDrawImageRect(graphics, image, REAL(x), REAL(y), REAL(width), REAL(height));
}

GpStatus GdipDrawImageRectRect(GpGraphics* graphics, GpImage* image, REAL dstx, REAL dsty, REAL dstwidth,
                               REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight, Unit_ srcUnit,
                               const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData)
{
    const QRectF source(srcx, srcy, srcwidth, srcheight);
    if (srcwidth <= 0 || srcheight <= 0)
        return InvalidParameter;
    if (dstwidth == 0 || dstheight == 0)
        return Usable(graphics) == Ok && image ? Ok : InvalidParameter;
    QRectF scaledSource = source;
    if (srcUnit != UnitPixel && srcUnit != UnitWorld) {
        const qreal k = PixelsPerUnit(srcUnit);
        scaledSource = QRectF(srcx * k, srcy * k, srcwidth * k, srcheight * k);
    }
    return DrawImageMapped(graphics, image, scaledSource,
                           RectToRect(scaledSource, QRectF(dstx, dsty, dstwidth, dstheight)), UnitPixel, attributes,
                           callback, callbackData);
}

GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty, INT dstwidth,
                                INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit_ srcUnit,
                                const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData)
{
    return GdipDrawImageRectRect(graphics, image, REAL(dstx), REAL(dsty), REAL(dstwidth), REAL(dstheight), REAL(srcx),
                                 REAL(srcy), REAL(srcwidth), REAL(srcheight), srcUnit, attributes, callback,
                                 callbackData);
}

GpStatus GdipDrawImagePointsRect(GpGraphics* graphics, GpImage* image, const GpPointF* points, INT count, REAL srcx,
                                 REAL srcy, REAL srcwidth, REAL srcheight, Unit_ srcUnit,
                                 const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData)
{
    if (!points || count != 3 || srcwidth <= 0 || srcheight <= 0)
        return InvalidParameter;
    QRectF source(srcx, srcy, srcwidth, srcheight);
    if (srcUnit != UnitPixel && srcUnit != UnitWorld) {
        const qreal k = PixelsPerUnit(srcUnit);
        source = QRectF(srcx * k, srcy * k, srcwidth * k, srcheight * k);
    }
    const GpRectF r{REAL(source.x()), REAL(source.y()), REAL(source.width()), REAL(source.height())};
    GpMatrix* mapping = nullptr;
    if (GpStatus s = GdipCreateMatrix3(&r, points, &mapping); s != Ok)
        return s;
    const QTransform transform = mapping->m;
    GdipDeleteMatrix(mapping);
    return DrawImageMapped(graphics, image, source, transform, UnitPixel, attributes, callback, callbackData);
}

GpStatus GdipDrawImagePointsRectI(GpGraphics* graphics, GpImage* image, const GpPoint* points, INT count, INT srcx,
                                  INT srcy, INT srcwidth, INT srcheight, Unit_ srcUnit,
                                  const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData)
{
    if (!points || count != 3)
        return InvalidParameter;
    const GpPointF p[3] = {{REAL(points[0].X), REAL(points[0].Y)},
                           {REAL(points[1].X), REAL(points[1].Y)},
                           {REAL(points[2].X), REAL(points[2].Y)}};
    return GdipDrawImagePointsRect(graphics, image, p, 3, REAL(srcx), REAL(srcy), REAL(srcwidth), REAL(srcheight),
                                   srcUnit, attributes, callback, callbackData);
}

namespace {

GpStatus CombineClip(GpGraphics* graphics, const QPainterPath* path, CombineMode mode)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (mode < CombineModeReplace || mode > CombineModeComplement)
        return InvalidParameter;
    // An absent path is the infinite region.
    if (mode == CombineModeReplace) {
        graphics->clip = path ? std::optional<QPainterPath>(*path) : std::nullopt;
        return Ok;
    }
    GpRegion region;
    region.infinite = !graphics->clip;
    if (graphics->clip)
        region.path = *graphics->clip;
    GpRegion other;
    other.infinite = !path;
    if (path)
        other.path = *path;
    GdipCombineRegionRegion(&region, &other, mode);
    graphics->clip = region.infinite ? std::nullopt : std::optional<QPainterPath>(region.path);
    return Ok;
}

}  // namespace

GpStatus GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode)
{
    const QPainterPath path = RectPath(QRectF(x, y, width, height));
    return CombineClip(graphics, &path, mode);
}

GpStatus GdipSetClipRegion(GpGraphics* graphics, GpRegion* region, CombineMode mode)
{
    if (!region)
        return InvalidParameter;
    return CombineClip(graphics, region->infinite ? nullptr : &region->path, mode);
}

GpStatus GdipSetClipPath(GpGraphics* graphics, GpPath* path, CombineMode mode)
{
    if (!path)
        return InvalidParameter;
    const QPainterPath p = path->ToPainterPath();
    return CombineClip(graphics, &p, mode);
}

GpStatus GdipResetClip(GpGraphics* graphics)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    // Back to the painter's own clip, never past it.
    graphics->clip.reset();
    return Ok;
}

GpStatus GdipGetClipBounds(GpGraphics* graphics, GpRectF* rect)
{
    if (GpStatus s = Usable(graphics); s != Ok)
        return s;
    if (!rect)
        return InvalidParameter;
    QRectF bounds = graphics->surface;
    if (graphics->baseClip)
        bounds = bounds.intersected(graphics->baseClip->boundingRect());
    if (graphics->clip)
        bounds = bounds.intersected(graphics->clip->boundingRect());
    *rect = {REAL(bounds.x()), REAL(bounds.y()), REAL(bounds.width()), REAL(bounds.height())};
    return Ok;
}
