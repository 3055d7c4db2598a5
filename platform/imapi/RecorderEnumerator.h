#pragma once
// The recorder list handed out by the disc master: fixed when made.
#include <vector>

#include "platform/com/ComModule.h"
#include "platform/imapi/Imapi.h"

namespace imapi {

class RecorderEnumerator final : public IEnumDiscRecorders, public RefCounted<RecorderEnumerator> {
public:
    explicit RecorderEnumerator(std::vector<CComPtr<IDiscRecorder>> recorders) : recorders_(std::move(recorders)) {}

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IEnumDiscRecorders>(iid, object, {IID_IUnknown, IID_IEnumDiscRecorders});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    HRESULT Next(ULONG count, IDiscRecorder** recorders, ULONG* fetched) override
    {
        if (!recorders || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && next_ < recorders_.size()) {
            recorders[n] = recorders_[next_++].Get();
            recorders[n]->AddRef();
            ++n;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }

private:
    std::vector<CComPtr<IDiscRecorder>> recorders_;
    size_t next_ = 0;
};

} // namespace imapi
