#pragma once
// DisabledWindow: keeps a window disabled for the length of a scope, so that
// work the window started on a worker (a send, a connection test) cannot be
// started a second time while the event loop keeps running. Main thread only.
#include <QPointer>
#include <QWidget>

class DisabledWindow {
public:
    explicit DisabledWindow(QWidget* window) : window_(window) { window_->setEnabled(false); }
    ~DisabledWindow()
    {
        if (window_)
            window_->setEnabled(true);
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    QPointer<QWidget> window_;
};
