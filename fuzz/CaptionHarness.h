#pragma once
// One run over arbitrary bytes of the picture header readers (first byte 0)
// or the caption markup functions, measuring and drawing included (any
// other first byte), shared by the fuzz target and the test that replays
// the inputs it once failed on. Nothing may crash, hang or throw.
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "controls/GDIPPicture.h"
#include "controls/GDIPPictureContainer.h"
#include "controls/ImageList.h"
#include "controls/MarkupRenderer.h"

inline void RunHeaderReaders(const std::string& bytes)
{
    // The readers take a file name: a file in memory, named through
    // /proc, leaves nothing behind in /tmp however the run ends.
    static const int fd = memfd_create("caption-fuzz", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        return;
    using Reader = void (*)(const std::string&, uint32_t&, uint32_t&);
    for (Reader reader : {GetJPGSize, GetPNGSize, GetGIFSize, GetBMPSize, GetTifSize, GetICOSize}) {
        uint32_t w = 0, h = 0;
        reader(path, w, h);
    }
    // The same bytes as a picture: decoded for its size and drawn.
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    TGDIPPicture picture;
    picture.LoadFromStream(&stream);
    picture.SetTransparent(true);
    QImage image(16, 16, QImage::Format_ARGB32);
    QPainter painter(&image);
    TGPGraphics graphics(&painter);
    picture.GDIPDraw(&graphics, TRect{0, 0, 16, 16});
}

// Pictures a caption can name: "IDX:0" and "IDX:1" in the image list,
// "pic" in the picture container.
struct CaptionPictures {
    CaptionPictures()
    {
        QImage red(6, 4, QImage::Format_RGB32), clear(3, 9, QImage::Format_ARGB32);
        red.fill(qRgb(255, 0, 0));
        clear.fill(Qt::transparent);
        images.Add(red);
        images.Add(clear);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, "PNG");
        TMemoryStream stream;
        stream.WriteBuffer(png.constData(), png.size());
        stream.SetPosition(0);
        TGDIPPicture picture;
        picture.LoadFromStream(&stream);
        TPictureItem* item = container.Items().Add();
        item->Name = "pic";
        item->SetPicture(&picture);
    }
    TImageList images;
    TGDIPPictureContainer container;
};

inline void RunMarkup(const std::string& bytes)
{
    static CaptionPictures pictures;
    // The markup, then after a NUL the search text.
    const size_t nul = bytes.find('\0');
    const std::string markup = bytes.substr(0, nul);
    const std::string search = nul == std::string::npos ? std::string() : bytes.substr(nul + 1, 16);
    StripTags(markup);
    for (int n : {0, 1, 2, int(markup.size()), int(markup.size()) + 1})
        VisibleToTextIndex(markup, n);
    int position = 0;
    FindVisibleText(markup, search, 0, position, false);
    HighlightText(markup, search, "HI", false);
    HighlightText(markup, search, "HI", true);
    TextToColor(markup.substr(0, 24));

    QImage image(80, 40, QImage::Format_ARGB32);
    QPainter painter(&image);
    TGPGraphics graphics(&painter);
    MarkupParams params;
    params.Graphics = &graphics;
    params.Text = markup;
    params.R = TRect{0, 0, 80, 40};
    params.XPos = 10;
    params.YPos = 5;
    params.Images = &pictures.images;
    params.Container = &pictures.container;
    for (int pass = 0; pass < 3; ++pass) {
        params.CheckOnly = pass == 0;
        params.WordWrap = pass == 2;
        params.BlinkOn = pass != 1;
        params.HoverLink = pass == 1 ? 0 : -1;
        params.HoverColor = pass == 1 ? colors::clYellow : kMarkupNoColor;
        params.HoverFontColor = pass == 1 ? colors::clRed : kMarkupNoColor;
        MarkupResult result;
        RenderMarkup(params, result);
    }
}

inline void RunCaptionHarness(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] == 0)
        RunHeaderReaders(bytes);
    else
        RunMarkup(bytes);
}
