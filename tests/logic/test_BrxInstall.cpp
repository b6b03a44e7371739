// Installing packages into a throw-away game tree: what is written where and in which order,
// what the bar shows, what the player is asked or told, and that a failure leaves nothing behind.
#include "brx/Brx.h"
#include "install/BrxInstall.h"
#include "install/HistoryFolder.h"
#include "install/HistoryJournal.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "platform/FileIO.h"
#include "support/ScriptedPrompts.h"
#include "support/SlotModes.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");
const QString kPlaygrounds = kGame + QStringLiteral("Scripts/Playgrounds/");
const QString kBackups = QStringLiteral("Veldrin/Backup/brx/");

QString winGame(const QString &rest) { return TestTree::gameFolder() + rest; }

struct Run
{
    TestTree tree;
    ScriptedPrompts prompts;
    QList<float> bar;
    brx::InstallOptions options;
    brx::InstallResult result;

    Run()
    {
        tree.makeGameAndProgramFolders();
        options.gameFolder = TestTree::gameFolder();
        options.programFolder = TestTree::programFolder();
        options.onProgress = [this](float v) { bar << v; };
    }
    void install(const QByteArray &package) { result = brx::installPackage(package, options); }
    void installFile(const QByteArray &package) // null: no file at all
    {
        if (!package.isNull())
            tree.write(QStringLiteral("in/p.brx"), package);
        result = brx::installPackageFile(TestTree::win(QStringLiteral("in/p.brx")), options, prompts);
    }
    // Hidden files too: a copy left half-way (".name.veldrin-...") is a fault as well.
    QStringList files(const QString &dir) { return QDir(tree.host(dir)).entryList(QDir::Files | QDir::Hidden); }
};

QByteArray threeEntryPackage()
{
    QByteArray package;
    for (int i = 1; i <= 3; ++i)
        brx::appendEntry(package, winGame(QStringLiteral("Scripts\\Playgrounds\\map%1.txt").arg(i)),
                         QStringLiteral("map%1.txt").arg(i), "map " + QByteArray::number(i));
    return package;
}

// Every file in the install's record, count of them, names the bytes the file holds now.
bool recordNamesWhatItsFilesHold(history::History &history, qint64 operation, int count)
{
    const QList<history::FileChange> files = history.files(operation);
    bool all = files.size() == count;
    for (const history::FileChange &f : files) {
        QFile file(f.hostPath);
        all = all && file.open(QIODevice::ReadOnly) && f.writtenHash == history::sha256(file.readAll()) && !f.changedSince;
    }
    return all;
}

} // namespace

class test_BrxInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { slotmodes::addRows(); }
    void init() { slotmodes::use(); }
    void workedExampleBuildSaveInstall()
    {
        Run run;
        run.tree.write(QStringLiteral("Maps/island.txt"), "first line\r\nsecond line");
        const QString target = winGame(QStringLiteral("Scripts\\Playgrounds\\island.txt"));
        QString buffer;
        QVERIFY(brx::appendFile(buffer, target, QStringLiteral("island.txt"), TestTree::win(QStringLiteral("Maps/island.txt"))));
        QVERIFY(brx::savePackage(buffer, TestTree::win(QStringLiteral("Maps/island.brx"))));
        const QByteArray expected = "###Begin_BRX###\r\n###Install###" + fileio::encode1252(target)
            + "###/Install###\r\n###Title###island.txt###/Title###\r\nfirst line\r\nsecond line\r\n###End_BRX###\r\n\r\n";
        QCOMPARE(run.tree.read(QStringLiteral("Maps/island.brx")), expected);

        run.result = brx::installPackageFile(TestTree::win(QStringLiteral("Maps/island.brx")), run.options, run.prompts);
        const QByteArray installed("\r\nfirst line\r\nsecond line\r\n\r\n");
        QCOMPARE(run.tree.read(kPlaygrounds + QStringLiteral("island.txt")), installed);
        QCOMPARE(run.tree.read(kBackups + QStringLiteral("island.txt")), installed);
        QCOMPARE(run.bar, (QList<float>{50.0f, 100.0f}));
        QVERIFY(run.prompts.shown.isEmpty());
    }

    void threeEntriesWriteSixFilesInOrder()
    {
        Run run;
        run.options.progressStart = 10.0f; // left over from an earlier install: the bar is not reset
        run.options.dryRun = true;
        run.install(threeEntryPackage());
        QCOMPARE(run.result.writes.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const brx::PlannedWrite &w = run.result.writes.at(i);
            const QString name = QStringLiteral("map%1.txt").arg(i / 2 + 1);
            QCOMPARE(w.entry, i / 2 + 1);
            QCOMPARE(w.path, i % 2 ? TestTree::programFolder() + QStringLiteral("Backup\\brx\\") + name
                                   : winGame(QStringLiteral("Scripts\\Playgrounds\\")) + name);
        }
        run.options.dryRun = false;
        run.install(threeEntryPackage());
        QCOMPARE(run.result.written, 6);
        for (int i = 1; i <= 3; ++i) {
            const QByteArray bytes = "\r\nmap " + QByteArray::number(i) + "\r\n\r\n";
            QCOMPARE(run.tree.read(kPlaygrounds + QStringLiteral("map%1.txt").arg(i)), bytes);
            QCOMPARE(run.tree.read(kBackups + QStringLiteral("map%1.txt").arg(i)), bytes);
        }
        QCOMPARE(run.bar.size(), 6);
        QVERIFY(qFuzzyCompare(run.bar.first(), 10.0f + 100.0f / 6));
        QCOMPARE(run.bar.last(), 100.0f);

        // Of two spellings of one name, each is written as it is spelled, in whatever order listed.
        run.tree.write(kPlaygrounds + QStringLiteral("map9.txt"), "lower");
        run.tree.write(kPlaygrounds + QStringLiteral("MAP9.txt"), "upper");
        QByteArray nine;
        for (const QString &name : {QStringLiteral("map9.txt"), QStringLiteral("MAP9.txt")})
            brx::appendEntry(nine, winGame(QStringLiteral("Scripts\\Playgrounds\\") + name), name, name.toLatin1());
        run.install(nine);
        QVERIFY(run.tree.read(kPlaygrounds + QStringLiteral("map9.txt")).contains("map9.txt")
                && run.tree.read(kPlaygrounds + QStringLiteral("MAP9.txt")).contains("MAP9.txt"));
    }

    // What a package wrote is in its record, file by file, however many slots the install held
    // at once; undone, the game and the backups are byte for byte as before.
    void anInstalledPackageIsRecordedWholeAndUndone()
    {
        Run run;
        QVERIFY(history::createFolder(TestTree::programFolder()));
        run.tree.write(kPlaygrounds + QStringLiteral("map2.txt"), "the player's map 2");
        run.tree.write(kBackups + QStringLiteral("map3.txt"), "an older backup");
        const auto skipHistory = QStringList{QStringLiteral("Veldrin/Backup/history")};
        const auto before = run.tree.snapshot({}, skipHistory);
        // Every file's time trusted at once: slots let go as soon as they are written.
        install::Transaction::settleMarginForTesting(0);
        run.install(threeEntryPackage());
        install::Transaction::settleMarginForTesting(100);
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        history::History history(TestTree::programFolder(), TestTree::gameFolder());
        QVERIFY(recordNamesWhatItsFilesHold(history, run.result.operation, 6));
        QCOMPARE(history.undo(run.result.operation, false).result, history::UndoOutcome::Done);
        QVERIFY(run.tree.snapshot({}, skipHistory) == before);
    }

#ifndef Q_OS_WIN
    // A package installed again finds its bytes in place: those files are left as they are (the
    // same files, not copies renamed over them), yet recorded as written and undone like any.
    // A file changed behind the history's back, to the same size and the same time, is read,
    // found different and written again.
    void aPackageInstalledAgainLeavesItsBytesInPlace()
    {
        Run run;
        QVERIFY(history::createFolder(TestTree::programFolder()));
        const auto skipHistory = QStringList{QStringLiteral("Veldrin/Backup/history")};
        const auto before = run.tree.snapshot({}, skipHistory);
        // Every time written is trusted at once, so that the changed file is trusted too.
        install::Transaction::settleMarginForTesting(-1000);
        const std::shared_ptr<void> margin(nullptr, [](void *) { install::Transaction::settleMarginForTesting(100); });
        run.install(threeEntryPackage());
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        const qint64 first = run.result.operation;
        const auto stat = [&](const QString &path) {
            struct stat st {};
            (void)::stat(QFile::encodeName(run.tree.host(path)).constData(), &st);
            return st;
        };
        const QString map1 = kPlaygrounds + QStringLiteral("map1.txt"), map2 = kPlaygrounds + QStringLiteral("map2.txt");
        const QByteArray packaged2 = run.tree.read(map2);
        const struct stat was2 = stat(map2);
        run.tree.write(map2, QByteArray(packaged2).replace("map 2", "map X"));
        const struct timespec times[2] = {was2.st_atim, was2.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(run.tree.host(map2)).constData(), times, 0) == 0);
        const ino_t inode1 = stat(map1).st_ino, backup1 = stat(kBackups + QStringLiteral("map1.txt")).st_ino;

        run.install(threeEntryPackage());
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(run.result.written, 6);
        QCOMPARE(stat(map1).st_ino, inode1);
        QCOMPARE(stat(kBackups + QStringLiteral("map1.txt")).st_ino, backup1);
        QCOMPARE(run.tree.read(map2), packaged2);
        history::History history(TestTree::programFolder(), TestTree::gameFolder());
        QVERIFY(recordNamesWhatItsFilesHold(history, run.result.operation, 6));
        QCOMPARE(history.undo(run.result.operation, false).result, history::UndoOutcome::Done);
        QCOMPARE(history.undo(first, false).result, history::UndoOutcome::Done);
        QVERIFY(run.tree.snapshot({}, skipHistory) == before);
    }
#endif

    // Each pass over a package file reads it again, and each must find what was judged: a
    // package changed while the player is asked, or half-way through its writes, installs
    // nothing, even when the change keeps its length and aims an entry at Veldrin's settings.
    void aPackageChangedBetweenItsReadingsInstallsNothing_data()
    {
        QTest::addColumn<bool>("whileWriting");
        QTest::addColumn<bool>("sameLength");
        QTest::newRow("while asked, longer") << false << false;
        QTest::newRow("while asked, same length") << false << true;
        QTest::newRow("while writing, same length") << true << true;
    }

    void aPackageChangedBetweenItsReadingsInstallsNothing()
    {
        QFETCH(bool, whileWriting);
        QFETCH(bool, sameLength);
        Run run;
        QVERIFY(history::createFolder(TestTree::programFolder()));
        run.tree.mkdir(QStringLiteral("Windows"));
        run.tree.write(QStringLiteral("Veldrin/options.txt"), "the player's options");
        run.tree.write(kPlaygrounds + QStringLiteral("map1.txt"), "the player's map");
        const QString judged = winGame(QStringLiteral("Scripts\\Playgrounds\\map2.txt"));
        QString swapped = whileWriting ? winGame(QStringLiteral("Scripts\\Playgrounds\\map9.txt"))
                                       : TestTree::programFolder() + QStringLiteral("options.txt");
        // Empty parts of a path name nothing: they make it as long as the one judged.
        while (sameLength && swapped.size() < judged.size())
            swapped.insert(swapped.lastIndexOf(QLatin1Char('\\')), QLatin1Char('\\'));
        if (!sameLength)
            swapped += QStringLiteral(".txt");
        QCOMPARE(swapped.size() == judged.size(), sameLength);
        const auto package = [](const QString &second) {
            QByteArray p;
            brx::appendEntry(p, QStringLiteral("C:\\Windows\\asked.txt"), QStringLiteral("asked.txt"), "asked");
            // Longer than the piece a package is read in: the entry after it is read again
            // only once this one is written.
            brx::appendEntry(p, winGame(QStringLiteral("Scripts\\Playgrounds\\map1.txt")), QStringLiteral("map1.txt"),
                             QByteArray(3 << 20, 'x'));
            brx::appendEntry(p, second, QStringLiteral("map2.txt"), "two");
            return p;
        };
        run.tree.write(QStringLiteral("in/p.brx"), package(judged));
        const auto change = [&] { run.tree.write(QStringLiteral("in/p.brx"), package(swapped)); };
        bool changed = false;
        run.options.confirmOutside = [&](const QStringList &) {
            if (!whileWriting)
                change();
            return true;
        };
        run.options.onProgress = [&](float) {
            if (whileWriting && !changed)
                change();
            changed = true;
        };
        const auto game = run.tree.snapshot(kGame);
        brx::PackageReader reader;
        reader.setKeepAtMost(0);
        QVERIFY(reader.open(run.tree.host(QStringLiteral("in/p.brx"))));
        run.result = brx::installPackage(reader, run.options);
        QCOMPARE(run.result.outcome, whileWriting ? brx::InstallResult::WriteFailed : brx::InstallResult::Unreadable);
        QVERIFY2((run.result.failure + run.result.message).contains(QLatin1String("changed while it was read")),
                 qPrintable(run.result.failure + run.result.message));
        QVERIFY(run.result.rollbackFailures.isEmpty());
        QVERIFY(run.tree.snapshot(kGame) == game);
        QVERIFY(!run.tree.exists(QStringLiteral("Windows/asked.txt")));
        QCOMPARE(run.tree.read(QStringLiteral("Veldrin/options.txt")), QByteArray("the player's options"));
    }

    void refusedPackagesWriteNothing_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<QString>("message");
        const QByteArray good = threeEntryPackage();
        const QString notValid = QStringLiteral("This is not a valid Brx file.");
        const QString damaged = QStringLiteral("This package is damaged and was not installed.");
        QTest::newRow("missing file") << QByteArray() << notValid;
        QTest::newRow("lower-case markers") << QByteArray(good).replace("###Begin_BRX###", "###begin_brx###")
                                            << notValid;
        // Only the last entry is broken: the first two must not be installed either.
        QTest::newRow("last entry damaged") << good.left(good.lastIndexOf("###End_BRX###")) << damaged;
        QTest::newRow("nested package") << good + "###Begin_BRX###\r\n" << damaged;
    }

    void refusedPackagesWriteNothing()
    {
        QFETCH(QByteArray, package);
        QFETCH(QString, message);
        Run run;
        run.installFile(package);
        // A damaged package's message goes on to name the entry and the reason.
        QCOMPARE(run.prompts.messages().size(), 1);
        QCOMPARE(run.prompts.messages().constFirst().section(QLatin1Char('\n'), 0, 0), message);
        if (message.contains(QLatin1String("damaged")))
            QVERIFY2(run.prompts.messages().constFirst().contains(QLatin1String(" is damaged: ")), qPrintable(run.prompts.messages().constFirst()));
        QVERIFY(run.result.writes.isEmpty());
        QVERIFY(run.bar.isEmpty());
        QVERIFY(run.files(kPlaygrounds).isEmpty());
        QVERIFY(run.files(kBackups).isEmpty());
    }

    // Outside both folders by name, by ".." past the drive root, through a link (also to a file
    // not there yet), or beside the game's folder under a name that only begins like it: one question
    // names each where it really lands, and nothing is written unless the player says yes.
    void writingOutsideTheFoldersAsksFirst()
    {
        QByteArray package = threeEntryPackage();
        const QString escaping = winGame(QStringLiteral("..\\..\\..\\..\\Windows\\evil.lnd"));
        const QByteArray binary("\0\xff\r\n\n", 5); // written byte for byte, not as text
        brx::appendBinaryEntry(package, escaping, QStringLiteral("evil.lnd"), binary);
        brx::appendEntry(package, QStringLiteral("c:\\WINDOWS\\also.txt"), QStringLiteral("also.txt"), "y");
        brx::appendEntry(package, winGame(QStringLiteral("Data\\Link\\x.txt")), QStringLiteral("x.txt"), "x");
        brx::appendEntry(package, QStringLiteral("C:\\Games\\Black & White Extras\\s.txt"), QStringLiteral("s.txt"), "s");
        brx::appendEntry(package, winGame(QStringLiteral("Data\\Landscape\\gone.lnd")), QStringLiteral("gone.lnd"), "g");
        for (bool yes : {false, true}) {
            Run run;
            run.tree.mkdir(QStringLiteral("Windows"));
            run.tree.mkdir(QStringLiteral("Games/Black & White Extras"));
            run.tree.mkdir(QStringLiteral("../away"));
            QVERIFY(QFile::link(run.tree.prefix() + QStringLiteral("/away"), run.tree.host(kGame + QStringLiteral("Data/Link"))));
            QVERIFY(QFile::link(run.tree.prefix() + QStringLiteral("/away/gone.lnd"), run.tree.host(kGame + QStringLiteral("Data/Landscape/gone.lnd"))));
            run.prompts.answerQuestion(yes);
            run.installFile(package);
            QCOMPARE(run.prompts.shown.size(), 1); // the question, and no message after it
            const QString question = run.prompts.shown.first().text;
            for (const QString &named : {escaping + QStringLiteral(" (really C:\\Windows\\evil.lnd)"), QStringLiteral("c:\\WINDOWS\\also.txt"),
                                         QStringLiteral("Data\\Link\\x.txt (really Z:"), QStringLiteral("Black & White Extras\\s.txt"),
                                         QStringLiteral("Landscape\\gone.lnd (really Z:")})
                QVERIFY2(question.contains(named), qPrintable(question));
            QVERIFY(!question.contains(QStringLiteral("map1.txt")));
            QCOMPARE(run.result.outcome, yes ? brx::InstallResult::Installed : brx::InstallResult::Declined);
            QCOMPARE(run.tree.exists(kPlaygrounds + QStringLiteral("map1.txt")), yes);
            QCOMPARE(run.tree.read(QStringLiteral("Windows/evil.lnd")), yes ? binary : QByteArray());
            QCOMPARE(run.tree.exists(QStringLiteral("Windows/also.txt")), yes);
            QCOMPARE(QFile::exists(run.tree.prefix() + QStringLiteral("/away/x.txt")) && QFile::exists(run.tree.prefix() + QStringLiteral("/away/gone.lnd")), yes);
            QCOMPARE(run.tree.exists(QStringLiteral("Games/Black & White Extras/s.txt")), yes);
        }
    }
};

QTEST_GUILESS_MAIN(test_BrxInstall)
#include "test_BrxInstall.moc"
