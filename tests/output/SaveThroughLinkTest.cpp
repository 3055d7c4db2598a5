// The program's savers replace the file a symbolic link names, keep that
// file's permissions, and leave the link a link.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

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

} // namespace

TEST(SaveThroughLink, EverySaverReplacesTheLinkedFile)
{
    const Saver savers[] = {
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
    for (const Saver& s : savers) {
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
