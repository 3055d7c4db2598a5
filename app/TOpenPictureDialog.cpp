#include "app/TOpenPictureDialog.h"

#include "app/ScreenPixmap.h"
#include "output/FileIconsByName.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListView>
#include <QPixmap>

namespace {

// Where the last picture was chosen, for every picture chooser of the run.
QString& LastFolder()
{
    static QString folder;
    return folder;
}

class ThumbnailIconProvider : public FileIconsByName {
public:
    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isFile()) {
            const QImage thumbnail = ReadFittedScreenImage(info.filePath(), TOpenPictureDialog::kThumbnailSize);
            if (!thumbnail.isNull())
                return QIcon(QPixmap::fromImage(thumbnail));
        }
        return FileIconsByName::icon(info);
    }
    using FileIconsByName::icon;
};

} // namespace

TOpenPictureDialog::TOpenPictureDialog() = default;
TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::PrepareDialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (FileName.empty() && !LastFolder().isEmpty() && QDir(LastFolder()).exists())
        dialog.setDirectory(LastFolder());
    QObject::connect(&dialog, &QFileDialog::fileSelected,
                     [](const QString& file) { LastFolder() = QFileInfo(file).absolutePath(); });
    auto* preview = new QLabel(&dialog);
    preview->setObjectName("PicturePreview");
    preview->setFixedSize(kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    const auto show = [preview](const QString& path) {
        const QImage image = ReadFittedScreenImage(path, kPreviewSize);
        preview->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, show);
    if (!FileName.empty())
        show(QString::fromStdString(FileName));
    if (ThumbnailView)
        SwitchToThumbnailView(dialog);
}

void TOpenPictureDialog::SwitchToThumbnailView(QFileDialog& dialog)
{
    if (!thumbnails_)
        thumbnails_ = std::make_unique<ThumbnailIconProvider>();
    dialog.setIconProvider(thumbnails_.get());
    dialog.setViewMode(QFileDialog::List);
    auto* list = dialog.findChild<QListView*>("listView");
    if (!list)
        return;
    list->setViewMode(QListView::IconMode);
    list->setIconSize(kThumbnailSize);
    list->setGridSize(kThumbnailSize + QSize(32, 40));
    list->setResizeMode(QListView::Adjust);
    list->setWordWrap(true);
    list->setMovement(QListView::Static);
}
