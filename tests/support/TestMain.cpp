// Test entry point: every test process gets its own registry, data and
// config folders (see TestEnvironment.h), and a QApplication (offscreen) so
// widget and text-drawing code can run. Tests of the windows run under the
// program's application object, which shows what escapes a slot in a
// message box.
#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"
#ifdef VELMORA_TEST_APPLICATION
#include "app/TApplication.h"
#endif

int main(int argc, char** argv)
{
    TempDir home;
    UsePrivateTestEnvironment(home);
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
