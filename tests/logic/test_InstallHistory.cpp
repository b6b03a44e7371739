// Undo, in any order, over every install route: seeded random sequences of installs and undos
// must give back the game byte for byte. Also what a damaged history does and does not do.
#include "installer/Brx.h"
#include "installer/InstallByType.h"
#include "installer/InstallHistory.h"
#include "installer/InstallTransaction.h"
#include "managers/GameFileInstall.h"
#include "managers/TattooFiles.h"
#include "platform/HostFiles.h"
#include "support/TestTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");

QString game(const QString &rest) { return TestTree::gameFolder() + rest; }

// Every file of drive C: but the sources the test picks from and the history itself, by real
// host path.
QMap<QString, QByteArray> snapshot(const TestTree &tree)
{
    QMap<QString, QByteArray> files;
    const QString root = QFileInfo(tree.driveC()).canonicalFilePath();
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(root + QLatin1String("/in/")) || path.contains(QLatin1String("/Backup/history/")))
            continue;
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(path, file.readAll());
    }
    return files;
}

QSet<QString> differing(const QMap<QString, QByteArray> &a, const QMap<QString, QByteArray> &b)
{
    QSet<QString> keys(a.keyBegin(), a.keyEnd());
    keys.unite(QSet<QString>(b.keyBegin(), b.keyEnd()));
    QSet<QString> changed;
    for (const QString &key : keys) {
        if (a.value(key, QByteArray("\xff missing")) != b.value(key, QByteArray("\xff missing")))
            changed.insert(key);
    }
    return changed;
}

class Sequence
{
public:
    Sequence(TestTree &tree, quint32 seed) : m_tree(tree), m_random(seed) {}

    QByteArray content()
    {
        QByteArray bytes(int(m_random.bounded(24)), Qt::Uninitialized);
        const bool binary = m_random.bounded(3) == 0;
        for (char &c : bytes)
            c = binary ? char(m_random.bounded(256)) : char('a' + m_random.bounded(26));
        return bytes;
    }
    QString pick(const QStringList &names) { return names.at(int(m_random.bounded(int(names.size())))); }

    // One install by a random route; false when the route had nothing to do.
    void install()
    {
        const QString program = TestTree::programFolder();
        const QStringList maps{QStringLiteral("a.txt"), QStringLiteral("b.txt")};
        const QStringList lands{QStringLiteral("h.lnd"), QStringLiteral("k.lnd")};
        switch (m_random.bounded(6)) {
        case 0:
            QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(), program,
                                         game(QStringLiteral("Scripts\\Playgrounds\\") + pick(maps)), content()));
            break;
        case 1:
        case 2: {
            const bool land = m_random.bounded(2) == 0;
            const QString name = land ? pick(lands) : QStringLiteral("w.l3d");
            gamefile::Source source;
            source.binary = true;
            source.bytes = content();
            gamefile::installWithBackup(source, game((land ? QStringLiteral("Data\\Landscape\\") : QStringLiteral("Data\\CreatureMesh\\")) + name),
                                        program + (land ? QStringLiteral("Backup\\Landscape\\") : QStringLiteral("Backup\\Skin\\")) + name,
                                        {land ? QStringLiteral("landscape") : QStringLiteral("skin"), QStringLiteral("frmExtra"),
                                         TestTree::gameFolder(), program});
            break;
        }
        case 3: {
            const QString name = pick(maps + lands);
            m_tree.write(QStringLiteral("in/") + name, content());
            const auto chosen = installbytype::loadChosenFile(TestTree::win(QStringLiteral("in/") + name));
            installbytype::InstallGameFile(chosen, TestTree::gameFolder(), program,
                                           installbytype::typeForPath(name).subfolder);
            break;
        }
        case 4: {
            const int slot = 1 + int(m_random.bounded(3));
            const QByteArray picture = QByteArray("BM") + content();
            tattoo::installPick(picture, TestTree::gameFolder(), program, game(QStringLiteral("Profiles\\Player1\\")), slot);
            break;
        }
        default: {
            QByteArray package;
            const int entries = 1 + int(m_random.bounded(3));
            for (int i = 0; i < entries; ++i) {
                const QString name = pick(maps + lands);
                brx::appendBinaryEntry(package, game(installbytype::typeForPath(name).subfolder + name), name, content());
            }
            brx::InstallOptions options;
            options.gameFolder = TestTree::gameFolder();
            options.programFolder = program;
            QCOMPARE(brx::installPackage(package, options).outcome, brx::InstallResult::Installed);
            break;
        }
        }
    }

    // Undoes a random operation that can be undone; checks that only its files changed.
    bool undoOne(QString *problem)
    {
        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        QList<qint64> candidates;
        for (const history::Operation &op : h.operations()) {
            if (op.state == history::State::Done)
                candidates << op.id;
        }
        if (candidates.isEmpty())
            return true;
        const qint64 id = candidates.at(int(m_random.bounded(int(candidates.size()))));
        QSet<QString> files;
        for (const history::FileChange &f : h.files(id))
            files.insert(f.hostPath);
        const auto before = snapshot(m_tree);
        history::UndoOutcome outcome = h.undo(id, false);
        if (outcome.result == history::UndoOutcome::NeedsConfirmation)
            outcome = h.undo(id, true);
        if (outcome.result != history::UndoOutcome::Done) {
            *problem = QStringLiteral("undo %1 gave %2: %3").arg(id).arg(outcome.result).arg(outcome.message);
            return false;
        }
        QSet<QString> changed = differing(before, snapshot(m_tree));
        if (!files.contains(changed)) {
            *problem = QStringLiteral("undo %1 changed files it never wrote: %2")
                           .arg(id)
                           .arg(QStringList(changed.subtract(files).values()).join(QLatin1String(", ")));
            return false;
        }
        return true;
    }

    quint32 bounded(quint32 n) { return m_random.bounded(n); }

private:
    TestTree &m_tree;
    QRandomGenerator m_random;
};

void startingTree(TestTree &tree)
{
    tree.makeGameAndProgramFolders();
    tree.mkdir(kGame + QStringLiteral("Profiles/Player1"));
    tree.write(kGame + QStringLiteral("Scripts/Playgrounds/a.txt"), "the game's own map\r\n");
    tree.write(kGame + QStringLiteral("Data/Landscape/h.lnd"), QByteArray("LND\0\x01hills", 10));
    tree.write(kGame + QStringLiteral("Data/CreatureMesh/w.l3d"), QByteArray("L3D\0wolf", 8));
    tree.write(kGame + QStringLiteral("Profiles/Player1/symbol1.bmp"), "BM player one");
    tree.write(kGame + QStringLiteral("Profiles/Player1/symbol2.bmp"), "BM player two");
    tree.write(QStringLiteral("Veldrin/a.txt.bak"), "an old backup");
    tree.write(QStringLiteral("Veldrin/Backup/tattoos/symbol1.bmp"), "BM an old pick");
    history::createFolder(TestTree::programFolder());
}

} // namespace

class test_InstallHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Thousands of small files come and go: in memory where the machine allows it.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        hostfs::setFlushingForTesting(false);
    }
    void cleanupTestCase() { hostfs::setFlushingForTesting(true); }

    // The heart of it: whatever was installed by whatever route, and undone in whatever order,
    // restoring every original gives back the tree exactly as it was before the first install.
    void randomInstallsAndUndosAlwaysComeBack()
    {
        const int sequences = qEnvironmentVariableIntValue("VELDRIN_HISTORY_SEQUENCES") > 0
            ? qEnvironmentVariableIntValue("VELDRIN_HISTORY_SEQUENCES")
            : 200;
        // One tree for all sequences: each must end exactly where it began anyway; only the
        // history starts afresh.
        TestTree tree;
        startingTree(tree);
        const auto original = snapshot(tree);
        for (int seed = 1; seed <= sequences; ++seed) {
            QVERIFY(QDir(tree.host(QStringLiteral("Veldrin/Backup/history"))).removeRecursively());
            QVERIFY(history::createFolder(TestTree::programFolder()));
            Sequence sequence(tree, quint32(seed));
            const int steps = 3 + int(sequence.bounded(6));
            QString problem;
            for (int step = 0; step < steps; ++step) {
                if (sequence.bounded(3) == 0)
                    QVERIFY2(sequence.undoOne(&problem), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(problem)));
                else
                    sequence.install();
            }
            history::History h(TestTree::programFolder(), TestTree::gameFolder());
            history::UndoOutcome outcome = h.restoreAllOriginals(false);
            if (outcome.result == history::UndoOutcome::NeedsConfirmation)
                outcome = h.restoreAllOriginals(true);
            QVERIFY2(outcome.result == history::UndoOutcome::Done || outcome.message.contains(QLatin1String("not changed any")),
                     qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(outcome.message)));
            const QSet<QString> left = differing(original, snapshot(tree));
            QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("seed %1: not restored: %2")
                                                    .arg(seed)
                                                    .arg(QStringList(left.values()).join(QLatin1String(", ")))));
            // Restoring everything is itself an operation: undone, and restored once more, the
            // tree comes back again.
            if (outcome.operation && seed % 4 == 0) {
                QCOMPARE(h.undo(outcome.operation, false).result, history::UndoOutcome::Done);
                QCOMPARE(h.operations().first().route, QStringLiteral("undo"));
                QCOMPARE(h.restoreAllOriginals(true).result, history::UndoOutcome::Done);
                QVERIFY2(snapshot(tree) == original, qPrintable(QStringLiteral("seed %1: restored twice").arg(seed)));
            }
        }
    }

    // An undo asks before it overwrites what was changed since, and never writes kept bytes
    // that no longer match their hash.
    void undoAsksAboutChangesAndRefusesBadBytes()
    {
        TestTree tree;
        startingTree(tree);
        const QString map = kGame + QStringLiteral("Scripts/Playgrounds/a.txt");
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), game(QStringLiteral("Scripts\\Playgrounds\\a.txt")), "mine"));
        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        const history::Operation op = h.operations().first();
        QCOMPARE(op.route, QStringLiteral("map"));
        QCOMPARE(op.fileCount, 1);
        tree.write(map, "edited by hand");
        QVERIFY(h.files(op.id).first().changedSince);
        history::UndoOutcome outcome = h.undo(op.id, false);
        QCOMPARE(outcome.result, history::UndoOutcome::NeedsConfirmation);
        QCOMPARE(outcome.changed, QStringList{game(QStringLiteral("Scripts\\Playgrounds\\a.txt"))});
        QCOMPARE(tree.read(map), QByteArray("edited by hand"));

        const QString object = tree.host(QStringLiteral("Veldrin/Backup/history/objects/") + h.files(op.id).first().previousHash);
        QFile(object).remove();
        tree.write(QStringLiteral("Veldrin/Backup/history/objects/") + h.files(op.id).first().previousHash, "tampered");
        outcome = h.undo(op.id, true);
        QCOMPARE(outcome.result, history::UndoOutcome::Refused);
        QVERIFY(outcome.message.contains(QLatin1String("do not match")));
        QCOMPARE(tree.read(map), QByteArray("edited by hand"));
        QCOMPARE(h.undo(9999, true).result, history::UndoOutcome::Refused);
    }

    // A hand-edited record is named once and skipped; a journal that is not a database at all
    // is set aside and a new one started; neither stops an install.
    void aDamagedHistoryNeverBlocksAnInstall()
    {
        TestTree tree;
        startingTree(tree);
        const QString target = game(QStringLiteral("Scripts\\Playgrounds\\b.txt"));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), target, "one"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE operations SET began = 'yesterday-ish'")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
        const QString told = history::recoverUnfinished(TestTree::programFolder(), TestTree::gameFolder());
        QVERIFY2(told.contains(QLatin1String("damaged")), qPrintable(told));
        QVERIFY(history::recoverUnfinished(TestTree::programFolder(), TestTree::gameFolder()).isEmpty()); // once
        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        QCOMPARE(h.operations().first().state, history::State::Damaged);
        QCOMPARE(h.undo(h.operations().first().id, true).result, history::UndoOutcome::Refused);
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/b.txt")), QByteArray("one"));

        // Twice in a row, as fast as it goes: each damaged journal keeps a name of its own.
        for (const char fill : {'x', 'y'}) {
            tree.write(QStringLiteral("Veldrin/Backup/history/journal.sqlite"), QByteArray(4096, fill));
            QFile::remove(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite-wal")));
            QFile::remove(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite-shm")));
            const QString setAside = history::recoverUnfinished(TestTree::programFolder(), TestTree::gameFolder());
            QVERIFY2(setAside.contains(QLatin1String("set aside")), qPrintable(setAside));
        }
        const QDir folder(tree.host(QStringLiteral("Veldrin/Backup/history")));
        QSet<QByteArray> kept;
        for (const QString &name : folder.entryList({QStringLiteral("journal.sqlite.damaged-*")}, QDir::Files))
            kept << tree.read(QStringLiteral("Veldrin/Backup/history/") + name);
        QCOMPARE(kept, (QSet<QByteArray>{QByteArray(4096, 'x'), QByteArray(4096, 'y')}));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), target, "two"));
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/b.txt")), QByteArray("two"));
        QCOMPARE(history::History(TestTree::programFolder(), TestTree::gameFolder()).operations().size(), 1);
    }
};

QTEST_GUILESS_MAIN(test_InstallHistory)
#include "test_InstallHistory.moc"
