#include <gtest/gtest.h>

#include <QJsonArray>
#include <filesystem>
#include <random>

#include "platform/smtp/MimeMessage.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/TempDir.h"

namespace {

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string out(n, '\0');
    for (auto& c : out)
        c = static_cast<char>(rng());
    return out;
}

// Reads the whole message in pieces of awkward sizes.
std::string ReadAll(TMimeMessage& m)
{
    std::string out;
    char buffer[4099];
    size_t piece = 1;
    for (;;) {
        const size_t n = m.Read(buffer, piece);
        if (n == 0 && piece > 0)
            break;
        out.append(buffer, n);
        piece = piece == 1 ? sizeof buffer : 7;
    }
    return out;
}

std::string Normalised(std::string text)
{
    for (auto pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n"))
        text.erase(pos, 1);
    return text;
}

} // namespace

TEST(MimeMessageTest, PythonReadsBackEveryFieldForAttachmentsOfManySizes)
{
    const std::string subject = "Mein Portfolio – Gemälde und Zeichnungen aus dem Atelier, Frühjahr 2026";
    const std::string longLine = std::string(150, 'x') + " é " + std::string(100, '=');
    const std::string body = "Hello\r\n.dot line stays\nsecond=line\rtrailing space \n" + longLine + "\r\n.\r\nend";
    for (size_t size : {0u, 1u, 56u, 57u, 58u, 171u, 200000u}) {
        SCOPED_TRACE("attachment size " + std::to_string(size));
        TempDir dir;
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        TMimeMessage m;
        m.Subject = subject;
        m.Body = body;
        m.FromAddress = "artist@example.org";
        m.Recipients = "a@example.org; Bob Ünal <b@example.net>, \"Doe, Jane\" <j@example.com>";
        m.AttachmentPath = dir.Write("portfolio.pdf", bytes);
        m.Prepare();
        const std::string raw = ReadAll(m);
        EXPECT_EQ(raw.size(), m.Size());
        EXPECT_EQ(m.RecipientAddresses(), (std::vector<std::string>{"a@example.org", "b@example.net", "j@example.com"}));

        const auto parsed = ParseMail(raw, dir / "out.bin");
        EXPECT_EQ(parsed["subject"].toString().toStdString(), subject);
        EXPECT_EQ(parsed["from"].toString().toStdString(), "artist@example.org");
        EXPECT_EQ(parsed["to"].toArray().size(), 3);
        EXPECT_EQ(parsed["to"][2].toString().toStdString(), "j@example.com");
        EXPECT_TRUE(parsed["crlf"].toBool());
        EXPECT_TRUE(parsed["defects"].toArray().isEmpty()) << raw.substr(0, 2000);
        EXPECT_EQ(Normalised(parsed["body"].toString().toStdString()),
                  "Hello\n.dot line stays\nsecond=line\ntrailing space \n" + longLine + "\n.\nend");
        EXPECT_EQ(parsed["filename"].toString().toStdString(), "portfolio.pdf");
        EXPECT_EQ(ReadFileBytes(dir / "out.bin"), bytes);

        // Reading again gives the same bytes.
        m.Rewind();
        EXPECT_EQ(ReadAll(m), raw);
    }
}

TEST(MimeMessageTest, NonAsciiFileNameAndHeaderLineBreaks)
{
    TempDir dir;
    TMimeMessage m;
    m.Subject = "Hi\r\nBcc: evil@example.org";
    m.FromAddress = "me@example.org\r\nBcc: evil@example.org";
    m.Recipients = "you@example.org\r\nBcc: evil@example.org";
    m.AttachmentPath = dir.Write("Portfölio «2026».pdf", "%PDF-1.4 test");
    m.Prepare();
    const std::string raw = ReadAll(m);
    EXPECT_EQ(raw.find("\nBcc:"), std::string::npos);
    const auto parsed = ParseMail(raw);
    EXPECT_EQ(parsed["subject"].toString().toStdString(), "HiBcc: evil@example.org");
    EXPECT_EQ(parsed["filename"].toString().toStdString(), "Portfölio «2026».pdf");
    EXPECT_EQ(parsed["attachment_size"].toInt(), 13);
}

TEST(MimeMessageTest, RefusesBeforeSendingWhatCannotBeSent)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string recipients;
        std::string attachment;
    } cases[] = {
        {"no recipient", "", ""},
        {"only separators", " ; , ", ""},
        {"missing attachment", "a@example.org", dir / "missing.pdf"},
        {"folder as attachment", "a@example.org", dir.Path().string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMimeMessage m;
        m.FromAddress = "me@example.org";
        m.Recipients = c.recipients;
        m.AttachmentPath = c.attachment;
        EXPECT_THROW(m.Prepare(), EMimeError);
    }
}

TEST(MimeMessageTest, AttachmentThatShrinksWhileSendingFails)
{
    TempDir dir;
    const std::string path = dir.Write("a.bin", RandomBytes(300000, 1));
    TMimeMessage m;
    m.Recipients = "a@example.org";
    m.AttachmentPath = path;
    m.Prepare();
    std::filesystem::resize_file(path, 1000);
    EXPECT_THROW(ReadAll(m), EMimeError);
}

TEST(MimeMessageTest, SplitsRecipientTexts)
{
    struct Case {
        std::string text;
        std::vector<std::string> addresses;
    } cases[] = {
        {"a@x.org", {"a@x.org"}},
        {" a@x.org ;b@y.org,, c@z.org ", {"a@x.org", "b@y.org", "c@z.org"}},
        {"\"Doe; Jane\" <j@x.org>, Bob <b@y.org>", {"j@x.org", "b@y.org"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const auto& entry : SplitRecipients(c.text))
            got.push_back(RecipientAddress(entry));
        EXPECT_EQ(got, c.addresses) << c.text;
    }
}

TEST(MimeMessageTest, HeaderLinesWithEncodedWordsStayWithin76Characters)
{
    struct Case {
        const char* what;
        std::string subject;
        std::string recipientName;
        std::string fileName;
    } cases[] = {
        {"two-byte letters", "Mein Portfolio – Gemälde und Zeichnungen aus dem Atelier, Frühjahr 2026",
            "Ünal Öztürk-Müller – Galerie für zeitgenössische Kunst", "Portfölio «Gemälde und Zeichnungen» 2026.pdf"},
        {"three-byte letters", std::string("作品集") + std::string(40, 'a') + "作品集作品集作品集作品集作品集",
            "美術館の学芸員さま美術館の学芸員さま", "作品集作品集作品集作品集作品集作品集作品集.pdf"},
        {"four-byte letters", "🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨🎨 Portfolio 🎨🎨🎨", "🎨 Kurator 🎨", "🎨.pdf"},
        {"one letter", "é", "é", "é.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        TMimeMessage m;
        m.Subject = c.subject;
        m.Body = "Hello";
        m.FromAddress = "artist@example.org";
        m.Recipients = c.recipientName + " <curator.of.the.collection@a-rather-long-museum-domain.example.org>";
        m.AttachmentPath = dir.Write(c.fileName, "%PDF-1.4 test");
        m.Prepare();
        const std::string raw = ReadAll(m);

        // Every header line of the message and of its parts.
        size_t start = 0;
        bool inHeader = true;
        while (start < raw.size()) {
            size_t end = raw.find("\r\n", start);
            if (end == std::string::npos)
                end = raw.size();
            const std::string line = raw.substr(start, end - start);
            if (line.empty())
                inHeader = false;
            else if (line.rfind("--=_part_", 0) == 0)
                inHeader = true;
            else if (inHeader && line.find("=?") != std::string::npos)
                EXPECT_LE(line.size(), 76u) << line;
            start = end + 2;
        }

        const auto parsed = ParseMail(raw, dir / "out.bin");
        EXPECT_EQ(parsed["subject"].toString().toStdString(), c.subject);
        EXPECT_EQ(parsed["filename"].toString().toStdString(), c.fileName);
        EXPECT_EQ(parsed["to"][0].toString().toStdString(),
                  "curator.of.the.collection@a-rather-long-museum-domain.example.org");
        EXPECT_TRUE(parsed["defects"].toArray().isEmpty()) << raw.substr(0, 1500);
    }
}
