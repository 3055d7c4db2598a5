#pragma once
// The preview window: a maximised window filled by a web view that shows a
// generated folder's front page. Main thread only.
//
// The web engine behind the view blocks the main thread while it starts
// (waiting for its sandbox's helper processes, a fifth of a second to most
// of one), and costs processes and memory a session without a preview never
// needs: the window is made without it, and the first ShowPortfolio brings
// it up.
#include <QDialog>
#include <QUrl>
#include <memory>
#include <string>

class QWebEngineView;
class QWebEngineProfile;
class PreviewPage;
class LocalOnlyInterceptor;

namespace Ui {
class TForm10;
}

class TForm10 : public QDialog {
    Q_OBJECT

public:
    explicit TForm10(QWidget* owner = nullptr);
    ~TForm10() override;

    // Shows folder/portfolio.html modally; returns the dialog result when the
    // user closes the window.
    int ShowPortfolio(const std::string& folder);

    // Starts the web engine and gives the view its page; once only.
    void StartBrowser();
    bool BrowserStarted() const { return page_ != nullptr; }

    // The front page of a generated folder, with or without its final "/".
    static QUrl PortfolioAddress(const std::string& folder);

    // Has no page of its own until the browser has started: asking it for
    // one before would start the engine with the wrong profile.
    QWebEngineView* WebBrowser1 = nullptr;

private:
    std::unique_ptr<Ui::TForm10> ui_;
    QWebEngineProfile* profile_ = nullptr;
    std::unique_ptr<LocalOnlyInterceptor> interceptor_;
    PreviewPage* page_ = nullptr;
};

// The preview window made at start-up (null when the program made none; the
// HTML generator then makes its own).
extern TForm10* Form10;
