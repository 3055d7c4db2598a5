#include "app/TOpenPictureDialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QPixmap>

namespace {

// The picture at the path read no larger than `box`, proportions kept; a
// null image when it is no picture the reader knows.
QImage ReadScaled(const QString& path, const QSize& box)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid())
        return {};
    if (size.width() > box.width() || size.height() > box.height())
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    return reader.read();
}

class ThumbnailIconProvider : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isFile()) {
            const QImage thumbnail = ReadScaled(info.filePath(), TOpenPictureDialog::kThumbnailSize);
            if (!thumbnail.isNull())
                return QIcon(QPixmap::fromImage(thumbnail));
        }
        return QFileIconProvider::icon(info);
    }
    using QFileIconProvider::icon;
};

} // namespace

TOpenPictureDialog::TOpenPictureDialog() = default;
TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::PrepareDialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* preview = new QLabel(&dialog);
    preview->setObjectName("PicturePreview");
    preview->setFixedSize(kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    const auto show = [preview](const QString& path) {
        const QImage image = ReadScaled(path, kPreviewSize);
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
