#include "managers/frmMap.h"
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/Twips.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {
const QString kIsland = QStringLiteral("maps/Island.txt");
const QString kInstalled = QStringLiteral("Games/Black & White/Scripts/Playgrounds/Island.txt");
} // namespace

class test_frmMap : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestTree> tree;
    std::unique_ptr<Modual1> state;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<Desk> desk;
    frmMap *map = nullptr;

    template <class T> T *child(const char *name)
    {
        T *found = map->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no child %s", name);
        return found;
    }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    void trigger(const char *name) { child<QAction>(name)->trigger(); }
    QString viewed() { return child<QPlainTextEdit>("rtbMap")->toPlainText(); }
    void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void init()
    {
        tree = std::make_unique<TestTree>();
        tree->makeGameAndProgramFolders();
        state = std::make_unique<Modual1>();
        state->settings.GameFolder = TestTree::gameFolder();
        state->settings.ProgramFolder = TestTree::programFolder();
        prompts = std::make_unique<ScriptedPrompts>();
        desk = std::make_unique<Desk>(*state, *prompts);
        map = desk->showMap();
    }

    void cleanup()
    {
        QCOMPARE(prompts->pendingAnswers(), 0);
        // Close the content windows, then the frame, before the desk goes, so that no window
        // goes away in the middle of the frame's own teardown.
        if (frmMDI *frame = desk->openMdi()) {
            frame->mdiArea()->closeAllSubWindows();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            frame->close();
        }
        desk.reset();
        flushDeletes();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        prompts.reset();
        state.reset();
        tree.reset();
    }

    void namesCaptionsAndMenuBar()
    {
        QCOMPARE(map->objectName(), QStringLiteral("frmMap"));
        QCOMPARE(map->windowTitle(), QStringLiteral("Veldrin Beta 1 - Maps"));
        QCOMPARE(child<QPushButton>("cmdInstall")->text(), QStringLiteral("Install this Map"));
        QCOMPARE(child<QPushButton>("cmdEdit")->text(), QStringLiteral("Edit Map with... "));
        QCOMPARE(child<QPushButton>("cmdIdea")->text(), QStringLiteral("Submit Map idea"));
        QCOMPARE(child<QLabel>("lblDirectory")->text(), QStringLiteral("Current Map Directory:"));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), QStringLiteral("None..."));
        QCOMPARE(child<QLabel>("lblMessage")->text(), QStringLiteral("Welcome Message:"));
        QCOMPARE(child<QLabel>("lblWelcomeMessage")->text(), QString());
        QVERIFY(child<QFrame>("ln1"));

        // The frame shows this window's own bar, File to Help, while the map is active.
        QMenuBar *bar = desk->mdi()->currentMenuBar();
        QVERIFY(bar);
        QStringList menus;
        for (QAction *a : bar->actions())
            menus << a->menu()->objectName() + QLatin1Char('=') + a->text();
        QCOMPARE(menus, QStringList({"mnuFile=File", "mnuEdit=Edit", "mnuManage=Manage", "mnuTools=Tools",
                                     "mnuHelp=Help"}));
        QStringList file;
        for (QAction *a : child<QMenu>("mnuFile")->actions())
            file << a->objectName() + QLatin1Char('=') + a->text();
        QCOMPARE(file, QStringList({"mnuOpen=Open Map", "mnuInstall=Install Map", "mnuSave=Save Map", "mnuExit=Exit"}));
        QCOMPARE(child<QAction>("mnuLandscape")->text(), QStringLiteral("Landscapes"));
    }

    void loadEditSaveAndInstall()
    {
        // 0xE9 and the non-breaking space 0xA0 must come back as the same bytes.
        tree->write(kIsland, "line one\r\nline\xa0two \xe9\r\n");
        prompts->answerHostPath(tree->host(kIsland));
        click("cmdLoad");
        QCOMPARE(prompts->shown.last().kind, ScriptedPrompts::Shown::OpenDialog);
        QCOMPARE(prompts->shown.last().text, QStringLiteral("Black and White Maps (*.txt)|*.txt"));
        QVERIFY(viewed().startsWith(QStringLiteral("line one\nline")));
        QVERIFY(viewed().endsWith(QString::fromUtf8("two \u00e9\n")));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), TestTree::win(kIsland));
        QCOMPARE(state->MapFileName, QStringLiteral("Island.txt"));

        child<QPlainTextEdit>("rtbMap")->appendPlainText(QStringLiteral("edited"));
        const QByteArray expected("line one\r\nline\xa0two \xe9\r\n\r\nedited\r\n");

        // Saving under another name changes neither the label nor the install name.
        prompts->answerHostPath(tree->host(QStringLiteral("maps/Other.txt")));
        trigger("mnuSave");
        QCOMPARE(prompts->shown.last().kind, ScriptedPrompts::Shown::SaveDialog);
        QCOMPARE(prompts->shown.last().initialPath, TestTree::win(kIsland)); // the dialog remembers
        QCOMPARE(tree->read(QStringLiteral("maps/Other.txt")), expected);
        QCOMPARE(tree->read(kIsland), QByteArray("line one\r\nline\xa0two \xe9\r\n"));
        QCOMPARE(state->MapFileName, QStringLiteral("Island.txt"));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), TestTree::win(kIsland));

        click("cmdInstall");
        QCOMPARE(tree->read(kInstalled), expected);
        // The menu entry does the same, overwriting without asking.
        child<QPlainTextEdit>("rtbMap")->setPlainText(QStringLiteral("second"));
        trigger("mnuInstall");
        QCOMPARE(tree->read(kInstalled), QByteArray("second\r\n"));
        QVERIFY(prompts->messages().isEmpty());
    }

    void cancelledDialogsDoNothing()
    {
        prompts->answerCancel();
        click("cmdLoad");
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), QStringLiteral("None..."));

        tree->write(kIsland, "original");
        prompts->answerHostPath(tree->host(kIsland));
        trigger("mnuOpen");
        child<QPlainTextEdit>("rtbMap")->setPlainText(QStringLiteral("unsaved edits"));

        prompts->answerCancel();
        click("cmdLoad");
        QCOMPARE(viewed(), QStringLiteral("unsaved edits"));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), TestTree::win(kIsland));

        prompts->answerCancel();
        click("cmdSave");
        QCOMPARE(tree->read(kIsland), QByteArray("original"));
    }

    void unreadableFileStillNamesTheMap()
    {
        child<QPlainTextEdit>("rtbMap")->setPlainText(QStringLiteral("kept"));
        prompts->answerWindowsPath(QStringLiteral("C:\\maps\\Gone.txt"));
        click("cmdLoad");
        QCOMPARE(viewed(), QStringLiteral("kept"));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), QStringLiteral("C:\\maps\\Gone.txt"));
        QCOMPARE(state->MapFileName, QStringLiteral("Gone.txt"));
    }

    void theMapNameOutlivesTheWindow()
    {
        click("cmdInstall"); // nothing loaded yet this run
        QVERIFY(QDir(tree->host(QStringLiteral("Games/Black & White/Scripts/Playgrounds"))).isEmpty());

        tree->write(kIsland, "island");
        prompts->answerHostPath(tree->host(kIsland));
        click("cmdLoad");
        trigger("mnuExit");
        flushDeletes();
        QVERIFY(!desk->map());

        map = desk->showMap();
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->text(), QStringLiteral("None..."));
        QVERIFY(viewed().isEmpty());
        child<QPlainTextEdit>("rtbMap")->setPlainText(QStringLiteral("typed anew"));
        click("cmdInstall");
        QCOMPARE(tree->read(kInstalled), QByteArray("typed anew\r\n"));
    }

    void resizeFollowsTheOuterSize()
    {
        auto *sub = qobject_cast<QMdiSubWindow *>(map->parentWidget());
        QVERIFY(sub);
        sub->resize(780, 480); // 11700 x 7200 twips
        QCOMPARE(child<QPlainTextEdit>("rtbMap")->geometry(), QRect(0, 0, twipsToPixels(10000), twipsToPixels(6000)));
        QCOMPARE(child<QPushButton>("cmdLoad")->pos(), QPoint(twipsToPixels(10060), twipsToPixels(120)));
        QCOMPARE(child<QPushButton>("cmdFind")->pos(), QPoint(twipsToPixels(10060), twipsToPixels(5640)));
        QCOMPARE(child<QLabel>("lblCurrentDirectory")->pos(), QPoint(twipsToPixels(1920), twipsToPixels(6100)));
        QCOMPARE(child<QLabel>("lblWelcomeMessage")->pos(), QPoint(twipsToPixels(1920), twipsToPixels(6350)));
        const QRect line = child<QFrame>("ln1")->geometry();
        QCOMPARE(line.left(), 0);
        QCOMPARE(line.right() + 1, 780);
        QCOMPARE(line.center().y(), twipsToPixels(6720));

        // Minimised, the window is lower than the bottom margin: the view's height stops at
        // zero while its width still follows the (title bar's) outer width.
        sub->showMinimized();
        QVERIFY(sub->height() < twipsToPixels(1200));
        QCOMPARE(child<QPlainTextEdit>("rtbMap")->height(), 0);
        QCOMPARE(child<QPlainTextEdit>("rtbMap")->width(), twipsToPixels(qMax(0, pixelsToTwips(sub->width()) - 1700)));
        QCOMPARE(child<QLabel>("lblDirectory")->y(), twipsToPixels(100));
        sub->showNormal();
        QVERIFY(child<QPlainTextEdit>("rtbMap")->width() > 0);
    }

    void shortcutsAndMenuEntries()
    {
        click("cmdFind");
        QCOMPARE(state->BrowserAddress, hosts::partner() + QStringLiteral("/fernlow/maps.html"));
        QVERIFY(desk->browser());
        click("cmdSubmit");
        QCOMPARE(state->BrowserAddress, hosts::maker() + QStringLiteral("/manager/submit.htm"));

        trigger("mnuSkin");
        QVERIFY(desk->extra());
        trigger("mnuTattoo");
        QVERIFY(desk->tattoo());
        click("cmdReadme");
        QVERIFY(desk->readme());
        QVERIFY(desk->map());
    }

    void bigScriptStaysQuick()
    {
        QByteArray big;
        const QByteArray line("// a line of a long playground script with some words in it \xe9\r\n");
        while (big.size() < 10 * 1024 * 1024)
            big += line;
        tree->write(QStringLiteral("maps/Big.txt"), big);
        prompts->answerHostPath(tree->host(QStringLiteral("maps/Big.txt")));
        QElapsedTimer timer;
        timer.start();
        click("cmdLoad");
        QCoreApplication::processEvents();
        const qint64 loadMs = timer.elapsed();
        click("cmdInstall");
        const qint64 totalMs = timer.elapsed();
        qInfo("10 MB map: load %lld ms, load + install %lld ms", loadMs, totalMs);
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/Big.txt")), big + "\r\n");
        QVERIFY2(totalMs < 20000, "a 10 MB map took too long");
    }
};

QTEST_MAIN(test_frmMap)
#include "test_frmMap.moc"
