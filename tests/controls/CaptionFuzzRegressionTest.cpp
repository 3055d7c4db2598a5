// Replays every input under fuzz-regressions/ kept by the caption fuzz
// target: each must run through the header readers or the markup cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fuzz/CaptionHarness.h"
#include "tests/support/TempDir.h"

TEST(CaptionFuzzRegressions, EveryKeptInputRunsCleanly)
{
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    const std::filesystem::path dir = source ? std::filesystem::path(source) / "tests/controls/fuzz-regressions"
                                             : std::filesystem::path(__FILE__).parent_path() / "fuzz-regressions";
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = ReadFileBytes(entry.path().string());
        EXPECT_NO_THROW(RunCaptionHarness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
