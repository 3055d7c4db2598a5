#pragma once
// The application object: the QApplication of the program and of the window
// tests. What a slot or event handler lets escape is shown as the class
// library's standard exception display, a critical box titled with the
// application's title, and the program goes on. Main thread only.
#include <QApplication>
#include <string>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // The caption of the exception box ("Velmora Voravev").
    std::string Title = "Velmora Voravev";

    // The standard exception display: the message in a critical box.
    void ShowException(const std::string& message);
};

// The running application object, or null (no TApplication exists).
TApplication* Application();
