// Class factories and aggregation: an aggregatable class inside an outer
// object shows the outer object's identity and reference count through
// every interface, and only the outer object's own holds and the server
// locks keep the module from unloading.
#include <gtest/gtest.h>

#include "platform/com/ComModule.h"
#include "tests/platform/com/module/TestServerInterfaces.h"
#include "tests/support/ComTestHelpers.h"

namespace {

constexpr IID IID_IOuterOnly = OuterObject::IID_IOuterOnly;

int liveInners = 0;

// An aggregatable counter.
class InnerCounter final : public ICounter, public ComAggregatable<InnerCounter> {
public:
    explicit InnerCounter(IUnknown* outer) : ComAggregatable(outer) { ++liveInners; }
    ~InnerCounter() { --liveInners; }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return ControllingUnknown()->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return ControllingUnknown()->AddRef(); }
    ULONG Release() override { return ControllingUnknown()->Release(); }
    HRESULT Increment(int32_t* value) override { return *value = ++value_, S_OK; }
    HRESULT ModuleLocks(int32_t* count) override { return *count = static_cast<int32_t>(ComModule::LockCount()), S_OK; }

    void* FindInterface(REFIID iid) { return iid == IID_ICounter ? static_cast<ICounter*>(this) : nullptr; }

private:
    int32_t value_ = 0;
};

class NotAggregatable final : public ICounter, public RefCounted<NotAggregatable> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<ICounter>(iid, object, {IID_IUnknown, IID_ICounter});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT Increment(int32_t* value) override { return *value = 1, S_OK; }
    HRESULT ModuleLocks(int32_t* count) override { return *count = 0, S_OK; }
};

template <class T>
CComPtr<IClassFactory> FactoryFor()
{
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(GetClassObjectFor<T>(CLSID_TestCounter, CLSID_TestCounter, IID_IClassFactory,
                  reinterpret_cast<void**>(&factory)),
        S_OK);
    return factory;
}

TEST(Aggregation, InnerObjectShowsTheOuterIdentityThroughItsInterfaces)
{
    const long locksBefore = ComModule::LockCount();
    CComPtr<IClassFactory> factory = FactoryFor<InnerCounter>();
    OuterObject outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_NE(static_cast<void*>(outer.inner), static_cast<void*>(&outer)) << "the inner, non-delegating unknown";
    EXPECT_EQ(outer.refs, 1u) << "creating the inner object holds no reference on the outer one";
    EXPECT_EQ(ComModule::LockCount(), locksBefore + 1);

    // The outer object reaches the inner interface through the inner unknown;
    // the reference handed out is the aggregate's.
    ICounter* counter = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ICounter, reinterpret_cast<void**>(&counter)), S_OK);
    EXPECT_EQ(outer.refs, 2u);

    // From the inner interface: IUnknown is the outer object, and so are the
    // outer object's own interfaces.
    IUnknown* identity = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    void* outerOnly = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IOuterOnly, &outerOnly), S_OK);
    EXPECT_EQ(outerOnly, static_cast<void*>(&outer));
    outer.Release();
    // And the aggregate's ICounter, asked from the outside, is the inner one.
    ICounter* again = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ICounter, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, counter);
    again->Release();

    EXPECT_EQ(counter->AddRef(), 3u) << "counts on the outer object";
    EXPECT_EQ(counter->Release(), 2u);
    int32_t value = 0;
    counter->Increment(&value);
    EXPECT_EQ(value, 1);
    counter->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(liveInners, 1);

    // The outer object's last reference releases the inner object.
    outer.Release();
    EXPECT_EQ(liveInners, 0);
    EXPECT_EQ(ComModule::LockCount(), locksBefore);
}

TEST(Aggregation, OuterObjectMustAskForIUnknown)
{
    const long locksBefore = ComModule::LockCount();
    CComPtr<IClassFactory> factory = FactoryFor<InnerCounter>();
    OuterObject outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICounter, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(liveInners, 0) << "nothing made";
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(ComModule::LockCount(), locksBefore);

    // A class that is not aggregatable refuses any outer object.
    CComPtr<IClassFactory> plain = FactoryFor<NotAggregatable>();
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(plain->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ComModule::LockCount(), locksBefore);
}

TEST(Aggregation, StandaloneObjectIsItsOwnIdentity)
{
    CComPtr<IClassFactory> factory = FactoryFor<InnerCounter>();
    ICounter* counter = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, reinterpret_cast<void**>(&counter)), S_OK);
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
    ICounter* viaUnknown = nullptr;
    ASSERT_EQ(a->QueryInterface(IID_ICounter, reinterpret_cast<void**>(&viaUnknown)), S_OK);
    ASSERT_EQ(viaUnknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(a, b);
    EXPECT_EQ(viaUnknown, counter);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(IID_IOuterOnly, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(counter->AddRef(), 5u) << "one count for all its interfaces";
    for (int i = 0; i < 4; ++i)
        counter->Release();
    EXPECT_EQ(liveInners, 1);
    EXPECT_EQ(counter->Release(), 0u);
    EXPECT_EQ(liveInners, 0);
    void* unused = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOuterOnly, &unused), E_NOINTERFACE);
    EXPECT_EQ(liveInners, 0) << "an object nobody could hold is not kept";
}

TEST(ClassFactory, OnlyObjectsAndServerLocksKeepTheModule)
{
    const long locksBefore = ComModule::LockCount();
    CComPtr<IClassFactory> factory = FactoryFor<NotAggregatable>();
    EXPECT_EQ(ComModule::LockCount(), locksBefore) << "a factory held is no lock";
    ASSERT_EQ(factory->LockServer(1), S_OK);
    EXPECT_EQ(ComModule::LockCount(), locksBefore + 1);
    CComPtr<ICounter> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, reinterpret_cast<void**>(&object)), S_OK);
    EXPECT_EQ(ComModule::LockCount(), locksBefore + 2);
    ASSERT_EQ(factory->LockServer(0), S_OK);
    object.Reset();
    EXPECT_EQ(ComModule::LockCount(), locksBefore);
}

} // namespace
