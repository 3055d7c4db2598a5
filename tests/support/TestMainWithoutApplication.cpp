// Test entry point for code that runs inside other programs, which may have
// no application object: the private folders of TestMain.cpp, no QApplication.
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    TempDir home;
    UsePrivateTestEnvironment(home);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
