#include "DeskFixture.h"
#include "managers/frmMap.h"
#include "shell/Hosts.h"
#include "shell/Twips.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const QString kIsland = QStringLiteral("maps/Island.txt");
const QString kInstalled = QStringLiteral("Games/Black & White/Scripts/Playgrounds/Island.txt");
} // namespace

class test_frmMap : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmMap *map = nullptr;

    template <class T> T *child(const char *name) { return map->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    void trigger(const char *name) { child<QAction>(name)->trigger(); }
    QPlainTextEdit *view() { return child<QPlainTextEdit>("rtbMap"); }
    QString directory() { return child<QLabel>("lblCurrentDirectory")->text(); }
    void load(const QString &relative)
    {
        f->prompts.answerHostPath(f->tree.host(relative));
        click("cmdLoad");
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        map = f->desk->showMap();
    }
    void cleanup()
    {
        f->tearDown();
        f.reset();
    }

    void loadEditSaveAndInstall()
    {
        // The frame shows the map's own menu bar while the map is active.
        QCOMPARE(f->desk->mdi()->currentMenuBar()->actions().first()->menu()->objectName(), QStringLiteral("mnuFile"));

        // 0xE9 and the non-breaking space 0xA0 must come back as the same bytes.
        f->tree.write(kIsland, "line one\r\nline\xa0two \xe9\r\n");
        load(kIsland);
        QCOMPARE(f->prompts.shown.last().text, QStringLiteral("Black and White Maps (*.txt)|*.txt"));
        QVERIFY(view()->toPlainText().startsWith(QStringLiteral("line one\nline")));
        QCOMPARE(directory(), TestTree::win(kIsland));
        QCOMPARE(f->state.MapFileName, QStringLiteral("Island.txt"));

        view()->appendPlainText(QStringLiteral("edited"));
        const QByteArray expected("line one\r\nline\xa0two \xe9\r\n\r\nedited\r\n");

        // Saving under another name changes neither the label nor the install name.
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("maps/Other.txt")));
        trigger("mnuSave");
        QCOMPARE(f->prompts.shown.last().kind, ScriptedPrompts::Shown::SaveDialog);
        QCOMPARE(f->prompts.shown.last().initialPath, TestTree::win(kIsland)); // the dialog remembers
        QCOMPARE(f->tree.read(QStringLiteral("maps/Other.txt")), expected);
        QCOMPARE(f->state.MapFileName, QStringLiteral("Island.txt"));
        QCOMPARE(directory(), TestTree::win(kIsland));

        click("cmdInstall");
        QCOMPARE(f->tree.read(kInstalled), expected);
        view()->setPlainText(QStringLiteral("second"));
        trigger("mnuInstall"); // overwrites without asking
        QCOMPARE(f->tree.read(kInstalled), QByteArray("second\r\n"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void cancelledAndUnreadableChoices()
    {
        f->prompts.answerCancel();
        click("cmdLoad");
        QCOMPARE(directory(), QStringLiteral("None..."));

        f->tree.write(kIsland, "original");
        load(kIsland);
        view()->setPlainText(QStringLiteral("unsaved edits"));
        f->prompts.answerCancel();
        trigger("mnuOpen");
        f->prompts.answerCancel();
        click("cmdSave");
        QCOMPARE(view()->toPlainText(), QStringLiteral("unsaved edits"));
        QCOMPARE(directory(), TestTree::win(kIsland));
        QCOMPARE(f->tree.read(kIsland), QByteArray("original"));

        // Stray control bytes and NULs in a map survive a load and a save unchanged.
        const QByteArray odd("a\0b\x01c\x1a\td\xa0\x81\r\n", 12);
        f->tree.write(QStringLiteral("maps/Odd.txt"), odd);
        load(QStringLiteral("maps/Odd.txt"));
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("maps/Odd2.txt")));
        click("cmdSave");
        QCOMPARE(f->tree.read(QStringLiteral("maps/Odd2.txt")), odd + "\r\n");
        view()->setPlainText(QStringLiteral("unsaved edits"));

        // A file that cannot be read leaves the text, but the path and name still follow the choice.
        load(QStringLiteral("maps/Gone.txt"));
        QCOMPARE(view()->toPlainText(), QStringLiteral("unsaved edits"));
        QCOMPARE(directory(), TestTree::win(QStringLiteral("maps/Gone.txt")));
        QCOMPARE(f->state.MapFileName, QStringLiteral("Gone.txt"));
    }

    void theMapNameOutlivesTheWindow()
    {
        click("cmdInstall"); // nothing loaded yet this run
        QVERIFY(QDir(f->tree.host(QStringLiteral("Games/Black & White/Scripts/Playgrounds"))).isEmpty());

        f->tree.write(kIsland, "island");
        load(kIsland);
        trigger("mnuExit");
        DeskFixture::flushDeletes();
        QVERIFY(!f->desk->map());

        map = f->desk->showMap();
        QCOMPARE(directory(), QStringLiteral("None..."));
        view()->setPlainText(QStringLiteral("typed anew"));
        click("cmdInstall");
        QCOMPARE(f->tree.read(kInstalled), QByteArray("typed anew\r\n"));
    }

    void resizeFollowsTheOuterSize()
    {
        auto *sub = qobject_cast<QMdiSubWindow *>(map->parentWidget());
        sub->resize(780, 480); // 11700 x 7200 twips
        QCOMPARE(view()->geometry(), QRect(0, 0, twipsToPixels(10000), twipsToPixels(6000)));
        QCOMPARE(child<QPushButton>("cmdFind")->pos(), QPoint(twipsToPixels(10060), twipsToPixels(5640)));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->pos(), QPoint(twipsToPixels(1920), twipsToPixels(6100)));
        QCOMPARE(child<QLabel>("lblWelcomeMessage")->pos(), QPoint(twipsToPixels(1920), twipsToPixels(6350)));
        const QRect line = child<QFrame>("ln1")->geometry();
        QCOMPARE(line.right() + 1, 780);
        QCOMPARE(line.center().y(), twipsToPixels(6720));

        // Minimised, the window is lower than the bottom margin: the view's height stops at
        // zero while its width still follows the title bar's outer width.
        sub->showMinimized();
        QVERIFY(sub->height() < twipsToPixels(1200));
        QCOMPARE(view()->height(), 0);
        QCOMPARE(view()->width(), twipsToPixels(qMax(0, pixelsToTwips(sub->width()) - 1700)));
        sub->showNormal();
        QVERIFY(view()->width() > 0);
    }

    void shortcutsAndMenuEntries()
    {
        click("cmdFind");
        QCOMPARE(f->state.BrowserAddress, hosts::partner() + QStringLiteral("/fernlow/maps.html"));
        trigger("mnuSkin");
        QVERIFY(f->desk->extra());
        trigger("mnuTattoo");
        QVERIFY(f->desk->tattoo());
        click("cmdReadme");
        QVERIFY(f->desk->readme());
    }

    void bigScriptStaysQuick()
    {
        QByteArray big;
        const QByteArray line("// a line of a long playground script with some words in it \xe9\r\n");
        while (big.size() < 10 * 1024 * 1024)
            big += line;
        f->tree.write(QStringLiteral("maps/Big.txt"), big);
        QElapsedTimer timer;
        timer.start();
        load(QStringLiteral("maps/Big.txt"));
        QCoreApplication::processEvents();
        click("cmdInstall");
        qInfo("10 MB map: load and install took %lld ms", timer.elapsed());
        QCOMPARE(f->tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/Big.txt")), big + "\r\n");
        QVERIFY2(timer.elapsed() < 20000, "a 10 MB map took too long");
    }
};

QTEST_MAIN(test_frmMap)
#include "test_frmMap.moc"
