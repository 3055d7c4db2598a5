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
    // The first text measured, the first icon looked up and the first
    // picture decoded load the font database, the icon theme and the image
    // plugins, which takes seconds; done here, it does not count against
    // the second each input gets.
    static const char warmUp[] = "\1<FONT FACE=\"Courier New\" SIZE=\"3\">a</FONT><B>b</B><IMG SRC=\"SSYS:/\">"
                                 "<IMG SRC=\"LSYS:/\"><IMG SRC=\"pic\"><IMG SRC=\"IDX:0\">";
    RunCaptionHarness(reinterpret_cast<const uint8_t*>(warmUp), sizeof warmUp - 1);
    static const uint8_t picture[] = {0, 'B', 'M'};
    RunCaptionHarness(picture, sizeof picture);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunCaptionHarness(data, size);
    return 0;
}
