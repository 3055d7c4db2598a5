#pragma once
// The preview window: a maximised window filled by a web view that shows a
// generated folder's front page. Main thread only.
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

    // The front page of a generated folder, with or without its final "/".
    static QUrl PortfolioAddress(const std::string& folder);

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
