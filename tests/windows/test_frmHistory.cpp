// The add-ons window: what it lists, take out and put back, conflicts and moving up, undo in
// the history, restore of everything, the one question about files changed by hand, and the
// state without a history folder.
#include "DeskFixture.h"
#include "brx/Brx.h"
#include "install/HistoryRecovery.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "support/BrxTool.h"
#include "windows/install/frmHistory.h"
#include "windows/managers/frmMap.h"
#include "windows/managers/frmTattoo.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>

namespace {

const QString kHills = QStringLiteral("Games/Black & White/Data/Landscape/Hills.lnd");
const QString kIsland = QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt");
const QString kHistory = QStringLiteral("Veldrin/Backup/history");

} // namespace

class test_frmHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;

    QTreeWidget *operations(frmHistory *w) { return DeskFixture::at<QTreeWidget>(w, "lstOperations"); }
    QTreeWidget *files(frmHistory *w) { return DeskFixture::at<QTreeWidget>(w, "lstFiles"); }
    QString column(frmHistory *w, int row, int col) { return operations(w)->topLevelItem(row)->text(col); }
    QString note(frmHistory *w) { return DeskFixture::at<QLabel>(w, "lblNote")->text(); }

    // One install as the windows make it, through the one install transaction.
    void install(const QString &route, const QString &relative, const QByteArray &bytes)
    {
        QString error;
        QVERIFY2(install::installFile(route, QStringLiteral("test"), f->state.settings.GameFolder,
                                      f->state.settings.ProgramFolder, TestTree::win(relative), bytes, &error),
                 qPrintable(error));
    }
    // veldrin-brx installing p.brx into the fixture's folders, stopped at a point of its install.
    bool startPausedTool(QProcess &tool, int point)
    {
        startTool(tool, installArgs(f->tree), point);
        QByteArray said;
        return waitToSay(tool, "veldrin-test-paused " + QByteArray::number(point) + '\n', &said);
    }
    // The program up with a history, the game's island and p.brx that replaces it.
    void startWithAnIslandPackage()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n");
        f->tree.mkdir(kHistory);
        f->tree.write(kIsland, "original");
        QByteArray package;
        brx::appendEntry(package, TestTree::win(kIsland), QStringLiteral("island.txt"), "from the package");
        f->tree.write(QStringLiteral("p.brx"), package);
        f->desk->startUp();
    }
    void selectRow(frmHistory *w, int row) { operations(w)->setCurrentItem(operations(w)->topLevelItem(row)); }
    int questions() const
    {
        int n = 0;
        for (const auto &shown : f->prompts.shown)
            n += shown.kind == ScriptedPrompts::Shown::Question;
        return n;
    }

private slots:
    void init() { f = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(f); }

    void toolsMenusEndWithTheOneHistoryWindow()
    {
        frmHistory *first = nullptr;
        for (QObject *owner : {static_cast<QObject *>(f->desk->mdi()->frameMenuBar()), static_cast<QObject *>(f->desk->showMap()),
                               static_cast<QObject *>(f->desk->showTattoo())}) {
            const QMenu *tools = DeskFixture::at<QMenu>(owner, "mnuTools");
            QCOMPARE(tools->actions().last()->objectName(), QStringLiteral("mnuHistory"));
            tools->actions().last()->trigger();
            frmHistory *shown = f->desk->history();
            QVERIFY(shown);
            QVERIFY(DeskFixture::frameOf(shown)); // a child of the main window
            if (!first)
                first = shown;
            QCOMPARE(shown, first);
        }
        QCOMPARE(f->desk->mdi()->mdiArea()->subWindowList().size(), 3);
    }

    void withoutAHistoryFolderItSaysSoAndCreatesItOnRequest()
    {
        QVERIFY(!f->tree.exists(kHistory));
        frmHistory *w = f->desk->showHistory();
        auto *off = DeskFixture::at<QLabel>(w, "lblHistoryOff");
        auto *create = DeskFixture::at<QPushButton>(w, "cmdCreateFolder");
        QVERIFY(off->isVisibleTo(w));
        QVERIFY(off->text().contains(QLatin1String("Backup\\history\\")));
        QVERIFY(create->isVisibleTo(w));
        QCOMPARE(operations(w)->topLevelItemCount(), 0);
        QVERIFY(!DeskFixture::at<QPushButton>(w, "cmdRestoreAll")->isEnabled());

        // An install without the folder keeps no history and makes no folder.
        install(QStringLiteral("landscape"), kHills, "new");
        QVERIFY(!f->tree.exists(kHistory));

        DeskFixture::click(w, "cmdCreateFolder");
        QVERIFY(f->tree.exists(kHistory));
        QVERIFY(!off->isVisibleTo(w));
        QVERIFY(!create->isVisibleTo(w));
        // An install made while the window is open shows when the player comes back to it.
        install(QStringLiteral("landscape"), kHills, "newer");
        QCOMPARE(f->desk->showHistory(), w);
        QCOMPARE(operations(w)->topLevelItemCount(), 1);
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void undoPutsTheSelectedOperationBackAndIsItselfUndoable()
    {
        f->tree.mkdir(kHistory);
        f->tree.write(kHills, "the game's own hills");
        install(QStringLiteral("landscape"), kHills, "hills A");
        install(QStringLiteral("map"), kIsland, "island");
        frmHistory *w = f->desk->showHistory();

        // Newest first: the map, then the landscape; time, route, source, number of files.
        QCOMPARE(operations(w)->topLevelItemCount(), 2);
        QCOMPARE(column(w, 0, 1), QStringLiteral("map"));
        QCOMPARE(column(w, 1, 1), QStringLiteral("landscape"));
        QCOMPARE(column(w, 1, 2), QStringLiteral("Landscape Hills.lnd from the skin and landscape window"));
        QCOMPARE(column(w, 1, 3), QStringLiteral("1"));
        QVERIFY(!column(w, 1, 0).isEmpty());
        QVERIFY(column(w, 1, 0) <= column(w, 0, 0));

        selectRow(w, 0);
        QCOMPARE(files(w)->topLevelItemCount(), 1);
        QCOMPARE(files(w)->topLevelItem(0)->text(0), TestTree::win(kIsland));
        QCOMPARE(files(w)->topLevelItem(0)->text(1), QStringLiteral("created"));
        selectRow(w, 1);
        QCOMPARE(files(w)->topLevelItem(0)->text(1), QStringLiteral("replaced"));

        // Undoing the older one leaves the newer one's file alone; nothing was changed since,
        // so nothing is asked.
        DeskFixture::click(w, "cmdUndo");
        QCOMPARE(f->tree.read(kHills), QByteArray("the game's own hills"));
        QCOMPARE(f->tree.read(kIsland), QByteArray("island"));
        QCOMPARE(questions(), 0);
        QCOMPARE(operations(w)->topLevelItemCount(), 3);
        QCOMPARE(column(w, 0, 1), QStringLiteral("take out"));
        QCOMPARE(column(w, 0, 2), QStringLiteral("Took out \"Landscape Hills.lnd\""));
        QCOMPARE(operations(w)->selectedItems().value(0), operations(w)->topLevelItem(0));
        QCOMPARE(column(w, 2, 4), QStringLiteral("undone"));

        // The undone operation cannot be undone twice; the undo itself can.
        selectRow(w, 2);
        QVERIFY(!DeskFixture::at<QPushButton>(w, "cmdUndo")->isEnabled());
        QVERIFY(!note(w).isEmpty());
        selectRow(w, 0);
        DeskFixture::click(w, "cmdUndo");
        QCOMPARE(f->tree.read(kHills), QByteArray("hills A"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    // Two add-ons write one file: taking out the covered one rewrites nothing; the conflicts
    // view shows which wins and moving the other up rewrites the file; a hand edit is asked
    // about once and kept on top; a rename sticks.
    void layersConflictsAndHandEdits()
    {
        f->tree.mkdir(kHistory);
        f->tree.write(kHills, "original");
        install(QStringLiteral("landscape"), kHills, "first");
        install(QStringLiteral("landscape"), kHills, "second");
        install(QStringLiteral("map"), kIsland, "island");
        frmHistory *w = f->desk->showHistory();
        QCOMPARE(w->windowTitle(), QStringLiteral("Veldrin - Add-ons"));
        QTreeWidget *addOns = DeskFixture::at<QTreeWidget>(w, "lstAddOns");
        QCOMPARE(addOns->topLevelItemCount(), 3);
        QCOMPARE(addOns->topLevelItem(1)->text(0), QStringLiteral("Landscape Hills.lnd"));
        QCOMPARE(addOns->topLevelItem(1)->text(5), QStringLiteral("1"));
        QTreeWidget *conflicts = DeskFixture::at<QTreeWidget>(w, "lstConflicts");
        QCOMPARE(conflicts->topLevelItemCount(), 1);
        QTreeWidgetItem *file = conflicts->topLevelItem(0);
        QCOMPARE(file->text(0), TestTree::win(kHills));
        QCOMPARE(file->childCount(), 2);
        QCOMPARE(file->child(0)->text(1), QStringLiteral("wins"));

        // The first install, covered: moved up, it wins and the file is rewritten.
        conflicts->setCurrentItem(file->child(1));
        QVERIFY(!DeskFixture::at<QPushButton>(w, "cmdMoveDown")->isEnabled());
        DeskFixture::click(w, "cmdMoveUp");
        QCOMPARE(f->tree.read(kHills), QByteArray("first"));
        QCOMPARE(questions(), 0);

        // The second, now covered, taken out: nothing to rewrite. Its files say so first.
        addOns->setCurrentItem(addOns->topLevelItem(2));
        QTreeWidget *addOnFiles = DeskFixture::at<QTreeWidget>(w, "lstAddOnFiles");
        QCOMPARE(addOnFiles->topLevelItem(0)->text(1), QStringLiteral("covered by Landscape Hills.lnd"));
        DeskFixture::click(w, "cmdTakeOut");
        QCOMPARE(f->tree.read(kHills), QByteArray("first"));
        QCOMPARE(addOns->topLevelItem(2)->text(4), QStringLiteral("off"));

        // A hand edit is asked about once, naming the file, and kept on top.
        f->tree.write(kHills, "by hand");
        addOns->setCurrentItem(addOns->topLevelItem(1)); // below the map, above the second
        QCOMPARE(addOns->currentItem()->text(0), QStringLiteral("Landscape Hills.lnd"));
        f->prompts.answerQuestion(true);
        DeskFixture::click(w, "cmdTakeOut");
        QCOMPARE(questions(), 1);
        QVERIFY(f->prompts.shown.last().text.contains(TestTree::win(kHills)));
        QCOMPARE(f->tree.read(kHills), QByteArray("by hand"));
        QCOMPARE(addOns->topLevelItem(0)->text(1), QStringLiteral("Changed by hand"));
        QCOMPARE(addOns->topLevelItem(0)->text(4), QStringLiteral("on"));

        addOns->topLevelItem(0)->setText(0, QStringLiteral("My hills"));
        QTRY_COMPARE(addOns->topLevelItem(0)->text(0), QStringLiteral("My hills"));
        QTRY_COMPARE(column(w, 0, 1), QStringLiteral("rename"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void restoreAllGivesTheGameBackAsItWas()
    {
        f->tree.mkdir(kHistory);
        f->tree.write(kHills, "original");
        install(QStringLiteral("landscape"), kHills, "first");
        install(QStringLiteral("map"), kIsland, "island");
        install(QStringLiteral("landscape"), kHills, "second");
        frmHistory *w = f->desk->showHistory();
        // One question, naming the count; "no" changes nothing.
        f->prompts.answerQuestion(false);
        DeskFixture::click(w, "cmdRestoreAll");
        QCOMPARE(questions(), 1);
        QVERIFY2(f->prompts.shown.last().text.contains(QLatin1String("all 3 add-ons")), qPrintable(f->prompts.shown.last().text));
        QCOMPARE(f->tree.read(kHills), QByteArray("second"));
        f->prompts.answerQuestion(true);
        DeskFixture::click(w, "cmdRestoreAll");
        QCOMPARE(f->tree.read(kHills), QByteArray("original"));
        QVERIFY(!f->tree.exists(kIsland));
        QCOMPARE(operations(w)->topLevelItemCount(), 4);

        // Restoring is an operation too: undoing it brings the installs back; a file touched
        // by hand afterwards is kept aside by the next restore, still with one question.
        selectRow(w, 0);
        DeskFixture::click(w, "cmdUndo");
        QCOMPARE(f->tree.read(kHills), QByteArray("second"));
        QCOMPARE(f->tree.read(kIsland), QByteArray("island"));
        f->tree.write(kIsland, "edited by hand");
        f->prompts.answerQuestion(true);
        DeskFixture::click(w, "cmdRestoreAll");
        QCOMPARE(questions(), 3);
        QCOMPARE(f->tree.read(kHills), QByteArray("original"));
        QVERIFY(!f->tree.exists(kIsland));
        QTreeWidget *addOns = DeskFixture::at<QTreeWidget>(w, "lstAddOns");
        QCOMPARE(addOns->topLevelItem(0)->text(1), QStringLiteral("Changed by hand"));
        QCOMPARE(addOns->topLevelItem(0)->text(4), QStringLiteral("off"));
    }

    void anOperationWhoseOriginalsCouldNotBeKeptSaysUndoIsNotAvailable()
    {
        // The store's own folder taken by a file: the original cannot be kept, and the player
        // chose to install without undo.
        f->tree.write(kHistory + QStringLiteral("/objects"), "in the way");
        f->tree.write(kHills, "original");
        {
            install::Transaction t(QStringLiteral("landscape"), QStringLiteral("test"), f->state.settings.GameFolder,
                                   f->state.settings.ProgramFolder);
            t.setWithoutUndo(true);
            QVERIFY(t.write(t.add(TestTree::win(kHills)), "new"));
            QVERIFY(t.commit());
        }
        QCOMPARE(f->tree.read(kHills), QByteArray("new"));
        frmHistory *w = f->desk->showHistory();
        QCOMPARE(operations(w)->topLevelItemCount(), 1);
        selectRow(w, 0);
        QVERIFY(!DeskFixture::at<QPushButton>(w, "cmdUndo")->isEnabled());
        QVERIFY2(note(w).contains(QLatin1String("not available")), qPrintable(note(w)));
        QCOMPARE(files(w)->topLevelItemCount(), 1);
    }

    // An install from a window while veldrin-brx installs into the same program folder waits
    // for it, says so in the status line meanwhile, and then goes ahead after it.
    void anInstallWaitsForOneInAnotherProcessAndSaysSo()
    {
        startWithAnIslandPackage();
        frmMDI *frame = f->desk->mdi();
        QVERIFY(frame && frame->isVisible());
        frame->setProgressText(QStringLiteral("before"));

        // veldrin-brx stopped right after its record: it holds the history.
        QProcess tool;
        QVERIFY(startPausedTool(tool, 2));

        // Once the window says it waits, the tool is let go.
        QString shown;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (shown.isEmpty() && frame->progressText() != QLatin1String("before")) {
                shown = frame->progressText();
                ::kill(pid_t(tool.processId()), SIGUSR1);
            }
        });
        watch.start(5);
        install(QStringLiteral("map"), kIsland, "from the window");
        watch.stop();
        QCOMPARE(shown, QStringLiteral("waiting for another install to finish"));
        QCOMPARE(frame->progressText(), QStringLiteral("before"));
        QVERIFY(tool.state() == QProcess::NotRunning || tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(f->tree.read(kIsland), QByteArray("from the window"));
        frmHistory *w = f->desk->showHistory();
        QCOMPARE(operations(w)->topLevelItemCount(), 2);
        QCOMPARE(column(w, 0, 1), QStringLiteral("map"));
        QCOMPARE(column(w, 1, 1), QStringLiteral("package"));
        QCOMPARE(column(w, 0, 4), QStringLiteral("done"));
        QCOMPARE(column(w, 1, 4), QStringLiteral("done"));
        QCOMPARE(f->prompts.pendingAnswers(), 0);
    }

    // veldrin-brx killed in the middle while the program runs: the next install from a window
    // puts its files back first and says so, so that a later start cannot put them back over
    // what the window installed.
    void anInstallKilledMeanwhileIsPutBackBeforeTheNextOne()
    {
        startWithAnIslandPackage();
        QProcess tool;
        // Point 4: the island is renamed into place.
        QVERIFY(startPausedTool(tool, 4));
        QVERIFY(f->tree.read(kIsland).contains("from the package"));
        ::kill(pid_t(tool.processId()), SIGKILL);
        QVERIFY(tool.state() == QProcess::NotRunning || tool.waitForFinished(30000));

        install(QStringLiteral("map"), kIsland, "from the window");
        QTRY_COMPARE(f->prompts.messages().size(), 1);
        QVERIFY2(f->prompts.messages().first().contains(QLatin1String("stopped in the middle of an install")),
                 qPrintable(f->prompts.messages().first()));
        QCOMPARE(f->tree.read(kIsland), QByteArray("from the window"));
        frmHistory *w = f->desk->showHistory();
        QCOMPARE(column(w, 0, 4), QStringLiteral("done"));
        QCOMPARE(column(w, 1, 4), QStringLiteral("rolled back"));
        // Nothing is left for a later start to put back.
        QVERIFY(history::recoverUnfinished(TestTree::programFolder(), TestTree::gameFolder()).isEmpty());
        QCOMPARE(f->tree.read(kIsland), QByteArray("from the window"));
        f->prompts.answerQuestion(true);
        DeskFixture::click(w, "cmdRestoreAll");
        QCOMPARE(f->tree.read(kIsland), QByteArray("original"));
    }

    // What the start-up recovery put back is told once, over the main window, whether it is
    // known before or after the frame comes up.
    void recoveryIsToldOnceWithTheMainWindowUp()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n");
        f->desk->tellRecovery(QString()); // nothing to tell: no message
        f->desk->tellRecovery(QStringLiteral("put back before"));
        QVERIFY(f->prompts.shown.isEmpty());
        f->desk->startUp();
        QTRY_COMPARE(f->prompts.messages(), QStringList{"put back before"});
        QVERIFY(f->desk->mdi()->isVisible());
        f->desk->tellRecovery(QStringLiteral("put back after"));
        QTRY_COMPARE(f->prompts.messages().size(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(f->prompts.messages(), QStringList({"put back before", "put back after"}));
    }
};

QTEST_MAIN(test_frmHistory)
#include "test_frmHistory.moc"
