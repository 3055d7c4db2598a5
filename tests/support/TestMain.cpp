// Test entry point: every test process gets its own registry, data and
// config folders (see TestEnvironment.h), and a QApplication (offscreen) so
// widget and text-drawing code can run.
#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    TempDir home;
    UsePrivateTestEnvironment(home);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // QApplication adopts the user's locale; the program's own texts never may.
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
