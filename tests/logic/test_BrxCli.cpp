// The veldrin-brx tool end to end: the built binary run on real files in a throw-away prefix.
#include "installer/Brx.h"
#include "platform/FileIO.h"
#include "support/TestTree.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

struct Outcome
{
    int code = -1;
    QString out;
    QString err;
};

Outcome brxTool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(VELDRIN_BRX_PATH), args);
    Outcome o;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return o;
    o.code = process.exitCode();
    o.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    o.err = QString::fromLocal8Bit(process.readAllStandardError());
    return o;
}

const QString kGame = QStringLiteral("Games/Black & White/");
const QString kPlay = kGame + QStringLiteral("Scripts/Playgrounds/");

QByteArray entry(const QByteArray &path, const QByteArray &title, const QByteArray &content)
{
    QByteArray p;
    brx::appendEntry(p, QString::fromLatin1(path), QString::fromLatin1(title), content);
    return p;
}

} // namespace

class test_BrxCli : public QObject
{
    Q_OBJECT
private slots:
    void wrongUsageExitsTwo()
    {
        for (const QStringList &args : {QStringList{}, QStringList{QStringLiteral("unpack")},
                                        QStringList{QStringLiteral("--frob")},
                                        QStringList{QStringLiteral("list")},
                                        QStringList{QStringLiteral("list"), QStringLiteral("a"), QStringLiteral("b")},
                                        QStringList{QStringLiteral("list"), QStringLiteral("a"), QStringLiteral("--yes")},
                                        QStringList{QStringLiteral("install"), QStringLiteral("a.brx")},
                                        QStringList{QStringLiteral("create"), QStringLiteral("a.brx"), QStringLiteral("noequals")}}) {
            const Outcome o = brxTool(args);
            QVERIFY2(o.code == 2, qPrintable(args.join(QLatin1Char(' '))));
            QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
        }
        const Outcome help = brxTool({QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains(QStringLiteral("--program-folder")));
        const Outcome version = brxTool({QStringLiteral("--version")});
        QCOMPARE(version.code, 0);
        QVERIFY(version.out.contains(QStringLiteral("0.90")));
    }

    void createWritesWhatTheWizardWrites()
    {
        TestTree tree;
        tree.write(QStringLiteral("src/island.txt"), "first line\nsecond line");
        tree.write(QStringLiteral("src/hill.lnd"), QByteArray("\0\1\2land\xff", 8));
        const QString islandPath = QStringLiteral("D:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt");
        const QString hillPath = QStringLiteral("D:\\Games\\Black & White\\Data\\Landscape\\hill.lnd");
        const Outcome o = brxTool({QStringLiteral("create"), tree.host(QStringLiteral("out.brx")),
                                   tree.host(QStringLiteral("src/island.txt")) + QLatin1Char('=') + islandPath,
                                   tree.host(QStringLiteral("src/hill.lnd")) + QLatin1Char('=') + hillPath});
        QCOMPARE(o.code, 0);

        // The wizard's way: its text buffer, one file at a time, then the save.
        QString buffer;
        QVERIFY(brx::appendFile(buffer, islandPath, QStringLiteral("island.txt"), TestTree::win(QStringLiteral("src/island.txt"))));
        QVERIFY(brx::appendFile(buffer, hillPath, QStringLiteral("hill.lnd"), TestTree::win(QStringLiteral("src/hill.lnd"))));
        QVERIFY(brx::savePackage(buffer, TestTree::win(QStringLiteral("wizard.brx"))));
        QCOMPARE(tree.read(QStringLiteral("out.brx")), tree.read(QStringLiteral("wizard.brx")));
        QVERIFY(tree.read(QStringLiteral("out.brx")).endsWith("###End_BRX###\r\n\r\n"));

        const Outcome listed = brxTool({QStringLiteral("list"), tree.host(QStringLiteral("out.brx"))});
        QCOMPARE(listed.code, 0);
        QCOMPARE(listed.out, islandPath + QStringLiteral("\tisland.txt\t29\ttext\n") + hillPath
                                 + QStringLiteral("\thill.lnd|base64\t8\tbinary\n"));

        // A source that cannot be read writes no package at all.
        const Outcome missing = brxTool({QStringLiteral("create"), tree.host(QStringLiteral("none.brx")),
                                         tree.host(QStringLiteral("src/gone.txt")) + QStringLiteral("=C:\\x.txt")});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains(QStringLiteral("gone.txt")));
        QVERIFY(!tree.exists(QStringLiteral("none.brx")));
    }

    void verifyAndListNameTheDamage()
    {
        TestTree tree;
        tree.write(QStringLiteral("good.brx"), entry("C:\\a.txt", "a.txt", "a") + entry("C:\\b.txt", "b.txt", "b"));
        tree.write(QStringLiteral("bad.brx"), entry("C:\\a.txt", "a.txt", "a") + "###Begin_BRX###\r\n###Install###C:\\b");
        tree.write(QStringLiteral("plain.txt"), "just text");
        Outcome o = brxTool({QStringLiteral("verify"), tree.host(QStringLiteral("good.brx"))});
        QCOMPARE(o.code, 0);
        QVERIFY(o.out.contains(QStringLiteral("2 entries")));
        for (const QString &command : {QStringLiteral("verify"), QStringLiteral("list")}) {
            o = brxTool({command, tree.host(QStringLiteral("bad.brx"))});
            QCOMPARE(o.code, 1);
            QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
            QVERIFY(o.err.contains(tree.host(QStringLiteral("bad.brx"))));
            QVERIFY(o.err.contains(QStringLiteral("entry 2")));
            QVERIFY(o.err.contains(QStringLiteral("###/Install###")));
        }
        o = brxTool({QStringLiteral("verify"), tree.host(QStringLiteral("plain.txt"))});
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(brx::kNotValidMessage));
        o = brxTool({QStringLiteral("verify"), tree.host(QStringLiteral("missing.brx"))});
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("missing.brx")));
    }

    void extractStaysInsideItsFolder()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("out"));
        QByteArray package = entry("C:\\x\\a.txt", "..\\..\\a.txt", "alpha") + entry("C:\\b", "../b.bin", "beta");
        brx::appendBinaryEntry(package, QStringLiteral("C:\\h.lnd"), QStringLiteral("h.lnd"), QByteArray("\0\1", 2));
        tree.write(QStringLiteral("p.brx"), package);
        Outcome o = brxTool({QStringLiteral("extract"), tree.host(QStringLiteral("p.brx")), tree.host(QStringLiteral("out"))});
        QCOMPARE(o.code, 0);
        QCOMPARE(QDir(tree.host(QStringLiteral("out"))).entryList(QDir::Files),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin"), QStringLiteral("h.lnd")}));
        QCOMPARE(tree.read(QStringLiteral("out/a.txt")), QByteArray("\r\nalpha\r\n\r\n"));
        QCOMPARE(tree.read(QStringLiteral("out/h.lnd")), QByteArray("\0\1", 2));
        QVERIFY(!tree.exists(QStringLiteral("a.txt")) && !tree.exists(QStringLiteral("b.bin")));

        tree.write(QStringLiteral("dots.brx"), entry("C:\\x", "..", "x"));
        o = brxTool({QStringLiteral("extract"), tree.host(QStringLiteral("dots.brx")), tree.host(QStringLiteral("out"))});
        QCOMPARE(o.code, 1);
        QCOMPARE(QDir(tree.host(QStringLiteral("out"))).entryList(QDir::Files).size(), 3);
    }

    void installIsAllOrNothing()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kPlay + QStringLiteral("b.txt"), "old b");
        const QString game = TestTree::gameFolder();
        QByteArray package = entry(fileio::encode1252(game) + "Scripts\\Playgrounds\\a.txt", "a.txt", "new a")
            + entry(fileio::encode1252(game) + "Scripts\\Playgrounds\\b.txt", "b.txt", "new b");
        tree.write(QStringLiteral("p.brx"), package);
        const QStringList folders{QStringLiteral("--program-folder"), tree.host(QStringLiteral("Veldrin")),
                                  QStringLiteral("--game-folder"), tree.host(kGame)};

        Outcome o = brxTool(QStringList{QStringLiteral("install"), tree.host(QStringLiteral("p.brx")),
                                        QStringLiteral("--dry-run")} + folders);
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out.count(QLatin1Char('\n')), 4);
        QVERIFY(o.out.contains(tree.host(QStringLiteral("Veldrin/Backup/brx/b.txt"))));
        QCOMPARE(tree.read(kPlay + QStringLiteral("b.txt")), QByteArray("old b"));
        QVERIFY(!tree.exists(kPlay + QStringLiteral("a.txt")));

        o = brxTool(QStringList{QStringLiteral("install"), tree.host(QStringLiteral("p.brx"))} + folders);
        QCOMPARE(o.code, 0);
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), QByteArray("\r\nnew a\r\n\r\n"));
        QCOMPARE(tree.read(kPlay + QStringLiteral("b.txt")), QByteArray("\r\nnew b\r\n\r\n"));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/Backup/brx/b.txt")), QByteArray("\r\nnew b\r\n\r\n"));

        // A folder where the second entry goes: the first entry's new file is taken back.
        tree.write(kPlay + QStringLiteral("a.txt"), "before");
        tree.write(QStringLiteral("p2.brx"), entry(fileio::encode1252(game) + "Scripts\\Playgrounds\\a.txt", "a.txt", "x")
                                                 + entry(fileio::encode1252(game) + "Scripts", "c.txt", "y"));
        o = brxTool(QStringList{QStringLiteral("install"), tree.host(QStringLiteral("p2.brx"))} + folders);
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("p2.brx")));
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), QByteArray("before"));
    }

    void installRefusesPathsOutsideUnlessTold()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.mkdir(QStringLiteral("elsewhere"));
        tree.write(QStringLiteral("p.brx"), entry("C:\\elsewhere\\x.txt", "x.txt", "x"));
        const QStringList args{QStringLiteral("install"), tree.host(QStringLiteral("p.brx")), QStringLiteral("--program-folder"),
                               tree.host(QStringLiteral("Veldrin")), QStringLiteral("--game-folder"), tree.host(kGame)};
        Outcome o = brxTool(args);
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("C:\\elsewhere\\x.txt")));
        QVERIFY(!tree.exists(QStringLiteral("elsewhere/x.txt")));
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/Backup/brx/x.txt")));
        o = brxTool(args + QStringList{QStringLiteral("--yes")});
        QCOMPARE(o.code, 0);
        QCOMPARE(tree.read(QStringLiteral("elsewhere/x.txt")), QByteArray("\r\nx\r\n\r\n"));

        tree.write(QStringLiteral("bad.brx"), entry("C:\\elsewhere\\y.txt", "y.txt", "y") + "###Begin_BRX###");
        o = brxTool({QStringLiteral("install"), tree.host(QStringLiteral("bad.brx")), QStringLiteral("--program-folder"),
                     tree.host(QStringLiteral("Veldrin")), QStringLiteral("--yes")});
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("damaged")));
        QVERIFY(!tree.exists(QStringLiteral("elsewhere/y.txt")));
    }
};

QTEST_GUILESS_MAIN(test_BrxCli)
#include "test_BrxCli.moc"
