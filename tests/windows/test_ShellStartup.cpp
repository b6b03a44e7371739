#include "managers/frmMap.h"
#include "shell/Artwork.h"
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/frmMDI.h"
#include "shell/frmOptions.h"
#include "shell/frmSplash.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
// Counts how often a window of the given name becomes visible.
class ShowCounter : public QObject
{
public:
    explicit ShowCounter(const char *name) : m_name(QLatin1String(name)) { qApp->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show && o->objectName() == m_name)
            ++count;
        return false;
    }
    int count = 0;

private:
    QString m_name;
};

class SplashDelay
{
public:
    explicit SplashDelay(const QByteArray &ms) : m_old(qgetenv("VELDRIN_SPLASH_MS")) { qputenv("VELDRIN_SPLASH_MS", ms); }
    ~SplashDelay() { qputenv("VELDRIN_SPLASH_MS", m_old); }

private:
    QByteArray m_old;
};

QString statusText(frmMDI *frame) { return frame->findChild<QLabel *>(QStringLiteral("stat1Panel1"))->text(); }
} // namespace

class test_ShellStartup : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void normalStartReadsThreeSettingsAndShowsTheMap()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\G\\\r\nC:\\Veldrin\\\r\nm.exe\r\nl.exe\r\ns.exe\r\nt.exe\r\n\r\n");
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        ScriptedPrompts prompts;
        Modual1 state;
        ShowCounter splashShown("frmSplash");
        {
            Desk desk(state, prompts);
            desk.startUp();
            QCOMPARE(splashShown.count, 1);
            QVERIFY(prompts.shown.isEmpty());
            QCOMPARE(state.settings.GameFolder, QStringLiteral("C:\\G\\"));
            QCOMPARE(state.settings.MapEditorPath, QStringLiteral("m.exe"));
            QVERIFY(state.settings.LandscapeEditorPath.isEmpty() && state.settings.TattooEditorPath.isEmpty());
            QCOMPARE(statusText(desk.mdi()), QStringLiteral(" Welcome to Veldrin "));
            QCOMPARE(state.BrowserAddress, hosts::maker());
            QVERIFY(desk.mdi()->isVisible());
            QVERIFY(desk.map());
            QCOMPARE(desk.mdi()->mdiArea()->activeSubWindow()->widget(), desk.map());
            QVERIFY(!desk.options());
        }
    }

    void firstRunAsksBeforeTheSplashAndWaitsForTheDialog()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        ScriptedPrompts prompts;
        Modual1 state;
        ShowCounter splashShown("frmSplash");
        Desk desk(state, prompts);
        QStringList seen;
        bool modal = false, frameVisible = true;
        QTimer::singleShot(0, this, [&] {
            // Let the splash's close timer (0 ms here) fire while the dialog is still open.
            QTest::qWait(30);
            seen = prompts.messages();
            frmOptions *options = desk.options();
            if (!options)
                return;
            modal = options->isModal() && options->isVisible();
            frameVisible = desk.mdi()->isVisible();
            options->findChild<QLineEdit *>(QStringLiteral("txtRunBlack"))->setText(TestTree::gameFolder());
            options->findChild<QLineEdit *>(QStringLiteral("txtManagerLocation"))->setText(TestTree::programFolder());
            QTest::mouseClick(options->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        desk.startUp();
        QCOMPARE(seen, QStringList({"Please enter some details so Veldrin can operate functionally"}));
        QVERIFY(modal);
        QVERIFY(!frameVisible);
        // The close timer fired during the dialog: start-up went on without showing the splash.
        QCOMPARE(splashShown.count, 0);
        QVERIFY(tree.read(QStringLiteral("Veldrin/options.txt")).startsWith("C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n"));
        // The written values reach the record only when the file is read again.
        QVERIFY(state.settings.GameFolder.isEmpty());
        QCOMPARE(statusText(desk.mdi()), QStringLiteral(" Welcome to Veldrin "));
        QCOMPARE(state.BrowserAddress, hosts::maker());
        QVERIFY(desk.map() && desk.mdi()->isVisible());
    }

    void barsGrowAtThreeSpeedsAndAClickCloses()
    {
        TestTree tree;
        SplashDelay delay("60000");
        ScriptedPrompts prompts;
        Modual1 state;
        Desk desk(state, prompts);
        frmSplash splash(desk);
        QCOMPARE(splash.size(), QSize(534, 225));
        auto *image = splash.findChild<QLabel *>(QStringLiteral("Image1"));
        QCOMPARE(image->geometry(), QRect(72, 64, 400, 125));
        QCOMPARE(image->pixmap().size(), QSize(400, 125));
        QCOMPARE(splash.tmrMove()->interval(), 1);
        QCOMPARE(splash.tmrEnd()->interval(), 60000);

        QTRY_VERIFY(splash.bar(1).x2 > 720 + 150 * 3);
        QTimer::singleShot(20, image, [image] { QTest::mouseClick(image, Qt::LeftButton); });
        QElapsedTimer clock;
        clock.start();
        splash.showUntilClosed();
        QVERIFY(clock.elapsed() < 30000);
        QVERIFY(splash.isUnloaded() && !splash.isVisible() && !splash.tmrMove()->isActive());
        // Every tick moves all three right-hand ends; the left ends and the height stay put.
        const qint64 ticks = (splash.bar(1).x2 - 720) / 150;
        QCOMPARE(splash.bar(2).x2, 480 + 100 * ticks);
        QCOMPARE(splash.bar(3).x2, 360 + 70 * ticks);
        QCOMPARE(splash.bar(3).x1, -120);
        QCOMPARE(splash.bar(2).y, 3120);
        const qint64 before = splash.bar(1).x2;
        QTest::qWait(20);
        QCOMPARE(splash.bar(1).x2, before);

        // Left alone, the close timer ends it.
        qputenv("VELDRIN_SPLASH_MS", "150");
        frmSplash timed(desk);
        clock.restart();
        timed.showUntilClosed();
        QVERIFY(clock.elapsed() >= 140 && timed.isUnloaded());
        // The picture is drawn once the splash is on screen, not left blank.
        QCOMPARE(timed.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().toImage(),
                 artwork::splashPicture().toImage());
        qputenv("VELDRIN_SPLASH_MS", "soon");
        QCOMPARE(frmSplash::closeDelayMs(), 3000);
    }
};

QTEST_MAIN(test_ShellStartup)
#include "test_ShellStartup.moc"
