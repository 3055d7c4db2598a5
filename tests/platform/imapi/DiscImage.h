#pragma once
// Reading a written disc image back: its Joliet tree is extracted with
// xorriso, the way a reader that ignores other name extensions sees it.
#include <string>

#include "tests/support/TempDir.h"

// Extracts image into the new folder out; "" on success, else xorriso's
// output.
inline std::string ExtractDiscImage(const std::string& image, const std::string& out)
{
    std::string log;
    const int rc = RunCommand(
        "xorriso -read_fs norock -osirrox on -indev '" + image + "' -extract / '" + out + "' 2>&1", &log);
    // Extracted files are read-only, like the disc; the test's temp folder
    // must still be able to remove them.
    RunCommand("chmod -R u+w '" + out + "' 2>/dev/null");
    return rc == 0 ? std::string() : log;
}

// "" when both folders hold the same names and bytes, else diff's output.
inline std::string DiffFolders(const std::string& a, const std::string& b)
{
    std::string out;
    return RunCommand("diff -r '" + a + "' '" + b + "' 2>&1", &out) == 0 ? std::string() : out;
}
