#include "controls/GDIPPicture.h"

#include <QBitmap>
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "platform/resources/Resources.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/RegularFile.h"

namespace {

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

void LoadBytes(TMemoryStream& into, const void* data, size_t size)
{
    into.Clear();
    into.WriteBuffer(data, static_cast<int64_t>(size));
    into.SetPosition(0);
}

}  // namespace

void TGDIPPicture::CopyFrom(TStream& stream)
{
    TMemoryStream copy;
    stream.SetPosition(0);
    copy.CopyFrom(stream, stream.GetSize());
    copy.SetPosition(0);
    data_.Swap(copy);
}

void TGDIPPicture::LoadFromStream(TStream* stream)
{
    if (!stream || stream->GetSize() <= 0)
        return;
    CopyFrom(*stream);
    empty_ = false;
    GetImageSizes();
    Changed();
}

void TGDIPPicture::ReadData(TStream* stream)
{
    if (!stream || stream->GetSize() <= 0)
        return;
    CopyFrom(*stream);
    empty_ = false;
    GetImageSizes();
}

void TGDIPPicture::SaveToStream(TStream* stream) const
{
    if (stream && data_.GetSize() > 0)
        stream->WriteBuffer(data_.Memory(), data_.GetSize());
}

void TGDIPPicture::LoadFromFile(const std::string& fileName)
{
    try {
        TMemoryStream bytes;
        bytes.LoadFromFile(fileName);
        data_.Swap(bytes);
        empty_ = false;
        Cleared();
        GetImageSizesFromFileName(fileName);
        Changed();
    } catch (const std::exception&) {
        empty_ = true;
    }
}

void TGDIPPicture::LoadFromResourceName(const std::string& name)
{
    const auto bytes = FindResource(name, "RC_DATA");
    if (bytes.empty())
        return;
    TMemoryStream stream;
    LoadBytes(stream, bytes.data(), bytes.size());
    LoadFromStream(&stream);
}

void TGDIPPicture::LoadFromResourceID(int id)
{
    const auto bytes = FindResource("#" + std::to_string(id), "RC_DATA");
    if (bytes.empty())
        throw Exception("Resource " + std::to_string(id) + " not found");
    TMemoryStream stream;
    LoadBytes(stream, bytes.data(), bytes.size());
    LoadFromStream(&stream);
}

void TGDIPPicture::LoadFromURL(const std::string& url)
{
    const std::string upper = Upper(url.substr(0, 7));
    if (upper.rfind("RES://", 0) == 0) {
        if (url.size() > 6)
            LoadFromResourceName(url.substr(6));
    } else if (upper == "FILE://") {
        if (url.size() > 7)
            LoadFromFile(url.substr(7));
    }
}

void TGDIPPicture::Assign(std::nullptr_t)
{
    data_.Clear();
    empty_ = true;
    Changed();
    Cleared();
}

void TGDIPPicture::Assign(const TGDIPPicture* source)
{
    if (!source) {
        Assign(nullptr);
        return;
    }
    if (source == this)
        return;
    TMemoryStream copy;
    if (source->data_.GetSize() > 0)
        copy.WriteBuffer(source->data_.Memory(), source->data_.GetSize());
    copy.SetPosition(0);
    data_.Swap(copy);
    empty_ = data_.GetSize() == 0;
    Changed();
    GetImageSizes();
}

void TGDIPPicture::Assign(const QImage* bitmap)
{
    if (!bitmap || bitmap->isNull()) {
        // A holder without an image has nothing to give: the picture empties.
        Assign(nullptr);
        return;
    }
    std::unique_ptr<TStream> bmp = CreateStream(*bitmap);
    CopyFrom(*bmp);
    empty_ = false;
    Changed();
    GetImageSizes();
}

bool TGDIPPicture::WithImage(const std::function<void(TGPImage&)>& work) const
{
    if (empty_ || data_.GetSize() == 0)
        return false;
    std::unique_ptr<TMemoryStream> block;
    try {
        block = std::make_unique<TMemoryStream>();
        block->WriteBuffer(data_.Memory(), data_.GetSize());
    } catch (const std::bad_alloc&) {
        throw Exception("Could not allocate memory for image");
    }
    block->SetPosition(0);
    TGPImage image(block.get(), false);
    work(image);
    return true;
}

bool TGDIPPicture::GetImageSizes()
{
    if (empty_ || data_.GetSize() == 0)
        return false;
    // The header tells the size of a picture the reader knows; decoding it
    // whole (of a large photo, on the GUI thread) tells nothing more.
    {
        QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(data_.Memory()), qsizetype(data_.GetSize()));
        QBuffer buffer(&raw);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (size.isValid() && !size.isEmpty()) {
            width_ = size.width();
            height_ = size.height();
            return true;
        }
    }
    return WithImage([this](TGPImage& image) {
        const bool ok = image.GetLastStatus() == Ok && image.NativeImage();
        width_ = ok ? int(image.GetWidth()) : 0;
        height_ = ok ? int(image.GetHeight()) : 0;
    });
}

void TGDIPPicture::GetImageSizesFromFileName(const std::string& fileName)
{
    if (empty_ || data_.GetSize() == 0)
        return;
    const auto dot = fileName.find_last_of("./");
    const std::string ext = dot != std::string::npos && fileName[dot] == '.' ? Upper(fileName.substr(dot + 1)) : "";
    uint32_t w = 0, h = 0;
    // A picture takes no size from an icon's header.
    if (ext != "ICO")
        if (const ImageSizeReader read = FindImageSizeReader(ext))
            read(fileName, w, h);
    width_ = int(std::min<uint32_t>(w, INT32_MAX));
    height_ = int(std::min<uint32_t>(h, INT32_MAX));
}

void TGDIPPicture::Draw(QPainter* canvas, const TRect& rect)
{
    if (!canvas)
        return;
    try {
        WithImage([&](TGPImage& image) {
            if (!image.NativeImage())
                return;
            if (image.GetFormat() == ifBMP) {
                QImage bitmap = QImage::fromData(data_.Memory(), int(data_.GetSize()), "BMP");
                if (bitmap.isNull())
                    return;
                bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
                const QRgb key = bitmap.pixel(0, bitmap.height() - 1);
                for (int y = 0; y < bitmap.height(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
                    for (int x = 0; x < bitmap.width(); ++x)
                        if (line[x] == key)
                            line[x] = 0;
                }
                canvas->drawImage(rect.Left, rect.Top, bitmap);
                return;
            }
            width_ = int(image.GetWidth());
            height_ = int(image.GetHeight());
            TGPGraphics graphics(canvas);
            graphics.DrawImageRect(&image, rect.Left, rect.Top, rect.Width(), rect.Height());
        });
    } catch (const std::exception&) {
        // Drawing shows nothing rather than failing the paint.
    }
}

void TGDIPPicture::GDIPDraw(TGPGraphics* graphics, const TRect& rect)
{
    if (!graphics)
        return;
    try {
        WithImage([&](TGPImage& image) {
            if (!image.NativeImage()) {
                width_ = height_ = 0;
                return;
            }
            HasAlpha = image.HasAlphaChannel();
            HasPalette = image.HasPalette();
            PixelDepth = int(image.GetPixelDepth());
            PixelFormatValue = int(image.GetPixelFormat());
            width_ = int(image.GetWidth());
            height_ = int(image.GetHeight());
            if (image.GetFormat() == ifBMP && transparent_) {
                TGPImageAttributes attributes;
                ARGB key = MakeColor(255, TransparentColor);
                if (!TransparentColorMode) {
                    TMemoryStream again;
                    again.WriteBuffer(data_.Memory(), data_.GetSize());
                    again.SetPosition(0);
                    TGPBitmap bitmap(&again);
                    bitmap.GetPixel(0, height_ - 1, &key);
                }
                attributes.SetColorKey(key, key, ColorAdjustTypeDefault);
                graphics->DrawImage(&image, MakeRect(float(rect.Left), float(rect.Top), float(width_), float(height_)),
                                    0.0f, 0.0f, float(width_), float(height_), UnitPixel, &attributes);
            } else {
                graphics->DrawImageRect(&image, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
            }
        });
    } catch (const std::exception&) {
        // Drawing shows nothing rather than failing the paint.
    }
}

void TGDIPPicture::FillPath(TGPGraphics* graphics, TGPGraphicsPath* path)
{
    if (path)
        FillWithTexture(graphics, [&](TGPBrush& brush) { graphics->FillPath(&brush, path); });
}

void TGDIPPicture::FillRect(TGPGraphics* graphics, const TGPRectF& rect)
{
    FillWithTexture(graphics, [&](TGPBrush& brush) { graphics->FillRectangle(&brush, rect); });
}

void TGDIPPicture::FillWithTexture(TGPGraphics* graphics, const std::function<void(TGPBrush&)>& fill)
{
    if (!graphics)
        return;
    try {
        WithImage([&](TGPImage& image) {
            if (!image.NativeImage())
                return;
            TGPTextureBrush brush(&image, WrapModeTile);
            fill(brush);
        });
    } catch (const std::exception&) {
        // Filling shows nothing rather than failing the paint.
    }
}

// ---- header readers ------------------------------------------------------

namespace {

// Reads a file front to back; every read past the end reports failure.
class HeaderFile {
public:
    // Only a regular file, and its kind known before it is opened: a FIFO
    // named as a picture would wait for a writer for ever.
    explicit HeaderFile(const std::string& name) : file_(OpenStream(name)) {}
    ~HeaderFile()
    {
        if (file_)
            std::fclose(file_);
    }
    HeaderFile(const HeaderFile&) = delete;
    HeaderFile& operator=(const HeaderFile&) = delete;
    bool Open() const { return file_ != nullptr; }
    bool Read(void* buffer, size_t count) { return file_ && std::fread(buffer, 1, count, file_) == count; }
    int Byte()
    {
        const int c = file_ ? std::fgetc(file_) : EOF;
        return c == EOF ? -1 : c;
    }
    bool Skip(long count) { return file_ && count >= 0 && std::fseek(file_, count, SEEK_CUR) == 0; }
    bool SeekTo(long offset) { return file_ && offset >= 0 && std::fseek(file_, offset, SEEK_SET) == 0; }

private:
    static std::FILE* OpenStream(const std::string& name)
    {
        int64_t size = 0;
        const int fd = name.empty() ? -1 : OpenRegularFile(name, kNoSizeLimit, size);
        std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "rb");
        if (fd >= 0 && !file)
            ::close(fd);
        return file;
    }

    std::FILE* file_;
};

uint32_t BE16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t LE16(const uint8_t* p) { return uint32_t(p[1]) << 8 | p[0]; }
uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t LE32(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

}  // namespace

void GetJPGSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    HeaderFile f(fileName);
    uint8_t soi[2];
    if (!f.Read(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8)
        return;
    int c = f.Byte();
    while (c == 0xFF) {
        const int marker = f.Byte();
        if (marker < 0)
            return;
        if (marker == 0xFF)
            continue;
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            uint8_t frame[7];
            if (!f.Read(frame, 7))
                return;
            height = BE16(frame + 3);
            width = BE16(frame + 5);
            return;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            c = 0xFF;
            continue;
        }
        uint8_t length[2];
        if (!f.Read(length, 2) || BE16(length) < 2 || !f.Skip(long(BE16(length)) - 2))
            return;
        c = f.Byte();
    }
}

void GetPNGSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    static const uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    HeaderFile f(fileName);
    uint8_t head[24];
    if (!f.Read(head, sizeof head) || !std::equal(signature, signature + 8, head) ||
        std::string(reinterpret_cast<char*>(head + 12), 4) != "IHDR")
        return;
    width = BE32(head + 16);
    height = BE32(head + 20);
}

void GetGIFSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    HeaderFile f(fileName);
    uint8_t screen[13];
    if (!f.Read(screen, 13) || screen[0] != 'G' || screen[1] != 'I' || screen[2] != 'F')
        return;
    if (screen[10] & 0x80 && !f.Skip(3L << ((screen[10] & 7) + 1)))
        return;
    for (;;) {
        const int block = f.Byte();
        if (block == 0x2C) {
            uint8_t descriptor[9];
            if (!f.Read(descriptor, 9))
                return;
            width = LE16(descriptor + 4);
            height = LE16(descriptor + 6);
            return;
        }
        if (block != 0x21 || f.Byte() < 0)
            return;  // trailer, end of file or garbage
        // Extension: sub-blocks until the empty one.
        for (int size = f.Byte(); size != 0; size = f.Byte())
            if (size < 0 || !f.Skip(size))
                return;
    }
}

void GetBMPSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    HeaderFile f(fileName);
    uint8_t head[26];
    if (!f.Read(head, 18) || head[0] != 'B' || head[1] != 'M')
        return;
    const uint32_t headerSize = LE32(head + 14);
    if (headerSize == 12) {  // the core header of old bitmaps: 16-bit sizes
        if (!f.Read(head + 18, 4))
            return;
        width = LE16(head + 18);
        height = LE16(head + 20);
        return;
    }
    if (headerSize < 16 || !f.Read(head + 18, 8))
        return;
    const auto w = int32_t(LE32(head + 18));
    const auto h = int32_t(LE32(head + 22));
    width = w < 0 ? 0u - uint32_t(w) : uint32_t(w);
    height = h < 0 ? 0u - uint32_t(h) : uint32_t(h);
}

void GetTifSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    HeaderFile f(fileName);
    uint8_t head[8];
    if (!f.Read(head, 8))
        return;
    const bool big = head[0] == 'M' && head[1] == 'M';
    if (!big && !(head[0] == 'I' && head[1] == 'I'))
        return;
    auto u16 = [big](const uint8_t* p) { return big ? BE16(p) : LE16(p); };
    auto u32 = [big](const uint8_t* p) { return big ? BE32(p) : LE32(p); };
    if (u16(head + 2) != 42 || u32(head + 4) > uint32_t(LONG_MAX) || !f.SeekTo(long(u32(head + 4))))
        return;
    uint8_t count[2];
    if (!f.Read(count, 2))
        return;
    uint32_t w = 0, h = 0;
    bool haveW = false, haveH = false;
    for (uint32_t i = u16(count); i > 0; --i) {
        uint8_t entry[12];
        if (!f.Read(entry, 12))
            return;
        const uint32_t tag = u16(entry);
        if (tag != 256 && tag != 257)
            continue;
        // A SHORT value sits in the first two bytes of the value field.
        const uint32_t value = u16(entry + 2) == 3 ? u16(entry + 8) : u32(entry + 8);
        (tag == 256 ? w : h) = value;
        (tag == 256 ? haveW : haveH) = true;
        if (haveW && haveH) {
            width = w;
            height = h;
            return;
        }
    }
}

void GetICOSize(const std::string& fileName, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    HeaderFile f(fileName);
    uint8_t head[6];
    if (!f.Read(head, 6) || LE16(head) != 0)
        return;
    uint8_t entry[16];
    for (uint32_t i = LE16(head + 4); i > 0 && f.Read(entry, 16); --i)
        if (entry[0] > width && entry[0] <= 128 && entry[1] > height && entry[1] <= 128) {
            width = entry[0];
            height = entry[1];
        }
}

ImageSizeReader FindImageSizeReader(const std::string& extension)
{
    static const struct {
        const char* extension;
        ImageSizeReader read;
    } readers[] = {{"JPG", GetJPGSize},   {"JPEG", GetJPGSize}, {"PNG", GetPNGSize}, {"BMP", GetBMPSize},
                   {"TIFF", GetTifSize}, {"GIF", GetGIFSize},   {"ICO", GetICOSize}};
    for (const auto& reader : readers)
        if (extension == reader.extension)
            return reader.read;
    return nullptr;
}
