// The install transaction under failure: a write that fails at any point of a package, with or
// without a history, and originals the history's store cannot keep.
#include "brx/Brx.h"
#include "install/BrxInstall.h"
#include "install/HistoryFolder.h"
#include "install/HistoryJournal.h"
#include "install/InstallByType.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "managers/GameFileInstall.h"
#include "managers/TattooFiles.h"
#include "platform/HostFiles.h"
#include "support/ScriptedPrompts.h"
#include "support/SlotModes.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");

QString win(const QString &rest) { return TestTree::gameFolder() + rest; }

QByteArray fiveEntryPackage()
{
    QByteArray package;
    brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\one.txt")), QStringLiteral("one.txt"), "\r\nnew one");
    brx::appendBinaryEntry(package, win(QStringLiteral("Data\\Landscape\\two.lnd")), QStringLiteral("two.lnd"),
                           QByteArray("LND\0new", 7));
    brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\three.txt")), QStringLiteral("three.txt"), "\r\n3");
    brx::appendBinaryEntry(package, win(QStringLiteral("Data\\CreatureMesh\\four.l3d")), QStringLiteral("four.l3d"),
                           QByteArray("L3D\0four", 8));
    brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\one.txt")), QStringLiteral("five.txt"), "\r\nagain");
    return package;
}

brx::InstallOptions options()
{
    brx::InstallOptions o;
    o.gameFolder = TestTree::gameFolder();
    o.programFolder = TestTree::programFolder();
    return o;
}

} // namespace

class test_InstallTransaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data() { slotmodes::addRows(); }
    void init() { slotmodes::use(); }
    void cleanWindowsPathStopsAtTheDriveRoot()
    {
        using install::cleanWindowsPath;
        QCOMPARE(cleanWindowsPath(QStringLiteral("C:\\..\\..\\a\\.\\b\\..\\c.txt")), QStringLiteral("C:\\a\\c.txt"));
        QCOMPARE(cleanWindowsPath(QStringLiteral("C:/Games//BW/")), QStringLiteral("C:\\Games\\BW\\"));
        QCOMPARE(cleanWindowsPath(QStringLiteral("..\\x")), QStringLiteral("..\\x"));
    }

    // A failure at each of the ten writes (five entries, five backup copies), with and without
    // a history, leaves the trees exactly as they were, or, when only a backup copy failed,
    // installs the package whole.
    void aFailureAtAnyWriteLeavesNothingHalfDone()
    {
        for (const bool withHistory : {false, true}) {
            for (int failAt = 1; failAt <= 10; ++failAt) {
                TestTree tree;
                tree.makeGameAndProgramFolders();
                if (withHistory)
                    QVERIFY(history::createFolder(TestTree::programFolder()));
                tree.write(kGame + QStringLiteral("Scripts/Playgrounds/one.txt"), "player's one");
                tree.write(kGame + QStringLiteral("Data/Landscape/two.lnd"), QByteArray("LND\0old", 7));
                tree.write(QStringLiteral("Veldrin/Backup/brx/three.txt"), "older backup");
                const auto game = tree.snapshot(kGame);
                const auto program = tree.snapshot(QStringLiteral("Veldrin"), {QStringLiteral("Backup/history")});

                install::Transaction::failWriteForTesting(failAt);
                const brx::InstallResult r = brx::installPackage(fiveEntryPackage(), options());
                install::Transaction::failWriteForTesting(0);
                const QString at = QStringLiteral("history %1, write %2").arg(withHistory).arg(failAt);
                if (failAt % 2 == 0) { // a backup copy: reported, the package stays
                    QVERIFY2(r.outcome == brx::InstallResult::Installed, qPrintable(at));
                    QCOMPARE(r.backupFailures.size(), 1);
                    QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/one.txt")), QByteArray("\r\n\r\nagain\r\n\r\n"));
                    continue;
                }
                QVERIFY2(r.outcome == brx::InstallResult::WriteFailed, qPrintable(at));
                QVERIFY2(tree.snapshot(kGame) == game, qPrintable(at));
                QVERIFY2(tree.snapshot(QStringLiteral("Veldrin"), {QStringLiteral("Backup/history")}) == program, qPrintable(at));
                QVERIFY(r.rollbackFailures.isEmpty());
                QCOMPARE(r.message.contains(QStringLiteral("Every file it had written was put back")), failAt > 1);
                if (!withHistory)
                    continue;
                QCOMPARE(history::History(TestTree::programFolder(), TestTree::gameFolder()).operations().first().state, history::State::RolledBack);
                // The originals it kept share nothing with the game's files any more: an edit in
                // place afterwards leaves every kept copy holding what it is named by.
                tree.write(kGame + QStringLiteral("Data/Landscape/two.lnd"), "edited in place");
                for (const QString &object : QDir(tree.host(QStringLiteral("Veldrin/Backup/history/objects"))).entryList(QDir::Files))
                    QCOMPARE(history::sha256(tree.read(QStringLiteral("Veldrin/Backup/history/objects/") + object)), object);
            }
        }
    }

    // Without a history the old bytes live only in the install's memory: a package failing at
    // its last entry, after whole batches were renamed into place, still puts every one back.
    void aLateFailureWithoutHistoryPutsEveryFileBack()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QByteArray package;
        // More entries than one batch of copies holds, so one is renamed in place.
        hostfs::setFilesAtOnceForTesting(256);
        for (int i = 1; i <= 201; ++i) {
            const QString name = QStringLiteral("map%1.txt").arg(i);
            if (i % 2)
                tree.write(kGame + QStringLiteral("Scripts/Playgrounds/") + name, "the player's " + QByteArray::number(i));
            brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\") + name), name, "new");
        }
        tree.write(QStringLiteral("Veldrin/Backup/brx/map7.txt"), "an older backup");
        const auto before = tree.snapshot();
        int renamed = 0;
        brx::InstallOptions o = options();
        // Each entry and its backup copy are one write each: the 401st is the last entry's.
        o.onProgress = [&](float) {
            if (tree.read(kGame + QStringLiteral("Scripts/Playgrounds/map1.txt")) != "the player's 1")
                ++renamed;
        };
        install::Transaction::failWriteForTesting(401);
        const brx::InstallResult r = brx::installPackage(package, o);
        install::Transaction::failWriteForTesting(0);
        hostfs::setFilesAtOnceForTesting(0);
        QCOMPARE(r.outcome, brx::InstallResult::WriteFailed);
        QVERIFY(r.failedPath.endsWith(QStringLiteral("map201.txt")));
        QVERIFY(renamed > 0); // the first entries were really in place before the failure
        QVERIFY(r.rollbackFailures.isEmpty());
        QVERIFY(tree.snapshot() == before);
    }

    void failureMessagesSayOnlyWhatHappened()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QByteArray package;
        brx::appendEntry(package, QString(), QStringLiteral("a.txt"), "a");
        brx::InstallResult r = brx::installPackage(package, options());
        QCOMPARE(r.message, QStringLiteral("The package was not installed: entry 1 has no install path."));

        tree.mkdir(kGame + QStringLiteral("Scripts/Playgrounds/folder.txt"));
        package.clear();
        brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\fine.txt")), QStringLiteral("fine.txt"), "f");
        brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\folder.txt")), QStringLiteral("b.txt"), "b");
        r = brx::installPackage(package, options());
        QCOMPARE(r.outcome, brx::InstallResult::WriteFailed);
        QVERIFY(!r.message.contains(QStringLiteral("((")) && !r.message.contains(QStringLiteral("))")));
        QVERIFY(r.message.contains(QStringLiteral("folder.txt could not be written (it is a folder).")));
        QVERIFY(!tree.exists(kGame + QStringLiteral("Scripts/Playgrounds/fine.txt")));

        // The bytes go into the files on a second thread: a write that fails there (here the
        // largest file a process may write, as a full disk would) still names its own entry,
        // and what was written before it is taken out again.
        tree.mkdir(QStringLiteral("Veldrin/Backup/history"));
        package.clear();
        brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\fine.txt")), QStringLiteral("fine.txt"), "f");
        brx::appendBinaryEntry(package, win(QStringLiteral("Data\\Landscape\\huge.lnd")), QStringLiteral("huge.lnd"),
                               QByteArray(2 * 1024 * 1024, 'h'));
        brx::appendEntry(package, win(QStringLiteral("Scripts\\Playgrounds\\after.txt")), QStringLiteral("after.txt"), "a");
        // The history records the install that was rolled back; everything else is as it was.
        const auto outsideHistory = [&tree] {
            auto files = tree.snapshot();
            files.removeIf([](const auto &file) { return file.key().startsWith(QLatin1String("Veldrin/Backup/history/")); });
            return files;
        };
        const auto before = outsideHistory();
        struct rlimit was {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &was) == 0);
        struct rlimit small = was;
        small.rlim_cur = 1024 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        r = brx::installPackage(package, options());
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &was) == 0);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(r.outcome, brx::InstallResult::WriteFailed);
        QVERIFY2(r.message.contains(QStringLiteral("huge.lnd could not be written (")), qPrintable(r.message));
        QVERIFY2(r.message.contains(QStringLiteral("Every file it had written was put back as it was.")), qPrintable(r.message));
        QVERIFY(outsideHistory() == before);
    }

    // A target that is itself a link is written through it: the link stays a link, and the
    // file it leads to keeps who may read and write it.
    void aLinkedFileIsWrittenThroughItsLink()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kGame + QStringLiteral("Data/real.lnd"), "old");
        const QFileDevice::Permissions shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
            | QFileDevice::ReadUser | QFileDevice::WriteUser;
        QVERIFY(QFile::setPermissions(tree.host(kGame + QStringLiteral("Data/real.lnd")), shared));
        const QString link = tree.host(kGame + QStringLiteral("Data/Landscape/hill.lnd"));
        QVERIFY(QFile::link(tree.host(kGame + QStringLiteral("Data/real.lnd")), link));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("test"), TestTree::gameFolder(),
                                     TestTree::programFolder(), win(QStringLiteral("Data\\Landscape\\hill.lnd")), "new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(tree.read(kGame + QStringLiteral("Data/real.lnd")), QByteArray("new"));
        QCOMPARE(QFile::permissions(tree.host(kGame + QStringLiteral("Data/real.lnd"))), shared);
    }

    // What an install wrote is copied into the store as it is written; a roll back takes those
    // copies out again, except one whose bytes are also another file's original kept for it.
    void aRollBackTakesItsStoreCopiesOut()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        tree.write(kGame + QStringLiteral("Scripts/Playgrounds/old.txt"), "same");
        const QString objects = tree.host(QStringLiteral("Veldrin/Backup/history/objects/"));
        install::Transaction t(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                               TestTree::programFolder());
        const int fresh = t.add(win(QStringLiteral("Scripts\\Playgrounds\\new.txt")));
        const int copy = t.add(win(QStringLiteral("Scripts\\Playgrounds\\copy.txt")));
        QVERIFY(t.write(fresh, "written"));
        QVERIFY(t.write(copy, "same"));
        QVERIFY(QFile::exists(objects + history::sha256("written")));
        const int old = t.add(win(QStringLiteral("Scripts\\Playgrounds\\old.txt")));
        QVERIFY(t.write(old, "replaced"));
        QVERIFY(t.rollBack().isEmpty());
        QVERIFY(!QFile::exists(objects + history::sha256("written")));
        QVERIFY(QFile::exists(objects + history::sha256("same")));
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/old.txt")), QByteArray("same"));
        QVERIFY(!tree.exists(kGame + QStringLiteral("Scripts/Playgrounds/new.txt")));
    }

    // An original the store cannot take (full, or not writable) stops a package before the game
    // is touched, unless the player answers "install without undo" (--no-history); a flush that
    // fails stops it before the record. Both by injected failures.
    void originalsThatCannotBeKeptStopTheInstall()
    {
        for (const int answer : {-1, 0, 1}) { // no question asked, answered No, answered Yes
            TestTree tree;
            tree.makeGameAndProgramFolders();
            QVERIFY(history::createFolder(TestTree::programFolder()));
            tree.write(kGame + QStringLiteral("Scripts/Playgrounds/one.txt"), "player's one");
            tree.write(kGame + QStringLiteral("Data/Landscape/two.lnd"), QByteArray("LND\0old", 7));
            const auto before = tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")});
            brx::InstallOptions o = options();
            QStringList asked;
            if (answer >= 0)
                o.confirmWithoutUndo = [&](const QString &why) {
                    asked << why;
                    return answer == 1;
                };
            install::Transaction::failKeepForTesting(true);
            const brx::InstallResult r = brx::installPackage(fiveEntryPackage(), o);
            install::Transaction::failKeepForTesting(false);
            QCOMPARE(asked.size(), answer >= 0 ? 1 : 0);
            history::History h(TestTree::programFolder(), TestTree::gameFolder());
            if (answer == 1) {
                QCOMPARE(r.outcome, brx::InstallResult::Installed);
                QCOMPARE(h.operations().first().state, history::State::NoUndo);
                continue;
            }
            QCOMPARE(r.outcome, brx::InstallResult::NotKept);
            QVERIFY2(r.message.contains(QStringLiteral("one.txt could not be kept for undo (no space left on device")),
                     qPrintable(r.message));
            QVERIFY(tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")}) == before);
            QVERIFY(h.operations().isEmpty());
        }

        // Through the wizard's seam: one question, then, answered No, the message.
        {
            TestTree tree;
            tree.makeGameAndProgramFolders();
            QVERIFY(history::createFolder(TestTree::programFolder()));
            tree.write(kGame + QStringLiteral("Scripts/Playgrounds/one.txt"), "player's one");
            tree.write(QStringLiteral("in/p.brx"), fiveEntryPackage());
            ScriptedPrompts prompts;
            prompts.answerQuestion(false);
            install::Transaction::failKeepForTesting(true);
            const brx::InstallResult r = brx::installPackageFile(TestTree::win(QStringLiteral("in/p.brx")), options(), prompts);
            install::Transaction::failKeepForTesting(false);
            QCOMPARE(r.outcome, brx::InstallResult::NotKept);
            QCOMPARE(prompts.shown.size(), 2);
            QCOMPARE(prompts.shown.at(0).text, brx::withoutUndoQuestion(r.failure));
            QVERIFY(prompts.shown.at(0).text.contains(QStringLiteral("Install without undo?")));
            QCOMPARE(prompts.shown.at(1).text, r.message);
            QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/one.txt")), QByteArray("player's one"));
        }

        // The routes that write a file and a copy the player sees ask the same before writing
        // either: No leaves everything as it was, Yes installs both without undo.
        const QString profile = TestTree::gameFolder() + QStringLiteral("Profiles\\Player1\\");
        const std::function<std::pair<bool, bool>(const install::WithoutUndoQuestion &)> routes[] = {
            [](const install::WithoutUndoQuestion &ask) {
                gamefile::Source source;
                source.text = QStringLiteral("new hills");
                const gamefile::Result r = gamefile::installWithBackup(
                    source, win(QStringLiteral("Data\\Landscape\\Hills.lnd")),
                    TestTree::programFolder() + QStringLiteral("Backup\\Landscape\\Hills.lnd"),
                    {QStringLiteral("landscape"), QStringLiteral("frmExtra"), TestTree::gameFolder(), TestTree::programFolder(), ask});
                return std::pair(r.installed && r.backup == gamefile::Backup::Written, r.withoutUndo);
            },
            [](const install::WithoutUndoQuestion &ask) {
                installbytype::ChosenFile chosen{win(QStringLiteral("Hills.lnd")), true, true, {}, "LND\0new"};
                installbytype::GameFileSteps steps;
                steps.askWithoutUndo = ask;
                const installbytype::GameFileResult r = installbytype::InstallGameFile(
                    chosen, TestTree::gameFolder(), TestTree::programFolder(), QStringLiteral("Data\\Landscape\\"), steps);
                return std::pair(r.succeeded(), r.withoutUndo);
            },
            [&profile](const install::WithoutUndoQuestion &ask) {
                const tattoo::PickInstall r = tattoo::installPick("BM pick", TestTree::gameFolder(),
                                                                  TestTree::programFolder(), profile, 3, ask);
                return std::pair(r.installed && r.safetyCopied && r.pickKept, r.withoutUndo);
            },
        };
        for (const auto &route : routes) {
            for (const bool yes : {false, true}) {
                TestTree tree;
                tree.makeGameAndProgramFolders();
                QVERIFY(history::createFolder(TestTree::programFolder()));
                tree.write(kGame + QStringLiteral("Data/Landscape/Hills.lnd"), "the game's hills");
                tree.write(kGame + QStringLiteral("Profiles/Player1/symbol3.bmp"), "BM the player's own");
                const auto before = tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")});
                int asked = 0;
                install::Transaction::failKeepForTesting(true);
                const auto [installed, withoutUndo] = route([&](const QString &why) {
                    ++asked;
                    return why.contains(QStringLiteral("could not be kept for undo")) && yes;
                });
                install::Transaction::failKeepForTesting(false);
                QCOMPARE(asked, 1);
                QCOMPARE(installed, yes);
                QCOMPARE(withoutUndo, yes);
                if (!yes)
                    QVERIFY(tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")}) == before);
            }
        }

        // A flush that fails, of files or of folders: with a history it is the kept originals'
        // (before the record); without, the new files' bytes (before they are renamed into
        // place) or their folders (after, before the install counts as done). All is put back.
        for (const int which : {int(hostfs::FailFileFlushes), int(hostfs::FailFolderFlushes)}) {
            for (const bool withHistory : {true, false}) {
                TestTree tree;
                tree.makeGameAndProgramFolders();
                if (withHistory)
                    QVERIFY(history::createFolder(TestTree::programFolder()));
                tree.write(kGame + QStringLiteral("Scripts/Playgrounds/one.txt"), "player's one");
                const auto before = tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")});
                hostfs::failFlushesForTesting(which);
                const brx::InstallResult r = brx::installPackage(fiveEntryPackage(), options());
                hostfs::failFlushesForTesting(0);
                QVERIFY2(r.outcome == (withHistory ? brx::InstallResult::NotKept : brx::InstallResult::WriteFailed),
                         qPrintable(r.message));
                QVERIFY2(r.message.contains(QStringLiteral("flushed")) || r.message.contains(QStringLiteral("Input/output")),
                         qPrintable(r.message));
                QVERIFY(tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history")}) == before);
                if (withHistory)
                    QVERIFY(history::History(TestTree::programFolder(), TestTree::gameFolder()).operations().isEmpty());
            }
        }
    }
};

QTEST_GUILESS_MAIN(test_InstallTransaction)
#include "test_InstallTransaction.moc"
