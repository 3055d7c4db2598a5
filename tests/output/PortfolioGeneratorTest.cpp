#include "output/HTMLGenerator.h"
#include "output/PortfolioGenerator.h"
#include "output/ProgressThread.h"
#include "output/TForm15.h"

#include "model/Portfolio.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QDate>

#include <climits>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const fs::path& path)
{
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::string Hex8(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// The folder's own name (without the path and final "/").
std::string LeafOf(const std::string& folder)
{
    return fs::path(folder).parent_path().filename().string();
}

class IdleJob : public ProgressThread {
public:
    IdleJob() : ProgressThread("Preview...", true) {}

protected:
    void Execute() override {}
};

} // namespace

TEST(PortfolioGeneratorTest, OutputFolderIsAPrivateNumberedFolderInTheWorkingFolder)
{
    TempRoot root;
    Portfolio portfolio;
    PortfolioGenerator first(&portfolio);
    PortfolioGenerator second(&portfolio);

    const std::string folder = first.GetOutputFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(fs::path(folder).parent_path().parent_path(), root.Working().parent_path());
    EXPECT_EQ(root.Working().parent_path().parent_path(), root.Path());
    // A name nobody else can take first: made with mkdtemp.
    const std::string working = root.Working().parent_path().filename().string();
    const std::string prefix = "VelmoraAlbumDesignerPro-" + std::to_string(::geteuid()) + "-";
    EXPECT_EQ(working.rfind(prefix, 0), 0u) << working;
    EXPECT_EQ(working.size(), prefix.size() + 6) << working;
    EXPECT_EQ(ModeOf(root.Working()), 0700u);
    EXPECT_EQ(ModeOf(folder), 0700u);

    const std::string leaf = LeafOf(folder);
    ASSERT_EQ(leaf.size(), 8u);
    EXPECT_EQ(leaf.find_first_not_of("0123456789ABCDEF"), std::string::npos) << leaf;
    const unsigned number = static_cast<unsigned>(std::stoul(leaf, nullptr, 16));
    EXPECT_EQ(LeafOf(second.GetOutputFolder()), Hex8(number + 1));
    EXPECT_EQ(first.GetKind(), 0);
    EXPECT_FALSE(first.Generate());
    EXPECT_FALSE(first.ShowResult());
}

TEST(PortfolioGeneratorTest, NumberWhoseFolderExistsIsSkipped)
{
    TempRoot root;
    Portfolio portfolio;
    auto first = std::make_unique<PortfolioGenerator>(&portfolio);
    const unsigned number = static_cast<unsigned>(std::stoul(LeafOf(first->GetOutputFolder()), nullptr, 16));
    // Left over from an earlier run that ended abruptly.
    const fs::path stale = root.Working() / Hex8(number + 1);
    fs::create_directory(stale);
    std::FILE* keep = std::fopen((stale / "keep.txt").c_str(), "w");
    ASSERT_NE(keep, nullptr);
    std::fputs("old", keep);
    std::fclose(keep);

    PortfolioGenerator next(&portfolio);
    EXPECT_EQ(LeafOf(next.GetOutputFolder()), Hex8(number + 2));
    EXPECT_EQ(ReadFileBytes((stale / "keep.txt").string()), "old");
}

TEST(PortfolioGeneratorTest, FoldersAreDistinctAcrossThreadsAndRemovedWithEverythingInside)
{
    TempRoot root;
    Portfolio portfolio;
    constexpr int kThreads = 8;
    constexpr int kEach = 25;
    std::vector<std::vector<std::unique_ptr<PortfolioGenerator>>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                made[t].push_back(std::make_unique<HTMLGenerator>(&portfolio));
        });
    for (auto& thread : threads)
        thread.join();

    std::set<std::string> folders;
    for (auto& list : made)
        for (auto& generator : list) {
            const std::string folder = generator->GetOutputFolder();
            EXPECT_TRUE(fs::is_directory(folder)) << folder;
            folders.insert(folder);
            // Something to remove: a file and a nested folder with a file.
            fs::create_directories(folder + "Data/deeper");
            std::FILE* f = std::fopen((folder + "Data/deeper/x.bin").c_str(), "w");
            ASSERT_NE(f, nullptr);
            std::fclose(f);
        }
    EXPECT_EQ(folders.size(), static_cast<size_t>(kThreads * kEach));

    // Destroyed through the base: the whole folder goes.
    for (auto& list : made)
        list.clear();
    for (const std::string& folder : folders)
        EXPECT_FALSE(fs::exists(folder)) << folder;
    EXPECT_TRUE(fs::is_directory(root.Working()));
}

// What another user, or anyone, left in the shared temp folder under the
// name the working folder once had changes nothing: the working folder is a
// fresh one of ours, and what was planted stays as it was.
TEST(PortfolioGeneratorTest, WhatOthersMadeUnderTheOldFixedNameChangesNothing)
{
    Portfolio portfolio;
    struct Case {
        const char* what;
        bool needsRoot;
        std::function<void(const fs::path& old, const fs::path& elsewhere)> plant;
    };
    const Case cases[] = {
        {"another user's folder open to all", true,
         [](const fs::path& old, const fs::path&) { MakeFolderAsOtherUser(old, 0777); }},
        {"a link to another folder", false,
         [](const fs::path& old, const fs::path& elsewhere) { fs::create_directory_symlink(elsewhere, old); }},
        {"a file", false,
         [](const fs::path& old, const fs::path&) { std::fclose(std::fopen(old.c_str(), "w")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0)
            continue;
        TempRoot root;
        ::chmod(root.Path().c_str(), 01777);
        TempDir elsewhere;
        const fs::path old = root.Path() / ("VelmoraAlbumDesignerPro-" + std::to_string(::geteuid()));
        c.plant(old, elsewhere.Path());
        struct stat before{};
        ASSERT_EQ(::lstat(old.c_str(), &before), 0);

        std::unique_ptr<PortfolioGenerator> generator;
        ASSERT_NO_THROW(generator = std::make_unique<PortfolioGenerator>(&portfolio));
        const fs::path working = fs::path(generator->GetOutputFolder()).parent_path().parent_path();
        EXPECT_EQ(working.parent_path(), root.Path());
        EXPECT_NE(working, old);
        struct stat st{};
        ASSERT_EQ(::lstat(working.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 07777, 0700u);

        EXPECT_EQ(PortfolioGenerator::RemoveAbandonedWorkingFolders(), 0);
        struct stat after{};
        ASSERT_EQ(::lstat(old.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
    }
}

namespace {

// A run of the program in a child process: it makes its working folder,
// tells where, and lives until killed.
class ChildRun {
public:
    ChildRun()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string folder = PortfolioGenerator::GetWorkingFolder() + "\n";
            [[maybe_unused]] const ssize_t n = ::write(fds[1], folder.data(), folder.size());
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            if (folder_.append(buffer, static_cast<size_t>(n)).back() == '\n')
                break;
        ::close(fds[0]);
        if (!folder_.empty())
            folder_.pop_back();
    }
    ~ChildRun() { Kill(); }
    void Kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    const std::string& Folder() const { return folder_; }

private:
    pid_t pid_ = -1;
    std::string folder_;
};

} // namespace

TEST(PortfolioGeneratorTest, WorkingFoldersOfKilledRunsGoAndThoseOfLivingRunsStay)
{
    TempRoot root;
    // The children first: a child forked later would share this process's folder.
    ChildRun living, killed;
    const std::string own = PortfolioGenerator::GetWorkingFolder();
    ASSERT_FALSE(own.empty());
    ASSERT_FALSE(living.Folder().empty());
    ASSERT_FALSE(killed.Folder().empty());
    EXPECT_NE(living.Folder(), killed.Folder());
    EXPECT_NE(living.Folder(), own);
    fs::create_directories(killed.Folder() + "0000ABCD/Data");
    killed.Kill();

    // What an older version left in its fixed folder: output folders go,
    // its lock (which may still be held) stays.
    const fs::path legacy = root.Path() / ("VelmoraAlbumDesignerPro-" + std::to_string(::geteuid()));
    fs::create_directories(legacy / "0123ABCD" / "Images");
    std::fclose(std::fopen((legacy / "VelmoraAlbumDesignerPro.lock").c_str(), "w"));
    // A folder of our pattern that another user made is theirs to remove.
    const fs::path theirs = root.Path() / ("VelmoraAlbumDesignerPro-" + std::to_string(::geteuid()) + "-abcdef");
    if (::geteuid() == 0) {
        fs::create_directory(theirs);
        ASSERT_EQ(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
    }

    EXPECT_EQ(PortfolioGenerator::RemoveAbandonedWorkingFolders(), 2);
    EXPECT_FALSE(fs::exists(killed.Folder()));
    EXPECT_FALSE(fs::exists(legacy / "0123ABCD"));
    EXPECT_TRUE(fs::exists(legacy / "VelmoraAlbumDesignerPro.lock"));
    EXPECT_TRUE(fs::is_directory(living.Folder()));
    EXPECT_TRUE(fs::is_directory(own));
    if (::geteuid() == 0)
        EXPECT_TRUE(fs::is_directory(theirs));

    living.Kill();
    EXPECT_EQ(PortfolioGenerator::RemoveAbandonedWorkingFolders(), 1);
    EXPECT_FALSE(fs::exists(living.Folder()));
    EXPECT_EQ(PortfolioGenerator::GetWorkingFolder(), own);
}

TEST(PortfolioGeneratorTest, DateAndYearTexts)
{
    TempRoot root;
    Portfolio portfolio;
    PortfolioGenerator generator(&portfolio);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(generator.GetYearText(), std::to_string(today.year()));
    const std::string date = generator.GetDateText();
    // "d MMMM yyyy": no leading zero on the day, the month spelled out.
    EXPECT_EQ(date.rfind(std::to_string(today.day()) + " ", 0), 0u) << date;
    EXPECT_EQ(date.substr(date.size() - 5), " " + generator.GetYearText()) << date;
    EXPECT_GT(date.size(), std::to_string(today.day()).size() + 6) << date;
}

TEST(PortfolioGeneratorTest, SaveStreamToFolderTakesOnlyTheFileNamePart)
{
    TempRoot root;
    Portfolio portfolio;
    PortfolioGenerator generator(&portfolio);
    const std::string out = generator.GetOutputFolder();
    fs::create_directory(out + "Data");

    TMemoryStream stream;
    stream.WriteBuffer("document bytes", 14);
    // Written from the first byte wherever the stream stands.
    ASSERT_EQ(stream.GetPosition(), 14);

    struct Case {
        const char* name;
        const char* pattern;
        const char* expected; // relative to the output folder, or null: refused
    };
    const Case cases[] = {
        {"C:\\Docs\\My CV.doc", "%s\\Data\\%s", "Data/My CV.doc"},
        {"/home/artist/docs/Statement.pdf", "%s/Data/%s", "Data/Statement.pdf"},
        {"plain.txt", "%s\\%s", "plain.txt"},
        {"../x", "%s/Data/%s", "Data/x"},
        {"..\\..\\escape.txt", "%s/%s", "escape.txt"},
        {"C:\\Docs\\", "%s/Data/%s", nullptr},
        {"..", "%s/Data/%s", nullptr},
        {".", "%s/%s", nullptr},
        {"", "%s/%s", nullptr},
        {"%s%s%n.txt", "%s/%s", "%s%s%n.txt"},
        {"name.txt", "%s/Data/%s/%s", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool ok = generator.SaveStreamToFolder(&stream, c.name, c.pattern);
        if (!c.expected) {
            EXPECT_FALSE(ok);
            continue;
        }
        EXPECT_TRUE(ok);
        EXPECT_EQ(ReadFileBytes(out + c.expected), "document bytes");
    }
    EXPECT_FALSE(generator.SaveStreamToFolder(nullptr, "a.txt", "%s/%s"));
    EXPECT_FALSE(fs::exists(out + "a.txt"));
    // Nothing landed outside the output folder.
    EXPECT_FALSE(fs::exists(root.Working() / "x"));
    EXPECT_FALSE(fs::exists(root.Working() / "escape.txt"));

    // An empty stream is an empty file.
    TMemoryStream empty;
    EXPECT_TRUE(generator.SaveStreamToFolder(&empty, "empty.bin", "%s/Data/%s"));
    EXPECT_TRUE(fs::exists(out + "Data/empty.bin"));
    EXPECT_EQ(fs::file_size(out + "Data/empty.bin"), 0u);
    // No folder to write into: failure, not a file somewhere else.
    EXPECT_FALSE(generator.SaveStreamToFolder(&stream, "a.txt", "%s/Missing/%s"));
}

TEST(PortfolioGeneratorTest, LoadFromDiskGivesTheBytesFollowedByEightZeros)
{
    TempDir dir;
    for (const std::string& content : {std::string(), std::string("<html>text</html>"), std::string(70000, 'x')}) {
        SCOPED_TRACE(content.size());
        const std::string path = dir.Write("file.html", content);
        std::uint32_t size = 12345;
        char* block = PortfolioGenerator::LoadFromDisk(path, size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(size, content.size());
        EXPECT_EQ(std::string(block, size), content);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(block[size + i], 0);
        std::free(block);
    }
    std::uint32_t size = 777;
    EXPECT_EQ(PortfolioGenerator::LoadFromDisk(dir / "missing.html", size), nullptr);
    EXPECT_EQ(PortfolioGenerator::LoadFromDisk(dir.Path().string(), size), nullptr);
    EXPECT_EQ(size, 777u);
}

TEST(PortfolioGeneratorTest, SaveToDiskWritesEveryByteOrFailsWithoutHarm)
{
    TempDir dir;
    EXPECT_TRUE(PortfolioGenerator::SaveToDisk(dir / "empty.html", ""));
    EXPECT_TRUE(fs::exists(dir / "empty.html"));
    EXPECT_EQ(fs::file_size(dir / "empty.html"), 0u);

    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    const std::string path = dir.Write("page.html", "old page");
    EXPECT_TRUE(PortfolioGenerator::SaveToDisk(path, big));
    EXPECT_EQ(ReadFileBytes(path), big);

    EXPECT_FALSE(PortfolioGenerator::SaveToDisk(dir / "no/such/folder/page.html", "x"));
    EXPECT_FALSE(PortfolioGenerator::SaveToDisk("", "x"));

    // Any name the folder can hold can be written, the longest included
    // (a received document's name can be that long).
    const std::string longest = std::string(NAME_MAX - 4, 'n') + ".doc";
    EXPECT_TRUE(PortfolioGenerator::SaveToDisk(dir / longest, "long"));
    EXPECT_EQ(ReadFileBytes(dir / longest), "long");
    fs::remove(dir / longest);

    // No temporary files stay behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 2);
}

TEST(PortfolioGeneratorTest, StepProgressReportsToTheSinkAndStopsAtTheMaximum)
{
    TempRoot root;
    Portfolio portfolio;
    PortfolioGenerator generator(&portfolio);
    // No sink: nothing to report and nothing counted.
    generator.SetStepCount(5);
    generator.StepProgress();

    IdleJob job;
    generator.SetProgressSink(&job);
    generator.SetStepCount(5);
    TForm15* form = job.ProgressForm();
    struct Seen {
        int position, maximum;
    };
    std::vector<Seen> seen;
    for (int i = 0; i < 6; ++i) {
        generator.StepProgress();
        seen.push_back({form->BarPosition(), form->BarMaximum()});
    }
    // Steps 1..4 show; 5 and 6 lie above the maximum of 4 and leave it full.
    const Seen expected[] = {{1, 4}, {2, 4}, {3, 4}, {4, 4}, {4, 4}, {4, 4}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(seen[i].position, expected[i].position) << "step " << i + 1;
        EXPECT_EQ(seen[i].maximum, expected[i].maximum) << "step " << i + 1;
    }
    // A new count starts over.
    generator.SetStepCount(3);
    generator.StepProgress();
    EXPECT_EQ(form->BarPosition(), 1);
    EXPECT_EQ(form->BarMaximum(), 2);
}

TEST(PortfolioGeneratorTest, DeleteFolderRemovesTheTreeOnce)
{
    TempRoot root;
    Portfolio portfolio;
    PortfolioGenerator generator(&portfolio);
    const std::string folder = generator.GetOutputFolder();
    fs::create_directories(folder + "Images/sub");
    EXPECT_TRUE(generator.DeleteFolder());
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(generator.DeleteFolder());
}
