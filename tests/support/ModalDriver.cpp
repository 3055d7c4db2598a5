#include "tests/support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

ModalDriver::ModalDriver(Handler handler, std::chrono::milliseconds deadline)
    : handler_(std::move(handler)), deadline_(std::chrono::steady_clock::now() + deadline)
{
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
    timer_.start(20);
}

void ModalDriver::Poll()
{
    if (handled_)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        if (std::chrono::steady_clock::now() > deadline_)
            timer_.stop();
        return;
    }
    handled_ = true;
    timer_.stop();
    handler_(modal);
}

void ModalDriver::Press(QWidget* modal, QMessageBox::StandardButton button)
{
    if (auto* box = AsMessageBox(modal))
        if (QAbstractButton* b = box->button(button))
            QTest::mouseClick(b, Qt::LeftButton);
}
