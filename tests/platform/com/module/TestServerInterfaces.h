#pragma once
#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_TestCounter = MakeGuid("{5C1B0E2A-8D34-4F6B-9A71-2E0C4D6B8F10}");
// The same class served by a second module, to tell modules apart.
inline constexpr CLSID CLSID_TestCounter2 = MakeGuid("{5C1B0E2A-8D34-4F6B-9A71-2E0C4D6B8F11}");
inline constexpr IID IID_ICounter = MakeGuid("{A4E7D3C2-1B09-4E58-8F6A-3C2D1E0B9A87}");

struct ICounter : IUnknown {
    virtual HRESULT Increment(int32_t* value) = 0;
    // Live objects and locks of the module, as its own lock count sees them.
    virtual HRESULT ModuleLocks(int32_t* count) = 0;

protected:
    ~ICounter() = default;
};
