// Without the web engine plugin the browser still works for the program's own pages.
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "web/WebPane.h"
#include "web/WebPaneLoader.h"
#include "web/frmBrowser.h"
#include "web/frmUpdate.h"

#include <QApplication>
#include <QMdiArea>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <memory>

class test_WebFallback : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("VELDRIN_WEBVIEW_PLUGIN", "/nonexistent/veldrin_webview.so");
        qunsetenv("VELDRIN_MAKER_HOST");
        QVERIFY(!webpane::engineAvailable());
    }

    void init()
    {
        m_state = Modual1();
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_desk = std::make_unique<Desk>(m_state, *m_prompts);
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

    void bundledPagesShowAndTheirLinksWork()
    {
        m_desk->ShowWebPage(hosts::maker() + QLatin1String("/manager/help.htm"));
        frmBrowser *browser = m_desk->browser();
        WebPane *pane = browser->web1();
        QCOMPARE(pane->title(), QStringLiteral("Veldrin Help"));
        auto *notice = pane->findChild<QLabel *>(QStringLiteral("lblUnavailable"));
        QVERIFY(notice);
        QVERIFY(notice->isVisible());

        auto *view = pane->findChild<QTextBrowser *>();
        QVERIFY(view);
        emit view->anchorClicked(QUrl(QStringLiteral("submit.htm")));
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Submit a File"));
        // A link written as a full address on the maker's host stays in the bundle too.
        emit view->anchorClicked(QUrl(QLatin1String("http://") + hosts::maker() + QLatin1String("/manager/bugreport.htm")));
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Bug Report"));

        browser->findChild<QPushButton *>(QStringLiteral("cmdBack"))->click();
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Submit a File"));
        browser->findChild<QPushButton *>(QStringLiteral("cmdForward"))->click();
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Bug Report"));
        QVERIFY(!pane->canGoForward());
        browser->findChild<QPushButton *>(QStringLiteral("cmdForward"))->click();
        QCOMPARE(pane->title(), QStringLiteral("Brackenway - Bug Report"));
    }

    void otherSitesSayWhyTheyCannotBeShown()
    {
        const QString address = QStringLiteral("www.fernlow.example/fernlow");
        m_desk->ShowWebPage(address);
        auto *view = m_desk->browser()->web1()->findChild<QTextBrowser *>();
        QVERIFY(view->toPlainText().contains(QStringLiteral("http://www.fernlow.example/fernlow")));
        QVERIFY(view->toPlainText().contains(QStringLiteral("unavailable")));
    }

    void updateWindowStillShowsItsPage()
    {
        m_desk->ShowUpdatePage();
        QCOMPARE(m_desk->update()->web1()->title(), QStringLiteral("Veldrin Updates - 0.90 Beta 1"));
    }

    void engineNeverLoaded()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libQt6WebEngine"));
    }

private:
    Modual1 m_state;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<Desk> m_desk;
};

QTEST_MAIN(test_WebFallback)
#include "test_WebFallback.moc"
