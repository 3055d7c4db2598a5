// Only a whole JPEG reaches its end marker: every cut of one, however
// short, is told apart, and no cut is read past.
#include <gtest/gtest.h>

#include <vector>

#include "platform/icm/JpegSegments.h"
#include "tests/support/ColourPictures.h"

TEST(JpegSegments, OnlyAWholeFileReachesItsEnd)
{
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QByteArray whole = PhotoLikeJpeg(QSize(64, 48), progressive);
        ASSERT_FALSE(whole.isEmpty());
        for (qsizetype size = 0; size <= whole.size(); ++size) {
            // A copy of exactly the cut's size, so a read past it is caught.
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
            ASSERT_EQ(JpegReachesItsEnd(cut.data(), cut.size()), size == whole.size()) << "cut at " << size;
        }
    }
}
