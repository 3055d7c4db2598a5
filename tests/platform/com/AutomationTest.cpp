// What an automation server needs of the runtime: its registration entries
// (class, application, type library) and the late-bound calls of a dual
// interface checked against the type library's description.
#include <gtest/gtest.h>

#include "platform/com/ComRuntime.h"
#include "platform/com/Dispatch.h"
#include "platform/registry/Registry.h"
#include "tests/platform/com/module/TestServerInterfaces.h"
#include "tests/support/ComTestHelpers.h"

namespace {

constexpr CLSID kClass = MakeGuid("{0B7E35A2-61C4-4D0F-9E38-5A1F2C7D9B64}");
constexpr GUID kAppId = MakeGuid("{7D2C9E10-44B1-4A6E-8C35-1F0E6B2A9D77}");
constexpr GUID kLibId = MakeGuid("{C41A7F02-9B3E-4E85-A6D1-2F7C0B58E913}");
constexpr IID kIface = MakeGuid("{E8B35D61-0C2A-4F97-B4E6-93A1D7C50F28}");
constexpr GUID kEnumType = MakeGuid("{5F0A2C9B-7E61-4D38-9A4C-B1E0D63F8725}");

std::string DefaultOf(const std::string& key, const std::string& value = "")
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    if (!reg.OpenKeyReadOnly("\\" + key) || !reg.ValueExists(value))
        return "(missing)";
    return reg.ReadString(value);
}

bool KeyExists(const std::string& key)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    return reg.KeyExists("\\" + key);
}

TypeLibDesc Library()
{
    TypeLibDesc lib;
    lib.libid = kLibId;
    lib.name = "VelmoraTestLib";
    TypeInterfaceDesc i;
    i.iid = kIface;
    i.name = "ILoader";
    i.help = "Loads things.";
    i.methods = {
        {1, "Connect", "Connects.", {{"Target", VT_UNKNOWN, IID_ICounter}}},
        {2, "Disconnect", "Disconnects.", {}},
        {3, "AddFrame", "Adds a frame.",
            {{"FileName", VT_BSTR}, {"PageIndex", VT_UI4}, {"Compression", VT_I4, kEnumType},
                {"Img", VT_I4, GUID_NULL, true}}},
    };
    lib.interfaces.push_back(i);
    return lib;
}

TEST(Registration, AutomationClassGetsItsApplicationAndLibraryEntries)
{
    const std::string clsid = GuidToString(kClass);
    // Leftovers of an older registration of the same class.
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey("\\CLSID\\" + clsid + "\\LocalServer32", true));
        reg.WriteString("", "/old/server");
    }
    ClassRegistration r{kClass, "Loader Class", "Velmora.Loader.1", "Velmora.Loader", "Apartment"};
    r.appId = kAppId;
    r.typeLib = kLibId;
    r.programmable = true;
    ASSERT_EQ(RegisterAppId(kAppId, "VelmoraLoader", "velmora-loader.so"), S_OK);
    ASSERT_EQ(RegisterInprocServer(r, "/opt/velmora/velmora-loader.so"), S_OK);
    ASSERT_EQ(RegisterTypeLib(Library(), "/opt/velmora/velmora-loader.so"), S_OK);

    struct Entry {
        std::string key, value, data;
    };
    const Entry entries[] = {
        {"AppID\\" + GuidToString(kAppId), "", "VelmoraLoader"},
        {"AppID\\velmora-loader.so", "AppID", GuidToString(kAppId)},
        {"CLSID\\" + clsid, "", "Loader Class"},
        {"CLSID\\" + clsid, "AppID", GuidToString(kAppId)},
        {"CLSID\\" + clsid + "\\TypeLib", "", GuidToString(kLibId)},
        {"CLSID\\" + clsid + "\\InprocServer32", "", "/opt/velmora/velmora-loader.so"},
        {"CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {"CLSID\\" + clsid + "\\ProgID", "", "Velmora.Loader.1"},
        {"CLSID\\" + clsid + "\\VersionIndependentProgID", "", "Velmora.Loader"},
        {"Velmora.Loader\\CurVer", "", "Velmora.Loader.1"},
        {"TypeLib\\" + GuidToString(kLibId) + "\\1.0", "", "VelmoraTestLib"},
        {"TypeLib\\" + GuidToString(kLibId) + "\\1.0\\HELPDIR", "", "/opt/velmora"},
        {"Interface\\" + GuidToString(kIface), "", "ILoader"},
        {"Interface\\" + GuidToString(kIface) + "\\TypeLib", "", GuidToString(kLibId)},
        {"Interface\\" + GuidToString(kIface) + "\\TypeLib", "Version", "1.0"},
    };
    for (const Entry& e : entries)
        EXPECT_EQ(DefaultOf(e.key, e.value), e.data) << e.key << " " << e.value;
    EXPECT_TRUE(KeyExists("CLSID\\" + clsid + "\\Programmable"));
    EXPECT_FALSE(KeyExists("CLSID\\" + clsid + "\\LocalServer32")) << "the class key is written anew";
    EXPECT_EQ(QueryPathOfRegTypeLib(kLibId, 1, 0), "/opt/velmora/velmora-loader.so");

    ASSERT_EQ(UnRegisterTypeLib(Library()), S_OK);
    ASSERT_EQ(UnregisterInprocServer(r), S_OK);
    ASSERT_EQ(UnregisterAppId(kAppId, "velmora-loader.so"), S_OK);
    for (const std::string& gone : {"AppID\\" + GuidToString(kAppId), std::string("AppID\\velmora-loader.so"),
             "CLSID\\" + clsid, std::string("Velmora.Loader"), std::string("Velmora.Loader.1"),
             "TypeLib\\" + GuidToString(kLibId), "Interface\\" + GuidToString(kIface)})
        EXPECT_FALSE(KeyExists(gone)) << gone;
    EXPECT_TRUE(KeyExists("AppID"));
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_EQ(QueryPathOfRegTypeLib(kLibId, 1, 0), "");
}

TEST(Dispatch, NamesMapToDispidsWithoutRegardToCase)
{
    const TypeLibDesc lib = Library();
    const TypeInterfaceDesc& desc = *lib.Find(kIface);
    std::u16string a = u"addframe", b = u"PAGEINDEX", c = u"Compression", d = u"Nope";
    OLECHAR* names[] = {a.data(), b.data(), c.data()};
    DISPID ids[3];
    ASSERT_EQ(DispGetIDsOfNames(desc, names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 2);
    OLECHAR* unknown[] = {d.data()};
    EXPECT_EQ(DispGetIDsOfNames(desc, unknown, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    OLECHAR* badParam[] = {a.data(), d.data()};
    EXPECT_EQ(DispGetIDsOfNames(desc, badParam, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 3) << "the member itself is still known";
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST(Dispatch, ArgumentsArriveLastFirstAndAreConverted)
{
    const TypeLibDesc lib = Library();
    const TypeMethodDesc& addFrame = *lib.Find(kIface)->Find(3);
    // AddFrame("a.tif", "2", 1.6): rgvarg holds them in reverse.
    VARIANT in[] = {R8(1.6), Bstr("2"), Bstr("a.tif")};
    DISPPARAMS params{in, nullptr, 3, 0};
    DispArgs args;
    uint32_t argError = 99;
    ASSERT_EQ(DispGetArgs(addFrame, DISPATCH_METHOD, &params, &args, &argError), S_OK);
    ASSERT_EQ(args.Count(), 3u);
    EXPECT_EQ(args[0].vt, VT_BSTR);
    EXPECT_EQ(Utf8FromWide(static_cast<const char16_t*>(args[0].bstrVal)), "a.tif");
    EXPECT_EQ(args[1].vt, VT_UI4);
    EXPECT_EQ(args[1].ulVal, 2u);
    EXPECT_EQ(args[2].vt, VT_I4);
    EXPECT_EQ(args[2].lVal, 2);

    // A value by reference is read through.
    LONG page = 5;
    VARIANT byRef;
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &page;
    VARIANT in2[] = {I4(0), byRef, Bstr("b.gif")};
    DISPPARAMS params2{in2, nullptr, 3, 0};
    DispArgs args2;
    ASSERT_EQ(DispGetArgs(addFrame, DISPATCH_METHOD, &params2, &args2, &argError), S_OK);
    EXPECT_EQ(args2[1].ulVal, 5u);

    // Scripts pass small integers as 16-bit values, by value or by reference.
    int16_t smallPage = 3;
    VARIANT smallByRef;
    smallByRef.vt = VT_I2 | VT_BYREF;
    smallByRef.piVal = &smallPage;
    for (VARIANT page : {I2(3), smallByRef}) {
        VARIANT in3[] = {I2(2), page, Bstr("c.tif")};
        DISPPARAMS params3{in3, nullptr, 3, 0};
        DispArgs args3;
        ASSERT_EQ(DispGetArgs(addFrame, DISPATCH_METHOD, &params3, &args3, &argError), S_OK);
        EXPECT_EQ(args3[1].vt, VT_UI4);
        EXPECT_EQ(args3[1].ulVal, 3u);
        EXPECT_EQ(args3[2].lVal, 2);
        VariantClear(&in3[2]);
    }

    struct Bad {
        const char* what;
        std::vector<VARIANT> args;
        uint16_t flags;
        uint32_t named;
        HRESULT expected;
        uint32_t argError;
    };
    const Bad bad[] = {
        {"too few", {I4(0), Bstr("x")}, DISPATCH_METHOD, 0, DISP_E_BADPARAMCOUNT, 99},
        {"too many", {I4(0), I4(0), Bstr("x"), I4(0)}, DISPATCH_METHOD, 0, DISP_E_BADPARAMCOUNT, 99},
        {"text that is no number", {I4(0), Bstr("two"), Bstr("x")}, DISPATCH_METHOD, 0, DISP_E_TYPEMISMATCH, 1},
        {"negative page", {I4(0), I4(-1), Bstr("x")}, DISPATCH_METHOD, 0, DISP_E_OVERFLOW, 1},
        {"negative small page", {I4(0), I2(-1), Bstr("x")}, DISPATCH_METHOD, 0, DISP_E_OVERFLOW, 1},
        {"page past 32 bits", {I4(0), R8(5e9), Bstr("x")}, DISPATCH_METHOD, 0, DISP_E_OVERFLOW, 1},
        {"property get", {I4(0), I4(0), Bstr("x")}, DISPATCH_PROPERTYGET, 0, DISP_E_MEMBERNOTFOUND, 99},
        {"named arguments", {I4(0), I4(0), Bstr("x")}, DISPATCH_METHOD, 1, DISP_E_NONAMEDARGS, 99},
    };
    for (const Bad& c : bad) {
        std::vector<VARIANT> v = c.args;
        DISPID named = 0;
        DISPPARAMS p{v.data(), c.named ? &named : nullptr, static_cast<uint32_t>(v.size()), c.named};
        DispArgs out;
        uint32_t err = 99;
        EXPECT_EQ(DispGetArgs(addFrame, c.flags, &p, &out, &err), c.expected) << c.what;
        EXPECT_EQ(err, c.argError) << c.what;
        EXPECT_EQ(out.Count(), 0u) << c.what;
        for (VARIANT& x : v)
            VariantClear(&x);
    }
    for (VARIANT* group : {in, in2})
        for (int i = 0; i < 3; ++i)
            VariantClear(&group[i]);
}

class Counter final : public ICounter {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_ICounter) {
            *object = static_cast<ICounter*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT Increment(int32_t* v) override { return *v = 1, S_OK; }
    HRESULT ModuleLocks(int32_t* c) override { return *c = 0, S_OK; }
    ULONG refs = 1;
};

class Plain final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(Dispatch, InterfaceArgumentsAreAskedForTheDeclaredInterface)
{
    const TypeLibDesc lib = Library();
    const TypeMethodDesc& connect = *lib.Find(kIface)->Find(1);
    Counter counter;
    {
        VARIANT v;
        v.vt = VT_UNKNOWN;
        v.punkVal = &counter;
        DISPPARAMS p{&v, nullptr, 1, 0};
        DispArgs args;
        ASSERT_EQ(DispGetArgs(connect, DISPATCH_METHOD, &p, &args, nullptr), S_OK);
        EXPECT_EQ(static_cast<void*>(args[0].punkVal), static_cast<void*>(static_cast<ICounter*>(&counter)));
        EXPECT_EQ(counter.refs, 2u);
    }
    EXPECT_EQ(counter.refs, 1u) << "the call's reference goes with its arguments";

    Plain plain;
    VARIANT v;
    v.vt = VT_UNKNOWN;
    v.punkVal = &plain;
    DISPPARAMS p{&v, nullptr, 1, 0};
    DispArgs args;
    uint32_t err = 99;
    EXPECT_EQ(DispGetArgs(connect, DISPATCH_METHOD, &p, &args, &err), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(plain.refs, 1u) << "no reference kept on failure";

    VARIANT text = Bstr("not an object");
    DISPPARAMS pt{&text, nullptr, 1, 0};
    EXPECT_EQ(DispGetArgs(connect, DISPATCH_METHOD, &pt, &args, &err), DISP_E_TYPEMISMATCH);
    VariantClear(&text);
}

TEST(Variant, ChangeTypeBetweenNumbersAndText)
{
    struct Case {
        VARIANT from;
        VARTYPE to;
        HRESULT hr;
        std::string text; // the result as text
    };
    const Case cases[] = {
        {I4(-42), VT_BSTR, S_OK, "-42"},
        {R8(2.5), VT_BSTR, S_OK, "2.5"},
        {Bstr(" 17 "), VT_I4, S_OK, "17"},
        {Bstr("1e3"), VT_R8, S_OK, "1000"},
        {Bstr("2,5"), VT_R8, DISP_E_TYPEMISMATCH, ""},
        {Bstr(""), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {R8(2147483648.0), VT_I4, DISP_E_OVERFLOW, ""},
        {I4(0), VT_BOOL, S_OK, "False"},
        {I4(3), VT_BOOL, S_OK, "True"},
        {I2(-7), VT_BSTR, S_OK, "-7"},
        {I2(-7), VT_R8, S_OK, "-7"},
        {Bstr("-32768"), VT_I2, S_OK, "-32768"},
        {R8(32767.4), VT_I2, S_OK, "32767"},
        {I4(32768), VT_I2, DISP_E_OVERFLOW, ""},
        {I4(-32769), VT_I2, DISP_E_OVERFLOW, ""},
    };
    for (const Case& c : cases) {
        VARIANT from = c.from, to, text;
        EXPECT_EQ(VariantChangeType(&to, &from, 0, c.to), c.hr) << c.text;
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(to.vt, c.to);
            ASSERT_EQ(VariantChangeType(&text, &to, 0, VT_BSTR), S_OK);
            EXPECT_EQ(Utf8FromWide(static_cast<const char16_t*>(text.bstrVal)), c.text);
            VariantClear(&text);
        } else {
            EXPECT_EQ(to.vt, VT_EMPTY) << "untouched on failure";
        }
        VariantClear(&to);
        VariantClear(&from);
    }
    // In place, the old string freed.
    VARIANT v = Bstr("12");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 12);
}

} // namespace
