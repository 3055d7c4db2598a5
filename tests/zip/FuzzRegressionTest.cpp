// Replays every input under fuzz-regressions/ that once crashed the
// directory reader's fuzz target (scripts/fuzz.sh keeps them there).
#include <gtest/gtest.h>

#include "fuzz/ZipDirectoryHarness.h"
#include "tests/support/FuzzReplay.h"

TEST(ZipFuzzRegressions, EveryKeptInputRunsCleanly)
{
    EXPECT_GT(ReplayKeptInputs({"tests/zip/fuzz-regressions"},
                               [](const uint8_t* data, size_t size) {
                                   EXPECT_NO_THROW(RunZipDirectoryHarness(data, size));
                               }),
              0);
}
