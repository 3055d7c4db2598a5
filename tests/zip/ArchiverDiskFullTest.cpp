// An archive written onto a disk that fills up: the failure says that the
// disk is full and where, from the error the system gave, and nothing of the
// attempt but the archive as it stood before the failed add is left on
// the disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/SmallDisk.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace {

TEST(ArchiverDiskFullTest, FullDiskIsNamedWithItsFolder)
{
    SmallDisk disk(256 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const std::string path = disk / "plain.zip";
    std::string noise(1 << 20, '\0');
    std::mt19937 random(3);
    for (char& c : noise)
        c = char(random() & 0xFF);

    std::string message;
    try {
        TZipArchiver archiver;
        archiver.FileName = UTF8ToWide(path);
        archiver.OpenArchive(0xFFFF);
        TMemoryStream stream;
        stream.WriteBuffer(noise.data(), int64_t(noise.size()));
        archiver.AddFromStream(u"noise.bin", stream);
        archiver.CloseArchive();
    } catch (const EZAException& error) {
        message = error.Message();
        EXPECT_EQ(error.NativeError, 46);
    }
    EXPECT_EQ(message, "Write to stream error: The disk is full: the folder \"" + disk.Path() +
                           "\" has no room left for \"plain.zip\". - Native error: 00046");
    for (const auto& entry : std::filesystem::directory_iterator(disk.Path()))
        EXPECT_EQ(entry.path().filename(), "plain.zip") << "a temporary file is left on the disk";
}

} // namespace
