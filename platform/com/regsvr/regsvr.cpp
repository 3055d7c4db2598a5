// Registers or unregisters an in-process server module:
//   regsvr [/u] [/s] module.so
// Exit status 0 on success, 1 on bad usage, 2 when the module cannot be
// loaded, 3 when it lacks the entry point, 4 when the entry point fails.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/ComRuntime.h"

int main(int argc, char** argv)
{
    bool unregister = false, silent = false;
    std::string module;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if ((a[0] == '/' || a[0] == '-') && a[1] && !a[2] && (a[1] == 'u' || a[1] == 'U'))
            unregister = true;
        else if ((a[0] == '/' || a[0] == '-') && a[1] && !a[2] && (a[1] == 's' || a[1] == 'S'))
            silent = true;
        else if (module.empty())
            module = a;
        else
            module.clear(), i = argc;
    }
    if (module.empty()) {
        std::fprintf(stderr, "usage: regsvr [/u] [/s] module\n");
        return 1;
    }
    // A module found by a relative path must be registered by its full path.
    if (module.find('/') == std::string::npos)
        module = "./" + module;
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", module.c_str(), dlerror());
        return 2;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "regsvr: %s has no %s\n", module.c_str(), entry);
        return 3;
    }
    const HRESULT hr = fn();
    if (FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s in %s failed: 0x%08X\n", entry, module.c_str(), static_cast<unsigned>(hr));
        return 4;
    }
    if (!silent)
        std::printf("%s in %s succeeded.\n", entry, module.c_str());
    return 0;
}
