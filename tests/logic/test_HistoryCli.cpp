// The history on the command line, and what an install killed in the middle leaves after the
// next start: the built veldrin-brx run on real files in a throw-away prefix.
#include "brx/Brx.h"
#include "support/BrxTool.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>

#include <csignal>

namespace {

// Every file of drive C: but the history itself.
QMap<QString, QByteArray> snapshot(const TestTree &tree) { return tree.snapshot({}, {QStringLiteral("Veldrin/Backup/history/")}); }

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
    // Undo and recovery write only in the game folder the settings name.
    tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n");
}

QStringList programArgs(const TestTree &tree)
{
    return {QStringLiteral("--program-folder"), tree.host(QStringLiteral("Veldrin"))};
}

// Two packages that both replace one of the game's files and one of each other's: "big" with
// enough entries to be paused after some of them are in place, "small" with three.
// Starts an install of the tree's package that holds at its point-th moment; true once it
// says it is held there.
bool startHeldAt(QProcess &process, const TestTree &tree, int point, QByteArray *said)
{
    startTool(process, installArgs(tree), point);
    return waitToSay(process, "veldrin-test-paused " + QByteArray::number(point) + '\n', said);
}

void prepareTwo(TestTree &tree)
{
    prepare(tree);
    const QString play = TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\");
    QByteArray big, small;
    for (int i = 0; i < 120; ++i) {
        const QString name = QStringLiteral("big%1.txt").arg(i);
        brx::appendEntry(big, play + name, name, "big " + QByteArray::number(i));
    }
    brx::appendEntry(big, play + QStringLiteral("a.txt"), QStringLiteral("a.txt"), "big's a");
    brx::appendEntry(small, play + QStringLiteral("a.txt"), QStringLiteral("a.txt"), "small's a");
    brx::appendEntry(small, play + QStringLiteral("big7.txt"), QStringLiteral("s7.txt"), "small's big7");
    brx::appendEntry(small, play + QStringLiteral("s.txt"), QStringLiteral("s.txt"), "small's s");
    tree.write(QStringLiteral("big.brx"), big);
    tree.write(QStringLiteral("small.brx"), small);
}

QStringList historyLines(const TestTree &tree)
{
    const Outcome o = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
    return o.out.trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
        // A dry run, and an install refused for writing outside, leave even the history as it was.
        QCOMPARE(brxTool(installArgs(tree) << QStringLiteral("--dry-run")).code, 0);
        QByteArray outside;
        brx::appendEntry(outside, QStringLiteral("C:\\Elsewhere\\x.txt"), QStringLiteral("x.txt"), "x");
        tree.write(QStringLiteral("outside.brx"), outside);
        QCOMPARE(brxTool(installArgs(tree, QStringLiteral("outside.brx"))).code, 1);
        QVERIFY(QDir(tree.host(QStringLiteral("Veldrin/Backup/history"))).isEmpty());
        QFile::remove(tree.host(QStringLiteral("outside.brx")));
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

    // A store that cannot take the originals (its folder taken by a file) stops the install
    // before the game is touched; --no-history installs it without undo.
    void aStoreThatCannotKeepStopsUnlessNoHistory()
    {
        TestTree tree;
        prepare(tree);
        tree.write(QStringLiteral("Veldrin/Backup/history/objects"), "in the way");
        const auto before = snapshot(tree);
        Outcome o = brxTool(installArgs(tree));
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(QStringLiteral("could not be kept for undo")) && o.err.contains(QStringLiteral("--no-history")),
                 qPrintable(o.err));
        QCOMPARE(snapshot(tree), before);
        o = brxTool(installArgs(tree) + QStringList{QStringLiteral("--no-history")});
        QCOMPARE(o.code, 0);
        QVERIFY(snapshot(tree) != before);
        o = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
        QVERIFY2(o.out.trimmed().endsWith(QStringLiteral("\tundo not available")), qPrintable(o.out));
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
        // Ten files: its record (points 1, 2), each file committed (3 to 22), the folders
        // flushed (23). Written in this order, each entry then its backup copy; four of them
        // replace a file and wait beside it until renamed into place, six are new and are
        // written under their own names.
        const bool replaces[] = {true, false, false, true, true, false, false, false, true, false};
        for (const int point : {1, 2, 3, 4, 7, 12, 21, 22, 23}) {
            TestTree tree;
            prepare(tree);
            const auto before = snapshot(tree);
            QProcess process;
            QByteArray said;
            const bool paused = startHeldAt(process, tree, point, &said);
            QVERIFY2(paused && process.state() == QProcess::Running, said.constData());
            // Held right there: the new files, the replaced ones renamed so far, the rest of the
            // batch beside their targets.
            const auto held = snapshot(tree);
            int inPlace = 0, waiting = 0;
            for (auto it = held.cbegin(); it != held.cend(); ++it)
                (it.key().contains(QLatin1String(".veldrin-")) ? waiting : inPlace) += before.value(it.key()) != it.value();
            const int committed = point < 3 ? 0 : qMin(10, (point - 2) / 2);
            const int renamed = int(std::count(replaces, replaces + committed, true));
            QCOMPARE(inPlace, point < 3 ? 0 : 6 + renamed);
            QCOMPARE(waiting, point < 3 ? 0 : 4 - renamed);
            ::kill(pid_t(process.processId()), SIGKILL);
            QVERIFY(process.waitForFinished(20000));
            QCOMPARE(snapshot(tree), held);

            const Outcome next = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
            QCOMPARE(next.code, 0);
            const auto now = snapshot(tree);
            QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("killed at point %1: %2").arg(point).arg(next.err)));
            if (now == before && point > 3) // once a file was really changed
                QVERIFY2(next.err.contains(QStringLiteral("put back")), qPrintable(next.err));
            // Killed before its record was committed, an install has no record at all.
            const bool recorded = now == after ? next.out.contains(QStringLiteral("\tdone"))
                                               : next.out.isEmpty() || next.out.contains(QStringLiteral("\trolled back"));
            QVERIFY2(recorded, qPrintable(next.out));
        }
    }

    // The same for an install that keeps its originals a lot at a time and lets go of its
    // slots, as one of many thousand files does: killed at any of its moments, the next start
    // leaves the trees exactly as before or exactly as after, and the history says which.
    void aKilledInstallInLotsIsWholeOrNotAtAll()
    {
        qputenv("VELDRIN_TEST_LIVE_SLOTS", "3");
        const auto restore = qScopeGuard([] { qunsetenv("VELDRIN_TEST_LIVE_SLOTS"); });
        QMap<QString, QByteArray> after;
        {
            TestTree tree;
            prepare(tree);
            QCOMPARE(brxTool(installArgs(tree)).code, 0);
            after = snapshot(tree);
        }
        int point = 1;
        for (;; ++point) {
            TestTree tree;
            prepare(tree);
            const auto before = snapshot(tree);
            QProcess process;
            QByteArray said;
            if (!startHeldAt(process, tree, point, &said)) {
                // Past its last moment: the install ran to its end.
                QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(20000));
                QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, said.constData());
                QCOMPARE(snapshot(tree), after);
                break;
            }
            ::kill(pid_t(process.processId()), SIGKILL);
            QVERIFY(process.waitForFinished(20000));
            const Outcome next = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
            QCOMPARE(next.code, 0);
            const auto now = snapshot(tree);
            QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("killed at point %1: %2").arg(point).arg(next.err)));
            const bool recorded = now == after ? next.out.contains(QStringLiteral("\tdone"))
                                               : next.out.isEmpty() || next.out.contains(QStringLiteral("\trolled back"));
            QVERIFY2(recorded, qPrintable(next.out));
        }
        // Five lots, each kept and recorded at two moments, before the first file is written.
        QVERIFY2(point > 10 + 20, qPrintable(QString::number(point)));
    }

    // An install over a file changed by hand keeps the change as an add-on under it, asking
    // nothing. Killed right after that record, the next start has the change in and on disk;
    // the install done again finds nothing new, and taking it out brings the change back.
    void anInstallOverAHandEditKeepsItUnderTheInstall()
    {
        TestTree tree;
        prepare(tree);
        QCOMPARE(brxTool(installArgs(tree)).code, 0);
        const QByteArray packaged = tree.read(kPlay + QStringLiteral("a.txt"));
        tree.write(kPlay + QStringLiteral("a.txt"), "edited by the player");
        QByteArray second;
        brx::appendEntry(second, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\a.txt"), QStringLiteral("a.txt"), "q's a");
        tree.write(QStringLiteral("q.brx"), second);
        {
            QProcess process;
            startTool(process, installArgs(tree, QStringLiteral("q.brx")), 2);
            QByteArray said;
            QVERIFY2(waitToSay(process, "veldrin-test-paused 2\n", &said) && process.state() == QProcess::Running, said.constData());
            ::kill(pid_t(process.processId()), SIGKILL);
            QVERIFY(process.waitForFinished(20000));
        }
        Outcome o = brxTool(QStringList{QStringLiteral("addons")} + programArgs(tree));
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out, QStringLiteral("2\tChanged by hand\tby hand\tin\t1\t1\n1\tp.brx\tpackage\tin\t10\t1\n"));
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), QByteArray("edited by the player"));

        QCOMPARE(brxTool(installArgs(tree, QStringLiteral("q.brx"))).code, 0);
        QVERIFY(tree.read(kPlay + QStringLiteral("a.txt")).contains("q's a"));
        o = brxTool(QStringList{QStringLiteral("addons")} + programArgs(tree));
        QVERIFY2(o.out.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral("\tq.brx\tpackage\tin\t"))
                     && o.out.count(QStringLiteral("\tby hand\t")) == 1,
                 qPrintable(o.out));
        const QString q = o.out.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(brxTool(QStringList{QStringLiteral("take-out"), q} + programArgs(tree)).code, 0);
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), QByteArray("edited by the player"));
        QCOMPARE(brxTool(QStringList{QStringLiteral("take-out"), QStringLiteral("2")} + programArgs(tree)).code, 0);
        QCOMPARE(tree.read(kPlay + QStringLiteral("a.txt")), packaged);
    }

    // Two installs on one program folder at once, either first, and either killed: the second
    // waits and says so, nobody takes a running install for a killed one, every install ends
    // whole or not at all and says which, the history has each, and every original comes back.
    void twoInstallsAtOnceOneAfterTheOther_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("pauseAt");
        QTest::addColumn<QString>("killed");
        // big: record (1, 2), then its 242 files and backup copies, all new but the game's
        // a.txt, written under their own names and then committed two points each: at point 40
        // all but a.txt are on disk. small: point 6 after two of its six.
        for (const char *killed : {"first", "second", "neither"}) {
            QTest::addRow("big first, %s killed", killed) << "big" << "small" << 40 << killed;
            QTest::addRow("small first, %s killed", killed) << "small" << "big" << 6 << killed;
        }
    }

    void twoInstallsAtOnceOneAfterTheOther()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, pauseAt);
        QFETCH(QString, killed);
        const QString firstBrx = first + QStringLiteral(".brx"), secondBrx = second + QStringLiteral(".brx");
        // What each alone leaves, and both one after the other (the same for every row).
        static QHash<QString, QMap<QString, QByteArray>> left;
        for (const QStringList &order : {QStringList{firstBrx}, QStringList{secondBrx}, QStringList{firstBrx, secondBrx}}) {
            if (left.contains(order.join(QLatin1Char('+'))))
                continue;
            TestTree tree;
            prepareTwo(tree);
            for (const QString &package : order)
                QCOMPARE(brxTool(installArgs(tree, package)).code, 0);
            left.insert(order.join(QLatin1Char('+')), snapshot(tree));
        }
        const auto firstAlone = left.value(firstBrx), secondAlone = left.value(secondBrx),
                   both = left.value(firstBrx + QLatin1Char('+') + secondBrx);
        QVERIFY(firstAlone != secondAlone && both != firstAlone && both != secondAlone);

        TestTree tree;
        prepareTwo(tree);
        const auto before = snapshot(tree);
        QProcess holder;
        startTool(holder, installArgs(tree, firstBrx), pauseAt);
        QByteArray holderSaid;
        QVERIFY2(waitToSay(holder, "veldrin-test-paused " + QByteArray::number(pauseAt) + '\n', &holderSaid),
                 holderSaid.constData());
        const auto paused = snapshot(tree);
        QVERIFY(paused != before);

        // Looking at the history meanwhile puts nothing back: the install is running.
        Outcome o = brxTool(QStringList{QStringLiteral("history")} + programArgs(tree));
        QCOMPARE(o.code, 0);
        QVERIFY2(o.out.trimmed().endsWith(QStringLiteral("\tunfinished")) && !o.err.contains(QStringLiteral("put back")),
                 qPrintable(o.out + o.err));
        // Not willing to wait: refused in one line, nothing touched.
        o = brxTool(installArgs(tree, secondBrx) << QStringLiteral("--no-wait"));
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.count(QLatin1Char('\n')) == 1 && o.err.contains(QStringLiteral("--no-wait")), qPrintable(o.err));
        QCOMPARE(snapshot(tree), paused);

        QProcess waiter;
        startTool(waiter, installArgs(tree, secondBrx));
        QByteArray waiterSaid;
        QVERIFY2(waitToSay(waiter, "veldrin-brx: waiting for another install to finish\n", &waiterSaid), waiterSaid.constData());
        QCOMPARE(waiter.state(), QProcess::Running);
        QCOMPARE(snapshot(tree), paused);

        QProcess &victim = killed == QLatin1String("first") ? holder : waiter;
        if (killed != QLatin1String("neither")) {
            ::kill(pid_t(victim.processId()), SIGKILL);
            QVERIFY(victim.state() == QProcess::NotRunning || victim.waitForFinished(30000));
            QCOMPARE(victim.exitStatus(), QProcess::CrashExit);
        }
        if (holder.state() == QProcess::Running)
            ::kill(pid_t(holder.processId()), SIGUSR1);
        QProcess *const survivors[] = {&holder, &waiter};
        for (QProcess *p : survivors) {
            if (p == &victim && killed != QLatin1String("neither"))
                continue;
            QVERIFY(p->state() == QProcess::NotRunning || p->waitForFinished(60000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
            const QString package = p == &holder ? firstBrx : secondBrx;
            const QString out = QString::fromLocal8Bit(p->readAllStandardOutput());
            QVERIFY2(out.startsWith(tree.host(package) + QStringLiteral(": installed ")), qPrintable(out));
        }
        waiterSaid += waiter.readAllStandardError();
        // Only a killed install is recovered, and its survivor says so.
        QCOMPARE(waiterSaid.contains("stopped in the middle of an install"), killed == QLatin1String("first"));
        // Counted, and named only so far: the rest is in the history window.
        if (killed == QLatin1String("first") && first == QLatin1String("big"))
            QVERIFY2(waiterSaid.contains(". 241 files put back as they were: ") && waiterSaid.contains(" and 231 more: see Tools > Install History."),
                     waiterSaid.constData());
        else if (killed == QLatin1String("first"))
            QVERIFY2(waiterSaid.contains(". 6 files put back as they were: ") && !waiterSaid.contains(" more: "), waiterSaid.constData());

        const QStringList lines = historyLines(tree);
        if (killed == QLatin1String("first")) {
            QCOMPARE(snapshot(tree), secondAlone);
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).startsWith(QStringLiteral("2\t")) && lines.at(0).endsWith(QStringLiteral("\tdone")), qPrintable(lines.at(0)));
            QVERIFY2(lines.at(1).startsWith(QStringLiteral("1\t")) && lines.at(1).endsWith(QStringLiteral("\trolled back")), qPrintable(lines.at(1)));
        } else if (killed == QLatin1String("second")) {
            QCOMPARE(snapshot(tree), firstAlone);
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.at(0).endsWith(QStringLiteral("\tdone")) && lines.at(0).contains(firstBrx), qPrintable(lines.at(0)));
        } else {
            QCOMPARE(snapshot(tree), both);
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).contains(secondBrx) && lines.at(0).endsWith(QStringLiteral("\tdone")), qPrintable(lines.at(0)));
            QVERIFY2(lines.at(1).contains(firstBrx) && lines.at(1).endsWith(QStringLiteral("\tdone")), qPrintable(lines.at(1)));
        }
        o = brxTool(QStringList{QStringLiteral("undo"), QStringLiteral("--all"), QStringLiteral("--yes")} + programArgs(tree));
        QVERIFY2(o.code == 0, qPrintable(o.err));
        QCOMPARE(snapshot(tree), before);
    }
};

QTEST_GUILESS_MAIN(test_HistoryCli)
#include "test_HistoryCli.moc"
