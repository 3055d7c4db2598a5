#pragma once
// Work that may hang or take all memory when the code under test is wrong:
// it runs in a forked copy of the test process, whose address space is
// capped and which is killed at a deadline, so the test reports the fault
// instead of hanging or starving the machine.
#include <cstdint>
#include <functional>
#include <string>

struct BoundedResult {
    bool finished = false;  // ended by itself before the deadline
    int value = -1;         // what the work returned
    int64_t grewKb = 0;     // peak resident memory above where it started
};

// Runs `work` with `extraBytes` of address space beyond what the process
// has mapped now, for at most `seconds`.
BoundedResult RunBounded(const std::function<int()>& work, int64_t extraBytes, int seconds);

// A folder, a FIFO and a link to /dev/zero in `folder`, as a user's file
// chooser or a received file could name them in place of a file.
struct SpecialFiles {
    std::string folder, fifo, zero;
};
SpecialFiles MakeSpecialFiles(const std::string& folder, const std::string& extension);

// Expects `load` to refuse each of MakeSpecialFiles' names at once: without
// waiting on the FIFO, without reading /dev/zero on and on, and without
// taking the folder for a file.
void ExpectSpecialFilesRefused(const std::string& folder, const std::string& extension,
                               const std::function<bool(const std::string& path)>& load);
