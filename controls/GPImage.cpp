#include "controls/GPImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>

#include "platform/gdiplus/GpImage.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"

TGPImage::TGPImage(const std::u16string& filename, bool useEmbeddedColorManagement)
{
    lastResult = useEmbeddedColorManagement ? GdipLoadImageFromFileICM(filename.c_str(), &nativeImage)
                                            : GdipLoadImageFromFile(filename.c_str(), &nativeImage);
}

TGPImage::TGPImage(IStream* stream, bool useEmbeddedColorManagement)
{
    lastResult = useEmbeddedColorManagement ? GdipLoadImageFromStreamICM(stream, &nativeImage)
                                            : GdipLoadImageFromStream(stream, &nativeImage);
}

TGPImage::~TGPImage()
{
    if (nativeImage)
        GdipDisposeImage(nativeImage);
}

unsigned TGPImage::GetWidth()
{
    UINT width = 0;
    KeepStatus(lastResult, GdipGetImageWidth(nativeImage, &width));
    return width;
}

unsigned TGPImage::GetHeight()
{
    UINT height = 0;
    KeepStatus(lastResult, GdipGetImageHeight(nativeImage, &height));
    return height;
}

PixelFormat TGPImage::GetPixelFormat()
{
    PixelFormat format = PixelFormatUndefined;
    KeepStatus(lastResult, GdipGetImagePixelFormat(nativeImage, &format));
    return format;
}

TGPImageFormat TGPImage::GetFormat()
{
    GUID raw;
    if (KeepStatus(lastResult, GdipGetImageRawFormat(nativeImage, &raw)) != Ok)
        return ifUndefined;
    const std::pair<GUID, TGPImageFormat> known[] = {
        {ImageFormatMemoryBMP, ifMemoryBMP}, {ImageFormatBMP, ifBMP}, {ImageFormatEMF, ifEMF},
        {ImageFormatWMF, ifWMF},             {ImageFormatJPEG, ifJPEG}, {ImageFormatGIF, ifGIF},
        {ImageFormatPNG, ifPNG},             {ImageFormatTIFF, ifTIFF}, {ImageFormatEXIF, ifEXIF},
        {ImageFormatIcon, ifIcon},
    };
    for (const auto& [guid, format] : known)
        if (guid == raw)
            return format;
    return ifUndefined;
}

Status TGPImage::RotateFlip(RotateFlipType type)
{
    return KeepStatus(lastResult, GdipImageRotateFlip(nativeImage, type));
}

Status TGPImage::Save(const std::u16string& filename, const CLSID& encoder, const EncoderParameters* params)
{
    return KeepStatus(lastResult, GdipSaveImageToFile(nativeImage, filename.c_str(), &encoder, params));
}

Status TGPImage::Save(IStream* stream, const CLSID& encoder, const EncoderParameters* params)
{
    return KeepStatus(lastResult, GdipSaveImageToStream(nativeImage, stream, &encoder, params));
}

Status TGPImage::SaveAdd(const EncoderParameters* params)
{
    return KeepStatus(lastResult, GdipSaveAdd(nativeImage, params));
}

Status TGPImage::SaveAdd(TGPImage* newImage, const EncoderParameters* params)
{
    if (!newImage)
        return KeepStatus(lastResult, InvalidParameter);
    return KeepStatus(lastResult, GdipSaveAddImage(nativeImage, newImage->nativeImage, params));
}

Status TGPImage::GetLastStatus()
{
    const Status status = lastResult;
    lastResult = Ok;
    return status;
}

TGPBitmap::TGPBitmap(IStream* stream, bool useEmbeddedColorManagement)
{
    GpBitmap* bitmap = nullptr;
    lastResult = useEmbeddedColorManagement ? GdipCreateBitmapFromStreamICM(stream, &bitmap)
                                            : GdipCreateBitmapFromStream(stream, &bitmap);
    nativeImage = bitmap;
}

TGPBitmap::TGPBitmap(int width, int height, PixelFormat format)
{
    GpBitmap* bitmap = nullptr;
    lastResult = GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap);
    nativeImage = bitmap;
}

TGPBitmap* TGPBitmap::FromStream(IStream* stream, bool useEmbeddedColorManagement)
{
    return new TGPBitmap(stream, useEmbeddedColorManagement);
}

Status TGPBitmap::GetHBITMAP(ARGB colorBackground, HBITMAP* hbmReturn)
{
    return KeepStatus(lastResult, GdipCreateHBITMAPFromBitmap(NativeBitmap(), hbmReturn, colorBackground));
}

Status TGPBitmap::GetPixel(int x, int y, ARGB* color)
{
    return KeepStatus(lastResult, GdipBitmapGetPixel(NativeBitmap(), x, y, color));
}

Status TGPBitmap::SetPixel(int x, int y, ARGB color)
{
    return KeepStatus(lastResult, GdipBitmapSetPixel(NativeBitmap(), x, y, color));
}

bool GetCLSID(TImageType type, CLSID* clsid)
{
    static const char16_t* const kMime[] = {u"image/png", u"image/bmp", u"image/jpeg", u"image/tiff", u"image/gif"};
    if (!clsid || type < itPNG || type > itGIF)
        return false;
    UINT count = 0, size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok || size == 0)
        return false;
    std::vector<std::byte> block(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(block.data());
    if (GdipGetImageEncoders(count, size, codecs) != Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (std::u16string_view(codecs[i].MimeType) == kMime[type]) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

std::unique_ptr<TEncoderQualityParameters> GetEncoderQualityParameters(int quality)
{
    auto block = std::make_unique<TEncoderQualityParameters>();
    block->quality = static_cast<ULONG>(std::clamp(quality, 0, 100));
    block->params.Count = 1;
    block->params.Parameter[0].Guid = EncoderQuality;
    block->params.Parameter[0].NumberOfValues = 1;
    block->params.Parameter[0].Type = EncoderParameterValueTypeLong;
    block->params.Parameter[0].Value = &block->quality;
    return block;
}

std::unique_ptr<TStream> CreateStream(const QImage& bitmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (bitmap.isNull() || !QImageWriter(&buffer, "bmp").write(bitmap))
        throw Exception("Could not allocate memory for image");
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(bytes.constData(), bytes.size());
    stream->SetPosition(0);
    return stream;
}

std::unique_ptr<TGPBitmap> NewDrawingBitmap(const QImage& pixels)
{
    QImage premultiplied = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (premultiplied.isNull())
        return nullptr;
    GpBitmap* bitmap = NewBitmapObject(std::move(premultiplied), ImageFormatMemoryBMP);
    if (!bitmap)
        return nullptr;
    bitmap->pixelFormat = PixelFormat32bppARGB;
    return std::make_unique<TGPBitmap>(bitmap, Ok);
}
