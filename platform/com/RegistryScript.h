#pragma once
// A server module's registry entries under HKEY_CLASSES_ROOT, kept as a tree
// of keys that registration writes and unregistration removes. Texts (key
// names, value names and data) may hold "%NAME%" placeholders, replaced when
// the script is applied ("%%" is a literal "%").
//
// Keys are of three kinds:
// - NoRemove: written when missing, never removed (shared parents such as
//   "CLSID"); only its sub-keys of the script are removed.
// - ForceRemove: deleted with its whole subtree before it is written, and
//   removed with its subtree.
// - Normal: written over what is there; on removal its sub-keys of the
//   script and its values are removed, then the key itself when nothing else
//   is left in it.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/HResult.h"

struct RegScriptKey {
    enum Kind { Normal, NoRemove, ForceRemove };

    Kind kind = Normal;
    std::string name;
    // Named string values; the empty name is the key's default value.
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<RegScriptKey> subKeys;
};

using RegScript = std::vector<RegScriptKey>;
using RegScriptReplacements = std::map<std::string, std::string>;

// REGDB_E_WRITEREGDB when the hive cannot be written; E_INVALIDARG for a
// placeholder without a replacement or a key name that is empty or holds
// "\" after replacement (nothing is written then).
HRESULT RegistryScriptRegister(const RegScript& script, const RegScriptReplacements& replacements);
HRESULT RegistryScriptUnregister(const RegScript& script, const RegScriptReplacements& replacements);
