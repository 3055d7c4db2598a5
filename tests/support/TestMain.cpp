// Test entry point: every test process gets its own registry, data and
// config folders, so no test touches the user's real settings, and a
// QApplication (offscreen) so widget and text-drawing code can run. Tests of
// the windows run under the program's application object, which shows what
// escapes a slot in a message box.
#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#ifdef VELMORA_TEST_APPLICATION
#include "app/TApplication.h"
#endif

int main(int argc, char** argv)
{
    TempDir home;
    for (const char* var : {"VELMORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const auto dir = home.Path() / var;
        std::filesystem::create_directories(dir);
        setenv(var, dir.c_str(), 1);
    }
    // The test environment lives here rather than in CTest properties, so a
    // test program started by hand behaves as under ctest.
    setenv("VELMORA_SOURCE_DIR", VELMORA_SOURCE_DIR_PATH, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", "C.UTF-8", 0);
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifdef VELMORA_TEST_APPLICATION
    TApplication app(argc, argv);
#else
    QApplication app(argc, argv);
#endif
    // QApplication adopts the user's locale; the program's own texts never may.
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
