#include "FreeImage/FreeBitmap.h"

#include <QFile>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <vector>

#include "FreeImage/DecoderReport.h"
#include "FreeImage/ExifOrientation.h"
#include "FreeImage/FreeImageLibrary.h"
#include "FreeImage/FreeMemoryIO.h"
#include "FreeImage/LaterBmpHeader.h"
#include "FreeImage/SrgbPixels.h"
#include "platform/picture/DecoderInput.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/PrefixedBlockStream.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/Stream.h"

namespace {

// Images of 16 bits per channel, floating-point colour (HDR, EXR, float
// TIFF) and other sample kinds cannot be shown or stored as BMP, so an
// artwork holding one could never be saved in a portfolio; bring them down
// to the standard depth of the same kind. When that fails the original
// stays, which is still a valid (if less useful) image.
FIBITMAP* ToEightBitsPerChannel(FIBITMAP* dib)
{
    if (!dib)
        return nullptr;
    FIBITMAP* converted = nullptr;
    switch (FreeImage_GetImageType(dib)) {
    case FIT_BITMAP:
        return dib;
    case FIT_RGB16:
        converted = FreeImage_ConvertTo24Bits(dib);
        break;
    case FIT_RGBA16:
        converted = FreeImage_ConvertTo32Bits(dib);
        break;
    case FIT_UINT16:
        converted = FreeImage_ConvertTo8Bits(dib);
        break;
    case FIT_RGBF:
    case FIT_RGBAF:
        // High dynamic range: the library's tone mapping keeps highlights
        // and shadows visible where a plain clamp would burn them out.
        converted = FreeImage_ToneMapping(dib, FITMO_DRAGO03, 0, 0);
        break;
    default:
        // One sample per pixel (signed, 32-bit, floating point, complex):
        // grey, scaled linearly over the image's own range.
        converted = FreeImage_ConvertToStandardType(dib, TRUE);
        break;
    }
    if (!converted)
        return dib;
    FreeImage_Unload(dib);
    return converted;
}

void TakeHeader(FIBITMAP* dib, TFreeBitmap::Header& out)
{
    out.width = FreeImage_GetWidth(dib);
    out.height = FreeImage_GetHeight(dib);
    out.bitsPerPixel = static_cast<int>(FreeImage_GetBPP(dib));
}

// Skips a run of GIF data sub-blocks (a length byte, that many bytes, ...,
// a zero length); false when the data ends first.
bool SkipGifSubBlocks(const BYTE* data, size_t size, size_t& at)
{
    while (at < size) {
        const BYTE length = data[at++];
        if (length == 0)
            return true;
        at += length;
    }
    return false;
}

// The GIF reader cannot stop after a header, and each frame carries a size
// of its own that the reader allocates whatever the logical screen says: a
// few bytes can promise gigabytes. The header reports the largest of the
// screen and every frame, so that no frame escapes the limits.
bool GifHeader(const BYTE* data, size_t size, TFreeBitmap::Header& out)
{
    constexpr size_t kScreenEnd = 13;  // signature and logical screen descriptor
    if (size < kScreenEnd)
        return false;
    const auto word = [data](size_t at) { return int64_t(data[at] | (data[at + 1] << 8)); };
    out.width = word(6);
    out.height = word(8);
    out.bitsPerPixel = 8;
    const auto take = [&out](int64_t width, int64_t height) {
        if (width * height > out.width * out.height) {
            out.width = width;
            out.height = height;
        }
    };
    size_t at = kScreenEnd;
    if (data[10] & 0x80)
        at += size_t{3} << ((data[10] & 7) + 1);
    bool frames = false;
    while (at < size) {
        const BYTE block = data[at++];
        if (block == 0x3B)  // trailer
            break;
        if (block == 0x21) {  // extension: label, then sub-blocks
            ++at;
            if (!SkipGifSubBlocks(data, size, at))
                break;
        } else if (block == 0x2C) {  // image descriptor
            if (size - at < 9)
                break;
            take(word(at + 4), word(at + 6));
            frames = true;
            const BYTE packed = data[at + 8];
            at += 9;
            if (packed & 0x80)
                at += size_t{3} << ((packed & 7) + 1);
            ++at;  // LZW minimum code size
            if (at > size || !SkipGifSubBlocks(data, size, at))
                break;
        } else {
            break;
        }
    }
    return frames;
}

}  // namespace

bool TFreeBitmap::IsArtworkFormat(FREE_IMAGE_FORMAT format)
{
    switch (format) {
    case FIF_JPEG:
    case FIF_PNG:
    case FIF_BMP:
    case FIF_TIFF:
    case FIF_GIF:
        return true;
    default:
        return false;
    }
}

namespace {

// The header of bytes fit for the decoder (see TDecoderInput).
bool HeaderOf(const BYTE* data, DWORD size, TFreeBitmap::Header& out)
{
    EnsureFreeImageInitialised();
    out = TFreeBitmap::Header{};
    if (!data || size == 0)
        return false;
    TFreeMemoryIO memory(const_cast<BYTE*>(data), size);
    out.format = memory.GetFileType();
    if (!TFreeBitmap::IsArtworkFormat(out.format) || !FreeImage_FIFSupportsReading(out.format))
        return false;
    if (out.format == FIF_GIF)
        return GifHeader(data, size, out);
    if (const auto later = ReadLaterBmpHeader(data, size)) {
        out.width = later->width;
        out.height = later->height;
        out.bitsPerPixel = later->bitsPerPixel;
        return true;
    }
    if (!FreeImage_FIFSupportsNoPixels(out.format))
        return false;
    FIBITMAP* dib = memory.Read(out.format, FIF_LOAD_NOPIXELS);
    if (!dib)
        return false;
    TakeHeader(dib, out);
    FreeImage_Unload(dib);
    return true;
}

}  // namespace

bool TFreeBitmap::Header::WithinLimits() const
{
    return width >= 0 && height >= 0 && width * height <= kMaxPixels && DecodedBytes() <= kMaxDecodedBytes;
}

bool TFreeBitmap::ReadHeader(const BYTE* data, DWORD size, Header& out)
{
    out = Header{};
    if (!data || size == 0)
        return false;
    const TDecoderInput input(data, size);
    if (!input.Refusal().empty()) {
        out.refusal = input.Refusal();
        return false;
    }
    return HeaderOf(input.Data(), DWORD(input.Size()), out);
}

TFreeBitmap::TFreeBitmap(FREE_IMAGE_TYPE imageType, int width, int height, int bpp)
{
    EnsureFreeImageInitialised();
    if (width >= 1 && height >= 1 && bpp >= 1)
        SetSize(imageType, width, height, bpp);
}

TFreeBitmap::~TFreeBitmap()
{
    if (dib_)
        FreeImage_Unload(dib_);
}

void TFreeBitmap::Clear()
{
    if (!dib_)
        return;
    FreeImage_Unload(dib_);
    dib_ = nullptr;
    Change();
}

bool TFreeBitmap::Load(const std::string& fileName, int flags)
{
    TMemoryStream bytes;
    try {
        bytes.LoadFromFile(fileName, kMaxFileBytes);
    } catch (const Exception&) {
        return false;
    }
    return LoadFromStream(bytes, flags);
}

bool TFreeBitmap::LoadFromStream(TStream& stream, int flags)
{
    if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
        const int64_t size = memory->GetSize();
        if (size <= 0 || size > std::numeric_limits<DWORD>::max())
            return false;
        // As with any stream, GetSize() bytes must follow the position.
        if (memory->GetPosition() != 0)
            throw EReadError("Stream read error");
        memory->SetPosition(size);
        return LoadFromMemory(memory->Memory(), static_cast<DWORD>(size), flags);
    }
    const int64_t size = stream.GetSize();
    if (size <= 0 || size > std::numeric_limits<DWORD>::max())
        return false;
    // A memory stream read from its start is decoded where it lies.
    if (auto* memoryStream = dynamic_cast<TMemoryStream*>(&stream); memoryStream && memoryStream->GetPosition() == 0) {
        memoryStream->SetPosition(size);
        return LoadFromMemory(memoryStream->Memory(), static_cast<DWORD>(size), flags);
    }
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    stream.ReadBuffer(buffer.data(), size);
    return LoadFromMemory(buffer.data(), static_cast<DWORD>(size), flags);
}

bool TFreeBitmap::LoadFromMemory(const BYTE* data, DWORD size, int flags)
{
    // Neither the header read nor the decode sees what only metadata
    // readers would read; orientation and colour come from the file itself.
    const TDecoderInput input(data, size);
    Header header;
    if (!input.Refusal().empty() || !HeaderOf(input.Data(), DWORD(input.Size()), header) || !header.WithinLimits())
        return false;
    if (const auto later = ReadLaterBmpHeader(data, size)) {
        const std::vector<BYTE> old = WithOldBmpHeader(data, size);
        if (!LoadFromMemory(old.data(), DWORD(old.size()), flags))
            return false;
        if (later->opaque && !ConvertTo24Bits()) {
            Clear();
            return false;
        }
        // The colour profile such a bitmap may carry is in the original only.
        dib_ = PixelsToSrgb(dib_, data, size);
        return true;
    }
    TFreeMemoryIO memory(const_cast<BYTE*>(input.Data()), DWORD(input.Size()));
    if (dib_) {
        FreeImage_Unload(dib_);
        dib_ = nullptr;
    }
    const int fileOrientation = header.format == FIF_TIFF   ? TiffOrientation(data, size)
                                : header.format == FIF_JPEG ? JpegOrientation(data, size)
                                                            : 1;
    FIBITMAP* decoded = nullptr;
    {
        TDecoderReport report;
        decoded = memory.Read(header.format, flags);
        // Rows the file never held are not a picture of it.
        if (decoded && report.Incomplete()) {
            FreeImage_Unload(decoded);
            decoded = nullptr;
        }
    }
    dib_ = TurnUpright(PixelsToSrgb(ToEightBitsPerChannel(decoded), data, size), fileOrientation);
    Change();
    return IsValid();
}

bool TFreeBitmap::PrepareBmpRows(const BYTE* head, size_t size, uint64_t fileSize, size_t& rowsOffset)
{
    constexpr size_t kHeaders = 14 + 40;
    if (!head || size < kHeaders || head[0] != 'B' || head[1] != 'M')
        return false;
    const auto word = [head](size_t at) { return uint32_t(head[at] | (head[at + 1] << 8)); };
    const auto dword = [head](size_t at) {
        return uint32_t(head[at]) | (uint32_t(head[at + 1]) << 8) | (uint32_t(head[at + 2]) << 16) |
               (uint32_t(head[at + 3]) << 24);
    };
    const uint32_t offset = dword(10);
    const int32_t width = int32_t(dword(18));
    const int32_t height = int32_t(dword(22));
    const uint32_t bpp = word(28);
    // Only the plain forms: anything else (top-down rows, run-length or
    // bit-field data, other header versions) goes through the decoder.
    if (dword(14) != 40 || word(26) != 1 || dword(30) != 0 || (bpp != 8 && bpp != 24 && bpp != 32) ||
        width <= 0 || height <= 0 || offset < kHeaders || offset > size)
        return false;
    Header header{FIF_BMP, width, height, int(bpp)};
    const uint64_t pitch = ((uint64_t(width) * bpp + 31) / 32) * 4;
    if (!header.WithinLimits() || fileSize < offset || fileSize - offset < pitch * uint64_t(height))
        return false;

    // The decoder itself, shown the same headers over a single row, says
    // what the image is (palette, masks, resolution, transparency); only
    // its rows are left to fill.
    std::vector<BYTE> oneRow(head, head + offset);
    oneRow.resize(offset + size_t(pitch), 0);
    const auto put = [&oneRow](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            oneRow[at + size_t(i)] = BYTE(value >> (8 * i));
    };
    put(2, uint32_t(oneRow.size()));
    put(22, 1);
    put(34, uint32_t(pitch));
    TFreeBitmap model;
    if (!model.LoadFromMemory(oneRow.data(), DWORD(oneRow.size())))
        return false;
    FIBITMAP* shape = model.dib_;
    if (FreeImage_GetImageType(shape) != FIT_BITMAP || FreeImage_GetBPP(shape) != bpp ||
        FreeImage_GetWidth(shape) != unsigned(width) || FreeImage_GetPitch(shape) != pitch)
        return false;
    FIBITMAP* dib = FreeImage_AllocateT(FIT_BITMAP, width, height, int(bpp), FreeImage_GetRedMask(shape),
                                        FreeImage_GetGreenMask(shape), FreeImage_GetBlueMask(shape));
    if (!dib)
        return false;
    // The rows must lie one after the other, bottom row first, as the file
    // has them.
    if (height > 1 && FreeImage_GetScanLine(dib, 1) - FreeImage_GetScanLine(dib, 0) != ptrdiff_t(pitch)) {
        FreeImage_Unload(dib);
        return false;
    }
    if (RGBQUAD* palette = FreeImage_GetPalette(shape))
        std::memcpy(FreeImage_GetPalette(dib), palette, FreeImage_GetColorsUsed(shape) * sizeof(RGBQUAD));
    FreeImage_SetDotsPerMeterX(dib, FreeImage_GetDotsPerMeterX(shape));
    FreeImage_SetDotsPerMeterY(dib, FreeImage_GetDotsPerMeterY(shape));
    if (FreeImage_GetTransparencyCount(shape) > 0)
        FreeImage_SetTransparencyTable(dib, FreeImage_GetTransparencyTable(shape),
                                       int(FreeImage_GetTransparencyCount(shape)));
    FreeImage_SetTransparent(dib, FreeImage_IsTransparent(shape));
    RGBQUAD background;
    if (FreeImage_GetBackgroundColor(shape, &background))
        FreeImage_SetBackgroundColor(dib, &background);
    FreeImage_CloneMetadata(dib, shape);
    rowsOffset = offset;
    return Replace(dib);
}

bool TFreeBitmap::LoadFromMemory(TFreeMemoryIO& memory, int flags)
{
    // The same header check as every other load: a memory stream can hold an
    // image bomb as well as a file can.
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!memory.Acquire(&data, &size) || !data)
        return false;
    return LoadFromMemory(data, size, flags);
}

bool TFreeBitmap::SaveToMemory(FREE_IMAGE_FORMAT format, TFreeMemoryIO& memory, int flags) const
{
    return CanSave(format) && memory.Write(format, dib_, flags);
}

bool TFreeBitmap::LoadU(const std::u16string& fileName, int flags)
{
    return Load(QFile::encodeName(QString::fromStdU16String(fileName)).toStdString(), flags);
}

bool TFreeBitmap::SaveU(const std::u16string& fileName, int flags)
{
    return Save(QFile::encodeName(QString::fromStdU16String(fileName)).toStdString(), flags);
}

bool TFreeBitmap::LoadFromHandle(FreeImageIO* io, fi_handle handle, int flags)
{
    if (!io)
        return false;
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromHandle(io, handle, 0);
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format))
        return false;
    if (dib_) {
        FreeImage_Unload(dib_);
        dib_ = nullptr;
    }
    dib_ = ToEightBitsPerChannel(FreeImage_LoadFromHandle(format, io, handle, flags));
    Change();
    return IsValid();
}

bool TFreeBitmap::SaveToHandle(FREE_IMAGE_FORMAT format, FreeImageIO* io, fi_handle handle, int flags) const
{
    return io && CanSave(format) && FreeImage_SaveToHandle(format, dib_, io, handle, flags);
}

FREE_IMAGE_FORMAT TFreeBitmap::FormatFromFileName(const std::string& fileName)
{
    // The library splits its extension lists with strtok, whose one hidden
    // buffer two threads writing artworks at once would share.
    static std::mutex lookup;
    std::lock_guard lock(lookup);
    return FreeImage_GetFIFFromFilename(fileName.c_str());
}

bool TFreeBitmap::Save(const std::string& fileName, int flags)
{
    const FREE_IMAGE_FORMAT format = FormatFromFileName(fileName);
    if (!CanSave(format))
        return false;
    // Encoding to memory first means a refused or failed encode writes
    // nothing, and write errors are seen (the library ignores them on files).
    TFreeMemoryIO memory;
    if (!memory.Write(format, dib_, flags))
        return false;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!memory.Acquire(&data, &size))
        return false;
    return SafeWriteFile(fileName, data, size);
}

namespace {

// The library's input and output over one of our streams, so that a bitmap
// of many megabytes is written once, straight into the stream, not first
// into a buffer of the library's own. What the stream raises is kept and
// raised again once the library has given up.
struct StreamHandle {
    TStream& stream;
    std::exception_ptr error;

    template <typename Call>
    auto Guard(Call call, decltype(call()) failed) -> decltype(call())
    {
        if (error)
            return failed;
        try {
            return call();
        } catch (...) {
            error = std::current_exception();
            return failed;
        }
    }
};

unsigned StreamRead(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto& h = *static_cast<StreamHandle*>(handle);
    return h.Guard(
        [&] { return size ? static_cast<unsigned>(h.stream.Read(buffer, int64_t(size) * count) / size) : 0u; }, 0u);
}

unsigned StreamWrite(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto& h = *static_cast<StreamHandle*>(handle);
    const int64_t bytes = int64_t(size) * count;
    return h.Guard([&] { return h.stream.Write(buffer, bytes) == bytes ? count : 0u; }, 0u);
}

int StreamSeek(fi_handle handle, long offset, int origin)
{
    auto& h = *static_cast<StreamHandle*>(handle);
    const TSeekOrigin from = origin == SEEK_CUR   ? TSeekOrigin::soCurrent
                             : origin == SEEK_END ? TSeekOrigin::soEnd
                                                  : TSeekOrigin::soBeginning;
    return h.Guard([&] { return h.stream.Seek(offset, from) >= 0 ? 0 : -1; }, -1);
}

long StreamTell(fi_handle handle)
{
    auto& h = *static_cast<StreamHandle*>(handle);
    return h.Guard([&] { return static_cast<long>(h.stream.GetPosition()); }, -1L);
}

// The file header in front of what FreeImage_GetDIBSize counts.
constexpr int64_t kBitmapFileHeaderSize = 14;

}  // namespace

bool TFreeBitmap::SaveToStream(FREE_IMAGE_FORMAT format, TStream& stream, int flags)
{
    // A bitmap file is its header and the image as held: room for it all
    // at once spares growing the block step by step.
    if (auto* memory = dynamic_cast<TMemoryStream*>(&stream); memory && format == FIF_BMP)
        memory->Reserve(memory->GetPosition() + kBitmapFileHeaderSize + int64_t(FreeImage_GetDIBSize(dib_)));
    FreeImageIO io{StreamRead, StreamWrite, StreamSeek, StreamTell};
    StreamHandle handle{stream, nullptr};
    const bool saved = SaveToHandle(format, &io, &handle, flags);
    if (handle.error)
        std::rethrow_exception(handle.error);
    return saved;
}

namespace {

// Takes what the BMP writer hands over: the headers (and palette) are
// copied, the pixel rows only noted as long as they are one run of the
// image's own memory, in order.
struct ReferencingHandle {
    const uint8_t* pixels;
    size_t pixelBytes;
    std::vector<uint8_t> head;
    const uint8_t* body = nullptr;
    size_t bodySize = 0;
    bool usable = true;
};

unsigned ReferencingWrite(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto& h = *static_cast<ReferencingHandle*>(handle);
    const size_t bytes = size_t(size) * count;
    const auto* data = static_cast<const uint8_t*>(buffer);
    const bool inPixels = data >= h.pixels && data + bytes <= h.pixels + h.pixelBytes;
    if (!h.usable || bytes == 0) {
    } else if (inPixels && (!h.body || data == h.body + h.bodySize)) {
        h.body = h.body ? h.body : data;
        h.bodySize += bytes;
    } else if (!h.body && !inPixels) {
        h.head.insert(h.head.end(), data, data + bytes);
    } else {
        // Rows out of order, converted or padded: only a copy is right.
        h.usable = false;
    }
    return count;
}

unsigned ReferencingRead(void*, unsigned, unsigned, fi_handle) { return 0; }

int ReferencingSeek(fi_handle handle, long, int)
{
    // The writer never needs to go back; one that does gets a copy.
    static_cast<ReferencingHandle*>(handle)->usable = false;
    return -1;
}

long ReferencingTell(fi_handle handle)
{
    const auto& h = *static_cast<ReferencingHandle*>(handle);
    return long(h.head.size() + h.bodySize);
}

}  // namespace

bool TFreeBitmap::SaveBmpReferencing(TPrefixedBlockStream& stream) const
{
    if (!dib_ || !FreeImage_HasPixels(dib_))
        return false;
    const auto* pixels = static_cast<const uint8_t*>(FreeImage_GetBits(dib_));
    ReferencingHandle handle{pixels, size_t(FreeImage_GetPitch(dib_)) * FreeImage_GetHeight(dib_), {}, nullptr, 0};
    FreeImageIO io{ReferencingRead, ReferencingWrite, ReferencingSeek, ReferencingTell};
    if (!SaveToHandle(FIF_BMP, &io, &handle, 0) || !handle.usable || !handle.body)
        return false;
    stream = TPrefixedBlockStream(std::move(handle.head), handle.body, handle.bodySize);
    return true;
}

bool TFreeBitmap::CanSave(FREE_IMAGE_FORMAT format) const
{
    if (!dib_ || format == FIF_UNKNOWN)
        return false;
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib_);
    if (type == FIT_BITMAP)
        return FreeImage_FIFSupportsWriting(format) &&
               FreeImage_FIFSupportsExportBPP(format, static_cast<int>(FreeImage_GetBPP(dib_)));
    return FreeImage_FIFSupportsExportType(format, type);
}

int TFreeBitmap::GetWidth() const
{
    return dib_ ? static_cast<int>(FreeImage_GetWidth(dib_)) : 0;
}

int TFreeBitmap::GetHeight() const
{
    return dib_ ? static_cast<int>(FreeImage_GetHeight(dib_)) : 0;
}

int TFreeBitmap::GetBitsPerPixel() const
{
    return dib_ ? static_cast<int>(FreeImage_GetBPP(dib_)) : 0;
}

FREE_IMAGE_TYPE TFreeBitmap::GetImageType() const
{
    return dib_ ? FreeImage_GetImageType(dib_) : FIT_UNKNOWN;
}

FREE_IMAGE_COLOR_TYPE TFreeBitmap::GetColorType() const
{
    return dib_ ? FreeImage_GetColorType(dib_) : FIC_MINISBLACK;
}

bool TFreeBitmap::IsGrayScale() const
{
    return dib_ && FreeImage_GetBPP(dib_) == 8 && FreeImage_GetColorType(dib_) == FIC_MINISBLACK;
}

bool TFreeBitmap::IsTransparent() const
{
    return dib_ && FreeImage_IsTransparent(dib_);
}

bool TFreeBitmap::GetPixelColor(unsigned x, unsigned y, RGBQUAD* colour) const
{
    return dib_ && colour && FreeImage_GetPixelColor(dib_, x, y, colour);
}

bool TFreeBitmap::ConvertTo24Bits()
{
    return dib_ && Replace(FreeImage_ConvertTo24Bits(dib_));
}

bool TFreeBitmap::ConvertToGrayscale()
{
    return dib_ && Replace(FreeImage_ConvertToGreyscale(dib_));
}

bool TFreeBitmap::SetSize(FREE_IMAGE_TYPE imageType, int width, int height, int bpp,
                          unsigned redMask, unsigned greenMask, unsigned blueMask)
{
    // Allocate before releasing, so a failed allocation keeps the old image.
    FIBITMAP* fresh = FreeImage_AllocateT(imageType, width, height, bpp, redMask, greenMask, blueMask);
    if (!fresh)
        return false;
    if (imageType == FIT_BITMAP && (bpp == 1 || bpp == 4 || bpp == 8)) {
        RGBQUAD* palette = FreeImage_GetPalette(fresh);
        const unsigned colours = FreeImage_GetColorsUsed(fresh);
        for (unsigned i = 0; palette && i < colours; ++i) {
            // Spread the greys over the whole range, as the library's own
            // grey palettes do, whatever the palette's length.
            const BYTE grey = static_cast<BYTE>(colours > 1 ? i * 255 / (colours - 1) : 0);
            palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = grey;
            palette[i].rgbReserved = 0;
        }
    }
    if (dib_)
        FreeImage_Unload(dib_);
    dib_ = fresh;
    Change();
    return true;
}

bool TFreeBitmap::Rescale(int newWidth, int newHeight, FREE_IMAGE_FILTER filter, TFreeBitmap* dest)
{
    if (!dib_)
        return false;
    FIBITMAP* converted = nullptr;
    if (FreeImage_GetImageType(dib_) == FIT_BITMAP) {
        const unsigned bpp = FreeImage_GetBPP(dib_);
        if (bpp < 8) {
            const FREE_IMAGE_COLOR_TYPE colourType = FreeImage_GetColorType(dib_);
            const bool grey = colourType == FIC_MINISBLACK || colourType == FIC_MINISWHITE;
            converted = grey ? FreeImage_ConvertToGreyscale(dib_) : FreeImage_ConvertTo24Bits(dib_);
            if (!converted)
                return false;
        } else if (bpp == 16) {
            converted = FreeImage_ConvertTo24Bits(dib_);
            if (!converted)
                return false;
        }
    }
    FIBITMAP* result = FreeImage_Rescale(converted ? converted : dib_, newWidth, newHeight, filter);
    if (converted)
        FreeImage_Unload(converted);
    return (dest ? dest : this)->Replace(result);
}

bool TFreeBitmap::Rotate(double angle)
{
    if (!dib_)
        return false;
    // The library's rotation takes no 4- or 16-bit bitmaps; widen those to
    // the nearest depth it handles without losing colours.
    FIBITMAP* converted = nullptr;
    if (FreeImage_GetImageType(dib_) == FIT_BITMAP) {
        const unsigned bpp = FreeImage_GetBPP(dib_);
        if (bpp == 4)
            converted = FreeImage_ConvertTo8Bits(dib_);
        else if (bpp == 16)
            converted = FreeImage_ConvertTo24Bits(dib_);
        if ((bpp == 4 || bpp == 16) && !converted)
            return false;
    }
    FIBITMAP* source = converted ? converted : dib_;
    const unsigned bpp = FreeImage_GetBPP(source);
    FIBITMAP* result = nullptr;
    if (bpp == 1 || bpp == 8 || bpp == 24 || bpp == 32)
        result = FreeImage_Rotate(source, angle, nullptr);
    if (converted)
        FreeImage_Unload(converted);
    return Replace(result);
}

bool TFreeBitmap::FlipHorizontal()
{
    if (!dib_)
        return false;
    const bool result = FreeImage_FlipHorizontal(dib_);
    Change();
    return result;
}

bool TFreeBitmap::FlipVertical()
{
    if (!dib_)
        return false;
    const bool result = FreeImage_FlipVertical(dib_);
    Change();
    return result;
}

bool TFreeBitmap::CopySubImage(int left, int top, int right, int bottom, TFreeBitmap* dest) const
{
    if (!dib_ || !dest)
        return false;
    FIBITMAP* sub = FreeImage_Copy(dib_, left, top, right, bottom);
    if (dest->dib_)
        FreeImage_Unload(dest->dib_);
    dest->dib_ = sub;
    return dest->IsValid();
}

bool TFreeBitmap::Replace(FIBITMAP* newDib)
{
    if (!newDib)
        return false;
    if (!DoChanging(dib_, newDib) && dib_ && dib_ != newDib)
        FreeImage_Unload(dib_);
    dib_ = newDib;
    Change();
    return true;
}

bool TFreeBitmap::DoChanging(FIBITMAP* oldDib, FIBITMAP* newDib)
{
    bool handled = false;
    if (oldDib != newDib && OnChanging)
        OnChanging(this, oldDib, newDib, handled);
    return handled;
}

void TFreeBitmap::Change()
{
    if (OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------- properties

BYTE* TFreeBitmap::AccessPixels() const
{
    return dib_ ? FreeImage_GetBits(dib_) : nullptr;
}

unsigned TFreeBitmap::GetColorsUsed() const
{
    return dib_ ? FreeImage_GetColorsUsed(dib_) : 0;
}

unsigned TFreeBitmap::GetImageSize() const
{
    return dib_ ? FreeImage_GetDIBSize(dib_) : 0;
}

BITMAPINFO* TFreeBitmap::GetInfo() const
{
    return dib_ ? FreeImage_GetInfo(dib_) : nullptr;
}

BITMAPINFOHEADER* TFreeBitmap::GetInfoHeader() const
{
    return dib_ ? FreeImage_GetInfoHeader(dib_) : nullptr;
}

unsigned TFreeBitmap::GetLine() const
{
    return dib_ ? FreeImage_GetLine(dib_) : 0;
}

unsigned TFreeBitmap::GetScanWidth() const
{
    return dib_ ? FreeImage_GetPitch(dib_) : 0;
}

RGBQUAD* TFreeBitmap::GetPalette() const
{
    return dib_ ? FreeImage_GetPalette(dib_) : nullptr;
}

unsigned TFreeBitmap::GetPaletteSize() const
{
    return GetColorsUsed() * sizeof(RGBQUAD);
}

BYTE* TFreeBitmap::GetScanLine(int row) const
{
    if (!dib_ || row < 0 || row >= static_cast<int>(FreeImage_GetHeight(dib_)))
        return nullptr;
    return FreeImage_GetScanLine(dib_, row);
}

bool TFreeBitmap::GetHistogram(DWORD* histogram, FREE_IMAGE_COLOR_CHANNEL channel) const
{
    return dib_ && histogram && FreeImage_GetHistogram(dib_, histogram, channel);
}

double TFreeBitmap::GetHorizontalResolution() const
{
    return dib_ ? FreeImage_GetDotsPerMeterX(dib_) / 100.0 : 0;
}

double TFreeBitmap::GetVerticalResolution() const
{
    return dib_ ? FreeImage_GetDotsPerMeterY(dib_) / 100.0 : 0;
}

void TFreeBitmap::SetHorizontalResolution(double value)
{
    if (!dib_)
        return;
    FreeImage_SetDotsPerMeterX(dib_, static_cast<unsigned>(std::trunc(value * 100 + 0.5)));
    Change();
}

void TFreeBitmap::SetVerticalResolution(double value)
{
    if (!dib_)
        return;
    FreeImage_SetDotsPerMeterY(dib_, static_cast<unsigned>(std::trunc(value * 100 + 0.5)));
    Change();
}

bool TFreeBitmap::GetFileBkColor(RGBQUAD* colour) const
{
    return dib_ && colour && FreeImage_GetBackgroundColor(dib_, colour);
}

bool TFreeBitmap::SetFileBkColor(RGBQUAD* colour)
{
    return dib_ && FreeImage_SetBackgroundColor(dib_, colour);
}

bool TFreeBitmap::HasFileBkColor() const
{
    return dib_ && FreeImage_HasBackgroundColor(dib_);
}

unsigned TFreeBitmap::GetTransparencyCount() const
{
    return dib_ ? FreeImage_GetTransparencyCount(dib_) : 0;
}

BYTE* TFreeBitmap::GetTransparencyTable() const
{
    return dib_ ? FreeImage_GetTransparencyTable(dib_) : nullptr;
}

void TFreeBitmap::SetTransparencyTable(BYTE* table, int count)
{
    if (dib_)
        FreeImage_SetTransparencyTable(dib_, table, count);
}

bool TFreeBitmap::SetPixelColor(unsigned x, unsigned y, RGBQUAD* colour)
{
    return dib_ && colour && FreeImage_SetPixelColor(dib_, x, y, colour);
}

bool TFreeBitmap::GetPixelIndex(unsigned x, unsigned y, BYTE* index) const
{
    return dib_ && index && FreeImage_GetPixelIndex(dib_, x, y, index);
}

bool TFreeBitmap::SetPixelIndex(unsigned x, unsigned y, BYTE* index)
{
    return dib_ && index && FreeImage_SetPixelIndex(dib_, x, y, index);
}

// ---------------------------------------------------------------- edits in place

bool TFreeBitmap::ChangedBy(bool result)
{
    Change();
    return result;
}

bool TFreeBitmap::AdjustBrightness(double percentage)
{
    return dib_ && ChangedBy(FreeImage_AdjustBrightness(dib_, percentage));
}

bool TFreeBitmap::AdjustContrast(double percentage)
{
    return dib_ && ChangedBy(FreeImage_AdjustContrast(dib_, percentage));
}

bool TFreeBitmap::AdjustGamma(double gamma)
{
    return dib_ && ChangedBy(FreeImage_AdjustGamma(dib_, gamma));
}

bool TFreeBitmap::AdjustCurve(BYTE* lookupTable, FREE_IMAGE_COLOR_CHANNEL channel)
{
    return dib_ && lookupTable && ChangedBy(FreeImage_AdjustCurve(dib_, lookupTable, channel));
}

bool TFreeBitmap::Invert()
{
    return dib_ && ChangedBy(FreeImage_Invert(dib_));
}

bool TFreeBitmap::PasteSubImage(const TFreeBitmap& source, int left, int top, int alpha)
{
    return dib_ && source.dib_ && ChangedBy(FreeImage_Paste(dib_, source.dib_, left, top, alpha));
}

bool TFreeBitmap::SetChannel(const TFreeBitmap& source, FREE_IMAGE_COLOR_CHANNEL channel)
{
    return dib_ && source.dib_ && ChangedBy(FreeImage_SetChannel(dib_, source.dib_, channel));
}

// ---------------------------------------------------------------- replacing edits

void TFreeBitmap::Assign(const TFreeBitmap* source)
{
    if (source == this)
        return;
    if (!source || !source->dib_) {
        Clear();
        return;
    }
    Replace(FreeImage_Clone(source->dib_));
}

bool TFreeBitmap::SetDib(FIBITMAP* dib)
{
    return Replace(dib);
}

bool TFreeBitmap::ColorQuantize(FREE_IMAGE_QUANTIZE algorithm)
{
    return dib_ && Replace(FreeImage_ColorQuantize(dib_, algorithm));
}

bool TFreeBitmap::Dither(FREE_IMAGE_DITHER algorithm)
{
    return dib_ && Replace(FreeImage_Dither(dib_, algorithm));
}

bool TFreeBitmap::Threshold(BYTE level)
{
    return dib_ && Replace(FreeImage_Threshold(dib_, level));
}

bool TFreeBitmap::ConvertTo4Bits()
{
    return dib_ && Replace(FreeImage_ConvertTo4Bits(dib_));
}

bool TFreeBitmap::ConvertTo8Bits()
{
    return dib_ && Replace(FreeImage_ConvertTo8Bits(dib_));
}

bool TFreeBitmap::ConvertTo16Bits555()
{
    return dib_ && Replace(FreeImage_ConvertTo16Bits555(dib_));
}

bool TFreeBitmap::ConvertTo16Bits565()
{
    return dib_ && Replace(FreeImage_ConvertTo16Bits565(dib_));
}

bool TFreeBitmap::ConvertTo32Bits()
{
    return dib_ && Replace(FreeImage_ConvertTo32Bits(dib_));
}

bool TFreeBitmap::ConvertToRGBF()
{
    if (!dib_)
        return false;
    // The library takes standard bitmaps from 24 bits up only.
    if (FreeImage_GetImageType(dib_) == FIT_BITMAP && FreeImage_GetBPP(dib_) < 24 && !ConvertTo24Bits())
        return false;
    return Replace(FreeImage_ConvertToRGBF(dib_));
}

bool TFreeBitmap::ConvertToStandardType(bool scaleLinear)
{
    return dib_ && Replace(FreeImage_ConvertToStandardType(dib_, scaleLinear));
}

bool TFreeBitmap::ConvertToType(FREE_IMAGE_TYPE type, bool scaleLinear)
{
    return dib_ && Replace(FreeImage_ConvertToType(dib_, type, scaleLinear));
}

bool TFreeBitmap::RotateEx(double angle, double shiftX, double shiftY, double originX, double originY, bool useMask)
{
    if (!dib_ || FreeImage_GetBPP(dib_) < 8)
        return false;
    return Replace(FreeImage_RotateEx(dib_, angle, shiftX, shiftY, originX, originY, useMask));
}

bool TFreeBitmap::ToneMapping(FREE_IMAGE_TMO algorithm, double first, double second)
{
    return dib_ && Replace(FreeImage_ToneMapping(dib_, algorithm, first, second));
}

// ---------------------------------------------------------------- channels

bool TFreeBitmap::GetChannel(TFreeBitmap& dest, FREE_IMAGE_COLOR_CHANNEL channel) const
{
    // A failed extraction is a failure even when dest held an image before.
    return dib_ && dest.Replace(FreeImage_GetChannel(dib_, channel));
}

bool TFreeBitmap::SplitChannels(TFreeBitmap& red, TFreeBitmap& green, TFreeBitmap& blue) const
{
    return GetChannel(red, FICC_RED) && GetChannel(green, FICC_GREEN) && GetChannel(blue, FICC_BLUE);
}

bool TFreeBitmap::CombineChannels(const TFreeBitmap& red, const TFreeBitmap& green, const TFreeBitmap& blue)
{
    if (!dib_) {
        if (!red.dib_)
            return false;
        FIBITMAP* fresh = FreeImage_Allocate(FreeImage_GetWidth(red.dib_), FreeImage_GetHeight(red.dib_), 24,
                                             FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
        if (!fresh)
            return false;
        dib_ = fresh;
    }
    const bool result = red.dib_ && green.dib_ && blue.dib_ && FreeImage_SetChannel(dib_, red.dib_, FICC_RED) &&
                        FreeImage_SetChannel(dib_, green.dib_, FICC_GREEN) &&
                        FreeImage_SetChannel(dib_, blue.dib_, FICC_BLUE);
    Change();
    return result;
}
