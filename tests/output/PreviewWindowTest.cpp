#include "output/PreviewPage.h"
#include "output/TForm10.h"

#include "tests/support/TempDir.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

// The engine refuses to start its sandbox as root (CI runs as root); it
// reads this before the first page exists, so it is set before main.
const bool kSandboxOffForRoot = [] {
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    return true;
}();

std::string FrontPage(const std::string& colour, const std::string& extra = "")
{
    return "<html><head><style>html,body{margin:0;height:100%;background:" + colour +
           ";}</style></head><body>" + extra + "</body></html>";
}

// Runs ShowPortfolio and, while the window is up, waits until the page has
// loaded and pred(window) holds; then closes the window.
struct PreviewRun {
    bool loaded = false;
    bool loadOk = false;
    bool predHeld = false;
    QImage shot;
};

PreviewRun RunPreview(TForm10& window, const std::string& folder,
                      const std::function<bool(TForm10&, const QImage&)>& pred)
{
    PreviewRun run;
    auto connection = QObject::connect(window.WebBrowser1, &QWebEngineView::loadFinished, [&](bool ok) {
        // Only the first load counts: a refused navigation reports a failed
        // load of its own later.
        if (!run.loaded)
            run.loadOk = ok;
        run.loaded = true;
    });
    QElapsedTimer timer;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (run.loaded) {
            run.shot = window.WebBrowser1->grab().toImage();
            if (pred(window, run.shot)) {
                run.predHeld = true;
                window.accept();
                return;
            }
        }
        if (timer.elapsed() > 30000)
            window.reject();
    });
    timer.start();
    poll.start();
    window.ShowPortfolio(folder);
    poll.stop();
    QObject::disconnect(connection);
    return run;
}

bool CentreIs(const QImage& shot, QRgb colour)
{
    return !shot.isNull() && shot.width() > 10 &&
           (shot.pixel(shot.width() / 2, shot.height() / 2) & 0xFFFFFF) == (colour & 0xFFFFFF);
}

class UrlSink : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

} // namespace

TEST(PreviewWindowTest, AddressIsTheFoldersFrontPage)
{
    const QUrl withSlash = TForm10::PortfolioAddress("/tmp/VelmoraAlbumDesignerPro/0A1B2C3D/");
    const QUrl without = TForm10::PortfolioAddress("/tmp/VelmoraAlbumDesignerPro/0A1B2C3D");
    EXPECT_EQ(withSlash, without);
    EXPECT_TRUE(withSlash.isLocalFile());
    EXPECT_EQ(withSlash.toLocalFile(), "/tmp/VelmoraAlbumDesignerPro/0A1B2C3D/portfolio.html");
    // Characters that mean something in a URL stay part of the path.
    EXPECT_EQ(TForm10::PortfolioAddress("/tmp/a #1?x/").toLocalFile(), "/tmp/a #1?x/portfolio.html");
}

TEST(PreviewWindowTest, NavigationRoutes)
{
    using R = PreviewPage::Route;
    struct Case {
        const char* url;
        bool clicked;
        R route;
    };
    const Case cases[] = {
        {"file:///tmp/p/portfolio.html", false, R::Show},
        {"file:///tmp/p/Data/001.html", true, R::Show},
        {"file:///tmp/p/Data/001.HTM", true, R::Show},
        {"about:blank", false, R::Show},
        {"file:///tmp/p/Data/My%20CV.doc", true, R::Desktop},
        {"https://example.org/", true, R::Desktop},
        {"mailto:artist@example.org", true, R::Desktop},
        {"file:///tmp/p/Data/My%20CV.doc", false, R::Refuse},
        {"https://example.org/", false, R::Refuse},
        {"javascript:alert(1)", true, R::Refuse},
        {"ftp://example.org/x", true, R::Refuse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.url) + (c.clicked ? " clicked" : " not clicked"));
        EXPECT_EQ(PreviewPage::RouteFor(QUrl(c.url), c.clicked), c.route);
    }
}

TEST(PreviewWindowTest, ShowsTheFoldersFrontPageAndASecondPreviewShowsTheSecondFolder)
{
    TempDir first, second;
    first.Write("portfolio.html", FrontPage("#00C040"));
    second.Write("portfolio.html", FrontPage("#2040E0"));

    TForm10 window;
    EXPECT_EQ(window.windowTitle(), "Velmora Voravev, Preview...");

    const PreviewRun one = RunPreview(window, first.Path().string() + "/", [](TForm10&, const QImage& shot) {
        return CentreIs(shot, qRgb(0x00, 0xC0, 0x40));
    });
    EXPECT_TRUE(one.loaded);
    EXPECT_TRUE(one.loadOk);
    EXPECT_TRUE(one.predHeld) << "centre pixel " << std::hex
                              << (one.shot.isNull() ? 0u : one.shot.pixel(one.shot.width() / 2, one.shot.height() / 2));
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);

    // The folder given without its final "/" this time.
    const PreviewRun two = RunPreview(window, second.Path().string(), [](TForm10&, const QImage& shot) {
        return CentreIs(shot, qRgb(0x20, 0x40, 0xE0));
    });
    EXPECT_TRUE(two.loadOk);
    EXPECT_TRUE(two.predHeld);
    EXPECT_EQ(window.WebBrowser1->url(), TForm10::PortfolioAddress(second.Path().string()));
}

TEST(PreviewWindowTest, PageRunsScriptsButReachesNoRemoteAddress)
{
    // A real HTTP peer on the loopback: any connection to it is a leak.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            ++connections;
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 0\r\n\r\n");
            socket->disconnectFromHost();
        }
    });
    const std::string remote = "http://127.0.0.1:" + std::to_string(server.serverPort());

    TempDir folder;
    // The script turns the page red when it runs; the image and the fetch
    // try the peer.
    folder.Write("portfolio.html",
                 FrontPage("#FFFFFF", "<img src=\"" + remote + "/pixel.gif\">"
                                      "<script>document.body.style.background='#E01010';"
                                      "fetch('" + remote + "/data').catch(function(){});"
                                      "alert('no dialog');</script>"));

    TForm10 window;
    const PreviewRun run = RunPreview(window, folder.Path().string(), [](TForm10&, const QImage& shot) {
        return CentreIs(shot, qRgb(0xE0, 0x10, 0x10));
    });
    EXPECT_TRUE(run.loadOk);
    EXPECT_TRUE(run.predHeld) << "the page's script did not run";
    // Give stray requests a moment to arrive before counting.
    QTest::qWait(300);
    EXPECT_EQ(connections, 0);
}

TEST(PreviewWindowTest, FollowedLinksOutsideTheFolderOpenOnTheDesktop)
{
    UrlSink sink;
    QDesktopServices::setUrlHandler("https", &sink, "open");
    QDesktopServices::setUrlHandler("file", &sink, "open");

    TempDir folder;
    folder.Write("Data/My CV.doc", "not really a document");
    folder.Write("portfolio.html",
                 FrontPage("#FFFFFF", "<a id=\"site\" href=\"https://example.org/gallery\">site</a>"
                                      "<a id=\"cv\" href=\"Data/My%20CV.doc\">cv</a>"));

    TForm10 window;
    bool clicked = false;
    const PreviewRun run = RunPreview(window, folder.Path().string(), [&](TForm10& w, const QImage&) {
        if (!clicked) {
            clicked = true;
            w.WebBrowser1->page()->runJavaScript(
                "document.getElementById('site').click(); document.getElementById('cv').click();");
        }
        return sink.urls.size() >= 2;
    });
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("file");

    EXPECT_TRUE(run.loadOk);
    ASSERT_EQ(sink.urls.size(), 2u);
    EXPECT_EQ(sink.urls[0], QUrl("https://example.org/gallery"));
    EXPECT_EQ(sink.urls[1].toLocalFile(), QString::fromStdString(folder / "Data/My CV.doc"));
    // The preview itself stayed on the front page.
    EXPECT_EQ(window.WebBrowser1->url(), TForm10::PortfolioAddress(folder.Path().string()));
}

#include "PreviewWindowTest.moc"
