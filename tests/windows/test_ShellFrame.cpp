// The frame window: start-up, its menus, and the desk that keeps every window at most once.
#include "DeskFixture.h"
#include "common/Hosts.h"
#include "shell/frmAbout.h"
#include "shell/frmOptions.h"
#include "shell/frmSplash.h"
#include "windows/managers/frmExtra.h"
#include "windows/managers/frmMap.h"
#include "windows/readme/frmReadme.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// Counts how often the splash comes on screen.
struct SplashCounter : QObject
{
    int count = 0;
    SplashCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        count += e->type() == QEvent::Show && qobject_cast<frmSplash *>(o);
        return false;
    }
};

class test_ShellFrame : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    EnvGuard m_env;
    void trigger(const char *name) { DeskFixture::trigger(f->desk->mdi()->frameMenuBar(), name); }
    int subWindows() { return int(f->desk->mdi()->mdiArea()->subWindowList().size()); }

private slots:
    void initTestCase()
    {
        // Every link points at a port nobody answers on.
        m_env.set("VELDRIN_MAKER_HOST", "127.0.0.1:9");
        m_env.set("VELDRIN_PARTNER_HOST", "127.0.0.2:9");
    }
    void cleanupTestCase() { m_env.restore(); }
    void init() { f = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(f); }

    void normalStartShowsSplashThenMap()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\G\\\r\nC:\\Veldrin\\\r\nm.exe\r\nl.exe\r\n\r\n\r\n\r\n");
        SplashCounter splashShown;
        f->desk->startUp();
        QVERIFY(splashShown.count == 1);
        QVERIFY(f->prompts.shown.isEmpty());
        // Start-up reads only the folders and the map editor.
        QVERIFY(f->state.settings.MapEditorPath == "m.exe");
        QVERIFY(f->state.settings.LandscapeEditorPath.isEmpty());
        QCOMPARE(f->desk->mdi()->mdiArea()->activeSubWindow()->widget(), f->desk->map());
    }

    void firstRunAsksBeforeTheSplashAndWaitsForTheDialog()
    {
        SplashCounter splashShown;
        QStringList seen;
        bool modal = false, frameVisible = true, splashClosed = false;
        QTimer::singleShot(0, this, [&] {
            // Let the splash's close timer (0 ms here) fire while the dialog is still open.
            splashClosed = QTest::qWaitFor([] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    if (auto *splash = qobject_cast<frmSplash *>(w))
                        return splash->isUnloaded();
                }
                return false;
            });
            seen = f->prompts.messages();
            frmOptions *options = f->desk->options();
            if (!options)
                return;
            modal = options->isModal() && options->isVisible();
            frameVisible = f->desk->mdi()->isVisible();
            DeskFixture::at<QLineEdit>(options, "txtRunBlack")->setText(TestTree::gameFolder());
            DeskFixture::at<QLineEdit>(options, "txtManagerLocation")->setText(TestTree::programFolder());
            DeskFixture::click(options, "cmdOK");
        });
        f->desk->startUp();
        QVERIFY(splashClosed);
        QCOMPARE(seen, QStringList({"Please enter some details so Veldrin can operate functionally"}));
        QVERIFY(modal);
        QVERIFY(!frameVisible);
        // The close timer fired during the dialog: start-up went on without showing the splash.
        QCOMPARE(splashShown.count, 0);
        QVERIFY(f->tree.read(QStringLiteral("Veldrin/options.txt")).startsWith("C:\\Games\\Black & White\\\r\n"));
        QCOMPARE(DeskFixture::at<QLabel>(f->desk->mdi(), "stat1Panel1")->text(), QStringLiteral(" Welcome to Veldrin "));
        QCOMPARE(f->state.BrowserAddress, hosts::maker());
        QVERIFY(f->desk->map());
        QVERIFY(f->desk->mdi()->isVisible());
    }

    void splashClosesOnAClick()
    {
        const EnvGuard slow("VELDRIN_SPLASH_MS", "60000");
        frmSplash clicked(*f->desk);
        QTRY_VERIFY(clicked.bar(1).x2 > 720 + 150 * 3);
        QTimer::singleShot(20, this, [&] { QTest::mouseClick(DeskFixture::at(&clicked, "Image1"), Qt::LeftButton); });
        QElapsedTimer clock;
        clock.start();
        clicked.showUntilClosed();
        QVERIFY(clock.elapsed() < 30000);
        QVERIFY(clicked.isUnloaded());
        QVERIFY(!clicked.tmrMove()->isActive());
    }

    void menusOpenEachWindowOnce()
    {
        f->desk->mdi()->show();
        trigger("mnuLandscape");
        frmExtra *extra = f->desk->extra();
        trigger("mnuSkin");
        QVERIFY(extra);
        QVERIFY(f->desk->extra() == extra);
        trigger("mnuMap");
        trigger("mnuMap");
        QCOMPARE(subWindows(), 2);
        trigger("mnuOptions");
        frmOptions *options = f->desk->options();
        trigger("mnuOptions");
        QVERIFY(options);
        QVERIFY(f->desk->options() == options);
        QVERIFY(options->isVisible());
        QVERIFY(!options->isModal());
    }

    void activeChildsMenuBarTakesOver()
    {
        frmMDI *frame = f->desk->mdi();
        frmMap *map = f->desk->showMap();
        QMenuBar *mapBar = frame->currentMenuBar();
        QCOMPARE(mapBar->actions().first()->menu()->parent(), map);
        f->desk->showExtra(); // a window without a menu bar of its own
        QCOMPARE(frame->currentMenuBar(), frame->frameMenuBar());
        frame->mdiArea()->setActiveSubWindow(DeskFixture::frameOf(map));
        QCOMPARE(frame->currentMenuBar(), mapBar);
        Desk::closeWindow(map);
        QTRY_COMPARE(frame->currentMenuBar(), frame->frameMenuBar());
        QVERIFY(frame->frameMenuBar()->isVisibleTo(frame));
    }

    void aboutLinksOpenTheirCaptionsInTheSystemBrowser()
    {
        UrlCatcher catcher;
        for (const char *scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");
        frmAbout *about = f->desk->showAbout();
        auto *fernlow = DeskFixture::at<QLabel>(about, "lblFernlow");
        QTest::mouseClick(DeskFixture::at(about, "lblBrackenway"), Qt::LeftButton);
        fernlow->setText(QStringLiteral("https://example.org/any thing"));
        QTest::mouseClick(fernlow, Qt::LeftButton);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.1:9")),
                                            QUrl(QStringLiteral("https://example.org/any thing"))}));
        QVERIFY(f->state.BrowserAddress.isEmpty());
        for (const char *scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        DeskFixture::click(about, "cmdClose");
        QTRY_VERIFY(!f->desk->about());
    }

    // Closing hands the window to the event loop for deletion; a show before the loop has
    // run must not bring back the dying window but make a new one and load it.
    void showRightAfterCloseGivesAFreshLoadedWindow()
    {
        Desk &desk = *f->desk;
        f->tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\G\\\r\nC:\\Veldrin\\\r\nC:\\m.exe\r\n\r\n\r\n\r\n\r\n");
        QPointer<frmOptions> oldOptions(desk.showOptions());
        DeskFixture::at<QLineEdit>(oldOptions, "txtMapCreator")->setText(QStringLiteral("typed"));
        oldOptions->close();
        frmOptions *options = desk.showOptions();
        QVERIFY(options != oldOptions);
        QVERIFY(desk.options() == options);
        QCOMPARE(DeskFixture::at<QLineEdit>(options, "txtMapCreator")->text(), QStringLiteral("C:\\m.exe"));

        QPointer<frmReadme> oldReadme(desk.showReadme());
        DeskFixture::at<QComboBox>(oldReadme, "cmbType")->setEditText(QStringLiteral("typed"));
        Desk::closeWindow(oldReadme);
        frmReadme *readme = desk.showReadme();
        QVERIFY(readme != oldReadme);
        QCOMPARE(DeskFixture::at<QComboBox>(readme, "cmbType")->currentText(), QStringLiteral("Specify File Type"));

        DeskFixture::flushDeletes();
        QVERIFY(oldOptions.isNull());
        QVERIFY(oldReadme.isNull());
        QVERIFY(options->isVisible());
        QCOMPARE(subWindows(), 1);
        // The dying window's menu bar went with it; the new window's is the one on show.
        QCOMPARE(desk.mdi()->currentMenuBar()->actions().first()->menu()->parent(), readme);
    }

    // Exit closes the frame, and the frame takes every window down with it.
    void closingTheFrameTakesEveryWindowDown()
    {
        Desk &desk = *f->desk;
        QPointer<frmMap> map(desk.showMap());
        QPointer<frmReadme> readme(desk.showReadme());
        QPointer<frmOptions> options(desk.showOptions());
        desk.showAbout();
        QPointer<frmMDI> frame(desk.mdi());
        QCoreApplication::processEvents();
        trigger("mnuExit");
        QVERIFY(!desk.openMdi());
        QVERIFY(!desk.map());
        QVERIFY(!desk.readme());
        QVERIFY(!desk.options());
        QVERIFY(!options->isVisible());
        QTRY_VERIFY(!desk.about());

        // A window asked for before the old frame is gone gets a frame of its own.
        frmMap *fresh = desk.showMap();
        QVERIFY(desk.mdi() != frame);
        QVERIFY(fresh != map);
        DeskFixture::flushDeletes();
        QVERIFY(frame.isNull());
        QVERIFY(map.isNull());
        QVERIFY(readme.isNull());
        QVERIFY(options.isNull());
        QCOMPARE(desk.map(), fresh);

        // The program's end: the desk goes while the frame and its children wait for deletion.
        QPointer<frmMDI> last(desk.mdi());
        last->close();
        f->desk.reset();
        QVERIFY(last.isNull());
        f->desk = std::make_unique<Desk>(f->state, f->prompts);
    }
};

QTEST_MAIN(test_ShellFrame)
#include "test_ShellFrame.moc"
