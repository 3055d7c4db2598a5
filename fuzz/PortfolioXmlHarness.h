#pragma once
// The description inside a portfolio file ("_XML_DETAILS_") through the
// reader of either version, shared by the fuzz target and the test that
// replays the inputs it once failed on. The switch byte's bit 0 picks the
// version 1 reader; the rest is the document.
//
// What reads must also survive the program's own save: the document the
// writer makes of it reads again, and writing that gives the same document,
// so no text, flag or artwork changes on a second save and open.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/Portfolio.h"
#include "output/PortfolioLoaderV1.h"
#include "output/PortfolioLoaderV2.h"
#include "platform/rtl/MemoryStream.h"

inline std::string PortfolioFuzzSaveXml(Portfolio& portfolio)
{
    TMemoryStream stream;
    if (!PortfolioLoaderV2::SaveToXml(&portfolio, &stream))
        std::abort();
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

inline void RunPortfolioXmlHarness(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    TMemoryStream input;
    input.WriteBuffer(data + 1, int64_t(size - 1));
    input.SetPosition(0);
    Portfolio first;
    const bool read = data[0] & 1 ? PortfolioLoaderV1::LoadFromXml(&first, &input)
                                  : PortfolioLoaderV2::LoadFromXml(&first, &input);
    if (!read)
        return;

    const std::string saved = PortfolioFuzzSaveXml(first);
    TMemoryStream again;
    again.WriteBuffer(saved.data(), int64_t(saved.size()));
    again.SetPosition(0);
    Portfolio second;
    if (!PortfolioLoaderV2::LoadFromXml(&second, &again))
        std::abort();
    if (second.GetPictureCount() != first.GetPictureCount() || PortfolioFuzzSaveXml(second) != saved)
        std::abort();
}
