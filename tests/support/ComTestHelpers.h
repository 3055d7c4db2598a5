#pragma once
// Helpers for tests of components: variants as automation callers pass
// them, and an outer object that aggregates another.
#include <string>

#include "platform/com/Unknown.h"

inline VARIANT Bstr(const std::string& s)
{
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringUtf8(s);
    return v;
}
inline VARIANT I2(int16_t n)
{
    VARIANT v;
    v.vt = VT_I2;
    v.iVal = n;
    return v;
}
inline VARIANT I4(LONG n)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}
inline VARIANT R8(double d)
{
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = d;
    return v;
}

// An object that answers IUnknown and an interface of its own, and passes
// every other request on to the inner object it aggregates. Its count starts
// at 1; the last Release releases the inner object, as an outer object's
// destructor does.
class OuterObject final : public IUnknown {
public:
    static constexpr IID IID_IOuterOnly = MakeGuid("{3F9A1C27-64D0-4B8E-9C15-0A7E2D6B4F38}");

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IOuterOnly) {
            *object = this;
            AddRef();
            return S_OK;
        }
        if (inner)
            return inner->QueryInterface(iid, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0 && inner) {
            IUnknown* doomed = inner;
            inner = nullptr;
            doomed->Release();
        }
        return left;
    }

    ULONG refs = 1;
    // The inner object's non-delegating unknown.
    IUnknown* inner = nullptr;
};
