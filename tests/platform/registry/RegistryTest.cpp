#include "platform/registry/Registry.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/RegistryHive.h"
#include "tests/platform/registry/RegistryFixture.h"
#include "tests/support/OtherUser.h"

using ::testing::ElementsAre;

namespace {

TRegistry Open(const std::string& key, HKEY root = HKEY_CURRENT_USER)
{
    TRegistry reg;
    reg.SetRootKey(root);
    EXPECT_TRUE(reg.OpenKey(key, true)) << key;
    return reg;
}

std::string Helper(const std::string& args, int* status = nullptr)
{
    std::string out;
    const int rc = RunCommand(std::string(REGISTRY_HELPER) + " " + args, &out);
    if (status)
        *status = rc;
    return out;
}

} // namespace

TEST_F(RegistryTest, TypedValuesRoundTripThroughTheFile)
{
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    const std::string awkward = "say \"hi\"\\path\\ line1\nline2\r\ttab \x01 \xC3\xA9t\xC3\xA9";
    {
        TRegistry reg = Open("\\Software\\Test");
        reg.WriteString("", "the default");
        reg.WriteString("Text", awkward);
        reg.WriteString("Empty", "");
        reg.WriteInteger("Negative", -1);
        reg.WriteInteger("Max", 0x7fffffff);
        reg.WriteBinaryData("Bytes", allBytes.data(), static_cast<int>(allBytes.size()));
        reg.WriteBinaryData("NoBytes", nullptr, 0);
        reg.WriteDateTime("When", 45321.75);
    }
    // Read back from the text alone, as a new process would.
    RegKey tree;
    ASSERT_EQ(0, RegistryHive::Parse(ReadFileBytes(HivePath()), HKEY_CURRENT_USER, tree));
    const RegKey* key = tree.Find({"software", "TEST"});
    ASSERT_NE(nullptr, key);
    EXPECT_EQ("the default", key->FindValue("")->data);
    EXPECT_EQ(awkward, key->FindValue("text")->data);
    EXPECT_EQ(allBytes, key->FindValue("Bytes")->data);
    EXPECT_EQ(REG_BINARY, key->FindValue("NoBytes")->type);

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Test"));
    EXPECT_EQ("the default", reg.ReadString(""));
    EXPECT_EQ(awkward, reg.ReadString("TEXT"));
    EXPECT_EQ("", reg.ReadString("Empty"));
    EXPECT_TRUE(reg.ValueExists("Empty"));
    EXPECT_EQ(-1, reg.ReadInteger("Negative"));
    EXPECT_EQ(0x7fffffff, reg.ReadInteger("Max"));
    EXPECT_EQ(allBytes, reg.ReadBinaryData("Bytes"));
    EXPECT_EQ(0, reg.GetDataSize("NoBytes"));
    EXPECT_DOUBLE_EQ(45321.75, reg.ReadDateTime("When"));
    EXPECT_EQ(TRegDataType::rdInteger, reg.GetDataType("Max"));
    EXPECT_EQ(TRegDataType::rdBinary, reg.GetDataType("Bytes"));
    EXPECT_EQ(TRegDataType::rdString, reg.GetDataType("Text"));
    EXPECT_EQ(-1, reg.GetDataSize("Missing"));
}

TEST_F(RegistryTest, HiveFileIsPlainRegistryText)
{
    TRegistry reg = Open("\\Software\\Velmora Album Designer Pro\\Email\\a@b.example");
    reg.WriteString("", "SMTP");
    reg.WriteString("UserName", "x\"y\\z");
    reg.WriteInteger("ServerPort", 587);
    const char bytes[] = {0x01, 0x7f, static_cast<char>(0xff)};
    reg.WriteBinaryData("Blob", bytes, 3);

    const std::string text = ReadFileBytes(HivePath());
    EXPECT_NE(std::string::npos,
              text.find("[HKEY_CURRENT_USER\\Software\\Velmora Album Designer Pro\\Email\\a@b.example]\n"
                        "@=\"SMTP\"\n"
                        "\"UserName\"=\"x\\\"y\\\\z\"\n"
                        "\"ServerPort\"=dword:0000024b\n"
                        "\"Blob\"=hex:01,7f,ff\n"))
        << text;
    // Intermediate keys appear as sections of their own, as exports show them.
    EXPECT_NE(std::string::npos, text.find("[HKEY_CURRENT_USER\\Software]\n")) << text;
}

TEST_F(RegistryTest, ReadsHandWrittenFiles)
{
    dir_.Write("HKEY_CURRENT_USER.reg",
               "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
               "\r\n"
               "; a comment\r\n"
               "[HKEY_CURRENT_USER\\Software\\Hand]\r\n"
               "@=\"def\"\r\n"
               "\"Long\"=hex:01,02,\\\r\n"
               "  03,04\r\n"
               "\"Upper\"=dword:0000FFFF\r\n"
               "\"Odd\"=hex(7):61,00\r\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("software\\hand"));
    EXPECT_EQ("def", reg.ReadString(""));
    EXPECT_EQ(std::string("\x01\x02\x03\x04"), reg.ReadBinaryData("Long"));
    EXPECT_EQ(0xffff, reg.ReadInteger("Upper"));
    EXPECT_EQ(TRegDataType::rdUnknown, reg.GetDataType("Odd"));
    // Unknown types survive a rewrite unchanged.
    TRegistry writer = Open("\\Software\\Hand");
    writer.WriteString("New", "1");
    EXPECT_NE(std::string::npos, ReadFileBytes(HivePath()).find("\"Odd\"=hex(7):61,00\n"));
}

TEST_F(RegistryTest, DamagedFileIsKeptAsideOnTheNextWrite)
{
    const std::string damaged = "[HKEY_CURRENT_USER\\Software\\Ok]\n\"A\"=\"1\"\nthis line is garbage\n\"B\"=dword:zz\n";
    dir_.Write("HKEY_CURRENT_USER.reg", damaged);
    TRegistry reg = Open("\\Software\\Ok");
    EXPECT_EQ("1", reg.ReadString("A"));
    reg.WriteString("C", "3");
    EXPECT_EQ(damaged, ReadFileBytes(HivePath() + ".damaged"));
    EXPECT_EQ("1", reg.ReadString("A"));
    EXPECT_EQ("3", reg.ReadString("C"));
}

TEST_F(RegistryTest, DamagedFileThatCannotBeKeptAsideIsNotOverwritten)
{
    const std::string damaged = "[HKEY_CURRENT_USER\\Software\\Ok]\n\"A\"=\"1\"\nthis line is garbage\n";
    dir_.Write("HKEY_CURRENT_USER.reg", damaged);
    // Something that is not a file stands where the copy would go.
    std::filesystem::create_directory(HivePath() + ".damaged");
    TRegistry reg = Open("\\Software\\Ok");
    EXPECT_THROW(reg.WriteString("C", "3"), ERegistryException);
    EXPECT_EQ(damaged, ReadFileBytes(HivePath()));
    EXPECT_EQ("1", reg.ReadString("A"));
}

TEST_F(RegistryTest, KeyPathsIgnoreCaseAndKeepTheFirstSpelling)
{
    Open("\\Software\\MixedCase").WriteString("Value", "v");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\mixedcase\\", false));
    EXPECT_EQ("v", reg.ReadString("VALUE"));
    reg.WriteString("value", "w"); // same value, other spelling
    EXPECT_THAT(reg.GetValueNames(), ElementsAre("Value"));
    ASSERT_TRUE(reg.OpenKey("\\Software", false));
    EXPECT_THAT(reg.GetKeyNames(), ElementsAre("MixedCase"));
}

TEST_F(RegistryTest, ListingOrder)
{
    TRegistry reg = Open("\\Keys");
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"})
        ASSERT_TRUE(reg.CreateKey(name));
    for (const char* name : {"9", "10", "", "a"})
        reg.WriteString(name, "x");
    // Sub-keys sorted without regard to case, values in the order written.
    EXPECT_THAT(reg.GetKeyNames(), ElementsAre("Alpha", "ALPHA2", "beta", "gamma"));
    EXPECT_THAT(reg.GetValueNames(), ElementsAre("9", "10", "", "a"));
    EXPECT_TRUE(reg.HasSubKeys());
}

TEST_F(RegistryTest, OpenRelativeAbsoluteAndInvalidPaths)
{
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Missing\\Key", false));
    EXPECT_FALSE(reg.OpenKeyReadOnly("Missing"));
    ASSERT_TRUE(reg.OpenKey("\\A", true));
    ASSERT_TRUE(reg.OpenKey("B", true)); // relative to A
    EXPECT_EQ("A\\B", reg.CurrentPath());
    ASSERT_TRUE(reg.OpenKey("\\C", true)); // absolute
    EXPECT_EQ("C", reg.CurrentPath());
    for (const char* bad : {"\\A\\\\B", "\\A\\Line\nBreak"})
        EXPECT_FALSE(reg.OpenKey(bad, true)) << bad;
    EXPECT_TRUE(reg.KeyExists("\\A\\B"));
    EXPECT_FALSE(reg.KeyExists("\\A\\B\\C"));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeTree)
{
    Open("\\Tree\\Child\\Grandchild").WriteString("v", "1");
    Open("\\Tree\\Sibling").WriteInteger("n", 2);
    Open("\\Keep").WriteString("v", "kept");
    TRegistry reg;
    EXPECT_TRUE(reg.DeleteKey("\\TREE"));
    EXPECT_FALSE(reg.KeyExists("\\Tree"));
    EXPECT_FALSE(reg.KeyExists("\\Tree\\Child\\Grandchild"));
    EXPECT_FALSE(reg.DeleteKey("\\Tree"));
    EXPECT_FALSE(reg.DeleteKey("\\")); // never the root
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Keep"));
    EXPECT_EQ("kept", reg.ReadString("v"));
    EXPECT_EQ(std::string::npos, ReadFileBytes(HivePath()).find("Grandchild"));
}

TEST_F(RegistryTest, DeleteValue)
{
    TRegistry reg = Open("\\V");
    reg.WriteString("a", "1");
    reg.WriteString("b", "2");
    EXPECT_TRUE(reg.DeleteValue("A"));
    EXPECT_FALSE(reg.DeleteValue("a"));
    EXPECT_FALSE(reg.ValueExists("a"));
    EXPECT_THAT(reg.GetValueNames(), ElementsAre("b"));
}

TEST_F(RegistryTest, ReadErrorsAndReadOnlyKeys)
{
    Open("\\R").WriteString("s", "text");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\R"));
    EXPECT_EQ("", reg.ReadString("missing"));
    EXPECT_THROW(reg.ReadInteger("missing"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("s"), ERegistryException);
    EXPECT_THROW(reg.ReadBinaryData("s"), ERegistryException);
    char small[2];
    Open("\\R").WriteBinaryData("b", "abc", 3);
    EXPECT_THROW(reg.ReadBinaryData("b", small, 2), ERegistryException);
    EXPECT_THROW(reg.WriteString("s", "changed"), ERegistryException);
    EXPECT_FALSE(reg.DeleteValue("s"));
    EXPECT_EQ("text", reg.ReadString("s"));
}

TEST_F(RegistryTest, WriteToAKeyDeletedMeanwhileFails)
{
    TRegistry reg = Open("\\Gone");
    TRegistry other;
    ASSERT_TRUE(other.DeleteKey("\\Gone"));
    EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
    EXPECT_FALSE(other.KeyExists("\\Gone"));
}

TEST_F(RegistryTest, UnwritableFolderRaisesAndKeepsNothingHalfDone)
{
    const std::string file = dir_.Write("plain-file", "x");
    setenv("VELMORA_REGISTRY_DIR", (file + "/hives").c_str(), 1);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\K", true));
    EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
    EXPECT_EQ("x", ReadFileBytes(file));
}

TEST_F(RegistryTest, RootsAreSeparateHives)
{
    Open("\\.pdf", HKEY_CLASSES_ROOT).WriteString("", "AcmeViewer.Document");
    TRegistry user;
    EXPECT_FALSE(user.KeyExists("\\.pdf"));
    EXPECT_NE(std::string::npos, ReadFileBytes(HivePath("HKEY_CLASSES_ROOT")).find("[HKEY_CLASSES_ROOT\\.pdf]"));
}

TEST_F(RegistryTest, ValuesSurviveARestartAndChangesFromOtherProcessesAreSeen)
{
    Open("\\Software\\Persist").WriteString("Greeting", "hello from the parent");
    int status = -1;
    EXPECT_EQ("hello from the parent", Helper("read '\\Software\\Persist' Greeting", &status));
    EXPECT_EQ(0, status);

    // The parent has the hive cached; a child's write must still be seen.
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Persist"));
    EXPECT_EQ("hello from the parent", reg.ReadString("Greeting"));
    for (int round = 0; round < 3; ++round) {
        const std::string text = "child " + std::to_string(round);
        Helper("write '\\Software\\Persist' Greeting '" + text + "'", &status);
        ASSERT_EQ(0, status);
        EXPECT_EQ(text, reg.ReadString("Greeting"));
    }
}

TEST_F(RegistryTest, ConcurrentWritersInSeveralProcessesLoseNothing)
{
    const int perWriter = 150;
    std::vector<std::thread> writers;
    std::vector<int> statuses(3, -1);
    for (int w = 0; w < 2; ++w)
        writers.emplace_back([&, w] {
            Helper("write-many p" + std::to_string(w) + "_ " + std::to_string(perWriter), &statuses[w]);
        });
    // This process writes at the same time, from a thread of its own.
    writers.emplace_back([&] {
        TRegistry reg = Open("\\Software\\Stress");
        for (int i = 0; i < perWriter; ++i)
            reg.WriteInteger("self_" + std::to_string(i), i);
        statuses[2] = 0;
    });
    for (auto& t : writers)
        t.join();
    ASSERT_EQ(0, statuses[0]);
    ASSERT_EQ(0, statuses[1]);

    RegKey tree;
    ASSERT_EQ(0, RegistryHive::Parse(ReadFileBytes(HivePath()), HKEY_CURRENT_USER, tree));
    const RegKey* key = tree.Find({"Software", "Stress"});
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(3u * perWriter, key->values.size());
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Stress"));
    for (const char* prefix : {"p0_", "p1_", "self_"})
        for (int i = 0; i < perWriter; ++i)
            ASSERT_EQ(i, reg.ReadInteger(prefix + std::to_string(i))) << prefix << i;
}

TEST_F(RegistryTest, ConcurrentThreadsLoseNothing)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            TRegistry reg;
            reg.OpenKey("\\Threads\\T" + std::to_string(t), true);
            for (int i = 0; i < 40; ++i)
                reg.WriteInteger("v" + std::to_string(i), t * 100 + i);
        });
    for (auto& t : threads)
        t.join();
    TRegistry reg;
    for (int t = 0; t < 4; ++t) {
        ASSERT_TRUE(reg.OpenKeyReadOnly("\\Threads\\T" + std::to_string(t)));
        EXPECT_EQ(40u, reg.GetValueNames().size());
        EXPECT_EQ(t * 100 + 39, reg.ReadInteger("v39"));
    }
}

// Started without HOME (and without the XDG variables) the settings are
// still the user's own: the home comes from the user database.
TEST_F(RegistryTest, WithoutHomeTheSettingsFolderIsInTheAccountsHome)
{
    std::map<std::string, std::string> saved;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "VELMORA_REGISTRY_DIR"}) {
        if (const char* value = std::getenv(name))
            saved[name] = value;
        ::unsetenv(name);
    }
    const passwd* account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    const std::string folder = RegistryHive::Folder();
    for (const auto& [name, value] : saved)
        ::setenv(name.c_str(), value.c_str(), 1);
    EXPECT_EQ(folder, std::string(account->pw_dir) + "/.config/VelmoraVoravev");
}

// A settings folder somebody else owns, or may change, could name the
// accounts mail goes through and the library the program loads: it is
// neither read nor written, and says why.
TEST_F(RegistryTest, ASettingsFolderOthersControlIsNeitherReadNorWritten)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> make;
    };
    const Case cases[] = {
        {"writable by everybody",
         [](const std::string& folder) {
             std::filesystem::create_directory(folder);
             ::chmod(folder.c_str(), 0777);
         }},
        {"writable by the group",
         [](const std::string& folder) {
             std::filesystem::create_directory(folder);
             ::chmod(folder.c_str(), 0770);
         }},
        {"made by another user",
         [](const std::string& folder) {
             std::filesystem::create_directory(folder);
             // Only root can give a folder away; others get one open to all.
             if (::geteuid() == 0)
                 ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
             else
                 ::chmod(folder.c_str(), 0757);
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = dir_ / ("settings-" + std::to_string(n++));
        c.make(folder);
        const std::string planted = "; Velmora Voravev registry hive, UTF-8\n\n[HKEY_CLASSES_ROOT\\Planted]\n"
                                    "@=\"/home/other/evil.so\"\n";
        {
            std::ofstream out(folder + "/HKEY_CLASSES_ROOT.reg");
            out << planted;
        }
        ::setenv("VELMORA_REGISTRY_DIR", folder.c_str(), 1);
        const std::string problem = RegistryHive::FolderProblem(folder);
        EXPECT_NE(problem.find(folder), std::string::npos) << problem;

        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        EXPECT_FALSE(reg.KeyExists("\\Planted"));
        EXPECT_FALSE(reg.OpenKey("\\Mine", true));
        try {
            RegistryHive::For(HKEY_CLASSES_ROOT).Modify([](RegKey& root) {
                root.FindOrCreate({"Mine"});
                return true;
            });
            ADD_FAILURE() << "written";
        } catch (const ERegistryException& error) {
            EXPECT_EQ(error.Message(), problem);
        }
        EXPECT_EQ(ReadFileBytes(folder + "/HKEY_CLASSES_ROOT.reg"), planted);
    }
}
