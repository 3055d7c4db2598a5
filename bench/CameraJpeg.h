#pragma once
// Camera-like pictures for the start-up benchmarks: 12 megapixel JPEGs
// (3 to 6 MB) of a gradient, shapes and sensor-like noise, every third one
// taken with the camera held upright (an EXIF turn).
#include <QBrush>
#include <QColor>
#include <QImage>
#include <QImageIOHandler>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

constexpr int kCameraWidth = 4000;
constexpr int kCameraHeight = 3000;

// The noise tile every picture is overlaid with.
inline QImage CameraNoiseTile()
{
    QImage noise(256, 256, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            noise.setPixel(x, y, random.generate() | 0xFF000000u);
    return noise;
}

// Picture number n, written to path.
inline bool WriteCameraJpeg(const std::string& path, int n, const QImage& noise)
{
    QImage image(kCameraWidth, kCameraHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, kCameraWidth, kCameraHeight);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 160, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 140) % 360, 200, 70));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv((n * 13 + i * 29) % 360, 220, 240));
        p.drawEllipse((n * 71 + i * 331) % (kCameraWidth - 500), (n * 53 + i * 197) % (kCameraHeight - 500), 500,
                      360);
    }
    p.setOpacity(0.35);
    QBrush grain(noise);
    grain.setTransform(QTransform::fromTranslate(n * 17 % 256, n * 29 % 256));
    p.fillRect(image.rect(), grain);
    p.end();
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(92);
    if (n % 3 == 2)
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
    return writer.write(image);
}

// Writes pictures first .. paths.size() - 1 on every core; false when one
// could not be written.
inline bool WriteCameraJpegs(const std::vector<std::string>& paths, size_t first = 0)
{
    const QImage noise = CameraNoiseTile();
    std::atomic<size_t> next{first};
    std::atomic<bool> ok{true};
    std::vector<std::thread> writers;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        writers.emplace_back([&] {
            for (size_t i = next++; i < paths.size(); i = next++)
                if (!WriteCameraJpeg(paths[i], int(i), noise))
                    ok = false;
        });
    for (auto& w : writers)
        w.join();
    return ok;
}
