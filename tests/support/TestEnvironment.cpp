#include "tests/support/TestEnvironment.h"

#include <cstdlib>
#include <unistd.h>

void UsePrivateTestEnvironment(const TempDir& home)
{
    for (const char* var : {"VELMORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const auto dir = home.Path() / var;
        std::filesystem::create_directories(dir);
        setenv(var, dir.c_str(), 1);
    }
    // The named objects of the single-instance hand-over live in the cache
    // folder above, so no test meets a running program or another test
    // program; the runtime folder is private too.
    const auto runtime = home.Path() / "XDG_RUNTIME_DIR";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    // The test environment lives here rather than in CTest properties, so a
    // test program started by hand behaves as under ctest.
    setenv("VELMORA_SOURCE_DIR", VELMORA_SOURCE_DIR_PATH, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", "C.UTF-8", 0);
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}
