#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "model/LastError.h"
#include "model/XmlHelpers.h"
#include "platform/xml/XMLDocument.h"

namespace {

// One "Details" element holding a child per case, parsed from text as a
// reader of the program's files would see it.
IXMLNode LoadDetails(TXMLDocument& doc, const std::string& children)
{
    doc.LoadFromXML("<?xml version=\"1.0\"?>\n<Details Version=\"2.0\">\n" + children + "</Details>\n");
    return doc.DocumentElement();
}

} // namespace

TEST(GetChildValue, ReadsTextAndFallsBackToEmpty)
{
    TXMLDocument doc;
    IXMLNode details = LoadDetails(doc,
        "  <Name>Ada &amp;amp; Co</Name>\n"
        "  <Phone></Phone>\n"
        "  <Email/>\n"
        "  <Address>   </Address>\n"
        "  <Website>  http://x  </Website>\n"
        "  <Nested><Inner>text</Inner></Nested>\n"
        "  <Unicode>Zoë 日本</Unicode>\n");

    const struct {
        const char* child;
        const char* expected;
    } cases[] = {
        {"Name", "Ada &amp; Co"},   // stored escaped form passes through as it stands
        {"Phone", ""},
        {"Email", ""},
        {"Address", "   "},        // blanks are the text
        {"Website", "  http://x  "},
        {"Nested", ""},
        {"Unicode", "Zoë 日本"},
        {"Missing", ""},
        {"name", ""},               // names are case-sensitive
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetChildValue(details, c.child), c.expected) << c.child;

    EXPECT_EQ(GetChildValue(IXMLNode(), "Name"), "");
}

TEST(GetChildBool, ConvertsTextOrGivesTheDefault)
{
    const struct {
        const char* element;   // nullptr: no child at all
        std::optional<bool> expected;  // nullopt: the default
    } cases[] = {
        {nullptr, std::nullopt},
        {"<Flag/>", std::nullopt},
        {"<Flag></Flag>", std::nullopt},
        {"<Flag>  </Flag>", std::nullopt},
        {"<Flag>true</Flag>", true},
        {"<Flag>TRUE</Flag>", true},
        {"<Flag>True</Flag>", true},
        {"<Flag> true\n</Flag>", true},
        {"<Flag>false</Flag>", false},
        {"<Flag>FaLsE</Flag>", false},
        {"<Flag>1</Flag>", true},
        {"<Flag>-1</Flag>", true},
        {"<Flag>+7</Flag>", true},
        {"<Flag>0</Flag>", false},
        {"<Flag>-0</Flag>", false},
        {"<Flag>000</Flag>", false},
        {"<Flag>99999999999999999999999999</Flag>", true},
        {"<Flag>00000000000000000000000000</Flag>", false},
        {"<Flag>yes</Flag>", std::nullopt},
        {"<Flag>truex</Flag>", std::nullopt},
        {"<Flag>tru</Flag>", std::nullopt},
        {"<Flag>1.0</Flag>", std::nullopt},
        {"<Flag>0x1</Flag>", std::nullopt},
        {"<Flag>1 2</Flag>", std::nullopt},
        {"<Flag>-</Flag>", std::nullopt},
        {"<Flag><X>true</X></Flag>", std::nullopt},
    };
    for (const auto& c : cases) {
        TXMLDocument doc;
        IXMLNode details = LoadDetails(doc, c.element ? std::string(c.element) + "\n" : "");
        for (bool def : {false, true}) {
            SCOPED_TRACE(std::string(c.element ? c.element : "(missing)") + (def ? " default true" : " default false"));
            EXPECT_EQ(GetChildBool(details, "Flag", def), c.expected.value_or(def));
        }
    }
}

TEST(GetChildBool, ReadsWhatTheProgramWrites)
{
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Template");
    root.AddChild("Builtin").SetText("false");
    root.AddChild("UseCVFile").SetText("true");

    TXMLDocument back;
    back.LoadFromXML(doc.SaveToXML());
    EXPECT_FALSE(GetChildBool(back.DocumentElement(), "Builtin", true));
    EXPECT_TRUE(GetChildBool(back.DocumentElement(), "UseCVFile", false));
    EXPECT_TRUE(GetChildBool(back.DocumentElement(), "Missing", true));
}

TEST(LastError, KeepsTheLastTextSet)
{
    LastError error;
    EXPECT_EQ(error.GetText(), "");

    error.SetText("Failed to load the template file '/x/templates.vtp'");
    EXPECT_EQ(error.GetText(), "Failed to load the template file '/x/templates.vtp'");
    EXPECT_EQ(error.GetText(), "Failed to load the template file '/x/templates.vtp'");

    std::string copy = error.GetText();
    copy += " changed";
    EXPECT_EQ(error.GetText(), "Failed to load the template file '/x/templates.vtp'");

    error.SetText("Template not found.");
    EXPECT_EQ(error.GetText(), "Template not found.");
    error.SetText("");
    EXPECT_EQ(error.GetText(), "");
}
