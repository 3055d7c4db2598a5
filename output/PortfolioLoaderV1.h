#pragma once
// Version 1 of the portfolio file: read only; such a portfolio is saved
// again as version 2.
#include "output/Loader.h"

class TStream;

class PortfolioLoaderV1 : public Loader {
public:
    bool Load(Portfolio* portfolio, std::string* failure) override;
    static bool LoadFromXml(Portfolio* portfolio, TStream* stream);
};
