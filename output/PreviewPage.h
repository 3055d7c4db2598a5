#pragma once
// The page behind the preview window. It shows the generated folder's own
// pages and nothing else: JavaScript runs (roll-overs), but the page cannot
// show dialogs, open windows or reach the network. A link the user follows to
// something that is not one of the folder's pages (a web site, a mail
// address, an attached document) opens in the desktop's handler instead.
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

class PreviewPage : public QWebEnginePage {
public:
    enum class Route { Show, Desktop, Refuse };
    // Where a navigation to url goes; linkClicked when the user followed a link.
    static Route RouteFor(const QUrl& url, bool linkClicked);

    explicit PreviewPage(QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
};

// Keeps every request of the preview on this machine: local files and
// in-page data only.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};
