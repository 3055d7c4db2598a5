// libFuzzer entry: a received picture's whole way in (PictureHarness.h).
#include "fuzz/PictureHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunPictureHarness(data, size);
    return 0;
}
