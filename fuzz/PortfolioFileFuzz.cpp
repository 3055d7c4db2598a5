// libFuzzer entry: a received portfolio file, opened and turned into pages.
#include "fuzz/FuzzEnvironment.h"
#include "fuzz/PortfolioFileHarness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = FuzzEnvironment::Instance().File("received.pfo");
    RunPortfolioFileHarness(data, size, path);
    return 0;
}
