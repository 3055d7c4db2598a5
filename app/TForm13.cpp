#include "app/TForm13.h"

#include "app/FormBackground.h"
#include "app/ScreenPixmap.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "output/ModalResult.h"
#include "ui_TForm13.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <exception>

TForm13* Form13 = nullptr;

namespace {

const int kBox = 400;
// Between the picture and the bars that run along its top and bottom.
const int kGap = 6;

void SetUpBar(QScrollBar* bar, int maximum, int position)
{
    bar->setRange(0, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setValue(position);
}

// How long the bar must be for its thumb to travel exactly `span` pixels,
// one per value step, and how far from the bar's start the thumb's centre
// stands at the bar's minimum. The desktop style decides the arrows and
// the thumb, so both are measured, not assumed.
struct BarFit {
    int length = 0;
    int thumbCentre = 0;
};

BarFit FitBar(const QScrollBar* bar, int span)
{
    const bool vertical = bar->orientation() == Qt::Vertical;
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    if (!vertical)
        option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.sliderPosition = option.sliderValue = bar->minimum();
    const int thickness = bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, bar);

    BarFit fit{span, 0};
    // The thumb's length may follow the bar's: a few rounds settle it.
    for (int round = 0; round < 4; ++round) {
        option.rect = vertical ? QRect(0, 0, thickness, fit.length) : QRect(0, 0, fit.length, thickness);
        const QRect groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, bar);
        const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
        const int travel = vertical ? groove.height() - thumb.height() : groove.width() - thumb.width();
        fit.thumbCentre = vertical ? thumb.top() + thumb.height() / 2 : thumb.left() + thumb.width() / 2;
        if (travel == span)
            break;
        fit.length += span - travel;
    }
    return fit;
}

} // namespace

TForm13::TForm13(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm13>())
{
    ui_->setupUi(this);
    UseFormBackground(this);
    setAutoFillBackground(true);
    // A dialog border without border icons: only the title stays.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    connect(ui_->ScrollBar1, &QScrollBar::valueChanged, this, &TForm13::ScrollBar1Scroll);
    connect(ui_->ScrollBar2, &QScrollBar::valueChanged, this, &TForm13::ScrollBar2Scroll);
    connect(ui_->ScrollBar3, &QScrollBar::valueChanged, this, &TForm13::ScrollBar3Scroll);
    connect(ui_->ScrollBar4, &QScrollBar::valueChanged, this, &TForm13::ScrollBar4Scroll);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm13::Button2Click);
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm13::~TForm13()
{
    if (Form13 == this)
        Form13 = nullptr;
}

int TForm13::CropPicture(Picture* picture)
{
    try {
        if (!LoadPicture(picture))
            return mrCancel;
        return ShowModal(*this);
    } catch (const std::exception&) {
        shown_ = {};
        ui_->Image1->clear();
        return mrCancel;
    }
}

bool TForm13::LoadPicture(Picture* picture)
{
    picture_ = picture;
    edges_ = {};
    shown_ = {};
    ui_->Image1->clear();
    if (!picture)
        return false;
    setWindowTitle(QString::fromStdString("Crop Picture - " + picture->GetTitle(true)));
    const TFreeWinBitmap* bitmap = picture->GetBitmap();
    if (!bitmap || !bitmap->IsValid())
        return false;
    const QImage image = ScreenPixmap(*bitmap).toImage();
    if (image.isNull())
        return false;
    pictureSize_ = image.size();
    displaySize_ = CropDisplaySize(pictureSize_, kBox);
    // Small pictures are shown as they are, never enlarged.
    shown_ = displaySize_ == pictureSize_
                 ? image
                 : image.scaled(displaySize_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    const QSignalBlocker b1(ui_->ScrollBar1), b2(ui_->ScrollBar2), b3(ui_->ScrollBar3), b4(ui_->ScrollBar4);
    SetUpBar(ui_->ScrollBar1, displaySize_.height(), 0);
    SetUpBar(ui_->ScrollBar2, displaySize_.height(), displaySize_.height());
    SetUpBar(ui_->ScrollBar3, displaySize_.width(), 0);
    SetUpBar(ui_->ScrollBar4, displaySize_.width(), displaySize_.width());
    focus_ = {0, 0, displaySize_.width(), displaySize_.height()};
    LineUpBars();
    DrawEdges();
    return true;
}

void TForm13::LineUpBars()
{
    // The picture stands centred in Image1, as the label aligns it.
    const QRect box = ui_->Image1->geometry();
    const QRect shown(box.left() + (box.width() - displaySize_.width()) / 2,
                      box.top() + (box.height() - displaySize_.height()) / 2, displaySize_.width(),
                      displaySize_.height());
    // Each bar runs along the picture in its own direction, its thumb over
    // the edge it moves: the horizontal ones above and below for the left
    // and right edges, the vertical ones beside it for the top and bottom.
    const BarFit across = FitBar(ui_->ScrollBar3, shown.width());
    const BarFit down = FitBar(ui_->ScrollBar1, shown.height());
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ui_->ScrollBar1);
    const int acrossStart = shown.left() - across.thumbCentre;
    const int downStart = shown.top() - down.thumbCentre;
    ui_->ScrollBar3->setGeometry(acrossStart, shown.top() - kGap - thickness, across.length, thickness);
    ui_->ScrollBar4->setGeometry(acrossStart, shown.bottom() + 1 + kGap, across.length, thickness);
    // Clear of the horizontal bars' ends, which reach past the picture.
    const int side = std::max(kGap, across.thumbCentre);
    ui_->ScrollBar1->setGeometry(shown.left() - side - thickness, downStart, thickness, down.length);
    ui_->ScrollBar2->setGeometry(shown.right() + 1 + side, downStart, thickness, down.length);
}

void TForm13::DrawEdges()
{
    if (shown_.isNull())
        return;
    QImage canvas = shown_.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&canvas);
    // Bars past each other still show where they stand.
    const int left = std::min(focus_.left, focus_.right);
    const int right = std::max(focus_.left, focus_.right);
    const int top = std::min(focus_.top, focus_.bottom);
    const int bottom = std::max(focus_.top, focus_.bottom);
    // Drawn inside the kept region, dashes over a light line, so that it
    // shows on dark and light pictures alike.
    const QRect frame(left, top, std::max(1, right - left), std::max(1, bottom - top));
    const QRect line = frame.adjusted(0, 0, -1, -1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(line);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(line);
    painter.end();
    ui_->Image1->setPixmap(QPixmap::fromImage(canvas));
}

void TForm13::ScrollBar1Scroll()
{
    focus_.top = ui_->ScrollBar1->value();
    DrawEdges();
}

void TForm13::ScrollBar2Scroll()
{
    focus_.bottom = ui_->ScrollBar2->value();
    DrawEdges();
}

void TForm13::ScrollBar3Scroll()
{
    focus_.left = ui_->ScrollBar3->value();
    DrawEdges();
}

void TForm13::ScrollBar4Scroll()
{
    focus_.right = ui_->ScrollBar4->value();
    DrawEdges();
}

void TForm13::Button2Click()
{
    const CropBars bars{ui_->ScrollBar1->value(), ui_->ScrollBar2->value(), ui_->ScrollBar3->value(),
                        ui_->ScrollBar4->value()};
    edges_ = MapCropBars(bars, pictureSize_, displaySize_);
    done(IsWholePicture(edges_, pictureSize_) ? mrCancel : mrOk);
}

void TForm13::done(int result)
{
    // The shown copy is only needed while the dialog is open.
    shown_ = {};
    ui_->Image1->clear();
    QDialog::done(result);
}
