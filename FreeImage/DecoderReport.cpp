#include "FreeImage/DecoderReport.h"

#include <FreeImage.h>

#include <cstring>
#include <mutex>

namespace {

// The library has one message handler for the whole process, called on the
// thread that decodes.
thread_local TDecoderReport* current = nullptr;

}  // namespace

TDecoderReport::TDecoderReport() : outer_(current)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        FreeImage_SetOutputMessage([](FREE_IMAGE_FORMAT, const char* message) { Receive(message); });
    });
    current = this;
}

TDecoderReport::~TDecoderReport()
{
    current = outer_;
}

void TDecoderReport::Receive(const char* message)
{
    if (!current || !message)
        return;
    // The JPEG decoder's "Premature end of JPEG file" (its data ran out and
    // it made up an end) and "premature end of data segment" (a scan broken
    // off by the next marker), the TIFF reader's "Image may be incomplete"
    // (a strip or tile could not be read): rows were never in the file.
    if (std::strstr(message, "remature end of") || std::strstr(message, "may be incomplete"))
        current->incomplete_ = true;
}
