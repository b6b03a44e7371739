// Without the web engine plugin the browser still works for the program's own pages.
#include "common/Hosts.h"
#include "windows/DeskFixture.h"
#include "windows/web/WebPane.h"
#include "windows/web/WebPaneLoader.h"
#include "windows/web/frmBrowser.h"
#include "windows/web/frmUpdate.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

class test_WebFallback : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env.set("VELDRIN_WEBVIEW_PLUGIN", "/nonexistent/veldrin_webview.so");
        m_env.unset("VELDRIN_MAKER_HOST");
        QVERIFY(!webpane::engineAvailable());
    }
    void init() { m_fx = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(m_fx); }

    void bundledPagesShowAndTheirLinksWork()
    {
        m_fx->desk->ShowWebPage(hosts::maker() + QLatin1String("/manager/help.htm"));
        frmBrowser *browser = m_fx->desk->browser();
        WebPane *pane = browser->web1();
        QCOMPARE(pane->title(), QStringLiteral("Veldrin Help"));
        QVERIFY(pane->findChild<QLabel *>(QStringLiteral("lblUnavailable"))->isVisible());

        auto *view = pane->findChild<QTextBrowser *>();
        emit view->anchorClicked(QUrl(QStringLiteral("submit.htm")));
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Submit a File"));
        // A link written as a full address on the maker's host stays in the bundle too.
        emit view->anchorClicked(QUrl(QLatin1String("http://") + hosts::maker() + QLatin1String("/manager/bugreport.htm")));
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Bug Report"));
        // The report is filled in by the program as the page is read.
        const QString report = view->toPlainText();
        QVERIFY2(report.contains(QStringLiteral("Qt version: ") + QLatin1String(qVersion())), qPrintable(report));
        browser->findChild<QPushButton *>(QStringLiteral("cmdBack"))->click();
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Submit a File"));
    }

    void otherSitesSayWhyTheyCannotBeShown()
    {
        m_fx->desk->ShowWebPage(QStringLiteral("www.fernlow.example/fernlow"));
        const QString shown = m_fx->desk->browser()->web1()->findChild<QTextBrowser *>()->toPlainText();
        QVERIFY(shown.contains(QStringLiteral("http://www.fernlow.example/fernlow")));
        QVERIFY(shown.contains("unavailable"));
    }

    void updateWindowStillShowsItsPageAndTheEngineIsNeverLoaded()
    {
        m_fx->desk->ShowUpdatePage();
        QCOMPARE(m_fx->desk->update()->web1()->title(), QStringLiteral("Veldrin Updates - 0.90 Beta 1"));
        const QString shown = m_fx->desk->update()->web1()->findChild<QTextBrowser *>()->toPlainText();
        QVERIFY2(shown.contains(QStringLiteral("You are running Veldrin 0.90 \"Beta 1\"")), qPrintable(shown));
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libQt6WebEngine"));
    }

private:
    std::unique_ptr<DeskFixture> m_fx;
    EnvGuard m_env;
};

QTEST_MAIN(test_WebFallback)
#include "test_WebFallback.moc"
