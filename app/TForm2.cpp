#include "app/TForm2.h"

#include "app/FormBackground.h"
#include "app/EditText.h"
#include "app/ScreenPixmap.h"
#include "app/TForm1.h"
#include "app/TOpenPictureDialog.h"
#include "app/UnreadablePictures.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/RegularFile.h"
#include "ui_TForm2.h"

#include <QBuffer>
#include <QDir>
#include <QMouseEvent>
#include <QPixmap>
#include <QStandardPaths>

TForm2* Form2 = nullptr;

namespace {

const char* const kAddCaption = "Add Artwork";

// The file's picture fitted into box, or null when an artwork could not
// take it: the picture library refuses what its header says before any
// pixel is decoded. Qt's reader decodes a JPEG straight at the size shown,
// several times faster than whole; what it cannot read, the library
// decodes whole.
QImage FileImage(const std::string& path, const QSize& box)
{
    TMemoryStream bytes;
    try {
        bytes.LoadFromFile(path, TFreeBitmap::kMaxFileBytes);
    } catch (const Exception&) {
        return {};
    }
    TFreeBitmap::Header header;
    if (!TFreeBitmap::ReadHeader(bytes.Memory(), static_cast<DWORD>(bytes.GetSize()), header) ||
        !header.WithinLimits())
        return {};
    QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.Memory()), bytes.GetSize());
    QBuffer device(&raw);
    device.open(QIODevice::ReadOnly);
    const QImage shown = ReadFittedScreenImage(device, box);
    if (!shown.isNull())
        return shown;
    TFreeWinBitmap picture;
    bytes.SetPosition(0);
    return picture.LoadFromStream(bytes) ? FittedScreenImage(picture, box) : QImage();
}

} // namespace

TForm2::TForm2(QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::TForm2>()), openPictureDialog1_(std::make_unique<TOpenPictureDialog>())
{
    ui_->setupUi(this);
    UseFormBackground(this);
    setAutoFillBackground(true);

    openPictureDialog1_->Title = "Please select an image file...";
    openPictureDialog1_->Filter = TOpenPictureDialog::kArtworkFilter;
    openPictureDialog1_->ThumbnailView = true;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QDir(pictures).exists())
        openPictureDialog1_->InitialDir = pictures.toStdString();

    ui_->Image2->installEventFilter(this);
    ui_->Shape1->installEventFilter(this);
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

TForm2::~TForm2() = default;

void TForm2::FillFields(const Picture& picture)
{
    ui_->Edit1->setText(ToEditText(picture.GetTitle(true)));
    ui_->Edit2->setText(ToEditText(picture.GetMedia(true)));
    ui_->Edit3->setText(ToEditText(picture.GetDimensions(true)));
    ui_->Memo1->setPlainText(ToEditText(picture.GetDescription(true)));
    imagePath_ = picture.GetFileName();
}

int TForm2::AddArtwork()
{
    setWindowTitle(kAddCaption);
    imageChanged_ = false;
    ui_->Image2->clear();
    Portfolio* portfolio = Form1 ? Form1->GetPortfolio() : nullptr;
    if (!portfolio)
        return mrCancel;
    wasModified_ = portfolio->IsModified();
    added_ = std::make_unique<Picture>(portfolio);
    picture_ = added_.get();
    FillFields(*picture_);
    if (!SelectImage()) {
        done(mrCancel);
        return mrCancel;
    }
    return ShowModal(*this);
}

int TForm2::EditArtwork(Picture* picture)
{
    if (!picture)
        return mrCancel;
    LoadArtwork(picture);
    return ShowModal(*this);
}

void TForm2::LoadArtwork(Picture* picture)
{
    added_.reset();
    picture_ = picture;
    setWindowTitle(QString::fromStdString("Edit Artwork - " + picture->GetTitle(true)));
    imageChanged_ = false;
    FillFields(*picture);
    ShowPreview(picture);
}

void TForm2::done(int result)
{
    // Every way out of an Add but OK (Cancel, Escape, the close box, a
    // cancelled chooser) ends the new artwork.
    if (added_) {
        if (result == mrOk) {
            added_.release();
        } else {
            Portfolio* owner = added_->GetOwner();
            added_.reset();
            picture_ = nullptr;
            if (!wasModified_)
                owner->ClearModified();
        }
    }
    if (isVisible())
        QDialog::done(result);
}

QPixmap TForm2::PreviewOf(Picture* picture, const std::string& path) const
{
    // Made at the size shown: a camera picture decoded or copied whole
    // would hold the dialog's opening back.
    const QSize box = ui_->Image2->size();
    QImage shown;
    if (picture) {
        if (TFreeWinBitmap* bitmap = picture->GetBitmap())
            shown = FittedScreenImage(*bitmap, box);
    } else {
        shown = FileImage(path, box);
    }
    return shown.isNull() ? QPixmap() : QPixmap::fromImage(shown);
}

void TForm2::ShowPreview(Picture* picture)
{
    if (imagePath_.empty())
        return;
    ui_->Image2->clear();
    const QPixmap shown = PreviewOf(picture, imagePath_);
    if (!shown.isNull())
        ui_->Image2->setPixmap(shown);
}

bool TForm2::SelectImage()
{
    openPictureDialog1_->FileName.clear();
    if (CanReadRegularFile(imagePath_))
        openPictureDialog1_->FileName = imagePath_;
    // An addition asks for the picture before this dialog shows: the chooser
    // then stands over the window the user sees, not over one not yet shown.
    if (!openPictureDialog1_->Execute(isVisible() ? this : parentWidget()))
        return false;
    // A file that does not decode is refused here, before it can become an
    // artwork without an image; the image chosen before stays.
    const std::string chosen = openPictureDialog1_->FileName;
    const QPixmap shown = PreviewOf(nullptr, chosen);
    if (shown.isNull()) {
        MessageBoxA(this, UnreadablePicturesText({chosen}), "Oooops!", MB_OK | MB_ICONERROR);
        return false;
    }
    imagePath_ = chosen;
    imageChanged_ = true;
    ui_->Image2->setPixmap(shown);
    return true;
}

void TForm2::FormShow()
{
    ui_->Edit1->setFocus();
}

void TForm2::Image2Click()
{
    SelectImage();
}

void TForm2::Shape1MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        SelectImage();
}

void TForm2::Button1Click()
{
    reject();
}

void TForm2::Button2Click()
{
    if (imagePath_.empty()) {
        MessageBoxA(this, "You must select an image for this artwork.", "Oooops!", MB_OK | MB_ICONERROR);
        return;
    }
    if (ui_->Edit1->text().isEmpty()) {
        MessageBoxA(this, "You must give a title to this artwork.", "Oooops!", MB_OK | MB_ICONERROR);
        return;
    }
    // The file was read when it was chosen, but it may have changed since:
    // the artwork takes nothing, texts included, unless its image loads.
    if (imageChanged_ && !picture_->LoadFromFile(imagePath_)) {
        MessageBoxA(this, UnreadablePicturesText({imagePath_}), "Oooops!", MB_OK | MB_ICONERROR);
        return;
    }
    picture_->SetTitle(ui_->Edit1->text().toStdString());
    picture_->SetMedia(ui_->Edit2->text().toStdString());
    picture_->SetDimensions(ui_->Edit3->text().toStdString());
    picture_->SetDescription(ui_->Memo1->toPlainText().toStdString());
    done(mrOk);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == ui_->Shape1 && event->type() == QEvent::MouseButtonPress) {
        Shape1MouseDown(mouse->button());
        return true;
    }
    if (watched == ui_->Image2 && event->type() == QEvent::MouseButtonRelease &&
        mouse->button() == Qt::LeftButton && ui_->Image2->rect().contains(mouse->position().toPoint())) {
        Image2Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
