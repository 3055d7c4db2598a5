#include <dlfcn.h>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <set>
#include <thread>
#include <vector>

#include "platform/gdiplus/ScreenBitmap.h"

namespace {

QImage Checker()
{
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(Qt::black);
    image.setPixelColor(0, 0, QColor(255, 0, 0));
    image.setPixelColor(2, 1, QColor(0, 0, 255));
    return image;
}

}  // namespace

TEST(ScreenBitmap, LifeCycle)
{
    const std::size_t before = ScreenBitmapCount();
    const HBITMAP bitmap = CreateScreenBitmap(Checker());
    ASSERT_NE(bitmap, kNullBitmap);
    EXPECT_EQ(ScreenBitmapCount(), before + 1);

    const QImage stored = GetScreenBitmap(bitmap);
    ASSERT_FALSE(stored.isNull());
    EXPECT_EQ(stored.format(), QImage::Format_ARGB32);
    EXPECT_EQ(stored.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(stored.pixel(2, 1), qRgb(0, 0, 255));
    int width = 0, height = 0;
    EXPECT_TRUE(GetScreenBitmapSize(bitmap, &width, &height));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);

    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(ScreenBitmapCount(), before);
    EXPECT_TRUE(GetScreenBitmap(bitmap).isNull());
    EXPECT_FALSE(GetScreenBitmapSize(bitmap, &width, &height));
    EXPECT_FALSE(DeleteObject(bitmap)) << "a second delete must be refused";
    // The copy handed out earlier stays usable after the handle is gone.
    EXPECT_EQ(stored.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(ScreenBitmap, NullHandleAndNullImage)
{
    EXPECT_EQ(CreateScreenBitmap(QImage()), kNullBitmap);
    EXPECT_TRUE(GetScreenBitmap(kNullBitmap).isNull());
    EXPECT_FALSE(DeleteObject(kNullBitmap));
    EXPECT_TRUE(GetScreenBitmap(0xFFFFFFF0u).isNull());
}

TEST(ScreenBitmap, KeepsItsOwnPixels)
{
    QImage source(2, 2, QImage::Format_ARGB32);
    source.fill(QColor(10, 20, 30));
    const HBITMAP bitmap = CreateScreenBitmap(source);
    source.fill(QColor(200, 200, 200));
    EXPECT_EQ(GetScreenBitmap(bitmap).pixel(1, 1), qRgb(10, 20, 30));

    // Editing a copy taken from the table does not reach the table either.
    QImage taken = GetScreenBitmap(bitmap);
    taken.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_EQ(GetScreenBitmap(bitmap).pixel(0, 0), qRgb(10, 20, 30));
    DeleteObject(bitmap);
}

TEST(ScreenBitmap, ConcurrentUseGivesDistinctHandles)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 200;
    const std::size_t before = ScreenBitmapCount();
    std::vector<std::vector<HBITMAP>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &made] {
            QImage image(1, 1, QImage::Format_ARGB32);
            image.fill(QColor(t, 0, 0));
            for (int i = 0; i < kPerThread; ++i) {
                const HBITMAP h = CreateScreenBitmap(image);
                made[t].push_back(h);
                // Read back at once: another thread must never have got this id.
                if (qRed(GetScreenBitmap(h).pixel(0, 0)) != t)
                    made[t].back() = kNullBitmap;
                if (i % 2 == 0)
                    DeleteObject(h);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::set<HBITMAP> all;
    for (int t = 0; t < kThreads; ++t)
        for (HBITMAP h : made[t]) {
            ASSERT_NE(h, kNullBitmap);
            EXPECT_TRUE(all.insert(h).second) << "handle " << h << " handed out twice";
        }
    EXPECT_EQ(ScreenBitmapCount(), before + kThreads * kPerThread / 2);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 1; i < kPerThread; i += 2)
            EXPECT_TRUE(DeleteObject(made[t][i]));
    EXPECT_EQ(ScreenBitmapCount(), before);
}

// The image add-on makes a bitmap in its module and the PDF module reads it in
// another; both are opened privately (RTLD_LOCAL) by the program.
TEST(ScreenBitmap, OneTableAcrossLoadedModules)
{
    void* a = dlopen(SCREEN_BITMAP_MODULE_A, RTLD_NOW | RTLD_LOCAL);
    void* b = dlopen(SCREEN_BITMAP_MODULE_B, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(a, nullptr) << dlerror();
    ASSERT_NE(b, nullptr) << dlerror();
    using Create = uint32_t (*)(uint32_t);
    using Read = uint32_t (*)(uint32_t);
    using Delete = bool (*)(uint32_t);
    auto createInA = reinterpret_cast<Create>(dlsym(a, "ModuleCreateBitmap"));
    auto readInB = reinterpret_cast<Read>(dlsym(b, "ModuleReadPixel"));
    auto deleteInB = reinterpret_cast<Delete>(dlsym(b, "ModuleDeleteBitmap"));
    ASSERT_TRUE(createInA && readInB && deleteInB);

    const HBITMAP fromA = createInA(0xFF336699u);
    ASSERT_NE(fromA, kNullBitmap);
    EXPECT_EQ(readInB(fromA), 0xFF336699u);
    EXPECT_EQ(GetScreenBitmap(fromA).pixel(0, 0), 0xFF336699u) << "the program sees another table";

    const HBITMAP fromProgram = CreateScreenBitmap(Checker());
    EXPECT_EQ(readInB(fromProgram), qRgb(255, 0, 0));
    EXPECT_NE(fromProgram, fromA);

    EXPECT_TRUE(deleteInB(fromA));
    EXPECT_TRUE(GetScreenBitmap(fromA).isNull());
    EXPECT_TRUE(deleteInB(fromProgram));
    EXPECT_FALSE(DeleteObject(fromProgram));
    dlclose(b);
    dlclose(a);
}
