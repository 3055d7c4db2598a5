#pragma once
// Base of the drawing wrappers: each keeps its native handle and the last
// status that was not Ok.
#include "controls/GPValues.h"
#include "platform/gdiplus/GdiPlusFlat.h"

class TGdiplusBase {
public:
    virtual ~TGdiplusBase() = default;
    TGdiplusBase(const TGdiplusBase&) = delete;
    TGdiplusBase& operator=(const TGdiplusBase&) = delete;

protected:
    // Starts the drawing layer on first use; it then runs for the rest of
    // the program.
    TGdiplusBase();
};

// The status rule: a failure is kept until it is read, success changes nothing.
inline Status KeepStatus(Status& lastResult, Status status)
{
    if (status != Ok)
        lastResult = status;
    return status;
}
