// Replays every input the picture fuzz target kept (its regression folder
// and its corpus): each must go the whole way in without a crash.
#include <gtest/gtest.h>

#include "fuzz/PictureHarness.h"
#include "tests/support/FuzzReplay.h"

TEST(PictureFuzzRegressions, EveryKeptInputRunsCleanly)
{
    EXPECT_GT(ReplayKeptInputs({"tests/FreeImage/fuzz-regressions", "fuzz/corpus/picture"},
                               [](const uint8_t* data, size_t size) {
                                   EXPECT_NO_THROW(RunPictureHarness(data, size));
                               }),
              0);
}
