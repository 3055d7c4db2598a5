// Loading and saving images, rotation, and image attributes.
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/gdiplus/GdiPlusFlat.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/RegularFile.h"
#include "platform/rtl/SafeFileWriter.h"

namespace {

QString FromWide(const WCHAR* text)
{
    return text ? QString::fromUtf16(text) : QString();
}

GpStatus ReadStream(IStream* stream, QByteArray* bytes)
{
    if (!stream)
        return InvalidParameter;
    try {
        char chunk[65536];
        for (;;) {
            const int64_t got = stream->Read(chunk, sizeof chunk);
            if (got <= 0)
                break;
            bytes->append(chunk, static_cast<qsizetype>(got));
        }
    } catch (const std::exception&) {
        return Win32Error;
    }
    return Ok;
}

struct Encoder {
    CLSID clsid;
    GUID format;
    const char16_t* name;
    const char16_t* description;
    const char16_t* extensions;
    const char16_t* mime;
    const char* writerFormat;
};

// The formats Qt writes. No GIF: Qt has no GIF writer.
constexpr Encoder kEncoders[] = {
    {MakeGuid("{557CF400-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatBMP, u"BMP encoder", u"BMP",
     u"*.BMP;*.DIB;*.RLE", u"image/bmp", "bmp"},
    {MakeGuid("{557CF401-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatJPEG, u"JPEG encoder", u"JPEG",
     u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg", "jpeg"},
    {MakeGuid("{557CF405-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatTIFF, u"TIFF encoder", u"TIFF",
     u"*.TIF;*.TIFF", u"image/tiff", "tiff"},
    {MakeGuid("{557CF406-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatPNG, u"PNG encoder", u"PNG", u"*.PNG",
     u"image/png", "png"},
};

std::size_t WideBytes(const char16_t* text)
{
    return (std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t);
}

const Encoder* FindEncoder(const CLSID* clsid)
{
    if (!clsid)
        return nullptr;
    for (const Encoder& e : kEncoders)
        if (e.clsid == *clsid)
            return &e;
    return nullptr;
}

GpStatus Encode(GpImage* image, const CLSID* clsid, const EncoderParameters* params, QByteArray* out)
{
    if (!image || image->image.isNull() || !clsid)
        return InvalidParameter;
    const Encoder* encoder = FindEncoder(clsid);
    if (!encoder)
        return FileNotFound;
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, encoder->writerFormat);
    if (params)
        for (UINT i = 0; i < params->Count; ++i) {
            const EncoderParameter& p = params->Parameter[i];
            if (p.Guid == EncoderQuality && p.NumberOfValues >= 1 && p.Value)
                writer.setQuality(static_cast<int>(std::clamp<ULONG>(*static_cast<const ULONG*>(p.Value), 0, 100)));
        }
    QImage pixels = image->image;
    if (pixels.format() == QImage::Format_Indexed8 && encoder->format == ImageFormatJPEG)
        pixels = pixels.convertToFormat(QImage::Format_RGB32);
    if (!writer.write(pixels))
        return Win32Error;
    return Ok;
}

// The largest image file read: twice what the reader may allocate for the
// decoded picture (16-bit samples), plus room for metadata.
int64_t MaxImageFileBytes()
{
    const int64_t limit = int64_t(QImageReader::allocationLimit()) << 20;
    return limit > 0 ? limit * 2 + (int64_t{16} << 20) : kNoSizeLimit;
}

// The whole file, when it is a regular one within the limit: a name that
// leads to a FIFO, a device or a folder is refused without waiting.
GpStatus ReadImageFile(const std::string& path, QByteArray& out)
{
    switch (ReadRegularFile(path, MaxImageFileBytes(), out)) {
    case ReadResult::Read: return Ok;
    case ReadResult::Short: return Win32Error;
    case ReadResult::Refused: break;
    }
    switch (errno) {
    case ENOENT:
    case ENOTDIR: return FileNotFound;
    case EACCES:
    case EPERM: return AccessDenied;
    case EFBIG: return OutOfMemory;
    default: return Win32Error;  // a folder, FIFO or device among them
    }
}

}  // namespace

GpStatus DecodeImageFile(const WCHAR* filename, GpBitmap** bitmap)
{
    if (!filename || !bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    try {
        QByteArray bytes;
        if (const GpStatus status = ReadImageFile(QFile::encodeName(FromWide(filename)).toStdString(), bytes);
            status != Ok)
            return status;
        return DecodeImageBytes(bytes, bitmap);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image)
{
    if (!image)
        return InvalidParameter;
    GpBitmap* bitmap = nullptr;
    const GpStatus status = DecodeImageFile(filename, &bitmap);
    *image = bitmap;
    return status;
}

GpStatus GdipLoadImageFromFileICM(const WCHAR* filename, GpImage** image)
{
    // Every load turns a picture with a colour profile into sRGB already.
    return GdipLoadImageFromFile(filename, image);
}

GpStatus GdipLoadImageFromStream(IStream* stream, GpImage** image)
{
    GpBitmap* bitmap = nullptr;
    const GpStatus status = GdipCreateBitmapFromStream(stream, &bitmap);
    if (image)
        *image = bitmap;
    return status;
}

GpStatus GdipLoadImageFromStreamICM(IStream* stream, GpImage** image)
{
    return GdipLoadImageFromStream(stream, image);
}

GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap)
{
    if (!stream || !bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    QByteArray bytes;
    if (GpStatus s = ReadStream(stream, &bytes); s != Ok)
        return s;
    return DecodeImageBytes(bytes, bitmap);
}

GpStatus GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap)
{
    return GdipCreateBitmapFromStream(stream, bitmap);
}

GpStatus GdipImageRotateFlip(GpImage* image, RotateFlipType type)
{
    if (!image || type < RotateNoneFlipNone || type > Rotate270FlipX)
        return InvalidParameter;
    if (image->busy)
        return ObjectBusy;
    const int quarterTurns = type & 3;
    const bool flipX = type >= RotateNoneFlipX;
    QImage turned = quarterTurns ? image->image.transformed(QTransform().rotate(90.0 * quarterTurns))
                                 : image->image;
    if (flipX)
        turned = turned.mirrored(true, false);
    if (turned.isNull())
        return OutOfMemory;
    image->image = turned;
    return Ok;
}

GpStatus GdipGetImageType(GpImage* image, ImageType* type)
{
    if (!image || !type)
        return InvalidParameter;
    *type = ImageTypeBitmap;
    return Ok;
}

GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size)
{
    if (!numEncoders || !size)
        return InvalidParameter;
    std::size_t bytes = 0;
    for (const Encoder& e : kEncoders)
        bytes += sizeof(ImageCodecInfo) + WideBytes(e.name) + WideBytes(e.description) + WideBytes(e.extensions) +
                 WideBytes(e.mime);
    *numEncoders = static_cast<UINT>(std::size(kEncoders));
    *size = static_cast<UINT>(bytes);
    return Ok;
}

GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders)
{
    UINT wantCount = 0, wantSize = 0;
    GdipGetImageEncodersSize(&wantCount, &wantSize);
    if (!encoders || numEncoders != wantCount || size < wantSize)
        return GenericError;
    // The texts follow the records in the caller's block.
    char* text = reinterpret_cast<char*>(encoders + wantCount);
    auto place = [&text](const char16_t* s) {
        const std::size_t n = WideBytes(s);
        std::memcpy(text, s, n);
        const auto* placed = reinterpret_cast<const WCHAR*>(text);
        text += n;
        return placed;
    };
    for (UINT i = 0; i < wantCount; ++i) {
        const Encoder& e = kEncoders[i];
        ImageCodecInfo& info = encoders[i];
        info = ImageCodecInfo{};
        info.Clsid = e.clsid;
        info.FormatID = e.format;
        info.CodecName = place(e.name);
        info.DllName = nullptr;
        info.FormatDescription = place(e.description);
        info.FilenameExtension = place(e.extensions);
        info.MimeType = place(e.mime);
        info.Flags = ImageCodecFlagsEncoder | ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;
        info.Version = 1;
    }
    return Ok;
}

GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* encoder,
                             const EncoderParameters* params)
{
    if (!filename)
        return InvalidParameter;
    QByteArray bytes;
    if (GpStatus s = Encode(image, encoder, params, &bytes); s != Ok)
        return s;
    try {
        // Written beside the target and renamed over it, so a failed save
        // leaves the old file as it was.
        TSafeFileStream out(FromWide(filename).toStdString());
        out.WriteBuffer(bytes.constData(), bytes.size());
        if (!out.Commit())
            return Win32Error;
    } catch (const std::exception&) {
        return Win32Error;
    }
    return Ok;
}

GpStatus GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* encoder,
                               const EncoderParameters* params)
{
    if (!stream)
        return InvalidParameter;
    QByteArray bytes;
    if (GpStatus s = Encode(image, encoder, params, &bytes); s != Ok)
        return s;
    try {
        stream->WriteBuffer(bytes.constData(), bytes.size());
    } catch (const std::exception&) {
        return Win32Error;
    }
    return Ok;
}

GpStatus GdipSaveAdd(GpImage* image, const EncoderParameters* params)
{
    if (!image || !params)
        return InvalidParameter;
    // Multi-frame files cannot be written here.
    return NotImplemented;
}

GpStatus GdipSaveAddImage(GpImage* image, GpImage* newImage, const EncoderParameters* params)
{
    if (!image || !newImage || !params)
        return InvalidParameter;
    return NotImplemented;
}

// Image attributes.

namespace {

bool ValidType(ColorAdjustType type)
{
    return type >= ColorAdjustTypeDefault && type < ColorAdjustTypeCount;
}

template <typename F>
GpStatus Adjust(GpImageAttributes* attributes, ColorAdjustType type, F change)
{
    if (!attributes || !ValidType(type))
        return InvalidParameter;
    ColorAdjustments& a = attributes->adjust[type];
    change(a);
    a.enabled = true;
    return Ok;
}

int Channel(double value)
{
    return std::clamp(static_cast<int>(std::lround(value * 255.0)), 0, 255);
}

}  // namespace

ARGB GpImageAttributes::ApplyToColor(ARGB color, ColorAdjustType type) const
{
    const ColorAdjustments& a = adjust[type].enabled ? adjust[type] : adjust[ColorAdjustTypeDefault];
    if (!a.enabled || a.noOp)
        return color;
    int alpha = int(color >> 24), r = int((color >> 16) & 0xFF), g = int((color >> 8) & 0xFF), b = int(color & 0xFF);
    for (const ColorMap& map : a.remap)
        if (map.oldColor == color) {
            color = map.newColor;
            alpha = int(color >> 24);
            r = int((color >> 16) & 0xFF);
            g = int((color >> 8) & 0xFF);
            b = int(color & 0xFF);
            break;
        }
    if (a.colorKey) {
        const ARGB lo = a.colorKey->first, hi = a.colorKey->second;
        auto in = [](int v, ARGB low, ARGB high, int shift) {
            return v >= int((low >> shift) & 0xFF) && v <= int((high >> shift) & 0xFF);
        };
        if (in(r, lo, hi, 16) && in(g, lo, hi, 8) && in(b, lo, hi, 0))
            return 0;
    }
    if (a.matrix && !(a.matrixFlags == ColorMatrixFlagsSkipGrays && r == g && g == b)) {
        const double v[5] = {r / 255.0, g / 255.0, b / 255.0, alpha / 255.0, 1.0};
        double out[4] = {0, 0, 0, 0};
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 5; ++k)
                out[c] += v[k] * a.matrix->m[k][c];
        r = Channel(out[0]);
        g = Channel(out[1]);
        b = Channel(out[2]);
        alpha = Channel(out[3]);
    }
    if (a.gamma) {
        auto apply = [&](int v) { return Channel(std::pow(v / 255.0, double(*a.gamma))); };
        r = apply(r);
        g = apply(g);
        b = apply(b);
    }
    if (a.threshold) {
        const double t = *a.threshold * 255.0;
        r = r > t ? 255 : 0;
        g = g > t ? 255 : 0;
        b = b > t ? 255 : 0;
    }
    if (a.outputChannel) {
        // One ink of the four-colour separation, shown as grey: more ink is darker.
        const double rf = r / 255.0, gf = g / 255.0, bf = b / 255.0;
        const double k = 1 - std::max({rf, gf, bf});
        double ink = k;
        if (*a.outputChannel != ColorChannelFlagsK)
            ink = k >= 1 ? 0
                         : (1 - (*a.outputChannel == ColorChannelFlagsC   ? rf
                                 : *a.outputChannel == ColorChannelFlagsM ? gf
                                                                          : bf) -
                            k) /
                               (1 - k);
        r = g = b = Channel(1 - ink);
    }
    return (ARGB(alpha) << 24) | (ARGB(r) << 16) | (ARGB(g) << 8) | ARGB(b);
}

QImage GpImageAttributes::Apply(const QImage& source, ColorAdjustType type) const
{
    const ColorAdjustments& a = adjust[type].enabled ? adjust[type] : adjust[ColorAdjustTypeDefault];
    if (!a.enabled || a.noOp)
        return source;
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = ApplyToColor(row[x], type);
    }
    return out;
}

GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes)
{
    if (!attributes)
        return InvalidParameter;
    *attributes = new (std::nothrow) GpImageAttributes;
    return *attributes ? Ok : OutOfMemory;
}

GpStatus GdipCloneImageAttributes(const GpImageAttributes* attributes, GpImageAttributes** clone)
{
    if (!attributes || !clone)
        return InvalidParameter;
    *clone = new (std::nothrow) GpImageAttributes(*attributes);
    return *clone ? Ok : OutOfMemory;
}

GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes)
{
    return DeleteFlatObject(attributes);
}

GpStatus GdipSetImageAttributesToIdentity(GpImageAttributes* attributes, ColorAdjustType type)
{
    return Adjust(attributes, type, [](ColorAdjustments& a) { a = ColorAdjustments(); });
}

GpStatus GdipResetImageAttributes(GpImageAttributes* attributes, ColorAdjustType type)
{
    if (!attributes || !ValidType(type))
        return InvalidParameter;
    attributes->adjust[type] = ColorAdjustments();
    return Ok;
}

GpStatus GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                           const ColorMatrix* colorMatrix, const ColorMatrix*,
                                           ColorMatrixFlags flags)
{
    if (enableFlag && !colorMatrix)
        return InvalidParameter;
    if (flags < ColorMatrixFlagsDefault || flags > ColorMatrixFlagsAltGray)
        return InvalidParameter;
    return Adjust(attributes, type, [&](ColorAdjustments& a) {
        if (enableFlag)
            a.matrix = *colorMatrix;
        else
            a.matrix.reset();
        a.matrixFlags = flags;
    });
}

GpStatus GdipSetImageAttributesThreshold(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                         REAL threshold)
{
    return Adjust(attributes, type, [&](ColorAdjustments& a) {
        a.threshold = enableFlag ? std::optional<REAL>(threshold) : std::nullopt;
    });
}

GpStatus GdipSetImageAttributesGamma(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                     REAL gamma)
{
    if (enableFlag && gamma <= 0)
        return InvalidParameter;
    return Adjust(attributes, type,
                  [&](ColorAdjustments& a) { a.gamma = enableFlag ? std::optional<REAL>(gamma) : std::nullopt; });
}

GpStatus GdipSetImageAttributesNoOp(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag)
{
    return Adjust(attributes, type, [&](ColorAdjustments& a) { a.noOp = enableFlag != 0; });
}

GpStatus GdipSetImageAttributesColorKeys(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                         ARGB colorLow, ARGB colorHigh)
{
    return Adjust(attributes, type, [&](ColorAdjustments& a) {
        if (enableFlag)
            a.colorKey = std::make_pair(colorLow, colorHigh);
        else
            a.colorKey.reset();
    });
}

GpStatus GdipSetImageAttributesOutputChannel(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                             ColorChannelFlags channelFlags)
{
    if (enableFlag && (channelFlags < ColorChannelFlagsC || channelFlags >= ColorChannelFlagsLast))
        return InvalidParameter;
    return Adjust(attributes, type, [&](ColorAdjustments& a) {
        a.outputChannel = enableFlag ? std::optional<ColorChannelFlags>(channelFlags) : std::nullopt;
    });
}

GpStatus GdipSetImageAttributesOutputChannelColorProfile(GpImageAttributes* attributes, ColorAdjustType type,
                                                         BOOL enableFlag, const WCHAR* colorProfileFilename)
{
    if (!attributes || !ValidType(type))
        return InvalidParameter;
    if (!enableFlag)
        return Ok;
    if (!colorProfileFilename)
        return InvalidParameter;
    // Separation through colour profiles is not available here.
    return NotImplemented;
}

GpStatus GdipSetImageAttributesRemapTable(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                          UINT mapSize, const ColorMap* map)
{
    if (enableFlag && (!map || mapSize == 0))
        return InvalidParameter;
    return Adjust(attributes, type, [&](ColorAdjustments& a) {
        if (enableFlag)
            a.remap.assign(map, map + mapSize);
        else
            a.remap.clear();
    });
}

GpStatus GdipSetImageAttributesWrapMode(GpImageAttributes* attributes, WrapMode wrap, ARGB argb, BOOL)
{
    if (!attributes || wrap < WrapModeTile || wrap > WrapModeClamp)
        return InvalidParameter;
    attributes->wrap = wrap;
    attributes->wrapColor = argb;
    return Ok;
}

GpStatus GdipGetImageAttributesAdjustedPalette(GpImageAttributes* attributes, ColorPalette* palette,
                                               ColorAdjustType type)
{
    if (!attributes || !palette || !ValidType(type) || palette->Count == 0)
        return InvalidParameter;
    for (UINT i = 0; i < palette->Count; ++i)
        palette->Entries[i] = attributes->ApplyToColor(palette->Entries[i], type);
    return Ok;
}
