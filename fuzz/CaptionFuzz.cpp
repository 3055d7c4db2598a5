// libFuzzer entry: picture header readers and the caption markup functions.
#include <QGuiApplication>

#include "fuzz/CaptionHarness.h"

// Font lookups keep caches in the system's font library for the life of the
// process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

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
