// libFuzzer entry: the directory reader over arbitrary archive bytes.
#include "fuzz/ZipDirectoryHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunZipDirectoryHarness(data, size);
    return 0;
}
