#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>

#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/StaleTemporaryFiles.h"
#include "tests/support/KilledSave.h"
#include "tests/support/TempDir.h"

namespace {

// Hidden files a user may keep beside their work, some shaped like the
// temporary names of other programs or of earlier versions of this one.
const char* const kUsersFiles[] = {".save-backup", ".save-thesis", ".save-AbC123", ".za2024", ".zaQw3rTy",
                                   ".p.pfo.velmora-notes.txt", ".p.pfo.bak", ".velmora-ab12CD"};

TEST(StaleTemporaryFiles, OnlyLeftoversOfKilledSavesOfTheTargetGo)
{
    TempDir dir;
    const std::string target = dir.Write("p.pfo", "old");
    for (const char* name : kUsersFiles)
        dir.Write(name, "the user's own");
    // Killed saves of this file and of another one in the same folder.
    const std::set<std::string> leftover = LeaveKilledSave(target);
    const std::set<std::string> othersLeftover = LeaveKilledSave(dir.Write("q.pfo", "other"));
    ASSERT_EQ(NamesIn(dir.Path()).size(), std::size(kUsersFiles) + 4);

    std::string error;
    ASSERT_TRUE(SafeWriteFile(target, "new", 3, &error)) << error;

    std::set<std::string> expected{"p.pfo", "q.pfo"};
    expected.insert(std::begin(kUsersFiles), std::end(kUsersFiles));
    expected.insert(othersLeftover.begin(), othersLeftover.end());
    EXPECT_EQ(NamesIn(dir.Path()), expected);
    EXPECT_EQ(ReadFileBytes(target), "new");
    for (const char* name : kUsersFiles)
        EXPECT_EQ(ReadFileBytes(dir / name), "the user's own") << name;

    // The other file's leftover goes with that file's next save.
    ASSERT_TRUE(SafeWriteFile(dir / "q.pfo", "new", 3, &error)) << error;
    for (const std::string& name : othersLeftover)
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
}

TEST(StaleTemporaryFiles, NamesAsLongAsAFolderAllowsKeepTheirLeftoversApart)
{
    TempDir dir;
    // Two names of the longest kind that differ only at their end, with a
    // character of two bytes where a short form would cut.
    std::string stem;
    while (stem.size() < 240)
        stem += "\xC3\xA9";
    const std::string a = stem + std::string(NAME_MAX - stem.size(), 'a');
    const std::string b = stem + std::string(NAME_MAX - stem.size(), 'b');
    ASSERT_EQ(a.size(), size_t(NAME_MAX));
    const std::set<std::string> leftoverA = LeaveKilledSave(dir.Write(a, "a"));
    const std::set<std::string> leftoverB = LeaveKilledSave(dir.Write(b, "b"));
    for (const std::string& name : leftoverA)
        EXPECT_LE(name.size(), size_t(NAME_MAX));

    std::string error;
    ASSERT_TRUE(SafeWriteFile(dir / a, "new", 3, &error)) << error;
    std::set<std::string> expected{a, b};
    expected.insert(leftoverB.begin(), leftoverB.end());
    EXPECT_EQ(NamesIn(dir.Path()), expected);
    EXPECT_NE(TemporaryNamePrefix(a), TemporaryNamePrefix(b));
}

} // namespace
