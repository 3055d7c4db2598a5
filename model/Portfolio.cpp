#include "model/Portfolio.h"

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <string_view>

#include "model/Options.h"
#include "model/Picture.h"
#include "model/TemplateLibrary.h"
#include "model/XmlHelpers.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"

namespace {

constexpr const char* kDetailsFileName = "details.xml";

bool StartsWith(std::string_view text, size_t pos, std::string_view word)
{
    return text.compare(pos, word.size(), word) == 0;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Removes "http://" in any letter case, until none is left: removing one can
// join its neighbours into another.
std::string RemoveHttpScheme(std::string text)
{
    static constexpr std::string_view scheme = "http://";
    for (;;) {
        std::string lower(text.size(), '\0');
        std::transform(text.begin(), text.end(), lower.begin(), LowerAscii);
        const size_t pos = lower.find(scheme);
        if (pos == std::string::npos)
            return text;
        text.erase(pos, scheme.size());
    }
}

const char* BoolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

Portfolio::Portfolio()
    : pictureData_(std::make_unique<TMemoryStream>()),
      statementData_(std::make_unique<TMemoryStream>()),
      cvData_(std::make_unique<TMemoryStream>())
{
    template_ = TemplateLibrary::Instance()->GetDefaultTemplate();
    if (LoadSavedDetails()) {
        // The saved details hold only the paths; the bytes come from the
        // files when they are still there, so the attachments work at once.
        if (!cvFile_.empty())
            AttachCVFile(cvFile_);
        if (!pictureFile_.empty())
            AttachPictureFile(pictureFile_);
    }
    ClearModified();
}

Portfolio::~Portfolio()
{
    ClearPictures();
}

std::string Portfolio::Escape(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '"': result += "&quot;"; break;
        case '\n': result += "&break;"; break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                result += "&break;";
                ++i;
            } else {
                result += c;
            }
            break;
        default: result += c; break;
        }
    }
    return result;
}

std::string Portfolio::Unescape(const std::string& text)
{
    static constexpr struct {
        std::string_view entity;
        std::string_view plain;
    } entities[] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&break;", "\r\n"},
    };
    std::string result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& e : entities) {
                if (StartsWith(text, i, e.entity)) {
                    result += e.plain;
                    i += e.entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += text[i++];
    }
    return result;
}

int Portfolio::IndexOf(const Picture* picture) const
{
    if (!listed_.contains(picture))
        return -1;
    for (size_t i = 0; i < pictures_.size(); ++i)
        if (pictures_[i].get() == picture)
            return static_cast<int>(i);
    return -1;
}

int Portfolio::AddPicture(Picture* picture)
{
    if (picture && !listed_.contains(picture)) {
        listed_.insert(picture);
        pictures_.emplace_back(picture);
        SetModified();
    }
    return GetPictureCount();
}

void Portfolio::RemovePicture(Picture* picture)
{
    const int index = IndexOf(picture);
    if (index < 0)
        return;
    listed_.erase(picture);
    pictures_.erase(pictures_.begin() + index);
    SetModified();
}

bool Portfolio::MoveUp(Picture* picture)
{
    const int index = IndexOf(picture);
    if (index <= 0)
        return false;
    std::swap(pictures_[index], pictures_[index - 1]);
    SetModified();
    return true;
}

bool Portfolio::MoveDown(Picture* picture)
{
    const int index = IndexOf(picture);
    if (index < 0 || index + 1 >= GetPictureCount())
        return false;
    std::swap(pictures_[index], pictures_[index + 1]);
    SetModified();
    return true;
}

Picture* Portfolio::GetPicture(int index) const
{
    if (index < 0 || index >= GetPictureCount())
        return nullptr;
    return pictures_[index].get();
}

int Portfolio::GetPictureCount() const
{
    return static_cast<int>(pictures_.size());
}

void Portfolio::ClearPictures()
{
    listed_.clear();
    std::vector<std::unique_ptr<Picture>>().swap(pictures_);
    SetModified();
}

void Portfolio::SetEscaped(std::string& field, const std::string& value)
{
    std::string escaped = Escape(value);
    if (escaped != field) {
        field = std::move(escaped);
        SetModified();
    }
}

void Portfolio::SetPath(std::string& field, const std::string& value)
{
    if (value != field) {
        field = value;
        SetModified();
    }
}

void Portfolio::SetFlag(bool& field, bool value)
{
    if (value != field) {
        field = value;
        SetModified();
    }
}

std::string Portfolio::GetName(bool unescaped) const { return unescaped ? Unescape(name_) : name_; }
void Portfolio::SetName(const std::string& value) { SetEscaped(name_, value); }
std::string Portfolio::GetPhone(bool unescaped) const { return unescaped ? Unescape(phone_) : phone_; }
void Portfolio::SetPhone(const std::string& value) { SetEscaped(phone_, value); }
std::string Portfolio::GetEmail(bool unescaped) const { return unescaped ? Unescape(email_) : email_; }
void Portfolio::SetEmail(const std::string& value) { SetEscaped(email_, value); }
std::string Portfolio::GetAddress(bool unescaped) const { return unescaped ? Unescape(address_) : address_; }
void Portfolio::SetAddress(const std::string& value) { SetEscaped(address_, value); }

std::string Portfolio::GetWebsiteAddress(bool unescaped) const
{
    return unescaped ? Unescape(websiteAddress_) : websiteAddress_;
}

void Portfolio::SetWebsiteAddress(const std::string& value)
{
    SetEscaped(websiteAddress_, RemoveHttpScheme(value));
}

std::string Portfolio::GetStatementTitle(bool unescaped) const
{
    return unescaped ? Unescape(statementTitle_) : statementTitle_;
}

void Portfolio::SetStatementTitle(const std::string& value) { SetEscaped(statementTitle_, value); }

std::string Portfolio::GetStatementText(bool unescaped) const
{
    return unescaped ? Unescape(statementText_) : statementText_;
}

void Portfolio::SetStatementText(const std::string& value) { SetEscaped(statementText_, value); }

void Portfolio::SetPictureFile(const std::string& path) { SetPath(pictureFile_, path); }
void Portfolio::SetStatementFile(const std::string& path) { SetPath(statementFile_, path); }
void Portfolio::SetCVFile(const std::string& path) { SetPath(cvFile_, path); }
void Portfolio::SetUsePictureFile(bool use) { SetFlag(usePictureFile_, use); }
void Portfolio::SetUseStatementFile(bool use) { SetFlag(useStatementFile_, use); }
void Portfolio::SetUseCVFile(bool use) { SetFlag(useCVFile_, use); }

void Portfolio::SetTemplate(Template* value)
{
    if (value != template_) {
        template_ = value;
        SetModified();
    }
}

std::string Portfolio::GetFileName(bool nameOnly) const
{
    return nameOnly ? ExtractFileName(fileName_) : fileName_;
}

void Portfolio::SetFileName(const std::string& path)
{
    fileName_ = path;
}

bool Portfolio::AttachFile(const std::string& path, TMemoryStream& data,
                           void (Portfolio::*setPath)(const std::string&))
{
    // Read aside first: a file that fails half-way must not cost the bytes
    // already attached.
    TMemoryStream loaded;
    try {
        loaded.LoadFromFile(path, kMaxAttachedFileSize);
    } catch (const std::exception&) {
        return false;
    }
    data.Swap(loaded);
    (this->*setPath)(path);
    return true;
}

bool Portfolio::AttachStatementFile(const std::string& path)
{
    return AttachFile(path, *statementData_, &Portfolio::SetStatementFile);
}

bool Portfolio::AttachCVFile(const std::string& path)
{
    return AttachFile(path, *cvData_, &Portfolio::SetCVFile);
}

bool Portfolio::AttachPictureFile(const std::string& path)
{
    return AttachFile(path, *pictureData_, &Portfolio::SetPictureFile);
}

bool Portfolio::HasContactDetails() const
{
    return !phone_.empty() || !email_.empty() || !address_.empty() || !websiteAddress_.empty() ||
           usePictureFile_;
}

void Portfolio::RestoreWorkingFolder()
{
    const std::string folder = Options::Instance()->GetInstallFolder();
    // A missing install folder leaves the current directory where it is;
    // the paths the program builds are absolute, so nothing depends on it.
    if (!folder.empty()) {
        [[maybe_unused]] const int ignored = chdir(folder.c_str());
    }
}

std::string Portfolio::DetailsFilePath()
{
    const std::string folder = Options::Instance()->GetAppDataFolder();
    if (folder.empty())
        return {};
    return IncludeTrailingPathDelimiter(folder) + kDetailsFileName;
}

bool Portfolio::HasSavedDetails()
{
    const std::string path = DetailsFilePath();
    if (path.empty())
        return false;
    try {
        TXMLDocument document;
        document.LoadFromFile(path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool Portfolio::LoadSavedDetails()
{
    const std::string path = DetailsFilePath();
    if (path.empty())
        return false;
    TXMLDocument document;
    try {
        document.LoadFromFile(path);
    } catch (const std::exception&) {
        return false;
    }
    const IXMLNode details = document.ChildNode("Details");
    if (details.IsNull())
        return true;

    // The file holds the escaped form. Re-escaping what it unescapes to
    // keeps that form as it stands, and turns what a hand edit or the XML
    // reader's line-end rule left unescaped into the form the pages expect.
    const auto stored = [&](const char* child) { return Escape(Unescape(GetChildValue(details, child))); };
    name_ = stored("Name");
    phone_ = stored("Phone");
    email_ = stored("Email");
    address_ = stored("Address");
    websiteAddress_ = stored("WebsiteAddress");
    SetPictureFile(GetChildValue(details, "PictureFile"));
    SetUsePictureFile(GetChildBool(details, "UsePictureFile", false));
    SetCVFile(GetChildValue(details, "CVFile"));
    SetUseCVFile(GetChildBool(details, "UseCVFile", false));
    return true;
}

bool Portfolio::SaveDetails(std::string* error)
{
    const std::string path = DetailsFilePath();
    if (path.empty()) {
        if (error)
            *error = "No folder for the program's data could be found.";
        return false;
    }
    try {
        std::error_code ignored;
        std::filesystem::create_directories(ExtractFilePath(path), ignored);
        TXMLDocument document;
        document.SetNodeAutoIndent(true);
        IXMLNode details = document.AddChild("Details");
        details.SetAttribute("Version", "2.0");
        details.AddChild("Name").SetText(name_);
        details.AddChild("Phone").SetText(phone_);
        details.AddChild("Email").SetText(email_);
        details.AddChild("Address").SetText(address_);
        details.AddChild("WebsiteAddress").SetText(websiteAddress_);
        details.AddChild("PictureFile").SetText(pictureFile_);
        details.AddChild("UsePictureFile").SetText(BoolText(usePictureFile_));
        details.AddChild("CVFile").SetText(cvFile_);
        details.AddChild("UseCVFile").SetText(BoolText(useCVFile_));
        document.SaveToFile(path);
        return true;
    } catch (const std::exception& failure) {
        if (error)
            *error = failure.what();
        return false;
    }
}
