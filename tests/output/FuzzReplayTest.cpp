// Replays, through the fuzz targets' own harnesses, every input the
// portfolio and template targets once failed on (tests/output/
// fuzz-regressions/<target>/, kept there by scripts/fuzz.sh) and their kept
// corpora (fuzz/corpus/<target>/), so that a change that breaks on one of
// them fails here too, without clang or sanitizers.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/PortfolioFileHarness.h"
#include "fuzz/PortfolioXmlHarness.h"
#include "fuzz/TemplateFileHarness.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/FuzzReplay.h"
#include "tests/support/TempDir.h"

TEST(FuzzReplay, PortfolioFiles)
{
    TempRoot root;
    TempDir dir;
    const std::string path = dir / "received.pfo";
    EXPECT_GT(ReplayKeptInputs({"tests/output/fuzz-regressions/portfolio_file", "fuzz/corpus/portfolio_file"},
                               [&](const uint8_t* data, size_t size) { RunPortfolioFileHarness(data, size, path); }),
              0);
}

TEST(FuzzReplay, PortfolioDescriptions)
{
    EXPECT_GT(ReplayKeptInputs({"tests/output/fuzz-regressions/portfolio_xml", "fuzz/corpus/portfolio_xml"},
                               RunPortfolioXmlHarness), 0);
}

TEST(FuzzReplay, TemplateFiles)
{
    TempRoot root;
    TempDir dir;
    EXPECT_GT(ReplayKeptInputs({"tests/output/fuzz-regressions/template_file", "fuzz/corpus/template_file"},
                               [&](const uint8_t* data, size_t size) {
                                   RunTemplateFileHarness(data, size, dir.Path().string());
                               }),
              0);
}
