// Opens the portfolio file named by its first argument and, with a second
// argument "generate", turns it into the folder of pages. Prints "opened"
// or "refused", then "generated" or "not generated". The tests run it as a
// process of its own to see what a crafted file costs in memory and time.
#include <cstdio>
#include <cstring>
#include <exception>

#include "model/Portfolio.h"
#include "output/HTMLGenerator.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    Portfolio portfolio;
    portfolio.SetFileName(argv[1]);
    const bool opened = portfolio.Load();
    std::printf("%s\n", opened ? "opened" : "refused");
    if (opened && argc > 2 && std::strcmp(argv[2], "generate") == 0) {
        bool generated = false;
        try {
            HTMLGenerator generator(&portfolio);
            generated = generator.Generate();
        } catch (const std::exception&) {
        }
        std::printf("%s\n", generated ? "generated" : "not generated");
    }
    return 0;
}
