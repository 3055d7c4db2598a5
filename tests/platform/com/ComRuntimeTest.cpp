#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "tests/platform/com/module/TestServerInterfaces.h"
#include "tests/support/TempDir.h"

namespace {

TEST(Guid, ParsesAndFormatsRoundTrip)
{
    constexpr GUID g = MakeGuid("{6b34e5b0-773c-48b9-ab80-eeb90174ae83}");
    static_assert(g.Data1 == 0x6B34E5B0 && g.Data2 == 0x773C && g.Data3 == 0x48B9 && g.Data4[0] == 0xAB
        && g.Data4[7] == 0x83);
    EXPECT_EQ(GuidToString(g), "{6B34E5B0-773C-48B9-AB80-EEB90174AE83}");
    CLSID back;
    ASSERT_EQ(CLSIDFromString(StringFromGUID(g).c_str(), &back), S_OK);
    EXPECT_EQ(back, g);
}

TEST(Guid, RejectsMalformedText)
{
    for (const char* bad : {"", "{}", "6B34E5B0-773C-48B9-AB80-EEB90174AE8", "{6B34E5B0-773C-48B9-AB80-EEB90174AE83",
             "{6B34E5B0-773C-48B9-AB80EEEB90174AE83}", "{6B34E5B0-773C-48B9-AB80-EEB90174AEG3}",
             "(6B34E5B0-773C-48B9-AB80-EEB90174AE83)"}) {
        GUID g = IID_IDispatch;
        EXPECT_FALSE(ParseGuid(bad, &g)) << bad;
        EXPECT_EQ(g, IID_IDispatch) << "left untouched: " << bad;
    }
    CLSID c;
    EXPECT_EQ(CLSIDFromString(u"{6B34E5B0-773C-48B9-AB80-EEB90174AE83}x", &c), CO_E_CLASSSTRING);
}

TEST(BStr, KeepsLengthAndEmbeddedZeros)
{
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[3], 0) << "terminated";
    SysFreeString(s);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(BStr, ConvertsUtf8BothWays)
{
    struct Case {
        std::string utf8;
        std::u16string wide;
    };
    const Case cases[] = {
        {"", u""},
        {"Plain & simple", u"Plain & simple"},
        {"Zo\xC3\xAB \xE2\x82\xAC", u"Zo\u00EB \u20AC"},
        {"\xF0\x9F\x8E\xA8", u"\U0001F3A8"}, // outside the basic plane: a surrogate pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WideFromUtf8(c.utf8), c.wide) << c.utf8;
        EXPECT_EQ(Utf8FromWide(c.wide), c.utf8) << c.utf8;
    }
    // Broken input becomes replacement characters instead of being dropped or
    // read past its end.
    EXPECT_EQ(WideFromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(WideFromUtf8("\xE2\x82x"), u"\uFFFD\uFFFDx") << "one per bad byte, the next character kept";
    EXPECT_EQ(WideFromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong form";
    EXPECT_EQ(Utf8FromWide(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    CComBSTR b("Alinta \xE2\x80\x93 Marrow");
    EXPECT_EQ(b.Length(), 15u);
    EXPECT_EQ(b.Utf8(), "Alinta \xE2\x80\x93 Marrow");
}

TEST(CoInitialize, IsCountedPerThread)
{
    EXPECT_FALSE(CoIsInitialized());
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &out), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    bool otherThread = true;
    std::thread([&] { otherThread = CoIsInitialized(); }).join();
    EXPECT_FALSE(otherThread);
    CoUninitialize();
    EXPECT_TRUE(CoIsInitialized());
    CoUninitialize();
    EXPECT_FALSE(CoIsInitialized());
}

int RunRegsvr(const std::string& args)
{
    std::string out;
    return RunCommand(std::string(REGSVR_TOOL) + " " + args + " 2>&1", &out);
}

class ComServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(RunRegsvr(std::string("/s ") + COM_TEST_SERVER), 0);
    }
    void TearDown() override
    {
        RunRegsvr(std::string("/u /s ") + COM_TEST_SERVER);
        CoUninitialize();
    }
};

TEST_F(ComServer, RegistrationWritesTheClassesRootHive)
{
    EXPECT_EQ(InprocServerPath(CLSID_TestCounter), COM_TEST_SERVER);
    for (const char16_t* progId : {u"Velmora.TestCounter", u"Velmora.TestCounter.1", u"velmora.testcounter"}) {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << Utf8FromWide(progId);
        EXPECT_EQ(clsid, CLSID_TestCounter);
    }
    std::u16string progId;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCounter, &progId), S_OK);
    EXPECT_EQ(progId, u"Velmora.TestCounter.1");
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\CLSID\\" + GuidToString(CLSID_TestCounter) + "\\InprocServer32"));
    EXPECT_EQ(reg.ReadString("ThreadingModel"), "Apartment");
}

TEST_F(ComServer, CreatesObjectsAndCountsReferences)
{
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"Velmora.TestCounter", &clsid), S_OK);
    ICounter* counter = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ICounter, reinterpret_cast<void**>(&counter)), S_OK);
    ASSERT_NE(counter, nullptr);
    int32_t v = 0;
    counter->Increment(&v);
    counter->Increment(&v);
    EXPECT_EQ(v, 2);

    EXPECT_EQ(counter->AddRef(), 2u);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->Release(), 2u);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // The module sees one live object, so it cannot be unloaded yet.
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(
        dlsym(dlopen(COM_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    int32_t locks = 0;
    counter->ModuleLocks(&locks);
    EXPECT_EQ(locks, 1);
    EXPECT_EQ(canUnload(), S_FALSE);
    EXPECT_EQ(counter->Release(), 1u);
    EXPECT_EQ(counter->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComServer, EachModuleCountsOnlyItsOwnObjects)
{
    ASSERT_EQ(RunRegsvr(std::string("/s ") + COM_TEST_SERVER2), 0);
    CComPtr<ICounter> first, second;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, reinterpret_cast<void**>(&first)),
        S_OK);
    ASSERT_EQ(
        CoCreateInstance(CLSID_TestCounter2, nullptr, CLSCTX_ALL, IID_ICounter, reinterpret_cast<void**>(&second)),
        S_OK);
    auto canUnload = [](const char* module) {
        return reinterpret_cast<DllCanUnloadNowFn>(
            dlsym(dlopen(module, RTLD_NOW | RTLD_NOLOAD), "DllCanUnloadNow"));
    };
    ASSERT_NE(canUnload(COM_TEST_SERVER2), nullptr);
    int32_t locks = 0;
    second->ModuleLocks(&locks);
    EXPECT_EQ(locks, 1) << "the other module's object is not counted here";
    second.Reset();
    EXPECT_EQ(canUnload(COM_TEST_SERVER2)(), S_OK) << "while the first module still has an object";
    EXPECT_EQ(canUnload(COM_TEST_SERVER)(), S_FALSE);
    first.Reset();
    EXPECT_EQ(canUnload(COM_TEST_SERVER)(), S_OK);
    RunRegsvr(std::string("/u /s ") + COM_TEST_SERVER2);
}

TEST_F(ComServer, ClassFactoryRefusesAggregationAndUnknownClasses)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                  reinterpret_cast<void**>(&factory)),
        S_OK);
    CComPtr<ICounter> outer;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, reinterpret_cast<void**>(&outer)), S_OK);
    void* inner = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &inner), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &inner), E_NOINTERFACE);
    factory->Release();

    void* obj = nullptr;
    EXPECT_EQ(CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_ALL, IID_IUnknown, &obj), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &obj),
        REGDB_E_CLASSNOTREG)
        << "only in-process servers exist here";
}

TEST_F(ComServer, UnregisterRemovesTheClass)
{
    ASSERT_EQ(RunRegsvr(std::string("/u /s ") + COM_TEST_SERVER), 0);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Velmora.TestCounter", &clsid), CO_E_CLASSSTRING);
    void* obj = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown, &obj), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(InprocServerPath(CLSID_TestCounter), "");
}

TEST_F(ComServer, MissingModuleIsReportedNotFatal)
{
    TempDir dir;
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey("\\CLSID\\" + GuidToString(CLSID_TestCounter) + "\\InprocServer32", false));
    reg.WriteString("", dir / "gone.so");
    void* obj = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown, &obj), CO_E_DLLNOTFOUND);
    EXPECT_NE(RunRegsvr(dir / "gone.so"), 0);
    EXPECT_NE(RunRegsvr(""), 0);
}

} // namespace
