#include "web/BundledPages.h"

#include <QFile>
#include <QTest>
#include <QUrl>

namespace {
const QString kMaker = QStringLiteral("www.brackenway.example");
}

class test_BundledPages : public QObject
{
    Q_OBJECT
private slots:
    void makerAddressesFindTheirPage_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("page");
        QTest::newRow("home, host only") << "http://www.brackenway.example" << "/index.htm";
        QTest::newRow("home, slash") << "http://www.brackenway.example/" << "/index.htm";
        QTest::newRow("help") << "http://www.brackenway.example/manager/help.htm" << "/manager/help.htm";
        QTest::newRow("update page") << "http://www.brackenway.example/manager/update/update0.90.htm"
                                     << "/manager/update/update0.90.htm";
        QTest::newRow("update folder") << "http://www.brackenway.example/manager/update"
                                       << "/manager/update/update0.90.htm";
        QTest::newRow("update folder, slash") << "http://www.brackenway.example/manager/update/"
                                              << "/manager/update/update0.90.htm";
        QTest::newRow("any case") << "HTTP://WWW.Brackenway.Example/Manager/HELP.htm" << "/manager/help.htm";
        QTest::newRow("https") << "https://www.brackenway.example/manager/help.htm" << "/manager/help.htm";
        QTest::newRow("explicit port 80") << "http://www.brackenway.example:80/manager/help.htm"
                                          << "/manager/help.htm";
        QTest::newRow("query and anchor ignored") << "http://www.brackenway.example/manager/help.htm?x=1#brx"
                                                  << "/manager/help.htm";
        QTest::newRow("unknown page") << "http://www.brackenway.example/manager/update/update0.91.htm"
                                      << "/notfound.htm";
        QTest::newRow("other site") << "http://www.fernlow.example/fernlow" << "";
        QTest::newRow("maker's name inside another host") << "http://www.brackenway.example.net/manager/help.htm"
                                                          << "";
        QTest::newRow("other port") << "http://www.brackenway.example:8080/manager/help.htm" << "";
        QTest::newRow("not a web address") << "ftp://www.brackenway.example/manager/help.htm" << "";
    }
    void makerAddressesFindTheirPage()
    {
        QFETCH(QString, address);
        QFETCH(QString, page);
        QCOMPARE(bundled::pageFor(QUrl(address), kMaker), page);
    }

    // Tests point the maker's host at a local server with a port.
    void makerHostWithPort()
    {
        const QString maker = QStringLiteral("127.0.0.1:8123");
        QCOMPARE(bundled::pageFor(QUrl(QStringLiteral("http://127.0.0.1:8123/manager/help.htm")), maker),
                 QStringLiteral("/manager/help.htm"));
        QCOMPARE(bundled::pageFor(QUrl(QStringLiteral("http://127.0.0.1/manager/help.htm")), maker), QString());
        QCOMPARE(bundled::pageFor(QUrl(QStringLiteral("http://127.0.0.1:8123/")), QString()), QString());
    }

    void localAddressKeepsThePlaceInThePage()
    {
        const QUrl local =
            bundled::localAddress(QUrl(QStringLiteral("http://www.brackenway.example/manager/help.htm#brx")), kMaker);
        QCOMPARE(local.fragment(), QStringLiteral("brx"));
        QCOMPARE(local.adjusted(QUrl::RemoveFragment), bundled::resourceUrl(QStringLiteral("/manager/help.htm")));
        QVERIFY(bundled::localAddress(QUrl(QStringLiteral("http://www.fernlow.example/fernlow")), kMaker).isEmpty());
    }

    // Every page an address can lead to is really in the bundle.
    void everyAnswerIsBundled()
    {
        Q_INIT_RESOURCE(site);
        for (const char *path : {"/", "/manager/help.htm", "/manager/submit.htm", "/manager/bugreport.htm",
                                 "/manager/comments.htm", "/manager/update", "/manager/nothing.htm"}) {
            const QUrl address(QLatin1String("http://www.brackenway.example") + QLatin1String(path));
            const QUrl resource = bundled::resourceUrl(bundled::pageFor(address, kMaker));
            QCOMPARE(resource.scheme(), QStringLiteral("qrc"));
            QFile page(QLatin1Char(':') + resource.path());
            QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(resource.toString()));
            QVERIFY(page.readAll().contains("<title>"));
        }
    }
};

QTEST_GUILESS_MAIN(test_BundledPages)
#include "test_BundledPages.moc"
