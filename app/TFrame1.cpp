#include "app/TFrame1.h"

#include "app/FormBackground.h"
#include "app/ScreenPixmap.h"
#include "app/TForm1.h"
#include "app/TForm13.h"
#include "FreeImage/FreeWinBitmap.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/ModalResult.h"
#include "ui_TFrame1.h"

#include <QStyle>
#include <exception>

TFrame1* Frame1 = nullptr;

namespace {

TSmoothImageListBox* Strip()
{
    return Form1 ? Form1->SmoothImageListBox1 : nullptr;
}

} // namespace

TFrame1::TFrame1(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::TFrame1>())
{
    ui_->setupUi(this);
    UseFormBackground(this);
    setAutoFillBackground(true);

    const struct {
        QToolButton* button;
        QStyle::StandardPixmap icon;
        void (TFrame1::*handler)();
    } buttons[] = {
        {ui_->ToolButton1, QStyle::SP_FileDialogDetailedView, &TFrame1::ToolButton1Click},
        {ui_->ToolButton2, QStyle::SP_TrashIcon, &TFrame1::ToolButton2Click},
        {ui_->ToolButton3, QStyle::SP_ArrowLeft, &TFrame1::ToolButton3Click},
        {ui_->ToolButton4, QStyle::SP_ArrowRight, &TFrame1::ToolButton4Click},
        {ui_->ToolButton6, QStyle::SP_BrowserReload, &TFrame1::ToolButton6Click},
        {ui_->ToolButton8, QStyle::SP_ArrowDown, &TFrame1::ToolButton8Click},
        {ui_->ToolButton7, QStyle::SP_ArrowForward, &TFrame1::ToolButton7Click},
        {ui_->ToolButton9, QStyle::SP_DialogResetButton, &TFrame1::ToolButton9Click},
    };
    for (const auto& entry : buttons) {
        entry.button->setIcon(style()->standardIcon(entry.icon));
        connect(entry.button, &QToolButton::clicked, this, entry.handler);
    }
    ui_->ToolBar1->setStyleSheet("QToolButton:hover { background: #FFD9AA; }");
}

TFrame1::~TFrame1()
{
    if (Frame1 == this)
        Frame1 = nullptr;
}

Picture* TFrame1::SelectedArtwork() const
{
    TSmoothImageListBox* strip = Strip();
    if (!strip)
        return nullptr;
    return Form1->StripPicture(strip->SelectedItemIndex());
}

void TFrame1::UpdateMoveButtons()
{
    TSmoothImageListBox* strip = Strip();
    if (!strip)
        return;
    const int s = strip->SelectedItemIndex();
    const int count = strip->Items()->Count();
    ui_->ToolButton3->setEnabled(s > 1 && s != count - 1);
    // No selection (-1) moves nothing either.
    ui_->ToolButton4->setEnabled(s > 0 && s < count - 2);
}

void TFrame1::ShowPicture(Picture* picture)
{
    if (!picture)
        return;
    UpdateMoveButtons();
    std::string caption = picture->GetTitle(true);
    if (const std::string media = picture->GetMedia(true); !media.empty())
        caption += ", " + media;
    if (const std::string dimensions = picture->GetDimensions(true); !dimensions.empty())
        caption += ", " + dimensions;
    if (TSmoothImageListBox* strip = Strip())
        strip->Footer()->SetCaption(caption);

    image_ = {};
    try {
        if (const TFreeWinBitmap* bitmap = picture->GetBitmap(); bitmap && bitmap->IsValid()) {
            image_ = ScreenPixmap(*bitmap);
            if (Form1)
                Form1->UpdateThumbnail(picture);
        }
    } catch (const std::exception&) {
        image_ = {};
    }
    FitImage();
}

void TFrame1::FitImage()
{
    if (image_.isNull()) {
        ui_->Image1->clear();
        return;
    }
    const QSize box = ui_->Image1->size();
    // Large pictures are scaled down with their aspect kept; small ones
    // are shown as they are.
    if (image_.width() > box.width() || image_.height() > box.height())
        ui_->Image1->setPixmap(image_.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        ui_->Image1->setPixmap(image_);
}

void TFrame1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitImage();
}

void TFrame1::ToolButton1Click()
{
    if (SelectedArtwork())
        Form1->EditSelectedPicture();
}

void TFrame1::ToolButton2Click()
{
    if (SelectedArtwork())
        Form1->DeleteSelectedPicture();
}

void TFrame1::ToolButton3Click()
{
    MoveSelected(-1);
}

void TFrame1::ToolButton4Click()
{
    MoveSelected(1);
}

void TFrame1::MoveSelected(int step)
{
    Picture* picture = SelectedArtwork();
    if (!picture)
        return;
    TSmoothImageListBox* strip = Strip();
    const int s = strip->SelectedItemIndex();
    const int to = s + step;
    // Neither past the statement nor past "Add Artwork".
    if (to < 1 || to > strip->Items()->Count() - 2)
        return;
    Portfolio* portfolio = Form1->GetPortfolio();
    if (!(step < 0 ? portfolio->MoveUp(picture) : portfolio->MoveDown(picture)))
        return;
    TSmoothImageListBoxItems* items = strip->Items();
    items->BeginUpdate();
    items->GetItem(s)->SetIndex(to);
    items->EndUpdate();
    strip->SetSelectedItemIndex(to);
    UpdateMoveButtons();
}

void TFrame1::ToolButton6Click()
{
    if (Picture* picture = SelectedArtwork()) {
        picture->Rotate();
        ShowPicture(picture);
    }
}

void TFrame1::ToolButton8Click()
{
    if (Picture* picture = SelectedArtwork()) {
        picture->FlipVertical();
        ShowPicture(picture);
    }
}

void TFrame1::ToolButton7Click()
{
    if (Picture* picture = SelectedArtwork()) {
        picture->FlipHorizontal();
        ShowPicture(picture);
    }
}

void TFrame1::ToolButton9Click()
{
    Picture* picture = SelectedArtwork();
    if (!picture || !Form13)
        return;
    if (Form13->CropPicture(picture) != mrOk)
        return;
    // Edges the image library refuses (crossed or empty) leave the picture
    // as it was.
    picture->Crop(Form13->GetCropLeft(), Form13->GetCropTop(), Form13->GetCropRight(), Form13->GetCropBottom());
    ShowPicture(picture);
}
