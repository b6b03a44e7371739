#include "DeskFixture.h"
#include "common/Twips.h"
#include "install/HistoryFolder.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "windows/managers/frmMap.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {
const QString kIsland = QStringLiteral("maps/Island.txt");
const QString kInstalled = QStringLiteral("Games/Black & White/Scripts/Playgrounds/Island.txt");
} // namespace

class test_frmMap : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmMap *map = nullptr;

    QPlainTextEdit *view() { return DeskFixture::at<QPlainTextEdit>(map, "rtbMap"); }
    QString directory() { return DeskFixture::at<QLabel>(map, "lblCurrentDirectory")->text(); }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        map = f->desk->showMap();
    }
    void cleanup()
    {
        install::Transaction::failKeepForTesting(false);
        DeskFixture::end(f);
    }

    void loadEditSaveAndInstall()
    {
        // 0xE9 and the non-breaking space 0xA0 must come back as the same bytes.
        f->tree.write(kIsland, "line one\r\nline\xa0two \xe9\r\n");
        f->choose(kIsland, map, "cmdLoad");
        QVERIFY(view()->toPlainText().startsWith(QStringLiteral("line one\nline")));
        QCOMPARE(directory(), TestTree::win(kIsland));
        QCOMPARE(f->state.MapFileName, QStringLiteral("Island.txt"));

        view()->appendPlainText(QStringLiteral("edited"));
        const QByteArray expected("line one\r\nline\xa0two \xe9\r\n\r\nedited\r\n");
        // Saving under another name changes neither the label nor the install name.
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("maps/Other.txt")));
        DeskFixture::trigger(map, "mnuSave");
        QCOMPARE(f->tree.read(QStringLiteral("maps/Other.txt")), expected);
        QCOMPARE(f->state.MapFileName, QStringLiteral("Island.txt"));
        QCOMPARE(directory(), TestTree::win(kIsland));

        DeskFixture::click(map, "cmdInstall");
        QCOMPARE(f->tree.read(kInstalled), expected);
        view()->setPlainText(QStringLiteral("second"));
        DeskFixture::trigger(map, "mnuInstall"); // overwrites without asking
        QCOMPARE(f->tree.read(kInstalled), QByteArray("second\r\n"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    // A history that cannot keep the map being replaced (an injected store failure) asks before
    // anything is written: No leaves the game as it was, Yes installs without undo and says so.
    void anOriginalThatCannotBeKeptIsAskedAbout()
    {
        QVERIFY(history::createFolder(TestTree::programFolder()));
        f->tree.write(kInstalled, "player's map");
        f->tree.write(kIsland, "new map");
        f->choose(kIsland, map, "cmdLoad");
        install::Transaction::failKeepForTesting(true);

        f->prompts.answerQuestion(false);
        DeskFixture::click(map, "cmdInstall");
        QCOMPARE(f->prompts.shown.size(), 3); // the open dialog, the question, the message
        QCOMPARE(f->prompts.shown.at(1).kind, ScriptedPrompts::Shown::Question);
        const QString question = f->prompts.shown.at(1).text;
        QVERIFY2(question.contains(QStringLiteral("Island.txt could not be kept for undo"))
                     && question.contains(QStringLiteral("Install without undo?")),
                 qPrintable(question));
        QVERIFY2(f->prompts.shown.at(2).text.startsWith(QStringLiteral("The map was not installed: ")),
                 qPrintable(f->prompts.shown.at(2).text));
        QCOMPARE(f->tree.read(kInstalled), QByteArray("player's map"));
        QVERIFY(history::History(TestTree::programFolder(), TestTree::gameFolder()).operations().isEmpty());

        f->prompts.shown.clear();
        f->prompts.answerQuestion(true);
        DeskFixture::click(map, "cmdInstall");
        QCOMPARE(f->tree.read(kInstalled), QByteArray("new map\r\n"));
        QCOMPARE(f->prompts.messages(), QStringList{install::kInstalledWithoutUndo});
        // Shown in the history as what it is, with nothing to undo it from.
        const auto done = history::History(TestTree::programFolder(), TestTree::gameFolder()).operations();
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.first().state, history::State::NoUndo);
    }

    void cancelledChoices()
    {
        // Before any choice the dialog's path is empty: the label takes it, the name stays.
        f->state.MapFileName = QStringLiteral("Earlier.txt");
        f->prompts.answerCancel();
        DeskFixture::click(map, "cmdLoad");
        QCOMPARE(directory(), QString());
        QCOMPARE(f->state.MapFileName, QStringLiteral("Earlier.txt"));
        QCOMPARE(view()->toPlainText(), QString());

        f->tree.write(kIsland, "original");
        f->choose(kIsland, map, "cmdLoad");
        view()->setPlainText(QStringLiteral("unsaved edits"));
        f->prompts.answerCancel();
        DeskFixture::trigger(map, "mnuOpen");
        f->prompts.answerCancel();
        DeskFixture::click(map, "cmdSave");
        QCOMPARE(view()->toPlainText(), QStringLiteral("unsaved edits"));
        QCOMPARE(directory(), TestTree::win(kIsland));
        QCOMPARE(f->tree.read(kIsland), QByteArray("original"));
    }

    void resizeFollowsTheOuterSize()
    {
        DeskFixture::frameOf(map)->resize(780, 480); // 11700 x 7200 twips
        QCOMPARE(view()->geometry(), QRect(0, 0, twipsToPixels(10000), twipsToPixels(6000)));
        QCOMPARE(DeskFixture::at(map, "cmdFind")->pos(), QPoint(twipsToPixels(10060), twipsToPixels(5640)));
        QCOMPARE(DeskFixture::at(map, "ln1")->geometry().right() + 1, 780);
    }
};

QTEST_MAIN(test_frmMap)
#include "test_frmMap.moc"
