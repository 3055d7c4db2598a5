// The stream over leading bytes and a borrowed block: reads cross the seam
// at any position, writes are refused and leave it as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/PrefixedBlockStream.h"

TEST(PrefixedBlockStream, ReadsAcrossTheSeamAndRefusesWrites)
{
    const std::string lead = "head", block = "pixels";
    TPrefixedBlockStream s(std::vector<uint8_t>(lead.begin(), lead.end()),
                           reinterpret_cast<const uint8_t*>(block.data()), block.size());
    EXPECT_EQ(s.GetSize(), 10);
    struct Read {
        int64_t from, count;
        std::string want;
    } reads[] = {{0, 10, "headpixels"}, {2, 4, "adpi"}, {4, 3, "pix"}, {8, 10, "ls"}, {10, 3, ""}, {12, 1, ""}};
    for (const Read& r : reads) {
        s.SetPosition(r.from);
        std::string got(size_t(r.count), '\0');
        got.resize(size_t(s.Read(got.data(), r.count)));
        EXPECT_EQ(got, r.want) << r.from;
    }
    s.SetPosition(0);
    EXPECT_THROW(s.Write("x", 1), EWriteError);
    EXPECT_THROW(s.SetSize(3), EWriteError);
    EXPECT_EQ(s.GetSize(), 10);
}
