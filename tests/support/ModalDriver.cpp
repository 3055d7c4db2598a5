#include "tests/support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace {

std::string Plain(const QString& text)
{
    QString copy = text;
    return copy.remove(u'&').toStdString();
}

// The newest driver answers; an older one waits until the newer is gone,
// so two drivers never fight over one window.
ModalDriver* active = nullptr;

} // namespace

ModalDriver::ModalDriver(std::chrono::milliseconds deadline) : deadline_(deadline), previous_(active)
{
    active = this;
    waitingSince_ = std::chrono::steady_clock::now();
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
    timer_.start();
}

ModalDriver::~ModalDriver()
{
    if (active == this)
        active = previous_;
}

ModalDriver& ModalDriver::Then(Step step)
{
    if (steps_.empty())
        waitingSince_ = std::chrono::steady_clock::now();
    steps_.push_back(std::move(step));
    return *this;
}

ModalDriver& ModalDriver::Press(QMessageBox::StandardButton button)
{
    return Then([this, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            problems_.push_back("expected a message box, got " + Describe(modal).className);
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        if (QAbstractButton* b = box->button(button)) {
            b->click();
        } else {
            problems_.push_back("message box \"" + Plain(box->text()) + "\" has no such button");
            box->reject();
        }
    });
}

ModalDriver& ModalDriver::Input(const QString& text)
{
    return Then([this, text](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        if (!input) {
            problems_.push_back("expected an input dialog, got " + Describe(modal).className);
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        input->setTextValue(text);
        input->accept();
    });
}

ModalDriver& ModalDriver::CancelInput()
{
    return Then([this](QWidget* modal) {
        if (!qobject_cast<QInputDialog*>(modal))
            problems_.push_back("expected an input dialog, got " + Describe(modal).className);
        static_cast<QDialog*>(modal)->reject();
    });
}

ModalDriver& ModalDriver::ChooseFile(const QString& path)
{
    return Then([this, path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            problems_.push_back("expected a file dialog, got " + Describe(modal).className);
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        // As a user types it: the widget dialog reads its name field on accept.
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
            edit->setText(path);
        else
            dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

ModalDriver& ModalDriver::ChooseColor(const QColor& color)
{
    return Then([this, color](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        if (!dialog) {
            problems_.push_back("expected a colour dialog, got " + Describe(modal).className);
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        dialog->setCurrentColor(color);
        static_cast<QDialog*>(dialog)->accept();
    });
}

ModalDriver& ModalDriver::Reject()
{
    return Then([](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    });
}

SeenModal ModalDriver::Describe(QWidget* modal)
{
    SeenModal seen;
    seen.className = modal->metaObject()->className();
    seen.title = modal->windowTitle().toStdString();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        seen.text = box->text().toStdString();
        seen.icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seen.buttons.push_back(Plain(button->text()));
    } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        seen.text = input->labelText().toStdString();
        seen.value = input->textValue().toStdString();
    }
    return seen;
}

void ModalDriver::Poll()
{
    if (active != this)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    // A window already handed to a step is still closing; the same address
    // may come back for a new window only after the old one was destroyed.
    if (modal && modal == handled_.data() && modal->isVisible())
        modal = nullptr;
    for (const QPointer<QWidget>& window : inStep_)
        if (modal && window == modal)
            modal = nullptr;
    if (!modal) {
        if (!steps_.empty() && std::chrono::steady_clock::now() - waitingSince_ > deadline_) {
            problems_.push_back("no modal window came for a step within the deadline");
            steps_.clear();
        }
        return;
    }
    handled_ = modal;
    // A dialog shown again later (the same object) is a new window to answer.
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (handled_ == dialog)
                handled_ = nullptr;
        }, Qt::SingleShotConnection);
    seen_.push_back(Describe(modal));
    if (steps_.empty()) {
        problems_.push_back("unexpected modal window \"" + seen_.back().title + "\": " + seen_.back().text);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    waitingSince_ = std::chrono::steady_clock::now();
    // Queued, so that the poll returns first: a step that opens another
    // modal window runs a nested loop in which this timer still fires.
    QPointer<QWidget> target = modal;
    QMetaObject::invokeMethod(this, [this, target, step = std::move(step)] {
        if (!target)
            return;
        inStep_.push_back(target);
        step(target.data());
        inStep_.pop_back();
    }, Qt::QueuedConnection);
}

bool ModalDriver::AllDone() const
{
    return steps_.empty() && problems_.empty();
}

std::string ModalDriver::Report() const
{
    std::string report;
    for (const std::string& problem : problems_)
        report += problem + "\n";
    if (!steps_.empty())
        report += std::to_string(steps_.size()) + " step(s) never ran\n";
    return report;
}

bool ModalDriver::WaitAllDone()
{
    while (!steps_.empty()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (std::chrono::steady_clock::now() - waitingSince_ > deadline_ + std::chrono::seconds(1))
            break;
    }
    QApplication::processEvents();
    return AllDone();
}
