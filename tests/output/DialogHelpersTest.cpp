#include "output/DialogFilter.h"
#include "output/FileDialog.h"
#include "output/ModalResult.h"
#include "output/WinColor.h"

#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(DialogFilter, StoredFiltersBecomeNameFilters)
{
    struct Case {
        const char* stored;
        QStringList expected;
    } cases[] = {
        {"Portfolio Files (*.pfo)|*.pfo", {"Portfolio Files (*.pfo)"}},
        // The description's own parentheses hold no pattern QFileDialog could use.
        {"PDF (.pdf)|*.pdf", {"PDF (.pdf) (*.pdf)"}},
        {"All Image Files|*.jpg;*.jpeg;*.png;*.gif;*.bmp|JPEG Images|*.jpg;*.jpeg|PNG Images|*.png",
         {"All Image Files (*.jpg *.jpeg *.png *.gif *.bmp)", "JPEG Images (*.jpg *.jpeg)", "PNG Images (*.png)"}},
        {"", {}},
        // A description without its pattern half is dropped rather than
        // offered as a filter that matches nothing.
        {"Text|*.txt|Dangling", {"Text (*.txt)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(FilterToNameFilters(c.stored), c.expected);
    }
}

TEST(WinColor, RedIsInTheLowByte)
{
    struct Case {
        std::uint32_t win;
        QColor qt;
    } cases[] = {
        {0x000000FF, QColor(255, 0, 0)},
        {0x0000FF00, QColor(0, 255, 0)},
        {0x00FF0000, QColor(0, 0, 255)},
        {0x00F2F2F2, QColor(0xF2, 0xF2, 0xF2)},
        {0x00AAD9FF, QColor(0xFF, 0xD9, 0xAA)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.win);
        EXPECT_EQ(ColorFromWin(c.win), c.qt);
        EXPECT_EQ(WinFromColor(c.qt), c.win);
    }
    // Alpha and colour spaces other than RGB never reach the stored value.
    EXPECT_EQ(WinFromColor(QColor(255, 0, 0, 10)), 0x000000FFu);
    EXPECT_EQ(WinFromColor(QColor::fromHsv(0, 255, 255)), 0x000000FFu);
}

TEST(ModalResult, RejectedIsCancelAndAcceptedIsOk)
{
    QDialog dialog;
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    EXPECT_EQ(ShowModal(dialog), mrCancel);
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    EXPECT_EQ(ShowModal(dialog), mrOk);
}

// With no folder to start in (no documents folder, or one since removed) a
// dialog opens in the home folder, not wherever the program was started.
TEST(FileDialog, WithoutAFolderItOpensInTheHomeFolder)
{
    TempDir elsewhere;
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(elsewhere.Path().string())));
    for (const std::string& initial : {std::string(), elsewhere / "gone"}) {
        SCOPED_TRACE("InitialDir \"" + initial + "\"");
        TOpenDialog dialog;
        dialog.InitialDir = initial;
        QString directory;
        ModalDriver driver;
        driver.Then([&](QWidget* modal) {
            directory = static_cast<QFileDialog*>(modal)->directory().absolutePath();
            static_cast<QDialog*>(modal)->reject();
        });
        EXPECT_FALSE(dialog.Execute());
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        EXPECT_EQ(directory, QDir::homePath());
    }
    QDir::setCurrent(started);
}

// A folder may hold files whose first read never returns (/proc/kmsg for
// root, a stalled network file): listing it must not read them, or the
// dialog, and the program with it, stops answering.
TEST(FileDialog, ListingAFolderReadsNoFile)
{
    if (::access("/proc/kmsg", R_OK) != 0)
        GTEST_SKIP() << "only root may read /proc/kmsg";
    TSaveDialog dialog;
    dialog.FileName = "/proc/work.pfo";
    bool listed = false;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* list = modal->findChild<QListView*>("listView");
        ASSERT_NE(list, nullptr);
        listed = QTest::qWaitFor(
            [list] {
                const QModelIndex root = list->rootIndex();
                for (int row = 0; row < list->model()->rowCount(root); ++row)
                    if (list->model()->index(row, 0, root).data().toString() == "kmsg")
                        return true;
                return false;
            },
            10000);
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(dialog.Execute());
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(listed);
}

TEST(FileDialog, SaveDialogShowsItsSettingsAndAddsTheDefaultExtension)
{
    TempDir dir;
    TSaveDialog dialog;
    dialog.Title = "Save Portfolio";
    dialog.InitialDir = dir.Path().string();
    dialog.DefaultExt = "pfo";
    dialog.Filter = "Portfolio Files (*.pfo)|*.pfo";
    dialog.FileName = "Untitled";

    QString directory, preset;
    QStringList filters;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* file = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(file, nullptr);
        directory = file->directory().absolutePath();
        filters = file->nameFilters();
        preset = file->selectedFiles().value(0);
        // The user types a name without extension.
        file->findChild<QLineEdit*>("fileNameEdit")->setText("Spring Show");
        static_cast<QDialog*>(file)->accept();
    });
    ASSERT_TRUE(dialog.Execute());
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(0).title, "Save Portfolio");
    EXPECT_EQ(directory.toStdString(), dir.Path().string());
    EXPECT_EQ(filters, QStringList{"Portfolio Files (*.pfo)"});
    EXPECT_EQ(preset.toStdString(), (dir.Path() / "Untitled.pfo").string());
    EXPECT_EQ(dialog.FileName, (dir.Path() / "Spring Show.pfo").string());
}

TEST(FileDialog, OpenDialogReturnsTheChosenFileAndCancelKeepsTheOldName)
{
    TempDir dir;
    const std::string picture = dir.Write("sky.png", "not really");
    TOpenDialog dialog;
    dialog.Title = "Select a background image...";
    dialog.Filter = "All Image Files|*.jpg;*.png|PNG Images|*.png";
    dialog.FileName = "before";

    ModalDriver driver;
    driver.Reject().ChooseFile(QString::fromStdString(picture));
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "before");
    ASSERT_TRUE(dialog.Execute());
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(dialog.FileName, picture);
}

} // namespace
