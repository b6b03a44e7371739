#include "installer/frmInstall.h"
#include "managers/frmExtra.h"
#include "managers/frmMap.h"
#include "managers/frmTattoo.h"
#include "readme/frmReadme.h"
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/frmAbout.h"
#include "shell/frmMDI.h"
#include "shell/frmOptions.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"
#include "web/frmBrowser.h"
#include "web/frmUpdate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class test_ShellFrame : public QObject
{
    Q_OBJECT

    struct Rig
    {
        TestTree tree;
        ScriptedPrompts prompts;
        Modual1 state;
        Desk desk{state, prompts};
    };
    std::unique_ptr<Rig> m;
    Desk *m_desk = nullptr;
    Modual1 *m_state = nullptr;

    void trigger(const char *name)
    {
        auto *action = m_desk->mdi()->frameMenuBar()->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action, name);
        action->trigger();
    }

private slots:
    void initTestCase()
    {
        // Every link points at a port nobody answers on.
        qputenv("VELDRIN_MAKER_HOST", "127.0.0.1:9");
        qputenv("VELDRIN_PARTNER_HOST", "127.0.0.2:9");
        qputenv("VELDRIN_FORUMS_URL", "http://127.0.0.3:9");
    }

    void init()
    {
        m = std::make_unique<Rig>();
        m_desk = &m->desk;
        m_state = &m->state;
        m_desk->mdi()->show();
    }

    void cleanup()
    {
        m.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void menusCarryEveryEntryInOrder()
    {
        QStringList found;
        for (QAction *top : m_desk->mdi()->frameMenuBar()->actions()) {
            found << top->objectName() + QLatin1Char('=') + top->text();
            for (QAction *entry : top->menu()->actions())
                found << QLatin1String("  ") + entry->objectName() + QLatin1Char('=') + entry->text();
        }
        QCOMPARE(found.join(QLatin1Char('\n')),
                 QStringLiteral("mnuFile=File\n  mnuBrackenway=Visit Brackenway\n  mnuFernlow=Visit Fernlow\n  mnuExit=Exit\n"
                                "mnuManage=Manage\n  mnuMap=Map\n  mnuLandscape=Landscape\n  mnuSkin=Skin\n  mnuTattoo=Tatoo\n"
                                "mnuTools=Tools\n  mnuReadme=Readme Creator\n  mnuBrowser=Web Browser\n  mnuInstall=Installer\n"
                                "  mnuOptions=Options\nmnuHelp=Help\n  mnuContents=Contents\n  mnuUpdates=Updates\n"
                                "  mnuBugReport=Bug Report\n  mnuComments=Comment and Suggestions\n"
                                "  mnuOfficialForums=Discuss in Forums\n  mnuAbout=About"));
    }

    void windowsOpenOnceEach()
    {
        trigger("mnuLandscape");
        frmExtra *extra = m_desk->extra();
        QVERIFY(extra);
        trigger("mnuSkin");
        QCOMPARE(m_desk->extra(), extra);
        trigger("mnuMap");
        trigger("mnuTattoo");
        trigger("mnuReadme");
        trigger("mnuTattoo");
        QVERIFY(m_desk->map() && m_desk->tattoo() && m_desk->readme());
        QCOMPARE(m_desk->mdi()->mdiArea()->subWindowList().size(), 4);
        QCOMPARE(m_desk->mdi()->mdiArea()->activeSubWindow()->widget(), static_cast<QWidget *>(m_desk->tattoo()));

        for (int i = 0; i < 2; ++i) {
            trigger("mnuInstall");
            trigger("mnuOptions");
            trigger("mnuAbout");
            trigger("mnuUpdates");
        }
        int topLevels = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            topLevels += w->isVisible() && w->objectName() != QLatin1String("frmMDI");
        QCOMPARE(topLevels, 4);
        QVERIFY(m_desk->install()->isVisible() && !m_desk->options()->isModal() && !m_desk->about()->isModal());
        QVERIFY(m_desk->update()->isVisible());
    }

    void webLinksSetTheAddressBrowserEntryKeepsIt()
    {
        const QList<QPair<const char *, QString>> links = {
            {"mnuBrackenway", QStringLiteral("127.0.0.1:9")},
            {"mnuFernlow", QStringLiteral("127.0.0.2:9/fernlow")},
            {"mnuBugReport", QStringLiteral("127.0.0.1:9/manager/bugreport.htm")},
            {"mnuComments", QStringLiteral("127.0.0.1:9/manager/comments.htm")},
            {"mnuOfficialForums", QStringLiteral("http://127.0.0.3:9")},
        };
        for (const auto &link : links) {
            trigger(link.first);
            QCOMPARE(m_state->BrowserAddress, link.second);
        }
        QVERIFY(m_desk->browser());
        m_state->BrowserAddress = QStringLiteral("kept");
        trigger("mnuBrowser");
        QCOMPARE(m_state->BrowserAddress, QStringLiteral("kept"));
        QCOMPARE(m_desk->mdi()->mdiArea()->subWindowList().size(), 1);
    }

    void activeChildsMenuBarTakesOver()
    {
        frmMDI *frame = m_desk->mdi();
        auto *child = new QWidget;
        auto *bar = new QMenuBar(child);
        bar->addMenu(QStringLiteral("Child"));
        QMdiSubWindow *sub = frame->mdiArea()->addSubWindow(child);
        sub->show();
        frame->adoptMenuBar(child, bar);
        frame->mdiArea()->setActiveSubWindow(sub);
        QCOMPARE(frame->currentMenuBar(), bar);
        m_desk->showExtra(); // a window without a menu bar of its own
        QCOMPARE(frame->currentMenuBar(), frame->frameMenuBar());
        frame->mdiArea()->setActiveSubWindow(sub);
        QCOMPARE(frame->currentMenuBar(), bar);
        Desk::closeWindow(m_desk->extra());
        QTRY_VERIFY(!m_desk->extra());
        delete sub;
        QTRY_COMPARE(frame->currentMenuBar(), frame->frameMenuBar());
        QVERIFY(frame->frameMenuBar()->isVisibleTo(frame));
    }

    void exitClosesTheFrameAndEveryWindow()
    {
        m_desk->showMap();
        m_desk->showOptions();
        m_desk->showAbout();
        m_desk->showInstall();
        trigger("mnuExit");
        QTRY_VERIFY(!m_desk->openMdi());
        QTRY_VERIFY(!m_desk->options() && !m_desk->about() && !m_desk->install());
    }

    void aboutLinksOpenTheirCaptionsInTheSystemBrowser()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        frmAbout *about = m_desk->showAbout();
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Veldrin Version 0.90"));
        QVERIFY(about->findChild<QLabel *>(QStringLiteral("Label3"))->text().startsWith(QLatin1String("Programming - ")));
        for (const char *name : {"lblBrackenway", "lblFernlow", "Label6"})
            QTest::mouseClick(about->findChild<QLabel *>(QLatin1String(name)), Qt::LeftButton);
        auto *fernlow = about->findChild<QLabel *>(QStringLiteral("lblFernlow"));
        fernlow->setText(QStringLiteral("https://example.org/any thing"));
        QTest::mouseClick(fernlow, Qt::LeftButton);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.1:9")),
                                            QUrl(QStringLiteral("http://127.0.0.2:9/fernlow")),
                                            QUrl(QStringLiteral("http://127.0.0.1:9/manager/bugreport.htm")),
                                            QUrl(QStringLiteral("https://example.org/any thing"))}));
        QVERIFY(m_state->BrowserAddress.isEmpty());
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
        QTRY_VERIFY(!m_desk->about());
        QVERIFY(m_desk->showAbout() != nullptr);
        Desk::closeWindow(m_desk->about());
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
};

// The browser window may bring in the web view, which needs shared GL contexts from the start.
int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    test_ShellFrame test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_ShellFrame.moc"
