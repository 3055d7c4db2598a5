#pragma once
// Answers the next modal dialog of a test: started before the code that
// opens the dialog, it looks from a timer on the main thread for
// QApplication::activeModalWidget() (until its deadline) and hands it to the
// test's handler, which checks it and presses a button.
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

class ModalDriver : public QObject {
public:
    using Handler = std::function<void(QWidget* modal)>;
    explicit ModalDriver(Handler handler, std::chrono::milliseconds deadline = std::chrono::seconds(60));

    // Whether the handler ran.
    bool Handled() const { return handled_; }

    // For message boxes.
    static QMessageBox* AsMessageBox(QWidget* modal) { return qobject_cast<QMessageBox*>(modal); }
    // Clicks the box's button for the answer.
    static void Press(QWidget* modal, QMessageBox::StandardButton button);

private:
    void Poll();

    Handler handler_;
    QTimer timer_;
    std::chrono::steady_clock::time_point deadline_;
    bool handled_ = false;
};
