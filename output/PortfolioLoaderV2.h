#pragma once
// Version 2 of the portfolio file: the only version the program writes.
#include <string>

#include "output/Loader.h"

class TStream;

class PortfolioLoaderV2 : public Loader {
public:
    bool Load(Portfolio* portfolio, std::string* failure) override;
    // Writes the file named by the portfolio's FileName. The archive is
    // built under a temporary name in the same folder and takes the file's
    // name only when it is whole, so a failed save leaves the old file as
    // it was. False without a template, or when any item cannot be stored;
    // *failure then says what failed (the artwork, the folder, the disk).
    bool Save(Portfolio* portfolio, std::string* failure = nullptr);

    // The "_XML_DETAILS_" document; true unless writing it failed.
    static bool SaveToXml(Portfolio* portfolio, TStream* stream);
    // The "_TEMPLATE_XML_" document; false, with nothing written, without a
    // template.
    static bool SaveTemplateToXml(Portfolio* portfolio, TStream* stream);
    static bool LoadFromXml(Portfolio* portfolio, TStream* stream);
};
