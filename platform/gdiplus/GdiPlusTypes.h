#pragma once
// Types and numbers of the drawing layer's flat interface: status codes,
// colours, pixel formats, the start-up records and the enumerations callers
// pass by value. The numeric values are part of the interface: callers store
// and compare them as numbers.
#include <cstdint>

#include "platform/com/Guid.h"

using REAL = float;
using ARGB = uint32_t;
using PixelFormat = int32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using WCHAR = char16_t;
using ULONG_PTR = uintptr_t;

enum GpStatus : int {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};
using Status = GpStatus;

// Pixel formats: bits 8-15 hold the depth; flag bits say indexed (0x10000),
// GDI-compatible (0x20000), alpha (0x40000), premultiplied (0x80000).
inline constexpr PixelFormat PixelFormatIndexed = 0x00010000;
inline constexpr PixelFormat PixelFormatGDI = 0x00020000;
inline constexpr PixelFormat PixelFormatAlpha = 0x00040000;
inline constexpr PixelFormat PixelFormatPAlpha = 0x00080000;
inline constexpr PixelFormat PixelFormatExtended = 0x00100000;
inline constexpr PixelFormat PixelFormatCanonical = 0x00200000;
inline constexpr PixelFormat PixelFormatUndefined = 0;
inline constexpr PixelFormat PixelFormatDontCare = 0;
inline constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
inline constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
inline constexpr PixelFormat PixelFormat16bppGrayScale = 0x00101004;
inline constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
inline constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021006;
inline constexpr PixelFormat PixelFormat16bppARGB1555 = 0x00061007;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
inline constexpr PixelFormat PixelFormat48bppRGB = 0x0010300C;
inline constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;
inline constexpr PixelFormat PixelFormat64bppPARGB = 0x001C400E;

inline constexpr UINT GetPixelFormatSize(PixelFormat format) { return (static_cast<UINT>(format) >> 8) & 0xFF; }
inline constexpr bool IsIndexedPixelFormat(PixelFormat format) { return (format & PixelFormatIndexed) != 0; }
inline constexpr bool IsAlphaPixelFormat(PixelFormat format) { return (format & PixelFormatAlpha) != 0; }

// Raw formats of images, as their identifiers.
inline constexpr GUID ImageFormatUndefined = MakeGuid("{B96B3CA9-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatMemoryBMP = MakeGuid("{B96B3CAA-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatBMP = MakeGuid("{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatEMF = MakeGuid("{B96B3CAC-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatWMF = MakeGuid("{B96B3CAD-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatJPEG = MakeGuid("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatPNG = MakeGuid("{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatGIF = MakeGuid("{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatTIFF = MakeGuid("{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatEXIF = MakeGuid("{B96B3CB2-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatIcon = MakeGuid("{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}");

// Start-up records.
enum DebugEventLevel : int { DebugEventLevelFatal = 0, DebugEventLevelWarning = 1 };
using DebugEventProc = void (*)(DebugEventLevel level, char* message);
using NotificationHookProc = GpStatus (*)(ULONG_PTR* token);
using NotificationUnhookProc = void (*)(ULONG_PTR token);

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = 0;
    BOOL SuppressExternalCodecs = 0;
};

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook = nullptr;
    NotificationUnhookProc NotificationUnhook = nullptr;
};

// Enumerations callers pass by value.
enum FillMode : int { FillModeAlternate = 0, FillModeWinding = 1 };
enum Unit_ : int {
    UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3, UnitInch = 4, UnitDocument = 5, UnitMillimeter = 6
};
using GpUnit = Unit_;
enum HatchStyle : int {
    HatchStyleHorizontal = 0, HatchStyleVertical, HatchStyleForwardDiagonal, HatchStyleBackwardDiagonal,
    HatchStyleCross, HatchStyleDiagonalCross, HatchStyle05Percent, HatchStyle10Percent, HatchStyle20Percent,
    HatchStyle25Percent, HatchStyle30Percent, HatchStyle40Percent, HatchStyle50Percent, HatchStyle60Percent,
    HatchStyle70Percent, HatchStyle75Percent, HatchStyle80Percent, HatchStyle90Percent,
    HatchStyleLightDownwardDiagonal, HatchStyleLightUpwardDiagonal, HatchStyleDarkDownwardDiagonal,
    HatchStyleDarkUpwardDiagonal, HatchStyleWideDownwardDiagonal, HatchStyleWideUpwardDiagonal,
    HatchStyleLightVertical, HatchStyleLightHorizontal, HatchStyleNarrowVertical, HatchStyleNarrowHorizontal,
    HatchStyleDarkVertical, HatchStyleDarkHorizontal, HatchStyleDashedDownwardDiagonal,
    HatchStyleDashedUpwardDiagonal, HatchStyleDashedHorizontal, HatchStyleDashedVertical,
    HatchStyleSmallConfetti, HatchStyleLargeConfetti, HatchStyleZigZag, HatchStyleWave,
    HatchStyleDiagonalBrick, HatchStyleHorizontalBrick, HatchStyleWeave, HatchStylePlaid, HatchStyleDivot,
    HatchStyleDottedGrid, HatchStyleDottedDiamond, HatchStyleShingle, HatchStyleTrellis, HatchStyleSphere,
    HatchStyleSmallGrid, HatchStyleSmallCheckerBoard, HatchStyleLargeCheckerBoard, HatchStyleOutlinedDiamond,
    HatchStyleSolidDiamond,
    HatchStyleTotal,
    HatchStyleLargeGrid = HatchStyleCross,
    HatchStyleMin = HatchStyleHorizontal,
    HatchStyleMax = HatchStyleTotal - 1,
};
enum DashStyle : int {
    DashStyleSolid = 0, DashStyleDash, DashStyleDot, DashStyleDashDot, DashStyleDashDotDot, DashStyleCustom
};
enum LineCap : int {
    LineCapFlat = 0, LineCapSquare = 1, LineCapRound = 2, LineCapTriangle = 3, LineCapNoAnchor = 0x10,
    LineCapSquareAnchor = 0x11, LineCapRoundAnchor = 0x12, LineCapDiamondAnchor = 0x13,
    LineCapArrowAnchor = 0x14, LineCapCustom = 0xFF
};
enum PenType : int {
    PenTypeSolidColor = 0, PenTypeHatchFill = 1, PenTypeTextureFill = 2, PenTypePathGradient = 3,
    PenTypeLinearGradient = 4, PenTypeUnknown = -1
};
enum BrushType : int {
    BrushTypeSolidColor = 0, BrushTypeHatchFill = 1, BrushTypeTextureFill = 2, BrushTypePathGradient = 3,
    BrushTypeLinearGradient = 4
};
enum WrapMode : int { WrapModeTile = 0, WrapModeTileFlipX, WrapModeTileFlipY, WrapModeTileFlipXY, WrapModeClamp };
enum LinearGradientMode : int {
    LinearGradientModeHorizontal = 0, LinearGradientModeVertical, LinearGradientModeForwardDiagonal,
    LinearGradientModeBackwardDiagonal
};
enum CombineMode : int {
    CombineModeReplace = 0, CombineModeIntersect, CombineModeUnion, CombineModeXor, CombineModeExclude,
    CombineModeComplement
};
enum MatrixOrder : int { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };
enum ColorMatrixFlags : int { ColorMatrixFlagsDefault = 0, ColorMatrixFlagsSkipGrays = 1, ColorMatrixFlagsAltGray = 2 };
enum ColorChannelFlags : int {
    ColorChannelFlagsC = 0, ColorChannelFlagsM, ColorChannelFlagsY, ColorChannelFlagsK, ColorChannelFlagsLast
};
enum ColorAdjustType : int {
    ColorAdjustTypeDefault = 0, ColorAdjustTypeBitmap, ColorAdjustTypeBrush, ColorAdjustTypePen,
    ColorAdjustTypeText, ColorAdjustTypeCount, ColorAdjustTypeAny
};
enum SmoothingMode : int {
    SmoothingModeInvalid = -1, SmoothingModeDefault = 0, SmoothingModeHighSpeed, SmoothingModeHighQuality,
    SmoothingModeNone, SmoothingModeAntiAlias
};
enum PixelOffsetMode : int {
    PixelOffsetModeInvalid = -1, PixelOffsetModeDefault = 0, PixelOffsetModeHighSpeed, PixelOffsetModeHighQuality,
    PixelOffsetModeNone, PixelOffsetModeHalf
};
enum TextRenderingHint : int {
    TextRenderingHintSystemDefault = 0, TextRenderingHintSingleBitPerPixelGridFit,
    TextRenderingHintSingleBitPerPixel, TextRenderingHintAntiAliasGridFit, TextRenderingHintAntiAlias,
    TextRenderingHintClearTypeGridFit
};
enum CompositingQuality : int {
    CompositingQualityInvalid = -1, CompositingQualityDefault = 0, CompositingQualityHighSpeed,
    CompositingQualityHighQuality, CompositingQualityGammaCorrected, CompositingQualityAssumeLinear
};
enum InterpolationMode : int {
    InterpolationModeInvalid = -1, InterpolationModeDefault = 0, InterpolationModeLowQuality,
    InterpolationModeHighQuality, InterpolationModeBilinear, InterpolationModeBicubic,
    InterpolationModeNearestNeighbor, InterpolationModeHighQualityBilinear, InterpolationModeHighQualityBicubic
};
enum StringAlignment : int { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };
enum StringTrimming : int {
    StringTrimmingNone = 0, StringTrimmingCharacter, StringTrimmingWord, StringTrimmingEllipsisCharacter,
    StringTrimmingEllipsisWord, StringTrimmingEllipsisPath
};
enum HotkeyPrefix : int { HotkeyPrefixNone = 0, HotkeyPrefixShow = 1, HotkeyPrefixHide = 2 };
enum StringFormatFlags : int {
    StringFormatFlagsDirectionRightToLeft = 0x1, StringFormatFlagsDirectionVertical = 0x2,
    StringFormatFlagsNoFitBlackBox = 0x4, StringFormatFlagsDisplayFormatControl = 0x20,
    StringFormatFlagsNoFontFallback = 0x400, StringFormatFlagsMeasureTrailingSpaces = 0x800,
    StringFormatFlagsNoWrap = 0x1000, StringFormatFlagsLineLimit = 0x2000, StringFormatFlagsNoClip = 0x4000
};
enum FontStyle : int {
    FontStyleRegular = 0, FontStyleBold = 1, FontStyleItalic = 2, FontStyleBoldItalic = 3,
    FontStyleUnderline = 4, FontStyleStrikeout = 8
};
enum FlushIntention : int { FlushIntentionFlush = 0, FlushIntentionSync = 1 };
enum RotateFlipType : int {
    RotateNoneFlipNone = 0, Rotate90FlipNone = 1, Rotate180FlipNone = 2, Rotate270FlipNone = 3,
    RotateNoneFlipX = 4, Rotate90FlipX = 5, Rotate180FlipX = 6, Rotate270FlipX = 7,
    RotateNoneFlipY = Rotate180FlipX, Rotate90FlipY = Rotate270FlipX, Rotate180FlipY = RotateNoneFlipX,
    Rotate270FlipY = Rotate90FlipX, RotateNoneFlipXY = Rotate180FlipNone, Rotate90FlipXY = Rotate270FlipNone,
    Rotate180FlipXY = RotateNoneFlipNone, Rotate270FlipXY = Rotate90FlipNone
};
enum EncoderValue : int {
    EncoderValueColorTypeCMYK = 0, EncoderValueColorTypeYCCK, EncoderValueCompressionLZW,
    EncoderValueCompressionCCITT3, EncoderValueCompressionCCITT4, EncoderValueCompressionRle,
    EncoderValueCompressionNone, EncoderValueScanMethodInterlaced, EncoderValueScanMethodNonInterlaced,
    EncoderValueVersionGif87, EncoderValueVersionGif89, EncoderValueRenderProgressive,
    EncoderValueRenderNonProgressive, EncoderValueTransformRotate90, EncoderValueTransformRotate180,
    EncoderValueTransformRotate270, EncoderValueTransformFlipHorizontal, EncoderValueTransformFlipVertical,
    EncoderValueMultiFrame, EncoderValueLastFrame, EncoderValueFlush, EncoderValueFrameDimensionTime,
    EncoderValueFrameDimensionResolution, EncoderValueFrameDimensionPage
};
enum ImageType : int { ImageTypeUnknown = 0, ImageTypeBitmap = 1, ImageTypeMetafile = 2 };
enum EncoderParameterValueType : int {
    EncoderParameterValueTypeByte = 1, EncoderParameterValueTypeASCII = 2, EncoderParameterValueTypeShort = 3,
    EncoderParameterValueTypeLong = 4, EncoderParameterValueTypeRational = 5,
    EncoderParameterValueTypeLongRange = 6, EncoderParameterValueTypeUndefined = 7,
    EncoderParameterValueTypeRationalRange = 8
};

// Plain value records of the flat interface.
struct GpPointF { REAL X = 0, Y = 0; };
struct GpPoint { INT X = 0, Y = 0; };
struct GpRectF { REAL X = 0, Y = 0, Width = 0, Height = 0; };
struct GpRect { INT X = 0, Y = 0, Width = 0, Height = 0; };
using PointF = GpPointF;
using Point = GpPoint;
using RectF = GpRectF;
using Rect = GpRect;

// 5 × 5 colour matrix applied to (R, G, B, A, 1) rows of 0..1 values.
struct ColorMatrix { REAL m[5][5]; };
struct ColorMap { ARGB oldColor; ARGB newColor; };
struct ColorPalette { UINT Flags; UINT Count; ARGB Entries[1]; };
enum PaletteFlags : int { PaletteFlagsHasAlpha = 1, PaletteFlagsGrayScale = 2, PaletteFlagsHalftone = 4 };

struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;
    void* Value;
};
struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
};
inline constexpr GUID EncoderQuality = MakeGuid("{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}");
inline constexpr GUID EncoderSaveFlag = MakeGuid("{292266FC-AC40-47BF-8CFC-A85B89A655DE}");

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};
enum ImageCodecFlags : int {
    ImageCodecFlagsEncoder = 0x1, ImageCodecFlagsDecoder = 0x2, ImageCodecFlagsSupportBitmap = 0x4,
    ImageCodecFlagsBuiltin = 0x10000
};

using DrawImageAbort = BOOL (*)(void* data);
using GetThumbnailImageAbort = DrawImageAbort;
