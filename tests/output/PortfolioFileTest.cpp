// Saving and opening ".pfo" portfolio files: round trips, the container as
// other ZIP readers see it, the reader chosen by the archive comment, damaged
// and hostile files, failed saves, and files of the first version.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FreeImage/FreeWinBitmap.h"
#include "model/MD5.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "output/PortfolioArchive.h"
#include "output/PortfolioLoader.h"
#include "output/PortfolioLoaderV1.h"
#include "output/PortfolioLoaderV2.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"
#include "output/PortfolioGenerator.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/BmpFile.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"
#include "zip/TZAWorkerPool.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"
#include "zip/ZACompression.h"

extern char** environ;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kPassword = "Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay";

std::string Bytes(TMemoryStream& stream)
{
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

void Fill(TMemoryStream& stream, const std::string& bytes)
{
    stream.Clear();
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
}

// A 24-bit BMP whose every pixel differs from its neighbours, so that a
// swapped row, a lost column or a changed colour all show.
std::string MakeBmp(int w, int h, int seed)
{
    const int stride = (w * 3 + 3) & ~3;
    std::string pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels += char((x * 37 + y * 11 + seed) & 0xFF);
            pixels += char((x * 5 + y * 71 + seed * 3) & 0xFF);
            pixels += char((x * y + seed * 7) & 0xFF);
        }
        pixels.append(size_t(stride - w * 3), '\0');
    }
    return BmpHeaders(uint32_t(w), uint32_t(h), 24, 0, 54, uint32_t(pixels.size()), 0) + pixels;
}

// The picture's image as the writer stores it.
std::string StoredBitmap(Picture* picture)
{
    TMemoryStream stream;
    EXPECT_TRUE(picture->SaveToStream(stream));
    return Bytes(stream);
}

// An archive made with our archiver the way another program version might
// have made it: any comment, any items, any password.
void WriteArchive(const std::string& path, const std::string& comment, const Items& items,
                  const std::string& password = kPassword)
{
    TZipArchiver archiver;
    archiver.FileName = UTF8ToWide(path);
    archiver.SetPassword(password);
    archiver.SetCompressionLevel(clFastest);
    archiver.OpenArchive(0xFFFF);
    archiver.SetComment(comment);
    for (const auto& [name, bytes] : items) {
        TMemoryStream stream;
        Fill(stream, bytes);
        archiver.AddFromStream(UTF8ToWide(name), stream);
    }
    archiver.CloseArchive();
}

std::unique_ptr<Portfolio> OpenPortfolio(const std::string& path, bool* ok)
{
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetFileName(path);
    *ok = portfolio->Load();
    return portfolio;
}

class PortfolioFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Two templates of our own, so that a saved name that is not the
        // library's first one can be told apart from the fallback.
        static TempDir folder;
        TXMLDocument document;
        IXMLNode root = document.AddChild("Templates");
        Template("Alpha").SaveToXml(root);
        Template("Beta").SaveToXml(root);
        document.SaveToFile(folder / "pfo-templates.vtp");
        ASSERT_TRUE(TemplateLibrary::Instance()->LoadFile(folder / "pfo-templates.vtp", false));
        ASSERT_NE(TemplateLibrary::Instance()->FindTemplate("Beta"), TemplateLibrary::Instance()->GetDefaultTemplate());
    }

    static Template* Beta() { return TemplateLibrary::Instance()->FindTemplate("Beta"); }

    // A portfolio that uses every field, three artworks of different sizes
    // and all three attachments.
    std::unique_ptr<Portfolio> MakeFull(const std::string& path)
    {
        auto p = std::make_unique<Portfolio>();
        p->SetFileName(path);
        p->SetName("Ana & Bo <Studio>");
        p->SetPhone("+1 \"555\" 0100");
        p->SetEmail("ana@example.org");
        p->SetAddress("1 Main St\r\nFlat 2\nTown");
        p->SetWebsiteAddress("www.example.org/?a=1&b=2");
        p->SetStatementTitle("About \"me\"");
        p->SetStatementText("I typed &lt; literally & <b>bold</b>\r\nnext line");
        p->SetTemplate(Beta());
        p->SetUsePictureFile(true);
        p->SetUseStatementFile(false);
        p->SetUseCVFile(true);

        statementOnDisk_ = dir_.Write("statement.txt", "statement on disk");
        EXPECT_TRUE(p->AttachStatementFile(statementOnDisk_));
        Fill(*p->GetCVData(), std::string("%PDF-cv\0\x01\xFF", 10));
        p->SetCVFile("C:\\Users\\ana\\Documents\\cv.pdf");
        Fill(*p->GetPictureData(), MakeBmp(5, 4, 99));
        p->SetPictureFile("");

        const int sizes[][2] = {{13, 7}, {1, 1}, {40, 3}};
        const char* titles[] = {"Dawn & dusk", "<untitled>", "\"Quoted\"\nsecond line"};
        for (int i = 0; i < 3; ++i) {
            auto picture = std::make_unique<Picture>(p.get());
            TMemoryStream bmp;
            Fill(bmp, MakeBmp(sizes[i][0], sizes[i][1], i));
            EXPECT_TRUE(picture->LoadFromStream(bmp));
            picture->SetTitle(titles[i]);
            picture->SetMedia("Oil & wax " + std::to_string(i));
            picture->SetDimensions(std::to_string(i + 10) + " x 20 cm");
            picture->SetDescription(i == 1 ? "" : "Line one\r\nLine & two");
            picture->SetFileName("/photos/" + std::to_string(i) + ".jpg");
            p->AddPicture(picture.release());
        }
        return p;
    }

    TempDir dir_;
    std::string statementOnDisk_;
};

TEST_F(PortfolioFileTest, SavedPortfolioOpensWithEverythingItHeld)
{
    const std::string path = dir_ / "full.pfo";
    auto saved = MakeFull(path);
    ASSERT_TRUE(saved->Save());
    EXPECT_FALSE(saved->IsModified());

    bool ok = false;
    auto loaded = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(loaded->IsModified());

    // The escaped forms compare the texts exactly as the pages will show them.
    EXPECT_EQ(loaded->GetName(false), saved->GetName(false));
    EXPECT_EQ(loaded->GetPhone(false), saved->GetPhone(false));
    EXPECT_EQ(loaded->GetEmail(false), saved->GetEmail(false));
    EXPECT_EQ(loaded->GetAddress(false), saved->GetAddress(false));
    EXPECT_EQ(loaded->GetWebsiteAddress(false), saved->GetWebsiteAddress(false));
    EXPECT_EQ(loaded->GetStatementTitle(false), saved->GetStatementTitle(false));
    EXPECT_EQ(loaded->GetStatementText(false), saved->GetStatementText(false));
    EXPECT_EQ(loaded->GetStatementText(true), "I typed &lt; literally & <b>bold</b>\r\nnext line");
    EXPECT_TRUE(loaded->GetUsePictureFile());
    EXPECT_FALSE(loaded->GetUseStatementFile());
    EXPECT_TRUE(loaded->GetUseCVFile());
    EXPECT_EQ(loaded->GetTemplate(), Beta());

    ASSERT_EQ(loaded->GetPictureCount(), 3);
    for (int i = 0; i < 3; ++i) {
        Picture* a = saved->GetPicture(i);
        Picture* b = loaded->GetPicture(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(b->GetID(), a->GetID());
        EXPECT_EQ(b->GetTitle(false), a->GetTitle(false));
        EXPECT_EQ(b->GetMedia(false), a->GetMedia(false));
        EXPECT_EQ(b->GetDimensions(false), a->GetDimensions(false));
        EXPECT_EQ(b->GetDescription(false), a->GetDescription(false));
        EXPECT_EQ(b->GetFileName(), a->GetFileName());
        EXPECT_EQ(StoredBitmap(b), StoredBitmap(a));
    }

    EXPECT_EQ(Bytes(*loaded->GetStatementData()), "statement on disk");
    EXPECT_EQ(Bytes(*loaded->GetCVData()), std::string("%PDF-cv\0\x01\xFF", 10));
    EXPECT_EQ(Bytes(*loaded->GetPictureData()), MakeBmp(5, 4, 99));
    // A path whose file is still there stays; one from another machine is
    // cut to its name; an empty one stays empty.
    EXPECT_EQ(loaded->GetStatementFile(), statementOnDisk_);
    EXPECT_EQ(loaded->GetCVFile(), "cv.pdf");
    EXPECT_EQ(loaded->GetPictureFile(), "");
}

// IDs come from a per-run counter and the time of day, so a picture added
// today can get the ID of one made in an earlier run; a crafted file can
// name anything. Item names do not tell letter case apart.
TEST_F(PortfolioFileTest, TextsOfBlanksAndLoneLineEndsComeBackAsTheyWere)
{
    const std::string path = dir_ / "blanks.pfo";
    Portfolio saved;
    saved.SetFileName(path);
    saved.SetTemplate(Beta());
    saved.SetName("   ");
    saved.SetPhone("\r\n");
    saved.SetAddress("a\rb");
    saved.SetStatementText("\r");
    saved.SetStatementTitle(" ");
    ASSERT_TRUE(saved.Save());
    bool ok = false;
    auto loaded = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(loaded->GetName(true), "   ");
    EXPECT_EQ(loaded->GetPhone(true), "\r\n");
    EXPECT_EQ(loaded->GetAddress(true), "a\rb");
    EXPECT_EQ(loaded->GetStatementText(true), "\r");
    EXPECT_EQ(loaded->GetStatementTitle(true), " ");
}

TEST_F(PortfolioFileTest, ArtworksWhoseIdsClashKeepTheirOwnImages)
{
    const std::string path = dir_ / "clash.pfo";
    auto saved = MakeFull(path);
    {
        auto fourth = std::make_unique<Picture>(saved.get());
        TMemoryStream bmp;
        Fill(bmp, MakeBmp(9, 9, 7));
        ASSERT_TRUE(fourth->LoadFromStream(bmp));
        saved->AddPicture(fourth.release());
    }
    const std::string ids[] = {"00000001000A000B000C", "00000001000A000B000C", "00000001000a000b000c",
                               "_Statement_File_"};
    std::vector<std::string> images;
    for (int i = 0; i < 4; ++i) {
        saved->GetPicture(i)->SetID(ids[i]);
        images.push_back(StoredBitmap(saved->GetPicture(i)));
    }
    ASSERT_TRUE(saved->Save());

    bool ok = false;
    auto loaded = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(loaded->GetPictureCount(), 4);
    EXPECT_EQ(loaded->GetPicture(0)->GetID(), ids[0]);
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(StoredBitmap(loaded->GetPicture(i)), images[i]);
        // The portfolio in memory names the items the file holds.
        EXPECT_EQ(loaded->GetPicture(i)->GetID(), saved->GetPicture(i)->GetID());
        seen.push_back(loaded->GetPicture(i)->GetID());
    }
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), 4u);
    EXPECT_EQ(Bytes(*loaded->GetStatementData()), "statement on disk");
    EXPECT_FALSE(saved->IsModified());
}

TEST_F(PortfolioFileTest, OtherZipReadersSeeTheItemsInOrderEncryptedAndDeflated)
{
    const std::string full = dir_ / "full.pfo";
    auto portfolio = MakeFull(full);
    ASSERT_TRUE(portfolio->Save());
    auto empty = std::make_unique<Portfolio>();
    const std::string emptyPath = dir_ / "empty.pfo";
    empty->SetFileName(emptyPath);
    ASSERT_TRUE(empty->Save());

    struct Case {
        std::string path;
        std::vector<std::string> names;
    } cases[] = {
        {full,
         {"_XML_DETAILS_", "_TEMPLATE_XML_", portfolio->GetPicture(0)->GetID(), portfolio->GetPicture(1)->GetID(),
          portfolio->GetPicture(2)->GetID(), "_STATEMENT_FILE_", "_CV_FILE_", "_PICTURE_FILE_"}},
        {emptyPath, {"_XML_DETAILS_", "_TEMPLATE_XML_", "_STATEMENT_FILE_", "_CV_FILE_", "_PICTURE_FILE_"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string expected;
        for (const auto& name : c.names)
            expected += name + "\n";
        const std::string script = dir_.Write("check.py", R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.comment == b"VelmoraAlbumDesignerPro, v2.0", z.comment
for i in z.infolist():
    assert i.flag_bits & 1, (i.filename, "not encrypted")
    want = 8 if i.file_size else 0
    assert i.compress_type == want, (i.filename, i.compress_type, i.file_size)
    data = z.read(i.filename, pwd=sys.argv[2].encode())
    assert len(data) == i.file_size
    print(i.filename)
)");
        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + c.path + "' " + kPassword + " 2>&1", &out), 0)
            << out;
        EXPECT_EQ(out, expected);
    }

    // unzip decrypts the same bytes the portfolio holds.
    std::string out;
    ASSERT_EQ(RunCommand("unzip -P " + std::string(kPassword) + " -p '" + full + "' " +
                             portfolio->GetPicture(2)->GetID(), &out), 0);
    EXPECT_EQ(out, StoredBitmap(portfolio->GetPicture(2)));
    ASSERT_EQ(RunCommand("unzip -P " + std::string(kPassword) + " -p '" + full + "' _CV_FILE_", &out), 0);
    EXPECT_EQ(out, std::string("%PDF-cv\0\x01\xFF", 10));

    ASSERT_EQ(RunCommand("unzip -P " + std::string(kPassword) + " -p '" + full + "' _XML_DETAILS_", &out), 0);
    TXMLDocument details;
    details.LoadFromXML(out);
    const IXMLNode root = details.ChildNode("Portfolio");
    EXPECT_EQ(root.GetAttribute("Version").value_or("?"), "2.0");
    EXPECT_EQ(root.GetAttribute("Name").value_or("?"), "");
    EXPECT_EQ(root.GetAttribute("TemplateName").value_or("?"), "Beta");
    // Plain text in the file: the model's escapes never reach it.
    EXPECT_EQ(root.ChildNode("Details").ChildValue("Name").value_or(""), "Ana & Bo <Studio>");
    EXPECT_EQ(root.ChildNode("Details").ChildNode("StatementFile").GetAttribute("Hash").value_or("").size(), 32u);

    ASSERT_EQ(RunCommand("unzip -P " + std::string(kPassword) + " -p '" + full + "' _TEMPLATE_XML_", &out), 0);
    TXMLDocument templates;
    templates.LoadFromXML(out);
    EXPECT_EQ(templates.ChildNode("Templates").ChildNode("Template").ChildValue("Name").value_or(""), "Beta");
}

// Artworks are turned into bitmaps, hashed and decoded on the archiver's
// workers: with one worker or several the file holds the same items in the
// same order (as Python reads them), and opening it gives every artwork its
// own image and hash, whichever count opens it.
TEST_F(PortfolioFileTest, OneWorkerOrManySaveAndOpenTheSamePortfolio)
{
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(Beta());
    for (int i = 0; i < 13; ++i) {
        auto picture = std::make_unique<Picture>(portfolio.get());
        TMemoryStream bmp;
        Fill(bmp, MakeBmp(3 + i * 7, 2 + (i * 5) % 11, i));
        ASSERT_TRUE(picture->LoadFromStream(bmp));
        picture->SetTitle("Artwork " + std::to_string(i));
        portfolio->AddPicture(picture.release());
    }
    std::vector<std::string> bitmaps, hashes;
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        bitmaps.push_back(StoredBitmap(portfolio->GetPicture(i)));
        // An opened artwork's hash is that of the bitmap the file holds.
        const MD5 md5;
        const HashDigest digest =
            md5.Digest(reinterpret_cast<const uint8_t*>(bitmaps.back().data()), bitmaps.back().size());
        hashes.push_back(md5.ToHex(digest.get()));
    }
    const std::string script = dir_.Write("items.py", R"(import sys, zipfile, zlib
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    data = z.read(i.filename, pwd=sys.argv[2].encode())
    print(i.filename, i.compress_type, i.file_size, i.compress_size, "%08x" % zlib.crc32(data))
)");
    struct Run {
        int workers;
        std::string path;
        std::string items;
    } runs[] = {{1, dir_ / "one.pfo", ""}, {8, dir_ / "eight.pfo", ""}};
    for (Run& run : runs) {
        SetDefaultArchiverWorkers(run.workers);
        portfolio->SetFileName(run.path);
        EXPECT_TRUE(portfolio->Save()) << run.workers;
        ASSERT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + run.path + "' " + kPassword + " 2>&1",
                             &run.items), 0)
            << run.items;
    }
    EXPECT_EQ(runs[0].items, runs[1].items);
    EXPECT_NE(runs[0].items.find(portfolio->GetPicture(12)->GetID()), std::string::npos);

    for (const Run& run : runs) {
        for (int workers : {1, 8}) {
            SCOPED_TRACE(run.path + " opened with " + std::to_string(workers));
            SetDefaultArchiverWorkers(workers);
            bool ok = false;
            auto opened = OpenPortfolio(run.path, &ok);
            ASSERT_TRUE(ok);
            ASSERT_EQ(opened->GetPictureCount(), int(bitmaps.size()));
            for (int i = 0; i < opened->GetPictureCount(); ++i) {
                Picture* picture = opened->GetPicture(i);
                EXPECT_EQ(picture->GetID(), portfolio->GetPicture(i)->GetID());
                EXPECT_EQ(picture->GetTitle(true), "Artwork " + std::to_string(i));
                EXPECT_EQ(picture->GetHash(), hashes[size_t(i)]) << i;
                EXPECT_EQ(StoredBitmap(picture), bitmaps[size_t(i)]) << i;
            }
        }
    }
    SetDefaultArchiverWorkers(0);
}

// The details document of the table below: version 2 values and version 1
// attributes side by side, so the portfolio shows which reader ran.
std::string DualVersionXml()
{
    return R"(<?xml version="1.0"?>
<Portfolio Version="x" Name="" Template="Beta" TemplateName="Beta">
  <Details>
    <Name>Reader</Name>
    <WebsiteAddress>site.example</WebsiteAddress>
    <StatementTitle>Custom title</StatementTitle>
  </Details>
  <Pictures/>
</Portfolio>)";
}

Items PlainItems(const std::string& xml)
{
    return {{"_XML_DETAILS_", xml}, {"_STATEMENT_FILE_", ""}, {"_CV_FILE_", ""}, {"_PICTURE_FILE_", ""}};
}

TEST_F(PortfolioFileTest, ArchiveCommentChoosesTheReader)
{
    enum Reader { None, V1, V2 };
    const struct {
        const char* comment;
        Reader reader;
    } cases[] = {
        {"VelmoraAlbumDesignerPro, v2.0", V2},
        {"VelmoraAlbumDesignerPro, v2.7", V2},
        {"saved by hand: VelmoraAlbumDesignerPro, v2.0 (copy)", V2},
        {"VelmoraAlbumDesignerPro, v1.0", V1},
        {"VelmoraAlbumDesignerPro, v1.3", V1},
        {"VelmoraAlbumDesignerPro, v2.0 VelmoraAlbumDesignerPro, v1.0", V1},
        {"VelmoraAlbumDesignerPro, V2.0", None},
        {"VelmoraAlbumDesignerPro v2.0", None},
        {"velmoraalbumdesignerpro, v2.0", None},
        {"Made by some other archiver", None},
        {"", None},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comment);
        const std::string path = dir_ / ("comment" + std::to_string(n++) + ".pfo");
        WriteArchive(path, c.comment, PlainItems(DualVersionXml()));
        bool ok = false;
        auto p = OpenPortfolio(path, &ok);
        EXPECT_EQ(ok, c.reader != None);
        if (c.reader == None) {
            EXPECT_EQ(p->GetName(true), "");
            continue;
        }
        EXPECT_EQ(p->GetName(true), "Reader");
        EXPECT_EQ(p->GetWebsiteAddress(true), c.reader == V2 ? "site.example" : "");
        EXPECT_EQ(p->GetStatementTitle(true), c.reader == V2 ? "Custom title" : "Statement");
    }
}

TEST_F(PortfolioFileTest, BrokenOrHostileFilesFailToOpen)
{
    const std::string bmp = MakeBmp(4, 4, 1);
    const std::string secret = dir_.Write("secret-key", "PRIVATE KEY MATERIAL");
    std::string png;
    {
        TFreeBitmap image(FIT_BITMAP, 4, 4, 24);
        TMemoryStream stream;
        ASSERT_TRUE(image.SaveToStream(FIF_PNG, stream));
        png = Bytes(stream);
        Picture probe(nullptr);
        stream.SetPosition(0);
        ASSERT_TRUE(probe.LoadFromStream(stream)) << "the PNG fixture must decode";
    }
    const std::string v2 = "VelmoraAlbumDesignerPro, v2.0";
    auto xmlWith = [](const std::string& pictureId, const std::string& statementPath) {
        return R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName="Beta"><Details><StatementFile>)" +
               statementPath + "</StatementFile></Details><Pictures><Picture><ID>" + pictureId +
               "</ID></Picture></Pictures></Portfolio>";
    };
    const std::string id = "00000001000A000B000C";
    auto itemsWith = [&](const std::string& xml, const std::string& artwork) {
        Items items = PlainItems(xml);
        items.insert(items.begin() + 1, {id, artwork});
        return items;
    };

    // A saved file with its bytes damaged in the middle of the artwork data.
    const std::string good = dir_ / "good.pfo";
    WriteArchive(good, v2, itemsWith(xmlWith(id, ""), bmp));
    {
        bool ok = false;
        OpenPortfolio(good, &ok);
        ASSERT_TRUE(ok) << "the undamaged fixture must open";
    }
    std::string damaged = ReadFileBytes(good);
    // Past the local header, its extra fields and the 12-byte cipher header.
    const size_t nameAt = damaged.find(id);
    ASSERT_GE(nameAt, 30u);
    const size_t extra = uint8_t(damaged[nameAt - 2]) | uint8_t(damaged[nameAt - 1]) << 8;
    const size_t at = nameAt + id.size() + extra + 12 + 4;
    for (size_t i = at; i < at + 8; ++i)
        damaged[i] = char(damaged[i] ^ 0x5A);
    std::string truncated = ReadFileBytes(good);
    truncated.resize(truncated.size() / 2);

    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> make;  // writes the file, returns its path
    };
    const Case cases[] = {
        {"missing file", [&](const std::string& path) { return path; }},
        {"not a ZIP", [&](const std::string& path) { return dir_.Write(path, "just some text, no archive"); }},
        {"other password",
         [&](const std::string& path) {
             WriteArchive(path, v2, itemsWith(xmlWith(id, ""), bmp), "another password");
             return path;
         }},
        {"no description item",
         [&](const std::string& path) {
             Items items = itemsWith(xmlWith(id, ""), bmp);
             items.erase(items.begin());
             WriteArchive(path, v2, items);
             return path;
         }},
        {"description not well-formed",
         [&](const std::string& path) {
             WriteArchive(path, v2, PlainItems("<Portfolio Version='2.0'"));
             return path;
         }},
        {"root without TemplateName",
         [&](const std::string& path) {
             WriteArchive(path, v2, PlainItems("<Portfolio Version='2.0' Name=''/>"));
             return path;
         }},
        {"artwork item missing",
         [&](const std::string& path) {
             WriteArchive(path, v2, PlainItems(xmlWith(id, "")));
             return path;
         }},
        // As a mask this ID would match the artwork item, which is sound.
        {"artwork ID with a wildcard",
         [&](const std::string& path) {
             WriteArchive(path, v2, itemsWith(xmlWith("0000000?000A000B000C", ""), bmp));
             return path;
         }},
        // A sound image of another format: only bitmaps reach the decoders.
        {"artwork that is a PNG",
         [&](const std::string& path) {
             WriteArchive(path, v2, itemsWith(xmlWith(id, ""), png));
             return path;
         }},
        {"bitmap signature over garbage",
         [&](const std::string& path) {
             WriteArchive(path, v2, itemsWith(xmlWith(id, ""), "BM" + std::string(60, '\x7f')));
             return path;
         }},
        // The stored path names a local secret and the archive copy is
        // missing: opening must not fall back to reading the local file.
        {"attachment item missing, path to a local file",
         [&](const std::string& path) {
             Items items = itemsWith(xmlWith(id, secret), bmp);
             std::erase_if(items, [](const auto& item) { return item.first == "_STATEMENT_FILE_"; });
             WriteArchive(path, v2, items);
             return path;
         }},
        {"damaged item data", [&](const std::string& path) { return dir_.Write(path, damaged); }},
        {"truncated file", [&](const std::string& path) { return dir_.Write(path, truncated); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.make(dir_ / ("broken" + std::to_string(n++) + ".pfo"));
        bool ok = true;
        std::unique_ptr<Portfolio> p;
        EXPECT_NO_THROW(p = OpenPortfolio(path, &ok));
        EXPECT_FALSE(ok);
        if (p) {
            EXPECT_EQ(Bytes(*p->GetStatementData()).find("PRIVATE"), std::string::npos);
        }
    }
}

TEST_F(PortfolioFileTest, AFifoDeviceOrFolderIsRefusedWithoutWaiting)
{
    ExpectSpecialFilesRefused(dir_ / "special", ".pfo", [](const std::string& path) {
        bool ok = true;
        const std::unique_ptr<Portfolio> p = OpenPortfolio(path, &ok);
        return ok;
    });
}

TEST_F(PortfolioFileTest, AttachmentsComeFromTheArchiveEvenWhenTheStoredPathExists)
{
    // Whatever the file at the stored path holds now (here: a key the
    // sender named), the portfolio gets the bytes that were sent.
    const std::string secret = dir_.Write("id_key", "PRIVATE KEY MATERIAL");
    const std::string xml = R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName="Beta"><Details>)"
                            "<StatementFile>" + secret + "</StatementFile><CVFile>" + secret +
                            "</CVFile><PictureFile>D:\\gone\\me.png</PictureFile></Details><Pictures/></Portfolio>";
    const std::string path = dir_ / "sent.pfo";
    WriteArchive(path, "VelmoraAlbumDesignerPro, v2.0",
                 {{"_XML_DETAILS_", xml},
                  {"_STATEMENT_FILE_", "sent statement"},
                  {"_CV_FILE_", ""},
                  {"_PICTURE_FILE_", "sent picture"}});

    auto p = std::make_unique<Portfolio>();
    // A new portfolio may hold the artist's saved CV already.
    Fill(*p->GetCVData(), "CV from the artist's saved details");
    p->SetFileName(path);
    ASSERT_TRUE(p->Load());
    EXPECT_EQ(Bytes(*p->GetStatementData()), "sent statement");
    EXPECT_EQ(Bytes(*p->GetCVData()), "");
    EXPECT_EQ(Bytes(*p->GetPictureData()), "sent picture");
    EXPECT_EQ(p->GetStatementFile(), secret);
    EXPECT_EQ(p->GetCVFile(), secret);
    EXPECT_EQ(p->GetPictureFile(), "me.png");
}

TEST_F(PortfolioFileTest, FailedSaveLeavesThePreviousFileAsItWas)
{
    const std::string path = dir_ / "keep.pfo";
    auto portfolio = MakeFull(path);
    ASSERT_TRUE(portfolio->Save());
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string before = ReadFileBytes(path);

    struct Case {
        const char* what;
        std::function<void(Portfolio&)> spoil;
        std::function<void(Portfolio&)> mend;
    };
    Template* chosen = portfolio->GetTemplate();
    Picture* blank = nullptr;
    const Case cases[] = {
        {"no template", [](Portfolio& p) { p.SetTemplate(nullptr); }, [&](Portfolio& p) { p.SetTemplate(chosen); }},
        {"artwork without an image",
         [&](Portfolio& p) {
             blank = new Picture(&p);
             p.AddPicture(blank);
         },
         [&](Portfolio& p) { p.RemovePicture(blank); }},
        {"attachment larger than any item may be",
         [](Portfolio& p) { p.GetCVData()->SetSize(PortfolioArchive::kMaxItemSize + 1); },
         [](Portfolio& p) { Fill(*p.GetCVData(), "cv"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        portfolio->SetName("changed before a failed save");
        c.spoil(*portfolio);
        EXPECT_FALSE(portfolio->Save());
        EXPECT_TRUE(portfolio->IsModified());
        EXPECT_EQ(ReadFileBytes(path), before);
        c.mend(*portfolio);
    }
    // Nothing of the failed attempts is left beside the file.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        if (entry.path().extension() != ".txt")
            left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"keep.pfo"});

    // A save that works replaces the file and keeps its permissions.
    portfolio->SetName("Second name");
    ASSERT_TRUE(portfolio->Save());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    bool ok = false;
    auto reopened = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(reopened->GetName(true), "Second name");

    Portfolio nowhere;
    nowhere.SetFileName(dir_ / "no-such-folder/p.pfo");
    EXPECT_FALSE(nowhere.Save());
}

TEST_F(PortfolioFileTest, SaveWithoutFileNameChangesNothing)
{
    const auto cwd = std::filesystem::current_path();
    const std::filesystem::path elsewhere = dir_.Path();
    std::filesystem::current_path(elsewhere);
    Portfolio p;
    p.SetName("unsaved");
    ASSERT_TRUE(p.IsModified());
    EXPECT_FALSE(p.Save());
    EXPECT_TRUE(p.IsModified());
    EXPECT_EQ(std::filesystem::current_path(), elsewhere);
    std::filesystem::current_path(cwd);
}

TEST_F(PortfolioFileTest, OversizedItemIsRefusedBeforeItIsInflated)
{
    // Zeros deflate to almost nothing: a small file that would fill memory.
    const std::string path = dir_ / "bomb.pfo";
    {
        TZipArchiver archiver;
        archiver.FileName = UTF8ToWide(path);
        archiver.SetPassword(kPassword);
        archiver.OpenArchive(0xFFFF);
        archiver.SetComment("VelmoraAlbumDesignerPro, v2.0");
        for (const auto& [name, bytes] : PlainItems(R"(<Portfolio Version="2.0" Name="" TemplateName=""/>)")) {
            TMemoryStream stream;
            if (name == "_CV_FILE_")
                stream.SetSize(PortfolioArchive::kMaxItemSize + 1);
            else
                Fill(stream, bytes);
            archiver.AddFromStream(UTF8ToWide(name), stream, false);
        }
        archiver.CloseArchive();
    }
    ASSERT_LT(std::filesystem::file_size(path), 4u << 20);
    bool ok = true;
    auto p = OpenPortfolio(path, &ok);
    EXPECT_FALSE(ok);
    EXPECT_LT(p->GetCVData()->GetSize(), 1024);
}

TEST_F(PortfolioFileTest, DescriptionReadersOfBothVersions)
{
    Template* first = TemplateLibrary::Instance()->GetDefaultTemplate();
    const struct {
        const char* what;
        bool (*read)(Portfolio*, TStream*);
        std::string xml;
        bool ok;
        Template* expectedTemplate;
        std::vector<std::string> titles;
    } cases[] = {
        {"v2 known template", &PortfolioLoaderV2::LoadFromXml,
         R"(<Portfolio Version="2.0" Name="" TemplateName="Beta"/>)", true, Beta(), {}},
        {"v2 unknown template", &PortfolioLoaderV2::LoadFromXml,
         R"(<Portfolio Version="2.0" Name="" TemplateName="Nope"/>)", true, first, {}},
        {"v2 empty template name", &PortfolioLoaderV2::LoadFromXml,
         R"(<Portfolio Version="2.0" Name="" TemplateName=""/>)", true, first, {}},
        {"v2 takes no v1 attribute", &PortfolioLoaderV2::LoadFromXml,
         R"(<Portfolio Version="2.0" Name="" Template="Beta"/>)", false, nullptr, {}},
        {"v2 without Version", &PortfolioLoaderV2::LoadFromXml, R"(<Portfolio Name="" TemplateName="Beta"/>)",
         false, nullptr, {}},
        {"v2 other root", &PortfolioLoaderV2::LoadFromXml, R"(<Templates Version="2.0" Name="" TemplateName=""/>)",
         false, nullptr, {}},
        {"v1 known template", &PortfolioLoaderV1::LoadFromXml, R"(<Portfolio Version="1.0" Name="" Template="Beta"/>)",
         true, Beta(), {}},
        {"v1 unknown template", &PortfolioLoaderV1::LoadFromXml,
         R"(<Portfolio Version="1.0" Name="" Template="Nope"/>)", true, first, {}},
        {"v1 takes no v2 attribute", &PortfolioLoaderV1::LoadFromXml,
         R"(<Portfolio Version="1.0" Name="" TemplateName="Beta"/>)", false, nullptr, {}},
        {"only elements named exactly Picture", &PortfolioLoaderV2::LoadFromXml,
         R"(<Portfolio Version="2.0" Name="" TemplateName="Beta"><Pictures>
              <Picture><ID>A1</ID><Title>one</Title></Picture>
              <picture><ID>A2</ID><Title>lower case</Title></picture>
              <!-- Picture -->
              <Painting><ID>A3</ID></Painting>
              <Picture><ID>A4</ID><Title>two &amp; more</Title></Picture>
            </Pictures></Portfolio>)",
         true, Beta(), {"one", "two & more"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Portfolio p;
        TMemoryStream stream;
        Fill(stream, c.xml);
        EXPECT_EQ(c.read(&p, &stream), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(p.GetTemplate(), c.expectedTemplate);
        std::vector<std::string> titles;
        for (int i = 0; i < p.GetPictureCount(); ++i)
            titles.push_back(p.GetPicture(i)->GetTitle(true));
        EXPECT_EQ(titles, c.titles);
    }
}

TEST_F(PortfolioFileTest, VersionOneFileOpensAndIsSavedAsVersionTwo)
{
    const std::string id = "0000002A000100020003";
    const std::string bmp = MakeBmp(6, 5, 3);
    const std::string xml = R"(<?xml version="1.0"?>
<Portfolio Version="1.0" Name="" Template="Beta">
  <Details>
    <Name>Old &amp; Gold</Name>
    <Phone>123</Phone>
    <Email>old@example.org</Email>
    <Address>Street 1
Town</Address>
    <WebsiteAddress>ignored.example</WebsiteAddress>
    <PictureFile>C:\Me\face.bmp</PictureFile>
    <UsePictureFile>true</UsePictureFile>
    <StatementTitle>Ignored title</StatementTitle>
    <StatementText>Since 1999 &lt;really&gt;</StatementText>
    <StatementFile></StatementFile>
    <UseStatementFile>false</UseStatementFile>
    <CVFile>C:\Me\cv.doc</CVFile>
    <UseCVFile>true</UseCVFile>
  </Details>
  <Pictures>
    <Picture>
      <ID>)" + id + R"(</ID>
      <Title>First light</Title>
      <Media>Ink</Media>
      <Dimensions>A4</Dimensions>
      <Description>not in version 1</Description>
      <PictureFile>C:\Art\first.jpg</PictureFile>
    </Picture>
  </Pictures>
</Portfolio>)";
    const std::string path = dir_ / "old.pfo";
    WriteArchive(path, "VelmoraAlbumDesignerPro, v1.2",
                 {{"_XML_DETAILS_", xml},
                  {id, bmp},
                  {"_STATEMENT_FILE_", ""},
                  {"_CV_FILE_", "old cv"},
                  {"_PICTURE_FILE_", "old face"}});

    auto p = std::make_unique<Portfolio>();
    p->SetWebsiteAddress("prefilled.example");
    p->SetStatementTitle("Prefilled");
    p->ClearModified();
    p->SetFileName(path);
    ASSERT_TRUE(p->Load());
    EXPECT_FALSE(p->IsModified());

    auto check = [&](Portfolio& q) {
        EXPECT_EQ(q.GetName(true), "Old & Gold");
        EXPECT_EQ(q.GetPhone(true), "123");
        EXPECT_EQ(q.GetEmail(true), "old@example.org");
        EXPECT_EQ(q.GetAddress(false), "Street 1&break;Town");
        EXPECT_EQ(q.GetWebsiteAddress(true), "");
        EXPECT_EQ(q.GetStatementTitle(true), "Statement");
        EXPECT_EQ(q.GetStatementText(true), "Since 1999 <really>");
        EXPECT_TRUE(q.GetUsePictureFile());
        EXPECT_FALSE(q.GetUseStatementFile());
        EXPECT_TRUE(q.GetUseCVFile());
        EXPECT_EQ(q.GetPictureFile(), "face.bmp");
        EXPECT_EQ(q.GetCVFile(), "cv.doc");
        EXPECT_EQ(Bytes(*q.GetCVData()), "old cv");
        EXPECT_EQ(Bytes(*q.GetPictureData()), "old face");
        EXPECT_EQ(q.GetTemplate(), Beta());
        ASSERT_EQ(q.GetPictureCount(), 1);
        Picture* picture = q.GetPicture(0);
        EXPECT_EQ(picture->GetID(), id);
        EXPECT_EQ(picture->GetTitle(true), "First light");
        EXPECT_EQ(picture->GetMedia(true), "Ink");
        EXPECT_EQ(picture->GetDimensions(true), "A4");
        EXPECT_EQ(picture->GetDescription(true), "");
        EXPECT_EQ(picture->GetFileName(), "C:\\Art\\first.jpg");
        EXPECT_EQ(picture->GetBitmap()->GetWidth(), 6);
        EXPECT_EQ(picture->GetBitmap()->GetHeight(), 5);
    };
    check(*p);

    // Saving writes version 2 over the old file, with the template item.
    ASSERT_TRUE(p->Save());
    std::string out;
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                         "print(z.comment.decode()); print(\",\".join(z.namelist()))' '" + path + "'", &out), 0)
        << out;
    EXPECT_EQ(out, "VelmoraAlbumDesignerPro, v2.0\n_XML_DETAILS_,_TEMPLATE_XML_," + id +
                       ",_STATEMENT_FILE_,_CV_FILE_,_PICTURE_FILE_\n");
    bool ok = false;
    auto reopened = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    check(*reopened);
}


// An archive written by Python's zipfile, which stores every name exactly
// as given and lets a name repeat. The items are not encrypted, which the
// reader accepts like any ZIP reader.
void WriteRawArchive(const std::string& path, const std::string& comment, const Items& items)
{
    TempDir parts;
    const std::string script = parts.Write("write.py", R"(import sys, warnings, zipfile
warnings.simplefilter("ignore")
z = zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED)
z.comment = sys.argv[2].encode()
for i in range(3, len(sys.argv), 2):
    z.writestr(sys.argv[i], open(sys.argv[i + 1], "rb").read())
z.close()
)");
    std::string command = "/usr/bin/python3 '" + script + "' '" + path + "' '" + comment + "'";
    int n = 0;
    for (const auto& [name, bytes] : items)
        command += " '" + name + "' '" + parts.Write("item" + std::to_string(n++), bytes) + "'";
    std::string out;
    ASSERT_EQ(RunCommand(command + " 2>&1", &out), 0) << out;
}

std::vector<std::string> ItemNames(const std::string& path)
{
    std::string out;
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c 'import sys, zipfile; print(\"\\n\".join(zipfile.ZipFile(sys.argv[1])"
                         ".namelist()))' '" + path + "'", &out), 0) << out;
    std::vector<std::string> names;
    for (size_t from = 0, at; (at = out.find('\n', from)) != std::string::npos; from = at + 1)
        names.push_back(out.substr(from, at - from));
    return names;
}

std::string OnePictureXml(const std::string& id)
{
    return R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName="Beta"><Details/>)"
           "<Pictures><Picture><ID>" + id + "</ID></Picture></Pictures></Portfolio>";
}

TEST_F(PortfolioFileTest, IdsThatAreNoPlainNamesAreRenewedAndNeverSavedAsItemNames)
{
    const char* ids[] = {"../../x", "/etc/passwd", "C:\\x", "sub/dir", "name with blanks", "*"};
    for (const char* id : ids) {
        SCOPED_TRACE(id);
        const std::string path = dir_ / "odd-id.pfo";
        Items items = PlainItems(OnePictureXml(id));
        items.insert(items.begin() + 1, {id, MakeBmp(4, 3, 7)});
        WriteRawArchive(path, "VelmoraAlbumDesignerPro, v2.0", items);
        bool ok = false;
        auto p = OpenPortfolio(path, &ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(p->GetPictureCount(), 1);
        const std::string renewed = p->GetPicture(0)->GetID();
        EXPECT_NE(renewed, id);
        EXPECT_TRUE(PortfolioArchive::IsPlainItemName(renewed)) << renewed;
        EXPECT_EQ(p->GetPicture(0)->GetBitmap()->GetWidth(), 4);

        const std::string saved = dir_ / "odd-id-saved.pfo";
        p->SetFileName(saved);
        ASSERT_TRUE(p->Save());
        EXPECT_EQ(ItemNames(saved), (std::vector<std::string>{"_XML_DETAILS_", "_TEMPLATE_XML_", renewed,
                                                              "_STATEMENT_FILE_", "_CV_FILE_", "_PICTURE_FILE_"}));
    }
    EXPECT_TRUE(PortfolioArchive::IsPlainItemName("00000001000A000B000C"));
}

TEST_F(PortfolioFileTest, ItemNamedTwiceIsReadFromItsFirstEntry)
{
    // The first entry of a repeated name is read, as many ZIP readers do;
    // the archiver's own name lookup would answer the last.
    const std::string id = "00000001000A000B000C";
    const auto xml = [&id](const std::string& artist) {
        return R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName="Beta"><Details><Name>)" +
               artist + "</Name></Details><Pictures><Picture><ID>" + id + "</ID></Picture></Pictures></Portfolio>";
    };
    const Items base = {{"_XML_DETAILS_", xml("First")},
                        {id, MakeBmp(2, 2, 1)},
                        {"_STATEMENT_FILE_", "first statement"},
                        {"_CV_FILE_", ""},
                        {"_PICTURE_FILE_", ""}};
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
        bool inFront;  // else after every other item
    };
    std::string lowerId = id;
    for (char& c : lowerId)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const Case cases[] = {
        {"description", "_XML_DETAILS_", xml("Second"), false},
        {"artwork", id, MakeBmp(3, 3, 2), false},
        {"attachment", "_STATEMENT_FILE_", "second statement", false},
        // Letter case counts only where no entry has the exact name.
        {"artwork in other letter case, first", lowerId, MakeBmp(3, 3, 2), true},
    };
    // The first artwork entry's bytes, as the picture records them.
    Picture firstArtwork(nullptr);
    TMemoryStream firstBmp;
    Fill(firstBmp, MakeBmp(2, 2, 1));
    ASSERT_TRUE(firstArtwork.LoadFromStream(firstBmp));
    const std::string path = dir_ / "twice.pfo";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Items items = base;
        items.insert(c.inFront ? items.begin() : items.end(), {c.name, c.bytes});
        WriteRawArchive(path, "VelmoraAlbumDesignerPro, v2.0", items);
        ASSERT_EQ(ItemNames(path).size(), items.size()) << "the fixture must hold both entries";
        bool ok = false;
        auto p = OpenPortfolio(path, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(p->GetName(true), "First");
        ASSERT_EQ(p->GetPictureCount(), 1);
        EXPECT_EQ(p->GetPicture(0)->GetHash(), firstArtwork.GetHash());
        EXPECT_EQ(p->GetPicture(0)->GetBitmap()->GetWidth(), 2);
        EXPECT_EQ(Bytes(*p->GetStatementData()), "first statement");
    }
}

// An 8-bit run-length bitmap of any size whose data ends at once: a few
// bytes that a decoder expands to width x height.
std::string MakeRleBmp(uint32_t w, uint32_t h)
{
    const std::string data("\0\1", 2);  // end of bitmap
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::string bmp = BmpHeaders(w, h, 8, 1 /* BI_RLE8 */, offset, uint32_t(data.size()), 256);
    bmp.append(256 * 4, '\0');
    return bmp + data;
}

struct ChildUsage {
    bool finished = false;
    std::string out;
    long maxResidentKb = 0;
    double cpuSeconds = 0;
};

// Runs the helper on the file in a process of its own and reads its peak
// memory and processor time when it ends; a child still running after the
// (generous) deadline is killed and reported unfinished.
ChildUsage OpenInChild(const std::string& path, bool generate, const std::string& outFile,
                       const std::vector<std::string>& more = {})
{
    ChildUsage usage;
    std::vector<std::string> args = {OPEN_PORTFOLIO_HELPER, path};
    if (generate)
        args.push_back("generate");
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return usage;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    int status = 0;
    struct rusage used{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &used);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &used);
            return usage;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    usage.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    usage.out = ReadFileBytes(outFile);
    usage.maxResidentKb = used.ru_maxrss;
    usage.cpuSeconds = double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                       double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    return usage;
}

// Crafted files of a few megabytes at most that once took gigabytes or
// minutes: each opens or is refused, and its pages are made, within 1 GiB.
TEST_F(PortfolioFileTest, CraftedFilesOpenOrAreRefusedWithinBoundedMemory)
{
    const std::string v2 = "VelmoraAlbumDesignerPro, v2.0";
    auto pictures = [](int count, const std::function<std::string(int)>& id) {
        std::string xml = R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName=""><Pictures>)";
        for (int i = 0; i < count; ++i)
            xml += id ? "<Picture><ID>" + id(i) + "</ID></Picture>" : "<Picture/>";
        return xml + "</Pictures></Portfolio>";
    };
    auto idOf = [](int i) {
        char id[32];
        std::snprintf(id, sizeof id, "%020d", i);
        return std::string(id);
    };
    struct Case {
        const char* what;
        std::function<Items()> items;
        bool generate;
        const char* expected;
        // The budget of the open follows the machine; this one is that of a
        // machine with 1.5 GiB.
        std::vector<std::string> helperArgs = {"--budget=" + std::to_string(PortfolioArchive::kMinLoadSize)};
    };
    const Case cases[] = {
        {"a bitmap whose header asks for 60000 x 60000",
         [&] {
             Items items = PlainItems(pictures(1, idOf));
             items.insert(items.begin() + 1, {idOf(0), MakeRleBmp(60000, 60000)});
             return items;
         },
         false, "refused\n"},
        {"bitmaps each within bounds, together far over them",
         [&] {
             Items items = PlainItems(pictures(12, idOf));
             for (int i = 0; i < 12; ++i)
                 items.insert(items.begin() + 1, {idOf(i), MakeRleBmp(10000, 9000)});
             return items;
         },
         false, "refused\n"},
        {"600,000 picture elements without items",
         [&] { return PlainItems(pictures(600000, nullptr)); }, false, "refused\n"},
        {"2,000 pictures of one small bitmap",
         [&] {
             Items items = PlainItems(pictures(2000, [](int) { return std::string("00000001000A000B000C"); }));
             items.insert(items.begin() + 1, {"00000001000A000B000C", MakeBmp(2, 2, 3)});
             return items;
         },
         true, "opened\ngenerated\n"},
        {"a name of placeholders and a long statement",
         [&] {
             std::string name;
             for (int i = 0; i < 20000; ++i)
                 name += "%STATEMENTTEXT%";
             return PlainItems(R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName=""><Details><Name>)" +
                               name + "</Name><StatementText>" + std::string(400000, 'x') +
                               "</StatementText></Details><Pictures/></Portfolio>");
         },
         true, "opened\ngenerated\n"},
    };
    TempRoot root;
    ASSERT_TRUE(PortfolioGenerator::ForceWorkingFolder());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_ / "crafted.pfo";
        WriteArchive(path, v2, c.items());
        EXPECT_LT(std::filesystem::file_size(path), 20u << 20);
        const ChildUsage usage = OpenInChild(path, c.generate, dir_ / "helper.out", c.helperArgs);
        ASSERT_TRUE(usage.finished);
        EXPECT_EQ(usage.out, c.expected);
        EXPECT_LT(usage.maxResidentKb, 1024L * 1024L);
        // Seconds where minutes were once spent; generous for a loaded machine.
        EXPECT_LT(usage.cpuSeconds, 30.0);
        std::printf("%s: %ld MiB, %.1f s\n", c.what, usage.maxResidentKb / 1024, usage.cpuSeconds);
    }
}

} // namespace

namespace {

// A 24-bit bitmap's headers for w x h; the pixels are left to the caller.
std::string BmpHeader(uint32_t w, uint32_t h, int bits = 24)
{
    const uint32_t palette = bits == 8 ? 256 * 4 : 0;
    const uint32_t offset = 14 + 40 + palette;
    const uint64_t stride = (uint64_t(w) * bits / 8 + 3) & ~uint64_t(3);
    std::string bmp = BmpHeaders(w, h, bits, 0, offset, uint32_t(stride * h), bits == 8 ? 256 : 0);
    bmp.append(palette, '\0');
    return bmp;
}

// A version 2 file whose artworks are bitmaps of the given headers, each
// followed by zeros up to the size its header gives: large items that
// deflate to almost nothing.
void WriteZeroArtworks(const std::string& path, const std::vector<std::string>& headers)
{
    std::string xml = R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName=""><Pictures>)";
    for (size_t i = 0; i < headers.size(); ++i)
        xml += "<Picture><ID>ART" + std::to_string(i) + "</ID></Picture>";
    xml += "</Pictures></Portfolio>";
    TZipArchiver archiver;
    archiver.FileName = UTF8ToWide(path);
    archiver.SetPassword(kPassword);
    archiver.SetCompressionLevel(clFastest);
    archiver.OpenArchive(0xFFFF);
    archiver.SetComment("VelmoraAlbumDesignerPro, v2.0");
    Items items = PlainItems(xml);
    for (const auto& [name, bytes] : items) {
        TMemoryStream stream;
        Fill(stream, bytes);
        archiver.AddFromStream(UTF8ToWide(name), stream);
        if (name != "_XML_DETAILS_")
            continue;
        for (size_t i = 0; i < headers.size(); ++i) {
            const std::string& header = headers[i];
            uint32_t size = 0;
            for (int b = 0; b < 4; ++b)
                size |= uint32_t(uint8_t(header[2 + b])) << (8 * b);
            TMemoryStream bitmap;
            bitmap.SetSize(size);
            std::memcpy(bitmap.Memory(), header.data(), header.size());
            archiver.AddFromStream(UTF8ToWide("ART" + std::to_string(i)), bitmap);
        }
    }
    archiver.CloseArchive();
}

// The old open took 1.7 GiB for 50 of these; the budget now follows the
// machine (set here, so that the test does not depend on it).
TEST_F(PortfolioFileTest, PortfolioOverTheOldFixedBudgetIsSavedAndOpenedAgain)
{
    struct Restore {
        ~Restore() { PortfolioArchive::SetMaxLoadSize(0); }
    } restore;
    const std::string path = dir_ / "large.pfo";
    constexpr int kArtworks = 23;
    {
        auto portfolio = std::make_unique<Portfolio>();
        portfolio->SetFileName(path);
        portfolio->SetTemplate(Beta());
        // 12 MP each, each told apart by its first pixels.
        std::string bmp = BmpHeader(4000, 3000);
        const size_t pixels = bmp.size();
        bmp.resize(pixels + size_t(4000) * 3 * 3000, '\0');
        for (int i = 0; i < kArtworks; ++i) {
            bmp[pixels] = char(i + 1);
            TMemoryStream stream;
            Fill(stream, bmp);
            auto picture = std::make_unique<Picture>(portfolio.get());
            ASSERT_TRUE(picture->LoadFromStream(stream));
            picture->SetTitle("Artwork " + std::to_string(i));
            portfolio->AddPicture(picture.release());
        }
        const int64_t need = PortfolioArchive::OpenNeed(*portfolio);
        ASSERT_GT(need, PortfolioArchive::kMinLoadSize);
        PortfolioArchive::SetMaxLoadSize(need);
        std::string failure;
        ASSERT_TRUE(portfolio->Save(&failure)) << failure;
    }
    bool ok = false;
    auto reopened = OpenPortfolio(path, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(reopened->GetPictureCount(), kArtworks);
    for (int i = 0; i < kArtworks; ++i) {
        SCOPED_TRACE(i);
        const TFreeWinBitmap* image = reopened->GetPicture(i)->GetBitmap();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetWidth(), 4000);
        EXPECT_EQ(reopened->GetPicture(i)->GetTitle(true), "Artwork " + std::to_string(i));
        RGBQUAD colour{};
        ASSERT_TRUE(image->GetPixelColor(0, 0, &colour));
        EXPECT_EQ(colour.rgbBlue, i + 1);
    }
    reopened.reset();
    // Under the old fixed budget the same file is refused, as it was.
    PortfolioArchive::SetMaxLoadSize(PortfolioArchive::kMinLoadSize);
    OpenPortfolio(path, &ok);
    EXPECT_FALSE(ok);
}

// Files that a reader must refuse: it does so from the archive's directory
// or from the first bytes of an artwork, never after inflating gigabytes.
TEST_F(PortfolioFileTest, OversizedFilesAreRefusedBeforeTheirArtworksAreInflated)
{
    struct Case {
        const char* what;
        std::vector<std::string> headers;
        std::vector<std::string> helperArgs;
    };
    const Case cases[] = {
        // 507 MB of zeros, read on the archiver's own thread.
        {"one bitmap whose header asks for 13000 x 13000", {BmpHeader(13000, 13000)}, {}},
        // Two items small enough to be decoded ahead on the workers.
        {"two bitmaps of 10001 x 10001, 8 bits", {BmpHeader(10001, 10001, 8), BmpHeader(10001, 10001, 8)}, {}},
        // Each fits, together they are over the budget of the open.
        {"six bitmaps of 60 MB under a budget of 256 MiB",
         std::vector<std::string>(6, BmpHeader(5000, 4000)),
         {"--budget=" + std::to_string(256 << 20)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_ / "oversized.pfo";
        WriteZeroArtworks(path, c.headers);
        EXPECT_LT(std::filesystem::file_size(path), 4u << 20);
        std::vector<std::string> args = c.helperArgs;
        args.push_back("--peak=" + (dir_ / "helper.peak"));
        const ChildUsage usage = OpenInChild(path, false, dir_ / "helper.out", args);
        ASSERT_TRUE(usage.finished);
        EXPECT_EQ(usage.out, "refused\n");
        const long peakKb = std::atol(ReadFileBytes(dir_ / "helper.peak").c_str());
        // The helper alone takes some tens of megabytes.
        EXPECT_GT(peakKb, 0);
        EXPECT_LT(peakKb, 128L * 1024L);
        std::printf("%s: %ld MiB, %.1f s\n", c.what, peakKb / 1024, usage.cpuSeconds);
    }
}

} // namespace

// Artworks large enough to be encoded ahead on the workers, of every depth a
// picture can have: each is stored as exactly the bitmap file the copying
// writer makes (its pixels read where the picture holds them), in a deflate
// stream that Python's zipfile and 7z read with the password.
TEST_F(PortfolioFileTest, LargeArtworksOfEveryDepthAreStoredAsTheirBitmapFiles)
{
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(Beta());
    const std::function<bool(TFreeBitmap&)> depths[] = {
        [](TFreeBitmap&) { return true; },
        [](TFreeBitmap& b) { return b.ConvertTo32Bits(); },
        [](TFreeBitmap& b) { return b.ConvertTo8Bits(); },
        [](TFreeBitmap& b) { return b.ConvertTo4Bits(); },
        [](TFreeBitmap& b) { return b.ConvertTo16Bits565(); },
        [](TFreeBitmap& b) { return b.Threshold(128); },
    };
    int seed = 0;
    for (const auto& depth : depths) {
        // Two of each, the odd width giving rows with padding.
        for (int w : {641, 640}) {
            auto picture = std::make_unique<Picture>(portfolio.get());
            TMemoryStream bmp;
            Fill(bmp, MakeBmp(w, 480, ++seed));
            ASSERT_TRUE(picture->LoadFromStream(bmp));
            ASSERT_TRUE(depth(*picture->GetBitmap()));
            portfolio->AddPicture(picture.release());
        }
    }
    std::string expected;
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        const std::string bitmap = StoredBitmap(portfolio->GetPicture(i));
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", ~CRC32(0xFFFFFFFF, bitmap.data(), int64_t(bitmap.size())));
        expected += portfolio->GetPicture(i)->GetID() + " " + std::to_string(bitmap.size()) + " " + crc + "\n";
    }
    const std::string path = dir_ / "depths.pfo";
    portfolio->SetFileName(path);
    SetDefaultArchiverWorkers(8);
    const bool saved = portfolio->Save();
    SetDefaultArchiverWorkers(0);
    ASSERT_TRUE(saved);

    const std::string script = dir_.Write("artworks.py", R"(import sys, zipfile, zlib
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    if not i.filename.startswith("_"):
        data = z.read(i.filename, pwd=sys.argv[2].encode())
        print(i.filename, len(data), "%08x" % zlib.crc32(data))
)");
    std::string out;
    ASSERT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + path + "' " + kPassword + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(RunCommand("7z t -p" + std::string(kPassword) + " '" + path + "' 2>&1", &out), 0) << out;
}

// Saving reads an artwork's bitmap where the picture holds it: a save of one
// large, plain artwork touches few fresh pages, where a copy of the bitmap
// (and a zero-filled buffer for its compressed form) touched one page for
// every page of pixels.
TEST_F(PortfolioFileTest, SavingALargeArtworkMakesNoCopyOfIt)
{
    const uint32_t w = 4000, h = 3000;
    const std::string bmp = BmpHeaders(w, h, 24, 0, 54, w * 3 * h, 0) + std::string(size_t(w) * 3 * h, '\x60');
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(Beta());
    auto picture = std::make_unique<Picture>(portfolio.get());
    TMemoryStream stream;
    Fill(stream, bmp);
    ASSERT_TRUE(picture->LoadFromStream(stream));
    stream.Clear();
    portfolio->AddPicture(picture.release());
    portfolio->SetFileName(dir_ / "large.pfo");
    // A first save warms up what any save needs once.
    ASSERT_TRUE(portfolio->Save());
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ASSERT_TRUE(portfolio->Save());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const long faults = after.ru_minflt - before.ru_minflt;
    const long bitmapPages = long(bmp.size() / 4096);
    EXPECT_LT(faults, bitmapPages / 8) << faults << " page faults for " << bitmapPages << " pages of bitmap";

    bool ok = false;
    auto opened = OpenPortfolio(dir_ / "large.pfo", &ok);
    ASSERT_TRUE(ok);
    // Compared whole but not printed: 36 MB.
    EXPECT_TRUE(StoredBitmap(opened->GetPicture(0)) == StoredBitmap(portfolio->GetPicture(0)));
}

// Artworks stored in any bitmap form open as their bytes decode on their
// own, with the hash of those bytes: the plain forms, built straight from
// the bytes as they are inflated, and the rest, decoded whole; large items
// on the workers, small ones on the reading thread.
TEST_F(PortfolioFileTest, ArtworksInEveryBitmapFormOpenAsTheirBytesDecode)
{
    const auto rows = [](int w, int h, int bits, int values) {
        const int stride = ((w * bits + 31) / 32) * 4;
        std::string pixels(size_t(stride) * size_t(h), '\0');
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = char((i * 2654435761u >> 13) % uint32_t(values));
        return pixels;
    };
    const auto palette = [](int colours) {
        std::string entries;
        for (int i = 0; i < colours; ++i)
            PutLE(entries, uint32_t(i * 0x030507) & 0xFFFFFF, 4);
        return entries;
    };
    const auto bmp = [&](int w, int h, int bits, int colours) {
        const std::string pixels = rows(w, h < 0 ? -h : h, bits, colours ? colours : 256);
        const uint32_t offset = 54 + uint32_t(colours) * 4;
        return BmpHeaders(uint32_t(w), uint32_t(h), bits, 0, offset, uint32_t(pixels.size()), uint32_t(colours)) +
               palette(colours) + pixels;
    };
    const struct {
        const char* what;
        std::string bytes;
    } forms[] = {
        {"24 bits", MakeBmp(301, 120, 4)},
        {"8 bits with a palette", bmp(300, 250, 8, 256)},
        {"24 bits, rows top-down", bmp(200, -120, 24, 0)},
        {"4 bits", bmp(500, 300, 4, 16)},
        {"24 bits, small", MakeBmp(5, 4, 9)},
    };
    std::string pictures;
    Items items = {{"_XML_DETAILS_", ""}};
    for (size_t i = 0; i < std::size(forms); ++i) {
        const std::string id = "0000000" + std::to_string(i) + "000A000B000C";
        pictures += "<Picture><ID>" + id + "</ID></Picture>";
        items.emplace_back(id, forms[i].bytes);
    }
    items[0].second = R"(<?xml version="1.0"?><Portfolio Version="2.0" Name="" TemplateName="Beta"><Pictures>)" +
                      pictures + "</Pictures></Portfolio>";
    for (const char* item : {"_STATEMENT_FILE_", "_CV_FILE_", "_PICTURE_FILE_"})
        items.emplace_back(item, "");
    const std::string path = dir_ / "forms.pfo";
    WriteArchive(path, "VelmoraAlbumDesignerPro, v2.0", items);

    for (const int workers : {1, 8}) {
        SetDefaultArchiverWorkers(workers);
        bool ok = false;
        auto opened = OpenPortfolio(path, &ok);
        ASSERT_TRUE(ok) << workers;
        ASSERT_EQ(opened->GetPictureCount(), int(std::size(forms)));
        for (size_t i = 0; i < std::size(forms); ++i) {
            SCOPED_TRACE(std::string(forms[i].what) + " with " + std::to_string(workers) + " workers");
            Picture alone(nullptr);
            TMemoryStream bytes;
            Fill(bytes, forms[i].bytes);
            ASSERT_TRUE(alone.LoadFromStream(bytes));
            Picture* picture = opened->GetPicture(int(i));
            ASSERT_TRUE(picture->GetBitmap());
            EXPECT_EQ(picture->GetHash(), alone.GetHash());
            EXPECT_EQ(picture->GetBitmap()->GetBitsPerPixel(), alone.GetBitmap()->GetBitsPerPixel());
            EXPECT_TRUE(StoredBitmap(picture) == StoredBitmap(&alone));
        }
    }
    SetDefaultArchiverWorkers(0);
}

// Photographs barely deflate: their artworks go in stored, which other ZIP
// readers open with the password as they open deflated ones, and the
// portfolio opens with every artwork as it was saved, whichever worker count
// saves or opens it. A smooth artwork of the same size is still deflated.
TEST_F(PortfolioFileTest, PhotographsAreStoredAndOpenAsTheyWereSaved)
{
    const uint32_t w = 900, h = 600;
    const auto noisy = [&](unsigned seed) {
        std::string pixels(size_t(w) * 3 * h, '\0');
        uint32_t x = 2463534242u + seed;
        for (char& c : pixels) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x >> 24);
        }
        return BmpHeaders(w, h, 24, 0, 54, uint32_t(pixels.size()), 0) + pixels;
    };
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(Beta());
    const std::string sources[] = {noisy(1), MakeBmp(int(w), int(h), 5), noisy(2), noisy(3)};
    const int methods[] = {0, 8, 0, 0};
    for (const std::string& source : sources) {
        auto picture = std::make_unique<Picture>(portfolio.get());
        TMemoryStream bmp;
        Fill(bmp, source);
        ASSERT_TRUE(picture->LoadFromStream(bmp));
        portfolio->AddPicture(picture.release());
    }
    std::string expected;
    std::vector<std::string> bitmaps;
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        bitmaps.push_back(StoredBitmap(portfolio->GetPicture(i)));
        expected += portfolio->GetPicture(i)->GetID() + " " + std::to_string(methods[i]) + " " +
                    std::to_string(bitmaps.back().size()) + "\n";
    }
    const std::string script = dir_.Write("methods.py", R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    if not i.filename.startswith("_"):
        assert i.flag_bits & 1, (i.filename, "not encrypted")
        data = z.read(i.filename, pwd=sys.argv[2].encode())
        print(i.filename, i.compress_type, len(data))
)");
    for (const int workers : {1, 8}) {
        SCOPED_TRACE("saved with " + std::to_string(workers));
        const std::string path = dir_ / ("photos" + std::to_string(workers) + ".pfo");
        portfolio->SetFileName(path);
        SetDefaultArchiverWorkers(workers);
        const bool saved = portfolio->Save();
        SetDefaultArchiverWorkers(0);
        ASSERT_TRUE(saved);

        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + path + "' " + kPassword + " 2>&1", &out), 0)
            << out;
        EXPECT_EQ(out, expected);
        EXPECT_EQ(RunCommand("7z t -p" + std::string(kPassword) + " '" + path + "' 2>&1", &out), 0) << out;
        ASSERT_EQ(RunCommand("unzip -P " + std::string(kPassword) + " -p '" + path + "' " +
                                 portfolio->GetPicture(2)->GetID(), &out), 0);
        EXPECT_TRUE(out == bitmaps[2]);

        for (const int openWorkers : {1, 8}) {
            SCOPED_TRACE("opened with " + std::to_string(openWorkers));
            SetDefaultArchiverWorkers(openWorkers);
            bool ok = false;
            auto opened = OpenPortfolio(path, &ok);
            SetDefaultArchiverWorkers(0);
            ASSERT_TRUE(ok);
            ASSERT_EQ(opened->GetPictureCount(), int(bitmaps.size()));
            for (int i = 0; i < opened->GetPictureCount(); ++i) {
                EXPECT_EQ(opened->GetPicture(i)->GetID(), portfolio->GetPicture(i)->GetID());
                const MD5 md5;
                const HashDigest digest = md5.Digest(reinterpret_cast<const uint8_t*>(bitmaps[size_t(i)].data()),
                                                     bitmaps[size_t(i)].size());
                EXPECT_EQ(opened->GetPicture(i)->GetHash(), md5.ToHex(digest.get())) << i;
                EXPECT_TRUE(StoredBitmap(opened->GetPicture(i)) == bitmaps[size_t(i)]) << i;
            }
        }
    }
}
