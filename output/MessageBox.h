#pragma once
// Message boxes with the class library's styles and answers. The job threads
// of services/ and app/ show theirs through SyncMessageBox, which is why this
// lives below them.
#include <string>

class QWidget;

// Styles and answers as the class library's message box has them.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Main thread. A null owner parents the box to the registered main window
// (Form1Window()). A box closed without a button (Escape, the window
// manager) answers IDCANCEL, so Yes/No questions proceed on Yes only.
int MessageBoxA(QWidget* owner, const std::string& text, const std::string& caption, unsigned style);
// Any thread: on a worker it goes through TThread::Synchronize, on the main
// thread it runs directly. A job passes its own window as the owner: the
// window stays on top and would cover a box parented to the main window. An
// owner that is not shown gives way to the main window.
int SyncMessageBox(const std::string& text, const std::string& caption, unsigned style, QWidget* owner = nullptr);
