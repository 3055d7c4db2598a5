#include "output/MessageBox.h"

#include "output/Form1.h"
#include "platform/thread/Thread.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <vector>

namespace {

QMessageBox::Icon IconOf(unsigned style)
{
    switch (style & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct Answer {
    QMessageBox::StandardButton button;
    int id;
};

std::vector<Answer> ButtonsOf(unsigned style)
{
    switch (style & 0x0F) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

} // namespace

int MessageBoxA(QWidget* owner, const std::string& text, const std::string& caption, unsigned style)
{
    QMessageBox box(IconOf(style), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, owner ? owner : Form1Window());
    const std::vector<Answer> answers = ButtonsOf(style);
    for (const Answer& answer : answers)
        box.addButton(answer.button);
    box.setDefaultButton(answers.front().button);
    // An OK box closes with Escape as the class library's does; a Yes/No
    // question has no escape answer of its own and reads a close as Cancel.
    if (answers.size() == 1)
        box.setEscapeButton(box.button(answers.front().button));
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (const Answer& answer : answers) {
        if (clicked && clicked == box.button(answer.button))
            return answer.id;
    }
    return IDCANCEL;
}

int SyncMessageBox(const std::string& text, const std::string& caption, unsigned style, QWidget* owner)
{
    int result = IDCANCEL;
    TThread::Synchronize([&] {
        // Read on the main thread, where the owner lives.
        QWidget* shownOwner = owner && owner->isVisible() ? owner : nullptr;
        result = MessageBoxA(shownOwner, text, caption, style);
    });
    return result;
}
