// The install rules as a packager or user runs them: `cmake --install` of
// this build into a fresh prefix, then the installed files and the PDF
// document component found through the registry by the path it was
// installed at, as an installed program finds it.
#include "platform/com/ComRuntime.h"
#include "platform/pdf/PDFInterfaces.h"
#include "platform/com/BStr.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(InstallTest, InstallsTheComponentsAndRegistersThePdfComponent)
{
    TempDir prefix, registry;
    const char* saved = std::getenv("VELMORA_REGISTRY_DIR");
    const std::string savedRegistry = saved ? saved : "";
    ::setenv("VELMORA_REGISTRY_DIR", registry.Path().c_str(), 1);

    std::string out;
    ASSERT_EQ(RunCommand("env -u DESTDIR cmake --install '" + std::string(VELMORA_BUILD_DIR_PATH) + "' --prefix '" +
                             prefix.Path().string() + "' 2>&1",
                         &out),
              0)
        << out;
    const fs::path lib = prefix.Path() / "lib/velmora-voravev";
    for (const fs::path& file : {prefix.Path() / "bin/velmora-voravev", lib / "regsvr", lib / "quorvex-pdf.so",
                                 lib / "quorvex-imgaddon.so", prefix.Path() / "share/velmora-voravev/templates.vtp"})
        EXPECT_TRUE(fs::is_regular_file(file)) << file;

    // The program finds the component where it was installed, not in the build.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(WideFromUtf8(kPDFDocumentProgID).c_str(), &clsid), S_OK) << out;
    EXPECT_EQ(InprocServerPath(clsid), (lib / "quorvex-pdf.so").string());
    IUnknown* document = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IPDFDocument, reinterpret_cast<void**>(&document)),
              S_OK);
    if (document)
        document->Release();
    CoUninitialize();
    ::setenv("VELMORA_REGISTRY_DIR", savedRegistry.c_str(), 1);
}

} // namespace
