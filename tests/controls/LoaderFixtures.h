#pragma once
// The image files of make_loader_fixtures.py, written once per test program.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/TempDir.h"

inline const TempDir& LoaderFixtures()
{
    static const TempDir dir;
    static const bool written = [] {
        std::string out;
        const int status =
            RunCommand(std::string("/usr/bin/python3 ") + LOADER_FIXTURE_SCRIPT + " " + dir.Path().string(), &out);
        EXPECT_EQ(status, 0) << out;
        return status == 0;
    }();
    (void)written;
    return dir;
}
