// The program's savers replace the file a symbolic link names, keep that
// file's permissions, and leave the link a link.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "FreeImage/FreeBitmap.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "output/PortfolioGenerator.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

Template* TestTemplate()
{
    static TempDir folder;
    if (Template* found = TemplateLibrary::Instance()->FindTemplate("Linked"))
        return found;
    TXMLDocument document;
    IXMLNode root = document.AddChild("Templates");
    Template("Linked").SaveToXml(root);
    document.SaveToFile(folder / "linked.vtp");
    EXPECT_TRUE(TemplateLibrary::Instance()->LoadFile(folder / "linked.vtp", false));
    return TemplateLibrary::Instance()->FindTemplate("Linked");
}

struct Saver {
    const char* what;
    const char* fileName;
    std::function<bool(const std::string& path)> save;
    std::function<bool(const std::string& bytes)> looksRight;
};

const std::vector<Saver>& Savers()
{
    static const std::vector<Saver> savers = {
        {"XML document", "doc.xml",
         [](const std::string& path) {
             TXMLDocument document;
             document.AddChild("Root").SetText("new");
             document.SaveToFile(path);
             return true;
         },
         [](const std::string& bytes) { return bytes.find("<Root>new</Root>") != std::string::npos; }},
        {"bitmap", "image.bmp",
         [](const std::string& path) {
             TFreeBitmap bitmap(FIT_BITMAP, 4, 3, 24);
             return bitmap.Save(path);
         },
         [](const std::string& bytes) { return bytes.rfind("BM", 0) == 0; }},
        {"generated page", "page.html",
         [](const std::string& path) { return PortfolioGenerator::SaveToDisk(path, "<html>new</html>"); },
         [](const std::string& bytes) { return bytes == "<html>new</html>"; }},
        {"portfolio file", "work.pfo",
         [](const std::string& path) {
             Portfolio portfolio;
             portfolio.SetTemplate(TestTemplate());
             portfolio.SetName("Linked portfolio");
             portfolio.SetFileName(path);
             if (!portfolio.Save())
                 return false;
             Portfolio reopened;
             reopened.SetFileName(path);
             return reopened.Load() && reopened.GetName(true) == "Linked portfolio";
         },
         [](const std::string& bytes) { return bytes.rfind("PK", 0) == 0; }},
    };
    return savers;
}

} // namespace

TEST(SaveThroughLink, EverySaverReplacesTheLinkedFile)
{
    for (const Saver& s : Savers()) {
        SCOPED_TRACE(s.what);
        TempDir dir;
        fs::create_directory(dir.Path() / "real");
        const std::string target = dir.Write(std::string("real/") + s.fileName, "old bytes");
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
        const fs::path link = dir.Path() / s.fileName;
        fs::create_symlink(fs::path("real") / s.fileName, link);

        ASSERT_TRUE(s.save(link.string()));

        EXPECT_TRUE(fs::is_symlink(link));
        const std::string bytes = ReadFileBytes(target);
        EXPECT_TRUE(s.looksRight(bytes)) << bytes.substr(0, 64);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        // Nothing but the file itself is left in its folder.
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path() / "real"))
            ++entries;
        EXPECT_EQ(entries, 1);
    }
}

// Another user plants the name the user saves to, in a folder everyone may
// write into, as a link to a file of the user or into a folder of their own.
TEST(SaveThroughLink, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user can only be made by root";
    for (const Saver& s : Savers()) {
        for (const bool intoTheirFolder : {false, true}) {
            SCOPED_TRACE(std::string(s.what) + (intoTheirFolder ? ", link into their folder" : ", link to a file"));
            TempDir dir;
            const std::string important = dir.Write("mine/important.txt", "the user's notes");
            const fs::path theirs = dir.Path() / "theirs";
            fs::create_directory(theirs);
            ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
            const fs::path shared = dir.Path() / "shared";
            fs::create_directory(shared);
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
            const fs::path link = shared / s.fileName;
            fs::create_symlink(intoTheirFolder ? theirs / s.fileName : fs::path(important), link);
            ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);

            bool saved = true;
            try {
                saved = s.save(link.string());
            } catch (const std::exception&) {
                saved = false;
            }
            EXPECT_FALSE(saved);
            EXPECT_EQ(ReadFileBytes(important), "the user's notes");
            EXPECT_TRUE(fs::is_empty(theirs));
            EXPECT_TRUE(fs::is_symlink(link));
        }
    }
}

TEST(SaveThroughLink, APortfolioSaveRefusedAtAPlantedLinkSaysWhy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user can only be made by root";
    TempDir dir;
    const std::string important = dir.Write("important.txt", "the user's notes");
    const fs::path shared = dir.Path() / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const fs::path link = shared / "work.pfo";
    fs::create_symlink(important, link);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);

    Portfolio portfolio;
    portfolio.SetTemplate(TestTemplate());
    portfolio.SetFileName(link.string());
    std::string failure;
    EXPECT_FALSE(portfolio.Save(&failure));
    EXPECT_EQ(failure, "Cannot create file \"" + link.string() + "\". \"" + link.string() +
                           "\" is a link that another user made in a folder shared by everyone; such a link is not "
                           "followed.");
    EXPECT_EQ(ReadFileBytes(important), "the user's notes");
}
