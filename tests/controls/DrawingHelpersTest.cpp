#include <gtest/gtest.h>

#include <memory>

#include "controls/DrawingHelpers.h"
#include "tests/controls/PathElements.h"

TEST(DrawingHelpers, RoundedOutlinesFollowTheirRoundingType)
{
    const TGPRectF r = MakeRect(0.f, 0.f, 100.f, 40.f);
    struct Case {
        TFillRoundingType type;
        int radius;
        const char* elements;
    } cases[] = {
        {rtNone, 10, "M(0,0) L(100,0) L(100,40) L(0,40) L(0,0) Z"},
        {rtTop, 10, "M(0,10) B(10,0) L(90,0) B(100,10) L(100,40) L(0,40) L(0,10) Z"},
        {rtBottom, 10, "M(0,0) L(100,0) L(100,30) B(90,40) L(10,40) B(0,30) L(0,0) Z"},
        {rtBoth, 10, "M(0,10) B(10,0) L(90,0) B(100,10) L(100,30) B(90,40) L(10,40) B(0,30) L(0,10) Z"},
        {rtLeft, 10, "M(0,10) B(10,0) L(90,0) L(100,0) L(100,40) L(90,40) L(10,40) B(0,30) L(0,10) Z"},
        {rtRight, 10, "M(0,0) L(90,0) B(100,10) L(100,30) B(90,40) L(100,40) L(0,40) L(0,30) L(0,10) Z"},
        // No radius, or the negative one of a focus outline inside a wide
        // border: the plain rectangle.
        {rtBoth, 0, "M(0,0) L(100,0) L(100,40) L(0,40) L(0,0) Z"},
        {rtBoth, -1, "M(0,0) L(100,0) L(100,40) L(0,40) L(0,0) Z"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TGPGraphicsPath> path(CreateRoundRectangle(r, c.radius, c.type, false));
        EXPECT_EQ(c.elements, PathElements(*path)) << c.type << " radius " << c.radius;
        std::unique_ptr<TGPGraphicsPath> outline(CreateRoundRectPath(r, c.radius, c.type, false));
        const bool sideRounded = c.type == rtLeft || c.type == rtRight;
        EXPECT_EQ(sideRounded ? "" : c.elements, PathElements(*outline)) << c.type;
    }
}

TEST(DrawingHelpers, LocationOffsetPlacesTheObjectInTheRectangle)
{
    // 100.5 rounds to 100 (halves to even), 101.5 to 102.
    const TGPRectF r = MakeRect(10.f, 20.f, 100.5f, 50.f);
    struct Case {
        TSmoothImageListBoxLocation location;
        int w, h;
        float x, y;
    } cases[] = {
        {cpTopLeft, 20, 10, 10, 20},       {cpTopCenter, 20, 10, 50, 20},     {cpTopRight, 20, 10, 90, 20},
        {cpCenterLeft, 20, 11, 10, 39.5f}, {cpCenterCenter, 21, 10, 49.5f, 40}, {cpCenterRight, 20, 10, 90, 40},
        {cpBottomLeft, 20, 10, 10, 60},    {cpBottomCenter, 20, 10, 50, 60},  {cpBottomRight, 20, 10, 90, 60},
        {cpCustom, 20, 10, 15, 26},
        // Larger than R: it overhangs to the left and top.
        {cpBottomRight, 120, 70, -10, 0},  {cpCenterCenter, 120, 70, 0, 10},
    };
    for (const Case& c : cases) {
        float x = 5, y = 6;
        GetLocationOffset(x, y, r, c.w, c.h, c.location);
        EXPECT_FLOAT_EQ(c.x, x) << c.location << " " << c.w;
        EXPECT_FLOAT_EQ(c.y, y) << c.location << " " << c.w;
    }
    float x = 0, y = 0;
    GetLocationOffset(x, y, MakeRect(0.f, 0.f, 101.5f, 10.f), 2, 0, cpTopRight);
    EXPECT_FLOAT_EQ(100, x);
}

TEST(DrawingHelpers, BlendColorLightensTowardWhite)
{
    const TColor c = RGB(0x40, 0xC8, 0x00);
    EXPECT_EQ(c, BlendColor(c, 0));
    // 64 + 191·0.6 = 178.6; 200 + 55·0.6 = 233; 0 + 255·0.6 = 153.
    EXPECT_EQ(RGB(179, 233, 153), BlendColor(c, 60));
    EXPECT_EQ(RGB(255, 255, 255), BlendColor(c, 100));
    // Beyond 100 % the channels stop at white instead of wrapping to dark.
    EXPECT_EQ(RGB(255, 255, 255), BlendColor(c, 200));
    // The button shadow is 160 grey: 160 + 95·0.5 = 207.5 → 208.
    EXPECT_EQ(RGB(208, 208, 208), BlendColor(colors::clBtnShadow, 50));
}
