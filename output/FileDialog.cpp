#include "output/FileDialog.h"

#include "output/DialogFilter.h"
#include "output/FileIconsByName.h"
#include "output/Form1.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>

bool TFileDialog::Execute(QWidget* owner)
{
    QFileDialog dialog(owner ? owner : Form1Window(), QString::fromStdString(Title));
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(FileIconsByName::Shared());
    dialog.setAcceptMode(save_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save_ && !OverwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = FilterToNameFilters(Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (FilterIndex >= 1 && FilterIndex <= filters.size())
            dialog.selectNameFilter(filters[FilterIndex - 1]);
    }
    if (!DefaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(DefaultExt));
    // Without a folder of its own the dialog would open in the process's
    // working folder, which means nothing to the user.
    if (!InitialDir.empty() && QDir(QString::fromStdString(InitialDir)).exists())
        dialog.setDirectory(QString::fromStdString(InitialDir));
    else
        dialog.setDirectory(QDir::homePath());
    if (!FileName.empty())
        dialog.selectFile(QString::fromStdString(FileName));

    PrepareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = dialog.selectedFiles().constFirst().toStdString();
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        FilterIndex = static_cast<int>(index) + 1;
    return true;
}
