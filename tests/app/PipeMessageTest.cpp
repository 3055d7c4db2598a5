#include "app/NamedPipeClient.h"
#include "app/NamedPipeServer.h"
#include "app/SingleInstance.h"

#include "tests/app/SingleInstanceTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Action = PipeRequest::Action;

const std::string kHead = "<?xml version=\"1.0\"?><message><action>";

// What a second start with these arguments, in that current folder, sends:
// the bytes as a server of our own reads them off the socket.
std::string SentBytes(const std::vector<std::string>& args, const std::string& currentFolder)
{
    return ReceiveOneMessage([&] {
        NamedPipeClient client;
        EXPECT_TRUE(HandOver(client, args, currentFolder));
    });
}

TEST(PipeMessageTest, TheCommandLineBecomesExactlyThisMessage)
{
    struct Row {
        std::vector<std::string> args;
        std::string message;
    } const rows[] = {
        {{"velmora-voravev"}, kHead + "FocusApplication</action></message>"},
        {{"velmora-voravev", "/open"}, kHead + "OpenPortfolio</action><file></file></message>"},
        {{"velmora-voravev", "/open", "Show.pfo"},
         kHead + "OpenPortfolio</action><file>/home/ada/work/Show.pfo</file></message>"},
        {{"velmora-voravev", "/open", "/srv/Show.pfo", "ignored.png"},
         kHead + "OpenPortfolio</action><file>/srv/Show.pfo</file></message>"},
        // Only the exact switch opens; anything else is a picture file.
        {{"velmora-voravev", "/OPEN", "f.png"},
         kHead + "AddArtworks</action><file>/OPEN</file><file>/home/ada/work/f.png</file></message>"},
        {{"velmora-voravev", "a.png", "../b.jpg", "/abs/c.tif"},
         kHead + "AddArtworks</action><file>/home/ada/work/a.png</file><file>/home/ada/work/../b.jpg</file>"
                 "<file>/abs/c.tif</file></message>"},
        {{"velmora-voravev", "/art/Salt & Pepper <2>.png"},
         kHead + "AddArtworks</action><file>/art/Salt &amp; Pepper &lt;2&gt;.png</file></message>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(SentBytes(row.args, "/home/ada/work"), row.message);
    }
}

TEST(PipeMessageTest, MessagesBecomeRequests)
{
    struct Row {
        const char* name;
        std::string text;
        std::optional<PipeRequest> request;
    } const rows[] = {
        {"focus", kHead + "FocusApplication</action></message>", PipeRequest{Action::FocusApplication, {}}},
        {"open", kHead + "OpenPortfolio</action><file>/a/Show.pfo</file></message>",
         PipeRequest{Action::OpenPortfolio, {"/a/Show.pfo"}}},
        {"open without a file", kHead + "OpenPortfolio</action></message>", PipeRequest{Action::OpenPortfolio, {}}},
        {"open with an empty file", kHead + "OpenPortfolio</action><file></file></message>",
         PipeRequest{Action::OpenPortfolio, {""}}},
        {"open takes the first file", kHead + "OpenPortfolio</action><file>/1</file><file>/2</file></message>",
         PipeRequest{Action::OpenPortfolio, {"/1"}}},
        {"add skips other elements",
         "<?xml version=\"1.0\"?><message><file>/0.png</file><action>AddArtworks</action><note>x</note>"
         "<file>/1.png</file><!-- c --><file>/a &amp; b.png</file></message>",
         PipeRequest{Action::AddArtworks, {"/0.png", "/1.png", "/a & b.png"}}},
        {"add without files", kHead + "AddArtworks</action></message>", PipeRequest{Action::AddArtworks, {}}},
        {"no declaration", "<message><action>FocusApplication</action></message>",
         PipeRequest{Action::FocusApplication, {}}},
        {"unknown action", kHead + "Format</action></message>", std::nullopt},
        {"action in the wrong case", kHead + "focusapplication</action></message>", std::nullopt},
        {"no action", "<?xml version=\"1.0\"?><message><file>/a.png</file></message>", std::nullopt},
        {"no message", "<?xml version=\"1.0\"?><msg><action>FocusApplication</action></msg>", std::nullopt},
        {"action outside the message", "<?xml version=\"1.0\"?><action>FocusApplication</action>", std::nullopt},
        // What a client that does not escape sends for "/a<b.png".
        {"an unescaped less-than sign", kHead + "AddArtworks</action><file>/a<b.png</file></message>", std::nullopt},
        {"cut off", kHead + "AddArtworks</action><file>/a.png</fi", std::nullopt},
        {"not XML", "open /a.pfo", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NamedPipeServer::ParseMessage(row.text), row.request);
    }
}

TEST(PipeMessageTest, AnyFileNameComesBackAsItWasSent)
{
    const std::vector<std::string> files = {"/art/Salt & Pepper <2>.png", "/art/a]]>b.png", "/art/Überfahrt.jpg",
                                            "/art/&amp;.png", "/art/\"quoted\" 'single'.png", "/art/ spaced .png", ""};
    EXPECT_EQ(NamedPipeServer::ParseMessage(NamedPipeClient::AddArtworksMessage(files)),
              (PipeRequest{Action::AddArtworks, files}));
    for (const std::string& file : files)
        EXPECT_EQ(NamedPipeServer::ParseMessage(NamedPipeClient::OpenPortfolioMessage(file)),
                  (PipeRequest{Action::OpenPortfolio, {file}}))
            << file;
}

} // namespace
