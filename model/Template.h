#pragma once
// The look of a generated portfolio: an ordered list of text styles that
// becomes every page's style sheet, and an ordered list of static files
// copied into every output folder. The page structure is shared by all
// templates: two page skeletons built into the program.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/StaticFile.h"
#include "model/Style.h"
#include "platform/xml/XMLNode.h"

class Template {
public:
    // A template file, with every background it carries as base64 text.
    static constexpr int64_t kMaxFileSize = int64_t{256} << 20;
    // A background image: its base64 form must still fit a template file.
    static constexpr int64_t kMaxBackgroundSize = kMaxFileSize / 2;

    explicit Template(const std::string& name);
    ~Template();
    Template(const Template&) = delete;
    Template& operator=(const Template&) = delete;

    void ClearStyles();
    void ClearStaticFiles();
    // Appends the seven files built into the program, each even when its
    // resource is missing (it is then empty).
    void AddDefaultStaticFiles();
    // Deep copy of layout, styles and own files; Name and Builtin stay.
    bool CopyFrom(const Template* source);

    const std::string& GetName() const { return name_; }
    bool IsBuiltin() const { return builtin_; }
    // Only the library decides that a template is shipped with the program.
    void SetBuiltin(bool builtin) { builtin_ = builtin; }
    const std::string& GetLayout() const { return layout_; }
    void SetLayout(const std::string& layout) { layout_ = layout; }

    int GetStyleCount() const { return static_cast<int>(styles_.size()); }
    Style* GetStyle(int index) const;
    Style* FindStyle(const std::string& name) const;
    int GetStaticFileCount() const { return static_cast<int>(files_.size()); }
    StaticFile* GetStaticFile(int index) const;
    StaticFile* FindStaticFile(const std::string& name) const;

    std::string BuildCss(const std::string& prefix) const;
    std::string InsertStyles(const std::string& page, const std::string& prefix) const;
    std::string GetMainPageHtml(const std::string& prefix) const;
    std::string GetArtworkPageHtml(const std::string& prefix) const;

    // The page background, kept in the style ".background".
    std::uint32_t GetBackgroundColor() const;
    void SetBackgroundColor(std::uint32_t color);
    std::string GetBackgroundRepeat() const;
    void SetBackgroundRepeat(const std::string& repeat);
    std::string GetBackgroundImage() const;
    bool SetBackgroundImage(const std::string& path);

    void SaveToXml(IXMLNode parent) const;
    // False, with nothing changed, for an element of another template's name.
    bool LoadFromXml(const IXMLNode& element);

private:
    std::string name_;
    bool builtin_ = false;
    std::string layout_ = "Default";
    std::vector<std::unique_ptr<Style>> styles_;
    std::vector<std::unique_ptr<StaticFile>> files_;
};
