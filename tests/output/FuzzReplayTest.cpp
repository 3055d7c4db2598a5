// Replays, through the fuzz targets' own harnesses, every input the
// portfolio and template targets once failed on (tests/output/
// fuzz-regressions/<target>/, kept there by scripts/fuzz.sh) and their kept
// corpora (fuzz/corpus/<target>/), so that a change that breaks on one of
// them fails here too, without clang or sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/PortfolioFileHarness.h"
#include "fuzz/PortfolioXmlHarness.h"
#include "fuzz/TemplateFileHarness.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

std::filesystem::path SourceDir()
{
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    return source ? std::filesystem::path(source)
                  : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

using Harness = std::function<void(const uint8_t*, size_t)>;

// Runs every file of the target's two folders; the harness aborts on what
// it must never see, so reaching the end is the test.
int Replay(const std::string& target, const Harness& harness)
{
    int replayed = 0;
    for (const std::filesystem::path& dir : {SourceDir() / "tests/output/fuzz-regressions" / target,
                                            SourceDir() / "fuzz/corpus" / target}) {
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = ReadFileBytes(entry.path().string());
            harness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    return replayed;
}

} // namespace

TEST(FuzzReplay, PortfolioFiles)
{
    TempRoot root;
    TempDir dir;
    const std::string path = dir / "received.pfo";
    EXPECT_GT(Replay("portfolio_file",
                     [&](const uint8_t* data, size_t size) { RunPortfolioFileHarness(data, size, path); }),
              0);
}

TEST(FuzzReplay, PortfolioDescriptions)
{
    EXPECT_GT(Replay("portfolio_xml", RunPortfolioXmlHarness), 0);
}

TEST(FuzzReplay, TemplateFiles)
{
    TempRoot root;
    TempDir dir;
    EXPECT_GT(Replay("template_file",
                     [&](const uint8_t* data, size_t size) { RunTemplateFileHarness(data, size, dir.Path().string()); }),
              0);
}
