#pragma once
// The picture of the thumbnail strip, its items and the fills: it keeps the
// encoded bytes exactly as loaded and decodes them on every use.
#include <QImage>
#include <cstdint>
#include <functional>
#include <string>

#include "controls/GPGraphics.h"
#include "platform/rtl/MemoryStream.h"

class TGDIPPicture {
public:
    TGDIPPicture() = default;
    virtual ~TGDIPPicture() = default;
    TGDIPPicture(const TGDIPPicture&) = delete;
    TGDIPPicture& operator=(const TGDIPPicture&) = delete;

    // Copies the whole stream from its start; a missing or empty stream
    // changes nothing and fires nothing.
    void LoadFromStream(TStream* stream);
    // The same without OnChange (stored form data).
    void ReadData(TStream* stream);
    void SaveToStream(TStream* stream) const;
    void WriteData(TStream* stream) const { SaveToStream(stream); }
    // Takes the size from the file's header; a file that cannot be read
    // leaves the picture empty and fires nothing further.
    void LoadFromFile(const std::string& fileName);
    // The program's "RC_DATA" resource of that name; nothing when missing.
    void LoadFromResourceName(const std::string& name);
    // The "RC_DATA" resource named by the number; throws when missing.
    void LoadFromResourceID(int id);
    // "RES://name" or "FILE://path" (prefix in any case); anything else
    // does nothing.
    void LoadFromURL(const std::string& url);

    // Null empties the picture (OnChange, then OnClear); a picture copies its
    // bytes (itself: nothing happens); a bitmap is kept as BMP bytes.
    void Assign(std::nullptr_t);
    void Assign(const TGDIPPicture* source);
    void Assign(const QImage* bitmap);

    bool Empty() const { return empty_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The size follows the image.
    void SetWidth(int) {}
    void SetHeight(int) {}
    TMemoryStream& Data() const { return data_; }

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }
    // false: the bottom-left pixel's colour is transparent; true: TransparentColor.
    bool TransparentColorMode = false;
    TColor TransparentColor = 0x00FFFFFF;
    // The identifying text the picture cache compares.
    std::string ID;

    // Decodes and caches the size (0 × 0 when the bytes do not decode);
    // false when there is nothing to decode.
    bool GetImageSizes();
    void GetImageSizesFromFileName(const std::string& fileName);

    // Draws on a painter: BMP images at their own size with the bottom-left
    // colour transparent, other images stretched into the rectangle.
    void Draw(QPainter* canvas, const TRect& rect);
    // Draws on a surface: a transparent BMP at its own size keyed on its
    // transparent colour, anything else stretched into the rectangle.
    void GDIPDraw(TGPGraphics* graphics, const TRect& rect);
    // Fills with the image as a tiled texture from the surface's origin.
    void FillPath(TGPGraphics* graphics, TGPGraphicsPath* path);
    void FillRect(TGPGraphics* graphics, const TGPRectF& rect);

    // What GDIPDraw last drew.
    int PixelDepth = 0;
    bool HasAlpha = false;
    bool HasPalette = false;
    int PixelFormatValue = 0;

    std::function<void()> OnChange;
    std::function<void()> OnClear;

private:
    void Changed()
    {
        if (OnChange)
            OnChange();
    }
    void Cleared()
    {
        if (OnClear)
            OnClear();
    }
    void CopyFrom(TStream& stream);
    // Runs the work with the decoded image; false when there is nothing to
    // decode.
    bool WithImage(const std::function<void(TGPImage&)>& work) const;
    void FillWithTexture(TGPGraphics* graphics, const std::function<void(TGPBrush&)>& fill);

    mutable TMemoryStream data_;  // the stream API has no const size
    bool empty_ = true;
    bool transparent_ = false;
    int width_ = 0;
    int height_ = 0;
};

// Pixel sizes from the first bytes of a file, without decoding it. All give
// 0 × 0 for a file that cannot be read, is short or is of another kind.
void GetJPGSize(const std::string& fileName, uint32_t& width, uint32_t& height);
void GetPNGSize(const std::string& fileName, uint32_t& width, uint32_t& height);
// The first image's size, found by walking the blocks.
void GetGIFSize(const std::string& fileName, uint32_t& width, uint32_t& height);
// Heights of top-down files come out positive.
void GetBMPSize(const std::string& fileName, uint32_t& width, uint32_t& height);
// Either byte order.
void GetTifSize(const std::string& fileName, uint32_t& width, uint32_t& height);
// The largest entry of at most 128 × 128.
void GetICOSize(const std::string& fileName, uint32_t& width, uint32_t& height);

using ImageSizeReader = void (*)(const std::string& fileName, uint32_t& width, uint32_t& height);
// The header reader of an upper-case file extension without its dot ("JPG",
// "TIFF", "ICO", ...); null for an extension without one (".TIF" has none).
ImageSizeReader FindImageSizeReader(const std::string& extension);
