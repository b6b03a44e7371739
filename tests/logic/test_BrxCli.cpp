// The veldrin-brx tool end to end: the built binary run on real files in a throw-away prefix.
#include "brx/Archive.h"
#include "brx/Brx.h"
#include "platform/FileIO.h"
#include "support/BrxTool.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

QByteArray entry(const QString &path, const char *title, const QByteArray &content)
{
    QByteArray p;
    brx::appendEntry(p, path, QLatin1String(title), content);
    return p;
}

} // namespace

class test_BrxCli : public QObject
{
    Q_OBJECT

    TestTree *tree = nullptr;
    QString host(const char *rest) { return tree->host(QLatin1String(rest)); }

private slots:
    void init() { tree = new TestTree; }
    void cleanup() { delete tree; }

    void wrongUsageExitsTwo()
    {
        for (const char *args : {"", "unpack", "--frob", "list", "list a b", "list a --yes", "install a.brx",
                                 "create a.brx noequals"}) {
            const Outcome o = brxTool(QString::fromLatin1(args).split(QLatin1Char(' '), Qt::SkipEmptyParts));
            QVERIFY2(o.code == 2, args);
            QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
        }
        QCOMPARE(brxTool({QStringLiteral("--help")}).code, 0);
    }

    void createWritesWhatTheWizardWritesAndListShowsIt()
    {
        tree->write(QStringLiteral("src/island.txt"), "first line\nsecond line");
        tree->write(QStringLiteral("src/hill.lnd"), QByteArray("\0\1\2land\xff", 8));
        const QString island = QStringLiteral("D:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt");
        const QString hill = QStringLiteral("D:\\Games\\Black & White\\Data\\Landscape\\hill.lnd");
        // Large enough that the package goes to disk in several pieces while more is packed.
        QByteArray mountain(1024 * 1024 + 5, Qt::Uninitialized);
        for (qsizetype i = 0; i < mountain.size(); ++i)
            mountain[i] = char(i * 131 >> 2);
        tree->write(QStringLiteral("src/mountain.lnd"), mountain);
        const QString peak = QStringLiteral("D:\\Games\\Black & White\\Data\\Landscape\\mountain.lnd");
        QStringList args{QStringLiteral("create"), host("out.brx"), host("src/island.txt") + QLatin1Char('=') + island};
        QString buffer; // the wizard's way: its text buffer, one file at a time, then the save
        QVERIFY(brx::appendFile(buffer, island, QStringLiteral("island.txt"), TestTree::win(QStringLiteral("src/island.txt"))));
        for (int i = 0; i < 3; ++i) {
            args << host("src/mountain.lnd") + QLatin1Char('=') + peak;
            QVERIFY(brx::appendFile(buffer, peak, QStringLiteral("mountain.lnd"), TestTree::win(QStringLiteral("src/mountain.lnd"))));
        }
        // Many small entries already in CR LF, each its own content: more parts than one
        // gathered write takes.
        tree->write(QStringLiteral("src/note.txt"), "a note\r\nin two lines");
        const QString note = QStringLiteral("D:\\Games\\Black & White\\Scripts\\note.txt");
        for (int i = 0; i < 600; ++i) {
            args << host("src/note.txt") + QLatin1Char('=') + note;
            QVERIFY(brx::appendFile(buffer, note, QStringLiteral("note.txt"), TestTree::win(QStringLiteral("src/note.txt"))));
        }
        QCOMPARE(brxTool(args << host("src/hill.lnd") + QLatin1Char('=') + hill).code, 0);
        QVERIFY(brx::appendFile(buffer, hill, QStringLiteral("hill.lnd"), TestTree::win(QStringLiteral("src/hill.lnd"))));
        QVERIFY(brx::savePackage(buffer, TestTree::win(QStringLiteral("wizard.brx"))));
        QCOMPARE(tree->read(QStringLiteral("out.brx")), tree->read(QStringLiteral("wizard.brx")));

        const Outcome listed = brxTool({QStringLiteral("list"), host("out.brx")});
        const QString peakLine = peak + QStringLiteral("\tmountain.lnd|base64\t%1\tbinary\n").arg(mountain.size());
        const QString noteLine = note + QStringLiteral("\tnote.txt\t26\ttext\n");
        QCOMPARE(listed.out, island + QStringLiteral("\tisland.txt\t29\ttext\n") + peakLine + peakLine + peakLine
                                 + noteLine.repeated(600) + hill + QStringLiteral("\thill.lnd|base64\t8\tbinary\n"));
        // A source that cannot be read writes no package at all.
        QCOMPARE(brxTool({QStringLiteral("create"), host("none.brx"), host("src/gone.txt") + QStringLiteral("=C:\\x.txt")}).code, 1);
        QVERIFY(!tree->exists(QStringLiteral("none.brx")));
        // Files are read two at a time: one that cannot be read is named wherever it stands,
        // and the files around it leave nothing behind either.
        const Outcome o = brxTool({QStringLiteral("create"), host("none.brx"), host("src/island.txt") + QLatin1Char('=') + island,
                                   host("src/hill.lnd") + QLatin1Char('=') + hill, host("src/island.txt") + QLatin1Char('=') + island,
                                   host("src") + QStringLiteral("=C:\\y.txt")});
        QCOMPARE(o.code, 1);
        QCOMPARE(o.err, QStringLiteral("veldrin-brx: ") + host("src") + QStringLiteral(": cannot be read (it is a folder); no package was written\n"));
        QVERIFY(!tree->exists(QStringLiteral("none.brx")));
        QCOMPARE(QDir(tree->host(QString())).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("none")), QStringList());
    }

    void verifyAndListNameTheDamage()
    {
        tree->write(QStringLiteral("good.brx"), entry(QStringLiteral("C:\\a.txt"), "a.txt", "a") + entry(QStringLiteral("C:\\b.txt"), "b.txt", "b"));
        tree->write(QStringLiteral("bad.brx"), entry(QStringLiteral("C:\\a.txt"), "a.txt", "a") + "###Begin_BRX###\r\n###Install###C:\\b");
        tree->write(QStringLiteral("plain.txt"), "just text");
        Outcome o = brxTool({QStringLiteral("verify"), host("good.brx")});
        QCOMPARE(o.code, 0);
        QVERIFY(o.out.contains(QStringLiteral("2 entries")));
        for (const QString &command : {QStringLiteral("verify"), QStringLiteral("list")}) {
            o = brxTool({command, host("bad.brx")});
            QCOMPARE(o.code, 1);
            QVERIFY(o.err.contains(host("bad.brx")));
            QVERIFY(o.err.contains(QStringLiteral("entry 2")));
            QVERIFY(o.err.contains(QStringLiteral("###/Install###")));
        }
        QVERIFY(brxTool({QStringLiteral("verify"), host("plain.txt")}).err.contains(brx::kNotValidMessage));
    }

    void markerTextIsPackedWholeAndVerifyDoubtsOldPackages()
    {
        tree->makeGameAndProgramFolders();
        // Every marker, and a last line with no break after it, must come back byte for byte.
        const QByteArray readme("Packages look like this:\n###Begin_BRX###\n###Install###C:\\x###/Install###\n"
                                "###Title###x###/Title###\n###End_BRX###");
        tree->write(QStringLiteral("src/readme.txt"), readme);
        const QString target = TestTree::gameFolder() + QStringLiteral("readme.txt");
        QCOMPARE(brxTool({QStringLiteral("create"), host("new.brx"), host("src/readme.txt") + QLatin1Char('=') + target}).code, 0);
        QVERIFY(brxTool({QStringLiteral("list"), host("new.brx")}).out.endsWith(QStringLiteral("\tbinary\n")));
        Outcome o = brxTool({QStringLiteral("verify"), host("new.brx")});
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out, host("new.brx") + QStringLiteral(": 1 entry, all whole\n"));
        o = brxTool(installArgs(*tree, QStringLiteral("new.brx")));
        QCOMPARE(o.out, host("new.brx") + QStringLiteral(": installed 1 entry\n"));
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/readme.txt")), readme);
        QCOMPARE(tree->read(QStringLiteral("Veldrin/Backup/brx/readme.txt")), readme);

        // Packages written the old way: the text form cuts or carries the marker silently.
        const QByteArray cut = entry(QStringLiteral("C:\\a.txt"), "a.txt", "a")
            + entry(QStringLiteral("C:\\r.txt"), "r.txt", "see\r\n###End_BRX###\r\nrest");
        const QByteArray carried = entry(QStringLiteral("C:\\r.txt"), "r.txt", "quote ###Title### here");
        tree->write(QStringLiteral("cut.brx"), cut + "\r\n");
        tree->write(QStringLiteral("carried.brx"), carried + "\r\n");
        o = brxTool({QStringLiteral("verify"), host("cut.brx")});
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(QStringLiteral("entry 2 (r.txt): 17 bytes after its end marker")), qPrintable(o.err));
        QVERIFY(o.err.contains(QStringLiteral("2 entries read")));
        o = brxTool({QStringLiteral("verify"), host("carried.brx")});
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(QStringLiteral("entry 1 (r.txt): its text holds ###Title###")), qPrintable(o.err));
        QVERIFY(o.out.isEmpty());
    }

    void extractStaysInsideItsFolder()
    {
        tree->mkdir(QStringLiteral("out"));
        QByteArray package = entry(QStringLiteral("C:\\x\\a.txt"), "..\\..\\a.txt", "alpha") + entry(QStringLiteral("C:\\b"), "../b.bin", "beta");
        brx::appendBinaryEntry(package, QStringLiteral("C:\\h.lnd"), QStringLiteral("h.lnd"), QByteArray("\0\1", 2));
        tree->write(QStringLiteral("p.brx"), package);
        QCOMPARE(brxTool({QStringLiteral("extract"), host("p.brx"), host("out")}).code, 0);
        QCOMPARE(QDir(host("out")).entryList(QDir::Files),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin"), QStringLiteral("h.lnd")}));
        QCOMPARE(tree->read(QStringLiteral("out/h.lnd")), QByteArray("\0\1", 2));
        QVERIFY(!tree->exists(QStringLiteral("a.txt")));
        QVERIFY(!tree->exists(QStringLiteral("b.bin")));
        tree->write(QStringLiteral("dots.brx"), entry(QStringLiteral("C:\\x"), "..", "x"));
        QCOMPARE(brxTool({QStringLiteral("extract"), host("dots.brx"), host("out")}).code, 1);
        QCOMPARE(QDir(host("out")).entryList(QDir::Files).size(), 3);
        // A link already in the folder carries no write out of it.
        tree->mkdir(QStringLiteral("../away"));
        QVERIFY(QFile::link(tree->prefix() + QStringLiteral("/away/c.txt"), host("out/c.txt")));
        tree->write(QStringLiteral("c.brx"), entry(QStringLiteral("C:\\c.txt"), "c.txt", "gamma") + entry(QStringLiteral("C:\\d.txt"), "d.txt", "delta"));
        QCOMPARE(brxTool({QStringLiteral("extract"), host("c.brx"), host("out")}).code, 1);
        QVERIFY(!QFile::exists(tree->prefix() + QStringLiteral("/away/c.txt")));
        QVERIFY(tree->exists(QStringLiteral("out/d.txt")));
    }

    void installIsAllOrNothingAndAsksBeforeLeavingTheFolders()
    {
        tree->makeGameAndProgramFolders();
        tree->mkdir(QStringLiteral("elsewhere"));
        const QString play = TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\");
        tree->write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/b.txt"), "old b");
        const auto install = [&](const QByteArray &package, const QStringList &more = {}) {
            tree->write(QStringLiteral("p.brx"), package);
            return brxTool(QStringList{QStringLiteral("install"), host("p.brx"), QStringLiteral("--program-folder"), host("Veldrin"),
                                       QStringLiteral("--game-folder"), host("Games/Black & White/")} + more);
        };
        const QByteArray ab = entry(play + QStringLiteral("a.txt"), "a.txt", "new a") + entry(play + QStringLiteral("b.txt"), "b.txt", "new b");
        Outcome o = install(ab, {QStringLiteral("--dry-run")});
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out.count(QLatin1Char('\n')), 4);
        QVERIFY(o.out.contains(host("Veldrin/Backup/brx/b.txt")));
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/b.txt")), QByteArray("old b"));
        // The tool a player gets has no pause hook for tests to find in its environment.
        qputenv("VELDRIN_TEST_PAUSE_AT", "1");
        o = install(ab);
        qunsetenv("VELDRIN_TEST_PAUSE_AT");
        QCOMPARE(o.code, 0);
        QVERIFY(!o.err.contains(QStringLiteral("paused")));
        QCOMPARE(tree->read(QStringLiteral("Veldrin/Backup/brx/b.txt")), QByteArray("\r\nnew b\r\n\r\n"));

        // Outside the folders only with --yes; a damaged package never.
        const QByteArray outside = entry(QStringLiteral("C:\\elsewhere\\x.txt"), "x.txt", "x");
        o = install(outside);
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("C:\\elsewhere\\x.txt")));
        QVERIFY(!tree->exists(QStringLiteral("elsewhere/x.txt")));
        QVERIFY(!tree->exists(QStringLiteral("Veldrin/Backup/brx/x.txt")));
        QCOMPARE(install(outside, {QStringLiteral("--yes")}).code, 0);
        QCOMPARE(tree->read(QStringLiteral("elsewhere/x.txt")), QByteArray("\r\nx\r\n\r\n"));
        o = install(entry(QStringLiteral("C:\\elsewhere\\y.txt"), "y.txt", "y") + "###Begin_BRX###", {QStringLiteral("--yes")});
        QVERIFY(o.code == 1);
        QVERIFY(o.err.contains(QStringLiteral("damaged")));
        QVERIFY(!tree->exists(QStringLiteral("elsewhere/y.txt")));
    }

    // An archive: the dry run prints the plan, the game folder comes from options.txt when
    // --game-folder is not given, a hostile archive writes nothing and exits 1.
    void installsArchivesWithTheGameFolderFromOptions()
    {
        tree->makeGameAndProgramFolders();
        tree->write(QStringLiteral("Veldrin/options.txt"),
                    fileio::encode1252(TestTree::gameFolder() + QStringLiteral("\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n")));
        archives::Writer writer;
        writer.addFile(QStringLiteral("Hill/Black & White/Scripts/Playgrounds/hill.txt"), "// hill\r\n");
        writer.addFile(QStringLiteral("Hill/readme.txt"), "read me");
        writer.addFile(QStringLiteral("Hill/setup.exe"), "MZ");
        tree->write(QStringLiteral("hill.zip"), writer.finish());
        const QStringList install{QStringLiteral("install"), host("hill.zip"), QStringLiteral("--program-folder"), host("Veldrin")};
        Outcome o = brxTool(install + QStringList{QStringLiteral("--dry-run")});
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("Hill/Black & White/Scripts/Playgrounds/hill.txt\t") + TestTree::gameFolder()
                                  + QStringLiteral("Scripts\\Playgrounds\\hill.txt"),
                              QStringLiteral("Hill/readme.txt\tC:\\Veldrin\\Downloads\\hill\\readme.txt"),
                              QStringLiteral("Hill/setup.exe\tleft out: not a kind of file Veldrin installs")}));
        QVERIFY(!tree->exists(QStringLiteral("Games/Black & White/Scripts/Playgrounds/hill.txt")));
        o = brxTool(install);
        QCOMPARE(o.code, 0);
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/hill.txt")), QByteArray("// hill\r\n"));
        QCOMPARE(tree->read(QStringLiteral("Veldrin/Downloads/hill/readme.txt")), QByteArray("read me"));

        archives::Writer hostile;
        hostile.addFile(QStringLiteral("ok.txt"), "fine");
        hostile.addFile(QStringLiteral("../../evil.txt"), "evil");
        tree->write(QStringLiteral("evil.zip"), hostile.finish());
        o = brxTool({QStringLiteral("install"), host("evil.zip"), QStringLiteral("--program-folder"), host("Veldrin")});
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(QLatin1String("outside itself")), qPrintable(o.err));
        QVERIFY(!tree->exists(QStringLiteral("Games/Black & White/Scripts/Playgrounds/ok.txt")));
    }
};

QTEST_GUILESS_MAIN(test_BrxCli)
#include "test_BrxCli.moc"
