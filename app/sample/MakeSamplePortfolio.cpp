// Assembles the sample portfolio at build time, with the program's own
// portfolio writer, from the artworks and texts that
// scripts/make-sample-portfolio.py drew into data/sample/:
//
//   velmora-make-sample OUT.pfo data/sample/sample.json
//
// The settings, data and cache folders point into a private folder for the
// run, so that nothing of the builder's (saved contact details, settings)
// goes into the file and nothing is left behind.
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "model/Options.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "velmora-make-sample: %s\n", message.c_str());
    return 1;
}

std::string Text(const QJsonObject& object, const char* key)
{
    return object.value(key).toString().toStdString();
}

// A private home for the settings of this run; removed on exit.
class PrivateFolders {
public:
    PrivateFolders()
    {
        std::string pattern = (fs::temp_directory_path() / "velmora-sample-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
        for (const char* variable : {"VELMORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            fs::create_directories(path_ / variable);
            ::setenv(variable, (path_ / variable).c_str(), 1);
        }
    }
    ~PrivateFolders()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    bool Made() const { return !path_.empty(); }

private:
    fs::path path_;
};

int Make(const std::string& out, const std::string& description)
{
    QFile file(QString::fromStdString(description));
    if (!file.open(QIODevice::ReadOnly))
        return Fail("cannot read " + description);
    const QJsonObject sample = QJsonDocument::fromJson(file.readAll()).object();
    if (sample.isEmpty())
        return Fail(description + " holds no portfolio");
    const fs::path folder = fs::path(description).parent_path();

    Portfolio portfolio;
    Template* look = TemplateLibrary::Instance()->FindTemplate(Text(sample, "Template"));
    if (!look)
        return Fail("no shipped template \"" + Text(sample, "Template") + "\" beside the tool");
    portfolio.SetTemplate(look);
    portfolio.SetName(Text(sample, "Name"));
    portfolio.SetPhone(Text(sample, "Phone"));
    portfolio.SetEmail(Text(sample, "Email"));
    portfolio.SetWebsiteAddress(Text(sample, "WebsiteAddress"));
    portfolio.SetAddress(Text(sample, "Address"));
    portfolio.SetStatementTitle(Text(sample, "StatementTitle"));
    portfolio.SetStatementText(Text(sample, "StatementText"));

    for (const QJsonValue& entry : sample.value("Artworks").toArray()) {
        const QJsonObject artwork = entry.toObject();
        const std::string name = Text(artwork, "File");
        auto picture = std::make_unique<Picture>(&portfolio);
        if (!picture->LoadFromFile((folder / name).string()))
            return Fail("cannot read the artwork " + (folder / name).string());
        // The file is named as a user's would be, without this machine's folders.
        picture->SetFileName(name);
        picture->SetTitle(Text(artwork, "Title"));
        picture->SetMedia(Text(artwork, "Media"));
        picture->SetDimensions(Text(artwork, "Dimensions"));
        picture->SetDescription(Text(artwork, "Description"));
        portfolio.AddPicture(picture.release());
    }
    if (portfolio.GetPictureCount() == 0)
        return Fail(description + " names no artworks");

    fs::create_directories(fs::path(out).parent_path());
    portfolio.SetFileName(out);
    if (!portfolio.Save())
        return Fail("cannot write " + out);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return Fail("usage: velmora-make-sample OUT.pfo sample.json");
    const PrivateFolders home;
    if (!home.Made())
        return Fail("cannot make a private folder");
    QCoreApplication app(argc, argv);
    const int result = Make(argv[1], argv[2]);
    // The library would write the (empty) user template file on its way out.
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return result;
}
