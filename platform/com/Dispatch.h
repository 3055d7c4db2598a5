#pragma once
// The late-bound half of a dual interface, driven by its description in the
// module's type library: names to DISPIDs, and the arguments of an Invoke
// checked and converted to the declared types. A server's Invoke finds the
// method, takes its arguments from DispGetArgs, calls its own early-bound
// method and puts the [retval] into the result.
#include <vector>

#include "platform/com/TypeLib.h"

inline constexpr DISPID DISPID_UNKNOWN = -1;

enum : uint16_t {
    DISPATCH_METHOD = 0x1,
    DISPATCH_PROPERTYGET = 0x2,
    DISPATCH_PROPERTYPUT = 0x4,
    DISPATCH_PROPERTYPUTREF = 0x8,
};

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHResult(0x80020001u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHResult(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000Eu);

// A deep copy: strings are duplicated, interfaces get a reference.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// src (by reference too) converted to vt into dest, which is cleared first;
// dest may be src. Numbers convert between each other and from and to text
// without the user's locale; interfaces only to interfaces.
// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW when the value does not fit.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);

// Names are matched without regard to ASCII case; names[0] is the member,
// later names its parameters (their DISPIDs are their positions). Unknown
// names get DISPID_UNKNOWN and the result DISP_E_UNKNOWNNAME.
HRESULT DispGetIDsOfNames(const TypeInterfaceDesc& desc, OLECHAR** names, uint32_t count, DISPID* ids);

// The converted [in] arguments of one call, in declaration order; cleared
// when it goes.
class DispArgs {
public:
    DispArgs() = default;
    DispArgs(const DispArgs&) = delete;
    DispArgs& operator=(const DispArgs&) = delete;
    ~DispArgs();
    size_t Count() const { return args_.size(); }
    const VARIANT& operator[](size_t i) const { return args_[i]; }

private:
    friend HRESULT DispGetArgs(const TypeMethodDesc&, uint16_t, const DISPPARAMS*, DispArgs*, uint32_t*);
    std::vector<VARIANT> args_;
};

// Checks the call against the method: a method call, no named arguments,
// exactly the [in] parameters; each converted to its declared type (an
// interface parameter with a typeGuid is asked for that interface, and the
// VARIANT then holds that pointer). *argError receives the failing
// argument's position in rgvarg.
HRESULT DispGetArgs(const TypeMethodDesc& method, uint16_t flags, const DISPPARAMS* params, DispArgs* args,
    uint32_t* argError);
