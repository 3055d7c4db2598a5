#pragma once
// Shared by the generator tests: a private temp folder for the generators'
// working folder, and a small portfolio that exercises the page rules.
#include "output/PortfolioGenerator.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <string>

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
