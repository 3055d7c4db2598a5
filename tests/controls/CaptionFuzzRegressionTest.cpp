// Replays every input under fuzz-regressions/ kept by the caption fuzz
// target: each must run through the header readers or the markup cleanly.
#include <gtest/gtest.h>

#include "fuzz/CaptionHarness.h"
#include "tests/support/FuzzReplay.h"

TEST(CaptionFuzzRegressions, EveryKeptInputRunsCleanly)
{
    EXPECT_GT(ReplayKeptInputs({"tests/controls/fuzz-regressions", "fuzz/corpus/caption"},
                               [](const uint8_t* data, size_t size) {
                                   EXPECT_NO_THROW(RunCaptionHarness(data, size));
                               }),
              0);
}
