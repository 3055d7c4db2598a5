// Replays every input under fuzz-regressions/ that once crashed the
// directory reader's fuzz target (scripts/fuzz.sh keeps them there).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fuzz/ZipDirectoryHarness.h"
#include "tests/support/TempDir.h"

TEST(ZipFuzzRegressions, EveryKeptInputRunsCleanly)
{
    // The build passes absolute source paths, so the folder beside this file
    // is found also when the test runs outside CTest.
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    const std::filesystem::path dir = source ? std::filesystem::path(source) / "tests/zip/fuzz-regressions"
                                             : std::filesystem::path(__FILE__).parent_path() / "fuzz-regressions";
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = ReadFileBytes(entry.path().string());
        EXPECT_NO_THROW(RunZipDirectoryHarness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
