#include "output/TForm15.h"

#include "output/Form1.h"
#include "ui_TForm15.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <algorithm>

TForm15::TForm15(QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::TForm15>())
{
    ui_->setupUi(this);
    Label1 = ui_->Label1;
    ProgressBar1 = ui_->ProgressBar1;
    Button1 = ui_->Button1;

    // A dialog frame without a close box that stays above the main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    connect(Button1, &QPushButton::clicked, this, &TForm15::Button1Click);

    Button1->setEnabled(false);
    barMaximum_ = 0;
    barPosition_ = 0;
    ApplyBar();
}

TForm15::~TForm15()
{
    // A window destroyed while shown gets no hide event of its own.
    EnableForm1By(this);
}

void TForm15::SetBarMaximum(int maximum)
{
    barMaximum_ = maximum;
    ApplyBar();
}

void TForm15::SetBarPosition(int position)
{
    barPosition_ = position;
    ApplyBar();
}

void TForm15::ApplyBar()
{
    if (barMaximum_ <= 0) {
        ProgressBar1->setRange(0, 1);
        ProgressBar1->setValue(0);
        return;
    }
    ProgressBar1->setRange(0, barMaximum_);
    ProgressBar1->setValue(std::clamp(barPosition_, 0, barMaximum_));
}

void TForm15::FormShow()
{
    DisableForm1By(this);
    Button1->setEnabled(false);
    barMaximum_ = 0;
    barPosition_ = 0;
    ApplyBar();
}

void TForm15::FormHide()
{
    EnableForm1By(this);
}

void TForm15::Button1Click()
{
    hide();
}

void TForm15::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Spontaneous events come from the window system (restore after
    // minimising); only a real show starts a new run of the window.
    if (!event->spontaneous())
        FormShow();
}

void TForm15::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TForm15::closeEvent(QCloseEvent* event)
{
    // While the job runs the window must stay: nothing else would enable the
    // main window again.
    if (!Button1->isEnabled()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TForm15::reject()
{
    if (Button1->isEnabled())
        QDialog::reject();
}
