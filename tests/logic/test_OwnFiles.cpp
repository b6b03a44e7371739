// Veldrin's own files against packages and every other route: the settings, the backups, the
// downloads, the programs Veldrin set up and the install history are refused by name, however
// the path reaches them, and nothing at all is written when one entry aims there.
#include "brx/Brx.h"
#include "install/BrxInstall.h"
#include "install/HistoryFolder.h"
#include "install/HistoryRecovery.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "support/BrxTool.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QString kPlay = QStringLiteral("Games/Black & White/Scripts/Playgrounds/");

brx::InstallOptions options()
{
    brx::InstallOptions o;
    o.gameFolder = TestTree::gameFolder();
    o.programFolder = TestTree::programFolder();
    o.confirmOutside = [](const QStringList &) { return true; };
    o.confirmPrograms = [](const QStringList &) { return true; };
    return o;
}

void prepare(const TestTree &tree)
{
    tree.makeGameAndProgramFolders();
    QVERIFY(history::createFolder(TestTree::programFolder()));
    tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n");
    tree.write(QStringLiteral("Veldrin/Help/Help.exe"), "#!/bin/sh\n");
    tree.write(QStringLiteral("Veldrin/Steadwright/Steadwright.exe"), "MZ");
    tree.mkdir(QStringLiteral("Veldrin/Downloads"));
    tree.mkdir(QStringLiteral("Veldrin/Backups"));
    tree.mkdir(QStringLiteral("Veldrin/Maps"));
    // The history's journal exists once anything was installed.
    QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("test"), TestTree::gameFolder(),
                                 TestTree::programFolder(), TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\first.txt"), "1"));
    QVERIFY(tree.exists(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
}

// A map, and four programs each told by another sign: the name, or an MZ, ELF or "#!" start.
QByteArray packageWithPrograms(QStringList *programs)
{
    const QString play = TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\");
    const QString land = TestTree::gameFolder() + QStringLiteral("Data\\Landscape\\");
    QByteArray package;
    brx::appendEntry(package, play + QStringLiteral("map.txt"), QStringLiteral("map.txt"), "\r\n#! a map, not a script");
    brx::appendBinaryEntry(package, play + QStringLiteral("Tool.EXE"), QStringLiteral("Tool.EXE"), "plain bytes");
    brx::appendBinaryEntry(package, land + QStringLiteral("a.lnd"), QStringLiteral("a.lnd"), QByteArray("MZ\x90\0", 4));
    brx::appendBinaryEntry(package, land + QStringLiteral("b.lnd"), QStringLiteral("b.lnd"),
                           QByteArray("\x7f" "ELF\2\1\1", 7) + QByteArray(300, 'x'));
    // A text entry's content starts right after its title's end marker: here with "#!".
    brx::appendEntry(package, play + QStringLiteral("run.txt"), QStringLiteral("run.txt"), "#!/bin/sh\necho hi");
    package.replace("run.txt###/Title###\r\n", "run.txt###/Title###");
    *programs = {play + QStringLiteral("Tool.EXE"), land + QStringLiteral("a.lnd"), land + QStringLiteral("b.lnd"),
                 play + QStringLiteral("run.txt")};
    return package;
}

// Changes the journal as a hand or a damaged disk might, outside Veldrin.
void editJournal(const TestTree &tree, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hand"));
        db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
        QVERIFY(db.open());
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            QVERIFY2(query.exec(statement), qPrintable(statement));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("hand"));
}

} // namespace

class test_OwnFiles : public QObject
{
    Q_OBJECT

private slots:
    // Each own file as the second entry of a package: refused, named with what it is, and not
    // even the first entry is written. Links and "..", and any spelling of the names, reach
    // the same judgement; names that only look alike are the player's.
    void packagesNeverWriteVeldrinsOwnFiles()
    {
        struct Case
        {
            QString entry;
            QString what; // empty: installed
            bool markSteadwright = false;
        };
        const QString program = TestTree::programFolder();
        const QList<Case> cases = {
            {program + QStringLiteral("options.txt"), QStringLiteral("Veldrin's settings file")},
            {program + QStringLiteral("OPTIONS.TXT"), QStringLiteral("Veldrin's settings file")},
            {program + QStringLiteral("Backup\\history\\journal.sqlite"), QStringLiteral("Veldrin's install history")},
            {program + QStringLiteral("backup\\History\\objects\\new"), QStringLiteral("Veldrin's install history")},
            {program + QStringLiteral("Backup\\brx\\a.txt"), QStringLiteral("Veldrin's backups")},
            {program + QStringLiteral("Backup\\new.txt"), QStringLiteral("Veldrin's backups")},
            {program + QStringLiteral("Downloads\\pack.zip"), QStringLiteral("Veldrin's downloads")},
            {program + QStringLiteral("Help\\Help.exe"), QStringLiteral("Veldrin's help program")},
            {TestTree::gameFolder() + QStringLiteral("..\\..\\Veldrin\\options.txt"), QStringLiteral("Veldrin's settings file")},
            {TestTree::gameFolder() + QStringLiteral("Data\\Own\\tattoos\\x.bmp"), QStringLiteral("Veldrin's backups")},
            {program + QStringLiteral("Steadwright\\Steadwright.exe"), QStringLiteral("the Steadwright program Veldrin set up"), true},
            {program + QStringLiteral("Steadwright\\Steadwright.exe"), QString()},
            {program + QStringLiteral("Backups\\a.txt"), QString()},
            {program + QStringLiteral("Maps\\options.txt"), QString()},
        };
        for (const Case &c : cases) {
            TestTree tree;
            prepare(tree);
            QVERIFY(QFile::link(tree.host(QStringLiteral("Veldrin/Backup")), tree.host(QStringLiteral("Games/Black & White/Data/Own"))));
            if (c.markSteadwright)
                tree.write(QStringLiteral("Veldrin/Steadwright/set-up-by-veldrin.txt"), "");
            QByteArray package;
            brx::appendEntry(package, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\fine.txt"),
                             QStringLiteral("fine.txt"), "fine");
            brx::appendBinaryEntry(package, c.entry, QStringLiteral("own.bin"), "not Veldrin's");
            const auto before = tree.snapshot();
            const brx::InstallResult r = brx::installPackage(package, options());
            if (c.what.isEmpty()) {
                QVERIFY2(r.outcome == brx::InstallResult::Installed, qPrintable(c.entry));
                continue;
            }
            QVERIFY2(r.outcome == brx::InstallResult::Refused, qPrintable(c.entry));
            QCOMPARE(r.ownFiles.size(), 1);
            QVERIFY2(r.ownFiles.first().startsWith(QStringLiteral("entry 2: ") + c.entry), qPrintable(r.ownFiles.first()));
            QVERIFY2(r.ownFiles.first().endsWith(QLatin1Char('(') + c.what + QLatin1Char(')')), qPrintable(r.ownFiles.first()));
            QVERIFY(r.message.contains(r.ownFiles.first()));
            QVERIFY2(tree.snapshot() == before, qPrintable(c.entry));

            brx::InstallOptions plan = options();
            plan.dryRun = true;
            QCOMPARE(brx::installPackage(package, plan).outcome, brx::InstallResult::Refused);
        }
    }

    // The store of originals and the journal are written by the history alone, also where
    // Backup\history\ is a link to another disk: no route that goes through an install writes
    // or removes them, not even one that names them outright.
    void theHistoryIsNoRoutesTarget()
    {
        for (const bool linked : {false, true}) {
            TestTree tree;
            tree.mkdir(QStringLiteral("../disk/history"));
            tree.mkdir(QStringLiteral("Veldrin/Backup"));
            if (linked)
                QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/disk/history"), tree.host(QStringLiteral("Veldrin/Backup/history"))));
            prepare(tree);
            const auto before = tree.snapshot();
            for (const QString &path : {QStringLiteral("Backup\\history\\journal.sqlite"), QStringLiteral("Backup\\History\\x")}) {
                QString why;
                QVERIFY(!install::installFile(QStringLiteral("map"), QStringLiteral("test"), TestTree::gameFolder(),
                                              TestTree::programFolder(), TestTree::programFolder() + path, "x", &why));
                QVERIFY2(why.contains(QStringLiteral("install history")), qPrintable(why));
                install::Transaction t(QStringLiteral("map"), QStringLiteral("test"), TestTree::gameFolder(), TestTree::programFolder());
                QVERIFY(!t.remove(t.add(TestTree::programFolder() + path), &why));
                QVERIFY(t.commit());
            }
            QCOMPARE(tree.snapshot(), before);
            // The history still reads, and only the first install is in it.
            QCOMPARE(history::History(TestTree::programFolder()).operations().size(), 1);
        }
    }

    // A journal that names places no install may write (outside both folders, through "..",
    // or the history itself): undo, "restore all" and the recovery after a kill each refuse
    // them by name and leave them unread and unwritten; recovery still puts back the rest.
    void recordedPlacesAreJudgedAgain()
    {
        for (const QString &place : {QStringLiteral("/victim.txt"), QStringLiteral("/drive_c/Games/Black & White/../../../victim.txt"),
                                     QStringLiteral("/drive_c/Veldrin/Backup/history/journal.sqlite")}) {
            TestTree tree;
            prepare(tree);
            tree.write(kPlay + QStringLiteral("a.txt"), "the game's a");
            tree.write(QStringLiteral("../victim.txt"), "not Veldrin's");
            QByteArray package;
            brx::appendEntry(package, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\a.txt"), QStringLiteral("a.txt"), "new a");
            brx::appendEntry(package, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\b.txt"), QStringLiteral("b.txt"), "new b");
            QCOMPARE(brx::installPackage(package, options()).outcome, brx::InstallResult::Installed);
            const QString host = tree.prefix() + place;
            editJournal(tree, {QStringLiteral("UPDATE files SET host = '%1' WHERE operation = 2 AND path LIKE '%a.txt'").arg(host)});
            const auto before = tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history/")});

            history::History h(TestTree::programFolder(), TestTree::gameFolder());
            for (const history::UndoOutcome &o : {h.undo(2, true), h.restoreAllOriginals(true)}) {
                QCOMPARE(o.result, history::UndoOutcome::Refused);
                QVERIFY2(o.message.contains(QStringLiteral("a.txt (really ")), qPrintable(o.message));
            }
            QCOMPARE(tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history/")}), before);
            QCOMPARE(tree.read(QStringLiteral("../victim.txt")), QByteArray("not Veldrin's"));

            editJournal(tree, {QStringLiteral("UPDATE operations SET state = 'open' WHERE id = 2")});
            const QString told = history::recoverUnfinished(TestTree::programFolder(), TestTree::gameFolder());
            QVERIFY2(told.contains(QStringLiteral("a.txt (really ")) && told.contains(QStringLiteral("nothing was written there")),
                     qPrintable(told));
            QVERIFY2(told.contains(QStringLiteral("put back as they were: ")), qPrintable(told));
            QVERIFY(!tree.exists(kPlay + QStringLiteral("b.txt")));
            QCOMPARE(tree.read(QStringLiteral("../victim.txt")), QByteArray("not Veldrin's"));
            if (place.endsWith(QLatin1String("journal.sqlite")))
                QVERIFY(tree.read(QStringLiteral("Veldrin/Backup/history/journal.sqlite")) != QByteArray("new a\r\n"));
        }
    }

    // Programs are named together in one question before anything is written, in the wizard
    // and on the command line; once installed, none of them can be started as it is.
    void programsAreNamedBeforeInstall()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QStringList programs;
        tree.write(QStringLiteral("p.brx"), packageWithPrograms(&programs));
        const auto before = tree.snapshot();
        brx::InstallOptions o = options();
        o.confirmPrograms = nullptr;
        for (const bool yes : {false, true}) {
            ScriptedPrompts prompts;
            prompts.answerQuestion(yes);
#ifdef Q_OS_UNIX
            const mode_t mask = ::umask(0); // the run bit must be left off by Veldrin, not by the mask
#endif
            const brx::InstallResult r = brx::installPackageFile(TestTree::win(QStringLiteral("p.brx")), o, prompts);
#ifdef Q_OS_UNIX
            ::umask(mask);
#endif
            QCOMPARE(prompts.shown.size(), 1);
            QCOMPARE(prompts.shown.first().text, brx::programsQuestion(programs));
            QVERIFY(prompts.shown.first().text.startsWith(QStringLiteral("This package contains programs: ")));
            QCOMPARE(r.programs, programs);
            QCOMPARE(r.outcome, yes ? brx::InstallResult::Installed : brx::InstallResult::Declined);
            if (!yes) {
                QCOMPARE(tree.snapshot(), before);
                continue;
            }
            for (const QString &path : programs) {
                const QFileInfo info(tree.host(QString(path).mid(3).replace(QLatin1Char('\\'), QLatin1Char('/'))));
                QVERIFY2(info.exists(), qPrintable(path));
                QVERIFY2(!(info.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)), qPrintable(path));
            }
        }

        // The command line reads the package from its file: the same programs, refused without --yes.
        TestTree cli;
        cli.makeGameAndProgramFolders();
        cli.write(QStringLiteral("p.brx"), packageWithPrograms(&programs));
        const auto untouched = cli.snapshot();
        const QStringList args = installArgs(cli);
        Outcome run = brxTool(args + QStringList{QStringLiteral("--dry-run")});
        QCOMPARE(run.code, 1);
        QCOMPARE(run.out.count(QStringLiteral("program\t")), 4);
        run = brxTool(args);
        QCOMPARE(run.code, 1);
        for (const QString &path : programs)
            QVERIFY2(run.err.contains(path), qPrintable(run.err));
        QCOMPARE(cli.snapshot(), untouched);
        QCOMPARE(brxTool(args + QStringList{QStringLiteral("--yes")}).code, 0);
        QVERIFY(cli.exists(kPlay + QStringLiteral("run.txt")));

        // Veldrin's own files: refused with --yes too, each entry named on its own line.
        QByteArray own;
        brx::appendEntry(own, TestTree::programFolder() + QStringLiteral("options.txt"), QStringLiteral("o.txt"), "x");
        cli.write(QStringLiteral("own.brx"), own);
        run = brxTool({QStringLiteral("install"), cli.host(QStringLiteral("own.brx")), QStringLiteral("--program-folder"),
                       cli.host(QStringLiteral("Veldrin")), QStringLiteral("--yes")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QStringLiteral("entry 1: C:\\Veldrin\\options.txt (Veldrin's settings file)")), qPrintable(run.err));
        QVERIFY(!cli.exists(QStringLiteral("Veldrin/options.txt")));
    }
};

QTEST_GUILESS_MAIN(test_OwnFiles)
#include "test_OwnFiles.moc"
