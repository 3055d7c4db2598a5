// The burner driving the real disc master onto image-file drives; the disc
// is read back with xorriso.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscMaster.h"
#include "services/Burner.h"
#include "tests/platform/imapi/DiscImage.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class BurnerDiscTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RegisterDiscMasterClass(), S_OK); }
    void TearDown() override { RemovePseudoDrives(); }
    TempDir dir;
};

TEST_F(BurnerDiscTest, BurnsTheFolderWithItsNamesAndBytes)
{
    const fs::path src = dir.Path() / "portfolio";
    dir.Write("portfolio/portfolio.html", "<a href=\"Data/My%20Statement.html\">");
    dir.Write("portfolio/Data/My Statement.html", "with spaces");
    dir.Write("portfolio/Data/\xC3\x89t\xC3\xA9 \xC3\xA0 Montr\xC3\xA9" "al.html", "non-ASCII");
    dir.Write("portfolio/Images/" + std::string(66, 'w') + ".jpg", std::string(70000, '\x7F')); // 70 characters
    const std::string image = dir / "disc.iso";
    AddPseudoDrive(image);

    {
        Burner burner(nullptr);
        ASSERT_GE(burner.RecorderCount(), 1);
        ASSERT_TRUE(burner.SelectRecorder(0)) << burner.GetText();
        ASSERT_TRUE(burner.CheckMedia()) << burner.GetText();
        ASSERT_TRUE(burner.Burn(src.string() + "/")) << burner.GetText();
        EXPECT_EQ(burner.GetText(), "");
    }
    EXPECT_FALSE(CoIsInitialized());

    const std::string out = dir / "out";
    ASSERT_EQ(ExtractDiscImage(image, out), "");
    EXPECT_EQ(DiffFolders(src.string(), out), "");
}

TEST_F(BurnerDiscTest, ReportsWhatTheDiscMasterRefuses)
{
    AddPseudoDrive(dir / "disc.iso");

    Burner burner(nullptr);
    ASSERT_TRUE(burner.SelectRecorder(0));
    EXPECT_FALSE(burner.Burn(dir / "missing/"));
    EXPECT_EQ(burner.GetText(),
        "The portfolio's folder could not be read for the disc. An unknown IMAPI error (0x80030003) occurred.");

    // The user learns which file to rename and why.
    const std::string longName = std::string(101, 'n') + ".pdf";
    const struct {
        const char* folder;
        std::string file;
        const char* rule;
    } badNames[] = {
        {"question", "Data/what?.html", "holds one of the characters * / : ; ? \\ or a control character"},
        {"colon", "Data/CV: 2024.pdf", "holds one of the characters * / : ; ? \\ or a control character"},
        {"backslash", "a\\b.jpg", "holds one of the characters * / : ; ? \\ or a control character"},
        {"long", "Data/" + longName, "is longer than 103 characters"},
    };
    for (const auto& bad : badNames) {
        SCOPED_TRACE(bad.folder);
        dir.Write(std::string(bad.folder) + "/portfolio.html", "x");
        dir.Write(std::string(bad.folder) + "/" + bad.file, "x");
        EXPECT_FALSE(burner.Burn(dir / (std::string(bad.folder) + "/")));
        EXPECT_EQ(burner.GetText(), "The portfolio's files could not be put on the disc. The file \"" + bad.file +
                                        "\" cannot be put on a disc: its name " + bad.rule + ".");
    }

    // A drive another user holds is busy, not empty.
    Burner other(nullptr);
    ASSERT_TRUE(other.SelectRecorder(0));
    CComPtr<IDiscMaster> master;
    CoInitialize(nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_ALL, IID_IDiscMaster,
                  reinterpret_cast<void**>(&master)),
        S_OK);
    ASSERT_EQ(master->Open(), S_OK);
    CComPtr<IEnumDiscRecorders> list;
    ASSERT_EQ(master->EnumDiscRecorders(&list), S_OK);
    CComPtr<IDiscRecorder> holder;
    ULONG fetched = 0;
    ASSERT_EQ(list->Next(1, &holder, &fetched), S_OK);
    ASSERT_EQ(holder->OpenExclusive(), S_OK);
    EXPECT_FALSE(other.CheckMedia());
    EXPECT_EQ(other.GetText(), "The device cannot be used or is already in use.");
    holder->Close();
    EXPECT_TRUE(other.CheckMedia()) << other.GetText();
    holder.Reset();
    list.Reset();
    master->Close();
    master.Reset();
    CoUninitialize();
}

} // namespace
