// Files that links lead to, fetched by the real web engine in the browser window from a local
// server: progress on the way, the file in the program folder's Downloads\ only once whole,
// the install question for add-ons, and nothing under the final name when a download is
// cancelled or its connection drops.
#include "common/Hosts.h"
#include "support/WebTestMain.h"
#include "windows/DeskFixture.h"
#include "windows/install/frmInstall.h"
#include "windows/web/DownloadBar.h"
#include "windows/web/WebPane.h"
#include "windows/web/WebPaneLoader.h"
#include "windows/web/frmBrowser.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>


namespace {
constexpr int kLoad = 30000;
constexpr int kSize = 256 * 1024;
constexpr int kFirstPart = kSize / 4;

QByteArray archiveBytes()
{
    QByteArray bytes(kSize, Qt::Uninitialized);
    for (int i = 0; i < kSize; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// "/link/NAME" is a page that is one big link to "/NAME". A ".zip" comes in two parts: the
// first quarter at once, the rest when the test releases it, or never when the test drops
// the connection (and every later ask for it too, so a retry by the engine fails as well).
// Any other name is sent whole as an attachment.
class FileServer : public QTcpServer
{
public:
    QStringList paths;
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    int asked(const QString &path) const { return int(paths.count(path)); }

    void release()
    {
        QCOMPARE(m_held.size(), 1);
        QVERIFY(m_held.constFirst());
        m_held.constFirst()->write(archiveBytes().mid(kFirstPart));
        m_held.constFirst()->disconnectFromHost();
        m_held.clear();
    }
    void drop()
    {
        m_dropping = true;
        for (const QPointer<QTcpSocket> &held : std::as_const(m_held)) {
            if (held)
                held->abort();
        }
    }

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
            const QByteArray path = QByteArray::fromPercentEncoding(request.left(request.indexOf("\r\n")).split(' ').value(1));
            paths << QString::fromUtf8(path);
            answer(socket, path);
        });
    }

private:
    void answer(QTcpSocket *socket, const QByteArray &path)
    {
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        if (path.startsWith("/link/")) {
            const QByteArray page = "<html><head><title>Link to " + name + "</title></head><body style=\"margin:0\">"
                                    "<a href=\"/" + name + "\" style=\"display:block;width:100%;height:100vh\">"
                                    + name + "</a></body></html>";
            send(socket, "text/html", page, {});
        } else if (name.endsWith(".zip")) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n"
                          "Content-Disposition: attachment; filename=\"" + name + "\"\r\n"
                          "Content-Length: " + QByteArray::number(kSize) + "\r\n\r\n" + archiveBytes().left(kFirstPart));
            // The engine tries again by itself after a drop; each try is dropped the same way.
            if (m_dropping)
                connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
                    if (socket->bytesToWrite() == 0)
                        socket->abort();
                });
            else
                m_held << socket;
        } else if (name.contains('.')) {
            send(socket, "application/octet-stream", "bytes of " + name, "Content-Disposition: attachment\r\n");
        } else {
            send(socket, "text/html", "<html><head><title>Nothing</title></head></html>", {});
        }
    }

    static void send(QTcpSocket *socket, const QByteArray &type, const QByteArray &body, const QByteArray &extra)
    {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nCache-Control: no-store\r\nConnection: close\r\n"
                      + extra + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QList<QPointer<QTcpSocket>> m_held;
    bool m_dropping = false;
};
} // namespace

class test_Downloads : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_env.set("VELDRIN_PARTNER_HOST", m_server.host().toLatin1());
        if (!webpane::engineAvailable())
            QSKIP("This build has no web engine plugin.");
    }
    void init() { m_fx = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(m_fx); }

    void aLinkedArchiveShowsProgressIsSavedWholeAndOffered()
    {
        follow(QStringLiteral("island.zip"));
        // The first quarter is in; the rest waits on the server.
        QTRY_COMPARE_WITH_TIMEOUT(line(), QStringLiteral("Downloading island.zip: 65,536 of 262,144 bytes (25%)"), kLoad);
        QVERIFY(button("cmdCancelDownload")->isVisible());
        QVERIFY(!m_fx->tree.exists(QStringLiteral("Veldrin/Downloads/island.zip")));

        m_fx->prompts.answerQuestion(false);
        m_server.release();
        QTRY_COMPARE_WITH_TIMEOUT(line(), QStringLiteral("Saved island.zip in C:\\Veldrin\\Downloads\\"), kLoad);
        QVERIFY(!button("cmdCancelDownload")->isVisible());
        QCOMPARE(m_fx->tree.read(QStringLiteral("Veldrin/Downloads/island.zip")), archiveBytes());
        QCOMPARE(downloaded(), QStringList({QStringLiteral("island.zip")}));
        QTRY_COMPARE(questions(), QStringList({QStringLiteral("Install island.zip now?")}));
        QVERIFY(!m_fx->desk->install());
        button("cmdCloseDownload")->click();
        QVERIFY(!bar()->isVisible());
    }

    // Yes opens the installer with the saved file chosen; a name that is taken gets a number
    // and the player's file stays. A file of another kind is saved without a question.
    void aSavedMapGoesToTheInstallerAndOtherKindsAreOnlySaved()
    {
        m_fx->tree.write(QStringLiteral("Veldrin/Downloads/island.txt"), "mine");
        m_fx->prompts.answerQuestion(true);
        follow(QStringLiteral("island.txt"));
        QTRY_VERIFY2_WITH_TIMEOUT(m_fx->desk->install(), qPrintable(line()), kLoad);
        QCOMPARE(questions(), QStringList({QStringLiteral("Install island (2).txt now?")}));
        QCOMPARE(DeskFixture::at<QLabel>(m_fx->desk->install(), "lblPath")->text(),
                 QStringLiteral("C:\\Veldrin\\Downloads\\island (2).txt"));
        QCOMPARE(m_fx->tree.read(QStringLiteral("Veldrin/Downloads/island (2).txt")), QByteArray("bytes of island.txt"));
        QCOMPARE(m_fx->tree.read(QStringLiteral("Veldrin/Downloads/island.txt")), QByteArray("mine"));

        follow(QStringLiteral("notes.doc"));
        QTRY_COMPARE_WITH_TIMEOUT(line(), QStringLiteral("Saved notes.doc in C:\\Veldrin\\Downloads\\"), kLoad);
        QCOMPARE(m_fx->tree.read(QStringLiteral("Veldrin/Downloads/notes.doc")), QByteArray("bytes of notes.doc"));
        QCOMPARE(questions().size(), 1);
    }

    void cancelledAndDroppedDownloadsLeaveNoFile()
    {
        follow(QStringLiteral("cancel.zip"));
        QTRY_VERIFY2_WITH_TIMEOUT(line().endsWith(QLatin1String("(25%)")), qPrintable(line()), kLoad);
        button("cmdCancelDownload")->click();
        QTRY_COMPARE_WITH_TIMEOUT(line(), QStringLiteral("Cancelled cancel.zip: nothing was saved."), kLoad);
        QTRY_COMPARE_WITH_TIMEOUT(downloaded(), QStringList(), kLoad);

        follow(QStringLiteral("broken.zip"));
        QTRY_VERIFY2_WITH_TIMEOUT(line().endsWith(QLatin1String("(25%)")), qPrintable(line()), kLoad);
        m_server.drop();
        QTRY_VERIFY2_WITH_TIMEOUT(line().startsWith(QLatin1String("Could not download broken.zip: ")), qPrintable(line()), kLoad);
        QVERIFY2(!line().contains(QLatin1Char('\n')), qPrintable(line()));
        QTRY_COMPARE_WITH_TIMEOUT(downloaded(), QStringList(), kLoad);
        QVERIFY(questions().isEmpty());
    }

private:
    frmBrowser *browser() { return m_fx->desk->browser(); }
    DownloadBar *bar() { return browser()->downloadBar(); }
    QString line() { return browser() ? DeskFixture::at<QLabel>(bar(), "lblDownload")->text() : QString(); }
    QPushButton *button(const char *name) { return DeskFixture::at<QPushButton>(bar(), name); }
    QStringList downloaded() const
    {
        return QDir(m_fx->tree.host(QStringLiteral("Veldrin/Downloads"))).entryList(QDir::Files | QDir::Hidden);
    }
    QStringList questions() const
    {
        QStringList asked;
        for (const ScriptedPrompts::Shown &shown : m_fx->prompts.shown) {
            if (shown.kind == ScriptedPrompts::Shown::Question)
                asked << shown.text;
        }
        return asked;
    }

    // Opens the page that links to the file and clicks the link, as a player would, until the
    // server is asked for the file (a click that lands before the page is drawn goes nowhere).
    void follow(const QString &name)
    {
        const QString page = hosts::partner() + QLatin1String("/link/") + name;
        if (!browser()) {
            m_fx->desk->ShowWebPage(page);
        } else {
            DeskFixture::at<QLineEdit>(browser(), "txtNav")->setText(page);
            DeskFixture::click(browser(), "cmdGo");
        }
        QTRY_COMPARE_WITH_TIMEOUT(browser()->web1()->title(), QLatin1String("Link to ") + name, kLoad);
        const int before = m_server.asked(QLatin1Char('/') + name);
        QWidget *view = nullptr;
        for (QWidget *child : browser()->web1()->findChildren<QWidget *>()) {
            if (QLatin1String(child->metaObject()->className()) == QLatin1String("QWebEngineView"))
                view = child;
        }
        QVERIFY(view);
        for (int tries = 0; tries < 5 && m_server.asked(QLatin1Char('/') + name) == before; ++tries) {
            QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy(), kLoad);
            QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(40, 40));
            if (QTest::qWaitFor([&] { return m_server.asked(QLatin1Char('/') + name) > before; }, 10000))
                break;
        }
        QVERIFY(m_server.asked(QLatin1Char('/') + name) > before);
    }

    FileServer m_server;
    std::unique_ptr<DeskFixture> m_fx;
    EnvGuard m_env;
};

int main(int argc, char **argv) { return runWebTest<test_Downloads>(argc, argv); }

#include "test_Downloads.moc"
