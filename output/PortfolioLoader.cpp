#include "output/PortfolioLoader.h"

#include <exception>
#include <memory>
#include <string>

#include "model/Portfolio.h"
#include "output/PortfolioArchive.h"
#include "output/PortfolioLoaderV1.h"
#include "output/PortfolioLoaderV2.h"
#include "zip/TZipArchiver.h"

bool PortfolioLoader::Load(Portfolio* portfolio)
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
        return reader && reader->Load(portfolio);
    } catch (const std::exception&) {
        return false;
    }
}

bool PortfolioLoader::Save(Portfolio* portfolio)
{
    try {
        PortfolioLoaderV2 writer;
        return writer.Save(portfolio);
    } catch (const std::exception&) {
        return false;
    }
}

bool Portfolio::Save()
{
    if (GetFileName(false).empty())
        return false;
    bool result = false;
    try {
        PortfolioLoader loader;
        result = loader.Save(this);
        if (result)
            ClearModified();
    } catch (const std::exception&) {
        result = false;
    }
    RestoreWorkingFolder();
    return result;
}

bool Portfolio::Load()
{
    bool result = false;
    try {
        PortfolioLoader loader;
        result = loader.Load(this);
        if (result)
            ClearModified();
    } catch (const std::exception&) {
        result = false;
    }
    RestoreWorkingFolder();
    return result;
}
