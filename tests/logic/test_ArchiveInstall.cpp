// Add-on archives: each layout players download lands where the plan says, byte for byte, as
// one history entry that one undo takes back; hostile and damaged archives write nothing and
// say why. Archives are built here with libarchive's writer.
#include "brx/Archive.h"
#include "brx/Brx.h"
#include "install/ArchivePlan.h"
#include "install/HistoryFolder.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "platform/HostFiles.h"
#include "support/TestTree.h"

#include <QTest>

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");

// Every file of drive C: but the archives and the history itself.
QMap<QString, QByteArray> snapshot(const TestTree &tree) { return tree.snapshot({}, {QStringLiteral("in/"), QStringLiteral("Veldrin/Backup/history/")}); }

QByteArray landscape()
{
    QByteArray bytes("LND\0\x01\x02", 6);
    for (int i = 0; i < 5000; ++i)
        bytes.append(char(i * 7));
    return bytes;
}

// A fan site's layout: the game's folders under the add-on's own, a readme beside them, and
// loose files of every kind.
struct Layout
{
    QList<QPair<QString, QByteArray>> files;
    QMap<QString, QString> where; // source -> target relative to drive_c, "" for left out
};

Layout fanSiteLayout()
{
    Layout l;
    QString package;
    brx::appendEntry(package, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\packed.txt"),
                     QStringLiteral("packed.txt"), QStringLiteral("from the package"));
    auto add = [&](const char *source, const QByteArray &bytes, const QString &target) {
        l.files.append({QLatin1String(source), bytes});
        l.where.insert(QLatin1String(source), target);
    };
    add("Island-v2/Black & White/Scripts/Playgrounds/island.txt", "// Island\r\nRUN\r\n",
        kGame + QStringLiteral("Scripts/Playgrounds/island.txt"));
    add("Island-v2/Black & White/data/LANDSCAPE/island.lnd", landscape(), kGame + QStringLiteral("Data/Landscape/island.lnd"));
    add("Island-v2/ReadMe.txt", "Island by someone\r\n", QStringLiteral("Veldrin/Downloads/island-pack/ReadMe.txt"));
    add("extra/hill.txt", "// Hill\r\n", kGame + QStringLiteral("Scripts/Playgrounds/hill.txt"));
    add("wolf.l3d", QByteArray("L3D\0wolf", 8), kGame + QStringLiteral("Data/CreatureMesh/wolf.l3d"));
    add("Profiles/Player1/symbol3.bmp", "BM profile", kGame + QStringLiteral("Profiles/Player1/symbol3.bmp"));
    add("art/sun.bmp", "BM sun", QStringLiteral("Veldrin/Downloads/island-pack/sun.bmp"));
    add("pack.brx", package.toLatin1(), kGame + QStringLiteral("Scripts/Playgrounds/packed.txt"));
    add("site.nfo", "nfo", QStringLiteral("Veldrin/Downloads/island-pack/site.nfo"));
    add("setup.exe", "MZ", QString());
    add("Profiles/Nobody/symbol2.bmp", "BM nobody", QString()); // no such profile: no folder is made
    add("SHOUT.TXT", "capitals", QString());
    return l;
}

QByteArray build(archives::Writer::Format format, const QList<QPair<QString, QByteArray>> &files)
{
    archives::Writer writer(format);
    for (const auto &f : files)
        writer.addFile(f.first, f.second);
    return writer.finish();
}

} // namespace

class test_ArchiveInstall : public QObject
{
    Q_OBJECT

    TestTree *m_tree = nullptr;

    QString put(const QString &name, const QByteArray &bytes)
    {
        m_tree->write(QStringLiteral("in/") + name, bytes);
        return TestTree::win(QStringLiteral("in/") + name);
    }
    archiveplan::Plan plan(const QString &archive, const archives::Limits &limits = {})
    {
        return archiveplan::makePlan(archive, TestTree::gameFolder(), TestTree::programFolder(), limits);
    }
    archiveplan::InstallResult install(const archiveplan::Plan &p)
    {
        return archiveplan::install(p, TestTree::gameFolder(), TestTree::programFolder());
    }

private slots:
    void initTestCase() { hostfs::setFlushingForTesting(false); }
    void cleanupTestCase() { hostfs::setFlushingForTesting(true); }
    void init()
    {
        m_tree = new TestTree;
        m_tree->makeGameAndProgramFolders();
        m_tree->mkdir(kGame + QStringLiteral("Profiles/Player1"));
        m_tree->write(kGame + QStringLiteral("Scripts/Playgrounds/island.txt"), "// the old island\r\n");
        history::createFolder(TestTree::programFolder());
    }
    void cleanup()
    {
        delete m_tree;
        m_tree = nullptr;
        install::Transaction::failWriteForTesting(0);
    }

    void layoutsLandAsPlannedAndUndoAsOne_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("zip") << int(archives::Writer::Zip) << QStringLiteral("island-pack.zip");
        QTest::newRow("7z") << int(archives::Writer::SevenZip) << QStringLiteral("island-pack.7z");
        QTest::newRow("tar.gz") << int(archives::Writer::TarGz) << QStringLiteral("island-pack.tar.gz");
    }
    void layoutsLandAsPlannedAndUndoAsOne()
    {
        QFETCH(int, format);
        QFETCH(QString, name);
        const Layout layout = fanSiteLayout();
        const QString archive = put(name, build(archives::Writer::Format(format), layout.files));
        const auto before = snapshot(*m_tree);

        const archiveplan::Plan p = plan(archive);
        QVERIFY2(p.ok(), qPrintable(p.refusal));
        QCOMPARE(p.items.size(), layout.files.size());
        for (const archiveplan::Item &item : p.items) {
            const QString expected = layout.where.value(item.source);
            QCOMPARE(item.target, expected.isEmpty() ? QString() : TestTree::win(expected));
            QCOMPARE(item.kind == archiveplan::Item::LeftOut, expected.isEmpty());
        }
        QVERIFY(archiveplan::planLines(p).contains(QStringLiteral("setup.exe\tleft out: not a kind of file Veldrin installs")));
        QVERIFY(archiveplan::planLines(p).contains(QStringLiteral("Profiles/Nobody/symbol2.bmp\tleft out: the game has no folder ")
                                                   + TestTree::gameFolder() + QStringLiteral("Profiles\\Nobody\\")));
        QVERIFY(archiveplan::planLines(p).contains(
            QStringLiteral("art/sun.bmp\t") + TestTree::win(QStringLiteral("Veldrin/Downloads/island-pack/sun.bmp"))));
        QCOMPARE(snapshot(*m_tree), before); // planning writes nothing

        const int operationsBefore = int(history::History(TestTree::programFolder()).operations().size());
        const archiveplan::InstallResult result = install(p);
        QCOMPARE(result.outcome, archiveplan::InstallResult::Installed);
        QVERIFY2(result.message.isEmpty(), qPrintable(result.message));
        for (const auto &f : layout.files) {
            const QString target = layout.where.value(f.first);
            if (target.isEmpty())
                continue;
            QVERIFY2(m_tree->exists(target), qPrintable(target));
            if (!f.first.endsWith(QLatin1String(".brx")))
                QCOMPARE(m_tree->read(target), f.second);
        }
        // A package inside installs as a package does: each entry's bytes, and its copy in Backup\brx\.
        const QByteArray packed = brx::readEntries(layout.files.at(7).second).entries.value(0).installBytes();
        QVERIFY(packed.contains("from the package"));
        QCOMPARE(m_tree->read(kGame + QStringLiteral("Scripts/Playgrounds/packed.txt")), packed);
        QCOMPARE(m_tree->read(QStringLiteral("Veldrin/Backup/brx/packed.txt")), packed);
        QVERIFY(!m_tree->exists(kGame + QStringLiteral("setup.exe")));

        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        const QList<history::Operation> ops = h.operations();
        QCOMPARE(int(ops.size()), operationsBefore + 1);
        QCOMPARE(ops.first().route, QStringLiteral("archive"));
        QCOMPARE(ops.first().id, result.operation);
        const history::UndoOutcome undone = h.undo(result.operation, false);
        QCOMPARE(undone.result, history::UndoOutcome::Done);
        QCOMPARE(snapshot(*m_tree), before);
    }

    void untickedAndFailedWritesLeaveTheGameAlone()
    {
        const Layout layout = fanSiteLayout();
        const QString archive = put(QStringLiteral("island-pack.zip"), build(archives::Writer::Zip, layout.files));
        archiveplan::Plan p = plan(archive);
        for (archiveplan::Item &item : p.items)
            item.chosen = item.source.endsWith(QLatin1String("hill.txt"));
        QCOMPARE(install(p).outcome, archiveplan::InstallResult::Installed);
        QVERIFY(m_tree->exists(kGame + QStringLiteral("Scripts/Playgrounds/hill.txt")));
        QCOMPARE(m_tree->read(kGame + QStringLiteral("Scripts/Playgrounds/island.txt")), QByteArray("// the old island\r\n"));
        QVERIFY(!m_tree->exists(QStringLiteral("Veldrin/Downloads/island-pack")));

        // All or nothing: the third write fails, and every file goes back.
        p = plan(archive);
        const auto before = snapshot(*m_tree);
        install::Transaction::failWriteForTesting(3);
        const archiveplan::InstallResult failed = install(p);
        QCOMPARE(failed.outcome, archiveplan::InstallResult::Failed);
        QVERIFY2(failed.message.contains(QLatin1String("put back")), qPrintable(failed.message));
        QCOMPARE(snapshot(*m_tree), before);
        QVERIFY(!m_tree->exists(QStringLiteral("Veldrin/Downloads/island-pack")));
    }

    void hostileArchivesWriteNothingAndSayWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("maxTotal");
        const QByteArray map("// map\r\n");
        auto one = [&](const std::function<void(archives::Writer &)> &more, archives::Writer::Format f = archives::Writer::Zip,
                       const QByteArray &passphrase = {}) {
            archives::Writer w(f, passphrase);
            w.addFile(QStringLiteral("Scripts/Playgrounds/good.txt"), map);
            more(w);
            return w.finish();
        };
        const qint64 all = archives::Limits().maxTotal;
        QTest::newRow("dotdot") << one([&](auto &w) { w.addFile(QStringLiteral("maps/../../../evil.txt"), map); })
                                << QStringLiteral("a.zip") << QStringLiteral("outside itself") << all;
        QTest::newRow("absolute") << one([&](auto &w) { w.addFile(QStringLiteral("/etc/evil.txt"), map); }, archives::Writer::TarGz)
                                  << QStringLiteral("a.tar.gz") << QStringLiteral("outside itself") << all;
        QTest::newRow("drive") << one([&](auto &w) { w.addFile(QStringLiteral("C:\\evil.txt"), map); })
                               << QStringLiteral("a.zip") << QStringLiteral("outside itself") << all;
        QTest::newRow("symlink") << one([&](auto &w) { w.addLink(QStringLiteral("Scripts/Playgrounds/l.txt"), QStringLiteral("/etc/passwd"), false); },
                                        archives::Writer::TarGz)
                                 << QStringLiteral("a.tar.gz") << QStringLiteral("holds a link") << all;
        QTest::newRow("hardlink") << one([&](auto &w) { w.addLink(QStringLiteral("h.txt"), QStringLiteral("Scripts/Playgrounds/good.txt"), true); },
                                         archives::Writer::TarGz)
                                  << QStringLiteral("a.tar.gz") << QStringLiteral("holds a link") << all;
        QTest::newRow("device") << one([&](auto &w) { w.addDevice(QStringLiteral("dev.txt")); }, archives::Writer::TarGz)
                                << QStringLiteral("a.tar.gz") << QStringLiteral("device") << all;
        QTest::newRow("encrypted") << one([](auto &) {}, archives::Writer::Zip, "secret") << QStringLiteral("a.zip") << QStringLiteral("encrypted") << all;
        QTest::newRow("too large") << one([&](auto &w) { w.addFile(QStringLiteral("big.lnd"), QByteArray(3 << 20, 'x')); })
                                   << QStringLiteral("a.zip") << QStringLiteral("unpacks to more than 2.0 MB") << (qint64(2) << 20);
        const QByteArray whole = one([&](auto &w) { w.addFile(QStringLiteral("more.lnd"), landscape()); });
        QTest::newRow("truncated") << whole.left(whole.size() / 2) << QStringLiteral("a.zip") << QStringLiteral("damaged or cut short") << all;
        QByteArray flipped = one([&](auto &w) { w.addFile(QStringLiteral("more.lnd"), landscape()); }, archives::Writer::TarGz);
        for (int i = 40; i < 80; ++i)
            flipped[i] = char(~flipped[i]);
        QTest::newRow("corrupt") << flipped << QStringLiteral("a.tar.gz") << QStringLiteral("damaged or cut short") << all;
        QTest::newRow("tar named zip") << one([](auto &) {}, archives::Writer::TarGz) << QStringLiteral("a.zip") << QStringLiteral("not a zip archive") << all;
        QTest::newRow("text named zip") << QByteArray("just some text\r\n") << QStringLiteral("a.zip") << QStringLiteral("not a zip archive") << all;
        archives::Writer many(archives::Writer::TarGz);
        for (int i = 0; i <= archives::Limits().maxEntries; ++i)
            many.addFolder(QStringLiteral("f%1/").arg(i));
        QTest::newRow("too many entries") << many.finish() << QStringLiteral("a.tar.gz") << QStringLiteral("more than 65536 entries") << all;
    }
    void hostileArchivesWriteNothingAndSayWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QFETCH(qint64, maxTotal);
        QVERIFY(!bytes.isEmpty());
        const QString archive = put(name, bytes);
        const auto before = snapshot(*m_tree);
        archives::Limits limits;
        limits.maxTotal = maxTotal;
        const archiveplan::Plan p = plan(archive, limits);
        QVERIFY2(!p.ok(), qPrintable(archiveplan::planLines(p).join(QLatin1Char('\n'))));
        QVERIFY2(p.refusal.startsWith(name) && p.refusal.contains(reason), qPrintable(p.refusal));
        const archiveplan::InstallResult result = install(p);
        QCOMPARE(result.outcome, archiveplan::InstallResult::Refused);
        QVERIFY(result.message.contains(p.refusal));
        QCOMPARE(snapshot(*m_tree), before);
    }

    // Unpacked against packed size: a small archive that unpacks to a great deal.
    void bombRatioIsRefused()
    {
        archives::Writer w(archives::Writer::Zip);
        w.addFile(QStringLiteral("zeros.lnd"), QByteArray(8 << 20, '\0'));
        const QString archive = put(QStringLiteral("bomb.zip"), w.finish());
        archives::Limits limits;
        limits.ratioFrom = 4 << 20;
        const archiveplan::Plan p = plan(archive, limits);
        QVERIFY2(p.refusal.contains(QLatin1String("decompression bomb")), qPrintable(p.refusal));
        // The same archive under the real threshold is fine: the ratio alone is no reason.
        QVERIFY(plan(archive).ok());
    }
};

QTEST_GUILESS_MAIN(test_ArchiveInstall)
#include "test_ArchiveInstall.moc"
