#include "model/Template.h"

#include <mutex>

#include "model/Options.h"
#include "model/XmlHelpers.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/FileName.h"

namespace {

// The two page skeletons, loaded once by the first template that finds them.
// Generator threads read them while the main thread may construct templates.
std::mutex skeletonLock;
std::string frontPage;   // "P1"
std::string artworkPage; // "P2"

void LoadSkeletons()
{
    std::lock_guard<std::mutex> hold(skeletonLock);
    if (frontPage.empty())
        frontPage = Options::Instance()->GetResourceText("P1");
    if (artworkPage.empty())
        artworkPage = Options::Instance()->GetResourceText("P2");
}

std::string Skeleton(const std::string& which)
{
    std::lock_guard<std::mutex> hold(skeletonLock);
    return which == "P1" ? frontPage : artworkPage;
}

struct BuiltinFile {
    const char* resource;
    const char* name;
    const char* type;
};

constexpr BuiltinFile builtinFiles[] = {
    {"AUTORUN_INF", "autorun.inf", "Autorun"},
    {"AUTORUN_ICO", "autorun.ico", "Icon"},
    {"WORD_PNG", "Word.png", "Icon"},
    {"FORWARD_ON_PNG", "ForwardOn.png", "Icon"},
    {"FORWARD_OFF_PNG", "ForwardOff.png", "Icon"},
    {"BACKWARD_ON_PNG", "BackwardOn.png", "Icon"},
    {"BACKWARD_OFF_PNG", "BackwardOff.png", "Icon"},
};

} // namespace

Template::Template(const std::string& name) : name_(name)
{
    LoadSkeletons();
}

Template::~Template() = default;

void Template::ClearStyles() { styles_.clear(); }
void Template::ClearStaticFiles() { files_.clear(); }

void Template::AddDefaultStaticFiles()
{
    for (const auto& file : builtinFiles) {
        auto added = std::make_unique<StaticFile>(true);
        added->LoadFromResource(file.resource, file.name, file.type);
        files_.push_back(std::move(added));
    }
}

bool Template::CopyFrom(const Template* source)
{
    if (!source)
        return false;
    if (source == this)
        return true;
    std::vector<std::unique_ptr<Style>> styles;
    for (const auto& style : source->styles_) {
        if (!style)
            continue;
        auto copy = std::make_unique<Style>(style->Name);
        copy->CopyFrom(style.get());
        styles.push_back(std::move(copy));
    }
    std::vector<std::unique_ptr<StaticFile>> files;
    for (const auto& file : source->files_) {
        if (!file || file->IsBuiltin())
            continue;
        auto copy = std::make_unique<StaticFile>(false);
        copy->CopyFrom(file.get());
        files.push_back(std::move(copy));
    }
    layout_ = source->layout_;
    styles_ = std::move(styles);
    files_.clear();
    AddDefaultStaticFiles();
    for (auto& file : files)
        files_.push_back(std::move(file));
    return true;
}

Style* Template::GetStyle(int index) const
{
    if (index < 0 || index >= GetStyleCount())
        return nullptr;
    return styles_[index].get();
}

Style* Template::FindStyle(const std::string& name) const
{
    for (const auto& style : styles_)
        if (style->Name == name)
            return style.get();
    return nullptr;
}

StaticFile* Template::GetStaticFile(int index) const
{
    if (index < 0 || index >= GetStaticFileCount())
        return nullptr;
    return files_[index].get();
}

StaticFile* Template::FindStaticFile(const std::string& name) const
{
    for (const auto& file : files_)
        if (file->GetName() == name)
            return file.get();
    return nullptr;
}

std::string Template::BuildCss(const std::string& prefix) const
{
    std::string css;
    for (const auto& style : styles_)
        css += style->ToCss(prefix);
    return css;
}

std::string Template::InsertStyles(const std::string& page, const std::string& prefix) const
{
    static const std::string marker = "%STYLES%";
    if (page.find(marker) == std::string::npos)
        return page;
    const std::string css = BuildCss(prefix);
    std::string out;
    out.reserve(page.size() + css.size());
    std::size_t from = 0;
    for (std::size_t at; (at = page.find(marker, from)) != std::string::npos; from = at + marker.size()) {
        out.append(page, from, at - from);
        out += css;
    }
    out.append(page, from, std::string::npos);
    return out;
}

std::string Template::GetMainPageHtml(const std::string& prefix) const
{
    return InsertStyles(Skeleton("P1"), prefix);
}

std::string Template::GetArtworkPageHtml(const std::string& prefix) const
{
    return InsertStyles(Skeleton("P2"), prefix);
}

std::uint32_t Template::GetBackgroundColor() const
{
    std::uint32_t color = 0xFFFFFF;
    if (const Style* style = FindStyle(".background"))
        if (style->GetBackgroundColor(&color))
            return color;
    return 0xFFFFFF;
}

void Template::SetBackgroundColor(std::uint32_t color)
{
    if (Style* style = FindStyle(".background"))
        style->SetBackgroundColor(color);
}

std::string Template::GetBackgroundRepeat() const
{
    const Style* style = FindStyle(".background");
    return style ? style->BackgroundRepeat : "None";
}

void Template::SetBackgroundRepeat(const std::string& repeat)
{
    if (Style* style = FindStyle(".background"))
        style->BackgroundRepeat = repeat;
}

std::string Template::GetBackgroundImage() const
{
    const Style* style = FindStyle(".background");
    if (!style || !FindStaticFile(style->BackgroundImage))
        return {};
    return style->BackgroundImage;
}

bool Template::SetBackgroundImage(const std::string& path)
{
    Style* style = FindStyle(".background");
    if (!style)
        return false;
    const std::string name = ExtractFileName(path);
    if (!name.empty()) {
        // Load first: a file that cannot be read must not cost the old image.
        auto loaded = std::make_unique<StaticFile>(false);
        if (!loaded->LoadFromFile(path, name, "Background", kMaxBackgroundSize))
            return false;
        // Reuse the old background's own file; a built-in file of the same
        // name is never touched (it would be dropped at the next save and
        // would overwrite the program's icon in the output).
        StaticFile* reuse = nullptr;
        if (!style->BackgroundImage.empty())
            for (const auto& file : files_)
                if (!file->IsBuiltin() && file->GetName() == style->BackgroundImage) {
                    reuse = file.get();
                    break;
                }
        if (reuse)
            reuse->CopyFrom(loaded.get());
        else
            files_.push_back(std::move(loaded));
    }
    style->BackgroundColor.clear();
    style->BackgroundImage = name;
    return true;
}

void Template::SaveToXml(IXMLNode parent) const
{
    IXMLNode element = parent.AddChild("Template");
    element.SetAttribute("Version", "2.0");
    element.AddChild("Name").SetText(name_);
    element.AddChild("Builtin").SetText(builtin_ ? "true" : "false");
    element.AddChild("Layout").SetText(layout_);
    IXMLNode styles = element.AddChild("Styles");
    IXMLNode files = element.AddChild("Files");
    for (const auto& style : styles_)
        style->SaveToXml(styles);
    for (const auto& file : files_)
        if (!file->IsBuiltin())
            file->SaveToXml(files.AddChild("StaticFile"));
}

bool Template::LoadFromXml(const IXMLNode& element)
{
    try {
        if (GetChildValue(element, "Name") != name_)
            return false;
        ClearStyles();
        ClearStaticFiles();
        builtin_ = GetChildBool(element, "Builtin", true);
        layout_ = GetChildValue(element, "Layout");
        if (IXMLNode styles = element.ChildNode("Styles")) {
            for (const IXMLNode& node : styles.ChildNodes()) {
                if (node.NodeName() != "Style")
                    continue;
                auto style = std::make_unique<Style>(GetChildValue(node, "Name"));
                if (style->LoadFromXml(node))
                    styles_.push_back(std::move(style));
            }
        }
        AddDefaultStaticFiles();
        if (IXMLNode files = element.ChildNode("Files")) {
            for (const IXMLNode& node : files.ChildNodes()) {
                if (node.NodeName() != "StaticFile")
                    continue;
                auto file = std::make_unique<StaticFile>(false);
                if (file->LoadFromXml(node))
                    files_.push_back(std::move(file));
            }
        }
        return true;
    } catch (const Exception&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}
