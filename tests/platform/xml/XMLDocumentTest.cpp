#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/TempDir.h"

namespace {

// Texts that need escaping or are not ASCII, each on its way through an
// element's text and an attribute.
const std::vector<std::string> kTrickyTexts = {
    "plain",
    "Tom & Jerry",
    "a < b > c",
    "\"double\" and 'single' quotes",
    "&amp; already escaped &break;",
    "Ünïcödé – 日本語 – 🎨",
    "]]> and <![CDATA[",
    "tab\there",
    "  leading and trailing blanks  ",
};

std::string Python(const std::string& script, const std::string& file)
{
    std::string out;
    // Debian's interpreter: another python3 may come first on PATH.
    const int rc = RunCommand("/usr/bin/python3 -c '" + script + "' '" + file + "'", &out);
    EXPECT_EQ(rc, 0) << out;
    return out;
}

} // namespace

TEST(XMLDocument, TextsAndAttributesSurviveSaveAndLoad)
{
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Root");
    for (size_t i = 0; i < kTrickyTexts.size(); ++i) {
        IXMLNode item = root.AddChild("Item");
        item.SetText(kTrickyTexts[i]);
        item.SetAttribute("Value", kTrickyTexts[i]);
        item.SetAttribute("Index", std::to_string(i));
    }

    TXMLDocument back;
    back.LoadFromXML(doc.SaveToXML());
    const std::vector<IXMLNode> items = back.DocumentElement().ChildNodes();
    ASSERT_EQ(items.size(), kTrickyTexts.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(kTrickyTexts[i]);
        EXPECT_EQ(items[i].NodeName(), "Item");
        EXPECT_EQ(items[i].Text(), kTrickyTexts[i]);
        EXPECT_EQ(items[i].GetAttribute("Value"), kTrickyTexts[i]);
        EXPECT_EQ(items[i].GetAttribute("Index"), std::to_string(i));
    }
}

TEST(XMLDocument, AnotherParserReadsWhatWeWrite)
{
    TempDir dir;
    const std::string path = dir / "out.xml";
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Root");
    for (const std::string& text : kTrickyTexts) {
        IXMLNode item = root.AddChild("Item");
        item.SetText(text);
        item.SetAttribute("Value", text);
    }
    doc.SaveToFile(path);

    const std::string script =
        "import sys, xml.etree.ElementTree as E\n"
        "for e in E.parse(sys.argv[1]).getroot():\n"
        "  sys.stdout.buffer.write(((e.text or \"\") + \"\\0\" + e.get(\"Value\") + \"\\0\").encode())\n";
    std::string expected;
    for (const std::string& text : kTrickyTexts)
        expected += text + '\0' + text + '\0';
    EXPECT_EQ(Python(script, path), expected);
}

TEST(XMLDocument, ReadsWhatAnotherParserWrites)
{
    TempDir dir;
    const std::string script =
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.Element(\"Details\", Version=\"2.0\")\n"
        "E.SubElement(r, \"Name\").text = \"Ada & Ünïcödé <3\"\n"
        "E.SubElement(r, \"Empty\")\n"
        "E.ElementTree(r).write(sys.argv[1], encoding=\"utf-16\", xml_declaration=True)\n";
    const std::string path = dir / "utf16.xml";
    Python(script, path);

    TXMLDocument doc;
    doc.LoadFromFile(path);
    IXMLNode root = doc.ChildNode("Details");
    ASSERT_FALSE(root.IsNull());
    EXPECT_EQ(root.GetAttribute("Version"), "2.0");
    EXPECT_EQ(root.ChildValue("Name"), "Ada & Ünïcödé <3");
}

TEST(XMLDocument, Latin1DeclaredFileIsReadAsUtf8)
{
    TempDir dir;
    const std::string path =
        dir.Write("latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>");
    TXMLDocument doc;
    doc.LoadFromFile(path);
    EXPECT_EQ(doc.DocumentElement().Text(), "caf\xC3\xA9");
}

TEST(XMLDocument, WritesVersionDeclarationAndIndentsByTwoSpaces)
{
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Details");
    root.SetAttribute("Version", "2.0");
    root.AddChild("Name").SetText("A & B");
    root.AddChild("Files").AddChild("File").SetText("x");
    root.AddChild("Empty");

    EXPECT_EQ(doc.SaveToXML(),
              "<?xml version=\"1.0\"?>\n"
              "<Details Version=\"2.0\">\n"
              "  <Name>A &amp; B</Name>\n"
              "  <Files>\n"
              "    <File>x</File>\n"
              "  </Files>\n"
              "  <Empty />\n"
              "</Details>\n");

    doc.SetNodeAutoIndent(false);
    EXPECT_EQ(doc.SaveToXML(),
              "<?xml version=\"1.0\"?><Details Version=\"2.0\"><Name>A &amp; B</Name>"
              "<Files><File>x</File></Files><Empty/></Details>");
}

TEST(XMLDocument, LineBreaksInTextsAndAttributesReadBackExactly)
{
    // A lone CR, CR LF and LF, and texts of blanks only (a name of spaces,
    // a lone line break), with and without indentation around them.
    for (bool indent : {false, true}) {
        SCOPED_TRACE(indent);
        TXMLDocument doc;
        doc.SetNodeAutoIndent(indent);
        IXMLNode root = doc.AddChild("R");
        root.SetAttribute("A", "one\r\ntwo");
        const std::pair<const char*, const char*> texts[] = {
            {"Mixed", "one\r\ntwo\nthree\rfour"}, {"Break", "\r\n"}, {"Blanks", "   "}, {"CR", "\r"}};
        for (const auto& [name, text] : texts)
            root.AddChild(name).SetText(text);

        TXMLDocument back;
        back.LoadFromXML(doc.SaveToXML());
        for (const auto& [name, text] : texts)
            EXPECT_EQ(back.DocumentElement().ChildValue(name), text) << name;
        EXPECT_EQ(back.DocumentElement().GetAttribute("A"), "one\r\ntwo");
    }
}

TEST(XMLDocument, IndentationDoesNotBecomeChildNodes)
{
    TXMLDocument doc;
    doc.LoadFromXML("<?xml version=\"1.0\"?>\n<T>\n  <!-- note -->\n  <Style>\n    <Name>s</Name>\n  "
                    "</Style>\n  <Other/>\n  <Style/>\n</T>\n");
    std::vector<std::string> names;
    for (const IXMLNode& child : doc.DocumentElement().ChildNodes())
        names.push_back(child.NodeName());
    EXPECT_EQ(names, (std::vector<std::string>{"Style", "Other", "Style"}));
}

TEST(XMLNode, MissingAndEmptyValuesReadAsNullAndBlanksAsThemselves)
{
    TXMLDocument doc;
    doc.LoadFromXML("<R a=\"\" b=\"x\"><Empty/><Blank>   </Blank><Text>t</Text><Cdata><![CDATA[<c>]]></Cdata>"
                    "<Parent><Child>c</Child></Parent></R>");
    IXMLNode r = doc.DocumentElement();

    EXPECT_EQ(r.ChildValue("Missing"), std::nullopt);
    EXPECT_TRUE(r.ChildNode("Missing").IsNull());
    EXPECT_EQ(r.ChildValue("Empty"), std::nullopt);
    // Blanks that are an element's whole text are its value.
    EXPECT_EQ(r.ChildValue("Blank"), "   ");
    EXPECT_EQ(r.ChildValue("Parent"), std::nullopt);
    EXPECT_EQ(r.ChildValue("Text"), "t");
    EXPECT_EQ(r.ChildValue("Cdata"), "<c>");

    EXPECT_EQ(r.GetAttribute("a"), "");
    EXPECT_TRUE(r.HasAttribute("a"));
    EXPECT_EQ(r.GetAttribute("b"), "x");
    EXPECT_EQ(r.GetAttribute("missing"), std::nullopt);
    EXPECT_FALSE(r.HasAttribute("missing"));

    // Lookups through a null node chain safely down to null values.
    IXMLNode none = r.ChildNode("Missing").ChildNode("Deeper");
    EXPECT_TRUE(none.IsNull());
    EXPECT_EQ(none.ChildValue("x"), std::nullopt);
    EXPECT_EQ(none.GetAttribute("x"), std::nullopt);
    EXPECT_TRUE(none.ChildNodes().empty());
    EXPECT_EQ(none.Text(), "");
}

TEST(XMLNode, ChildLookupIsExactAndFindsTheFirst)
{
    TXMLDocument doc;
    doc.LoadFromXML("<R><name>lower</name><Name>first</Name><Name>second</Name></R>");
    EXPECT_EQ(doc.DocumentElement().ChildValue("Name"), "first");
    EXPECT_EQ(doc.ChildNode("R"), doc.DocumentElement());
    EXPECT_TRUE(doc.ChildNode("r").IsNull());
}

TEST(XMLNode, AddChildAppendsAtTheEndAndSetAttributeReplaces)
{
    TXMLDocument doc;
    doc.LoadFromXML("<R><A/><B/></R>");
    IXMLNode r = doc.DocumentElement();
    r.AddChild("C").SetText("c");
    r.SetAttribute("k", "1");
    r.SetAttribute("k", "2");
    EXPECT_EQ(doc.SaveToXML(), "<?xml version=\"1.0\"?>\n<R k=\"2\">\n  <A />\n  <B />\n  <C>c</C>\n</R>\n");
}

TEST(XMLNode, SetTextReplacesTheContent)
{
    TXMLDocument doc;
    doc.LoadFromXML("<R>old<X/>tail</R>");
    IXMLNode r = doc.DocumentElement();
    EXPECT_EQ(r.Text(), "oldtail");
    r.SetText("new");
    EXPECT_EQ(r.ChildNodes().size(), 1u);
    EXPECT_EQ(r.NodeValue(), "new");
    r.SetText("");
    EXPECT_FALSE(r.HasChildNodes());
    EXPECT_EQ(r.NodeValue(), std::nullopt);
}

TEST(XMLNode, InvalidUseRaisesInsteadOfWritingBrokenXml)
{
    TXMLDocument doc;
    IXMLNode r = doc.AddChild("R");
    EXPECT_THROW(doc.AddChild("Second"), EXMLDocError);
    for (const char* bad : {"", "1abc", "a b", "a<b", "a\"b", "a&b"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(r.AddChild(bad), EXMLDocError);
        EXPECT_THROW(r.SetAttribute(bad, "v"), EXMLDocError);
    }
    EXPECT_THROW(IXMLNode().AddChild("x"), EXMLDocError);
    EXPECT_THROW(IXMLNode().SetAttribute("x", "y"), EXMLDocError);
    EXPECT_THROW(IXMLNode().SetText("x"), EXMLDocError);
    EXPECT_NO_THROW(r.AddChild("ns:Name-1.x_y"));
}

TEST(XMLDocument, MalformedTextFailsWithAClearMessage)
{
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"", 0},
        {"   \n  ", 0},
        {"<?xml version=\"1.0\"?>", 0},
        {"<a>", 1},
        {"<a></b>", 1},
        {"<a>\n<b>\n</a>", 3},
        {"<a x=\"1\" x=\"2\"/>", 1},
        {"<a>\n  <b/>\n  <c y=\"1\" z=\"\" y=\"2\"/>\n</a>", 3},
        {"<a/>x", 1},
        {"<a/><![CDATA[x]]>", 1},
        {"JUNK<?xml version=\"1.0\"?><a/>", 1},
        {"<a/><?xml version=\"1.0\"?>", 1},
        {"<a/><b/>", 1},
        {"not xml at all", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TXMLDocument doc;
        doc.LoadFromXML("<Old/>");
        try {
            doc.LoadFromXML(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const EDOMParseError& e) {
            EXPECT_NE(e.Message().find("not well-formed"), std::string::npos) << e.Message();
            EXPECT_FALSE(e.Reason().empty());
            if (c.line > 0) {
                EXPECT_EQ(e.Line(), c.line) << e.Message();
                EXPECT_NE(e.Message().find("line " + std::to_string(c.line)), std::string::npos);
            }
        }
        EXPECT_TRUE(doc.IsEmpty());
    }
}

TEST(XMLDocument, FileFailuresBelongToTheExceptionFamily)
{
    TempDir dir;
    TXMLDocument doc;
    EXPECT_THROW(doc.LoadFromFile(dir / "missing.xml"), EFOpenError);

    const std::string broken = dir.Write("broken.xml", "<Templates><Template></Templates>");
    try {
        doc.LoadFromFile(broken);
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find(broken), std::string::npos) << e.Message();
    }

    doc.AddChild("R");
    EXPECT_THROW(doc.SaveToFile(dir / "no/such/folder/out.xml"), EFCreateError);
}

TEST(XMLDocument, SaveToFileReplacesAtomically)
{
    TempDir dir;
    const std::string path = dir.Write("details.xml", "old content");
    TXMLDocument doc;
    doc.AddChild("Details").SetAttribute("Version", "2.0");
    doc.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), doc.SaveToXML());

    // A target that cannot be replaced keeps its content and leaves no
    // temporary file behind.
    const std::string folder = dir / "folder.xml";
    std::filesystem::create_directory(folder);
    EXPECT_THROW(doc.SaveToFile(folder), EWriteError);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"details.xml", "folder.xml"}));
}

TEST(XMLDocument, StreamsReadFromAndWriteAtThePosition)
{
    TMemoryStream stream;
    stream.WriteBuffer("JUNK", 4);
    TXMLDocument doc;
    doc.AddChild("Portfolio").SetAttribute("Name", "Ü");
    doc.SaveToStream(stream);
    EXPECT_EQ(stream.GetSize(), 4 + static_cast<int64_t>(doc.SaveToXML().size()));

    stream.SetPosition(4);
    TXMLDocument back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.DocumentElement().GetAttribute("Name"), "Ü");

    stream.SetPosition(0);
    EXPECT_THROW(back.LoadFromStream(stream), EDOMParseError);
}
