// libFuzzer entry: picture header readers and the caption markup functions.
#include <QGuiApplication>

#include "fuzz/CaptionHarness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);  // fonts for measuring
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunCaptionHarness(data, size);
    return 0;
}
