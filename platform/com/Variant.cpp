#include "platform/com/Unknown.h"

void VariantInit(VARIANT* v)
{
    if (v) {
        v->vt = VT_EMPTY;
        v->dblVal = 0;
    }
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_INVALIDARG;
    switch (v->vt) {
    case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (v->punkVal)
            v->punkVal->Release();
        break;
    default:
        break;
    }
    VariantInit(v);
    return S_OK;
}
