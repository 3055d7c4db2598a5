// What a failed save tells the user, and what killed saves leave behind:
// a full disk (a real, small file system) is named with its folder, an
// artwork without a picture is named by its title, and the hidden temporary
// files of killed saves go at the next save of the same file unless some
// process still holds them; the user's own hidden files stay.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/BmpFile.h"
#include "tests/support/KilledSave.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

// A 24-bit bitmap of noise: it does not deflate.
std::string NoiseBmp(uint32_t w, uint32_t h)
{
    const uint32_t stride = (w * 3 + 3) & ~3u;
    std::string bmp = BmpHeaders(w, h, 24, 0, 54, stride * h, 0);
    std::mt19937 random(7);
    for (uint32_t i = 0; i < stride * h; ++i)
        bmp += char(random() & 0xFF);
    return bmp;
}

std::unique_ptr<Portfolio> MakePortfolio(const std::string& path, int artworks)
{
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetFileName(path);
    portfolio->SetTemplate(TemplateLibrary::Instance()->GetDefaultTemplate());
    const std::string bmp = NoiseBmp(640, 480);
    for (int i = 0; i < artworks; ++i) {
        TMemoryStream stream;
        stream.WriteBuffer(bmp.data(), int64_t(bmp.size()));
        stream.SetPosition(0);
        auto picture = std::make_unique<Picture>(portfolio.get());
        EXPECT_TRUE(picture->LoadFromStream(stream));
        portfolio->AddPicture(picture.release());
    }
    return portfolio;
}

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(PortfolioSaveFailureTest, FullDiskIsNamedWithItsFolderAndTheOldFileStays)
{
    SmallDisk disk(512 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const std::string path = disk / "portfolio.pfo";
    ASSERT_TRUE(MakePortfolio(path, 0)->Save());
    const std::string before = ReadFileBytes(path);

    auto portfolio = MakePortfolio(path, 3);
    std::string failure;
    EXPECT_FALSE(portfolio->Save(&failure));
    EXPECT_EQ(failure, "The disk is full: the folder \"" + disk.Path() + "\" has no room left for \"portfolio.pfo\".");
    EXPECT_TRUE(portfolio->IsModified());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(Names(disk.Path()), std::set<std::string>{"portfolio.pfo"});
}

TEST(PortfolioSaveFailureTest, ArtworkWithoutPictureIsNamedAndNothingIsWritten)
{
    TempDir dir;
    const std::string path = dir / "p.pfo";
    struct Case {
        const char* title;
        const char* expected;
    };
    const Case cases[] = {
        {"Night & Day", "The artwork \"Night & Day\" (number 2) has no picture. Give it a picture or remove it, "
                        "then save again."},
        {"", "The artwork number 2 has no picture. Give it a picture or remove it, then save again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        auto portfolio = MakePortfolio(path, 1);
        auto blank = std::make_unique<Picture>(portfolio.get());
        blank->SetTitle(c.title);
        portfolio->AddPicture(blank.release());
        std::string failure;
        EXPECT_FALSE(portfolio->Save(&failure));
        EXPECT_EQ(failure, c.expected);
        EXPECT_TRUE(Names(dir.Path().string()).empty());
    }
}

TEST(PortfolioSaveFailureTest, APortfolioThatCouldNotBeOpenedAgainIsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    const std::string path = dir / "p.pfo";
    ASSERT_TRUE(MakePortfolio(path, 1)->Save());
    const std::string before = ReadFileBytes(path);
    // Words rather than one letter: the file stays small, as the user's does.
    auto text = [](size_t bytes, int seed) {
        std::mt19937 random(seed);
        std::string words;
        while (words.size() < bytes)
            words += std::string(1 + random() % 9, char('a' + random() % 26)) + ' ';
        words.resize(bytes);
        return words;
    };
    struct Case {
        const char* what;
        size_t description;
        bool saves;
    };
    const Case cases[] = {{"over the limit", 900 << 10, false}, {"under it", 700 << 10, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto portfolio = MakePortfolio(path, 20);
        for (int i = 0; i < 20; ++i) {
            portfolio->GetPicture(i)->SetTitle("Study " + std::to_string(i + 1));
            portfolio->GetPicture(i)->SetDescription(text(c.description + (i == 6 ? 1000 : 0), i));
        }
        std::string failure;
        ASSERT_EQ(portfolio->Save(&failure), c.saves) << failure;
        EXPECT_EQ(Names(dir.Path().string()), std::set<std::string>{"p.pfo"});
        if (!c.saves) {
            EXPECT_EQ(ReadFileBytes(path), before);
            EXPECT_NE(failure.find("more than the 16.0 MiB a portfolio file may hold: the saved file could not be "
                                   "opened again. The longest description (0.9 MiB) is that of the artwork "
                                   "\"Study 7\" (number 7). Shorten the longest texts, then save again."),
                      std::string::npos)
                << failure;
            continue;
        }
        Portfolio opened;
        opened.SetFileName(path);
        ASSERT_TRUE(opened.Load());
        ASSERT_EQ(opened.GetPictureCount(), 20);
        EXPECT_EQ(opened.GetPicture(6)->GetDescription(false), portfolio->GetPicture(6)->GetDescription(false));
    }
}

// Holds a file open in a process of its own until destroyed.
class Holder {
public:
    explicit Holder(const std::string& path)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 3, path.c_str(), O_RDONLY, 0);
        char sleep[] = "/bin/sleep";
        char seconds[] = "300";
        char* argv[] = {sleep, seconds, nullptr};
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Holder()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // True once the child has the file open.
    bool Holds(const std::string& path) const
    {
        struct stat wanted {};
        if (pid_ <= 0 || ::stat(path.c_str(), &wanted) != 0)
            return false;
        for (int tries = 0; tries < 500; ++tries) {
            struct stat seen {};
            const std::string fd = "/proc/" + std::to_string(pid_) + "/fd/3";
            if (::stat(fd.c_str(), &seen) == 0 && seen.st_ino == wanted.st_ino && seen.st_dev == wanted.st_dev)
                return true;
            ::usleep(10000);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

TEST(PortfolioSaveFailureTest, LeftoversOfKilledSavesGoAtTheNextSaveUnlessHeld)
{
    TempDir dir;
    const std::string path = dir / "p.pfo";
    ASSERT_TRUE(MakePortfolio(path, 0)->Save());
    // The user's own hidden files, some shaped like temporary names.
    const std::set<std::string> users{".save-backup", ".save-thesis", ".za2024", ".save-AbC123", ".zaQw3rTy",
                                      "notes.txt"};
    for (const std::string& name : users)
        dir.Write(name, std::string(1000, 'x'));
    // Each killed save removes what the one before it left, unless held.
    const std::string held = *LeaveKilledSave(path).begin();
    Holder holder(dir / held);
    ASSERT_TRUE(holder.Holds(dir / held));
    const std::string others = *LeaveKilledSave(path).begin();
    // Another user's file is not ours to remove (only root can make one).
    const bool othersFile = ::chown((dir / others).c_str(), 65534, 65534) == 0;
    const std::string killed = *LeaveKilledSave(path).begin();

    std::string failure;
    ASSERT_TRUE(MakePortfolio(path, 1)->Save(&failure)) << failure;
    std::set<std::string> expected = users;
    expected.insert({"p.pfo", held});
    if (othersFile)
        expected.insert(others);
    EXPECT_EQ(Names(dir.Path().string()), expected);
    EXPECT_FALSE(std::filesystem::exists(dir / killed));
}

} // namespace
