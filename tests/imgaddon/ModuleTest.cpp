// The add-on module's entry points as a foreign program meets them: this
// test program has no application object, as such programs need not.
#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/imgaddon/ImgAddonTestSupport.h"
#include "tests/support/ComTestHelpers.h"

namespace {

constexpr IID IID_IOuterOnly = OuterObject::IID_IOuterOnly;

CComPtr<IClassFactory> Factory()
{
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(ImgAddonModule::Get().getClassObject(CLSID_ImageLoader, IID_IClassFactory,
                  reinterpret_cast<void**>(&factory)),
        S_OK);
    return factory;
}

TEST(Module, RunsWithoutAnApplicationObject)
{
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    ASSERT_NE(ImgAddonModule::Get().getClassObject, nullptr) << "the module loads";
    // Decoding (including the TIFF and GIF readers) works all the same.
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    int32_t pages = 0;
    loader->GetImagePagesCount(CComBSTR(Fixtures::Get().Path("pages.tif")), &pages);
    EXPECT_EQ(pages, 2);
}

TEST(Module, HandsOutOneCachedFactoryForItsOneClass)
{
    const ImgAddonModule& m = ImgAddonModule::Get();
    ASSERT_NE(m.getClassObject, nullptr);
    EXPECT_EQ(m.getClassObject(CLSID_ImageLoader, IID_IClassFactory, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(m.getClassObject(IID_IImageLoader, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(m.getClassObject(CLSID_ImageLoader, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    CComPtr<IClassFactory> a = Factory(), b = Factory();
    ASSERT_TRUE(a);
    EXPECT_EQ(a.Get(), b.Get());
    IUnknown* unknown = nullptr;
    ASSERT_EQ(m.getClassObject(CLSID_ImageLoader, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(a.Get()));
    unknown->Release();

    // Each object is new.
    CComPtr<IImageLoader> x, y;
    ASSERT_EQ(a->CreateInstance(nullptr, IID_IImageLoader, reinterpret_cast<void**>(&x)), S_OK);
    ASSERT_EQ(a->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&y)), S_OK);
    EXPECT_NE(static_cast<void*>(x.Get()), static_cast<void*>(y.Get()));
}

TEST(Module, ThreadsAskingFirstAllGetTheSameFactory)
{
    // Under CTest this test has the process to itself, so the factory is
    // made while the threads race for it.
    const ImgAddonModule& m = ImgAddonModule::Get();
    ASSERT_NE(m.getClassObject, nullptr);
    constexpr int kThreads = 8;
    std::vector<void*> got(kThreads, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kThreads)
                std::this_thread::yield();
            m.getClassObject(CLSID_ImageLoader, IID_IClassFactory, &got[i]);
        });
    for (std::thread& t : threads)
        t.join();
    for (void* factory : got) {
        EXPECT_EQ(factory, got[0]);
        if (factory)
            static_cast<IClassFactory*>(factory)->Release();
    }
    EXPECT_NE(got[0], nullptr);
}

TEST(Module, AggregatedLoaderShowsTheOuterIdentity)
{
    CComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    OuterObject outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IImageLoader, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(ImgAddonModule::Get().canUnloadNow(), S_OK) << "nothing was made";

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    EXPECT_EQ(outer.refs, 1u);
    IImageLoader* loader = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IImageLoader, reinterpret_cast<void**>(&loader)), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "the inner interface counts on the outer object";

    IUnknown* identity = nullptr;
    ASSERT_EQ(loader->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    void* outerOnly = nullptr;
    ASSERT_EQ(loader->QueryInterface(IID_IOuterOnly, &outerOnly), S_OK);
    EXPECT_EQ(outerOnly, static_cast<void*>(&outer));
    outer.Release();

    // The aggregated loader works.
    int32_t frames = 0;
    EXPECT_EQ(loader->GetImagePagesCount(CComBSTR(Fixtures::Get().Path("frames.gif")), &frames), S_OK);
    EXPECT_EQ(frames, 3);
    loader->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(ImgAddonModule::Get().canUnloadNow(), S_FALSE) << "the inner object lives";
    outer.Release();
    EXPECT_EQ(ImgAddonModule::Get().canUnloadNow(), S_OK) << "the outer object released it";
}

TEST(Module, CanUnloadOnlyWithoutObjectsAndLocks)
{
    const ImgAddonModule& m = ImgAddonModule::Get();
    ASSERT_NE(m.canUnloadNow, nullptr);
    CComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(m.canUnloadNow(), S_OK) << "the cached factory held by a client is no lock";
    {
        CComPtr<IImageLoader> loader;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IImageLoader, reinterpret_cast<void**>(&loader)), S_OK);
        EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(m.canUnloadNow(), S_OK);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(0), S_OK);
    EXPECT_EQ(m.canUnloadNow(), S_OK);
}

} // namespace
