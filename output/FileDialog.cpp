#include "output/FileDialog.h"

#include "output/DialogFilter.h"
#include "output/FileIconsByName.h"
#include "output/Form1.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTreeView>
#include <algorithm>

namespace {

// The widget dialog sizes its detail columns from the dialog's font with no
// room for the cell margins, so a size such as "99.74 KiB" shows cut short,
// and its type box takes the width the layout leaves, cutting a long filter.
// The desktop's own dialog has neither widget and is left as it is.
void FitSizeColumnAndTypeBox(QFileDialog& dialog)
{
    if (auto* types = dialog.findChild<QComboBox*>("fileTypeCombo")) {
        // A width of its own: the box's cached minimum would not follow a
        // change of its adjust policy.
        int widest = 0;
        for (int i = 0; i < types->count(); ++i)
            widest = std::max(widest, types->fontMetrics().horizontalAdvance(types->itemText(i)));
        QStyleOptionComboBox option;
        option.initFrom(types);
        option.frame = types->hasFrame();
        const QSize text(widest, types->fontMetrics().height());
        types->setMinimumWidth(types->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, types).width());
    }
    auto* tree = dialog.findChild<QTreeView*>("treeView");
    if (!tree)
        return;
    const QLocale locale = QLocale::system();
    const QFontMetrics metrics(tree->font());
    int widest = metrics.horizontalAdvance(tree->model() ? tree->model()->headerData(1, Qt::Horizontal).toString()
                                                         : QString());
    // The longest a size gets in each unit: just under the next one.
    for (const qint64 bytes : {qint64(1023), (qint64(1) << 20) - 1, (qint64(1) << 30) - 1, (qint64(1) << 40) - 1})
        widest = std::max(widest, metrics.horizontalAdvance(locale.formattedDataSize(bytes)));
    // A cell's text stands inside the focus frame's margin on either side.
    const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
    QHeaderView* header = tree->header();
    header->resizeSection(1, std::max(header->sectionSize(1), widest + margin + 4));
}

} // namespace

std::unique_ptr<QFileDialog> TFileDialog::MakeDialog(QWidget* owner)
{
    auto dialog = std::make_unique<QFileDialog>(owner ? owner : Form1Window(), QString::fromStdString(Title));
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setIconProvider(FileIconsByName::Shared());
    dialog->setAcceptMode(save_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save_ && !OverwritePrompt)
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = FilterToNameFilters(Filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        if (FilterIndex >= 1 && FilterIndex <= filters.size())
            dialog->selectNameFilter(filters[FilterIndex - 1]);
    }
    if (!DefaultExt.empty())
        dialog->setDefaultSuffix(QString::fromStdString(DefaultExt));
    // Without a folder of its own the dialog would open in the process's
    // working folder, which means nothing to the user.
    if (!InitialDir.empty() && QDir(QString::fromStdString(InitialDir)).exists())
        dialog->setDirectory(QString::fromStdString(InitialDir));
    else
        dialog->setDirectory(QDir::homePath());
    if (!FileName.empty())
        dialog->selectFile(QString::fromStdString(FileName));

    FitSizeColumnAndTypeBox(*dialog);
    PrepareDialog(*dialog);
    return dialog;
}

bool TFileDialog::Execute(QWidget* owner)
{
    const std::unique_ptr<QFileDialog> dialog = MakeDialog(owner);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return false;
    FileName = dialog->selectedFiles().constFirst().toStdString();
    const qsizetype index = FilterToNameFilters(Filter).indexOf(dialog->selectedNameFilter());
    if (index >= 0)
        FilterIndex = static_cast<int>(index) + 1;
    return true;
}
