#pragma once
// The way into portfolio files: saving always writes version 2, opening
// picks the reader from the archive comment.
#include <string>

class Portfolio;

class PortfolioLoader {
public:
    // Reads the file named by the portfolio's FileName into a freshly
    // constructed portfolio. False for a missing, foreign or damaged file,
    // and for one that needs more memory than the program may use, which
    // *failure then explains.
    bool Load(Portfolio* portfolio, std::string* failure = nullptr);
    // False with *failure set to what failed when it cannot be written.
    bool Save(Portfolio* portfolio, std::string* failure = nullptr);
};
