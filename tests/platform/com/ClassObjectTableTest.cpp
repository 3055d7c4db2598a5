// Class objects registered by the process itself, looked up before the hive.
#include <gtest/gtest.h>

#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"
#include "tests/platform/com/module/TestServerInterfaces.h"
#include "tests/support/TempDir.h"

namespace {

// A counter whose first Increment answers its start value, so a test can
// tell which registration made it.
class StartCounter final : public ICounter, public RefCounted<StartCounter> {
public:
    explicit StartCounter(int32_t start) : value_(start) {}
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
        *count = 0;
        return S_OK;
    }

private:
    int32_t value_;
};

class StartFactory final : public IClassFactory, public RefCounted<StartFactory> {
public:
    explicit StartFactory(int32_t start) : start_(start) {}
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IClassFactory>(iid, object, {IID_IUnknown, IID_IClassFactory});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        auto* counter = new StartCounter(start_);
        const HRESULT hr = counter->QueryInterface(iid, object);
        counter->Release();
        return hr;
    }
    HRESULT LockServer(int) override { return S_OK; }

private:
    int32_t start_;
};

constexpr CLSID CLSID_Unregistered = MakeGuid("{0E6A4C11-3B2D-4F7E-9C55-7D1A2B3C4D5E}");

// The value a new object of the class answers first; 0 when none is made.
int32_t FirstValue(REFCLSID clsid, DWORD context = CLSCTX_ALL)
{
    CComPtr<ICounter> counter;
    if (CoCreateInstance(clsid, nullptr, context, IID_ICounter, reinterpret_cast<void**>(&counter)) != S_OK)
        return 0;
    int32_t value = 0;
    counter->Increment(&value);
    return value;
}

class ClassObjectTable : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(ClassObjectTable, LatestRegistrationAnswersUntilRevoked)
{
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 0);
    CComPtr<StartFactory> first(new StartFactory(100));
    first->Release(); // the smart pointer holds the only reference
    CComPtr<StartFactory> second(new StartFactory(200));
    second->Release();
    DWORD cookie1 = 0, cookie2 = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, first.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                  &cookie1),
        S_OK);
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 101);
    ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, second.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                  &cookie2),
        S_OK);
    EXPECT_NE(cookie1, cookie2);
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 201) << "the later registration takes the class's place";

    // The table holds one reference of its own, dropped on revoke.
    EXPECT_EQ(second->AddRef(), 3u);
    second->Release();
    EXPECT_EQ(CoRevokeClassObject(cookie2), S_OK);
    EXPECT_EQ(second->AddRef(), 2u);
    second->Release();
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 101) << "the earlier one answers again";
    EXPECT_EQ(CoRevokeClassObject(cookie2), E_INVALIDARG) << "revoked twice";
    EXPECT_EQ(CoRevokeClassObject(cookie1), S_OK);
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 0);
}

TEST_F(ClassObjectTable, IsAskedBeforeTheHiveAndOnlyForItsContext)
{
    const std::string server = COM_TEST_SERVER;
    std::string out;
    ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s " + server + " 2>&1", &out), 0) << out;
    EXPECT_EQ(FirstValue(CLSID_TestCounter), 1) << "the installed module's counter starts at 0";

    CComPtr<StartFactory> factory(new StartFactory(500));
    factory->Release();
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_TestCounter, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                  &cookie),
        S_OK);
    EXPECT_EQ(FirstValue(CLSID_TestCounter, CLSCTX_INPROC_SERVER), 1) << "registered for another context";
    EXPECT_EQ(FirstValue(CLSID_TestCounter, CLSCTX_ALL), 501);
    ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(FirstValue(CLSID_TestCounter), 1);
    RunCommand(std::string(REGSVR_TOOL) + " /u /s " + server + " 2>&1", &out);
}

TEST_F(ClassObjectTable, RefusesBadArgumentsAndUninitialisedThreads)
{
    CComPtr<StartFactory> factory(new StartFactory(0));
    factory->Release();
    DWORD cookie = 0;
    EXPECT_EQ(CoRegisterClassObject(CLSID_Unregistered, nullptr, CLSCTX_ALL, REGCLS_MULTIPLEUSE, &cookie),
        E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(CLSID_Unregistered, factory.Get(), CLSCTX_ALL, REGCLS_MULTIPLEUSE, nullptr),
        E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(CLSID_Unregistered, factory.Get(), 0, REGCLS_MULTIPLEUSE, &cookie), E_INVALIDARG);
    EXPECT_EQ(CoRevokeClassObject(0), E_INVALIDARG);

    ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, factory.Get(), CLSCTX_ALL, REGCLS_MULTIPLEUSE, &cookie),
        S_OK);
    CoUninitialize();
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_ALL, IID_ICounter, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(OleInitialize(nullptr), S_OK) << "the OLE call shares the thread's count";
    EXPECT_EQ(FirstValue(CLSID_Unregistered), 1);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
}

} // namespace
