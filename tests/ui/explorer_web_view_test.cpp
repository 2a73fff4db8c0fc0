#include "runs/project_runtime.h"
#include "support/run_state_access.h"
#include "support/wait_until.h"
#include "ui/detail/project_detail_view.h"
#include "ui/explorer/explorer_tab.h"
#include "ui/main_window.h"
#include "ui/support/engine_processes.h"
#include "ui/support/gui_fixture.h"
#include "ui/webview/explorer_web_view.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>
#include <unistd.h>

// The real web view on the offscreen platform, against a page served over loopback.

namespace {

// Answers every request with one small page that stores a cookie and an item in local storage
// and shows in its title what it found there before.
class PageServer : public QTcpServer
{
public:
    bool respond = true;
    QList<QTcpSocket*> held;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                if (!respond) {
                    held.append(socket); // accepted, never answered
                    continue;
                }
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    static const QByteArray body =
                        "<!doctype html><html><head><title>loading</title></head><body>"
                        "<div id=found></div><script>"
                        "const before = (document.cookie || 'none') + '|' +"
                        " (localStorage.getItem('seen') || 'none');"
                        "document.cookie = 'seen=yes; max-age=3600';"
                        "localStorage.setItem('seen', 'yes');"
                        "document.title = 'before ' + before;"
                        "</script></body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QUrl address() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/cdn-cgi/explorer").arg(serverPort()));
    }
};

} // namespace

TEST(ExplorerWebView, LoadsThePageWithStorageThatDiesWithTheViewAndItsRendererEnds)
{
    PageServer server;
    ASSERT_TRUE(server.isListening());

    auto first = std::make_unique<ExplorerWebView>(server.address());
    first->resize(800, 600);
    first->show();
    WAIT_UNTIL(first->isLoaded(), 60000);
    WAIT_UNTIL(first->title() == QStringLiteral("before none|none"), 10000)
        << first->title().toStdString();
    QVariant cookie;
    first->evaluate(QStringLiteral("document.cookie + '|' + localStorage.getItem('seen')"),
                    [&cookie](const QVariant& value) { cookie = value; });
    WAIT_UNTIL(cookie.isValid(), 10000);
    EXPECT_EQ(cookie.toString(), QStringLiteral("seen=yes|yes")) << "the page may store data";
    EXPECT_GT(first->rendererPid(), 0);
    EXPECT_TRUE(webEngineProcesses().contains(QStringLiteral("renderer")))
        << webEngineProcesses().join(u' ').toStdString();

    // A second view, as after "Reload", starts from nothing.
    first.reset();
    auto second = std::make_unique<ExplorerWebView>(server.address());
    second->resize(800, 600);
    second->show();
    WAIT_UNTIL(second->isLoaded(), 60000);
    WAIT_UNTIL(second->title().startsWith(QStringLiteral("before ")), 10000);
    EXPECT_EQ(second->title(), QStringLiteral("before none|none"));

    // No renderer stays once the last view is gone; without the sandbox (as root) there is no
    // zygote either, so no helper at all.
    second.reset();
    WAIT_UNTIL(!webEngineProcesses().contains(QStringLiteral("renderer")), 15000)
        << webEngineProcesses().join(u' ').toStdString();
    if (::geteuid() == 0) {
        EXPECT_EQ(webEngineProcesses(), QStringList());
    }
}

TEST(ExplorerWebView, GivesUpALoadThatDoesNotFinishInTime)
{
    PageServer server;
    server.respond = false;
    ExplorerWebView view(server.address(), false, nullptr, std::chrono::milliseconds(1500));
    view.show();
    QString message;
    QObject::connect(&view, &ExplorerPage::failed, &view,
                     [&message](const QString& text) { message = text; });
    WAIT_UNTIL(!message.isEmpty(), 30000);
    EXPECT_EQ(message, QStringLiteral("The Local Explorer did not load within 1 seconds."));
    EXPECT_FALSE(view.isLoaded());
}

TEST(ExplorerWebView, SaysSoInItsOwnWordsWhenNothingListensAtTheAddress)
{
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    ExplorerWebView view(QUrl(QStringLiteral("http://127.0.0.1:%1/cdn-cgi/explorer").arg(port)));
    view.show();
    QString message;
    QObject::connect(&view, &ExplorerPage::failed, &view,
                     [&message](const QString& text) { message = text; });
    WAIT_UNTIL(!message.isEmpty(), 30000);
    EXPECT_EQ(message, QStringLiteral("The Local Explorer can't be reached at 127.0.0.1:%1 "
                                      "(ERR_CONNECTION_REFUSED).")
                           .arg(port));
}

TEST(ExplorerWebView, InTheWindowLivesOnlyWhileItsTabIsShownAndEndsWithTheProjectsChange)
{
    PageServer server;
    const QString api = QStringLiteral("/home/dev/Sites/api");
    const QString blog = QStringLiteral("/home/dev/Sites/blog");
    GuiFixture fixture(Registry{
        {}, {testProject(api, QStringLiteral("api")), testProject(blog, QStringLiteral("blog"))}});
    ProjectRuntime* runtime = fixture.model().runtimeFor(api);
    RunStateTestAccess::setStatus(*runtime, ProjectStatus::running());
    RunStateTestAccess::setUrl(
        *runtime, QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())));
    fixture.model().select(api);
    fixture.model().setSelectedTab(DetailTab::explorer);
    MainWindow window(fixture.ui());
    window.resize(1100, 700);
    window.show();

    const auto shownView = [&window]() -> ExplorerWebView* {
        auto* tab = qobject_cast<ExplorerTab*>(window.detail()->currentTab());
        return tab ? qobject_cast<ExplorerWebView*>(tab->page()) : nullptr;
    };
    const auto renderers = [] { return webEngineProcesses().count(QStringLiteral("renderer")); };
    WAIT_UNTIL(shownView() && shownView()->isLoaded(), 60000);
    EXPECT_EQ(shownView()->url(), server.address());
    EXPECT_EQ(renderers(), 1);

    // Another tab: the page goes, and so does its renderer.
    QPointer<ExplorerTab> tab = qobject_cast<ExplorerTab*>(window.detail()->currentTab());
    fixture.model().setSelectedTab(DetailTab::logs);
    EXPECT_EQ(tab->page(), nullptr);
    WAIT_UNTIL(renderers() == 0, 15000);

    // Back: a new page.
    fixture.model().setSelectedTab(DetailTab::explorer);
    WAIT_UNTIL(shownView() && shownView()->isLoaded(), 60000);

    // Another project, not running: its Explorer has no page, and the first one's renderer ends.
    fixture.model().select(blog);
    WAIT_UNTIL(tab.isNull(), 5000);
    auto* blogTab = qobject_cast<ExplorerTab*>(window.detail()->currentTab());
    ASSERT_NE(blogTab, nullptr);
    EXPECT_EQ(blogTab->content(), ExplorerTab::Content::notRunning);
    WAIT_UNTIL(renderers() == 0, 15000);
}
