#include "app/TOpenPictureDialog.h"

#include "output/FileIconsByName.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <unistd.h>

#include "FreeImage/FreeBitmap.h"
#include "platform/rtl/RegularFile.h"

namespace {

// Where the last picture was chosen, for every picture chooser of the run.
QString& LastFolder()
{
    static QString folder;
    return folder;
}

// The picture at the path read no larger than `box`, proportions kept and
// turned upright as the artwork will be, over white as the windows show
// transparent pictures; a null image when it is no picture the reader knows.
// Only a regular file is opened: the list holds whatever the folder holds,
// FIFOs and devices included.
QImage ReadScaled(const QString& path, const QSize& box)
{
    int64_t size = 0;
    const int fd = OpenRegularFile(QFile::encodeName(path).toStdString(), TFreeBitmap::kMaxFileBytes, size);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (!full.isValid())
        return {};
    const QSize fitted = full.width() > box.width() || full.height() > box.height()
                             ? full.scaled(box, Qt::KeepAspectRatio)
                             : full;
    // JPEG scales while decoding, fast and well. Other readers scale by
    // dropping pixels, and the PNG reader loses a one-bit picture's palette
    // on the way, so they are read whole and scaled smoothly afterwards.
    if (fitted != full && reader.format() == "jpeg")
        reader.setScaledSize(fitted);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    QImage shown(image.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    {
        QPainter painter(&shown);
        painter.drawImage(0, 0, image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    if (shown.size() != fitted)
        shown = shown.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return shown;
}

class ThumbnailIconProvider : public FileIconsByName {
public:
    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isFile()) {
            const QImage thumbnail = ReadScaled(info.filePath(), TOpenPictureDialog::kThumbnailSize);
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
