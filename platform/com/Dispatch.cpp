#include "platform/com/Dispatch.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The value a VT_BYREF variant points at, as a plain variant (no copy of
// strings or references: the caller copies what it keeps).
HRESULT Deref(const VARIANT& src, VARIANT& out)
{
    if (!(src.vt & VT_BYREF)) {
        out = src;
        return S_OK;
    }
    if (!src.plVal)
        return E_INVALIDARG;
    out = VARIANT();
    out.vt = static_cast<VARTYPE>(src.vt & ~VT_BYREF);
    switch (out.vt) {
    case VT_I2:
        out.iVal = *src.piVal;
        break;
    case VT_I4:
    case VT_INT:
        out.lVal = *src.plVal;
        break;
    case VT_UI4:
        out.ulVal = *src.pulVal;
        break;
    case VT_R8:
        out.dblVal = *src.pdblVal;
        break;
    case VT_BOOL:
        out.boolVal = *src.pboolVal;
        break;
    case VT_BSTR:
        out.bstrVal = *src.pbstrVal;
        break;
    case VT_UNKNOWN:
        out.punkVal = *src.ppunkVal;
        break;
    case VT_DISPATCH:
        out.pdispVal = *src.ppdispVal;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

bool IsNumber(VARTYPE vt)
{
    return vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_UI4 || vt == VT_R8 || vt == VT_BOOL;
}

// A number value as double; text is parsed without the user's locale.
HRESULT AsDouble(const VARIANT& v, double& out)
{
    switch (v.vt) {
    case VT_EMPTY:
        out = 0;
        return S_OK;
    case VT_I2:
        out = v.iVal;
        return S_OK;
    case VT_I4:
    case VT_INT:
        out = v.lVal;
        return S_OK;
    case VT_UI4:
        out = v.ulVal;
        return S_OK;
    case VT_R8:
        out = v.dblVal;
        return S_OK;
    case VT_BOOL:
        out = v.boolVal ? -1 : 0;
        return S_OK;
    case VT_BSTR: {
        std::string text = Utf8FromWide(static_cast<const char16_t*>(v.bstrVal));
        const size_t first = text.find_first_not_of(" \t");
        const size_t last = text.find_last_not_of(" \t");
        if (first == std::string::npos)
            return DISP_E_TYPEMISMATCH;
        text = text.substr(first, last - first + 1);
        const char* begin = text.c_str() + (text[0] == '+' ? 1 : 0);
        const char* end = text.c_str() + text.size();
        const auto [ptr, ec] = std::from_chars(begin, end, out);
        if (ec == std::errc::result_out_of_range)
            return DISP_E_OVERFLOW;
        if (ec != std::errc() || ptr != end)
            return DISP_E_TYPEMISMATCH;
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

std::string NumberText(const VARIANT& v)
{
    char buf[64];
    switch (v.vt) {
    case VT_I2:
        return std::to_string(v.iVal);
    case VT_I4:
    case VT_INT:
        return std::to_string(v.lVal);
    case VT_UI4:
        return std::to_string(v.ulVal);
    case VT_BOOL:
        return v.boolVal ? "True" : "False";
    default: {
        const auto r = std::to_chars(buf, buf + sizeof buf, v.dblVal);
        return std::string(buf, r.ptr);
    }
    }
}

bool AsciiEqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
        src->punkVal->AddRef();
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t, VARTYPE vt)
{
    if (!dest || !src)
        return E_INVALIDARG;
    VARIANT value;
    if (const HRESULT hr = Deref(*src, value); FAILED(hr))
        return hr;
    VARIANT result;
    result.vt = vt;
    switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI4: {
        double d = 0;
        if (const HRESULT hr = AsDouble(value, d); FAILED(hr))
            return hr;
        d = std::nearbyint(d);
        if (vt == VT_I2) {
            if (!(d >= double(std::numeric_limits<int16_t>::min()) && d <= double(std::numeric_limits<int16_t>::max())))
                return DISP_E_OVERFLOW;
            result.iVal = static_cast<int16_t>(d);
        } else if (vt == VT_UI4) {
            if (!(d >= 0 && d <= double(std::numeric_limits<uint32_t>::max())))
                return DISP_E_OVERFLOW;
            result.ulVal = static_cast<ULONG>(d);
        } else {
            if (!(d >= double(std::numeric_limits<int32_t>::min()) && d <= double(std::numeric_limits<int32_t>::max())))
                return DISP_E_OVERFLOW;
            result.lVal = static_cast<LONG>(d);
        }
        break;
    }
    case VT_R8:
        if (const HRESULT hr = AsDouble(value, result.dblVal); FAILED(hr))
            return hr;
        break;
    case VT_BOOL: {
        double d = 0;
        if (const HRESULT hr = AsDouble(value, d); FAILED(hr))
            return hr;
        result.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case VT_BSTR:
        if (value.vt == VT_BSTR)
            result.bstrVal = SysAllocStringLen(value.bstrVal, SysStringLen(value.bstrVal));
        else if (value.vt == VT_EMPTY)
            result.bstrVal = SysAllocStringLen(u"", 0);
        else if (IsNumber(value.vt))
            result.bstrVal = SysAllocStringUtf8(NumberText(value));
        else
            return DISP_E_TYPEMISMATCH;
        if (!result.bstrVal)
            return E_OUTOFMEMORY;
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (value.vt != VT_UNKNOWN && value.vt != VT_DISPATCH)
            return DISP_E_TYPEMISMATCH;
        result.punkVal = nullptr;
        if (value.punkVal) {
            if (vt == VT_DISPATCH && value.vt != VT_DISPATCH) {
                // Only an object that answers for IDispatch is one.
                void* p = nullptr;
                if (FAILED(value.punkVal->QueryInterface(IID_IDispatch, &p)) || !p)
                    return DISP_E_TYPEMISMATCH;
                result.pdispVal = static_cast<IDispatch*>(p);
            } else {
                value.punkVal->AddRef();
                result.punkVal = value.punkVal;
            }
        }
        break;
    case VT_EMPTY:
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

HRESULT DispGetIDsOfNames(const TypeInterfaceDesc& desc, OLECHAR** names, uint32_t count, DISPID* ids)
{
    if (!ids || (count > 0 && !names))
        return E_INVALIDARG;
    if (count == 0)
        return S_OK;
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const std::string member = Utf8FromWide(static_cast<const char16_t*>(names[0]));
    const TypeMethodDesc* method = nullptr;
    for (const TypeMethodDesc& m : desc.methods)
        if (AsciiEqualNoCase(m.name, member))
            method = &m;
    if (!method)
        return DISP_E_UNKNOWNNAME;
    ids[0] = method->id;
    HRESULT hr = S_OK;
    for (uint32_t i = 1; i < count; ++i) {
        const std::string name = Utf8FromWide(static_cast<const char16_t*>(names[i]));
        for (size_t p = 0; p < method->params.size(); ++p)
            if (!method->params[p].retval && AsciiEqualNoCase(method->params[p].name, name))
                ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

DispArgs::~DispArgs()
{
    for (VARIANT& v : args_)
        VariantClear(&v);
}

HRESULT DispGetArgs(const TypeMethodDesc& method, uint16_t flags, const DISPPARAMS* params, DispArgs* args,
    uint32_t* argError)
{
    if (!args)
        return E_INVALIDARG;
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    static const DISPPARAMS none{};
    if (!params)
        params = &none;
    if (params->cNamedArgs > 0)
        return DISP_E_NONAMEDARGS;
    std::vector<const TypeParamDesc*> inputs;
    for (const TypeParamDesc& p : method.params)
        if (!p.retval)
            inputs.push_back(&p);
    if (params->cArgs != inputs.size())
        return DISP_E_BADPARAMCOUNT;
    if (params->cArgs > 0 && !params->rgvarg)
        return E_INVALIDARG;
    DispArgs converted;
    converted.args_.resize(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        // Arguments arrive last first.
        const uint32_t position = params->cArgs - 1 - static_cast<uint32_t>(i);
        const TypeParamDesc& p = *inputs[i];
        VARIANT& out = converted.args_[i];
        HRESULT hr = VariantChangeType(&out, &params->rgvarg[position], 0, p.type);
        if (SUCCEEDED(hr) && (p.type == VT_UNKNOWN || p.type == VT_DISPATCH) && out.punkVal
            && !(p.typeGuid == GUID_NULL)) {
            void* wanted = nullptr;
            hr = out.punkVal->QueryInterface(p.typeGuid, &wanted);
            if (SUCCEEDED(hr) && !wanted)
                hr = E_NOINTERFACE;
            VariantClear(&out);
            out.vt = p.type;
            // Every interface starts with IUnknown's methods, so the pointer
            // can be released through punkVal.
            out.punkVal = SUCCEEDED(hr) ? static_cast<IUnknown*>(wanted) : nullptr;
            if (FAILED(hr))
                hr = DISP_E_TYPEMISMATCH;
        }
        if (FAILED(hr)) {
            if (argError)
                *argError = position;
            return hr;
        }
    }
    std::swap(args->args_, converted.args_);
    return S_OK;
}
