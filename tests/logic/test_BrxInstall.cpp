// Installing packages into a throw-away game tree: what is written where and in which order,
// what the bar shows, what the player is asked or told, and that a failure leaves nothing behind.
#include "installer/Brx.h"
#include "installer/HostPaths.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"
#include "shell/Modual1.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");
const QString kPlaygrounds = kGame + QStringLiteral("Scripts/Playgrounds/");
const QString kBackups = QStringLiteral("Veldrin/Backup/brx/");

QString winGame(const QString &rest) { return TestTree::gameFolder() + rest; }

// Fails the chosen write (1-based, counting every write of the install) and passes the rest.
class FailingWriter : public brx::Writer
{
public:
    explicit FailingWriter(int failAt) : m_failAt(failAt) {}
    bool write(const QString &path, const QByteArray &bytes, const QByteArray &tail, QString *error) override
    {
        if (++m_writes == m_failAt) {
            if (error)
                *error = QStringLiteral("disk full");
            return false;
        }
        return brx::Writer::write(path, bytes, tail, error);
    }

private:
    int m_failAt;
    int m_writes = 0;
};

struct Run
{
    ScriptedPrompts prompts;
    QList<float> bar;
    brx::InstallResult result;
};

brx::InstallOptions options(Run &run)
{
    brx::InstallOptions o;
    o.gameFolder = TestTree::gameFolder();
    o.programFolder = TestTree::programFolder();
    o.onProgress = [&run](float v) { run.bar << v; };
    return o;
}

QByteArray threeEntryPackage()
{
    QByteArray package;
    for (int i = 1; i <= 3; ++i)
        brx::appendEntry(package, winGame(QStringLiteral("Scripts\\Playgrounds\\map%1.txt").arg(i)),
                         QStringLiteral("map%1.txt").arg(i), "map " + QByteArray::number(i));
    return package;
}

} // namespace

class test_BrxInstall : public QObject
{
    Q_OBJECT
private slots:
    void workedExampleBuildSaveInstall()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("Maps/island.txt"), "first line\r\nsecond line");
        const QString target = winGame(QStringLiteral("Scripts\\Playgrounds\\island.txt"));

        QString buffer;
        QVERIFY(brx::appendFile(buffer, target, QStringLiteral("island.txt"), TestTree::win(QStringLiteral("Maps/island.txt"))));
        QVERIFY(brx::savePackage(buffer, TestTree::win(QStringLiteral("Maps/island.brx"))));
        const QByteArray expected = "###Begin_BRX###\r\n###Install###" + fileio::encode1252(target)
            + "###/Install###\r\n###Title###island.txt###/Title###\r\nfirst line\r\nsecond line\r\n###End_BRX###\r\n\r\n";
        QCOMPARE(tree.read(QStringLiteral("Maps/island.brx")), expected);

        Run run;
        InstallerState state;
        brx::InstallOptions o = options(run);
        o.state = &state;
        QString loaded;
        run.result = brx::installPackageFile(TestTree::win(QStringLiteral("Maps/island.brx")), o, run.prompts, &loaded);
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        const QByteArray installed("\r\nfirst line\r\nsecond line\r\n\r\n");
        QCOMPARE(tree.read(kPlaygrounds + QStringLiteral("island.txt")), installed);
        QCOMPARE(tree.read(kBackups + QStringLiteral("island.txt")), installed);
        QCOMPARE(run.bar, (QList<float>{50.0f, 100.0f}));
        QVERIFY(run.prompts.shown.isEmpty());
        QCOMPARE(loaded, fileio::decode1252(expected));
        QCOMPARE(state.PackageEntryCount, qint16(1));
        QCOMPARE(state.EntriesInstalled, qint16(1));
        QCOMPARE(state.ProgressStep, 50.0);
        QCOMPARE(state.EntryTitle, QStringLiteral("island.txt"));
    }

    void threeEntriesWriteSixFilesInOrder()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        Run run;
        brx::InstallOptions o = options(run);
        o.progressStart = 10.0f; // left over from an earlier install: the bar is not reset
        run.result = brx::installPackage(threeEntryPackage(), o);
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(run.result.writes.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const brx::PlannedWrite &w = run.result.writes.at(i);
            const int entry = i / 2 + 1;
            QCOMPARE(w.entry, entry);
            QCOMPARE(w.kind, i % 2 ? brx::PlannedWrite::Backup : brx::PlannedWrite::EntryFile);
            const QString name = QStringLiteral("map%1.txt").arg(entry);
            QCOMPARE(w.path, i % 2 ? TestTree::programFolder() + QStringLiteral("Backup\\brx\\") + name
                                   : winGame(QStringLiteral("Scripts\\Playgrounds\\")) + name);
            QCOMPARE(tree.read(kPlaygrounds + name), "\r\nmap " + QByteArray::number(entry) + "\r\n\r\n");
        }
        QCOMPARE(run.bar.size(), 6);
        float expected = 10.0f;
        for (float v : run.bar) {
            expected = qMin(100.0f, static_cast<float>(static_cast<double>(expected) + 100.0 / 6));
            QCOMPARE(v, expected);
            QVERIFY(v <= 100.0f);
        }
        QCOMPARE(run.bar.last(), 100.0f);
        QVERIFY(run.result.message.isEmpty());
    }

    void refusedPackagesWriteNothing_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<QString>("message");
        const QByteArray good = threeEntryPackage();
        QTest::newRow("empty") << QByteArray() << brx::kNotValidMessage;
        QTest::newRow("lower-case markers") << QByteArray(good).replace("###Begin_BRX###", "###begin_brx###")
                                            << brx::kNotValidMessage;
        // The last entry is broken: the first two must not be installed either.
        QTest::newRow("last entry damaged") << good.left(good.lastIndexOf("###End_BRX###")) << brx::kDamagedMessage;
        QTest::newRow("nested package") << good + "###Begin_BRX###\r\n" << brx::kDamagedMessage;
    }

    void refusedPackagesWriteNothing()
    {
        QFETCH(QByteArray, package);
        QFETCH(QString, message);
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("in/p.brx"), package);
        Run run;
        run.result = brx::installPackageFile(TestTree::win(QStringLiteral("in/p.brx")), options(run), run.prompts);
        QCOMPARE(run.prompts.messages(), QStringList{message});
        QVERIFY(run.result.writes.isEmpty());
        QVERIFY(run.bar.isEmpty());
        QCOMPARE(QDir(tree.host(kPlaygrounds)).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(tree.host(kBackups)).entryList(QDir::Files), QStringList());
    }

    void unreadablePackageIsNotValid()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        Run run;
        run.result = brx::installPackageFile(TestTree::win(QStringLiteral("nowhere.brx")), options(run), run.prompts);
        QCOMPARE(run.result.outcome, brx::InstallResult::NotValid);
        QCOMPARE(run.prompts.messages(), QStringList{brx::kNotValidMessage});
    }

    void writingOutsideTheFoldersAsksFirst()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.mkdir(QStringLiteral("Windows"));
        QByteArray package = threeEntryPackage();
        const QString escaping = winGame(QStringLiteral("..\\..\\Windows\\evil.txt"));
        brx::appendEntry(package, escaping, QStringLiteral("evil.txt"), "x");
        brx::appendEntry(package, QStringLiteral("c:\\WINDOWS\\also.txt"), QStringLiteral("also.txt"), "y");
        tree.write(QStringLiteral("in/p.brx"), package);

        Run no;
        no.prompts.answerQuestion(false);
        no.result = brx::installPackageFile(TestTree::win(QStringLiteral("in/p.brx")), options(no), no.prompts);
        QCOMPARE(no.result.outcome, brx::InstallResult::Declined);
        QCOMPARE(no.prompts.shown.size(), 1); // the question, and no message after it
        QVERIFY(no.prompts.shown.first().text.contains(escaping));
        QVERIFY(no.prompts.shown.first().text.contains(QStringLiteral("c:\\WINDOWS\\also.txt")));
        QVERIFY(!no.prompts.shown.first().text.contains(QStringLiteral("map1.txt")));
        QVERIFY(!tree.exists(kPlaygrounds + QStringLiteral("map1.txt")));
        QVERIFY(!tree.exists(QStringLiteral("Windows/evil.txt")));

        Run yes;
        yes.prompts.answerQuestion(true);
        yes.result = brx::installPackageFile(TestTree::win(QStringLiteral("in/p.brx")), options(yes), yes.prompts);
        QCOMPARE(yes.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(tree.read(QStringLiteral("Windows/evil.txt")), QByteArray("\r\nx\r\n\r\n"));
        QCOMPARE(tree.read(QStringLiteral("Windows/also.txt")), QByteArray("\r\ny\r\n\r\n"));

        // Paths inside the folders, whatever their case or separators, ask nothing.
        QVERIFY(brx::isInside(QStringLiteral("c:/games/BLACK & WHITE/x.txt"), TestTree::gameFolder()));
        QVERIFY(brx::isInside(QStringLiteral("C:\\Veldrin\\Backup\\.\\x"), TestTree::programFolder()));
        QVERIFY(!brx::isInside(TestTree::gameFolder(), TestTree::gameFolder()));
        QVERIFY(!brx::isInside(QStringLiteral("C:\\Games\\Black & White2\\x"), TestTree::gameFolder()));
        QVERIFY(!brx::isInside(QStringLiteral("C:\\x"), QString()));
    }

    void titlesCannotLeaveTheBackupFolder()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kGame + QStringLiteral("keep.txt"), "precious");
        QByteArray package;
        brx::appendEntry(package, winGame(QStringLiteral("a.txt")), QStringLiteral("..\\..\\Games\\Black & White\\keep.txt"), "a");
        brx::appendEntry(package, winGame(QStringLiteral("b.txt")), QStringLiteral(".."), "b");
        brx::appendEntry(package, winGame(QStringLiteral("c.txt")), QString(), "c");
        Run run;
        run.result = brx::installPackage(package, options(run));
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(tree.read(kGame + QStringLiteral("keep.txt")), QByteArray("precious"));
        QCOMPARE(QDir(tree.host(kBackups)).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
        QCOMPARE(run.result.writes.size(), 4);   // three entries, one backup
        QCOMPARE(run.bar.size(), 6);             // the bar still moves for the skipped copies
        QCOMPARE(run.bar.last(), 100.0f);
        QVERIFY(tree.exists(kGame + QStringLiteral("c.txt")));
    }

    void failedEntryPutsEverythingBack_data()
    {
        QTest::addColumn<int>("failAt");   // 0: the third entry's target is a folder
        QTest::newRow("folder in the way") << 0;
        QTest::newRow("second entry") << 3;
        QTest::newRow("third entry") << 5;
    }

    void failedEntryPutsEverythingBack()
    {
        QFETCH(int, failAt);
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kPlaygrounds + QStringLiteral("map2.txt"), QByteArray("old map two\n\0bytes", 18));
        tree.write(kBackups + QStringLiteral("map1.txt"), "an older backup");
        if (failAt == 0)
            tree.mkdir(kPlaygrounds + QStringLiteral("map3.txt"));
        const auto snapshot = [&] {
            QStringList files;
            for (const QString &dir : {kPlaygrounds, kBackups})
                for (const QString &name : QDir(tree.host(dir)).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
                    files << dir + name + QLatin1Char('=') + QString::fromLatin1(tree.read(dir + name).toHex());
            return files;
        };
        const QStringList before = snapshot();

        Run run;
        FailingWriter failing(failAt);
        brx::InstallOptions o = options(run);
        if (failAt)
            o.writer = &failing;
        run.result = brx::installPackage(threeEntryPackage(), o);
        QCOMPARE(run.result.outcome, brx::InstallResult::WriteFailed);
        QVERIFY(run.result.rolledBack);
        QCOMPARE(snapshot(), before);
        const QString failed = winGame(QStringLiteral("Scripts\\Playgrounds\\map%1.txt").arg(failAt == 3 ? 2 : 3));
        QCOMPARE(run.result.failedPath, failed);
        QVERIFY(run.result.message.contains(failed));
        QVERIFY(run.result.message.contains(failAt ? QStringLiteral("disk full") : QStringLiteral("folder")));
    }

    void failedBackupAloneKeepsThePackage()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        Run run;
        FailingWriter failing(2); // the first entry's backup copy
        brx::InstallOptions o = options(run);
        o.writer = &failing;
        run.result = brx::installPackage(threeEntryPackage(), o);
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(run.result.backupFailures.size(), 1);
        QVERIFY(run.result.message.contains(QStringLiteral("Backup\\brx\\map1.txt")));
        QVERIFY(tree.exists(kPlaygrounds + QStringLiteral("map1.txt")));
        QVERIFY(!tree.exists(kBackups + QStringLiteral("map1.txt")));
        QVERIFY(tree.exists(kBackups + QStringLiteral("map3.txt")));
        QCOMPARE(run.bar.last(), 100.0f);
    }

    void binaryEntriesInstallByteForByte()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QByteArray land;
        for (int i = 0; i < 5000; ++i)
            land.append(char(i * 7 % 256));
        tree.write(QStringLiteral("src/hill.lnd"), land);
        tree.write(QStringLiteral("src/notes.txt"), "line\nline\n");
        QByteArray package;
        QVERIFY(brx::appendFile(package, winGame(QStringLiteral("Data\\Landscape\\hill.lnd")), QStringLiteral("hill.lnd"),
                                TestTree::win(QStringLiteral("src/hill.lnd"))));
        QVERIFY(brx::appendFile(package, winGame(QStringLiteral("notes.txt")), QStringLiteral("notes.txt"),
                                TestTree::win(QStringLiteral("src/notes.txt"))));
        QString error;
        QVERIFY(!brx::appendFile(package, winGame(QStringLiteral("x")), QStringLiteral("a|b"),
                                 TestTree::win(QStringLiteral("src/notes.txt")), &error));
        QVERIFY(!brx::appendFile(package, winGame(QStringLiteral("x")), QStringLiteral("gone"),
                                 TestTree::win(QStringLiteral("src/gone")), &error));
        QVERIFY(fileio::isText(package));
        Run run;
        run.result = brx::installPackage(package, options(run));
        QCOMPARE(run.result.outcome, brx::InstallResult::Installed);
        QCOMPARE(tree.read(kGame + QStringLiteral("Data/Landscape/hill.lnd")), land);
        QCOMPARE(tree.read(kBackups + QStringLiteral("hill.lnd")), land);
        QCOMPARE(tree.read(kGame + QStringLiteral("notes.txt")), QByteArray("\r\nline\r\nline\r\n\r\n\r\n"));
    }

    void streamedPackageMatchesTheBufferAndReplacesSafely()
    {
        TestTree tree;
        QByteArray big;
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big.append("line " + QByteArray::number(i) + "\n");
        const QByteArray binary("\0\1\2", 3);
        QByteArray buffered;
        QVERIFY(brx::appendFileContent(buffered, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"), big));
        QVERIFY(brx::appendFileContent(buffered, QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), binary));
        QVERIFY(brx::savePackage(buffered, TestTree::win(QStringLiteral("buffered.brx"))));

        // An older package of that name keeps its permissions and is replaced only at the end.
        tree.write(QStringLiteral("streamed.brx"), "old package");
        QFile::setPermissions(tree.host(QStringLiteral("streamed.brx")), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        {
            brx::PackageFile streamed(TestTree::win(QStringLiteral("streamed.brx")));
            QVERIFY(streamed.add(QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"), big));
            QCOMPARE(tree.read(QStringLiteral("streamed.brx")), QByteArray("old package"));
            QVERIFY(streamed.add(QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), binary));
            QVERIFY(streamed.save());
        }
        QCOMPARE(tree.read(QStringLiteral("streamed.brx")), tree.read(QStringLiteral("buffered.brx")));
        const QFile::Permissions mode = QFile::permissions(tree.host(QStringLiteral("streamed.brx")))
            & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(mode, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QCOMPARE(QDir(tree.host(QString())).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("buffered.brx"), QStringLiteral("streamed.brx")}));

        // Abandoned: the old package stays, a new one never appears.
        {
            brx::PackageFile again(TestTree::win(QStringLiteral("streamed.brx")));
            QVERIFY(again.add(QStringLiteral("C:\\c.txt"), QStringLiteral("c.txt"), big));
            brx::PackageFile fresh(TestTree::win(QStringLiteral("fresh.brx")));
            QVERIFY(fresh.add(QStringLiteral("C:\\c.txt"), QStringLiteral("c.txt"), big));
        }
        QCOMPARE(tree.read(QStringLiteral("streamed.brx")), tree.read(QStringLiteral("buffered.brx")));
        QCOMPARE(QDir(tree.host(QString())).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QString error;
        brx::PackageFile nowhere(TestTree::win(QStringLiteral("missing/p.brx")));
        QVERIFY(!nowhere.add(QStringLiteral("C:\\c.txt"), QStringLiteral("c.txt"), "c", &error));
        QVERIFY(error.contains(QStringLiteral("folder")));
    }

    void cachedMappingAgreesWithThePathMapping()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kGame + QStringLiteral("Data/Landscape/Hill.LND"), "x");
        tree.write(kGame + QStringLiteral("Data/Landscape/hill.lnd.bak"), "x");
        brx::HostPaths paths;
        const QStringList probes{
            winGame(QStringLiteral("Data\\Landscape\\hill.lnd")), winGame(QStringLiteral("data\\LANDSCAPE\\HILL.lnd")),
            winGame(QStringLiteral("Data\\Landscape\\new.lnd")), winGame(QStringLiteral("Data/Landscape/Hill.LND.BAK")),
            winGame(QStringLiteral("Data\\Landscape\\..\\..\\x.txt")), winGame(QStringLiteral("Data\\Landscape\\.")),
            winGame(QStringLiteral("Data\\Landscape\\")), QStringLiteral("C:\\Nowhere\\a.txt"), QStringLiteral("plain.txt")};
        for (int round = 0; round < 2; ++round) {
            for (const QString &probe : probes)
                QCOMPARE(paths.toHost(probe), winpath::toHost(probe));
            // A file created under another spelling is found by the next lookup, as on disk.
            const QString created = winpath::toHost(winGame(QStringLiteral("Data\\Landscape\\new.lnd")));
            tree.write(kGame + QStringLiteral("Data/Landscape/new.lnd"), "y");
            paths.created(created);
            QCOMPARE(paths.toHost(winGame(QStringLiteral("Data\\Landscape\\NEW.LND"))), created);
        }
    }

    void sameTitleTwiceKeepsTheSecondBackup()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QByteArray package;
        brx::appendEntry(package, winGame(QStringLiteral("one\\x.txt")), QStringLiteral("x.txt"), "first");
        brx::appendEntry(package, winGame(QStringLiteral("x.txt")), QStringLiteral("x.txt"), "second");
        tree.mkdir(kGame + QStringLiteral("one"));
        Run run;
        run.result = brx::installPackage(package, options(run));
        QCOMPARE(tree.read(kBackups + QStringLiteral("x.txt")), QByteArray("\r\nsecond\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(test_BrxInstall)
#include "test_BrxInstall.moc"
