#pragma once
// A fixture that keeps the drawing layer started for one test.
#include <gtest/gtest.h>

#include "platform/gdiplus/GdiPlusStartup.h"

class LayerStarted : public ::testing::Test {
protected:
    void SetUp() override
    {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(token_); }
    ULONG_PTR token_ = 0;
};
