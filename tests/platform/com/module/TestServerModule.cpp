#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"
#include "tests/platform/com/module/TestServerInterfaces.h"

namespace {

class Counter final : public ICounter, public RefCounted<Counter> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<ICounter>(iid, object, {IID_IUnknown, IID_ICounter});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT Increment(int32_t* value) override
    {
        *value = ++value_;
        return S_OK;
    }
    HRESULT ModuleLocks(int32_t* count) override
    {
        *count = static_cast<int32_t>(ComModule::LockCount());
        return S_OK;
    }

private:
    int32_t value_ = 0;
};

#ifdef VELMORA_SECOND_TEST_SERVER
constexpr CLSID kServedClass = CLSID_TestCounter2;
ClassRegistration Registration()
{
    return {kServedClass, "Test Counter 2", "Velmora.TestCounterTwo.1", "Velmora.TestCounterTwo", "Apartment"};
}
#else
constexpr CLSID kServedClass = CLSID_TestCounter;
ClassRegistration Registration()
{
    return {kServedClass, "Test Counter", "Velmora.TestCounter.1", "Velmora.TestCounter", "Apartment"};
}
#endif

} // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObjectFor<Counter>(kServedClass, clsid, iid, object);
}
extern "C" HRESULT DllCanUnloadNow() { return ComModule::CanUnloadNow(); }
extern "C" HRESULT DllRegisterServer()
{
    return RegisterInprocServer(Registration(), ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}
extern "C" HRESULT DllUnregisterServer() { return UnregisterInprocServer(Registration()); }
