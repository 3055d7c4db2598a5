#include "model/TemplateLibrary.h"

#include <filesystem>
#include <system_error>

#include "model/Options.h"
#include "model/XmlHelpers.h"
#include "platform/rtl/Exception.h"
#include "platform/xml/XMLDocument.h"

namespace {

TemplateLibrary* instance = nullptr;

} // namespace

TemplateLibrary* TemplateLibrary::Instance()
{
    if (!instance)
        instance = new TemplateLibrary();
    return instance;
}

void TemplateLibrary::FreeInstance()
{
    delete instance;
    instance = nullptr;
}

TemplateLibrary::TemplateLibrary()
{
    userFolder_ = Options::Instance()->GetAppDataFolder() + "Templates/";
    std::error_code ignored;
    std::filesystem::create_directory(userFolder_, ignored);
    Load();
}

TemplateLibrary::~TemplateLibrary()
{
    const std::string path = UserFile();
    bool mayWrite = true;
    if (userFileDamaged_) {
        // Keep what the user had; a file we could not read may still be
        // repaired by hand.
        std::error_code error;
        std::filesystem::rename(path, path + ".bad", error);
        mayWrite = !error || !std::filesystem::exists(path);
    }
    if (mayWrite)
        Save(path);
}

bool TemplateLibrary::Load()
{
    const bool shipped = LoadTemplates(Options::Instance()->GetInstallFolder() + "templates.vtp", true, true);
    // The user's own templates are read even without the shipped ones, so
    // the save at exit never writes a file that lacks them.
    const std::string user = UserFile();
    std::error_code error;
    const bool exists = std::filesystem::exists(user, error);
    shadowed_.clear();
    if (!LoadTemplates(user, false, false, &shadowed_) && exists)
        userFileDamaged_ = true;
    return shipped;
}

bool TemplateLibrary::LoadFile(const std::string& path, bool clear)
{
    return LoadTemplates(path, clear, false);
}

bool TemplateLibrary::Import(const std::string& path)
{
    return LoadTemplates(path, false, false);
}

bool TemplateLibrary::LoadTemplates(const std::string& path, bool clear, bool shipped,
                                    std::vector<std::unique_ptr<Template>>* shadowed)
{
    try {
        TXMLDocument document;
        document.LoadFromFile(path, Template::kMaxFileSize);
        IXMLNode root = document.ChildNode("Templates");
        if (root.IsNull()) {
            SetText("Could not find the root Templates node.");
            return false;
        }
        if (clear)
            templates_.clear();
        for (const IXMLNode& node : root.ChildNodes()) {
            if (node.NodeName() != "Template")
                continue;
            const std::string name = GetChildValue(node, "Name");
            const bool taken = FindTemplate(name) != nullptr; // first come, first kept
            if (taken && !shadowed)
                continue;
            auto item = std::make_unique<Template>(name);
            if (!item->LoadFromXml(node))
                continue;
            if (!shipped)
                item->SetBuiltin(false);
            (taken ? *shadowed : templates_).push_back(std::move(item));
        }
        return true;
    } catch (const std::exception&) {
        SetText("Failed to load the template file '" + path + "'");
        return false;
    }
}

bool TemplateLibrary::Save(const std::string& path)
{
    try {
        TXMLDocument document;
        document.SetNodeAutoIndent(true);
        IXMLNode root = document.AddChild("Templates");
        for (const auto& item : templates_)
            if (!item->IsBuiltin())
                item->SaveToXml(root);
        // Hidden copies belong in the user's own file only; an exported
        // file offers every template it holds.
        if (IsUserFile(path))
            for (const auto& item : shadowed_)
                item->SaveToXml(root);
        document.SaveToFile(path);
        return true;
    } catch (const EFCreateError& error) {
        SetText(std::string("Failed to save the templates. ") + error.what());
    } catch (const EWriteError& error) {
        SetText(std::string("Failed to save the templates. ") + error.what());
    } catch (const std::exception&) {
        SetText("Failed to save the template file '" + path + "'");
    }
    return false;
}

bool TemplateLibrary::IsUserFile(const std::string& path) const
{
    const std::string user = UserFile();
    if (path == user)
        return true;
    std::error_code error;
    return std::filesystem::equivalent(path, user, error);
}

Template* TemplateLibrary::GetTemplate(int index)
{
    if (index < 0 || index >= GetCount()) {
        SetText("Template not found.");
        return nullptr;
    }
    return templates_[index].get();
}

Template* TemplateLibrary::FindTemplate(const std::string& name)
{
    for (const auto& item : templates_)
        if (item->GetName() == name)
            return item.get();
    SetText("Template not found.");
    return nullptr;
}

Template* TemplateLibrary::GetDefaultTemplate() const
{
    return templates_.empty() ? nullptr : templates_.front().get();
}

Template* TemplateLibrary::AddTemplate(const std::string& name)
{
    return CopyTemplate(name, GetDefaultTemplate());
}

Template* TemplateLibrary::CopyTemplate(const std::string& name, const Template* source)
{
    if (templates_.empty())
        return nullptr;
    auto item = std::make_unique<Template>(name);
    if (source)
        item->CopyFrom(source);
    else
        item->AddDefaultStaticFiles(); // a template always carries the built-in files
    templates_.push_back(std::move(item));
    return templates_.back().get();
}

bool TemplateLibrary::RemoveTemplate(Template* item)
{
    if (!item || item->IsBuiltin())
        return false;
    for (auto it = templates_.begin(); it != templates_.end(); ++it) {
        if (it->get() == item) {
            templates_.erase(it);
            return true;
        }
    }
    return false;
}
