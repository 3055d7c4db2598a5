#pragma once
// FileIconsByName: the file dialogs' icons and type names, chosen from a
// file's name alone. Qt's own provider reads the start of every file it
// lists to guess its type, and a read of /proc/kmsg, a FIFO or a stalled
// network file blocks the dialog, and with it the whole program. Main
// thread only, like the dialogs.
#include <QFileIconProvider>
#include <QMimeDatabase>

class FileIconsByName : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
    using QFileIconProvider::icon;

    // One provider serves every dialog; it holds no state of its own.
    static FileIconsByName* Shared();

private:
    QMimeDatabase mimes_;
};
