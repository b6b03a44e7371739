#include "support/TestTree.h"
#include "web/BundledPages.h"
#include "web/PageValues.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {
const QString kMaker = QStringLiteral("www.brackenway.example");
QString onMaker(const char *path) { return QLatin1String("http://www.brackenway.example") + QLatin1String(path); }
} // namespace

class test_BundledPages : public QObject
{
    Q_OBJECT
private slots:
    void makerAddressesFindTheirPage_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("maker");
        QTest::addColumn<QString>("page");
        const QString help = QStringLiteral("/manager/help.htm"), update = QStringLiteral("/manager/update/update0.90.htm");
        QTest::newRow("home") << onMaker("") << kMaker << "/index.htm";
        QTest::newRow("update folder") << onMaker("/manager/update/") << kMaker << update;
        QTest::newRow("any case, port 80") << "HTTP://WWW.Brackenway.Example:80/Manager/HELP.htm" << kMaker << help;
        QTest::newRow("https, query and anchor") << "https://www.brackenway.example/manager/help.htm?x=1#brx" << kMaker << help;
        QTest::newRow("unknown page") << onMaker("/manager/update/update0.91.htm") << kMaker << "/notfound.htm";
        QTest::newRow("other site") << "http://www.fernlow.example/fernlow" << kMaker << "";
        QTest::newRow("maker's name inside another") << "http://www.brackenway.example.net/" << kMaker << "";
        QTest::newRow("other port") << onMaker(":8080/manager/help.htm") << kMaker << "";
        QTest::newRow("not a web address") << "ftp://www.brackenway.example/manager/help.htm" << kMaker << "";
        // Tests point the maker's host at a local server with a port.
        QTest::newRow("maker with port") << "http://127.0.0.1:8123/manager/help.htm" << "127.0.0.1:8123" << help;
        QTest::newRow("maker's port missing") << "http://127.0.0.1/manager/help.htm" << "127.0.0.1:8123" << "";
    }
    void makerAddressesFindTheirPage()
    {
        QFETCH(QString, address);
        QFETCH(QString, maker);
        QFETCH(QString, page);
        QCOMPARE(bundled::pageFor(QUrl(address), maker), page);
    }

    void everyAnswerIsBundledAndKeepsThePlaceInThePage()
    {
        bundled::loadResources();
        for (const char *path : {"/", "/manager/help.htm#brx", "/manager/submit.htm", "/manager/bugreport.htm",
                                 "/manager/history.htm#undo", "/manager/comments.htm", "/manager/update",
                                 "/manager/nothing.htm"}) {
            const QUrl local = bundled::localAddress(QUrl(onMaker(path)), kMaker);
            QCOMPARE(local.scheme(), QStringLiteral("qrc"));
            QFile page(QLatin1Char(':') + local.path());
            QVERIFY2(page.open(QIODevice::ReadOnly), path);
            QVERIFY(page.readAll().contains("<title>"));
        }
        QCOMPARE(bundled::localAddress(QUrl(onMaker("/manager/help.htm#brx")), kMaker).fragment(), QStringLiteral("brx"));
        QVERIFY(bundled::localAddress(QUrl(QStringLiteral("http://www.fernlow.example/")), kMaker).isEmpty());
    }

    void valuesAreFilledInAsText()
    {
        const bundled::PageValues values{{QStringLiteral("OS"), QStringLiteral("<b>Linux</b> & \"x\"")},
                                         {QStringLiteral("VERSION"), QStringLiteral("0.90")}};
        QCOMPARE(bundled::fill("<p>{{OS}} {{VERSION}}{{VERSION}} {{UNKNOWN}} {{os}} {VERSION}</p>", values),
                 QByteArray("<p>&lt;b&gt;Linux&lt;/b&gt; &amp; &quot;x&quot; 0.900.90 {{UNKNOWN}} {{os}} {VERSION}</p>"));
        QCOMPARE(bundled::fill("caf\xc3\xa9 {{VERSION}}", values), QByteArray("caf\xc3\xa9 0.90"));
    }

    void everyPlaceholderOfEveryPageIsKnown()
    {
        bundled::loadResources();
        const bundled::PageValues values = bundled::pageValues();
        int pages = 0;
        for (QDirIterator it(QStringLiteral(":/veldrin-site"), {QStringLiteral("*.htm")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile page(it.next());
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QByteArray filled = bundled::fill(page.readAll(), values);
            QVERIFY2(!filled.contains("{{"), qPrintable(page.fileName()));
            ++pages;
        }
        QVERIFY(pages >= 7);
    }

    void theBugReportSaysWhatThisComputerIs()
    {
        bundled::loadResources();
        QFile page(QStringLiteral(":/veldrin-site/manager/bugreport.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        EnvGuard env("VELDRIN_REPORT_ADDRESS", "bugs@maker.test");
        {
            const TestTree tree; // a prefix with its drive_c
            const QString report = QString::fromUtf8(bundled::fill(html, bundled::pageValues()));
            QVERIFY(report.contains(QStringLiteral("Wine prefix: found at ") + tree.prefix()));
            QVERIFY(report.contains(QStringLiteral("<b>bugs@maker.test</b>")));
        }
        QTemporaryDir home;
        env.set("HOME", home.path().toLocal8Bit());
        env.unset("WINEPREFIX");
        QVERIFY(bundled::fill(html, bundled::pageValues()).contains("Wine prefix: not found"));
    }
};

QTEST_GUILESS_MAIN(test_BundledPages)
#include "test_BundledPages.moc"
