#include "output/TForm10.h"

#include "output/PreviewPage.h"
#include "ui_TForm10.h"

#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

TForm10* Form10 = nullptr;

TForm10::TForm10(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm10>())
{
    ui_->setupUi(this);
    WebBrowser1 = ui_->WebBrowser1;
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);

    // A private in-memory profile without a cache: each preview shows the
    // folder as it is on disk now, never an earlier copy.
    profile_ = new QWebEngineProfile(this);
    profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    interceptor_ = std::make_unique<LocalOnlyInterceptor>();
    profile_->setUrlRequestInterceptor(interceptor_.get());

    QWebEngineSettings* settings = profile_->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);

    page_ = new PreviewPage(profile_, this);
    WebBrowser1->setPage(page_);
}

TForm10::~TForm10()
{
    // The engine wants its pages gone before their profile.
    delete page_;
    page_ = nullptr;
    delete profile_;
    profile_ = nullptr;
}

QUrl TForm10::PortfolioAddress(const std::string& folder)
{
    QString path = QString::fromStdString(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return QUrl::fromLocalFile(path + QLatin1String("portfolio.html"));
}

int TForm10::ShowPortfolio(const std::string& folder)
{
    const QUrl address = PortfolioAddress(folder);
    // Earlier previews' folders are gone by now; keep them out of reach.
    page_->history()->clear();
    WebBrowser1->load(address);
    WebBrowser1->setVisible(true);
    setWindowState(windowState() | Qt::WindowMaximized);
    return exec();
}
