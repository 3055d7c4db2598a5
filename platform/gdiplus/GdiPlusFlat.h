#pragma once
// The drawing layer's flat interface: one function per operation, handles to
// opaque objects, a status number back. Drawing and image calls need no
// application object; font and text calls need a QGuiApplication (fonts are
// found through it) and report GdiplusNotInitialized without one.
//
// A device context (HDC) is the caller's QPainter. A graphics made on it saves
// the painter's state, draws with this layer's defaults and keeps the
// painter's clip as the outer limit of its own; deleting the graphics restores
// the painter.
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "platform/gdiplus/GdiPlusTypes.h"
#include "platform/gdiplus/GpObjects.h"
#include "platform/rtl/Stream.h"

// Streams are the project's own byte streams.
using IStream = TStream;

// Graphics.
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipGraphicsClear(GpGraphics* graphics, ARGB color);
GpStatus GdipFlush(GpGraphics* graphics, FlushIntention intention);
GpStatus GdipGetDC(GpGraphics* graphics, HDC* hdc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC hdc);
GpStatus GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode);
GpStatus GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode);
GpStatus GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode);
GpStatus GdipGetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode* mode);
GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint);
GpStatus GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* hint);
GpStatus GdipSetCompositingQuality(GpGraphics* graphics, CompositingQuality quality);
GpStatus GdipGetCompositingQuality(GpGraphics* graphics, CompositingQuality* quality);
GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode);
GpStatus GdipGetInterpolationMode(GpGraphics* graphics, InterpolationMode* mode);

GpStatus GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2);
GpStatus GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);
GpStatus GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawEllipseI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);
GpStatus GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                     REAL sweepAngle);
GpStatus GdipDrawArcI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height, REAL startAngle,
                      REAL sweepAngle);
GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path);

GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height);
GpStatus GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillEllipseI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height);
GpStatus GdipFillPolygon(GpGraphics* graphics, GpBrush* brush, const GpPointF* points, INT count, FillMode mode);
GpStatus GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count, FillMode mode);
GpStatus GdipFillPolygon2(GpGraphics* graphics, GpBrush* brush, const GpPointF* points, INT count);
GpStatus GdipFillPolygon2I(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, INT count);
GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);

GpStatus GdipDrawImage(GpGraphics* graphics, GpImage* image, REAL x, REAL y);
GpStatus GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y);
GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
GpStatus GdipDrawImageRectRect(GpGraphics* graphics, GpImage* image, REAL dstx, REAL dsty, REAL dstwidth,
                               REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight, Unit_ srcUnit,
                               const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData);
GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty, INT dstwidth,
                                INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit_ srcUnit,
                                const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData);
GpStatus GdipDrawImagePointsRect(GpGraphics* graphics, GpImage* image, const GpPointF* points, INT count, REAL srcx,
                                 REAL srcy, REAL srcwidth, REAL srcheight, Unit_ srcUnit,
                                 const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData);
GpStatus GdipDrawImagePointsRectI(GpGraphics* graphics, GpImage* image, const GpPoint* points, INT count, INT srcx,
                                  INT srcy, INT srcwidth, INT srcheight, Unit_ srcUnit,
                                  const GpImageAttributes* attributes, DrawImageAbort callback, void* callbackData);

GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                        const RectF* layoutRect, const GpStringFormat* format, const GpBrush* brush);
GpStatus GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                           const RectF* layoutRect, const GpStringFormat* format, RectF* boundingBox,
                           INT* codepointsFitted, INT* linesFilled);

GpStatus GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode);
GpStatus GdipSetClipRegion(GpGraphics* graphics, GpRegion* region, CombineMode mode);
GpStatus GdipSetClipPath(GpGraphics* graphics, GpPath* path, CombineMode mode);
GpStatus GdipResetClip(GpGraphics* graphics);
GpStatus GdipGetClipBounds(GpGraphics* graphics, GpRectF* rect);

// Images (see GdiPlusImage.h for the rest).
GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image);
GpStatus GdipLoadImageFromFileICM(const WCHAR* filename, GpImage** image);
GpStatus GdipLoadImageFromStream(IStream* stream, GpImage** image);
GpStatus GdipLoadImageFromStreamICM(IStream* stream, GpImage** image);
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap);
GpStatus GdipImageRotateFlip(GpImage* image, RotateFlipType type);
GpStatus GdipGetImageType(GpImage* image, ImageType* type);
GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size);
GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);
GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* encoder,
                             const EncoderParameters* params);
GpStatus GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* encoder,
                               const EncoderParameters* params);
GpStatus GdipSaveAdd(GpImage* image, const EncoderParameters* params);
GpStatus GdipSaveAddImage(GpImage* image, GpImage* newImage, const EncoderParameters* params);

// Pens.
GpStatus GdipCreatePen1(ARGB color, REAL width, Unit_ unit, GpPen** pen);
GpStatus GdipCreatePen2(GpBrush* brush, REAL width, Unit_ unit, GpPen** pen);
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipSetPenDashStyle(GpPen* pen, DashStyle style);
GpStatus GdipGetPenDashStyle(GpPen* pen, DashStyle* style);
GpStatus GdipSetPenEndCap(GpPen* pen, LineCap cap);
GpStatus GdipGetPenFillType(GpPen* pen, PenType* type);
GpStatus GdipGetPenBrushFill(GpPen* pen, GpBrush** brush);

// Brushes.
GpStatus GdipDeleteBrush(GpBrush* brush);
GpStatus GdipGetBrushType(GpBrush* brush, BrushType* type);
GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipGetSolidFillColor(GpSolidFill* brush, ARGB* color);
GpStatus GdipCreateHatchBrush(HatchStyle style, ARGB fore, ARGB back, GpHatch** brush);
GpStatus GdipGetHatchStyle(GpHatch* brush, HatchStyle* style);
GpStatus GdipGetHatchForegroundColor(GpHatch* brush, ARGB* color);
GpStatus GdipGetHatchBackgroundColor(GpHatch* brush, ARGB* color);

GpStatus GdipCreateTexture(GpImage* image, WrapMode wrap, GpTexture** texture);
GpStatus GdipCreateTexture2(GpImage* image, WrapMode wrap, REAL x, REAL y, REAL width, REAL height,
                            GpTexture** texture);
GpStatus GdipCreateTexture2I(GpImage* image, WrapMode wrap, INT x, INT y, INT width, INT height,
                             GpTexture** texture);
GpStatus GdipCreateTextureIA(GpImage* image, const GpImageAttributes* attributes, REAL x, REAL y, REAL width,
                             REAL height, GpTexture** texture);
GpStatus GdipCreateTextureIAI(GpImage* image, const GpImageAttributes* attributes, INT x, INT y, INT width,
                              INT height, GpTexture** texture);
GpStatus GdipSetTextureTransform(GpTexture* brush, const GpMatrix* matrix);
GpStatus GdipGetTextureTransform(GpTexture* brush, GpMatrix* matrix);
GpStatus GdipResetTextureTransform(GpTexture* brush);
GpStatus GdipMultiplyTextureTransform(GpTexture* brush, const GpMatrix* matrix, MatrixOrder order);
GpStatus GdipTranslateTextureTransform(GpTexture* brush, REAL dx, REAL dy, MatrixOrder order);
GpStatus GdipScaleTextureTransform(GpTexture* brush, REAL sx, REAL sy, MatrixOrder order);
GpStatus GdipRotateTextureTransform(GpTexture* brush, REAL angle, MatrixOrder order);
GpStatus GdipSetTextureWrapMode(GpTexture* brush, WrapMode wrap);
GpStatus GdipGetTextureWrapMode(GpTexture* brush, WrapMode* wrap);
GpStatus GdipGetTextureImage(GpTexture* brush, GpImage** image);

GpStatus GdipCreateLineBrush(const GpPointF* point1, const GpPointF* point2, ARGB color1, ARGB color2,
                             WrapMode wrap, GpLineGradient** brush);
GpStatus GdipCreateLineBrushI(const GpPoint* point1, const GpPoint* point2, ARGB color1, ARGB color2,
                              WrapMode wrap, GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2, LinearGradientMode mode,
                                     WrapMode wrap, GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRectI(const GpRect* rect, ARGB color1, ARGB color2, LinearGradientMode mode,
                                      WrapMode wrap, GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRectWithAngle(const GpRectF* rect, ARGB color1, ARGB color2, REAL angle,
                                              BOOL isAngleScalable, WrapMode wrap, GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRectWithAngleI(const GpRect* rect, ARGB color1, ARGB color2, REAL angle,
                                               BOOL isAngleScalable, WrapMode wrap, GpLineGradient** brush);
GpStatus GdipSetLineGammaCorrection(GpLineGradient* brush, BOOL useGamma);
GpStatus GdipGetLineGammaCorrection(GpLineGradient* brush, BOOL* useGamma);
GpStatus GdipGetLineBlendCount(GpLineGradient* brush, INT* count);
GpStatus GdipSetLineBlend(GpLineGradient* brush, const REAL* factors, const REAL* positions, INT count);
GpStatus GdipGetLineBlend(GpLineGradient* brush, REAL* factors, REAL* positions, INT count);
GpStatus GdipGetLinePresetBlendCount(GpLineGradient* brush, INT* count);
GpStatus GdipSetLinePresetBlend(GpLineGradient* brush, const ARGB* colors, const REAL* positions, INT count);
GpStatus GdipGetLinePresetBlend(GpLineGradient* brush, ARGB* colors, REAL* positions, INT count);
GpStatus GdipSetLineSigmaBlend(GpLineGradient* brush, REAL focus, REAL scale);
GpStatus GdipSetLineLinearBlend(GpLineGradient* brush, REAL focus, REAL scale);

GpStatus GdipCreatePathGradient(const GpPointF* points, INT count, WrapMode wrap, GpPathGradient** brush);
GpStatus GdipCreatePathGradientI(const GpPoint* points, INT count, WrapMode wrap, GpPathGradient** brush);
GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush);
GpStatus GdipGetPathGradientCenterColor(GpPathGradient* brush, ARGB* color);
GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color);
GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, INT* count);
GpStatus GdipGetPathGradientSurroundColorCount(GpPathGradient* brush, INT* count);
GpStatus GdipGetPathGradientSurroundColorsWithCount(GpPathGradient* brush, ARGB* colors, INT* count);
GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors, INT* count);
GpStatus GdipGetPathGradientCenterPoint(GpPathGradient* brush, GpPointF* point);
GpStatus GdipGetPathGradientCenterPointI(GpPathGradient* brush, GpPoint* point);
GpStatus GdipSetPathGradientCenterPoint(GpPathGradient* brush, const GpPointF* point);
GpStatus GdipSetPathGradientCenterPointI(GpPathGradient* brush, const GpPoint* point);
GpStatus GdipSetPathGradientGammaCorrection(GpPathGradient* brush, BOOL useGamma);
GpStatus GdipGetPathGradientGammaCorrection(GpPathGradient* brush, BOOL* useGamma);
GpStatus GdipGetPathGradientWrapMode(GpPathGradient* brush, WrapMode* wrap);
GpStatus GdipSetPathGradientWrapMode(GpPathGradient* brush, WrapMode wrap);
GpStatus GdipGetPathGradientBlendCount(GpPathGradient* brush, INT* count);
GpStatus GdipSetPathGradientBlend(GpPathGradient* brush, const REAL* factors, const REAL* positions, INT count);
GpStatus GdipGetPathGradientBlend(GpPathGradient* brush, REAL* factors, REAL* positions, INT count);
GpStatus GdipGetPathGradientPresetBlendCount(GpPathGradient* brush, INT* count);
GpStatus GdipSetPathGradientPresetBlend(GpPathGradient* brush, const ARGB* colors, const REAL* positions,
                                        INT count);
GpStatus GdipGetPathGradientPresetBlend(GpPathGradient* brush, ARGB* colors, REAL* positions, INT count);
GpStatus GdipSetPathGradientSigmaBlend(GpPathGradient* brush, REAL focus, REAL scale);
GpStatus GdipSetPathGradientLinearBlend(GpPathGradient* brush, REAL focus, REAL scale);

// Fonts and string formats (need a QGuiApplication).
struct GpFontCollection;
GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection, GpFontFamily** family);
GpStatus GdipDeleteFontFamily(GpFontFamily* family);
GpStatus GdipGetFamilyName(const GpFontFamily* family, WCHAR name[32], WORD language);
GpStatus GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, Unit_ unit, GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);
GpStatus GdipGetFontSize(GpFont* font, REAL* size);
GpStatus GdipCreateStringFormat(INT flags, WORD language, GpStringFormat** format);
GpStatus GdipCloneStringFormat(const GpStringFormat* format, GpStringFormat** clone);
GpStatus GdipDeleteStringFormat(GpStringFormat* format);
GpStatus GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align);
GpStatus GdipGetStringFormatAlign(GpStringFormat* format, StringAlignment* align);
GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align);
GpStatus GdipGetStringFormatLineAlign(GpStringFormat* format, StringAlignment* align);
GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, StringTrimming trimming);
GpStatus GdipGetStringFormatTrimming(GpStringFormat* format, StringTrimming* trimming);
GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* format, INT hotkeyPrefix);
GpStatus GdipGetStringFormatHotkeyPrefix(GpStringFormat* format, INT* hotkeyPrefix);
GpStatus GdipSetStringFormatFlags(GpStringFormat* format, INT flags);
GpStatus GdipGetStringFormatFlags(GpStringFormat* format, INT* flags);

// Paths.
GpStatus GdipCreatePath(FillMode mode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
GpStatus GdipClosePathFigure(GpPath* path);
GpStatus GdipGetPointCount(GpPath* path, INT* count);
GpStatus GdipGetPathPoints(GpPath* path, GpPointF* points, INT count);
GpStatus GdipGetPathTypes(GpPath* path, BYTE* types, INT count);
GpStatus GdipGetPathWorldBounds(GpPath* path, GpRectF* bounds, const GpMatrix* matrix, const GpPen* pen);
GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2);
GpStatus GdipAddPathLine2I(GpPath* path, const GpPoint* points, INT count);
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathRectangle(GpPath* path, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipAddPathRectangleI(GpPath* path, INT x, INT y, INT width, INT height);
GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipAddPathEllipseI(GpPath* path, INT x, INT y, INT width, INT height);
GpStatus GdipAddPathPie(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathPieI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathPolygon(GpPath* path, const GpPointF* points, INT count);
GpStatus GdipAddPathPolygonI(GpPath* path, const GpPoint* points, INT count);
GpStatus GdipAddPathCurve(GpPath* path, const GpPointF* points, INT count);
GpStatus GdipAddPathCurveI(GpPath* path, const GpPoint* points, INT count);
GpStatus GdipAddPathCurve2I(GpPath* path, const GpPoint* points, INT count, REAL tension);
GpStatus GdipAddPathBezier(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3, REAL y3, REAL x4, REAL y4);
GpStatus GdipAddPathBezierI(GpPath* path, INT x1, INT y1, INT x2, INT y2, INT x3, INT y3, INT x4, INT y4);

// Regions.
GpStatus GdipCreateRegion(GpRegion** region);
GpStatus GdipCreateRegionRect(const GpRectF* rect, GpRegion** region);
GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region);
GpStatus GdipCombineRegionPath(GpRegion* region, GpPath* path, CombineMode mode);
GpStatus GdipCombineRegionRegion(GpRegion* region, GpRegion* other, CombineMode mode);
GpStatus GdipDeleteRegion(GpRegion* region);

// Matrices: six elements m11, m12, m21, m22, dx, dy; points are row vectors.
GpStatus GdipCreateMatrix(GpMatrix** matrix);
GpStatus GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix);
GpStatus GdipCreateMatrix3(const GpRectF* rect, const GpPointF* dstplg, GpMatrix** matrix);
GpStatus GdipCreateMatrix3I(const GpRect* rect, const GpPoint* dstplg, GpMatrix** matrix);
GpStatus GdipCloneMatrix(GpMatrix* matrix, GpMatrix** clone);
GpStatus GdipDeleteMatrix(GpMatrix* matrix);
GpStatus GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
GpStatus GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements);
GpStatus GdipMultiplyMatrix(GpMatrix* matrix, GpMatrix* other, MatrixOrder order);
GpStatus GdipTranslateMatrix(GpMatrix* matrix, REAL offsetX, REAL offsetY, MatrixOrder order);
GpStatus GdipScaleMatrix(GpMatrix* matrix, REAL scaleX, REAL scaleY, MatrixOrder order);
GpStatus GdipRotateMatrix(GpMatrix* matrix, REAL angle, MatrixOrder order);
GpStatus GdipShearMatrix(GpMatrix* matrix, REAL shearX, REAL shearY, MatrixOrder order);
GpStatus GdipInvertMatrix(GpMatrix* matrix);
GpStatus GdipTransformMatrixPoints(GpMatrix* matrix, GpPointF* points, INT count);
GpStatus GdipTransformMatrixPointsI(GpMatrix* matrix, GpPoint* points, INT count);
GpStatus GdipVectorTransformMatrixPoints(GpMatrix* matrix, GpPointF* points, INT count);
GpStatus GdipVectorTransformMatrixPointsI(GpMatrix* matrix, GpPoint* points, INT count);
GpStatus GdipIsMatrixInvertible(const GpMatrix* matrix, BOOL* result);
GpStatus GdipIsMatrixIdentity(const GpMatrix* matrix, BOOL* result);
GpStatus GdipIsMatrixEqual(const GpMatrix* matrix, const GpMatrix* other, BOOL* result);

// Image attributes.
GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes);
GpStatus GdipCloneImageAttributes(const GpImageAttributes* attributes, GpImageAttributes** clone);
GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes);
GpStatus GdipSetImageAttributesToIdentity(GpImageAttributes* attributes, ColorAdjustType type);
GpStatus GdipResetImageAttributes(GpImageAttributes* attributes, ColorAdjustType type);
GpStatus GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                           const ColorMatrix* colorMatrix, const ColorMatrix* grayMatrix,
                                           ColorMatrixFlags flags);
GpStatus GdipSetImageAttributesThreshold(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                         REAL threshold);
GpStatus GdipSetImageAttributesGamma(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                     REAL gamma);
GpStatus GdipSetImageAttributesNoOp(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag);
GpStatus GdipSetImageAttributesColorKeys(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                         ARGB colorLow, ARGB colorHigh);
GpStatus GdipSetImageAttributesOutputChannel(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                             ColorChannelFlags channelFlags);
GpStatus GdipSetImageAttributesOutputChannelColorProfile(GpImageAttributes* attributes, ColorAdjustType type,
                                                         BOOL enableFlag, const WCHAR* colorProfileFilename);
GpStatus GdipSetImageAttributesRemapTable(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                          UINT mapSize, const ColorMap* map);
GpStatus GdipSetImageAttributesWrapMode(GpImageAttributes* attributes, WrapMode wrap, ARGB argb, BOOL clamp);
GpStatus GdipGetImageAttributesAdjustedPalette(GpImageAttributes* attributes, ColorPalette* palette,
                                               ColorAdjustType type);
