// Opens the portfolio file named by its first argument and, with a further
// argument "generate", turns it into the folder of pages; "--budget=BYTES"
// sets what the open may hold, "--peak=PATH" writes its own peak resident
// memory in KiB to PATH at the end (the rusage of a child started by
// posix_spawn also counts what its parent held). Prints "opened" or
// "refused", then "generated" or "not generated". The tests run it as a
// process of its own to see what a crafted file costs in memory and time.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "model/Portfolio.h"
#include "output/HTMLGenerator.h"
#include "output/PortfolioArchive.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    bool generate = false;
    const char* peakFile = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "generate") == 0)
            generate = true;
        else if (std::strncmp(argv[i], "--budget=", 9) == 0)
            PortfolioArchive::SetMaxLoadSize(std::strtoll(argv[i] + 9, nullptr, 10));
        else if (std::strncmp(argv[i], "--peak=", 7) == 0)
            peakFile = argv[i] + 7;
    }
    Portfolio portfolio;
    portfolio.SetFileName(argv[1]);
    const bool opened = portfolio.Load();
    std::printf("%s\n", opened ? "opened" : "refused");
    if (opened && generate) {
        bool generated = false;
        try {
            HTMLGenerator generator(&portfolio);
            generated = generator.Generate();
        } catch (const std::exception&) {
        }
        std::printf("%s\n", generated ? "generated" : "not generated");
    }
    if (peakFile) {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                std::ofstream(peakFile) << std::strtol(line.c_str() + 6, nullptr, 10) << "\n";
    }
    return 0;
}
