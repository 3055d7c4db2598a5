#include "output/FileIconsByName.h"

QIcon FileIconsByName::icon(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::icon(info);
    const QIcon themed = QIcon::fromTheme(mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension).iconName());
    return themed.isNull() ? QFileIconProvider::icon(QAbstractFileIconProvider::File) : themed;
}

QString FileIconsByName::type(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::type(info);
    return mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
}

FileIconsByName* FileIconsByName::Shared()
{
    static FileIconsByName provider;
    return &provider;
}
