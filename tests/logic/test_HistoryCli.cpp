// The history on the command line, and what an install killed in the middle leaves after the
// next start: the built veldrin-brx run on real files in a throw-away prefix.
#include "installer/Brx.h"
#include "support/BrxTool.h"
#include "support/TestTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

// Every file of drive C: but the history itself, by path below drive_c.
QMap<QString, QByteArray> snapshot(const TestTree &tree)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(tree.driveC(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(tree.driveC()).relativeFilePath(path);
        if (rel.startsWith(QLatin1String("Veldrin/Backup/history/")))
            continue;
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(rel, file.readAll());
    }
    return files;
}

const QString kPlay = QStringLiteral("Games/Black & White/Scripts/Playgrounds/");

QByteArray fiveEntries()
{
    const QString play = TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\");
    QByteArray package;
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        brx::appendEntry(package, play + QLatin1String(name), QLatin1String(name), QByteArray("new ") + name);
    brx::appendBinaryEntry(package, TestTree::gameFolder() + QStringLiteral("Data\\Landscape\\h.lnd"),
                           QStringLiteral("h.lnd"), QByteArray("LND\0new", 7));
    return package;
}

void prepare(TestTree &tree)
{
    tree.makeGameAndProgramFolders();
    tree.mkdir(QStringLiteral("Veldrin/Backup/history"));
    tree.write(kPlay + QStringLiteral("a.txt"), "the game's a");
    tree.write(kPlay + QStringLiteral("c.txt"), "the game's c");
    tree.write(QStringLiteral("Games/Black & White/Data/Landscape/h.lnd"), QByteArray("LND\0old", 7));
    tree.write(QStringLiteral("Veldrin/Backup/brx/b.txt"), "an older backup copy");
    tree.write(QStringLiteral("p.brx"), fiveEntries());
}

QStringList installArgs(const TestTree &tree)
{
    return {QStringLiteral("install"), tree.host(QStringLiteral("p.brx")), QStringLiteral("--program-folder"),
            tree.host(QStringLiteral("Veldrin")), QStringLiteral("--game-folder"), tree.host(QStringLiteral("Games/Black & White"))};
}

QStringList programArgs(const TestTree &tree)
{
    return {QStringLiteral("--program-folder"), tree.host(QStringLiteral("Veldrin"))};
}

} // namespace

class test_HistoryCli : public QObject
{
    Q_OBJECT

private slots:
    void historyListsAndUndoPutsBack()
    {
        TestTree tree;
        prepare(tree);
        const auto before = snapshot(tree);
        QCOMPARE(brxTool(installArgs(tree)).code, 0);
        const auto after = snapshot(tree);

        Outcome o = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
        QCOMPARE(o.code, 0);
        QStringList fields = o.out.trimmed().split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields.at(0), QStringLiteral("1"));
        QVERIFY2(QDateTime::fromString(fields.at(1), Qt::ISODate).isValid(), qPrintable(fields.at(1)));
        QCOMPARE(fields.at(2), QStringLiteral("package"));
        QCOMPARE(fields.at(3), tree.host(QStringLiteral("p.brx")));
        QCOMPARE(fields.at(4), QStringLiteral("10"));
        QCOMPARE(fields.at(5), QStringLiteral("done"));

        // Wrong usage, unknown ids, and files changed since: each refused in one line.
        for (const QStringList &args : {QStringList{QStringLiteral("undo")}, {QStringLiteral("undo"), QStringLiteral("1"), QStringLiteral("--all")},
                                        {QStringLiteral("undo"), QStringLiteral("x1")}, {QStringLiteral("history"), QStringLiteral("--yes")}}) {
            o = brxTool(args + programArgs(tree));
            QVERIFY2(o.code == 2, qPrintable(args.join(QLatin1Char(' '))));
            QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
        }
        QCOMPARE(brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("1")}).code, 2);
        o = brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("42")} + programArgs(tree));
        QCOMPARE(o.code, 1);
        QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
        tree.write(kPlay + QStringLiteral("d.txt"), "edited by the player");
        o = brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("1")} + programArgs(tree));
        QCOMPARE(o.code, 1);
        QVERIFY(o.err.contains(QStringLiteral("d.txt")) && o.err.count(QLatin1Char('\n')) == 1);
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), after.value(kPlay + QStringLiteral("a.txt")));

        // --yes keeps the hand edit aside as an add-on that is out, then takes the install out.
        QCOMPARE(brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("1"), QStringLiteral("--yes")} + programArgs(tree)).code, 0);
        QCOMPARE(snapshot(tree), before);
        o = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
        const QStringList lines = o.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(0).startsWith(QStringLiteral("4\t")) && lines.at(0).contains(QStringLiteral("\ttake out\t")));
        QVERIFY(lines.at(2).contains(QStringLiteral("\tby hand\t")));
        QVERIFY(lines.at(3).endsWith(QStringLiteral("\tundone")));
        o = brxTool(QStringList{QStringLiteral("addons")} + programArgs(tree));
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out, QStringLiteral("2\tChanged by hand\tby hand\tout\t1\t0\n1\tp.brx\tpackage\tout\t10\t0\n"));

        // Put back, the hand edit laid over the package (a conflict on d.txt), then the package
        // moved above it: the one file whose top changes is rewritten.
        QCOMPARE(brxTool(QStringList{QStringLiteral("put-back"), QStringLiteral("1")} + programArgs(tree)).code, 0);
        QCOMPARE(snapshot(tree), after);
        QCOMPARE(brxTool(QStringList{QStringLiteral("put-back"), QStringLiteral("2")} + programArgs(tree)).code, 0);
        QCOMPARE(tree.read(kPlay + QStringLiteral("d.txt")), QByteArray("edited by the player"));
        o = brxTool(QStringList{QStringLiteral("addons")} + programArgs(tree));
        QCOMPARE(o.out, QStringLiteral("2\tChanged by hand\tby hand\tin\t1\t1\n1\tp.brx\tpackage\tin\t10\t1\n"));
        o = brxTool(QStringList{QStringLiteral("order"), QStringLiteral("1"), QStringLiteral("--above"), QStringLiteral("2")} + programArgs(tree));
        QCOMPARE(o.code, 0);
        QVERIFY2(o.out.contains(QStringLiteral("1 files rewritten")), qPrintable(o.out));
        QCOMPARE(snapshot(tree), after);
        for (const QStringList &args : {QStringList{QStringLiteral("order"), QStringLiteral("1")}, {QStringLiteral("take-out")},
                                        {QStringLiteral("take-out"), QStringLiteral("1"), QStringLiteral("--above"), QStringLiteral("2")},
                                        {QStringLiteral("addons"), QStringLiteral("--yes")}})
            QVERIFY2(brxTool(args + programArgs(tree)).code == 2, qPrintable(args.join(QLatin1Char(' '))));
        QCOMPARE(brxTool(QStringList{QStringLiteral("take-out"), QStringLiteral("7")} + programArgs(tree)).code, 1);
        QCOMPARE(brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("--all"), QStringLiteral("--yes")} + programArgs(tree)).code, 0);
        QCOMPARE(snapshot(tree), before);
    }

    // Killed at moments all through an install (before its record, between writing a file and
    // renaming it into place, between files, before it is marked done), the next start leaves
    // the trees exactly as before the install or exactly as after it.
    void aKilledInstallIsWholeOrNotAtAllAfterTheNextStart()
    {
        QMap<QString, QByteArray> after;
        {
            TestTree tree;
            prepare(tree);
            QCOMPARE(brxTool(installArgs(tree)).code, 0);
            after = snapshot(tree);
        }
        for (const int point : {1, 2, 3, 4, 7, 12, 21, 22, 23, 99}) {
            TestTree tree;
            prepare(tree);
            const auto before = snapshot(tree);
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("VELDRIN_TEST_PAUSE_AT"), QString::number(point));
            process.setProcessEnvironment(env);
            process.setReadChannel(QProcess::StandardError);
            process.start(QStringLiteral(VELDRIN_BRX_PATH), installArgs(tree));
            QVERIFY(process.waitForStarted());
            QByteArray said;
            while (!said.contains("veldrin-test-paused") && process.state() == QProcess::Running
                   && process.waitForReadyRead(20000))
                said += process.readAllStandardError();
            const bool paused = said.contains("veldrin-test-paused");
            if (paused)
                ::kill(pid_t(process.processId()), SIGKILL);
            QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(20000));

            const Outcome next = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
            QCOMPARE(next.code, 0);
            const auto now = snapshot(tree);
            QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("killed at point %1: %2").arg(point).arg(next.err)));
            if (paused && now == before && point > 3) // once a file was really changed
                QVERIFY2(next.err.contains(QStringLiteral("put back")), qPrintable(next.err));
            // Killed before its record was committed, an install has no record at all.
            const bool recorded = now == after ? next.out.contains(QStringLiteral("\tdone"))
                                               : next.out.isEmpty() || next.out.contains(QStringLiteral("\trolled back"));
            QVERIFY2(recorded, qPrintable(next.out));
        }
    }

    // A link in the game folder to somewhere else, and a link already in extract's folder,
    // never carry a write out of where the player allowed it.
    void linksNeverCarryAWriteOutside()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.mkdir(QStringLiteral("../away"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/away"), tree.host(QStringLiteral("Games/Black & White/Data/Link"))));
        QByteArray package;
        brx::appendEntry(package, TestTree::gameFolder() + QStringLiteral("Data\\Link\\x.txt"), QStringLiteral("x.txt"), "x");
        tree.write(QStringLiteral("p.brx"), package);
        const Outcome o = brxTool(installArgs(tree));
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(QStringLiteral("really")), qPrintable(o.err));
        QVERIFY(!QFile::exists(tree.prefix() + QStringLiteral("/away/x.txt")));

        tree.mkdir(QStringLiteral("out"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/away/a.txt"), tree.host(QStringLiteral("out/a.txt"))));
        package.clear();
        brx::appendEntry(package, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"), "alpha");
        brx::appendEntry(package, QStringLiteral("C:\\b.txt"), QStringLiteral("b.txt"), "beta");
        tree.write(QStringLiteral("e.brx"), package);
        const Outcome e = brxTool({QStringLiteral("extract"), tree.host(QStringLiteral("e.brx")), tree.host(QStringLiteral("out"))});
        QCOMPARE(e.code, 1);
        QVERIFY(!QFile::exists(tree.prefix() + QStringLiteral("/away/a.txt")));
        QVERIFY(tree.exists(QStringLiteral("out/b.txt")));
    }
};

QTEST_GUILESS_MAIN(test_HistoryCli)
#include "test_HistoryCli.moc"
