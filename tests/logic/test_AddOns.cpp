// Add-ons taken out, put back and reordered in any order over every install route, with hand
// edits between: seeded random sequences checked after every step against the test's own idea
// of the layers, and taking everything out must give back the tree of before, byte for byte.
#include "brx/Archive.h"
#include "brx/Brx.h"
#include "install/AddOns.h"
#include "install/ArchivePlan.h"
#include "install/BrxInstall.h"
#include "install/HistoryFolder.h"
#include "install/InstallByType.h"
#include "install/InstallTransaction.h"
#include "managers/GameFileInstall.h"
#include "managers/TattooFiles.h"
#include "platform/HostFiles.h"
#include "support/SlotModes.h"
#include "support/TestTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <optional>

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");

QString game(const QString &rest) { return TestTree::gameFolder() + rest; }

using Bytes = std::optional<QByteArray>;

Bytes onDisk(const QString &host)
{
    QFile file(host);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Every file of drive C: but the sources the test picks from and the history itself.
QMap<QString, QByteArray> snapshot(const TestTree &tree)
{
    QMap<QString, QByteArray> files;
    const QString root = QFileInfo(tree.driveC()).canonicalFilePath();
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(root + QLatin1String("/in/")) || path.contains(QLatin1String("/Backup/history/")))
            continue;
        files.insert(path, *onDisk(path));
    }
    return files;
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
        switch (m_random.bounded(7)) {
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
        case 5: {
            // An add-on archive: its files found by the game's own folder names inside it.
            archives::Writer writer(archives::Writer::Zip);
            const int entries = 1 + int(m_random.bounded(2));
            for (int i = 0; i < entries; ++i) {
                const QString name = pick(maps + lands);
                const bool map = name.endsWith(QLatin1String(".txt"));
                QVERIFY(writer.addFile((map ? QStringLiteral("Black & White/Scripts/Playgrounds/") : QStringLiteral("Black & White/Data/Landscape/")) + name,
                                       content() + name.toLatin1()));
            }
            m_tree.write(QStringLiteral("in/pack.zip"), writer.finish());
            const archiveplan::Plan plan = archiveplan::makePlan(TestTree::win(QStringLiteral("in/pack.zip")), TestTree::gameFolder(), program);
            QVERIFY2(plan.ok(), qPrintable(plan.refusal));
            QCOMPARE(archiveplan::install(plan, TestTree::gameFolder(), program).outcome, archiveplan::InstallResult::Installed);
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

    // The test's own picture of the layers, kept beside Veldrin's and compared with the disk.
    struct Layer
    {
        QHash<QString, Bytes> files; // host -> what the add-on wrote
    };
    QMap<QString, QByteArray> original;
    QList<qint64> order;             // bottom first
    QSet<qint64> out;
    QHash<qint64, Layer> layers;
    QHash<QString, QByteArray> handEdits; // edits not yet noticed: host -> bytes (or removed)
    QSet<QString> handRemoved;

    Bytes expected(const QString &host) const
    {
        for (auto it = order.crbegin(); it != order.crend(); ++it) {
            if (!out.contains(*it) && layers.value(*it).files.contains(host))
                return layers.value(*it).files.value(host);
        }
        return original.contains(host) ? Bytes(original.value(host)) : Bytes();
    }
    QStringList hosts() const
    {
        QSet<QString> all;
        for (const Layer &l : layers)
            for (auto it = l.files.constBegin(); it != l.files.constEnd(); ++it)
                all.insert(it.key());
        QStringList list(all.begin(), all.end());
        list.sort();
        return list;
    }
    // A new add-on Veldrin reports: its files, and their bytes as they are on disk now.
    void learn(history::AddOns &addOns, qint64 id, bool on, bool byHand = false)
    {
        Layer layer;
        // A hand edit holds what the test wrote: the operation may have overwritten it since.
        for (const history::AddOnFile &f : addOns.files(id)) {
            const auto edit = handEdits.constFind(f.host);
            layer.files.insert(f.host, !byHand || edit == handEdits.constEnd() ? onDisk(f.host)
                                   : *edit == QByteArray("\xff removed") ? Bytes() : Bytes(*edit));
        }
        layers.insert(id, layer);
        order << id;
        if (!on)
            out.insert(id);
    }
    qint64 newest(history::AddOns &addOns) const
    {
        qint64 top = 0;
        for (const history::AddOn &a : addOns.list())
            top = std::max(top, a.id);
        return top;
    }

    bool step(QString *problem)
    {
        history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
        const qint64 before = newest(addOns);
        const quint32 what = m_random.bounded(10);
        if (what < 4 || order.isEmpty()) {
            // An install over a hand edit keeps the edit as a layer of its own, under the
            // install: taking the install out must bring the edit back.
            install();
            // A window's install may be more than one operation (its copy, then the file).
            QList<qint64> fresh, hands;
            for (const history::AddOn &a : addOns.list()) {
                if (a.id > before)
                    (a.kind == QLatin1String("by hand") ? hands : fresh).prepend(a.id);
            }
            for (const qint64 id : std::as_const(hands)) {
                learn(addOns, id, true, true);
                for (const QString &host : layers.value(id).files.keys()) {
                    if (!handEdits.remove(host))
                        return (*problem = QStringLiteral("%1 kept as changed by hand, but it was not").arg(host), false);
                }
            }
            for (const qint64 id : std::as_const(fresh))
                learn(addOns, id, true);
            for (const qint64 id : std::as_const(fresh)) {
                for (const QString &host : layers.value(id).files.keys()) {
                    if (handEdits.remove(host))
                        return (*problem = QStringLiteral("the hand edit of %1 was not kept as a layer").arg(host), false);
                }
            }
            return check(problem, QStringLiteral("install"));
        }
        if (what == 4) {
            const QStringList all = hosts();
            const QString host = all.at(int(m_random.bounded(int(all.size()))));
            if (m_random.bounded(4) == 0 && expected(host)) {
                QFile::remove(host);
                handEdits.insert(host, QByteArray("\xff removed"));
            } else {
                const QByteArray bytes = "by hand " + content();
                QFile file(host);
                if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                    return (*problem = QStringLiteral("cannot edit %1").arg(host), false);
                handEdits.insert(host, bytes);
            }
            return check(problem, QStringLiteral("hand edit"));
        }
        const qint64 id = order.at(int(m_random.bounded(int(order.size()))));
        const qint64 other = order.at(int(m_random.bounded(int(order.size()))));
        const auto run = [&](history::HandEdits hand) {
            if (what == 9 && id != other)
                return addOns.moveAbove(id, other, hand);
            return out.contains(id) ? addOns.putBack(id, hand) : addOns.takeOut(id, hand);
        };
        history::AddOnOutcome outcome = run(history::HandEdits::Ask);
        history::HandEdits hand = history::HandEdits::Ask;
        if (outcome.result == history::AddOnOutcome::NeedsChoice) {
            hand = m_random.bounded(2) ? history::HandEdits::KeepOnTop : history::HandEdits::Overwrite;
            outcome = run(hand);
        }
        if (outcome.result != history::AddOnOutcome::Done)
            return (*problem = QStringLiteral("add-on %1: %2").arg(id).arg(outcome.message), false);
        // A hand edit noticed on the way became an add-on of its own, below the operation.
        const qint64 handId = newest(addOns);
        if (handId != before) {
            learn(addOns, handId, hand == history::HandEdits::KeepOnTop, true);
            for (const QString &host : layers.value(handId).files.keys())
                handEdits.remove(host);
        }
        if (what == 9 && id != other) {
            order.removeOne(id);
            order.insert(order.indexOf(other) + 1, id);
        } else if (out.contains(id)) {
            out.remove(id);
            order.removeOne(id);
            order << id;
        } else {
            out.insert(id);
        }
        if (handId != before && hand == history::HandEdits::KeepOnTop) {
            order.removeOne(handId);
            order << handId;
        }
        return check(problem, QStringLiteral("%1 of %2").arg(what == 9 ? QStringLiteral("order") : QStringLiteral("take out/put back")).arg(id));
    }

    // Every file an add-on wrote holds its top layer (or the original), or a hand edit not yet
    // noticed, untouched.
    bool check(QString *problem, const QString &after) const
    {
        for (const QString &host : hosts()) {
            const Bytes disk = onDisk(host);
            const auto edit = handEdits.constFind(host);
            const Bytes want = edit == handEdits.constEnd() ? expected(host)
                : *edit == QByteArray("\xff removed")      ? Bytes()
                                                            : Bytes(*edit);
            if (disk != want) {
                *problem = QStringLiteral("after %1: %2 holds %3, not %4")
                               .arg(after, host, QString::fromLatin1(disk.value_or("(none)").toHex()),
                                    QString::fromLatin1(want.value_or("(none)").toHex()));
                return false;
            }
        }
        return true;
    }

    quint32 bounded(quint32 n) { return m_random.bounded(n); }

private:
    TestTree &m_tree;
    QRandomGenerator m_random;
};

} // namespace

class test_AddOns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data() { slotmodes::addRows(); }
    void init() { slotmodes::use(); }
    void initTestCase() { TestTree::useQuickFiles(); }
    void cleanupTestCase() { TestTree::restoreFlushing(); }

    void anyOrderAlwaysShowsTheTopLayerAndComesBack()
    {
        const int sequences = qEnvironmentVariableIntValue("VELDRIN_HISTORY_SEQUENCES") > 0
            ? qEnvironmentVariableIntValue("VELDRIN_HISTORY_SEQUENCES")
            : 300;
        // One tree for all sequences: each must end exactly where it began anyway; only the
        // history starts afresh.
        TestTree tree;
        tree.makeGameWithHistory();
        const auto original = snapshot(tree);
        for (int seed = 1; seed <= sequences; ++seed) {
            QVERIFY(QDir(tree.host(QStringLiteral("Veldrin/Backup/history"))).removeRecursively());
            QVERIFY(history::createFolder(TestTree::programFolder()));
            Sequence sequence(tree, quint32(seed));
            sequence.original = original;
            const int steps = 4 + int(sequence.bounded(12));
            QString problem;
            for (int step = 0; step < steps; ++step)
                QVERIFY2(sequence.step(&problem), qPrintable(QStringLiteral("seed %1 step %2: %3").arg(seed).arg(step).arg(problem)));
            history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
            history::AddOnOutcome outcome = addOns.restoreAllOriginals(history::HandEdits::Ask);
            if (outcome.result == history::AddOnOutcome::NeedsChoice)
                outcome = addOns.restoreAllOriginals(history::HandEdits::Overwrite);
            QVERIFY2(outcome.result == history::AddOnOutcome::Done || outcome.message.contains(QLatin1String("out already")),
                     qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(outcome.message)));
            const auto now = snapshot(tree);
            QStringList differ;
            for (auto it = original.constBegin(); it != original.constEnd(); ++it)
                if (now.value(it.key(), "\xff missing") != it.value())
                    differ << it.key();
            for (auto it = now.constBegin(); it != now.constEnd(); ++it)
                if (!original.contains(it.key()))
                    differ << it.key();
            QVERIFY2(differ.isEmpty(), qPrintable(QStringLiteral("seed %1: not the tree of before: %2 (%3)").arg(seed).arg(differ.join(QLatin1String(", ")), outcome.message)));
            for (const history::AddOn &a : addOns.list())
                QVERIFY2(!a.enabled && a.canPutBack, qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(a.name)));
        }
    }
};

QTEST_GUILESS_MAIN(test_AddOns)
#include "test_AddOns.moc"
