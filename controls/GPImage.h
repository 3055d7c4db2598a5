#pragma once
#include <memory>
#include <string>

#include "controls/GPBase.h"

class TGPImage : public TGdiplusBase {
public:
    // Loads a file (UTF-16 name) or a stream.
    explicit TGPImage(const std::u16string& filename, bool useEmbeddedColorManagement = false);
    explicit TGPImage(IStream* stream, bool useEmbeddedColorManagement = false);
    // Takes over a native image.
    TGPImage(GpImage* native, Status status) : nativeImage(native), lastResult(status) {}
    ~TGPImage() override;

    unsigned GetWidth();
    unsigned GetHeight();
    PixelFormat GetPixelFormat();
    unsigned GetPixelDepth() { return (static_cast<unsigned>(GetPixelFormat()) >> 8) & 0xFF; }
    bool HasAlphaChannel() { return (GetPixelFormat() & PixelFormatAlpha) != 0; }
    bool HasPalette() { return (GetPixelFormat() & PixelFormatIndexed) != 0; }
    TGPImageFormat GetFormat();
    Status RotateFlip(RotateFlipType type);
    Status Save(const std::u16string& filename, const CLSID& encoder, const EncoderParameters* params = nullptr);
    Status Save(IStream* stream, const CLSID& encoder, const EncoderParameters* params = nullptr);
    Status SaveAdd(const EncoderParameters* params);
    Status SaveAdd(TGPImage* newImage, const EncoderParameters* params);
    Status GetLastStatus();

    GpImage* NativeImage() const { return nativeImage; }

protected:
    TGPImage() = default;
    GpImage* nativeImage = nullptr;
    Status lastResult = Ok;
};

class TGPBitmap : public TGPImage {
public:
    explicit TGPBitmap(IStream* stream, bool useEmbeddedColorManagement = false);
    TGPBitmap(int width, int height, PixelFormat format = PixelFormat32bppARGB);
    TGPBitmap(GpBitmap* native, Status status) : TGPImage(native, status) {}

    // A bitmap for the caller to free.
    static TGPBitmap* FromStream(IStream* stream, bool useEmbeddedColorManagement = false);

    // A new screen bitmap of the pixels over the background colour.
    Status GetHBITMAP(ARGB colorBackground, HBITMAP* hbmReturn);
    Status GetPixel(int x, int y, ARGB* color);
    Status SetPixel(int x, int y, ARGB color);

    GpBitmap* NativeBitmap() const { return static_cast<GpBitmap*>(nativeImage); }
};

// The encoder for a kind of image, by its MIME type; false when none writes it
// (there is no GIF encoder).
bool GetCLSID(TImageType type, CLSID* clsid);

// A one-entry parameter block asking for that quality (clamped to 0..100).
struct TEncoderQualityParameters {
    EncoderParameters params;
    ULONG quality;
};
std::unique_ptr<TEncoderQualityParameters> GetEncoderQualityParameters(int quality);

// The picture as a BMP file in a memory stream, for loading as an image.
// Throws Exception("Could not allocate memory for image") when it cannot be
// made.
std::unique_ptr<TStream> CreateStream(const QImage& bitmap);

// A 32-bit ARGB bitmap of the pixels for drawing many times over (thumbnails,
// cached cell fills): held premultiplied, which the painter blends directly
// instead of converting on every draw. Null when there is no memory for it.
std::unique_ptr<TGPBitmap> NewDrawingBitmap(const QImage& pixels);
