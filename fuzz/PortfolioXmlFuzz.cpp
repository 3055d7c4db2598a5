// libFuzzer entry: a portfolio description through both readers and back.
#include "fuzz/FuzzEnvironment.h"
#include "fuzz/PortfolioXmlHarness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunPortfolioXmlHarness(data, size);
    return 0;
}
