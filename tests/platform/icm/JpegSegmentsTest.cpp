// Only a whole JPEG reaches its end marker: every cut of one, however
// short, is told apart, and no cut is read past.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <vector>

#include "platform/icm/JpegSegments.h"

TEST(JpegSegments, OnlyAWholeFileReachesItsEnd)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        QByteArray whole;
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(progressive);
        ASSERT_TRUE(writer.write(photo));
        for (qsizetype size = 0; size <= whole.size(); ++size) {
            // A copy of exactly the cut's size, so a read past it is caught.
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
            ASSERT_EQ(JpegReachesItsEnd(cut.data(), cut.size()), size == whole.size()) << "cut at " << size;
        }
    }
}
