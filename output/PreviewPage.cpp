#include "output/PreviewPage.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QWebEngineUrlRequestInfo>

namespace {

bool IsFolderPage(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    return suffix == QLatin1String("html") || suffix == QLatin1String("htm");
}

bool DesktopMayOpen(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto") || scheme == QLatin1String("file");
}

// Stands in for a window the page asked for: the first address it would load
// goes to the desktop, then it goes away.
class NewWindowCatcher : public QWebEnginePage {
public:
    NewWindowCatcher(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        if (PreviewPage::RouteFor(url, true) != PreviewPage::Route::Refuse)
            QDesktopServices::openUrl(url);
        deleteLater();
        return false;
    }
};

} // namespace

PreviewPage::Route PreviewPage::RouteFor(const QUrl& url, bool linkClicked)
{
    if (url.scheme() == QLatin1String("about") || IsFolderPage(url))
        return Route::Show;
    if (linkClicked && DesktopMayOpen(url))
        return Route::Desktop;
    return Route::Refuse;
}

PreviewPage::PreviewPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool)
{
    switch (RouteFor(url, type == NavigationTypeLinkClicked)) {
    case Route::Show:
        return true;
    case Route::Desktop:
        QDesktopServices::openUrl(url);
        return false;
    case Route::Refuse:
        break;
    }
    return false;
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType)
{
    return new NewWindowCatcher(profile(), this);
}

void PreviewPage::javaScriptAlert(const QUrl&, const QString&) {}

bool PreviewPage::javaScriptConfirm(const QUrl&, const QString&)
{
    return false;
}

bool PreviewPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*)
{
    return false;
}

void PreviewPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) {}

void LocalOnlyInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QString scheme = info.requestUrl().scheme().toLower();
    const bool local = scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
                       scheme == QLatin1String("blob") || scheme == QLatin1String("about") ||
                       scheme == QLatin1String("qrc");
    if (!local)
        info.block(true);
}
