#include "controls/GPImageAttributes.h"

TGPImageAttributes::TGPImageAttributes()
{
    lastResult = GdipCreateImageAttributes(&nativeImageAttr);
}

TGPImageAttributes::~TGPImageAttributes()
{
    if (nativeImageAttr)
        GdipDisposeImageAttributes(nativeImageAttr);
}

TGPImageAttributes* TGPImageAttributes::Clone()
{
    GpImageAttributes* clone = nullptr;
    SetStatus(GdipCloneImageAttributes(nativeImageAttr, &clone));
    return new TGPImageAttributes(clone, lastResult);
}

Status TGPImageAttributes::SetToIdentity(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesToIdentity(nativeImageAttr, type));
}

Status TGPImageAttributes::Reset(ColorAdjustType type)
{
    return SetStatus(GdipResetImageAttributes(nativeImageAttr, type));
}

Status TGPImageAttributes::SetColorMatrix(const ColorMatrix& colorMatrix, ColorMatrixFlags mode,
                                          ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesColorMatrix(nativeImageAttr, type, 1, &colorMatrix, nullptr, mode));
}

Status TGPImageAttributes::ClearColorMatrix(ColorAdjustType type)
{
    return SetStatus(
        GdipSetImageAttributesColorMatrix(nativeImageAttr, type, 0, nullptr, nullptr, ColorMatrixFlagsDefault));
}

Status TGPImageAttributes::SetColorMatrices(const ColorMatrix& colorMatrix, const ColorMatrix& grayMatrix,
                                            ColorMatrixFlags mode, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesColorMatrix(nativeImageAttr, type, 1, &colorMatrix, &grayMatrix, mode));
}

Status TGPImageAttributes::ClearColorMatrices(ColorAdjustType type)
{
    return ClearColorMatrix(type);
}

Status TGPImageAttributes::SetThreshold(float threshold, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesThreshold(nativeImageAttr, type, 1, threshold));
}

Status TGPImageAttributes::ClearThreshold(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesThreshold(nativeImageAttr, type, 0, 0));
}

Status TGPImageAttributes::SetGamma(float gamma, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesGamma(nativeImageAttr, type, 1, gamma));
}

Status TGPImageAttributes::ClearGamma(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesGamma(nativeImageAttr, type, 0, 0));
}

Status TGPImageAttributes::SetNoOp(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesNoOp(nativeImageAttr, type, 1));
}

Status TGPImageAttributes::ClearNoOp(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesNoOp(nativeImageAttr, type, 0));
}

Status TGPImageAttributes::SetColorKey(ARGB colorLow, ARGB colorHigh, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesColorKeys(nativeImageAttr, type, 1, colorLow, colorHigh));
}

Status TGPImageAttributes::ClearColorKey(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesColorKeys(nativeImageAttr, type, 0, 0, 0));
}

Status TGPImageAttributes::SetOutputChannel(ColorChannelFlags channelFlags, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesOutputChannel(nativeImageAttr, type, 1, channelFlags));
}

Status TGPImageAttributes::ClearOutputChannel(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesOutputChannel(nativeImageAttr, type, 0, ColorChannelFlagsLast));
}

Status TGPImageAttributes::SetOutputChannelColorProfile(const std::u16string& colorProfileFilename,
                                                        ColorAdjustType type)
{
    return SetStatus(
        GdipSetImageAttributesOutputChannelColorProfile(nativeImageAttr, type, 1, colorProfileFilename.c_str()));
}

Status TGPImageAttributes::ClearOutputChannelColorProfile(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesOutputChannelColorProfile(nativeImageAttr, type, 0, nullptr));
}

Status TGPImageAttributes::SetRemapTable(unsigned mapSize, const ColorMap* map, ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesRemapTable(nativeImageAttr, type, 1, mapSize, map));
}

Status TGPImageAttributes::ClearRemapTable(ColorAdjustType type)
{
    return SetStatus(GdipSetImageAttributesRemapTable(nativeImageAttr, type, 0, 0, nullptr));
}

Status TGPImageAttributes::SetBrushRemapTable(unsigned mapSize, const ColorMap* map)
{
    return SetRemapTable(mapSize, map, ColorAdjustTypeBrush);
}

Status TGPImageAttributes::ClearBrushRemapTable()
{
    return ClearRemapTable(ColorAdjustTypeBrush);
}

Status TGPImageAttributes::SetWrapMode(WrapMode wrap, ARGB color, bool clamp)
{
    return SetStatus(GdipSetImageAttributesWrapMode(nativeImageAttr, wrap, color, clamp));
}

Status TGPImageAttributes::GetAdjustedPalette(ColorPalette* colorPalette, ColorAdjustType colorAdjustType)
{
    return SetStatus(GdipGetImageAttributesAdjustedPalette(nativeImageAttr, colorPalette, colorAdjustType));
}

Status TGPImageAttributes::GetLastStatus()
{
    const Status status = lastResult;
    lastResult = Ok;
    return status;
}
