// Registering the module with regsvr writes its published entries, and
// nothing else, into the classes root; unregistering takes them out again.
#include <climits>
#include <cstdlib>
#include <set>

#include "platform/com/TypeLib.h"
#include "platform/registry/Registry.h"
#include "tests/imgaddon/ImgAddonTestSupport.h"

namespace {

// Every key of the classes root as "path", every value as "path|name=data".
void Dump(TRegistry& reg, const std::string& path, std::set<std::string>& out)
{
    if (!reg.OpenKeyReadOnly("\\" + path))
        return;
    out.insert(path);
    for (const std::string& value : reg.GetValueNames())
        out.insert(path + "|" + value + "=" + reg.ReadString(value));
    const std::vector<std::string> keys = reg.GetKeyNames();
    for (const std::string& key : keys)
        Dump(reg, path.empty() ? key : path + "\\" + key, out);
}

std::set<std::string> ClassesRoot()
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    std::set<std::string> out;
    Dump(reg, "", out);
    out.erase("");
    return out;
}

std::string ModuleRealPath()
{
    char resolved[PATH_MAX];
    return realpath(IMGADDON_MODULE, resolved) ? resolved : IMGADDON_MODULE;
}

std::string Regsvr(const std::string& args)
{
    std::string out;
    EXPECT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s " + args, &out), 0) << out;
    return out;
}

// The test runs in a hive of its own, so that what other tests registered
// does not show.
class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = std::getenv("VELMORA_REGISTRY_DIR");
        setenv("VELMORA_REGISTRY_DIR", hive_.Path().c_str(), 1);
    }
    void TearDown() override { setenv("VELMORA_REGISTRY_DIR", saved_.c_str(), 1); }
    std::string HiveFile() const { return hive_ / "HKEY_CLASSES_ROOT.reg"; }

private:
    TempDir hive_;
    std::string saved_;
};

TEST_F(Registration, WritesExactlyThePublishedEntries)
{
    Regsvr(IMGADDON_MODULE);
    const std::string module = ModuleRealPath();
    const std::string folder = module.substr(0, module.rfind('/'));
    const std::string clsid = "CLSID\\{F01E1362-5B4D-4cc1-B22E-AE6C76D5F6DB}";
    const std::string appId = "{3E0C0114-EA2F-4b9c-9A52-FB51F0845B30}";
    const std::string typeLib = "TypeLib\\{148F5BFE-DEAE-48CA-9C1B-6576384A3A2B}";
    const std::string iface = "Interface\\{53EF529B-4CB9-4022-B505-1BA04760BF46}";
    const std::set<std::string> expected = {
        "AppID",
        "AppID\\" + appId,
        "AppID\\" + appId + "|=QuorvexImgAddon",
        "AppID\\QuorvexImgAddon.DLL",
        "AppID\\QuorvexImgAddon.DLL|AppID=" + appId,
        "QuorvexImgAddon.ImageLoader.1",
        "QuorvexImgAddon.ImageLoader.1|=ImageLoader Class",
        "QuorvexImgAddon.ImageLoader.1\\CLSID",
        "QuorvexImgAddon.ImageLoader.1\\CLSID|={F01E1362-5B4D-4cc1-B22E-AE6C76D5F6DB}",
        "QuorvexImgAddon.ImageLoader",
        "QuorvexImgAddon.ImageLoader|=ImageLoader Class",
        "QuorvexImgAddon.ImageLoader\\CLSID",
        "QuorvexImgAddon.ImageLoader\\CLSID|={F01E1362-5B4D-4cc1-B22E-AE6C76D5F6DB}",
        "QuorvexImgAddon.ImageLoader\\CurVer",
        "QuorvexImgAddon.ImageLoader\\CurVer|=QuorvexImgAddon.ImageLoader.1",
        "CLSID",
        clsid,
        clsid + "|=ImageLoader Class",
        clsid + "|AppID=" + appId,
        clsid + "\\ProgID",
        clsid + "\\ProgID|=QuorvexImgAddon.ImageLoader.1",
        clsid + "\\VersionIndependentProgID",
        clsid + "\\VersionIndependentProgID|=QuorvexImgAddon.ImageLoader",
        clsid + "\\Programmable",
        clsid + "\\InprocServer32",
        clsid + "\\InprocServer32|=" + module,
        clsid + "\\InprocServer32|ThreadingModel=Apartment",
        clsid + "\\TypeLib",
        clsid + "\\TypeLib|={148F5BFE-DEAE-48ca-9C1B-6576384A3A2B}",
        // The type library.
        "TypeLib",
        typeLib,
        typeLib + "\\1.0",
        typeLib + "\\1.0|=QuorvexImgAddon",
        typeLib + "\\1.0\\FLAGS",
        typeLib + "\\1.0\\FLAGS|=0",
        typeLib + "\\1.0\\HELPDIR",
        typeLib + "\\1.0\\HELPDIR|=" + folder,
        typeLib + "\\1.0\\0",
        typeLib + "\\1.0\\0\\linux",
        typeLib + "\\1.0\\0\\linux|=" + module,
        "Interface",
        iface,
        iface + "|=IImageLoader",
        iface + "\\ProxyStubClsid32",
        iface + "\\ProxyStubClsid32|={00020424-0000-0000-C000-000000000046}",
        iface + "\\TypeLib",
        iface + "\\TypeLib|={148F5BFE-DEAE-48CA-9C1B-6576384A3A2B}",
        iface + "\\TypeLib|Version=1.0",
    };
    const std::set<std::string> written = ClassesRoot();
    for (const std::string& e : expected)
        EXPECT_TRUE(written.count(e)) << "missing: " << e;
    for (const std::string& w : written)
        EXPECT_TRUE(expected.count(w)) << "not expected: " << w;
    EXPECT_EQ(QueryPathOfRegTypeLib(LIBID_QuorvexImgAddon, 1, 0), module) << "the type library is found";
    EXPECT_EQ(InprocServerPath(CLSID_ImageLoader), module);

    const std::string once = ReadFileBytes(HiveFile());
    Regsvr(IMGADDON_MODULE);
    EXPECT_EQ(ReadFileBytes(HiveFile()), once) << "registering again changes nothing";
}

TEST_F(Registration, UnregisteringKeepsOnlyTheSharedParents)
{
    // A foreign class and application beside ours stay.
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey("\\CLSID\\{00000000-1111-2222-3333-444444444444}", true));
        reg.WriteString("", "Someone else");
    }
    Regsvr(IMGADDON_MODULE);
    Regsvr("/u " IMGADDON_MODULE);
    const std::set<std::string> left = ClassesRoot();
    const std::set<std::string> expected = {
        "AppID", "CLSID", "CLSID\\{00000000-1111-2222-3333-444444444444}",
        "CLSID\\{00000000-1111-2222-3333-444444444444}|=Someone else",
        // Parents shared by every type library.
        "TypeLib", "Interface"};
    EXPECT_EQ(left, expected);
    EXPECT_EQ(QueryPathOfRegTypeLib(LIBID_QuorvexImgAddon, 1, 0), "");
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"QuorvexImgAddon.ImageLoader", &clsid), CO_E_CLASSSTRING);
}

} // namespace
