#include "platform/shell/Shell.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope (nullopt unsets it).
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string AccountHome()
{
    const passwd* account = ::getpwuid(::geteuid());
    return account && account->pw_dir ? account->pw_dir : "";
}

} // namespace

TEST(Shell, SpecialFoldersFollowXdgAndFallBackToHome)
{
    struct Case {
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string data;
        std::string config;
    };
    const Case cases[] = {
        {"/x/data", "/home/u", "/x/data", "/x/data"},
        {std::nullopt, "/home/u", "/home/u/.local/share", "/home/u/.config"},
        {"relative/ignored", "/home/u", "/home/u/.local/share", "/home/u/.config"},
        // Without HOME, the account's home from the user database.
        {std::nullopt, std::nullopt, AccountHome() + "/.local/share", AccountHome() + "/.config"},
    };
    for (const Case& c : cases) {
        ScopedEnv home("HOME", c.home);
        ScopedEnv data("XDG_DATA_HOME", c.xdg);
        ScopedEnv config("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(c.data, GetLocalAppDataFolder()) << c.xdg.value_or("-") << " " << c.home.value_or("-");
        EXPECT_EQ(c.config, GetUserConfigFolder()) << c.xdg.value_or("-") << " " << c.home.value_or("-");
    }
}

TEST(Shell, TempFolder)
{
    TempDir dir;
    {
        ScopedEnv tmp("TMPDIR", dir.Path().string());
        EXPECT_EQ(dir.Path().string() + "/", GetTempFolder());
    }
    {
        ScopedEnv tmp("TMPDIR", dir / "does-not-exist");
        EXPECT_EQ("/tmp/", GetTempFolder());
    }
    {
        ScopedEnv tmp("TMPDIR", std::nullopt);
        EXPECT_EQ("/tmp/", GetTempFolder());
    }
}

TEST(Shell, ForceDirectoriesCreatesEveryLevel)
{
    TempDir dir;
    const std::string deep = dir / "a/b/c/d";
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(ForceDirectories(deep + "/")); // already there
    const std::string file = dir.Write("file", "x");
    EXPECT_FALSE(ForceDirectories(file + "/sub"));
    EXPECT_FALSE(ForceDirectories(file));
    EXPECT_FALSE(ForceDirectories(""));
}

TEST(Shell, ForcePrivateFolderAcceptsOnlyARealFolderOfOurs)
{
    TempDir dir;
    const fs::path ours = dir.Path() / "ours";
    fs::create_directory(ours);
    const std::string file = dir.Write("file", "x");
    fs::create_directory_symlink(ours, dir.Path() / "link");
    const bool root = ::geteuid() == 0;
    if (root) {
        fs::create_directory(dir.Path() / "theirs");
        ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
    }
    struct Case {
        std::string path;
        mode_t modeBefore; // 0: leave as it is
        bool usable;
    } const cases[] = {
        {dir / "missing", 0, true},
        {dir / "ours", 0755, true}, // open to others: tightened
        {dir / "ours/", 0700, true},
        {dir / "link", 0, false},   // a planted link, even to a folder of ours
        {file, 0, false},
        {dir / "no/parent", 0, false},
        {"", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.modeBefore) {
            ASSERT_EQ(::chmod(c.path.c_str(), c.modeBefore), 0);
        }
        EXPECT_EQ(ForcePrivateFolder(c.path), c.usable);
        struct stat st{};
        if (c.usable) {
            ASSERT_EQ(::lstat(c.path.c_str(), &st), 0);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        }
    }
    if (root) {
        EXPECT_FALSE(ForcePrivateFolder(dir / "theirs"));
    }
}

TEST(Shell, UserTempFolderIsPerUserUnderTheTempFolder)
{
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.Path().string());
    EXPECT_EQ(GetUserTempFolder("Key"), (dir.Path() / ("Key-" + std::to_string(::geteuid()))).string() + "/");
}

TEST(Shell, DeleteFolderTreeRemovesEverythingButFollowsNoLinks)
{
    TempDir dir;
    TempDir outside;
    const std::string kept = outside.Write("keep.txt", "precious");
    dir.Write("tree/a/b/file.txt", "1");
    dir.Write("tree/top.txt", "2");
    fs::create_directory_symlink(outside.Path(), dir.Path() / "tree/a/link");
    ASSERT_EQ(0, ::chmod((dir / "tree/a/b").c_str(), 0500)); // read-only folders still go

    EXPECT_TRUE(DeleteFolderTree(dir / "tree"));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ("precious", ReadFileBytes(kept));
    EXPECT_FALSE(DeleteFolderTree(dir / "tree")); // gone already
}

TEST(Shell, DeleteFolderTreeRefusesDangerousPaths)
{
    TempDir dir;
    const std::string file = dir.Write("file.txt", "x");
    for (const std::string& path : {std::string(""), std::string("/"), std::string("//"), std::string("/./"),
                                    std::string("/tmp/.."), file}) {
        EXPECT_FALSE(DeleteFolderTree(path)) << path;
    }
    EXPECT_TRUE(fs::exists(file));
}

TEST(Shell, ExecutablePathAndFolder)
{
    const std::string exe = GetExecutablePath();
    EXPECT_EQ("platform_shell_tests", fs::path(exe).filename().string());
    EXPECT_EQ(fs::path(exe).parent_path().string() + "/", GetExecutableFolder());
}
