#pragma once
// The file names of one folder as they are handed out: each name asked for
// comes back as itself, or as name-2.ext, name-3.ext ... when a name that
// differs only in letter case is already there (CD file systems do not tell
// case apart). A name over 255 bytes is cut to that, keeping its extension
// and never splitting a UTF-8 sequence. Each request costs the same however
// many names the folder holds, so a folder of 100,000 files fills in linear
// time.
#include <string>
#include <unordered_map>
#include <unordered_set>

class UniqueNames {
public:
    // Marks name as taken as it is (a file that keeps its own name).
    void Add(const std::string& name);
    // The first free variant of name, now taken.
    std::string Take(const std::string& name);
    bool Contains(const std::string& name) const;

private:
    std::unordered_set<std::string> taken_;
    // The next number to try after a name, keyed by that name: the numbers
    // below it are all taken already.
    std::unordered_map<std::string, int> next_;
};
