// The browser and update windows with the real web engine, against a local web server.
#include "common/Hosts.h"
#include "common/Twips.h"
#include "support/WebTestMain.h"
#include "windows/DeskFixture.h"
#include "windows/web/WebPane.h"
#include "windows/web/WebPaneLoader.h"
#include "windows/web/frmBrowser.h"
#include "windows/web/frmUpdate.h"

#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>


namespace {
constexpr int kLoad = 20000;

// Answers every path with a page titled after it and counts what was asked;
// "/tomaker" sends the browser on to the maker's help page.
class PageServer : public QTcpServer
{
public:
    QStringList paths;
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    int asked(const char *path) const { return int(paths.count(QLatin1String(path))); }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->peek(1 << 16).contains("\r\n\r\n"))
                return;
            const QByteArray request = socket->readAll();
            const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
            paths << QString::fromLatin1(path);
            QByteArray body = "<html><head><title>Served " + path + "</title></head></html>";
            if (path == "/tomaker")
                body = "<meta http-equiv=refresh content=\"0;url=http://" + hosts::maker().toLatin1() + "/manager/help.htm\">";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                          "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
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
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_env.set("VELDRIN_PARTNER_HOST", m_server.host().toLatin1());
        m_env.unset("VELDRIN_MAKER_HOST");
        // The engine is only brought in when a window first needs it.
        QVERIFY(!webEngineInProcess());
        if (!webpane::engineAvailable())
            QSKIP("This build has no web engine plugin.");
        QVERIFY(webEngineInProcess());
    }
    // Every test asks for its own paths, so the server's log needs no clearing.
    void init() { m_fx = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(m_fx); }

    void addressWithoutSchemeLoadsAndAnOpenBrowserIsOnlyRaised()
    {
        const QString a = hosts::partner() + QLatin1String("/a"), b = hosts::partner() + QLatin1String("/b");
        desk().ShowWebPage(a);
        frmBrowser *first = desk().browser();
        QTRY_COMPARE_WITH_TIMEOUT(first->web1()->title(), QStringLiteral("Served /a"), kLoad);
        QCOMPARE(nav(first)->text(), a);

        desk().ShowWebPage(b);
        QCOMPARE(desk().browser(), first);
        QCOMPARE(nav(first)->text(), a);

        Desk::closeWindow(first);
        QTRY_VERIFY(!desk().browser());
        desk().ShowWebPage(b);
        QTRY_COMPARE_WITH_TIMEOUT(desk().browser()->web1()->title(), QStringLiteral("Served /b"), kLoad);
        QCOMPARE(nav(desk().browser())->text(), b);
        // Only the second show loaded it: the open browser was raised, not sent on.
        QCOMPARE(m_server.asked("/b"), 1);
    }

    void goLoadsTheTypedTextAndBackForwardFollowHistory()
    {
        desk().ShowWebPage(hosts::partner() + QLatin1String("/one"));
        frmBrowser *browser = desk().browser();
        WebPane *pane = browser->web1();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /one"), kLoad);
        button(browser, "cmdBack")->click();
        button(browser, "cmdForward")->click();

        // Enter in the field does not navigate; only Go does, and the field keeps the typing.
        const QString typed = hosts::partner() + QLatin1String("/two");
        nav(browser)->clear();
        QTest::keyClicks(nav(browser), typed);
        QTest::keyClick(nav(browser), Qt::Key_Return);
        QCOMPARE(pane->title(), QStringLiteral("Served /one"));
        button(browser, "cmdGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /two"), kLoad);
        QCOMPARE(nav(browser)->text(), typed);
        // The page is never cached, so an Enter that had gone there too would show as a second ask.
        QCOMPARE(m_server.asked("/two"), 1);
        QCOMPARE(m_server.asked("/one"), 1);

        button(browser, "cmdBack")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /one"), kLoad);
        button(browser, "cmdForward")->click();
        QTRY_COMPARE_WITH_TIMEOUT(pane->title(), QStringLiteral("Served /two"), kLoad);
    }

    void pageAreaFollowsTheWindowSize()
    {
        desk().ShowWebPage(hosts::partner() + QLatin1String("/size"));
        auto *sub = qobject_cast<QMdiSubWindow *>(desk().browser()->parentWidget());
        QVERIFY(sub);
        WebPane *pane = desk().browser()->web1();
        const QSize before = pane->size();
        sub->resize(sub->width() + twipsToPixels(300), sub->height());
        QTRY_COMPARE(pane->size(), before + QSize(twipsToPixels(300), 0));
    }

    void updateWindowShowsThisVersionsPage()
    {
        desk().ShowUpdatePage();
        QTRY_COMPARE_WITH_TIMEOUT(desk().update()->web1()->title(), QStringLiteral("Veldrin Updates - 0.90 Beta 1"),
                                  kLoad);
        desk().update()->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
        QTRY_VERIFY(!desk().update());
    }

    // The maker's pages come with the program: the maker's host does not even exist here.
    void makersPagesShowWithoutTheirServer_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::newRow("place in the help") << hosts::maker() + "/manager/help.htm#brx" << "Veldrin Help";
        QTest::newRow("sent on by another site") << hosts::partner() + "/tomaker" << "Veldrin Help";
    }
    void makersPagesShowWithoutTheirServer()
    {
        QFETCH(QString, address);
        QFETCH(QString, title);
        desk().ShowWebPage(address);
        QTRY_COMPARE_WITH_TIMEOUT(desk().browser()->web1()->title(), title, kLoad);
    }

private:
    Desk &desk() { return *m_fx->desk; }
    static QLineEdit *nav(frmBrowser *browser) { return browser->findChild<QLineEdit *>(QStringLiteral("txtNav")); }
    static QPushButton *button(QWidget *w, const char *name) { return w->findChild<QPushButton *>(QLatin1String(name)); }

    PageServer m_server;
    std::unique_ptr<DeskFixture> m_fx;
    EnvGuard m_env;
};

int main(int argc, char **argv) { return runWebTest<test_Browser>(argc, argv); }

#include "test_Browser.moc"
