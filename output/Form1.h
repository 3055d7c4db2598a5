#pragma once
// The main window as the job windows see it. The main window registers
// itself once it exists (its form variable Form1 is typed as the main window
// class where that class lives); from here only its enabled state is touched.
//
// Every progress window that is shown holds the main window disabled, so the
// main window takes input again only when the last of them is hidden, and a
// window that is destroyed while shown lets go of it too.
#include <QWidget>

// Registers the main window (nullptr to forget it). The held-disabled state
// carries over to a window registered while progress windows are shown.
void RegisterForm1(QWidget* form);
// The registered main window, or nullptr (also after it was destroyed).
QWidget* Form1Window();

// Main thread only.
void DisableForm1By(const void* holder);
void EnableForm1By(const void* holder);
bool Form1HeldDisabled();
