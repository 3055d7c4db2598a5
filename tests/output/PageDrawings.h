#pragma once
// The artwork as the three viewers an artist's pictures reach draw it: the
// program's windows, Chromium (the preview and every browser built on it)
// and poppler (the PDF page); and a portfolio of one picture to draw.
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

#include <QColor>
#include <QImage>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

// `made` given the one picture file as its artwork and saved to `path`,
// and `opened` read back from there. False when a step fails.
inline bool SavedAndOpened(const std::string& picture, const std::string& path, Portfolio& made, Portfolio& opened)
{
    made.SetName("Ana");
    auto artwork = std::make_unique<Picture>(&made);
    if (!artwork->LoadFromFile(picture))
        return false;
    artwork->SetTitle("Artwork");
    made.AddPicture(artwork.release());
    made.SetFileName(path);
    if (!made.Save())
        return false;
    opened.SetFileName(path);
    return opened.Load() && opened.GetPictureCount() == 1;
}

// The artwork as the program's windows show it.
inline QImage PictureImage(Picture* picture)
{
    const HBITMAP handle = picture->GetBitmap()->CopyToBitmapH();
    QImage image = GetScreenBitmap(handle).copy();
    DeleteObject(handle);
    return image;
}

// The picture with id "artimage" as Chromium draws it on the page, once
// `painted` says the drawing is complete (painting may trail the load).
inline QImage DrawnByChromium(const std::string& page, const std::function<bool(const QImage&)>& painted)
{
    QWebEngineView view;
    view.resize(1000, 1400);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.load(QUrl::fromLocalFile(QString::fromStdString(page)));
    if (!QTest::qWaitFor([&] { return loaded; }, 30000))
        return {};
    QVariantList box;
    view.page()->runJavaScript(
        "(() => { const i = document.getElementById('artimage');"
        " if (!i || !i.complete) return [];"
        " const r = i.getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()",
        [&](const QVariant& v) { box = v.toList(); });
    if (!QTest::qWaitFor([&] { return box.size() == 4; }, 30000))
        return {};
    const QRect rect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt());
    QImage drawn;
    QTest::qWaitFor(
        [&] {
            drawn = view.grab().toImage().copy(rect);
            return painted(drawn);
        },
        10000);
    return drawn;
}

// The part of a page image whose colours are strongly saturated: the
// artwork, on a page of greys.
inline QImage PhotoOn(const QImage& page)
{
    QRect found;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            const bool saturated = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 120;
            if (saturated)
                found |= QRect(x, y, 1, 1);
        }
    return found.isEmpty() ? QImage() : page.copy(found);
}
