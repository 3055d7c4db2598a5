#include <gtest/gtest.h>

#include "platform/com/RegistryScript.h"
#include "platform/registry/Registry.h"

namespace {

std::string Read(const std::string& key, const std::string& value = "")
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    if (!reg.OpenKeyReadOnly("\\" + key))
        return "(no key)";
    if (!reg.ValueExists(value))
        return "(no value)";
    return reg.ReadString(value);
}

void Put(const std::string& key, const std::string& value, const std::string& data)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey("\\" + key, true));
    reg.WriteString(value, data);
}

RegScript Script()
{
    using K = RegScriptKey;
    return {
        {K::Normal, "Velmora.ScriptTest.1", {{"", "Script Test"}}, {{K::Normal, "CLSID", {{"", "%CLSID%"}}, {}}}},
        {K::NoRemove, "ScriptTestRoot", {},
            {{K::ForceRemove, "%CLSID%", {{"", "Script Test"}, {"AppID", "%APPID%"}},
                 {{K::Normal, "InprocServer32", {{"", "%MODULE%"}, {"ThreadingModel", "Apartment"}}, {}},
                     {K::ForceRemove, "Programmable", {}, {}}}},
                {K::Normal, "Shared", {{"Ours", "100%%"}}, {}}}},
    };
}

const RegScriptReplacements kReplacements = {
    {"CLSID", "{9E1C2B44-70AD-4F3B-8E05-6A2D4C1F7B90}"},
    {"APPID", "{1D4E6A20-3B7C-4E15-9F82-C05A7E3B6D11}"},
    {"MODULE", "/opt/velmora/script test.so"},
};

TEST(RegistryScript, WritesTheTreeWithItsPlaceholdersReplaced)
{
    const std::string clsidKey = "ScriptTestRoot\\{9E1C2B44-70AD-4F3B-8E05-6A2D4C1F7B90}";
    // Left over from an older registration: the ForceRemove key drops it.
    Put(clsidKey + "\\LocalServer32", "", "/old/server");
    ASSERT_EQ(RegistryScriptRegister(Script(), kReplacements), S_OK);

    EXPECT_EQ(Read("Velmora.ScriptTest.1"), "Script Test");
    EXPECT_EQ(Read("Velmora.ScriptTest.1\\CLSID"), "{9E1C2B44-70AD-4F3B-8E05-6A2D4C1F7B90}");
    EXPECT_EQ(Read(clsidKey, "AppID"), "{1D4E6A20-3B7C-4E15-9F82-C05A7E3B6D11}");
    EXPECT_EQ(Read(clsidKey + "\\InprocServer32"), "/opt/velmora/script test.so");
    EXPECT_EQ(Read(clsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Read(clsidKey + "\\Programmable"), "(no value)") << "an empty key";
    EXPECT_EQ(Read(clsidKey + "\\LocalServer32"), "(no key)");
    EXPECT_EQ(Read("ScriptTestRoot\\Shared", "Ours"), "100%");
}

TEST(RegistryScript, RemovesOnlyWhatItWroteAndKeepsSharedKeys)
{
    ASSERT_EQ(RegistryScriptRegister(Script(), kReplacements), S_OK);
    // Others' entries: one beside ours in a normal key, one in the shared root.
    Put("ScriptTestRoot\\Shared", "Theirs", "kept");
    Put("ScriptTestRoot\\Other", "", "kept");
    ASSERT_EQ(RegistryScriptUnregister(Script(), kReplacements), S_OK);

    EXPECT_EQ(Read("Velmora.ScriptTest.1"), "(no key)");
    EXPECT_EQ(Read("ScriptTestRoot\\{9E1C2B44-70AD-4F3B-8E05-6A2D4C1F7B90}"), "(no key)");
    EXPECT_EQ(Read("ScriptTestRoot\\Shared", "Ours"), "(no value)");
    EXPECT_EQ(Read("ScriptTestRoot\\Shared", "Theirs"), "kept");
    EXPECT_EQ(Read("ScriptTestRoot\\Other"), "kept");
    // Unregistering again finds nothing to do.
    EXPECT_EQ(RegistryScriptUnregister(Script(), kReplacements), S_OK);
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_TRUE(reg.KeyExists("\\ScriptTestRoot"));
    reg.DeleteKey("\\ScriptTestRoot");
}

TEST(RegistryScript, FaultyScriptWritesNothing)
{
    using K = RegScriptKey;
    const RegScript cases[] = {
        {{K::Normal, "Velmora.Faulty", {{"", "ok"}}, {{K::Normal, "%UNKNOWN%", {}, {}}}}},
        {{K::Normal, "Velmora.Faulty", {{"", "%MODULE"}}, {}}},
        {{K::Normal, "Velmora.Faulty", {}, {{K::Normal, "a\\b", {}, {}}}}},
        {{K::Normal, "Velmora.Faulty", {}, {{K::Normal, "%EMPTY%", {}, {}}}}},
    };
    RegScriptReplacements replacements = kReplacements;
    replacements["EMPTY"] = "";
    for (const RegScript& script : cases) {
        EXPECT_EQ(RegistryScriptRegister(script, replacements), E_INVALIDARG);
        EXPECT_EQ(Read("Velmora.Faulty"), "(no key)");
    }
}

} // namespace
