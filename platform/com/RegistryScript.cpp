#include "platform/com/RegistryScript.h"

#include "platform/registry/Registry.h"

namespace {

bool Expand(const std::string& text, const RegScriptReplacements& replacements, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const size_t end = text.find('%', i + 1);
        if (end == std::string::npos)
            return false;
        if (end == i + 1) {
            out += '%';
        } else {
            const auto it = replacements.find(text.substr(i + 1, end - i - 1));
            if (it == replacements.end())
                return false;
            out += it->second;
        }
        i = end;
    }
    return true;
}

// The script with every placeholder replaced and every key name checked, so
// that a faulty script is refused before anything is written.
bool Resolve(const RegScript& script, const RegScriptReplacements& replacements, RegScript& out)
{
    out.clear();
    for (const RegScriptKey& key : script) {
        RegScriptKey resolved;
        resolved.kind = key.kind;
        if (!Expand(key.name, replacements, resolved.name) || resolved.name.empty()
            || resolved.name.find('\\') != std::string::npos)
            return false;
        for (const auto& [name, data] : key.values) {
            std::string n, d;
            if (!Expand(name, replacements, n) || !Expand(data, replacements, d))
                return false;
            resolved.values.emplace_back(std::move(n), std::move(d));
        }
        if (!Resolve(key.subKeys, replacements, resolved.subKeys))
            return false;
        out.push_back(std::move(resolved));
    }
    return true;
}

void Write(TRegistry& reg, const std::string& parent, const RegScriptKey& key)
{
    const std::string path = parent + "\\" + key.name;
    if (key.kind == RegScriptKey::ForceRemove && reg.KeyExists(path) && !reg.DeleteKey(path))
        throw ERegistryException("cannot replace " + path);
    if (!reg.OpenKey(path, true))
        throw ERegistryException("cannot create " + path);
    for (const auto& [name, data] : key.values)
        reg.WriteString(name, data);
    reg.CloseKey();
    for (const RegScriptKey& sub : key.subKeys)
        Write(reg, path, sub);
}

void Remove(TRegistry& reg, const std::string& parent, const RegScriptKey& key)
{
    const std::string path = parent + "\\" + key.name;
    if (!reg.KeyExists(path))
        return;
    if (key.kind == RegScriptKey::ForceRemove) {
        reg.DeleteKey(path);
        return;
    }
    for (const RegScriptKey& sub : key.subKeys)
        Remove(reg, path, sub);
    if (key.kind == RegScriptKey::NoRemove)
        return;
    if (!reg.OpenKey(path, false))
        return;
    for (const auto& value : key.values)
        if (reg.ValueExists(value.first))
            reg.DeleteValue(value.first);
    // What others added to the key keeps it.
    const bool empty = !reg.HasSubKeys() && reg.GetValueNames().empty();
    reg.CloseKey();
    if (empty)
        reg.DeleteKey(path);
}

template <class Step>
HRESULT Run(const RegScript& script, const RegScriptReplacements& replacements, Step step)
{
    RegScript resolved;
    if (!Resolve(script, replacements, resolved))
        return E_INVALIDARG;
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        for (const RegScriptKey& key : resolved)
            step(reg, "", key);
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

} // namespace

HRESULT RegistryScriptRegister(const RegScript& script, const RegScriptReplacements& replacements)
{
    return Run(script, replacements, Write);
}

HRESULT RegistryScriptUnregister(const RegScript& script, const RegScriptReplacements& replacements)
{
    return Run(script, replacements, Remove);
}
