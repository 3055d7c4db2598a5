#include "output/PortfolioLoaderV2.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FreeImage/FreeWinBitmap.h"
#include "model/FileElements.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "output/PortfolioArchive.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/WriteFailure.h"
#include "platform/xml/XMLDocument.h"
#include "zip/TZAWorkerPool.h"
#include "zip/TZipArchiver.h"

using namespace PortfolioArchive;

namespace {

constexpr DetailsField kDetails[] = {
    {.kind = FieldKind::Text, .element = "Name", .getText = &Portfolio::GetName, .setText = &Portfolio::SetName},
    {.kind = FieldKind::Text, .element = "Phone", .getText = &Portfolio::GetPhone, .setText = &Portfolio::SetPhone},
    {.kind = FieldKind::Text, .element = "Email", .getText = &Portfolio::GetEmail, .setText = &Portfolio::SetEmail},
    {.kind = FieldKind::Text, .element = "Address", .getText = &Portfolio::GetAddress,
     .setText = &Portfolio::SetAddress},
    {.kind = FieldKind::Text, .element = "WebsiteAddress", .getText = &Portfolio::GetWebsiteAddress,
     .setText = &Portfolio::SetWebsiteAddress},
    {.kind = FieldKind::Path, .element = "PictureFile", .getPath = &Portfolio::GetPictureFile,
     .setText = &Portfolio::SetPictureFile},
    {.kind = FieldKind::Flag, .element = "UsePictureFile", .getFlag = &Portfolio::GetUsePictureFile,
     .setFlag = &Portfolio::SetUsePictureFile},
    {.kind = FieldKind::Text, .element = "StatementTitle", .getText = &Portfolio::GetStatementTitle,
     .setText = &Portfolio::SetStatementTitle},
    {.kind = FieldKind::Text, .element = "StatementText", .getText = &Portfolio::GetStatementText,
     .setText = &Portfolio::SetStatementText},
    {.kind = FieldKind::Path, .element = "StatementFile", .getPath = &Portfolio::GetStatementFile,
     .setText = &Portfolio::SetStatementFile},
    {.kind = FieldKind::Flag, .element = "UseStatementFile", .getFlag = &Portfolio::GetUseStatementFile,
     .setFlag = &Portfolio::SetUseStatementFile},
    {.kind = FieldKind::Path, .element = "CVFile", .getPath = &Portfolio::GetCVFile, .setText = &Portfolio::SetCVFile},
    {.kind = FieldKind::Flag, .element = "UseCVFile", .getFlag = &Portfolio::GetUseCVFile,
     .setFlag = &Portfolio::SetUseCVFile},
};

constexpr PictureField kPicture[] = {
    {.kind = PictureFieldKind::Plain, .element = "ID", .getPlain = &Picture::GetID, .set = &Picture::SetID},
    {.kind = PictureFieldKind::Text, .element = "Title", .getText = &Picture::GetTitle, .set = &Picture::SetTitle},
    {.kind = PictureFieldKind::Text, .element = "Media", .getText = &Picture::GetMedia, .set = &Picture::SetMedia},
    {.kind = PictureFieldKind::Text, .element = "Dimensions", .getText = &Picture::GetDimensions,
     .set = &Picture::SetDimensions},
    {.kind = PictureFieldKind::Text, .element = "Description", .getText = &Picture::GetDescription,
     .set = &Picture::SetDescription},
    {.kind = PictureFieldKind::Source, .element = "PictureFile", .getPlain = &Picture::GetFileName,
     .set = &Picture::SetFileName},
};

constexpr Vocabulary kVocabulary{"TemplateName", kDetails, kPicture};

// The artwork as the user knows it: its title and its place in the strip.
std::string ArtworkName(const Picture* picture, int index)
{
    const std::string title = picture->GetTitle(true);
    const std::string number = "number " + std::to_string(index + 1);
    return title.empty() ? "The artwork " + number : "The artwork \"" + title + "\" (" + number + ")";
}

std::string ItemKey(const std::string& name)
{
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return key;
}

// Each artwork's bitmap is stored under its ID, and item names do not tell
// letter case apart. IDs come from a per-run counter and the time of day, so
// a picture added now can get the ID of one made in an earlier run, and a
// received file can name anything: an artwork whose ID an earlier artwork or
// one of the fixed items already holds gets a new one, or its bitmap would
// replace the other's. An ID that is no plain name is renewed as well.
void GiveArtworksTheirOwnItemNames(Portfolio* portfolio)
{
    std::set<std::string> taken;
    for (const char* name : {kDetailsItem, kTemplateItem, kStatementItem, kCVItem, kPictureItem})
        taken.insert(ItemKey(name));
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        Picture* picture = portfolio->GetPicture(i);
        if (!picture)
            continue;
        while (!IsPlainItemName(picture->GetID()) || !taken.insert(ItemKey(picture->GetID())).second)
            picture->NewID();
    }
}

// Copies of bitmaps waiting in memory for their commit; past this much the
// groups so far are committed, so a large portfolio does not hold a second
// copy of every picture at once, and the next groups reuse the memory. Most
// bitmaps are read from the pictures' own memory and cost nothing here, so
// the whole portfolio goes through one update and the workers never wait
// for one another at a commit's end.
constexpr int64_t kPendingBitmapBytes = int64_t{128} << 20;

// Writes every item into an archive in the stream; raises on any failure.
// The items go in through few updates, so the archiver compresses and
// encrypts many of them at once; the archive is the same as with one update
// per item.
// The description comes made: its size was checked before the file was made.
void WriteArchive(Portfolio* portfolio, TMemoryStream& xml, TSafeFileStream& stream, const std::string& path)
{
    // The archiver reads its sources when an update commits, also from its
    // destructor after a failure: they are made to outlive it. The pictures
    // stay unchanged meanwhile, as their bitmaps may be read where they lie.
    TMemoryStream templateXml;
    std::vector<std::unique_ptr<TStream>> bitmaps;
    std::unique_ptr<TZipArchiver> archiver = Create(stream, path);
    archiver->SetComment(CommentV2());
    archiver->BeginUpdate();
    Add(*archiver, kDetailsItem, xml);
    if (!PortfolioLoaderV2::SaveTemplateToXml(portfolio, &templateXml))
        throw EPortfolioFileError("The portfolio has no template");
    Add(*archiver, kTemplateItem, templateXml);
    // Artworks are turned into bitmap files a group at a time on the
    // workers, then added in their order.
    const int count = portfolio->GetPictureCount();
    const int group = std::max(1, DefaultArchiverWorkers());
    int64_t pending = 0;
    for (int first = 0; first < count; first += group) {
        const int size = std::min(group, count - first);
        std::vector<std::unique_ptr<TStream>> made(static_cast<size_t>(size));
        RunOnWorkers(static_cast<size_t>(size), [&](size_t i) {
            if (Picture* picture = portfolio->GetPicture(first + int(i)))
                made[i] = picture->BmpFile();
        });
        for (int i = 0; i < size; ++i) {
            // The description names every artwork; one without its bitmap
            // would make the whole file unreadable.
            if (!made[size_t(i)])
                throw EPortfolioFileError(ArtworkName(portfolio->GetPicture(first + i), first + i) +
                                          " could not be stored as a bitmap.");
            Add(*archiver, portfolio->GetPicture(first + i)->GetID(), *made[size_t(i)]);
            if (dynamic_cast<TMemoryStream*>(made[size_t(i)].get()))
                pending += made[size_t(i)]->GetSize();
            bitmaps.push_back(std::move(made[size_t(i)]));
        }
        if (pending >= kPendingBitmapBytes) {
            archiver->EndUpdate();
            bitmaps.clear();
            pending = 0;
            archiver->BeginUpdate();
        }
    }
    Add(*archiver, kStatementItem, *portfolio->GetStatementData());
    Add(*archiver, kCVItem, *portfolio->GetCVData());
    Add(*archiver, kPictureItem, *portfolio->GetPictureData());
    archiver->EndUpdate();
    archiver->CloseArchive();
}

std::string MiB(int64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / double(1 << 20));
    return text;
}

// Why opening would refuse the file this save would write, or "": what a
// save writes, the program must open again.
std::string BeyondOpenLimits(const Portfolio* portfolio, int64_t detailsSize)
{
    if (detailsSize > kMaxDetailsSize) {
        std::string text = "The texts of this portfolio (the artworks' titles and descriptions, the statement and "
                           "the contact details) take " +
                           MiB(detailsSize) + ", more than the " + MiB(kMaxDetailsSize) +
                           " a portfolio file may hold: the saved file could not be opened again.";
        // Descriptions are what grows that large: the longest is named.
        int longest = -1;
        size_t most = 0;
        for (int i = 0; i < portfolio->GetPictureCount(); ++i)
            if (const Picture* picture = portfolio->GetPicture(i); picture && picture->GetDescription(false).size() > most) {
                most = picture->GetDescription(false).size();
                longest = i;
            }
        if (longest >= 0)
            text += " The longest description (" + MiB(int64_t(most)) + ") is that of " +
                    ArtworkName(portfolio->GetPicture(longest), longest).replace(0, 3, "the") + ".";
        return text + " Shorten the longest texts, then save again.";
    }
    const struct {
        TMemoryStream* data;
        std::string name;
    } attachments[] = {{portfolio->GetStatementData(), "The statement file \"" + ExtractFileName(portfolio->GetStatementFile()) + "\""},
                       {portfolio->GetCVData(), "The CV file \"" + ExtractFileName(portfolio->GetCVFile()) + "\""},
                       {portfolio->GetPictureData(), "The picture file \"" + ExtractFileName(portfolio->GetPictureFile()) + "\""}};
    for (const auto& a : attachments)
        if (a.data && a.data->GetSize() > kMaxItemSize)
            return a.name + " takes " + MiB(a.data->GetSize()) + ", more than the " + MiB(kMaxItemSize) +
                   " a portfolio file may hold for one file: the saved file could not be opened again. Choose a "
                   "smaller file, then save again.";
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        const Picture* picture = portfolio->GetPicture(i);
        const TFreeWinBitmap* bitmap = picture ? picture->GetBitmap() : nullptr;
        if (!bitmap)
            continue;
        const int64_t stored = int64_t(bitmap->GetScanWidth()) * bitmap->GetHeight() + kPictureOverhead;
        if (stored > kMaxItemSize)
            return ArtworkName(picture, i) + " takes " + MiB(stored) + " as stored, more than the " +
                   MiB(kMaxItemSize) + " a portfolio file may hold for one picture: the saved file could not be "
                   "opened again. Give it a smaller picture, then save again.";
    }
    return {};
}

} // namespace

bool PortfolioLoaderV2::Load(Portfolio* portfolio, std::string* failure)
{
    return LoadFile(portfolio, kVocabulary, failure);
}

bool PortfolioLoaderV2::LoadFromXml(Portfolio* portfolio, TStream* stream)
{
    return LoadXml(portfolio, stream, kVocabulary);
}

bool PortfolioLoaderV2::Save(Portfolio* portfolio, std::string* failure)
{
    const auto fail = [failure](const std::string& why) {
        if (failure)
            *failure = why;
        return false;
    };
    if (!portfolio)
        return false;
    const std::string target = portfolio->GetFileName(false);
    if (target.empty())
        return fail("The portfolio has no file name.");
    if (!portfolio->GetTemplate())
        return fail("The portfolio has no template.");
    // Checked before anything is written: the old file stays as it was.
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        const Picture* picture = portfolio->GetPicture(i);
        if (picture && !picture->GetBitmap())
            return fail(ArtworkName(picture, i) +
                        " has no picture. Give it a picture or remove it, then save again.");
    }
    GiveArtworksTheirOwnItemNames(portfolio);
    TMemoryStream xml;
    if (!SaveToXml(portfolio, &xml))
        return fail("The portfolio description cannot be written.");
    if (const std::string why = BeyondOpenLimits(portfolio, xml.GetSize()); !why.empty())
        return fail(why);
    std::unique_ptr<TSafeFileStream> file;
    try {
        file = std::make_unique<TSafeFileStream>(target);
    } catch (const ESafeCreateError& error) {
        return fail(error.Code() ? WriteFailureText(target, error.Code()) : error.Message());
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    try {
        WriteArchive(portfolio, xml, *file, target);
        if (file->Commit())
            return true;
    } catch (const std::exception& error) {
        // A write that the system refused is told by its cause; the
        // archiver only knows that its stream took less than it gave.
        if (file->ErrorCode() == 0 && file->ErrorText().empty())
            return fail(error.what());
    }
    return fail(WriteFailureText(target, file->ErrorCode()));
}

bool PortfolioLoaderV2::SaveToXml(Portfolio* portfolio, TStream* stream)
{
    if (!portfolio || !stream)
        return false;
    try {
        TXMLDocument document;
        document.SetNodeAutoIndent(true);
        IXMLNode root = document.AddChild("Portfolio");
        char version[16];
        std::snprintf(version, sizeof version, "%d.%d", 2, 0);
        root.SetAttribute("Version", version);
        root.SetAttribute("Name", "");
        if (const Template* chosen = portfolio->GetTemplate())
            root.SetAttribute("TemplateName", chosen->GetName());

        IXMLNode details = root.AddChild("Details");
        for (const DetailsField& field : kDetails) {
            switch (field.kind) {
            case FieldKind::Text:
                details.AddChild(field.element).SetText((portfolio->*field.getText)(true));
                break;
            case FieldKind::Path:
                if (AddFileElement(details, field.element, (portfolio->*field.getPath)()).IsNull())
                    throw EPortfolioFileError(std::string("Cannot write ") + field.element);
                break;
            case FieldKind::Flag:
                details.AddChild(field.element).SetText((portfolio->*field.getFlag)() ? "true" : "false");
                break;
            case FieldKind::Fixed:
                break;
            }
        }

        IXMLNode pictures = root.AddChild("Pictures");
        for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
            const Picture* picture = portfolio->GetPicture(i);
            if (!picture)
                continue;
            IXMLNode element = pictures.AddChild("Picture");
            for (const PictureField& field : kPicture) {
                switch (field.kind) {
                case PictureFieldKind::Text:
                    element.AddChild(field.element).SetText((picture->*field.getText)(true));
                    break;
                case PictureFieldKind::Plain:
                    element.AddChild(field.element).SetText((picture->*field.getPlain)());
                    break;
                case PictureFieldKind::Source:
                    if (AddPictureFileElement(element, field.element, picture).IsNull())
                        throw EPortfolioFileError(std::string("Cannot write ") + field.element);
                    break;
                }
            }
        }
        document.SaveToStream(*stream);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool PortfolioLoaderV2::SaveTemplateToXml(Portfolio* portfolio, TStream* stream)
{
    if (!portfolio || !stream || !portfolio->GetTemplate())
        return false;
    try {
        TXMLDocument document;
        document.SetNodeAutoIndent(true);
        IXMLNode root = document.AddChild("Templates");
        portfolio->GetTemplate()->SaveToXml(root);
        document.SaveToStream(*stream);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
