#pragma once
// Images decoded from files, and the frames of multi-frame files (the pages
// of a TIFF, the frames of an animated GIF). None needs a QGuiApplication.
//
// Every image has one frame dimension: time for GIF files, resolution for
// icons, pages for everything else (a single image has one page).
#include "platform/gdiplus/GdiPlusTypes.h"
#include "platform/gdiplus/GpImage.h"

inline constexpr GUID FrameDimensionTime = MakeGuid("{6AEDBD6D-3FB5-418A-83A6-7F45229DC872}");
inline constexpr GUID FrameDimensionResolution = MakeGuid("{84236F7B-3BD3-428F-8DAB-4EA1439CA315}");
inline constexpr GUID FrameDimensionPage = MakeGuid("{7462DC86-6180-4C7E-8E3F-EE7333A7A483}");

// A new bitmap holding the file's first frame; the file's bytes are kept for
// frame selection. InvalidParameter for a null or empty name, FileNotFound,
// AccessDenied or Win32Error when the file cannot be read,
// UnknownImageFormat when nothing decodes it, GdiplusNotInitialized while the
// layer is stopped.
GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);

GpStatus GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count);
// count must be the number of dimensions.
GpStatus GdipImageGetFrameDimensionsList(GpImage* image, GUID* dimensionIDs, UINT count);
// InvalidParameter for a dimension the image does not have.
GpStatus GdipImageGetFrameCount(GpImage* image, const GUID* dimensionID, UINT* count);
// Decodes the frame into the image. InvalidParameter for a dimension the
// image does not have or an index past its frames; UnknownImageFormat when
// the frame cannot be decoded (the image keeps its current frame then).
GpStatus GdipImageSelectActiveFrame(GpImage* image, const GUID* dimensionID, UINT frameIndex);
