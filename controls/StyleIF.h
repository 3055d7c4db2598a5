#pragma once
// The colour schemes a control can be told to take.
#include "platform/com/Unknown.h"

enum TControlStyle : int {
    tsOffice2003Blue, tsOffice2003Silver, tsOffice2003Olive, tsOffice2003Classic, tsOffice2007Luna,
    tsOffice2007Obsidian, tsWindowsXP, tsWhidbey, tsCustom, tsOffice2007Silver, tsWindowsVista, tsWindows7,
    tsTerminal
};

inline constexpr GUID IID_IControlStyle = MakeGuid("{11AC2DDC-C087-4298-AB6E-EA1B5017511B}");

// Implemented by a control that takes a scheme; the control's own lifetime
// is not governed by the reference count.
struct IControlStyle : IUnknown {
    virtual void SetComponentStyle(TControlStyle style) = 0;

protected:
    ~IControlStyle() = default;
};
