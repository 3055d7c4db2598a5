// libFuzzer entry: an imported template file, exported again and used.
#include "fuzz/FuzzEnvironment.h"
#include "fuzz/TemplateFileHarness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = FuzzEnvironment::Instance().File("");
    RunTemplateFileHarness(data, size, folder);
    return 0;
}
