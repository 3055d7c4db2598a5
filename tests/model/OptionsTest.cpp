#include "model/Options.h"

#include <cstdlib>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryHive.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/resources/Resources.h"
#include "platform/shell/Shell.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace {

const char* const kButtons = "\\Software\\Google\\Picasa\\Picasa2\\Preferences\\Buttons";

// Each test runs against an empty registry and data folder of its own.
class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* var : {"VELMORA_REGISTRY_DIR", "XDG_DATA_HOME", "PATH"}) {
            const char* old = std::getenv(var);
            saved_.emplace_back(var, old ? old : "");
        }
        setenv("VELMORA_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override
    {
        Options::FreeInstance();
        for (const auto& [var, value] : saved_)
            setenv(var.c_str(), value.c_str(), 1);
    }

    std::string Stored(const std::string& name)
    {
        TRegistryIniFile ini(Options::SettingsKey, KEY_READ);
        return ini.ReadString(Options::SettingsSection, name, "<missing>");
    }
    std::string HiveText() { return ReadFileBytes(dir_ / "registry/HKEY_CURRENT_USER.reg"); }

    std::string ExpectedInstallFolder() { return Options::InstallFolderFor(GetExecutableFolder()); }

    TempDir dir_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TRegistry OpenKey(const std::string& key, HKEY root = HKEY_CURRENT_USER)
{
    TRegistry reg;
    reg.SetRootKey(root);
    EXPECT_TRUE(reg.OpenKey(key, true));
    return reg;
}

} // namespace

TEST_F(OptionsTest, DefaultsOnAFreshMachine)
{
    Options options;
    EXPECT_EQ(2, options.GetWindowsKind());
    EXPECT_DOUBLE_EQ(0, options.GetLastUpdateCheck());
    EXPECT_TRUE(options.GetShowWelcome());
    EXPECT_TRUE(options.GetCheckForUpdates());
    EXPECT_TRUE(options.GetIncludeCopyright());
    EXPECT_FALSE(options.GetIncludeDate());
    EXPECT_EQ(5, options.GetPictureSize());
    EXPECT_EQ(80, options.GetPdfCompression());
    EXPECT_EQ("", options.GetRecentFile1());
    EXPECT_EQ("", options.GetRecentFile2());
    EXPECT_EQ("", options.GetRecentFile3());
}

TEST_F(OptionsTest, EverySettingRoundTripsThroughTheRegistryFile)
{
    {
        Options options;
        options.SetShowWelcome(false);
        options.SetCheckForUpdates(false);
        options.SetIncludeCopyright(false);
        options.SetIncludeDate(true);
        options.SetPictureSize(2);
        options.SetPdfCompression(33);
        options.SetRecentFile0("/art/zero.pfo");
        options.SetRecentFile1("/art/one.pfo");
        options.SetRecentFile2("/art/two.pfo");
        options.SetRecentFile3("/art/th\"ree\\.pfo");
    }
    // What a later run reads is what the file holds.
    RegKey tree;
    ASSERT_EQ(0, RegistryHive::Parse(HiveText(), HKEY_CURRENT_USER, tree));
    const RegKey* section = tree.Find({"Software", "Velmora Album Designer Pro", "Settings"});
    ASSERT_NE(nullptr, section);
    EXPECT_EQ("/art/th\"ree\\.pfo", section->FindValue("RecentFile3")->data);

    Options options;
    EXPECT_FALSE(options.GetShowWelcome());
    EXPECT_FALSE(options.GetCheckForUpdates());
    EXPECT_FALSE(options.GetIncludeCopyright());
    EXPECT_TRUE(options.GetIncludeDate());
    EXPECT_EQ(2, options.GetPictureSize());
    EXPECT_EQ(33, options.GetPdfCompression());
    EXPECT_EQ("/art/zero.pfo", options.GetRecentFile0());
    EXPECT_EQ("/art/one.pfo", options.GetRecentFile1());
    EXPECT_EQ("/art/two.pfo", options.GetRecentFile2());
    EXPECT_EQ("/art/th\"ree\\.pfo", options.GetRecentFile3());
}

TEST_F(OptionsTest, LastUpdateCheckStoresTheCurrentLocalTime)
{
    Options options;
    const TDateTime before = Now();
    options.SetLastUpdateCheck();
    const TDateTime after = Now();
    const TDateTime stored = options.GetLastUpdateCheck();
    EXPECT_GE(stored, before);
    EXPECT_LE(stored, after);
    // Days since 30 Dec 1899: any date after 2020 lies beyond 43831.
    EXPECT_GT(stored, 43831.0);
    EXPECT_NE(std::string::npos, HiveText().find("\"LastUpdateCheck\"=hex:"));
}

TEST_F(OptionsTest, RangeGuardsIgnoreValuesOutsideTheRange)
{
    struct Case {
        int value;
        bool stored;
    };
    Options options;
    for (const Case& c : {Case{-1, false}, Case{8, false}, Case{0, true}, Case{7, true}, Case{100, false}}) {
        options.SetPictureSize(3);
        options.SetPictureSize(c.value);
        EXPECT_EQ(c.stored ? c.value : 3, options.GetPictureSize()) << c.value;
    }
    for (const Case& c : {Case{-1, false}, Case{101, false}, Case{0, true}, Case{100, true}}) {
        options.SetPdfCompression(50);
        options.SetPdfCompression(c.value);
        EXPECT_EQ(c.stored ? c.value : 50, options.GetPdfCompression()) << c.value;
    }
}

TEST_F(OptionsTest, FirstRunRecordsTheInstallFolderAndRegistersWithTheOrganiser)
{
    OpenKey(kButtons).WriteString("7", "someone else's button");
    {
        Options options;
        EXPECT_EQ("0", Stored("FirstRun"));
        EXPECT_EQ(ExpectedInstallFolder(), Stored("InstallFolder"));
        EXPECT_TRUE(options.GetPicasaIntegration());
    }
    TRegistry buttons = OpenKey(kButtons);
    EXPECT_THAT(buttons.GetValueNames(), ElementsAre("7", "8"));
    EXPECT_NE(std::string::npos, buttons.ReadString("8").find(ExpectedInstallFolder()));

    // Later runs leave the organiser alone, even after the user switched it off.
    {
        Options options;
        options.SetPicasaIntegration(false);
    }
    Options again;
    EXPECT_FALSE(again.GetPicasaIntegration());
    EXPECT_THAT(buttons.GetValueNames(), ElementsAre("7", "8"));
}

TEST_F(OptionsTest, OrganiserIntegrationSwitching)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> existing;
        std::string expectedName;
    };
    const Case cases[] = {
        {{}, "0"},
        {{{"a", "x"}, {"b", "y"}}, "0"},
        {{{"7", "x"}}, "8"},
        {{{"12", "x"}, {"3", "y"}}, "4"},
    };
    Options options;
    for (const Case& c : cases) {
        TRegistry cleaner;
        cleaner.DeleteKey(kButtons);
        TRegistry buttons = OpenKey(kButtons);
        for (const auto& [name, value] : c.existing)
            buttons.WriteString(name, value);
        options.SetPicasaIntegration(true);
        options.SetPicasaIntegration(true); // twice adds one entry only
        ASSERT_TRUE(options.GetPicasaIntegration());
        const auto names = buttons.GetValueNames();
        ASSERT_EQ(c.existing.size() + 1, names.size()) << c.expectedName;
        EXPECT_EQ(c.expectedName, names.back());
    }
    // Off blanks every entry that carries our text and keeps the values.
    TRegistry buttons = OpenKey(kButtons);
    const std::string entry = buttons.ReadString("4");
    buttons.WriteString("5", entry);
    options.SetPicasaIntegration(false);
    EXPECT_FALSE(options.GetPicasaIntegration());
    EXPECT_EQ("", buttons.ReadString("4"));
    EXPECT_EQ("", buttons.ReadString("5"));
    EXPECT_EQ("y", buttons.ReadString("3"));
}

TEST_F(OptionsTest, OrganiserMissingMeansNothingIsWritten)
{
    Options options;
    EXPECT_FALSE(options.IsPicasaInstalled());
    options.SetPicasaIntegration(true);
    EXPECT_FALSE(options.GetPicasaIntegration());
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists(kButtons));
    OpenKey("\\Software\\Google\\Picasa");
    EXPECT_TRUE(options.IsPicasaInstalled());
}

TEST_F(OptionsTest, RecentFileFallsBackToTheSampleInTheInstallFolder)
{
    Options options;
    const std::string sample = options.GetInstallFolder() + Options::SampleFileName;
    EXPECT_EQ(sample, options.GetRecentFile0());
    EXPECT_EQ(sample, Stored("RecentFile0"));
    options.SetRecentFile0("/elsewhere/mine.pfo");
    EXPECT_EQ("/elsewhere/mine.pfo", options.GetRecentFile0());
    options.SetRecentFile0("");
    EXPECT_EQ(sample, options.GetRecentFile0());
}

TEST_F(OptionsTest, InstallFolderRule)
{
    TempDir install;
    const std::string bin = install / "bin";
    ASSERT_TRUE(ForceDirectories(bin));
    EXPECT_EQ(install.Path().string() + "/share/velmora-voravev/", Options::InstallFolderFor(bin));
    EXPECT_EQ(install.Path().string() + "/share/velmora-voravev/", Options::InstallFolderFor(bin + "/"));
    install.Write("bin/templates.vtp", "<Templates/>");
    EXPECT_EQ(bin + "/", Options::InstallFolderFor(bin));
    EXPECT_EQ("", Options::InstallFolderFor(""));
}

TEST_F(OptionsTest, StaleInstallFolderIsRewrittenAtStart)
{
    TRegistryIniFile(Options::SettingsKey).WriteString(Options::SettingsSection, "InstallFolder", "/old/place");
    TRegistryIniFile(Options::SettingsKey).WriteBool(Options::SettingsSection, "FirstRun", false);
    Options options;
    EXPECT_EQ(ExpectedInstallFolder(), options.GetInstallFolder());
    EXPECT_EQ(ExpectedInstallFolder(), Stored("InstallFolder"));
    EXPECT_EQ('/', options.GetInstallFolder().back());
}

TEST_F(OptionsTest, AppDataFolderIsCreatedWithEveryLevel)
{
    setenv("XDG_DATA_HOME", (dir_ / "deep/er/data").c_str(), 1);
    Options options;
    const std::string folder = options.GetAppDataFolder();
    EXPECT_EQ(dir_ / "deep/er/data/VelmoraCreator/", folder);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(OptionsTest, PdfViewerFromTheClassesRootWalk)
{
    Options options;
    EXPECT_EQ("xdg-open", options.GetPdfViewerCommand());

    OpenKey("\\.pdf\\PersistentHandler", HKEY_CLASSES_ROOT).WriteString("", "{HANDLER}");
    OpenKey("\\CLSID\\{A}\\PersistentHandler", HKEY_CLASSES_ROOT).WriteString("", "{OTHER}");
    OpenKey("\\CLSID\\{A}\\LocalServer32", HKEY_CLASSES_ROOT).WriteString("", "wrong-viewer");
    OpenKey("\\CLSID\\{B}\\PersistentHandler", HKEY_CLASSES_ROOT).WriteString("", "{handler}"); // case differs
    OpenKey("\\CLSID\\{C}\\PersistentHandler", HKEY_CLASSES_ROOT).WriteString("", "{HANDLER}");
    // A match without a server gives no command.
    EXPECT_EQ("xdg-open", options.GetPdfViewerCommand());
    OpenKey("\\CLSID\\{C}\\LocalServer32", HKEY_CLASSES_ROOT).WriteString("", "/opt/viewer/bin/view --pdf");
    EXPECT_EQ("/opt/viewer/bin/view --pdf", options.GetPdfViewerCommand());
}

TEST_F(OptionsTest, DefaultMailClient)
{
    // A desktop whose mailto handler is a known desktop entry.
    const std::string bin = dir_ / "bin";
    dir_.Write("bin/xdg-mime", "#!/bin/sh\necho acme-mail.desktop\n");
    ASSERT_EQ(0, ::chmod((bin + "/xdg-mime").c_str(), 0755));
    dir_.Write("data/applications/acme-mail.desktop",
               "[Desktop Action Compose]\nName=Compose\n[Desktop Entry]\nType=Application\nName=Acme Mail\n");
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    Options options;
    EXPECT_EQ("Acme Mail", options.GetDefaultMailClient());

    // The registry entry comes first.
    OpenKey("\\Software\\Clients\\mail").WriteString("", "Registered Mail");
    EXPECT_EQ("Registered Mail", options.GetDefaultMailClient());

    // A mail program the desktop names but cannot find: the generic name.
    TRegistry().DeleteKey("\\Software\\Clients");
    dir_.Write("bin/xdg-mime", "#!/bin/sh\necho gone-mail.desktop\n");
    EXPECT_EQ("Default Mail Client", options.GetDefaultMailClient());

    // None named: no mail program to hand a message to.
    dir_.Write("bin/xdg-mime", "#!/bin/sh\nexit 1\n");
    EXPECT_EQ("", options.GetDefaultMailClient());
    dir_.Write("bin/xdg-mime", "#!/bin/sh\necho\n");
    EXPECT_EQ("", options.GetDefaultMailClient());
}

TEST_F(OptionsTest, ResourceTextKeepsEveryByte)
{
    static const unsigned char skeleton[] = {'<', 'p', '>', 0, '%', 'S', 'T', 'Y', 'L', 'E', 'S', '%', 0};
    static const ResourceEntry entries[] = {{"RC_DATA", "OPTIONS_TEST_PAGE", skeleton, sizeof skeleton - 1},
                                            {"OTHER", "OPTIONS_TEST_OTHER", skeleton, 3}};
    static const bool registered = (RegisterResourceTable(entries, 2), true);
    ASSERT_TRUE(registered);
    Options options;
    EXPECT_EQ(std::string("<p>\0%STYLES%", 12), options.GetResourceText("options_test_page"));
    EXPECT_EQ("", options.GetResourceText("OPTIONS_TEST_OTHER")); // other type
    EXPECT_EQ("", options.GetResourceText("NO_SUCH_PAGE"));
}

TEST_F(OptionsTest, SingletonLivesUntilFreed)
{
    Options* first = Options::Instance();
    EXPECT_EQ(first, Options::Instance());
    Options::FreeInstance();
    Options::FreeInstance(); // harmless when already gone
    EXPECT_NE(nullptr, Options::Instance());
}
