#include "output/PortfolioLoader.h"

#include <exception>
#include <memory>
#include <string>

#include "model/Portfolio.h"
#include "output/PortfolioArchive.h"
#include "output/PortfolioLoaderV1.h"
#include "output/PortfolioLoaderV2.h"
#include "zip/TZipArchiver.h"

bool PortfolioLoader::Load(Portfolio* portfolio, std::string* failure)
{
    if (!portfolio)
        return false;
    try {
        std::unique_ptr<Loader> reader;
        {
            // The comment is not encrypted; the archive is closed again
            // before the chosen reader opens it for itself.
            std::unique_ptr<TZipArchiver> archiver = PortfolioArchive::Open(portfolio->GetFileName(false), 0);
            const std::string comment = archiver->GetComment();
            if (comment.find(PortfolioArchive::kSignatureV1) != std::string::npos)
                reader = std::make_unique<PortfolioLoaderV1>();
            else if (comment.find(PortfolioArchive::kSignatureV2) != std::string::npos)
                reader = std::make_unique<PortfolioLoaderV2>();
            archiver->CloseArchive();
        }
        return reader && reader->Load(portfolio, failure);
    } catch (const std::exception&) {
        return false;
    }
}

bool PortfolioLoader::Save(Portfolio* portfolio, std::string* failure)
{
    try {
        PortfolioLoaderV2 writer;
        return writer.Save(portfolio, failure);
    } catch (const std::exception& error) {
        if (failure)
            *failure = error.what();
        return false;
    }
}

namespace {

// The loader catches every failure of the file itself; what is left is
// the document's own bookkeeping after the operation.
bool Finish(Portfolio& portfolio, bool ok)
{
    if (ok)
        portfolio.ClearModified();
    Portfolio::RestoreWorkingFolder();
    return ok;
}

} // namespace

bool Portfolio::Save(std::string* failure)
{
    if (GetFileName(false).empty())
        return false;
    return Finish(*this, PortfolioLoader().Save(this, failure));
}

bool Portfolio::Load(std::string* failure)
{
    return Finish(*this, PortfolioLoader().Load(this, failure));
}
