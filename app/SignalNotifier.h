#pragma once
// Turns the signals that ask a program to end (SIGTERM from a session end or
// `kill`, SIGHUP when the terminal goes, SIGINT from Ctrl+C) into a call on the main thread's
// event loop, so the program ends through its own shut-down path rather
// than dying where it stands. One per process, made on the main thread
// once an application object exists.
#include <QObject>

#include <functional>

class QSocketNotifier;

class SignalNotifier : public QObject {
public:
    // onSignal runs on the main thread once for each signal received.
    explicit SignalNotifier(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    // The default actions are restored.
    ~SignalNotifier() override;
    SignalNotifier(const SignalNotifier&) = delete;
    SignalNotifier& operator=(const SignalNotifier&) = delete;

    // False when the signals could not be caught (they then end the
    // program at once, as before).
    bool IsActive() const { return notifier_ != nullptr; }

private:
    void Drain();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
