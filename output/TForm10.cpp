#include "output/TForm10.h"

#include "output/PreviewPage.h"
#include "ui_TForm10.h"

#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

TForm10* Form10 = nullptr;

namespace {

// Without a sandbox the engine's zygote processes only speed up forking
// page processes, yet the engine waits for both of them to start before it
// returns: most of its start. Launched directly instead, page processes
// start on the engine's own launcher thread. With the sandbox on, the
// zygote is its sandbox and stays. The engine reads its flags from the
// environment once, when the first profile starts it; programs started
// later from here get the environment as it was.
class ZygoteLeftOutWithoutSandbox {
public:
    ZygoteLeftOutWithoutSandbox() : had_(qEnvironmentVariableIsSet(kFlags)), flags_(qgetenv(kFlags))
    {
        const bool sandboxOff =
            qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") || flags_.contains("--no-sandbox");
        if (sandboxOff && !flags_.contains("--no-zygote"))
            qputenv(kFlags, (flags_.trimmed() + " --no-zygote").trimmed());
    }
    ~ZygoteLeftOutWithoutSandbox()
    {
        if (had_)
            qputenv(kFlags, flags_);
        else
            qunsetenv(kFlags);
    }

private:
    static constexpr const char* kFlags = "QTWEBENGINE_CHROMIUM_FLAGS";
    bool had_;
    QByteArray flags_;
};

} // namespace

TForm10::TForm10(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm10>())
{
    ui_->setupUi(this);
    WebBrowser1 = ui_->WebBrowser1;
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
}

void TForm10::StartBrowser()
{
    if (page_)
        return;
    {
        // A private in-memory profile without a cache: each preview shows
        // the folder as it is on disk now, never an earlier copy.
        const ZygoteLeftOutWithoutSandbox flags;
        profile_ = new QWebEngineProfile(this);
    }
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
    StartBrowser();
    // Earlier previews' folders are gone by now; keep them out of reach.
    page_->history()->clear();
    WebBrowser1->load(address);
    WebBrowser1->setVisible(true);
    setWindowState(windowState() | Qt::WindowMaximized);
    return exec();
}
