#pragma once
// One template file imported as a user would (a file received or
// downloaded), shared by the fuzz target and the test that replays the
// inputs it once failed on. The input is the whole file.
//
// What imports must stay inside the page's style element wherever its CSS
// lands, must come back the same from the export the program writes, and
// must turn a portfolio into its folder of pages.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "model/Options.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "model/XmlHelpers.h"
#include "output/HTMLGenerator.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"

inline size_t TemplateFuzzCount(std::string_view text, std::string_view tag)
{
    size_t n = 0;
    for (size_t i = 0; i + tag.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < tag.size() && std::tolower(static_cast<unsigned char>(text[i + k])) == tag[k])
            ++k;
        n += k == tag.size();
    }
    return n;
}

// The styles add no element and open no comment: the page holds each of
// these as often as the skeleton does. Filling in the portfolio switches
// its optional blocks on by removing their comment markers, so a filled
// page is held to the elements only.
inline void TemplateFuzzCheckPage(const std::string& page, const std::string& skeleton, bool filled)
{
    for (std::string_view tag : {"<style", "</style", "<script", "<!--"})
        if ((!filled || tag != "<!--") && TemplateFuzzCount(page, tag) != TemplateFuzzCount(skeleton, tag))
            std::abort();
}

inline void TemplateFuzzCompare(const Template& a, const Template& b)
{
    if (a.GetName() != b.GetName() || a.GetLayout() != b.GetLayout() ||
        a.BuildCss("\\") != b.BuildCss("\\") || a.BuildCss("\\Data\\") != b.BuildCss("\\Data\\") ||
        a.GetStaticFileCount() != b.GetStaticFileCount())
        std::abort();
    for (int i = 0; i < a.GetStaticFileCount(); ++i) {
        const StaticFile* x = a.GetStaticFile(i);
        const StaticFile* y = b.GetStaticFile(i);
        if (x->GetName() != y->GetName() || x->GetType() != y->GetType() || x->GetSize() != y->GetSize() ||
            (x->GetSize() && std::string_view(reinterpret_cast<const char*>(x->GetData()), x->GetSize()) !=
                                 std::string_view(reinterpret_cast<const char*>(y->GetData()), y->GetSize())))
            std::abort();
    }
}

// folder: where the imported and exported files are written.
inline void RunTemplateFileHarness(const uint8_t* data, size_t size, const std::string& folder)
{
    const std::string imported = folder + "/imported.vtp";
    const std::string exported = folder + "/exported.vtp";
    {
        TMemoryStream file;
        file.WriteBuffer(data, int64_t(size));
        file.SaveToFile(imported);
    }
    // The library writes the user's file when it goes; what was there
    // before comes back afterwards, so one input never shapes the next.
    const std::string userFile = Options::Instance()->GetAppDataFolder() + "Templates/templates.vtp";
    std::error_code error;
    const bool hadUserFile = std::filesystem::exists(userFile, error);
    TMemoryStream userBytes;
    if (hadUserFile)
        userBytes.LoadFromFile(userFile);

    {
        TemplateLibrary library;
        const int before = library.GetCount();
        if (library.Import(imported)) {
            const std::string p1 = Options::Instance()->GetResourceText("P1");
            const std::string p2 = Options::Instance()->GetResourceText("P2");
            std::vector<const Template*> own;
            for (int i = 0; i < library.GetCount(); ++i) {
                const Template* item = library.GetTemplate(i);
                if (!item->IsBuiltin())
                    own.push_back(item);
                if (i < before)
                    continue;
                TemplateFuzzCheckPage(item->GetMainPageHtml("\\"), p1, false);
                TemplateFuzzCheckPage(item->GetArtworkPageHtml("\\Data\\"), p2, false);
            }

            // The export reads back as the same templates.
            if (!library.Save(exported))
                std::abort();
            TXMLDocument document;
            document.LoadFromFile(exported);
            const IXMLNode root = document.ChildNode("Templates");
            size_t n = 0;
            for (const IXMLNode& node : root.ChildNodes()) {
                if (node.NodeName() != "Template")
                    continue;
                Template again(GetChildValue(node, "Name"));
                if (n >= own.size() || !again.LoadFromXml(node))
                    std::abort();
                TemplateFuzzCompare(*own[n++], again);
            }
            if (n != own.size())
                std::abort();

            // The last imported template styles a portfolio's pages.
            if (library.GetCount() > before) {
                Portfolio portfolio;
                portfolio.SetTemplate(library.GetTemplate(library.GetCount() - 1));
                try {
                    HTMLGenerator generator(&portfolio);
                    if (generator.Generate()) {
                        TMemoryStream page;
                        page.LoadFromFile(generator.GetOutputFolder() + "portfolio.html");
                        TemplateFuzzCheckPage(std::string(reinterpret_cast<const char*>(page.Memory()),
                                                          size_t(page.GetSize())),
                                              p1, true);
                    }
                } catch (const Exception&) {
                }
            }
        }
    }

    if (hadUserFile)
        userBytes.SaveToFile(userFile);
    else
        std::filesystem::remove(userFile, error);
}
