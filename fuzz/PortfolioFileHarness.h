#pragma once
// One open of a received portfolio file, shared by the fuzz target and the
// test that replays the inputs it once failed on. A file that opens is
// turned into the folder of pages, as a user who opens it would next do.
//
// Input: a switch byte, then the file. Switch bit 1 set: the rest is the
// whole .pfo as it stands (the container, its encryption and its items as
// they arrive). Bit 1 clear: the rest lists the items, each as
// kPortfolioFuzzSeparator, its name, a line break and its bytes; the
// harness stores them as the program's writer does (fixed password,
// deflated), behind the version 1 (bit 0 set) or version 2 comment, so
// that mutations reach the description and the artworks rather than dying
// at the password check. Bytes before the first separator are ignored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/HTMLGenerator.h"
#include "output/PortfolioArchive.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/TZipArchiver.h"

inline constexpr std::string_view kPortfolioFuzzSeparator = "\n@@item ";
inline constexpr uint8_t kPortfolioFuzzV1 = 1;
inline constexpr uint8_t kPortfolioFuzzRaw = 2;

using PortfolioFuzzItems = std::vector<std::pair<std::string, std::string>>;

inline PortfolioFuzzItems SplitPortfolioFuzzItems(std::string_view text)
{
    PortfolioFuzzItems items;
    size_t at = text.find(kPortfolioFuzzSeparator);
    while (at != std::string_view::npos) {
        const size_t nameStart = at + kPortfolioFuzzSeparator.size();
        const size_t next = text.find(kPortfolioFuzzSeparator, nameStart);
        const std::string_view chunk = text.substr(nameStart, next == std::string_view::npos ? next : next - nameStart);
        const size_t eol = chunk.find('\n');
        if (eol == std::string_view::npos)
            items.emplace_back(std::string(chunk), std::string());
        else
            items.emplace_back(std::string(chunk.substr(0, eol)), std::string(chunk.substr(eol + 1)));
        at = next;
    }
    return items;
}

// The inverse, for making seeds from real files.
inline std::string JoinPortfolioFuzzItems(uint8_t switches, const PortfolioFuzzItems& items)
{
    std::string out(1, char(switches));
    for (const auto& [name, bytes] : items) {
        out += kPortfolioFuzzSeparator;
        out += name;
        out += '\n';
        out += bytes;
    }
    return out;
}

// The .pfo the harness opens for the input; empty when the items cannot be
// stored at all (a name the archiver refuses), which is no finding.
inline std::string PortfolioFuzzFile(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & kPortfolioFuzzRaw)
        return std::string(rest);
    TMemoryStream file;
    try {
        std::unique_ptr<TZipArchiver> archiver = PortfolioArchive::Create(file, "fuzz.pfo");
        archiver->SetComment(data[0] & kPortfolioFuzzV1 ? std::string(PortfolioArchive::kSignatureV1) + "0"
                                                         : PortfolioArchive::CommentV2());
        for (auto& [name, bytes] : SplitPortfolioFuzzItems(rest)) {
            TMemoryStream item;
            item.WriteBuffer(bytes.data(), int64_t(bytes.size()));
            PortfolioArchive::Add(*archiver, name, item);
        }
        archiver->CloseArchive();
    } catch (const std::exception&) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(file.Memory()), size_t(file.GetSize()));
}

// path: where the .pfo is written (and replaced on the next input).
inline void RunPortfolioFileHarness(const uint8_t* data, size_t size, const std::string& path)
{
    const std::string bytes = PortfolioFuzzFile(data, size);
    if (bytes.empty())
        return;
    {
        TMemoryStream file;
        file.WriteBuffer(bytes.data(), int64_t(bytes.size()));
        file.SaveToFile(path);
    }
    Portfolio portfolio;
    portfolio.SetFileName(path);
    if (!portfolio.Load())
        return;
    // A received file must not get to name the items or files its artworks
    // are written to.
    for (int i = 0; i < portfolio.GetPictureCount(); ++i)
        if (Picture* picture = portfolio.GetPicture(i); picture && !PortfolioArchive::IsPlainItemName(picture->GetID()))
            std::abort();
    try {
        HTMLGenerator generator(&portfolio);
        generator.Generate();
    } catch (const Exception&) {
        // no temp folder to be had: not the file's doing
    }
}
