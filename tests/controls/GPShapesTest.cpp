// Lines, fills, gradients, hatches, clips and matrices, checked at pixels
// whose places follow from the geometry.
#include <gtest/gtest.h>

#include <set>

#include "tests/controls/DrawingFixture.h"

namespace {
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
}  // namespace

TEST(GPStatus, FailureIsReportedOnceThenOk)
{
    DrawingSurface s;
    EXPECT_EQ(s.G().SetSmoothingMode(static_cast<SmoothingMode>(42)), InvalidParameter);
    EXPECT_EQ(s.G().SetSmoothingMode(SmoothingModeAntiAlias), Ok);
    EXPECT_EQ(s.G().GetSmoothingMode(), SmoothingModeAntiAlias);
    EXPECT_EQ(s.G().GetLastStatus(), InvalidParameter);
    EXPECT_EQ(s.G().GetLastStatus(), Ok);

    // A wrapper whose creation failed keeps that status and passes its null
    // handle on, which fails too.
    TGPMatrix matrix(TGPRectF{0, 0, 0, 0}, nullptr);
    EXPECT_EQ(matrix.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(matrix.Translate(1, 1), InvalidParameter);
    EXPECT_EQ(matrix.Clone(), nullptr);
    TGPBrush empty;
    EXPECT_EQ(empty.LastResult(), NotImplemented);
}

TEST(GPFill, ZeroSizeRectangleLeavesTheImageAsItWas)
{
    DrawingSurface s;
    const QImage before = [] {
        QImage i(120, 50, QImage::Format_ARGB32);
        i.fill(kWhite);
        return i;
    }();
    TGPSolidBrush brush(MakeColor(255, 255, 0, 0));
    EXPECT_EQ(s.G().FillRectangle(&brush, TGPRectF{10, 10, 0, 20}), Ok);
    EXPECT_EQ(s.G().FillRectangle(&brush, TGPRectF{10, 10, 30, 0}), Ok);
    EXPECT_EQ(s.G().FillRectangle(static_cast<TGPBrush*>(nullptr), TGPRectF{10, 10, 30, 20}), Ok);
    EXPECT_EQ(s.G().GetLastStatus(), Ok);
    EXPECT_EQ(s.Finish(), before);
}

TEST(GPPen, OnePixelDotsAlternateAndFlatCapsStopAtTheEnd)
{
    DrawingSurface s;
    TGPPen dotted(MakeColor(255, 0, 0, 0), 1);
    dotted.SetDashStyle(DashStyleDot);
    s.G().DrawLine(&dotted, 10, 5, 40, 5);
    TGPPen thick(MakeColor(255, 0, 0, 255), 6);
    s.G().DrawLine(&thick, 10, 20, 50, 20);
    const QImage& img = s.Finish();
    for (int x = 10; x < 40; ++x)
        EXPECT_EQ(img.pixel(x, 5), (x - 10) % 2 == 0 ? kBlack : kWhite) << "x=" << x;
    EXPECT_EQ(img.pixel(9, 5), kWhite);
    // Rows 17..22 are covered; the line ends at x = 50 with no cap beyond it.
    for (int y = 17; y <= 22; ++y) {
        EXPECT_EQ(img.pixel(10, y), 0xFF0000FFu) << y;
        EXPECT_EQ(img.pixel(49, y), 0xFF0000FFu) << y;
        EXPECT_EQ(img.pixel(50, y), kWhite) << y;
        EXPECT_EQ(img.pixel(9, y), kWhite) << y;
    }
    EXPECT_EQ(img.pixel(30, 16), kWhite);
    EXPECT_EQ(img.pixel(30, 23), kWhite);
}

TEST(GPPen, DashPatternsAreInUnitsOfTheWidth)
{
    struct Case {
        DashStyle style;
        const char* pattern;  // one character per pixel along a 1-px line
    };
    const Case cases[] = {
        {DashStyleDash, "###.###.###."},
        {DashStyleDashDot, "###.#.###.#."},
        {DashStyleDashDotDot, "###.#.#.###."},
    };
    for (const Case& c : cases) {
        DrawingSurface s;
        TGPPen pen(MakeColor(255, 0, 0, 0), 1);
        pen.SetDashStyle(c.style);
        s.G().DrawLine(&pen, 0, 3, 12, 3);
        const QImage& img = s.Finish();
        std::string seen;
        for (int x = 0; x < 12; ++x)
            seen += img.pixel(x, 3) == kBlack ? '#' : '.';
        EXPECT_EQ(seen, c.pattern) << c.style;
    }
}

TEST(GPPath, RoundedRectangleLeavesItsCornersUntouched)
{
    DrawingSurface s;
    TGPGraphicsPath path;
    const float x = 10, y = 10, w = 60, h = 30, r = 10;
    path.AddArc(x, y, 2 * r, 2 * r, 180, 90);
    path.AddArc(x + w - 2 * r, y, 2 * r, 2 * r, 270, 90);
    path.AddArc(x + w - 2 * r, y + h - 2 * r, 2 * r, 2 * r, 0, 90);
    path.AddArc(x, y + h - 2 * r, 2 * r, 2 * r, 90, 90);
    path.CloseFigure();
    TGPSolidBrush brush(MakeColor(255, 0, 128, 0));
    EXPECT_EQ(s.G().FillPath(&brush, &path), Ok);
    const QImage& img = s.Finish();
    const QRgb green = 0xFF008000u;
    // The corner pixels lie outside every arc.
    EXPECT_EQ(img.pixel(10, 10), kWhite);
    EXPECT_EQ(img.pixel(11, 11), kWhite);
    EXPECT_EQ(img.pixel(69, 10), kWhite);
    EXPECT_EQ(img.pixel(10, 39), kWhite);
    EXPECT_EQ(img.pixel(69, 39), kWhite);
    // Edges between the arcs and the middle are filled.
    EXPECT_EQ(img.pixel(40, 10), green);
    EXPECT_EQ(img.pixel(10, 25), green);
    EXPECT_EQ(img.pixel(40, 25), green);
    EXPECT_EQ(img.pixel(16, 16), green) << "inside the arc near the corner";
    EXPECT_EQ(img.pixel(40, 41), kWhite);
}

TEST(GPPath, LinesAndArcsJoinOneOpenFigure)
{
    TGPGraphicsPath path;
    path.AddLine(0.0f, 0.0f, 10.0f, 0.0f);
    path.AddLine(20.0f, 0.0f, 30.0f, 0.0f);  // joined by a line from (10, 0)
    EXPECT_EQ(path.GetPointCount(), 4);
    path.AddArc(0, 0, 0, 10, 0, 90);  // no size: adds nothing
    EXPECT_EQ(path.GetPointCount(), 4);
    path.CloseFigure();
    path.AddEllipse(0, 0, 10, 10);
    EXPECT_EQ(path.GetPointCount(), 4 + 13);
    // Arcs run clockwise: a quarter from 0 degrees ends at the bottom.
    GpPath* native = path.NativePath();
    TGPGraphicsPath arc;
    arc.AddArc(0, 0, 20, 20, 0, 90);
    GpPointF points[4];
    ASSERT_EQ(GdipGetPathPoints(arc.NativePath(), points, 4), Ok);
    EXPECT_NEAR(points[0].X, 20, 1e-4);
    EXPECT_NEAR(points[0].Y, 10, 1e-4);
    EXPECT_NEAR(points[3].X, 10, 1e-4);
    EXPECT_NEAR(points[3].Y, 20, 1e-4);
    (void)native;
}

TEST(GPGradient, VerticalGradientOverAGrownRectangle)
{
    DrawingSurface s;
    TGPLinearGradientBrush brush(TGPRectF{9, 9, 102, 22}, MakeColor(255, 255, 0, 0), MakeColor(255, 0, 0, 255),
                                 LinearGradientModeVertical);
    brush.SetGammaCorrection(true);
    EXPECT_EQ(s.G().FillRectangle(&brush, TGPRectF{10, 10, 100, 20}), Ok);
    const QImage& img = s.Finish();
    // Mixed in linear light, the far colour stays faint near each end.
    for (int x : {10, 60, 109}) {
        EXPECT_GT(qRed(img.pixel(x, 10)), 245) << std::hex << img.pixel(x, 10);
        EXPECT_LT(qBlue(img.pixel(x, 10)), 100) << std::hex << img.pixel(x, 10);
        EXPECT_GT(qBlue(img.pixel(x, 29)), 245) << std::hex << img.pixel(x, 29);
        EXPECT_LT(qRed(img.pixel(x, 29)), 100) << std::hex << img.pixel(x, 29);
        EXPECT_EQ(img.pixel(x, 9), kWhite);
        EXPECT_EQ(img.pixel(x, 30), kWhite);
    }
    EXPECT_EQ(img.pixel(9, 20), kWhite);
    EXPECT_EQ(img.pixel(110, 20), kWhite);
    // Going down, red falls and blue rises.
    EXPECT_GT(qRed(img.pixel(50, 12)), qRed(img.pixel(50, 27)));
    EXPECT_LT(qBlue(img.pixel(50, 12)), qBlue(img.pixel(50, 27)));
}

TEST(GPGradient, GammaCorrectionMixesInLinearLight)
{
    auto middle = [](bool gamma) {
        DrawingSurface s(101, 4);
        TGPLinearGradientBrush brush(TGPRectF{0, 0, 101, 4}, MakeColor(255, 0, 0, 0), MakeColor(255, 255, 255, 255),
                                     LinearGradientModeHorizontal);
        brush.SetGammaCorrection(gamma);
        s.G().FillRectangle(&brush, TGPRectF{0, 0, 101, 4});
        return qRed(s.Finish().pixel(50, 2));
    };
    EXPECT_NEAR(middle(false), 128, 6);
    // Half the light of white is a much brighter grey.
    EXPECT_NEAR(middle(true), 186, 8);
}

TEST(GPGradient, PathGradientEllipseHasItsCentreAndSurroundColours)
{
    DrawingSurface s(120, 60);
    TGPGraphicsPath path;
    path.AddEllipse(10.0f, 10.0f, 80.0f, 40.0f);
    TGPPathGradientBrush brush(&path);
    EXPECT_EQ(brush.GetPointCount(), 13);
    brush.SetCenterColor(MakeColor(255, 255, 255, 0));
    ARGB surround = MakeColor(255, 0, 0, 255);
    int count = 1;
    EXPECT_EQ(brush.SetSurroundColors(&surround, count), Ok);
    int tooMany = 14;
    ARGB many[14] = {};
    EXPECT_EQ(brush.SetSurroundColors(many, tooMany), InvalidParameter);
    brush.SetCenterPoint(TGPPointF{50, 30});
    s.G().FillPath(&brush, &path);
    const QImage& img = s.Finish();
    EXPECT_TRUE(Near(img.pixel(50, 30), 0xFFFFFF00u, 12)) << std::hex << img.pixel(50, 30);
    EXPECT_TRUE(Near(img.pixel(11, 30), 0xFF0000FFu, 40)) << std::hex << img.pixel(11, 30);
    EXPECT_TRUE(Near(img.pixel(50, 11), 0xFF0000FFu, 40)) << std::hex << img.pixel(50, 11);
    EXPECT_EQ(img.pixel(5, 5), kWhite) << "nothing outside the ellipse";
    EXPECT_EQ(img.pixel(12, 12), kWhite);
}

TEST(GPGradient, PathGradientOfAPolygonIsPaintedToo)
{
    DrawingSurface s(60, 60);
    const TGPPointF square[4] = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};
    TGPPathGradientBrush brush(square, 4);
    brush.SetCenterColor(MakeColor(255, 0, 0, 0));
    ARGB edges[4] = {MakeColor(255, 255, 0, 0), MakeColor(255, 255, 0, 0), MakeColor(255, 0, 0, 255),
                     MakeColor(255, 0, 0, 255)};
    int count = 4;
    ASSERT_EQ(brush.SetSurroundColors(edges, count), Ok);
    ARGB back[4];
    int room = 2;
    EXPECT_EQ(brush.GetSurroundColors(back, room), InsufficientBuffer);
    room = 4;
    EXPECT_EQ(brush.GetSurroundColors(back, room), Ok);
    EXPECT_EQ(back[2], edges[2]);
    s.G().FillRectangle(&brush, TGPRectF{0, 0, 60, 60});
    const QImage& img = s.Finish();
    EXPECT_LT(qRed(img.pixel(30, 30)) + qBlue(img.pixel(30, 30)), 40) << "dark centre";
    EXPECT_GT(qRed(img.pixel(30, 11)), 200) << "red along the top edge";
    EXPECT_GT(qBlue(img.pixel(30, 48)), 180) << "blue along the bottom edge";
    EXPECT_EQ(img.pixel(5, 5), kWhite);
}

TEST(GPHatch, PatternsSitOnTheSurfaceGrid)
{
    auto render = [](HatchStyle style, int x0 = 0) {
        DrawingSurface s(16, 16);
        TGPHatchBrush brush(style, MakeColor(255, 0, 0, 0), MakeColor(255, 255, 255, 255));
        s.G().FillRectangle(&brush, TGPRectF{float(x0), 0, float(16 - x0), 16});
        return s.Finish();
    };
    const QImage horizontal = render(HatchStyleHorizontal);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(horizontal.pixel(3, y), y % 8 == 0 ? kBlack : kWhite) << y;
    const QImage cross = render(HatchStyleCross);
    EXPECT_EQ(cross.pixel(8, 3), kBlack);
    EXPECT_EQ(cross.pixel(5, 8), kBlack);
    EXPECT_EQ(cross.pixel(5, 3), kWhite);
    const QImage half = render(HatchStyle50Percent);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(half.pixel(x, y), (x + y) % 2 == 0 ? kBlack : kWhite) << x << "," << y;
    // Anchored at the surface, not at the filled shape.
    const QImage shifted = render(HatchStyleVertical, 3);
    EXPECT_EQ(shifted.pixel(8, 5), kBlack);
    EXPECT_EQ(shifted.pixel(3, 5), kWhite);

    std::set<QByteArray> seen;
    for (int style = HatchStyleMin; style <= HatchStyleMax; ++style) {
        const QImage img = render(static_cast<HatchStyle>(style)).copy(0, 0, 8, 8);
        seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
    }
    EXPECT_EQ(seen.size(), std::size_t(HatchStyleTotal));
    TGPHatchBrush bad(static_cast<HatchStyle>(HatchStyleTotal), 0, 0);
    EXPECT_EQ(bad.LastResult(), InvalidParameter);
}

TEST(GPClip, ClipsStayInsideThePaintersClip)
{
    QImage image(60, 40, QImage::Format_ARGB32);
    image.fill(kWhite);
    {
        QPainter painter(&image);
        painter.setClipRect(QRect(10, 10, 20, 20));
        {
            TGPGraphics g(&painter);
            TGPSolidBrush red(MakeColor(255, 255, 0, 0));
            TGPRegion wide(TGPRectF{0, 0, 60, 40});
            g.SetClip(&wide);  // wider than the painter's: still limited by it
            g.FillRectangle(&red, TGPRectF{0, 0, 60, 40});
            TGPRegion inner(TGPRectF{20, 20, 30, 15});
            g.SetClip(&inner, CombineModeReplace);
            TGPSolidBrush blue(MakeColor(255, 0, 0, 255));
            g.FillRectangle(&blue, TGPRectF{0, 0, 60, 40});
            g.ResetClip();
            TGPSolidBrush green(MakeColor(255, 0, 255, 0));
            g.FillRectangle(&green, TGPRectF{0, 0, 60, 5});  // outside the painter's clip
            g.FillRectangle(&green, TGPRectF{0, 0, 12, 40});
        }
        // The painter gets its own state back.
        EXPECT_EQ(painter.clipBoundingRect(), QRectF(10, 10, 20, 20));
    }
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            if (x < 10 || x >= 30 || y < 10 || y >= 30) {
                ASSERT_EQ(image.pixel(x, y), kWhite) << x << "," << y;
            }
        }
    EXPECT_EQ(image.pixel(11, 15), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(12, 15), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(15, 25), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(25, 25), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(25, 15), 0xFFFF0000u);
}

TEST(GPClip, ExcludeCutsOutOfTheClip)
{
    DrawingSurface s(40, 20);
    s.G().ExcludeClip(TGPRectF{10, 5, 10, 10});
    TGPSolidBrush black(MakeColor(255, 0, 0, 0));
    s.G().FillRectangle(&black, TGPRectF{0, 0, 40, 20});
    const QImage& img = s.Finish();
    EXPECT_EQ(img.pixel(15, 10), kWhite);
    EXPECT_EQ(img.pixel(5, 10), kBlack);
    EXPECT_EQ(img.pixel(25, 10), kBlack);
}

TEST(GPMatrix, RotateAtInBothOrders)
{
    const TGPPointF centre{10, 20};
    for (MatrixOrder order : {MatrixOrderPrepend, MatrixOrderAppend}) {
        TGPMatrix m;
        ASSERT_EQ(m.RotateAt(90, centre, order), Ok);
        TGPPointF p[2] = {{20, 20}, {10, 20}};
        m.TransformPoints(p, 2);
        // A quarter turn clockwise about the centre (y grows downwards).
        EXPECT_NEAR(p[0].X, 10, 1e-4) << order;
        EXPECT_NEAR(p[0].Y, 30, 1e-4) << order;
        EXPECT_NEAR(p[1].X, 10, 1e-4);
        EXPECT_NEAR(p[1].Y, 20, 1e-4);
    }
    // With another step already in the matrix the orders differ: prepend
    // rotates first, append last.
    TGPMatrix prepend, append;
    prepend.Translate(100, 0);
    append.Translate(100, 0);
    prepend.RotateAt(90, centre, MatrixOrderPrepend);
    append.RotateAt(90, centre, MatrixOrderAppend);
    TGPPointF a{20, 20}, b{20, 20};
    prepend.TransformPoints(&a);
    append.TransformPoints(&b);
    EXPECT_NEAR(a.X, 110, 1e-4);
    EXPECT_NEAR(a.Y, 30, 1e-4);
    EXPECT_NEAR(b.X, 10, 1e-4);
    EXPECT_NEAR(b.Y, 130, 1e-4);
    EXPECT_FLOAT_EQ(prepend.OffsetX(), 100 + 30);
}

TEST(GPTexture, TilesMirrorsOrStopsAtTheImage)
{
    TGPBitmap tile(2, 1);
    tile.SetPixel(0, 0, 0xFFFF0000u);
    tile.SetPixel(1, 0, 0xFF0000FFu);
    struct Case {
        WrapMode wrap;
        const char* row;  // colours of pixels 0..5 of row 0: r, b, or w (untouched)
    };
    for (const Case& c : {Case{WrapModeTile, "rbrbrb"}, Case{WrapModeTileFlipX, "rbbrrb"},
                          Case{WrapModeClamp, "rbwwww"}}) {
        DrawingSurface s(6, 2);
        TGPTextureBrush brush(&tile, c.wrap);
        ASSERT_EQ(brush.LastResult(), Ok);
        s.G().FillRectangle(&brush, TGPRectF{0, 0, 6, 2});
        const QImage& img = s.Finish();
        std::string seen;
        for (int x = 0; x < 6; ++x)
            seen += img.pixel(x, 0) == 0xFFFF0000u ? 'r' : img.pixel(x, 0) == 0xFF0000FFu ? 'b' : 'w';
        EXPECT_EQ(seen, c.row) << c.wrap;
    }
    TGPTextureBrush part(&tile, WrapModeTile, 1, 0, 1, 1);
    TGPImage* image = part.GetImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 1u);
    delete image;
    TGPTextureBrush outside(&tile, WrapModeTile, 1, 0, 5, 1);
    EXPECT_EQ(outside.LastResult(), InvalidParameter);
}

TEST(GPPen, BrushOfAPenIsACopyOfItsKind)
{
    TGPPen solid(MakeColor(255, 1, 2, 3), 2);
    EXPECT_EQ(solid.GetPenType(), PenTypeSolidColor);
    TGPBrush* brush = solid.GetBrush();
    ASSERT_NE(dynamic_cast<TGPSolidBrush*>(brush), nullptr);
    ARGB colour = 0;
    EXPECT_EQ(GdipGetSolidFillColor(static_cast<GpSolidFill*>(brush->NativeBrush()), &colour), Ok);
    EXPECT_EQ(colour, MakeColor(255, 1, 2, 3));
    delete brush;

    TGPHatchBrush hatch(HatchStyleCross, 0xFF000000u, 0xFFFFFFFFu);
    TGPPen hatched(&hatch, 3);
    TGPBrush* copy = hatched.GetBrush();
    auto* asHatch = dynamic_cast<TGPHatchBrush*>(copy);
    ASSERT_NE(asHatch, nullptr);
    EXPECT_EQ(asHatch->GetHatchStyle(), HatchStyleCross);
    delete copy;
    TGPPen none(static_cast<TGPBrush*>(nullptr));
    EXPECT_EQ(none.LastResult(), InvalidParameter);
    EXPECT_EQ(none.GetBrush(), nullptr);
}

TEST(GPGradient, EachGammaGradientKeepsItsOwnColoursWhenDrawnAgain)
{
    // Kept gradient colours must never stand in for another gradient's:
    // each is drawn after the others and compared with its first drawing.
    struct Case {
        ARGB from, to;
        LinearGradientMode mode;
    };
    const std::vector<Case> cases = {
        {MakeColor(255, 255, 0, 0), MakeColor(255, 0, 0, 255), LinearGradientModeVertical},
        {MakeColor(255, 0, 0, 255), MakeColor(255, 255, 0, 0), LinearGradientModeVertical},
        {MakeColor(255, 255, 0, 0), MakeColor(255, 0, 0, 254), LinearGradientModeVertical},
        {MakeColor(128, 255, 0, 0), MakeColor(255, 0, 0, 255), LinearGradientModeHorizontal},
    };
    auto draw = [](const Case& c) {
        DrawingSurface s(40, 40);
        TGPLinearGradientBrush brush(TGPRectF{0, 0, 40, 40}, c.from, c.to, c.mode);
        brush.SetGammaCorrection(true);
        s.G().FillRectangle(&brush, TGPRectF{0, 0, 40, 40});
        return s.Finish().copy();
    };
    std::vector<QImage> first;
    for (const Case& c : cases)
        first.push_back(draw(c));
    for (int round = 0; round < 2; ++round)
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(first[i], draw(cases[i]));
        }
    EXPECT_NE(first[0], first[1]);
    EXPECT_NE(first[0], first[2]);
}
