#pragma once
#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <string>

#include "FreeImage/FreeObject.h"

class TStream;
class TPrefixedBlockStream;
class TFreeMemoryIO;

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
    // The largest picture file read: an uncompressed image at the pixel
    // limit with 16 bits per channel and alpha, plus room for its metadata.
    static constexpr int64_t kMaxFileBytes = kMaxPixels * 8 + (int64_t{16} << 20);

    // What an image's header promises, read without decoding its pixels.
    struct Header {
        FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
        int64_t width = 0;
        int64_t height = 0;
        int bitsPerPixel = 0;
        // Why the file is not to be decoded at all (see TDecoderInput),
        // empty when it may be.
        std::string refusal;
        // Bytes the decoded image will take (rows padded as the library pads them).
        int64_t DecodedBytes() const { return height * (((width * bitsPerPixel + 31) / 32) * 4); }
        bool WithinLimits() const;
    };
    // The formats artworks may come in: those offered to the user whose
    // size can be read before any pixel is decoded. Every load refuses the
    // rest, whatever the file's name says.
    static bool IsArtworkFormat(FREE_IMAGE_FORMAT format);
    // Reads the header of the encoded image. False when the format is no
    // artwork format, its header cannot be read or the file is refused
    // before any decoder sees it (out.refusal says why). For a GIF the size is
    // the largest of its logical screen and all its frames.
    static bool ReadHeader(const BYTE* data, DWORD size, Header& out);
    // The format the file name's extension names (FIF_UNKNOWN for none).
    // Safe on any thread: the image library's own lookup is not.
    static FREE_IMAGE_FORMAT FormatFromFileName(const std::string& fileName);

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

    // Format from the file's content; refused like LoadFromStream when the
    // header is over the limits, and without waiting when the name leads to
    // anything but a regular file of at most kMaxFileBytes. The old image is
    // released before decoding, so a file that fails to decode leaves the
    // object empty. Images of 16 bits per channel come back as 24/32-bit
    // colour or 8-bit grey, floating-point colour tone-mapped to 24 bits and
    // other sample kinds as 8-bit grey, so that every loaded image can be
    // shown and saved. A picture whose EXIF data names an orientation is
    // turned upright, and its EXIF data then says it is (see ExifOrientation.h).
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
    // The image as the BMP file SaveToStream(FIF_BMP, ...) writes, with its
    // pixel rows read from the image's own memory rather than copied: the
    // stream holds the file's headers and points at the pixels, so it is
    // good only while the image stays as it is. False, with the stream left
    // as it was, when the file's rows are not the image's memory as it lies
    // (the caller then makes a copy with SaveToStream).
    bool SaveBmpReferencing(TPrefixedBlockStream& stream) const;
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

    // ---- loading and saving in other forms
    // UTF-16 names; otherwise as Load and Save.
    bool LoadU(const std::u16string& fileName, int flags = 0);
    bool SaveU(const std::u16string& fileName, int flags = 0);
    // Through the caller's I/O callbacks; the format comes from the content.
    bool LoadFromHandle(FreeImageIO* io, fi_handle handle, int flags = 0);
    bool SaveToHandle(FREE_IMAGE_FORMAT format, FreeImageIO* io, fi_handle handle, int flags = 0) const;
    bool LoadFromMemory(TFreeMemoryIO& memory, int flags = 0);
    bool SaveToMemory(FREE_IMAGE_FORMAT format, TFreeMemoryIO& memory, int flags = 0) const;

    // ---- the image's properties (0, null or false without an image)
    BYTE* AccessPixels() const;
    unsigned GetColorsUsed() const;
    unsigned GetImageSize() const;  // bytes of the whole image in memory
    BITMAPINFO* GetInfo() const;
    BITMAPINFOHEADER* GetInfoHeader() const;
    unsigned GetLine() const;      // bytes of pixels in one row
    unsigned GetScanWidth() const; // bytes of one row with its padding
    RGBQUAD* GetPalette() const;
    unsigned GetPaletteSize() const;  // bytes
    // Row y counted from the bottom; null past the last row.
    BYTE* GetScanLine(int row) const;
    bool GetHistogram(DWORD* histogram, FREE_IMAGE_COLOR_CHANNEL channel = FICC_BLACK) const;
    // Dots per centimetre.
    double GetHorizontalResolution() const;
    double GetVerticalResolution() const;
    void SetHorizontalResolution(double value);
    void SetVerticalResolution(double value);
    bool GetFileBkColor(RGBQUAD* colour) const;
    bool SetFileBkColor(RGBQUAD* colour);
    bool HasFileBkColor() const;
    unsigned GetTransparencyCount() const;
    BYTE* GetTransparencyTable() const;
    void SetTransparencyTable(BYTE* table, int count);
    bool SetPixelColor(unsigned x, unsigned y, RGBQUAD* colour);
    bool GetPixelIndex(unsigned x, unsigned y, BYTE* index) const;
    bool SetPixelIndex(unsigned x, unsigned y, BYTE* index);

    // ---- edits in place (Change fires; the library's answer)
    bool AdjustBrightness(double percentage);
    bool AdjustContrast(double percentage);
    bool AdjustGamma(double gamma);
    bool AdjustCurve(BYTE* lookupTable, FREE_IMAGE_COLOR_CHANNEL channel);
    bool Invert();
    bool PasteSubImage(const TFreeBitmap& source, int left, int top, int alpha = 256);
    bool SetChannel(const TFreeBitmap& source, FREE_IMAGE_COLOR_CHANNEL channel);

    // ---- edits that replace the image (false, image kept, when they fail)
    // A copy of the source's image; a missing or empty source clears this one.
    void Assign(const TFreeBitmap* source);
    bool SetDib(FIBITMAP* dib);
    bool ColorQuantize(FREE_IMAGE_QUANTIZE algorithm);
    bool Dither(FREE_IMAGE_DITHER algorithm);
    bool Threshold(BYTE level);
    bool ConvertTo4Bits();
    bool ConvertTo8Bits();
    bool ConvertTo16Bits555();
    bool ConvertTo16Bits565();
    bool ConvertTo32Bits();
    bool ConvertToRGBF();
    bool ConvertToStandardType(bool scaleLinear);
    bool ConvertToType(FREE_IMAGE_TYPE type, bool scaleLinear);
    bool RotateEx(double angle, double shiftX, double shiftY, double originX, double originY, bool useMask);
    bool ToneMapping(FREE_IMAGE_TMO algorithm, double first = 0, double second = 0);

    // ---- channels
    // dest receives the channel as an 8-bit grey image.
    bool GetChannel(TFreeBitmap& dest, FREE_IMAGE_COLOR_CHANNEL channel) const;
    bool SplitChannels(TFreeBitmap& red, TFreeBitmap& green, TFreeBitmap& blue) const;
    // An empty object first becomes 24-bit colour of the red source's size.
    bool CombineChannels(const TFreeBitmap& red, const TFreeBitmap& green, const TFreeBitmap& blue);

    // Colour images below 8 bpp are rescaled as 24 bits, black-and-white and
    // grey ones as 8-bit grey, 16-bit ones as 24 bits. With a destination the
    // result goes there and this image stays as it was.
    bool Rescale(int newWidth, int newHeight, FREE_IMAGE_FILTER filter, TFreeBitmap* dest = nullptr);
    // Shrinks a 24-bit colour image by averaging the area each new pixel
    // covers; any other image, or a size larger on either side, goes
    // through Rescale with the bicubic filter.
    bool ShrinkSmooth(int newWidth, int newHeight);
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

    // For a BMP file whose pixel rows the decoder takes as they stand
    // (uncompressed, bottom-up, 8, 24 or 32 bits per pixel), given its first
    // `size` bytes and its whole size: makes the image that decoding the
    // file would make, its rows still to be filled in (AccessPixels(), one
    // block of GetScanWidth() * GetHeight() bytes), and gives the offset of
    // the rows in the file. False, image unchanged, for any other file, a
    // head that ends before the rows start, or a file too short for its rows.
    bool PrepareBmpRows(const BYTE* head, size_t size, uint64_t fileSize, size_t& rowsOffset);

protected:
    // Installs a new image; false (nothing changed) for null.
    bool Replace(FIBITMAP* newDib);
    virtual bool DoChanging(FIBITMAP* oldDib, FIBITMAP* newDib);
    virtual void Change();
    // Fires Change after an edit in place and passes its result on.
    bool ChangedBy(bool result);

    FIBITMAP* dib_ = nullptr;
};
