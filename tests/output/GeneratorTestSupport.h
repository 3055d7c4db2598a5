#pragma once
// Shared by the generator tests: a private temp folder for the generators'
// working folder, and a small portfolio that exercises the page rules.
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "output/PortfolioGenerator.h"
#include "platform/rtl/Base64.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class Portfolio;

// Points the temp folder (and so the generators' working folder) at a
// private one for the object's lifetime.
class TempRoot {
public:
    TempRoot()
    {
        if (const char* old = std::getenv("TMPDIR")) {
            old_ = old;
            hadOld_ = true;
        }
        ::setenv("TMPDIR", dir_.Path().c_str(), 1);
    }
    ~TempRoot()
    {
        if (hadOld_)
            ::setenv("TMPDIR", old_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    std::filesystem::path Path() const { return dir_.Path(); }
    std::filesystem::path Working() const { return std::filesystem::path(PortfolioGenerator::GetWorkingFolder()); }

private:
    TempDir dir_;
    std::string old_;
    bool hadOld_ = false;
};

// A template file as another artist would send it: one ".background" style
// with the given free CSS and background file name, and the given files
// (name, bytes). Imported through the library as the user imports one;
// removed from the library again with the object.
class ReceivedTemplate {
public:
    ReceivedTemplate(const TempDir& folder, const std::string& name, const std::string& appendCss,
                     const std::string& backgroundImage,
                     const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::string xml = "<?xml version=\"1.0\"?><Templates><Template><Name>" + Escaped(name) +
                          "</Name><Builtin>false</Builtin><Layout>Default</Layout><Styles><Style>"
                          "<Name>.background</Name><BackgroundColor>0x00FFFFFF</BackgroundColor>";
        if (!backgroundImage.empty())
            xml += "<BackgroundImage>" + Escaped(backgroundImage) + "</BackgroundImage>";
        if (!appendCss.empty())
            xml += "<AppendCss>" + Escaped(appendCss) + "</AppendCss>";
        xml += "</Style></Styles><Files>";
        for (const auto& [file, bytes] : files)
            xml += "<StaticFile Name=\"" + Escaped(file) + "\" Encoding=\"base64\" Type=\"Background\">" +
                   Base64Encode(bytes) + "</StaticFile>";
        xml += "</Files></Template></Templates>";
        TemplateLibrary* library = TemplateLibrary::Instance();
        if (library->Import(folder.Write(name + ".vtp", xml)))
            template_ = library->FindTemplate(name);
    }
    ~ReceivedTemplate()
    {
        if (template_)
            TemplateLibrary::Instance()->RemoveTemplate(template_);
    }
    ReceivedTemplate(const ReceivedTemplate&) = delete;
    ReceivedTemplate& operator=(const ReceivedTemplate&) = delete;

    Template* Get() const { return template_; }

private:
    static std::string Escaped(const std::string& text)
    {
        std::string out;
        for (char c : text) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
            }
        }
        return out;
    }

    Template* template_ = nullptr;
};
