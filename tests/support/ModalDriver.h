#pragma once
// Answers the modal windows a test makes the program open. Create it before
// the code under test runs exec(): a timer looks for
// QApplication::activeModalWidget() and hands every new modal window to the
// next queued step, which may check it, fill it in and close it. Steps run
// from the event loop, so a step may itself open another modal window.
//
// A modal window that appears after the last step is closed (rejected) and
// reported as unexpected; a step still waiting when its deadline passes is
// reported as missing. Check AllDone() and Report() at the end of a test.
// Of several drivers alive at once only the newest answers.
#include <QColor>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QWidget;

// What a step saw of the window it handled.
struct SeenModal {
    std::string className;   // "QMessageBox", "QInputDialog", "QFileDialog", ...
    std::string title;       // window title
    std::string text;        // message text, or an input dialog's label
    std::string value;       // an input dialog's preset text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<std::string> buttons;  // message box button texts, without '&'
};

class ModalDriver : public QObject {
public:
    using Step = std::function<void(QWidget* modal)>;

    explicit ModalDriver(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    ~ModalDriver() override;

    // A step of its own: receives the modal window; it must close it.
    ModalDriver& Then(Step step);
    // Message box: press the standard button (QMessageBox::Yes, ...).
    ModalDriver& Press(QMessageBox::StandardButton button);
    // Input dialog: set the text and press OK, or press Cancel.
    ModalDriver& Input(const QString& text);
    ModalDriver& CancelInput();
    // File dialog: choose the file and accept.
    ModalDriver& ChooseFile(const QString& path);
    // Colour dialog: choose the colour and accept.
    ModalDriver& ChooseColor(const QColor& color);
    // Any modal window: reject it (Cancel, Escape).
    ModalDriver& Reject();

    // Every queued step ran and no unexpected window came.
    bool AllDone() const;
    // What went wrong, for the failure message.
    std::string Report() const;
    const std::vector<SeenModal>& Seen() const { return seen_; }
    // Runs the event loop until every step ran or the deadline passed.
    bool WaitAllDone();

    static SeenModal Describe(QWidget* modal);

private:
    void Poll();

    std::deque<Step> steps_;
    std::vector<SeenModal> seen_;
    std::vector<std::string> problems_;
    QPointer<QWidget> handled_;
    // Windows whose step is still running: one whose step opened a nested
    // modal window is the active modal window again once that one closes.
    std::vector<QPointer<QWidget>> inStep_;
    QTimer timer_;
    std::chrono::milliseconds deadline_;
    std::chrono::steady_clock::time_point waitingSince_;
    ModalDriver* previous_ = nullptr;
};
