#include "app/TForm4.h"
#include "services/ProductAddresses.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace {

// A recording xdg-open first on PATH, for the life of the test.
class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log_ = bin_ / "opened";
        const std::string hook = bin_.Write(
            "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + log_ + ".tmp\"\nmv \"" + log_ + ".tmp\" \"" + log_ +
                            "\"\n");
        ASSERT_EQ(::chmod(hook.c_str(), 0755), 0);
        oldPath_ = std::getenv("PATH");
        setenv("PATH", (bin_.Path().string() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

    bool WaitForLog()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(log_)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    TempDir bin_;
    std::string log_, oldPath_;
};

TEST_F(AboutBoxTest, ShowsTheFixedTextsAndOpensTheMakersPage)
{
    TForm4 about(nullptr, "https://maker.example/velmora?from=about");
    about.show();
    EXPECT_EQ(about.windowTitle().toStdString(), AboutTexts::Caption);
    EXPECT_EQ(about.findChild<QLabel*>("Label1")->text().toStdString(), AboutTexts::Name);
    EXPECT_EQ(about.findChild<QLabel*>("Label2")->text().toStdString(), AboutTexts::Version);
    EXPECT_EQ(about.findChild<QLabel*>("Label3")->text().toStdString(), AboutTexts::Notice);
    EXPECT_EQ(about.findChild<QPushButton*>("Button1")->text().toStdString(), AboutTexts::Button);
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);

    auto* link = about.findChild<QLabel*>("Label10");
    EXPECT_EQ(link->text(), "Quembly Labs");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link->font().underline());
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_TRUE(WaitForLog());
    EXPECT_EQ(ReadFileBytes(log_), "https://maker.example/velmora?from=about\n");
}

TEST_F(AboutBoxTest, WithoutAnAddressTheMakersNameIsNoLink)
{
    TForm4 about(nullptr, "");
    about.show();
    auto* name = about.findChild<QLabel*>("Label10");
    EXPECT_EQ(name->text(), "Quembly Labs");
    EXPECT_NE(name->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(name->font().underline());
    QTest::mouseClick(name, Qt::LeftButton);
    QApplication::processEvents();
    // Nothing was started, so nothing can have written the log.
    EXPECT_FALSE(std::filesystem::exists(log_));
}

} // namespace
