#pragma once
#include <string>

class Portfolio;

// A reader of one version of the portfolio file. Readers hold no state; the
// dispatcher makes one per file it opens.
class Loader {
public:
    virtual ~Loader() = default;
    // Reads the file named by the portfolio's FileName into a freshly
    // constructed portfolio. False, never an exception, when it cannot;
    // *failure then says why when the cause is not the file itself (it
    // needs more memory than the program may use).
    virtual bool Load(Portfolio* portfolio, std::string* failure) = 0;
};
