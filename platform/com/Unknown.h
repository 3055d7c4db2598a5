#pragma once
// The base interfaces of every component. Interfaces are classes of pure
// virtual methods without a virtual destructor, so a method's position in the
// vtable is its position in the declaration: callers in other modules, and
// callers that index the vtable, depend on that order.
#include <cstdint>

#include "platform/com/BStr.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

using DISPID = LONG;
using LCID = DWORD;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr GUID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr GUID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr GUID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IDispatch;

// The variant types used by automation calls here.
enum : VARTYPE {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
    VT_UI4 = 19,
    VT_INT = 22,
    // Flag: the variant points at a value of the type in the low bits.
    VT_BYREF = 0x4000,
};

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        int16_t iVal;
        LONG lVal;
        ULONG ulVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        // VT_BYREF forms.
        int16_t* piVal;
        LONG* plVal;
        ULONG* pulVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        struct VARIANT* pvarVal;
    };
    VARIANT() : dblVal(0) {}
};
void VariantInit(VARIANT* v);
// Frees a BSTR or releases an interface the variant holds, then empties it.
HRESULT VariantClear(VARIANT* v);

struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    uint32_t cArgs = 0;
    uint32_t cNamedArgs = 0;
};

struct EXCEPINFO {
    uint16_t wCode = 0;
    BSTR bstrSource = nullptr;
    BSTR bstrDescription = nullptr;
    HRESULT scode = 0;
};

struct ITypeInfo;

inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003u);

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* excepInfo, uint32_t* argError) = 0;

protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(int lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Holds one reference to an interface.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(T* p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    CComPtr(const CComPtr& o) : CComPtr(o.p_) {}
    CComPtr(CComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    CComPtr& operator=(CComPtr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~CComPtr() { Reset(); }
    void Reset()
    {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    // For out parameters: the pointer must be empty.
    T** operator&() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T* Detach()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};
