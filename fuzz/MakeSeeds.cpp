// Writes the first seeds of the portfolio and template fuzz targets from
// what the program itself saves: a portfolio with every field, three
// artworks and three attachments, as a whole file, as its items in both
// versions, and as its description alone; and an exported user template.
//   fuzz_seeds <folder>   (writes <folder>/<target>/...)
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "fuzz/FuzzEnvironment.h"
#include "fuzz/PortfolioFileHarness.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/PortfolioArchive.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace {

void Put(std::string& out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

std::string Bmp(int w, int h, int seed)
{
    const int stride = (w * 3 + 3) & ~3;
    std::string pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w * 3; ++x)
            pixels += char((x * 37 + y * 11 + seed) & 0xFF);
        pixels.append(size_t(stride - w * 3), '\0');
    }
    std::string bmp = "BM";
    Put(bmp, uint32_t(54 + pixels.size()), 4);
    Put(bmp, 0, 4);
    Put(bmp, 54, 4);
    Put(bmp, 40, 4);
    Put(bmp, uint32_t(w), 4);
    Put(bmp, uint32_t(h), 4);
    Put(bmp, 1, 2);
    Put(bmp, 24, 2);
    Put(bmp, 0, 4);
    Put(bmp, uint32_t(pixels.size()), 4);
    Put(bmp, 2835, 4);
    Put(bmp, 2835, 4);
    Put(bmp, 0, 4);
    Put(bmp, 0, 4);
    return bmp + pixels;
}

void Fill(TMemoryStream& stream, const std::string& bytes)
{
    stream.Clear();
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
}

std::string Bytes(TMemoryStream& stream)
{
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

void Write(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    TMemoryStream stream;
    Fill(stream, bytes);
    stream.SaveToFile(path.string());
}

// The version 1 description of the same portfolio: the template attribute
// under its old name, and no web site, statement title or descriptions.
std::string AsVersion1(std::string xml)
{
    xml = std::regex_replace(xml, std::regex("TemplateName="), "Template=");
    xml = std::regex_replace(xml, std::regex("Version=\"2\\.0\""), "Version=\"1.0\"");
    for (const char* element : {"WebsiteAddress", "StatementTitle", "Description"}) {
        const std::string name(element);
        xml = std::regex_replace(xml, std::regex("\\s*<" + name + "(/>|>[^<]*</" + name + ">)"), "");
    }
    return xml;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const FuzzEnvironment& environment = FuzzEnvironment::Instance();

    const std::string path = environment.File("seed.pfo");
    {
        Portfolio portfolio;
        portfolio.SetFileName(path);
        portfolio.SetName("Ana & Bo <Studio>");
        portfolio.SetPhone("+1 555 0100");
        portfolio.SetEmail("ana@example.org");
        portfolio.SetAddress("1 Main St\r\nTown");
        portfolio.SetWebsiteAddress("www.example.org/?a=1&b=2");
        portfolio.SetStatementTitle("About \"me\"");
        portfolio.SetStatementText("Paint %ARTISTNAME% & <b>light</b>\r\nnext line");
        portfolio.SetUsePictureFile(true);
        portfolio.SetUseStatementFile(true);
        portfolio.SetUseCVFile(true);
        Fill(*portfolio.GetStatementData(), "statement text");
        portfolio.SetStatementFile("C:\\Users\\ana\\statement.txt");
        Fill(*portfolio.GetCVData(), std::string("%PDF-1.4 cv\0\x01", 13));
        portfolio.SetCVFile("cv.pdf");
        Fill(*portfolio.GetPictureData(), Bmp(3, 2, 7));
        portfolio.SetPictureFile("me.bmp");
        const int sizes[][2] = {{6, 4}, {1, 1}, {9, 2}};
        for (int i = 0; i < 3; ++i) {
            auto picture = std::make_unique<Picture>(&portfolio);
            TMemoryStream bmp;
            Fill(bmp, Bmp(sizes[i][0], sizes[i][1], i));
            if (!picture->LoadFromStream(bmp))
                return 1;
            picture->SetTitle("Dawn & dusk " + std::to_string(i));
            picture->SetMedia("Oil on linen");
            picture->SetDimensions("20 x 30 cm");
            picture->SetDescription(i == 1 ? "" : "Line one\r\nLine two");
            picture->SetFileName("/photos/" + std::to_string(i) + ".jpg");
            portfolio.AddPicture(picture.release());
        }
        if (!portfolio.Save())
            return 1;
    }

    TMemoryStream file;
    file.LoadFromFile(path);
    Write(out / "portfolio_file" / "saved-v2.pfo", std::string(1, char(kPortfolioFuzzRaw)) + Bytes(file));

    PortfolioFuzzItems items;
    {
        std::unique_ptr<TZipArchiver> archiver = PortfolioArchive::Open(path, 0);
        for (int i = 0; i < archiver->ItemCount(); ++i) {
            const std::string name = WideToUTF8(archiver->Item(i).FileName);
            TMemoryStream bytes;
            PortfolioArchive::Extract(*archiver, i, bytes);
            items.emplace_back(name, Bytes(bytes));
        }
        archiver->CloseArchive();
    }
    Write(out / "portfolio_file" / "items-v2", JoinPortfolioFuzzItems(0, items));
    PortfolioFuzzItems v1;
    for (const auto& [name, bytes] : items) {
        if (name == PortfolioArchive::kTemplateItem)
            continue;
        v1.emplace_back(name, name == PortfolioArchive::kDetailsItem ? AsVersion1(bytes) : bytes);
        if (name == PortfolioArchive::kDetailsItem) {
            Write(out / "portfolio_xml" / "details-v2.xml", std::string(1, '\0') + bytes);
            Write(out / "portfolio_xml" / "details-v1.xml", std::string(1, '\1') + AsVersion1(bytes));
        }
    }
    Write(out / "portfolio_file" / "items-v1", JoinPortfolioFuzzItems(kPortfolioFuzzV1, v1));

    // A user's template as the export writes it: a copy of a shipped one
    // with a picture of its own and extra CSS.
    TemplateLibrary* library = TemplateLibrary::Instance();
    Template* own = library->CopyTemplate("My template", library->GetDefaultTemplate());
    if (!own)
        return 1;
    const std::string picture = environment.File("back.bmp");
    Write(picture, Bmp(2, 2, 3));
    own->SetBackgroundImage(picture);
    own->SetBackgroundRepeat("Tile");
    if (Style* style = own->GetStyleCount() ? own->GetStyle(0) : nullptr)
        style->AppendCss = "border:1px solid red;";
    const std::string exported = environment.File("export.vtp");
    if (!library->Save(exported))
        return 1;
    TMemoryStream templates;
    templates.LoadFromFile(exported);
    Write(out / "template_file" / "exported.vtp", Bytes(templates));
    library->RemoveTemplate(own);
    return 0;
}
