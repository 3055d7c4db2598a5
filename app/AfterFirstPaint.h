#pragma once
// Runs a call once a window has painted for the first time, from the event
// loop's next turn, so that the window is on screen before slow start-up
// work that must run on the main thread. Made on the main thread; it goes
// away after the call, or unused with its context.
#include <QObject>

#include <functional>

class QWidget;

class AfterFirstPaint : public QObject {
public:
    // The call is dropped when context goes before it could run.
    static void Run(QWidget* window, QObject* context, std::function<void()> call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AfterFirstPaint(QObject* context, std::function<void()> call);

    std::function<void()> call_;
};
