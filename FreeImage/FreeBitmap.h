#pragma once
#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <string>

#include "FreeImage/FreeObject.h"

class TStream;

// One image of the image library, owned by the object. Operations report
// success as a bool and never throw for image failures; only the caller's
// stream may throw (EReadError / EWriteError) in LoadFromStream/SaveToStream.
class TFreeBitmap : public TFreeObject {
public:
    // No picture a portfolio shows needs more; a header that asks for more
    // is refused before the library allocates anything, so a few bytes of
    // run-length data cannot expand into gigabytes.
    static constexpr int64_t kMaxPixels = 100'000'000;
    static constexpr int64_t kMaxDecodedBytes = kMaxPixels * 4;

    // What an image's header promises, read without decoding its pixels.
    struct Header {
        FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
        int64_t width = 0;
        int64_t height = 0;
        int bitsPerPixel = 0;
        // Bytes the decoded image will take (rows padded as the library pads them).
        int64_t DecodedBytes() const { return height * (((width * bitsPerPixel + 31) / 32) * 4); }
        bool WithinLimits() const;
    };
    // Reads the header of the encoded image. False when the format is not
    // known or readable, or its header cannot be read; formats whose
    // reader cannot stop after the header report width and height 0.
    static bool ReadHeader(const BYTE* data, DWORD size, Header& out);

    using TNotifyEvent = std::function<void(TFreeBitmap* sender)>;
    // Set handled to true to take over the old image (it is then not released).
    using TChangingEvent =
        std::function<void(TFreeBitmap* sender, FIBITMAP* oldDib, FIBITMAP* newDib, bool& handled)>;

    // Empty unless width, height and bpp are all at least 1.
    explicit TFreeBitmap(FREE_IMAGE_TYPE imageType = FIT_BITMAP, int width = 0, int height = 0,
                         int bpp = 0);
    ~TFreeBitmap() override;

    bool IsValid() const override { return dib_ != nullptr; }
    virtual void Clear();

    // Format from the file's content, else from its name; refused like
    // LoadFromStream when the header is over the limits. The old image is
    // released before decoding, so a file that fails to decode leaves the
    // object empty. Images of 16 bits per channel come back as 24/32-bit
    // colour or 8-bit grey, floating-point colour tone-mapped to 24 bits and
    // other sample kinds as 8-bit grey, so that every loaded image can be
    // shown and saved.
    bool Load(const std::string& fileName, int flags = 0);
    // Decodes GetSize() bytes read from the stream's current position (callers
    // rewind first); the format comes from the content alone. A memory
    // stream is decoded in place, without a copy. An image whose header
    // exceeds kMaxPixels or kMaxDecodedBytes is refused undecoded.
    bool LoadFromStream(TStream& stream, int flags = 0);
    // Format from the file name's extension. Refuses (false, nothing written)
    // what the format cannot store; an existing file is only replaced once the
    // new one is completely written.
    bool Save(const std::string& fileName, int flags = 0);
    // Writes the encoded image at the stream's current position.
    bool SaveToStream(FREE_IMAGE_FORMAT format, TStream& stream, int flags = 0);
    bool CanSave(FREE_IMAGE_FORMAT format) const;

    int GetWidth() const;
    int GetHeight() const;
    int GetBitsPerPixel() const;
    FREE_IMAGE_TYPE GetImageType() const;
    FREE_IMAGE_COLOR_TYPE GetColorType() const;
    bool IsGrayScale() const;
    // Has an alpha channel or a transparent palette entry.
    bool IsTransparent() const;
    // Pixel (x, y) with y = 0 at the bottom row, as the library counts.
    bool GetPixelColor(unsigned x, unsigned y, RGBQUAD* colour) const;

    bool ConvertTo24Bits();
    bool ConvertToGrayscale();
    bool SetSize(FREE_IMAGE_TYPE imageType, int width, int height, int bpp,
                 unsigned redMask = 0, unsigned greenMask = 0, unsigned blueMask = 0);

    // Colour images below 8 bpp are rescaled as 24 bits, black-and-white and
    // grey ones as 8-bit grey, 16-bit ones as 24 bits. With a destination the
    // result goes there and this image stays as it was.
    bool Rescale(int newWidth, int newHeight, FREE_IMAGE_FILTER filter, TFreeBitmap* dest = nullptr);
    // Counter-clockwise for positive angles (degrees).
    bool Rotate(double angle);
    bool FlipHorizontal();
    bool FlipVertical();
    // Copies the rectangle (left, top) .. (right, bottom), right and bottom
    // exclusive, top-left origin, into dest, whose previous image is dropped.
    bool CopySubImage(int left, int top, int right, int bottom, TFreeBitmap* dest) const;

    TNotifyEvent OnChange;
    TChangingEvent OnChanging;

    // Decodes size bytes at data, the format from the content alone.
    bool LoadFromMemory(const BYTE* data, DWORD size, int flags = 0);

protected:
    // Installs a new image; false (nothing changed) for null.
    bool Replace(FIBITMAP* newDib);
    virtual bool DoChanging(FIBITMAP* oldDib, FIBITMAP* newDib);
    virtual void Change();

    FIBITMAP* dib_ = nullptr;
};
