// The ImageLoader's methods against a recording document: which pixels
// reach the document for each kind of file and frame, and what the caller
// is told when they cannot.
#include <fstream>
#include <optional>

#include "tests/imgaddon/ImgAddonTestSupport.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/TempDir.h"

namespace {

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// What should arrive: the size and the colour of pixel (0, 0).
struct Expected {
    int width, height;
    QRgb topLeft;
};

struct Call {
    const char* what;
    std::string file;
    // std::nullopt: AddImageFromFileNameEx; else AddTIFFImageFromFileName
    // with that page index.
    std::optional<uint32_t> page;
    std::optional<Expected> expected; // std::nullopt: E_FAIL and -1
};

HRESULT Add(IImageLoader* loader, const Call& c, TImageCompression compression, int32_t* img)
{
    CComBSTR name(Fixtures::Get().Path(c.file));
    return c.page ? loader->AddTIFFImageFromFileName(name, *c.page, compression, img)
                  : loader->AddImageFromFileNameEx(name, compression, img);
}

TEST(ImageLoader, AddsTheChosenFrameOfEachFileOrFails)
{
    const Expected png{4, 2, kRed}, tiffPage0{5, 4, kGreen}, tiffPage1{6, 3, kBlue};
    const Expected gif0{4, 4, kRed}, gif2{4, 4, kBlue};
    const Call calls[] = {
        {"png", "clear.png", std::nullopt, png},
        {"tiff: its first page", "pages.tif", std::nullopt, tiffPage0},
        {"gif: its first frame", "frames.gif", std::nullopt, gif0},
        {"missing file", "missing.png", std::nullopt, std::nullopt},
        {"garbage", "garbage.png", std::nullopt, std::nullopt},
        {"tiff page 0", "pages.tif", 0, tiffPage0},
        {"tiff page 1", "pages.tif", 1, tiffPage1},
        {"tiff page past the last", "pages.tif", 5, std::nullopt},
        {"gif frame 0", "frames.gif", 0, gif0},
        {"gif frame 2", "frames.gif", 2, gif2},
        {"gif frame past the last", "frames.gif", 3, std::nullopt},
        {"png page 0", "clear.png", 0, png},
        {"png page 1", "clear.png", 1, std::nullopt},
        {"missing file, page 0", "missing.png", 0, std::nullopt},
        {"garbage, page 0", "garbage.png", 0, std::nullopt},
    };
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    ASSERT_EQ(loader->ConnectToPDFLibrary(&doc), S_OK);
    int32_t compression = 0;
    for (const Call& c : calls) {
        SCOPED_TRACE(c.what);
        const size_t bitmapsBefore = ScreenBitmapCount();
        const size_t addedBefore = doc.added.size();
        // The compression value goes through unchanged, whatever it is.
        compression = (compression + 1) % 3;
        int32_t img = -7;
        const HRESULT hr = Add(loader.Get(), c, static_cast<TImageCompression>(compression), &img);
        EXPECT_EQ(ScreenBitmapCount(), bitmapsBefore) << "no screen bitmap left behind";
        if (!c.expected) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(img, -1);
            EXPECT_EQ(doc.added.size(), addedBefore);
            continue;
        }
        EXPECT_EQ(hr, S_OK);
        ASSERT_EQ(doc.added.size(), addedBefore + 1);
        EXPECT_EQ(img, static_cast<int32_t>(addedBefore)) << "the document's index";
        const RecordingDocument::Added& added = doc.added.back();
        EXPECT_EQ(added.compression, compression);
        EXPECT_EQ(added.indexOnEntry, 0);
        EXPECT_EQ(added.image.size(), QSize(c.expected->width, c.expected->height));
        EXPECT_EQ(added.image.pixel(0, 0), c.expected->topLeft);
        EXPECT_EQ(added.image.pixel(c.expected->width - 1, c.expected->height - 1) == kWhite,
            c.file == "clear.png")
            << "only the transparent corner of the PNG comes out white";
    }
    loader->DisconnectFromPDFLibrary();
}

// A document names whatever file it likes: a FIFO, a device or a folder is
// refused at once, on both ways in.
TEST(ImageLoader, SpecialFilesAreRefusedAtOnce)
{
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    ASSERT_EQ(loader->ConnectToPDFLibrary(&doc), S_OK);
    TempDir dir;
    for (const bool paged : {false, true}) {
        SCOPED_TRACE(paged ? "AddTIFFImageFromFileName" : "AddImageFromFileNameEx");
        ExpectSpecialFilesRefused(dir / (paged ? "paged" : "plain"), ".png", [&](const std::string& path) {
            CComBSTR name(path);
            int32_t img = -7;
            const HRESULT hr = paged ? loader->AddTIFFImageFromFileName(name, 0, TImageCompression(0), &img)
                                     : loader->AddImageFromFileNameEx(name, TImageCompression(0), &img);
            return hr == S_OK || img != -1;
        });
    }
}

TEST(ImageLoader, TransparencyIsBlendedOntoWhite)
{
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    loader->ConnectToPDFLibrary(&doc);
    int32_t img = -1;
    CComBSTR name(Fixtures::Get().Path("clear.png"));
    ASSERT_EQ(loader->AddImageFromFileNameEx(name, icFlate, &img), S_OK);
    const QImage& image = doc.added.at(0).image;
    EXPECT_EQ(qAlpha(image.pixel(3, 0)), 255) << "no transparency reaches the document";
    EXPECT_EQ(image.pixel(3, 0), kWhite);
    // Blue at half opacity over white.
    const QRgb half = image.pixel(1, 1);
    EXPECT_NEAR(qRed(half), 127, 2);
    EXPECT_NEAR(qGreen(half), 127, 2);
    EXPECT_EQ(qBlue(half), 255);
    loader->DisconnectFromPDFLibrary();
}

TEST(ImageLoader, WithoutAWorkingDocumentNothingIsAdded)
{
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    CComBSTR png(Fixtures::Get().Path("clear.png"));
    const size_t bitmapsBefore = ScreenBitmapCount();
    int32_t img = 5;
    EXPECT_EQ(loader->AddImageFromFileNameEx(png, icAuto, &img), E_FAIL) << "never connected";
    EXPECT_EQ(img, -1);
    img = 5;
    EXPECT_EQ(loader->AddTIFFImageFromFileName(png, 0, icAuto, &img), E_FAIL);
    EXPECT_EQ(img, -1);

    RecordingDocument doc;
    loader->ConnectToPDFLibrary(&doc);
    for (HRESULT failure : {E_FAIL, E_INVALIDARG, E_OUTOFMEMORY}) {
        doc.failWith = failure;
        img = 5;
        EXPECT_EQ(loader->AddImageFromFileNameEx(png, icAuto, &img), E_FAIL);
        EXPECT_EQ(img, -1);
        img = 5;
        EXPECT_EQ(loader->AddTIFFImageFromFileName(png, 0, icAuto, &img), E_FAIL);
        EXPECT_EQ(img, -1);
    }
    doc.failWith = S_OK;
    ASSERT_EQ(loader->DisconnectFromPDFLibrary(), S_OK);
    img = 5;
    EXPECT_EQ(loader->AddImageFromFileNameEx(png, icAuto, &img), E_FAIL) << "disconnected";
    EXPECT_EQ(img, -1);
    EXPECT_TRUE(doc.added.empty());
    EXPECT_EQ(ScreenBitmapCount(), bitmapsBefore);

    // No file name at all, and a name with a zero inside that would open
    // another file.
    loader->ConnectToPDFLibrary(&doc);
    EXPECT_EQ(loader->AddImageFromFileNameEx(nullptr, icAuto, &img), E_FAIL);
    EXPECT_EQ(img, -1);
    const std::u16string cut = WideFromUtf8(Fixtures::Get().Path("clear.png")) + u'\0' + u"x";
    BSTR withZero = SysAllocStringLen(cut.data(), static_cast<uint32_t>(cut.size()));
    EXPECT_EQ(loader->AddImageFromFileNameEx(withZero, icAuto, &img), E_FAIL);
    SysFreeString(withZero);
    EXPECT_TRUE(doc.added.empty());
    loader->DisconnectFromPDFLibrary();
}

TEST(ImageLoader, NullOutPointersAreRefused)
{
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    loader->ConnectToPDFLibrary(&doc);
    CComBSTR png(Fixtures::Get().Path("clear.png"));
    EXPECT_EQ(loader->AddImageFromFileNameEx(png, icAuto, nullptr), E_POINTER);
    EXPECT_EQ(loader->AddTIFFImageFromFileName(png, 0, icAuto, nullptr), E_POINTER);
    EXPECT_EQ(loader->GetImagePagesCount(png, nullptr), E_POINTER);
    EXPECT_TRUE(doc.added.empty());
    loader->DisconnectFromPDFLibrary();
}

TEST(ImageLoader, CountsTheFramesOfTheFirstDimension)
{
    const struct {
        std::string file;
        int32_t frames;
    } cases[] = {
        {"clear.png", 1}, {"pages.tif", 2}, {"frames.gif", 3}, {"missing.png", 0}, {"garbage.png", 0},
    };
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    const size_t bitmapsBefore = ScreenBitmapCount();
    for (const auto& c : cases) {
        int32_t count = -1;
        EXPECT_EQ(loader->GetImagePagesCount(CComBSTR(Fixtures::Get().Path(c.file)), &count), S_OK) << c.file;
        EXPECT_EQ(count, c.frames) << c.file;
    }
    int32_t count = -1;
    EXPECT_EQ(loader->GetImagePagesCount(nullptr, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ScreenBitmapCount(), bitmapsBefore);
}

TEST(ImageLoader, HoldsTheConnectedDocumentUntilDisconnectedOrGone)
{
    RecordingDocument first, second;
    {
        CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
        ASSERT_TRUE(loader);
        ASSERT_EQ(loader->ConnectToPDFLibrary(&first), S_OK);
        EXPECT_EQ(first.refs, 2u);
        ASSERT_EQ(loader->ConnectToPDFLibrary(&second), S_OK);
        EXPECT_EQ(first.refs, 1u) << "reconnecting lets the former document go";
        EXPECT_EQ(second.refs, 2u);
        ASSERT_EQ(loader->DisconnectFromPDFLibrary(), S_OK);
        EXPECT_EQ(second.refs, 1u);
        ASSERT_EQ(loader->DisconnectFromPDFLibrary(), S_OK) << "twice is harmless";
        ASSERT_EQ(loader->ConnectToPDFLibrary(&first), S_OK);
        ASSERT_EQ(loader->ConnectToPDFLibrary(nullptr), S_OK) << "null disconnects";
        EXPECT_EQ(first.refs, 1u);
        ASSERT_EQ(loader->ConnectToPDFLibrary(&second), S_OK);
    }
    EXPECT_EQ(second.refs, 1u) << "the loader's reference goes with it";
}

} // namespace

// A picture with a colour profile of its own reaches the document in the
// sRGB colours the program's artworks get, each TIFF page by its own profile.
TEST(ImageLoader, PicturesWithAProfileArriveInSrgb)
{
    TempDir dir;
    const auto write = [&dir](const std::string& name, const QByteArray& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(bytes.constData(), bytes.size());
        return dir / name;
    };
    const QRgb stored = qRgb(200, 60, 40);
    const std::string png = write("adobe.png", FlatPictureIn(TestSpace::AdobeRgb, stored, "png"));
    const std::string first = write("adobe.tif", FlatPictureIn(TestSpace::AdobeRgb, stored, "tiff"));
    const std::string second = write("p3.tif", FlatPictureIn(TestSpace::DisplayP3, stored, "tiff"));
    ASSERT_EQ(RunCommand("tiffcp '" + first + "' '" + second + "' '" + (dir / "pages.tif") + "'"), 0);

    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    ASSERT_EQ(loader->ConnectToPDFLibrary(&doc), S_OK);
    const struct {
        const char* what;
        std::string file;
        std::optional<uint32_t> page;
        TestSpace space;
    } calls[] = {
        {"png", png, std::nullopt, TestSpace::AdobeRgb},
        {"tiff page 0", dir / "pages.tif", 0, TestSpace::AdobeRgb},
        {"tiff page 1", dir / "pages.tif", 1, TestSpace::DisplayP3},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(c.what);
        int32_t img = -1;
        CComBSTR name(c.file);
        ASSERT_EQ(c.page ? loader->AddTIFFImageFromFileName(name, *c.page, icFlate, &img)
                         : loader->AddImageFromFileNameEx(name, icFlate, &img),
                  S_OK);
        const QRgb arrived = doc.added.back().image.pixel(5, 5);
        EXPECT_LE(ColourDistance(arrived, InSrgb(c.space, stored)), 1)
            << ColourText(arrived) << " for " << ColourText(InSrgb(c.space, stored));
    }
    loader->DisconnectFromPDFLibrary();
}

// A JPEG cut short is refused rather than added with grey rows in place of
// the lost ones; whole ones, with stray bytes or padding, are added.
TEST(ImageLoader, AJpegCutShortIsRefused)
{
    TempDir dir;
    CComPtr<IImageLoader> loader = ImgAddonModule::NewLoader();
    ASSERT_TRUE(loader);
    RecordingDocument doc;
    ASSERT_EQ(loader->ConnectToPDFLibrary(&doc), S_OK);
    for (const bool progressive : {false, true}) {
        const QByteArray whole = PhotoLikeJpeg(QSize(160, 120), progressive);
        QByteArray strayBytes = whole;
        strayBytes.insert(2, "\0\0\0", 3);  // before the first segment's marker
        const struct {
            const char* what;
            QByteArray file;
            HRESULT expected;
        } rows[] = {
            {"whole", whole, S_OK},
            {"padded after its end", whole + QByteArray(64, '\0'), S_OK},
            {"stray bytes before a marker", strayBytes, S_OK},
            {"cut in half", whole.left(whole.size() / 2), E_FAIL},
            {"without its end marker", whole.left(whole.size() - 2), E_FAIL},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(progressive ? "progressive, " : "baseline, ") + row.what);
            const std::string path = dir.Write("photo.jpg", row.file.toStdString());
            int32_t img = -1;
            EXPECT_EQ(loader->AddImageFromFileNameEx(CComBSTR(path), icAuto, &img), row.expected);
        }
    }
    loader->DisconnectFromPDFLibrary();
}
