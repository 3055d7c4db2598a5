#pragma once
// Modal results as the class library's dialogs return them. QDialog's own
// Rejected is 0, which the callers of our dialogs would read as "no result".
class QDialog;

enum : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// Runs the dialog modally: mrCancel when it was rejected (Escape, the close
// box), otherwise the result it was closed with (accept() gives mrOk).
int ShowModal(QDialog& dialog);
