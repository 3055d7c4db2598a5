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
