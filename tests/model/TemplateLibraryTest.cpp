#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>
#include <string>
#include <vector>

#include "model/TemplateLibrary.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/KilledSave.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string UserFolder()
{
    return std::string(std::getenv("XDG_DATA_HOME")) + "/VelmoraCreator/Templates/";
}

std::string UserFile() { return UserFolder() + "templates.vtp"; }

std::string TemplateXml(const std::string& name, const char* builtin = nullptr, const std::string& extra = "")
{
    std::string xml = "<Template Version=\"2.0\"><Name>" + name + "</Name>";
    if (builtin)
        xml += std::string("<Builtin>") + builtin + "</Builtin>";
    return xml + "<Layout>Default</Layout><Styles><Style><Name>.background</Name>"
                 "<BackgroundColor>0x00102030</BackgroundColor></Style></Styles>" + extra + "</Template>";
}

std::string FileXml(const std::vector<std::string>& templates)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<Templates>";
    for (const auto& t : templates)
        xml += t;
    return xml + "</Templates>\n";
}

// Names of the "Template" elements of a template file, with their Builtin text.
std::vector<std::pair<std::string, std::string>> SavedTemplates(const std::string& path)
{
    TXMLDocument document;
    document.LoadFromFile(path);
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& node : document.ChildNode("Templates").ChildNodes())
        if (node.NodeName() == "Template")
            out.emplace_back(node.ChildNode("Name").Text(), node.ChildNode("Builtin").Text());
    return out;
}

int ShippedCount()
{
    TXMLDocument document;
    document.LoadFromFile(fs::read_symlink("/proc/self/exe").parent_path() / "templates.vtp");
    int count = 0;
    for (const auto& node : document.DocumentElement().ChildNodes())
        count += node.NodeName() == "Template";
    return count;
}

// Every test starts from the shipped file and an empty user folder.
class TemplateLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemplateLibrary::FreeInstance();
        fs::remove_all(UserFolder());
    }
    void TearDown() override
    {
        TemplateLibrary::FreeInstance();
        fs::remove_all(UserFolder());
    }
    void WriteUserFile(const std::string& text)
    {
        fs::create_directories(UserFolder());
        std::ofstream(UserFile(), std::ios::binary) << text;
    }
};

TEST_F(TemplateLibraryTest, ShippedTemplatesAreBuiltinAndComplete)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    ASSERT_EQ(library, TemplateLibrary::Instance());
    const int shipped = ShippedCount();
    ASSERT_GE(shipped, 3);
    ASSERT_EQ(library->GetCount(), shipped);
    EXPECT_EQ(library->GetDefaultTemplate(), library->GetTemplate(0));
    for (int i = 0; i < shipped; ++i) {
        const Template* item = library->GetTemplate(i);
        SCOPED_TRACE(item->GetName());
        EXPECT_TRUE(item->IsBuiltin());
        EXPECT_FALSE(library->RemoveTemplate(library->GetTemplate(i)));
        for (int f = 0; f < 7; ++f)
            EXPECT_TRUE(item->GetStaticFile(f)->IsBuiltin());
        ASSERT_NE(item->FindStyle(".background"), nullptr);
        // every value the shipped file holds converts: no declaration is lost
        for (int s = 0; s < item->GetStyleCount(); ++s) {
            const Style* style = item->GetStyle(s);
            std::uint32_t color;
            EXPECT_TRUE(style->FontColor.empty() || style->GetFontColor(&color)) << style->Name;
            EXPECT_TRUE(style->BackgroundColor.empty() || style->GetBackgroundColor(&color)) << style->Name;
            if (!style->FontSize.empty()) {
                EXPECT_NE(style->ToCss("\\").find("font-size:"), std::string::npos) << style->Name;
            }
            if (!style->BackgroundImage.empty()) {
                EXPECT_NE(item->FindStaticFile(style->BackgroundImage), nullptr) << style->Name;
            }
        }
        for (const char* cls : {".background", ".title", ".heading", ".text", ".footer", ".artwork"})
            EXPECT_NE(item->FindStyle(cls), nullptr) << cls;
    }
}

TEST_F(TemplateLibraryTest, UserTemplatesFollowAndNeverBecomeBuiltin)
{
    TemplateLibrary::Instance();
    const std::string shippedName = TemplateLibrary::Instance()->GetTemplate(0)->GetName();
    TemplateLibrary::FreeInstance();

    // The user's file claims its templates are built-in and repeats a shipped name.
    WriteUserFile(FileXml({TemplateXml(shippedName, "false"), TemplateXml("Mine", "true"), TemplateXml("Ours")}));
    TemplateLibrary* library = TemplateLibrary::Instance();
    const int shipped = ShippedCount();
    ASSERT_EQ(library->GetCount(), shipped + 2);
    EXPECT_TRUE(library->FindTemplate(shippedName)->IsBuiltin());
    EXPECT_EQ(library->GetTemplate(shipped)->GetName(), "Mine");
    EXPECT_EQ(library->GetTemplate(shipped + 1)->GetName(), "Ours");
    EXPECT_FALSE(library->FindTemplate("Mine")->IsBuiltin());
    EXPECT_FALSE(library->FindTemplate("Ours")->IsBuiltin());

    // At exit only the user's own templates are written back, the one whose
    // name a shipped template took included: it is hidden, not lost.
    TemplateLibrary::FreeInstance();
    EXPECT_EQ(SavedTemplates(UserFile()), (std::vector<std::pair<std::string, std::string>>{
                                              {"Mine", "false"}, {"Ours", "false"}, {shippedName, "false"}}));
    TemplateLibrary::Instance();
    // An exported file offers what the user sees, without the hidden copy.
    TempDir dir;
    ASSERT_TRUE(TemplateLibrary::Instance()->Save(dir / "export.vtp"));
    EXPECT_EQ(SavedTemplates(dir / "export.vtp"),
              (std::vector<std::pair<std::string, std::string>>{{"Mine", "false"}, {"Ours", "false"}}));
    TemplateLibrary::FreeInstance();
    EXPECT_EQ(SavedTemplates(UserFile()).size(), 3u) << "a second run keeps it too";
    EXPECT_FALSE(fs::exists(UserFile() + ".bad"));
}

TEST_F(TemplateLibraryTest, DamagedUserFileIsMovedAsideNotOverwritten)
{
    for (const std::string& damaged : {std::string("<Templates><Template>"), std::string("<Other/>")}) {
        WriteUserFile(damaged);
        TemplateLibrary::Instance()->AddTemplate("New");
        TemplateLibrary::FreeInstance();
        EXPECT_EQ(ReadFileBytes(UserFile() + ".bad"), damaged);
        EXPECT_EQ(SavedTemplates(UserFile()),
                  (std::vector<std::pair<std::string, std::string>>{{"New", "false"}}));
        fs::remove_all(UserFolder());
    }
}

TEST_F(TemplateLibraryTest, ImportAddsOnlyNewNames)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    const int before = library->GetCount();
    const std::string existing = library->GetTemplate(0)->GetName();
    const auto path = dir.Write("import.vtp", FileXml({TemplateXml(existing), TemplateXml("Imported"),
                                                       "<!-- other nodes are skipped --><Other/>"}));
    ASSERT_TRUE(library->Import(path));
    EXPECT_EQ(library->GetText(), "Template not found.");
    ASSERT_EQ(library->GetCount(), before + 1);
    Template* imported = library->GetTemplate(before);
    EXPECT_EQ(imported->GetName(), "Imported");
    // no "Builtin" child, yet an imported template is the user's own
    EXPECT_FALSE(imported->IsBuiltin());
    EXPECT_EQ(imported->GetBackgroundColor(), 0x302010u);
    EXPECT_TRUE(library->RemoveTemplate(imported));
    EXPECT_EQ(library->GetCount(), before);
}

TEST_F(TemplateLibraryTest, ImportFailuresChangeNothing)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    const int before = library->GetCount();
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {dir / "missing.vtp", "Failed to load the template file '" + (dir / "missing.vtp") + "'"},
        {dir.Write("broken.vtp", "<Templates><Template>"), "Failed to load the template file '" + (dir / "broken.vtp") + "'"},
        {dir.Write("other.vtp", "<Other><Template><Name>X</Name></Template></Other>"), "Could not find the root Templates node."},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(library->Import(c.path)) << c.path;
        EXPECT_EQ(library->GetText(), c.error);
        EXPECT_EQ(library->GetCount(), before);
    }
    library->SetText("");
    EXPECT_TRUE(library->Import(dir.Write("empty.vtp", "<Templates/>")));
    EXPECT_EQ(library->GetCount(), before);
    EXPECT_EQ(library->GetText(), "");
}

TEST_F(TemplateLibraryTest, LookupsOutOfRange)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    for (int index : {-1, library->GetCount()}) {
        library->SetText("");
        EXPECT_EQ(library->GetTemplate(index), nullptr);
        EXPECT_EQ(library->GetText(), "Template not found.");
    }
    library->SetText("");
    EXPECT_EQ(library->FindTemplate("no such template"), nullptr);
    EXPECT_EQ(library->GetText(), "Template not found.");
    EXPECT_FALSE(library->RemoveTemplate(nullptr));
    Template stranger("Stranger");
    EXPECT_FALSE(library->RemoveTemplate(&stranger));
}

TEST_F(TemplateLibraryTest, AddCopyAndRemove)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    const auto path = dir.Write("mine.vtp", FileXml({TemplateXml("First", nullptr,
        "<Files><StaticFile Name=\"dots.png\" Encoding=\"base64\" Type=\"Background\">TWFu</StaticFile></Files>"),
        TemplateXml("Second")}));
    ASSERT_TRUE(library->LoadFile(path, true));
    ASSERT_EQ(library->GetCount(), 2);

    Template* added = library->AddTemplate("First"); // names need not be unique
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(library->GetTemplate(2), added);
    EXPECT_FALSE(added->IsBuiltin());
    EXPECT_EQ(library->FindTemplate("First"), library->GetTemplate(0));
    EXPECT_EQ(added->GetStaticFileCount(), 8);
    EXPECT_EQ(added->GetStaticFile(7)->GetName(), "dots.png");
    EXPECT_EQ(added->GetBackgroundColor(), 0x302010u);

    Template* copied = library->CopyTemplate("Copy", library->GetTemplate(1));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->GetStyleCount(), 1);
    EXPECT_EQ(copied->GetStaticFileCount(), 7);

    Template* blank = library->CopyTemplate("Blank", nullptr);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->GetStyleCount(), 0);
    EXPECT_EQ(blank->GetLayout(), "Default");
    EXPECT_EQ(blank->GetStaticFileCount(), 7); // the built-in files come with every template

    // the default template may go when it is the user's; the next takes its place
    Template* second = library->GetTemplate(1);
    EXPECT_TRUE(library->RemoveTemplate(library->GetDefaultTemplate()));
    EXPECT_EQ(library->GetDefaultTemplate(), second);
    EXPECT_FALSE(library->RemoveTemplate(library->GetTemplate(99)));
}

TEST_F(TemplateLibraryTest, EmptyLibraryMakesNoTemplates)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    ASSERT_TRUE(library->LoadFile(dir.Write("empty.vtp", "<Templates></Templates>"), true));
    EXPECT_EQ(library->GetCount(), 0);
    EXPECT_EQ(library->GetDefaultTemplate(), nullptr);
    EXPECT_EQ(library->AddTemplate("A"), nullptr);
    EXPECT_EQ(library->CopyTemplate("B", nullptr), nullptr);
}

TEST_F(TemplateLibraryTest, ImportedStylesCannotEndTheStyleElement)
{
    TempDir dir;
    const std::string style = "<Style><Name>.title</Name><FontFamily>Arial&lt;/style&gt;&lt;script&gt;alert(1)"
                              "&lt;/script&gt;</FontFamily><AppendCss>}&lt;/style&gt;&lt;img src=x "
                              "onerror=alert(2)&gt;</AppendCss></Style>";
    std::string xml = TemplateXml("Hostile");
    xml.replace(xml.find("</Styles>"), 0, style);
    const std::string file = dir.Write("hostile.vtp", FileXml({xml}));
    TemplateLibrary* library = TemplateLibrary::Instance();
    ASSERT_TRUE(library->Import(file));
    Template* hostile = library->FindTemplate("Hostile");
    ASSERT_NE(hostile, nullptr);
    for (const std::string& page : {hostile->GetMainPageHtml("\\"), hostile->GetArtworkPageHtml("\\Data\\")}) {
        std::string lower = page;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t count = 0;
        for (size_t at = lower.find("</style"); at != std::string::npos; at = lower.find("</style", at + 1))
            ++count;
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(lower.find("<script>alert"), std::string::npos);
        EXPECT_EQ(lower.find("<img src=x"), std::string::npos);
    }
}

TEST_F(TemplateLibraryTest, SaveWritesOnlyUserTemplates)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    ASSERT_TRUE(library->Save(dir / "none.vtp"));
    EXPECT_TRUE(SavedTemplates(dir / "none.vtp").empty());
    EXPECT_NE(ReadFileBytes(dir / "none.vtp").find("<Templates"), std::string::npos);

    library->AddTemplate("Mine");
    ASSERT_TRUE(library->Save(dir / "mine.vtp"));
    EXPECT_EQ(SavedTemplates(dir / "mine.vtp"), (std::vector<std::pair<std::string, std::string>>{{"Mine", "false"}}));
    // and it reads back into another library
    ASSERT_TRUE(library->LoadFile(dir / "mine.vtp", true));
    ASSERT_EQ(library->GetCount(), 1);
    EXPECT_EQ(library->GetTemplate(0)->GetStaticFileCount(), 7);
}

TEST_F(TemplateLibraryTest, SaveRemovesWhatAKilledTemplateSaveLeftAndNoFileOfTheUser)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    library->AddTemplate("Mine");
    const std::string path = dir / "templates.vtp";
    ASSERT_TRUE(library->Save(path));
    const char* const users[] = {".save-templates", ".save-Ab12cd", ".templates.vtp.orig", ".za2024"};
    for (const char* name : users)
        dir.Write(name, "the user's own");
    const std::set<std::string> killed = LeaveKilledSave(path);
    const std::set<std::string> killedElsewhere = LeaveKilledSave(dir.Write("other.vtp", "other"));

    ASSERT_TRUE(library->Save(path));
    for (const std::string& name : killed)
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const std::string& name : killedElsewhere)
        EXPECT_TRUE(fs::exists(dir / name)) << "a leftover of another file's save: " << name;
    for (const char* name : users)
        EXPECT_EQ(ReadFileBytes(dir / name), "the user's own") << name;
    EXPECT_EQ(SavedTemplates(path), (std::vector<std::pair<std::string, std::string>>{{"Mine", "false"}}));
}

TEST_F(TemplateLibraryTest, FailedSaveKeepsTheOldFileAndSaysWhere)
{
    TempDir dir;
    TemplateLibrary* library = TemplateLibrary::Instance();
    library->AddTemplate("Mine");

    const std::string noFolder = dir / "missing/templates.vtp";
    EXPECT_FALSE(library->Save(noFolder));
    EXPECT_EQ(library->GetText(), "Failed to save the templates. The file \"" + noFolder +
                                      "\" could not be written: No such file or directory.");

    // a folder in the way cannot be replaced, and what it holds survives
    fs::create_directory(dir / "taken.vtp");
    const auto inside = dir.Write("taken.vtp/keep", "old");
    EXPECT_FALSE(library->Save(dir / "taken.vtp"));
    EXPECT_EQ(ReadFileBytes(inside), "old");

    if (geteuid() != 0) {
        fs::create_directory(dir / "locked");
        const auto old = dir.Write("locked/templates.vtp", "old file");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(library->Save(old));
        EXPECT_EQ(library->GetText(), "Failed to save the templates. The file \"" + old +
                                          "\" could not be written: Permission denied.");
        EXPECT_EQ(ReadFileBytes(old), "old file");
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
}

} // namespace

TEST_F(TemplateLibraryTest, ASaveOntoAFullDiskSaysTheDiskIsFull)
{
    SmallDisk disk(16 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    TemplateLibrary* library = TemplateLibrary::Instance();
    for (int i = 0; i < 8; ++i)
        library->AddTemplate("Mine " + std::to_string(i));
    EXPECT_FALSE(library->Save(disk / "templates.vtp"));
    EXPECT_EQ(library->GetText(), "Failed to save the templates. The disk is full: the folder \"" + disk.Path() +
                                      "\" has no room left for \"templates.vtp\".");
    EXPECT_TRUE(fs::is_empty(disk.Path()));
}

TEST_F(TemplateLibraryTest, ImportRefusesSpecialFilesAtOnce)
{
    TempDir dir;
    ExpectSpecialFilesRefused(dir.Path().string(), ".vtp",
                              [](const std::string& path) { return TemplateLibrary::Instance()->Import(path); });
}
