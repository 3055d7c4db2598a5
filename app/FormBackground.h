#pragma once
// The light grey every form and page of the program is painted in.
class QWidget;

// Sets the widget's window colour to the forms' grey. Main thread only.
void UseFormBackground(QWidget* form);
