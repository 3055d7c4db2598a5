#include "output/ModalResult.h"

#include <QDialog>

int ShowModal(QDialog& dialog)
{
    const int result = dialog.exec();
    return result == QDialog::Rejected ? mrCancel : result;
}
