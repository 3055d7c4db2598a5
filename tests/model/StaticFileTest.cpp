#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <string>

#include "model/StaticFile.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/TempDir.h"

namespace {

std::string Bytes(const StaticFile& file)
{
    return file.GetData() ? std::string(reinterpret_cast<const char*>(file.GetData()), file.GetSize())
                          : std::string();
}

// One "StaticFile" element written by SaveToXml and read back as text.
std::string SavedElement(const StaticFile& file)
{
    TXMLDocument document;
    IXMLNode root = document.AddChild("Files");
    file.SaveToXml(root.AddChild("StaticFile"));
    document.SetNodeAutoIndent(false);
    std::string text = document.SaveToXML();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const auto at = text.find("<Files>");
    return at == std::string::npos ? text : text.substr(at);
}

bool LoadElement(StaticFile& file, const std::string& xml)
{
    TXMLDocument document;
    document.LoadFromXML(xml);
    return file.LoadFromXml(document.DocumentElement());
}

TEST(StaticFileDisk, LoadsNameTypeAndBytes)
{
    TempDir dir;
    const std::string bytes("\x89PNG\0\r\n\xff", 8);
    const auto path = dir.Write("paper.png", bytes);
    StaticFile file(false);
    ASSERT_TRUE(file.LoadFromFile(path, "paper.png", "Background"));
    EXPECT_EQ(file.GetName(), "paper.png");
    EXPECT_EQ(file.GetType(), "Background");
    EXPECT_EQ(file.GetSize(), 8u);
    EXPECT_EQ(Bytes(file), bytes);
    EXPECT_FALSE(file.IsBuiltin());
}

TEST(StaticFileDisk, EveryFailureKeepsWhatWasThere)
{
    TempDir dir;
    const auto good = dir.Write("good.png", "old bytes");
    const auto empty = dir.Write("empty.png", "");
    std::filesystem::create_directory(dir / "folder");

    StaticFile fresh(false);
    EXPECT_FALSE(fresh.LoadFromFile(empty, "empty.png", "Background"));
    EXPECT_EQ(fresh.GetSize(), 0u);
    EXPECT_EQ(fresh.GetData(), nullptr);

    StaticFile file(false);
    ASSERT_TRUE(file.LoadFromFile(good, "good.png", "Background"));
    const struct {
        std::string path, name, type;
    } failures[] = {
        {empty, "empty.png", "Background"},
        {dir / "missing.png", "missing.png", "Background"},
        {dir / "folder", "folder", "Background"},
        {"", "x.png", "Background"},
        {good, "", "Background"},
        {good, "x.png", ""},
    };
    for (const auto& f : failures) {
        EXPECT_FALSE(file.LoadFromFile(f.path, f.name, f.type)) << f.path;
        EXPECT_EQ(file.GetName(), "good.png");
        EXPECT_EQ(file.GetType(), "Background");
        EXPECT_EQ(Bytes(file), "old bytes");
    }
}

TEST(StaticFileDisk, UnreadableFileIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode";
    TempDir dir;
    const auto path = dir.Write("secret.png", "data");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    StaticFile file(false);
    EXPECT_FALSE(file.LoadFromFile(path, "secret.png", "Background"));
}

TEST(StaticFileXml, Base64LengthsAndPadding)
{
    TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"M", "TQ=="}, {"Ma", "TWE="}, {"Man", "TWFu"}, {std::string("\0\xff\x10\x80", 4), "AP8QgA=="},
    };
    for (const auto& [bytes, encoded] : cases) {
        StaticFile file(false);
        ASSERT_TRUE(file.LoadFromFile(dir.Write("f.bin", bytes), "f.bin", "Background"));
        EXPECT_EQ(SavedElement(file),
                  "<Files><StaticFile Name=\"f.bin\" Encoding=\"base64\" Type=\"Background\">" + encoded +
                      "</StaticFile></Files>")
            << encoded;
    }
}

TEST(StaticFileXml, RoundTripKeepsTheReadersFlag)
{
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i * 37);
    StaticFile source(true);
    ASSERT_TRUE(source.LoadFromFile(dir.Write("b.jpg", bytes), "b.jpg", "Background"));

    TXMLDocument document;
    IXMLNode element = document.AddChild("StaticFile");
    source.SaveToXml(element);
    StaticFile copy(false);
    ASSERT_TRUE(LoadElement(copy, document.SaveToXML()));
    EXPECT_EQ(copy.GetName(), "b.jpg");
    EXPECT_EQ(copy.GetType(), "Background");
    EXPECT_EQ(Bytes(copy), bytes);
    EXPECT_FALSE(copy.IsBuiltin());
}

TEST(StaticFileXml, AcceptsTextBrokenIntoLines)
{
    for (const char* text : {"TWFu\r\nTWFu\r\nTQ==", "TWFu\nTWFu\nTQ==", "TWFuTWFu\r\nTQ==\r\n"}) {
        StaticFile file(false);
        ASSERT_TRUE(LoadElement(file, std::string("<StaticFile Name=\"a.txt\" Encoding=\"base64\" "
                                                  "Type=\"Background\">") + text + "</StaticFile>"))
            << text;
        EXPECT_EQ(Bytes(file), "ManManM");
    }
}

TEST(StaticFileXml, RefusesBadElements)
{
    const struct {
        const char* label;
        const char* xml;
    } cases[] = {
        {"no name", R"(<StaticFile Encoding="base64" Type="Background">TWFu</StaticFile>)"},
        {"no encoding", R"(<StaticFile Name="a" Type="Background">TWFu</StaticFile>)"},
        {"encoding in capitals", R"(<StaticFile Name="a" Encoding="Base64" Type="Background">TWFu</StaticFile>)"},
        {"other encoding", R"(<StaticFile Name="a" Encoding="hex" Type="Background">4D616E</StaticFile>)"},
        {"no type", R"(<StaticFile Name="a" Encoding="base64">TWFu</StaticFile>)"},
        {"empty type", R"(<StaticFile Name="a" Encoding="base64" Type="">TWFu</StaticFile>)"},
        {"no data", R"(<StaticFile Name="a" Encoding="base64" Type="Background"/>)"},
        {"not base64", R"(<StaticFile Name="a" Encoding="base64" Type="Background">TW*u</StaticFile>)"},
        {"empty element", R"(<StaticFile/>)"},
        // Names end up as file names inside the output folder.
        {"parent folder", R"(<StaticFile Name="../evil.html" Encoding="base64" Type="Background">TWFu</StaticFile>)"},
        {"sub folder", R"(<StaticFile Name="a/b.png" Encoding="base64" Type="Background">TWFu</StaticFile>)"},
        {"windows folder", R"(<StaticFile Name="..\b.png" Encoding="base64" Type="Background">TWFu</StaticFile>)"},
        {"dot", R"(<StaticFile Name="." Encoding="base64" Type="Background">TWFu</StaticFile>)"},
        {"dot dot", R"(<StaticFile Name=".." Encoding="base64" Type="Background">TWFu</StaticFile>)"},
    };
    for (const auto& c : cases) {
        StaticFile file(false);
        EXPECT_FALSE(LoadElement(file, c.xml)) << c.label;
        EXPECT_EQ(file.GetSize(), 0u) << c.label;
    }
}

TEST(StaticFileXml, EmptyFileWritesAnEmptyElement)
{
    StaticFile file(false);
    EXPECT_EQ(SavedElement(file), "<Files><StaticFile/></Files>");
    StaticFile reread(false);
    EXPECT_FALSE(LoadElement(reread, "<StaticFile/>"));
}

TEST(StaticFileCopy, TakesContentButKeepsItsOwnFlag)
{
    StaticFile builtin(true);
    ASSERT_TRUE(builtin.LoadFromResource("WORD_PNG", "Word.png", "Icon"));
    StaticFile copy(false);
    EXPECT_FALSE(copy.CopyFrom(nullptr));
    ASSERT_TRUE(copy.CopyFrom(&builtin));
    EXPECT_FALSE(copy.IsBuiltin());
    EXPECT_EQ(copy.GetName(), "Word.png");
    EXPECT_EQ(copy.GetType(), "Icon");
    EXPECT_EQ(Bytes(copy), Bytes(builtin));
    EXPECT_NE(copy.GetData(), builtin.GetData());
}

TEST(StaticFileResource, BuiltInFilesAreWhatTheirNamesSay)
{
    StaticFile autorun(true);
    ASSERT_TRUE(autorun.LoadFromResource("AUTORUN_INF", "autorun.inf", "Autorun"));
    EXPECT_EQ(Bytes(autorun), "[autorun]\r\nShellExecute=portfolio.html\r\nicon=autorun.ico\r\nlabel=Portfolio");
    EXPECT_EQ(autorun.GetSize(), 73u);

    // A real image reader must agree on size and kind.
    const struct {
        const char* resource;
        const char* format;
        int size;
        bool alpha;
        bool palette;
    } images[] = {
        {"AUTORUN_ICO", "ICO", 48, true, false},     {"WORD_PNG", "PNG", 32, true, true},
        {"FORWARD_ON_PNG", "PNG", 48, true, false},  {"FORWARD_OFF_PNG", "PNG", 48, true, false},
        {"BACKWARD_ON_PNG", "PNG", 48, true, false}, {"BACKWARD_OFF_PNG", "PNG", 48, true, false},
    };
    for (const auto& i : images) {
        StaticFile file(true);
        ASSERT_TRUE(file.LoadFromResource(i.resource, "x", "Icon")) << i.resource;
        QImage image;
        ASSERT_TRUE(image.loadFromData(QByteArray(reinterpret_cast<const char*>(file.GetData()),
                                                  static_cast<int>(file.GetSize())),
                                       i.format))
            << i.resource;
        EXPECT_EQ(image.width(), i.size) << i.resource;
        EXPECT_EQ(image.height(), i.size) << i.resource;
        EXPECT_EQ(image.hasAlphaChannel(), i.alpha) << i.resource;
        EXPECT_EQ(image.format() == QImage::Format_Indexed8, i.palette) << i.resource;
        // The corners are see-through, so the icons sit on any page colour.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << i.resource;
    }
}

TEST(StaticFileResource, MissingResourceOrArgumentFails)
{
    StaticFile file(true);
    EXPECT_FALSE(file.LoadFromResource("NO_SUCH_RESOURCE", "x", "Icon"));
    EXPECT_FALSE(file.LoadFromResource("WORD_PNG", "", "Icon"));
    EXPECT_FALSE(file.LoadFromResource("", "Word.png", "Icon"));
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.GetName(), "");
}

} // namespace
