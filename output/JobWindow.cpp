#include "output/JobWindow.h"

#include "output/Form1.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

JobWindow::JobWindow(QWidget* owner) : QDialog(owner) {}

JobWindow::~JobWindow()
{
    // A window destroyed while shown gets no hide event of its own.
    EnableForm1By(this);
}

void JobWindow::BindControls(QLabel* label, QProgressBar* bar, QPushButton* close, QPushButton* cancel)
{
    Label1 = label;
    ProgressBar1 = bar;
    Button1 = close;
    Button2 = cancel;
    // A dialog frame without a close box that stays above the main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    connect(Button1, &QPushButton::clicked, this, &JobWindow::Button1Click);

    Label1->setWordWrap(true);
    labelGeometry_ = Label1->geometry();
    barPlace_ = ProgressBar1->pos();
    buttonPlace_ = Button1->pos();
    if (Button2)
        cancelPlace_ = Button2->pos();
    designedSize_ = size();

    Button1->setEnabled(false);
    barMaximum_ = 0;
    barPosition_ = 0;
    ApplyBar();
}

void JobWindow::SetBarMaximum(int maximum)
{
    barMaximum_ = maximum;
    ApplyBar();
}

void JobWindow::SetBarPosition(int position)
{
    barPosition_ = position;
    ApplyBar();
}

void JobWindow::SetStatusText(const QString& text)
{
    Label1->setText(text);
    const int height = std::max(labelGeometry_.height(), Label1->heightForWidth(labelGeometry_.width()));
    const int grown = height - labelGeometry_.height();
    Label1->setGeometry(labelGeometry_.x(), labelGeometry_.y(), labelGeometry_.width(), height);
    ProgressBar1->move(barPlace_ + QPoint(0, grown));
    Button1->move(buttonPlace_ + QPoint(0, grown));
    if (Button2)
        Button2->move(cancelPlace_ + QPoint(0, grown));
    setFixedSize(designedSize_.width(), designedSize_.height() + grown);
}

void JobWindow::SetBarBusy()
{
    busy_ = true;
    ProgressBar1->setRange(0, 0);
}

void JobWindow::ApplyBar()
{
    busy_ = false;
    if (barMaximum_ <= 0) {
        ProgressBar1->setRange(0, 1);
        ProgressBar1->setValue(0);
        return;
    }
    ProgressBar1->setRange(0, barMaximum_);
    ProgressBar1->setValue(std::clamp(barPosition_, 0, barMaximum_));
}

void JobWindow::FormShow()
{
    DisableForm1By(this);
    Button1->setEnabled(false);
    barMaximum_ = 0;
    barPosition_ = 0;
    ApplyBar();
}

void JobWindow::FormHide()
{
    EnableForm1By(this);
}

void JobWindow::Button1Click()
{
    hide();
}

void JobWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Spontaneous events come from the window system (restore after
    // minimising); only a real show starts a new run of the window.
    if (!event->spontaneous())
        FormShow();
}

void JobWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void JobWindow::closeEvent(QCloseEvent* event)
{
    // While the job runs the window must stay: nothing else would enable the
    // main window again.
    if (!MayDismiss()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void JobWindow::reject()
{
    if (MayDismiss())
        QDialog::reject();
}
