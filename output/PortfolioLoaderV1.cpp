#include "output/PortfolioLoaderV1.h"

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/PortfolioArchive.h"

using namespace PortfolioArchive;

namespace {

// Version 1 had no web site and no statement title: a read sets them to
// what a portfolio of that time showed, whatever the new portfolio held.
constexpr DetailsField kDetails[] = {
    {.kind = FieldKind::Text, .element = "Name", .setText = &Portfolio::SetName},
    {.kind = FieldKind::Text, .element = "Phone", .setText = &Portfolio::SetPhone},
    {.kind = FieldKind::Text, .element = "Email", .setText = &Portfolio::SetEmail},
    {.kind = FieldKind::Text, .element = "Address", .setText = &Portfolio::SetAddress},
    {.kind = FieldKind::Fixed, .setText = &Portfolio::SetWebsiteAddress, .fixedText = ""},
    {.kind = FieldKind::Path, .element = "PictureFile", .setText = &Portfolio::SetPictureFile},
    {.kind = FieldKind::Flag, .element = "UsePictureFile", .setFlag = &Portfolio::SetUsePictureFile},
    {.kind = FieldKind::Fixed, .setText = &Portfolio::SetStatementTitle, .fixedText = "Statement"},
    {.kind = FieldKind::Text, .element = "StatementText", .setText = &Portfolio::SetStatementText},
    {.kind = FieldKind::Path, .element = "StatementFile", .setText = &Portfolio::SetStatementFile},
    {.kind = FieldKind::Flag, .element = "UseStatementFile", .setFlag = &Portfolio::SetUseStatementFile},
    {.kind = FieldKind::Path, .element = "CVFile", .setText = &Portfolio::SetCVFile},
    {.kind = FieldKind::Flag, .element = "UseCVFile", .setFlag = &Portfolio::SetUseCVFile},
};

constexpr PictureField kPicture[] = {
    {.kind = PictureFieldKind::Plain, .element = "ID", .set = &Picture::SetID},
    {.kind = PictureFieldKind::Text, .element = "Title", .set = &Picture::SetTitle},
    {.kind = PictureFieldKind::Text, .element = "Media", .set = &Picture::SetMedia},
    {.kind = PictureFieldKind::Text, .element = "Dimensions", .set = &Picture::SetDimensions},
    {.kind = PictureFieldKind::Source, .element = "PictureFile", .set = &Picture::SetFileName},
};

constexpr Vocabulary kVocabulary{"Template", kDetails, kPicture};

} // namespace

bool PortfolioLoaderV1::Load(Portfolio* portfolio, std::string* failure)
{
    return LoadFile(portfolio, kVocabulary, failure);
}

bool PortfolioLoaderV1::LoadFromXml(Portfolio* portfolio, TStream* stream)
{
    return LoadXml(portfolio, stream, kVocabulary);
}
