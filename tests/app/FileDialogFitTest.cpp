// The widget file dialogs at their default size: a size column and a type
// box that show their whole text.
#include "app/TOpenPictureDialog.h"
#include "output/FileDialog.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace {

// Checks the dialog as it first shows, then cancels it.
void CheckShownDialog(QWidget* modal)
{
    // Closed however the checks end, so that a failure cannot hang the run.
    const std::unique_ptr<QWidget, void (*)(QWidget*)> closer(modal, [](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    });
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    auto* details = dialog->findChild<QAbstractButton*>("detailModeButton");
    ASSERT_NE(details, nullptr);
    QTest::mouseClick(details, Qt::LeftButton);
    auto* tree = dialog->findChild<QTreeView*>("treeView");
    ASSERT_NE(tree, nullptr);
    // The folder is read in the background: wait for its three files.
    QDeadlineTimer deadline(10000);
    while (tree->model()->rowCount(tree->rootIndex()) < 3 && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_EQ(tree->model()->rowCount(tree->rootIndex()), 3);
    QApplication::processEvents();
    // What the rows need, as the view measures them with its cell margins.
    EXPECT_GE(tree->header()->sectionSize(1), static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(1));

    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    QStyleOptionComboBox option;
    option.initFrom(types);
    option.editable = types->isEditable();
    option.frame = types->hasFrame();
    const QRect field = types->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, types);
    for (int i = 0; i < types->count(); ++i)
        EXPECT_LE(types->fontMetrics().horizontalAdvance(types->itemText(i)), field.width()) << types->itemText(i).toStdString();
}

TEST(FileDialogFit, SizeColumnAndTypeBoxShowTheirWholeText)
{
    TempDir folder;
    // "99.74 KiB", "1023.44 KiB" and a few bytes.
    for (const auto& [name, size] : {std::pair{"a.png", 102133}, std::pair{"b.png", 1048000}, std::pair{"c.png", 5}}) {
        const std::string path = folder.Write(name, "x");
        std::filesystem::resize_file(path, size);
    }
    struct Row {
        const char* label;
        std::function<std::unique_ptr<TFileDialog>()> make;
    } const rows[] = {
        {"picture chooser",
         [] {
             auto chooser = std::make_unique<TOpenPictureDialog>();
             chooser->Filter = TOpenPictureDialog::kArtworkFilter;
             return std::unique_ptr<TFileDialog>(std::move(chooser));
         }},
        {"save dialog",
         [] {
             auto save = std::make_unique<TSaveDialog>();
             save->Filter = "Pictures to keep (PNG, JPEG, BMP, GIF or TIFF)|*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff";
             return std::unique_ptr<TFileDialog>(std::move(save));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::unique_ptr<TFileDialog> dialog = row.make();
        dialog->InitialDir = folder.Path().string();
        ModalDriver driver;
        driver.Then(CheckShownDialog);
        EXPECT_FALSE(dialog->Execute());
        EXPECT_TRUE(driver.AllDone()) << driver.Report();
    }
}

} // namespace
