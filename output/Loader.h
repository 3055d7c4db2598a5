#pragma once
class Portfolio;

// A reader of one version of the portfolio file. Readers hold no state; the
// dispatcher makes one per file it opens.
class Loader {
public:
    virtual ~Loader() = default;
    // Reads the file named by the portfolio's FileName into a freshly
    // constructed portfolio. False, never an exception, when it cannot.
    virtual bool Load(Portfolio* portfolio) = 0;
};
