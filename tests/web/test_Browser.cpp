// The browser and update windows with the real web engine, against a local web server.
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/frmMDI.h"
#include "shell/Twips.h"
#include "support/ScriptedPrompts.h"
#include "web/WebPane.h"
#include "web/WebPaneLoader.h"
#include "web/frmBrowser.h"
#include "web/frmUpdate.h"

#include <QApplication>
#include <QMdiArea>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

constexpr int kLoadTimeout = 20000;
// How long to wait before concluding that nothing was loaded.
constexpr int kQuietWait = 700;

// A web server that answers every path with a page titled after the path, and remembers
// what was asked. "/tomaker" sends the browser on to the maker's help page.
class PageServer
{
public:
    bool start()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                serve(socket);
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    int timesAsked(const QString &path) const { return int(paths.count(path)); }

    QStringList paths;

private:
    void serve(QTcpSocket *socket)
    {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->readAll());
            if (!request->contains("\r\n\r\n"))
                return;
            const QByteArray path = request->left(request->indexOf("\r\n")).split(' ').value(1);
            request->clear();
            paths << QString::fromLatin1(path);
            QByteArray head;
            if (path == "/tomaker")
                head = "<meta http-equiv=\"refresh\" content=\"0;url=http://" + hosts::maker().toLatin1()
                       + "/manager/help.htm\">";
            const QByteArray body = "<html><head><title>Served " + path + "</title>" + head + "</head><body><p>"
                                    + path + "</p></body></html>";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                          "Connection: close\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
};

bool webEngineInProcess()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

} // namespace

class test_Browser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("VELDRIN_PARTNER_HOST", m_server.host().toLatin1());
        qputenv("VELDRIN_FORUMS_URL", (QLatin1String("http://") + m_server.host() + QLatin1String("/forums")).toLatin1());
        qunsetenv("VELDRIN_MAKER_HOST");
        // The engine is only brought in when a window first needs it.
        QVERIFY(!webEngineInProcess());
        if (!webpane::engineAvailable())
            QSKIP("This build has no web engine plugin.");
        QVERIFY(webEngineInProcess());
    }

    void init()
    {
        m_state = Modual1();
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_desk = std::make_unique<Desk>(m_state, *m_prompts);
        m_server.paths.clear();
    }

    void cleanup()
    {
        QVERIFY(!m_prompts->unscripted);
        // Children first, as a user closes them; then the frame goes with the desk.
        if (frmMDI *frame = m_desk->openMdi()) {
            frame->mdiArea()->closeAllSubWindows();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        m_desk.reset();
        const QWidgetList leftOver = QApplication::topLevelWidgets();
        for (QWidget *w : leftOver)
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void addressWithoutSchemeIsLoadedAndShownAsHandedOver()
    {
        const QString address = hosts::partner() + QLatin1String("/fernlow");
        m_desk->ShowWebPage(address);
        frmBrowser *browser = m_desk->browser();
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(browser->web1()->title(), QStringLiteral("Served /fernlow"), kLoadTimeout);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/fernlow")), 1);
        QCOMPARE(nav(browser)->text(), address);
        QCOMPARE(m_state.BrowserAddress, address);

        // A full address with its scheme works the same way (the forums link).
        Desk::closeWindow(browser);
        QTRY_VERIFY(!m_desk->browser());
        m_desk->ShowWebPage(hosts::forums());
        QTRY_COMPARE_WITH_TIMEOUT(m_desk->browser()->web1()->title(), QStringLiteral("Served /forums"), kLoadTimeout);
        QCOMPARE(nav(m_desk->browser())->text(), hosts::forums());
    }

    void openBrowserIsOnlyRaisedUntilClosed()
    {
        const QString a = hosts::partner() + QLatin1String("/a.html");
        const QString b = hosts::partner() + QLatin1String("/b.html");
        m_desk->ShowWebPage(a);
        frmBrowser *first = m_desk->browser();
        QTRY_COMPARE_WITH_TIMEOUT(first->web1()->title(), QStringLiteral("Served /a.html"), kLoadTimeout);

        m_desk->ShowWebPage(b);
        QCOMPARE(m_desk->browser(), first);
        QTest::qWait(kQuietWait);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/b.html")), 0);
        QCOMPARE(first->web1()->title(), QStringLiteral("Served /a.html"));
        QCOMPARE(nav(first)->text(), a);

        Desk::closeWindow(first);
        QTRY_VERIFY(!m_desk->browser());
        m_desk->ShowWebPage(b);
        frmBrowser *second = m_desk->browser();
        QTRY_COMPARE_WITH_TIMEOUT(second->web1()->title(), QStringLiteral("Served /b.html"), kLoadTimeout);
        QCOMPARE(nav(second)->text(), b);
    }

    void onlyGoNavigatesToTheTypedAddress()
    {
        m_desk->ShowWebPage(hosts::partner() + QLatin1String("/start"));
        frmBrowser *browser = m_desk->browser();
        QTRY_COMPARE_WITH_TIMEOUT(browser->web1()->title(), QStringLiteral("Served /start"), kLoadTimeout);

        QLineEdit *field = nav(browser);
        const QString typed = hosts::partner() + QLatin1String("/typed");
        field->clear();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter);
        QTest::qWait(kQuietWait);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/typed")), 0);

        button(browser, "cmdGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(browser->web1()->title(), QStringLiteral("Served /typed"), kLoadTimeout);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/typed")), 1);
        // The field keeps what the user typed; it does not follow the page.
        QCOMPARE(field->text(), typed);
    }

    void backAndForwardFollowTheHistoryAndIdleWithout()
    {
        m_desk->ShowWebPage(hosts::partner() + QLatin1String("/one"));
        frmBrowser *browser = m_desk->browser();
        WebPane *pane = browser->web1();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /one"), kLoadTimeout);

        button(browser, "cmdBack")->click();
        button(browser, "cmdForward")->click();
        QTest::qWait(kQuietWait);
        QCOMPARE(pane->title(), QStringLiteral("Served /one"));
        QCOMPARE(m_server.timesAsked(QStringLiteral("/one")), 1);

        nav(browser)->setText(hosts::partner() + QLatin1String("/two"));
        button(browser, "cmdGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /two"), kLoadTimeout);
        button(browser, "cmdBack")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /one"), kLoadTimeout);
        button(browser, "cmdForward")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /two"), kLoadTimeout);

        const int askedOne = m_server.timesAsked(QStringLiteral("/one"));
        const int askedTwo = m_server.timesAsked(QStringLiteral("/two"));
        button(browser, "cmdForward")->click();
        QTest::qWait(kQuietWait);
        QCOMPARE(pane->title(), QStringLiteral("Served /two"));
        QCOMPARE(m_server.timesAsked(QStringLiteral("/one")), askedOne);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/two")), askedTwo);

        button(browser, "cmdRefresh")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_server.timesAsked(QStringLiteral("/two")), askedTwo + 1, kLoadTimeout);
    }

    void pageAreaFollowsTheWindowSize()
    {
        m_desk->ShowWebPage(hosts::partner() + QLatin1String("/size"));
        frmBrowser *browser = m_desk->browser();
        auto *sub = qobject_cast<QMdiSubWindow *>(browser->parentWidget());
        QVERIFY(sub);
        WebPane *pane = browser->web1();
        QCOMPARE(pane->pos(), QPoint(0, twipsToPixels(720)));
        QCOMPARE(pane->width(), twipsToPixels(pixelsToTwips(sub->width()) - 100));
        QCOMPARE(pane->height(), twipsToPixels(pixelsToTwips(sub->height()) - 1100));

        const QSize before = pane->size();
        sub->resize(sub->width() + twipsToPixels(300), sub->height());
        QTRY_COMPARE(pane->width(), before.width() + twipsToPixels(300));
        QCOMPARE(pane->height(), before.height());
        QCOMPARE(pane->pos(), QPoint(0, twipsToPixels(720)));

        // Smaller than the button strip: the page area is empty, never negative.
        sub->resize(sub->width(), twipsToPixels(600));
        if (pixelsToTwips(sub->height()) <= 1100)
            QTRY_COMPARE(pane->height(), 0);
    }

    void updateWindowShowsThisVersionsPage()
    {
        m_desk->ShowUpdatePage();
        frmUpdate *update = m_desk->update();
        QVERIFY(update);
        QVERIFY(update->isWindow());
        QTRY_COMPARE_WITH_TIMEOUT(update->web1()->title(), QStringLiteral("Veldrin Updates - 0.90 Beta 1"),
                                  kLoadTimeout);

        update->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
        QTRY_VERIFY(!m_desk->update());
    }

    // The maker's pages come with the program: the maker's host does not even exist here.
    void makersPagesShowWithoutAServer_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("home") << "" << "Brackenway - Veldrin";
        QTest::newRow("help") << "/manager/help.htm" << "Veldrin Help";
        QTest::newRow("place in the help") << "/manager/help.htm#brx" << "Veldrin Help";
        QTest::newRow("update folder") << "/manager/update" << "Veldrin Updates - 0.90 Beta 1";
        QTest::newRow("unknown") << "/manager/old.htm" << "Brackenway - Page not found";
    }
    void makersPagesShowWithoutAServer()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        m_desk->ShowWebPage(hosts::maker() + path);
        QTRY_COMPARE_WITH_TIMEOUT(m_desk->browser()->web1()->title(), title, kLoadTimeout);
    }

    void linksFromOtherSitesToTheMakerAreServedFromTheBundle()
    {
        m_desk->ShowWebPage(hosts::partner() + QLatin1String("/tomaker"));
        QTRY_COMPARE_WITH_TIMEOUT(m_desk->browser()->web1()->title(), QStringLiteral("Veldrin Help"), kLoadTimeout);
        QCOMPARE(m_server.timesAsked(QStringLiteral("/tomaker")), 1);
    }

private:
    static QLineEdit *nav(frmBrowser *browser) { return browser->findChild<QLineEdit *>(QStringLiteral("txtNav")); }
    static QPushButton *button(QWidget *window, const char *name)
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }

    PageServer m_server;
    Modual1 m_state;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<Desk> m_desk;
};

int main(int argc, char **argv)
{
    // The web engine wants both of these before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    test_Browser test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_Browser.moc"
