#include "managers/frmExtra.h"
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QApplication>
#include <QMdiArea>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

// The two halves of the window differ only in these.
struct Half
{
    const char *load;
    const char *install;
    const char *view;
    const char *filter;
    QString game;   // installed file, under drive C
    QString backup; // its backup, under drive C
    QString Modual1::*programWideName;
};

const QString kFinished = QStringLiteral("Your file was backed and then installed to the correct directory.");

Half land()
{
    return {"cmdLoadLand", "cmdInstallLand", "rtbLand", "Lionhead Land Files (*.lnd)|*.lnd",
            QStringLiteral("Games/Black & White/Data/Landscape/Hills.lnd"), QStringLiteral("Veldrin/Backup/Landscape/Hills.lnd"),
            &Modual1::LandFileName};
}

Half skin()
{
    return {"cmdLoadSkin", "cmdInstallSkin", "rtbSkin", "Lionhead Skin Files (*.l3d)|*.l3d",
            QStringLiteral("Games/Black & White/Data/CreatureMesh/Hills.l3d"), QStringLiteral("Veldrin/Backup/Skin/Hills.l3d"),
            &Modual1::SkinFileName};
}

} // namespace

Q_DECLARE_METATYPE(Half)

class test_frmExtra : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestTree> tree;
    std::unique_ptr<Modual1> state;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<Desk> desk;
    frmExtra *extra = nullptr;

    template <class T> T *child(const char *name) { return extra->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    QPlainTextEdit *view(const Half &h) { return child<QPlainTextEdit>(h.view); }
    QString progress() { return desk->mdi()->findChild<QLabel *>(QStringLiteral("stat1Panel2"))->text(); }
    QString sourceOf(const Half &h) { return QStringLiteral("incoming/Hills.") + h.game.right(3); }
    void loadFile(const Half &h, const QByteArray &bytes)
    {
        tree->write(sourceOf(h), bytes);
        prompts->answerHostPath(tree->host(sourceOf(h)));
        click(h.load);
    }
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
        extra = desk->showExtra();
    }

    void cleanup()
    {
        QCOMPARE(prompts->pendingAnswers(), 0);
        QVERIFY(prompts->messages().isEmpty());
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

    void namesAndCaptions()
    {
        QCOMPARE(extra->windowTitle(), QStringLiteral("Veldrin - Skin / Landscape Mode"));
        QCOMPARE(child<QPushButton>("cmdInstallLand")->text(), QStringLiteral("Install Landscape"));
        QCOMPARE(child<QPushButton>("cmdEditSkin")->text(), QStringLiteral("Edit Skins With"));
        QCOMPARE(child<QLabel>("Label1")->text(),
                 QStringLiteral("BELOW: This is the current landscape (lnd) file you are viewing..."));
        QVERIFY(child<QPlainTextEdit>("rtbBack") && !child<QPlainTextEdit>("rtbBack")->isVisible());
        // No menu bar of its own: the frame's stays.
        QCOMPARE(desk->mdi()->currentMenuBar(), desk->mdi()->frameMenuBar());
    }

    void textIsBackedUpThenInstalledWithEdits_data()
    {
        QTest::addColumn<Half>("h");
        QTest::newRow("landscape") << land();
        QTest::newRow("skin") << skin();
    }
    void textIsBackedUpThenInstalledWithEdits()
    {
        QFETCH(Half, h);
        tree->write(h.game, "installed\nbefore");
        loadFile(h, "new\r\ncontent \xe9");
        QCOMPARE(prompts->shown.last().text, QString::fromLatin1(h.filter));
        QCOMPARE(view(h)->toPlainText(), QString::fromUtf8("new\ncontent \u00e9"));
        QCOMPARE((*state).*h.programWideName, QStringLiteral("Hills.") + h.game.right(3));
        QVERIFY(!view(h)->isReadOnly());

        view(h)->appendPlainText(QStringLiteral("edited"));
        click(h.install);
        QCOMPARE(tree->read(h.backup), QByteArray("installed\r\nbefore\r\n"));
        QCOMPARE(tree->read(h.game), QByteArray("new\r\ncontent \xe9\r\nedited\r\n"));
        QCOMPARE(progress(), kFinished);
        // The loaded file itself is never touched.
        QCOMPARE(tree->read(sourceOf(h)), QByteArray("new\r\ncontent \xe9"));
    }

    void binaryIsCopiedUnchanged_data() { textIsBackedUpThenInstalledWithEdits_data(); }
    void binaryIsCopiedUnchanged()
    {
        QFETCH(Half, h);
        QByteArray old("OLD\0\x01\r\n\x81", 8);
        QByteArray fresh;
        for (int i = 0; i < 3000; ++i)
            fresh.append(char(i % 251));
        tree->write(h.game, old);
        loadFile(h, fresh);

        QVERIFY(view(h)->isReadOnly());
        const QString summary = view(h)->toPlainText();
        QVERIFY(summary.contains(QStringLiteral("Hills.")));
        QVERIFY(summary.contains(QStringLiteral("3000 bytes")));
        QVERIFY(summary.contains(QStringLiteral("binary")));
        // Even text forced into the view does not reach the game.
        view(h)->setPlainText(QStringLiteral("not the file"));

        click(h.install);
        QCOMPARE(tree->read(h.backup), old);
        QCOMPARE(tree->read(h.game), fresh);

        // A text file loaded next is editable text again and installs as text.
        loadFile(h, "text again");
        QVERIFY(!view(h)->isReadOnly());
        click(h.install);
        QCOMPARE(tree->read(h.game), QByteArray("text again\r\n"));
        QCOMPARE(tree->read(h.backup), fresh); // the binary it replaced, byte for byte
    }

    void noInstalledFileKeepsTheOldBackup_data() { textIsBackedUpThenInstalledWithEdits_data(); }
    void noInstalledFileKeepsTheOldBackup()
    {
        QFETCH(Half, h);
        tree->write(h.backup, "a good old backup");
        loadFile(h, "brand new");
        click(h.install);
        QCOMPARE(tree->read(h.backup), QByteArray("a good old backup"));
        QCOMPARE(tree->read(h.game), QByteArray("brand new\r\n"));
        QCOMPARE(progress(), kFinished);
    }

    void installBeforeAnyLoadWritesNothing_data() { textIsBackedUpThenInstalledWithEdits_data(); }
    void installBeforeAnyLoadWritesNothing()
    {
        QFETCH(Half, h);
        view(h)->setPlainText(QStringLiteral("typed"));
        click(h.install);
        QVERIFY(QDir(tree->host(h.game.section(QLatin1Char('/'), 0, -2))).isEmpty());
        QVERIFY(QDir(tree->host(h.backup.section(QLatin1Char('/'), 0, -2))).isEmpty());
        QVERIFY(progress().isEmpty());
    }

    void missingBackupFolderStillInstalls()
    {
        const Half h = land();
        QDir(tree->host(QStringLiteral("Veldrin/Backup/Landscape"))).removeRecursively();
        tree->write(h.game, "old");
        loadFile(h, "new");
        click(h.install);
        QCOMPARE(tree->read(h.game), QByteArray("new\r\n"));
        QVERIFY(!tree->exists(QStringLiteral("Veldrin/Backup/Landscape")));
    }

    void cancelledLoadDoesNothing()
    {
        const Half h = land();
        loadFile(h, "first");
        view(h)->setPlainText(QStringLiteral("unsaved edits"));
        prompts->answerCancel();
        click(h.load);
        QCOMPARE(view(h)->toPlainText(), QStringLiteral("unsaved edits"));
        QCOMPARE(state->LandFileName, QStringLiteral("Hills.lnd"));

        // An unreadable choice changes nothing either.
        prompts->answerWindowsPath(QStringLiteral("C:\\incoming\\Gone.lnd"));
        click(h.load);
        QCOMPARE(view(h)->toPlainText(), QStringLiteral("unsaved edits"));
        QCOMPARE(state->LandFileName, QStringLiteral("Hills.lnd"));
    }

    void namesOutliveTheWindow()
    {
        loadFile(land(), "land");
        loadFile(skin(), "skin");
        click("cmdClose");
        flushDeletes();
        QVERIFY(!desk->extra());
        QCOMPARE(state->LandFileName, QStringLiteral("Hills.lnd"));
        QCOMPARE(state->SkinFileName, QStringLiteral("Hills.l3d"));

        extra = desk->showExtra();
        QVERIFY(view(land())->toPlainText().isEmpty());
        view(skin())->setPlainText(QStringLiteral("typed after reopening"));
        click("cmdInstallSkin");
        QCOMPARE(tree->read(skin().game), QByteArray("typed after reopening\r\n"));
    }

    void shortcuts()
    {
        click("cmdFindSkin");
        QCOMPARE(state->BrowserAddress, hosts::partner() + QStringLiteral("/fernlow/skins.html"));
        click("cmdGetHelp");
        QCOMPARE(state->BrowserAddress, hosts::maker() + QStringLiteral("/manager/help.htm"));
        click("cmdCreateReadme");
        QVERIFY(desk->readme());
    }
};

QTEST_MAIN(test_frmExtra)
#include "test_frmExtra.moc"
