// Undo and add-ons around the edges: a hand edit asked about and kept, kept bytes that no longer
// match, a failed take-out, a journal of the first format, and what a damaged history does.
#include "install/AddOns.h"
#include "install/HistoryJournal.h"
#include "install/HistoryRecovery.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "install/WriterLock.h"
#include "platform/HostFiles.h"
#include "support/SlotModes.h"
#include "support/TestTree.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <memory>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const QString kGame = QStringLiteral("Games/Black & White/");

QString game(const QString &rest) { return TestTree::gameFolder() + rest; }

} // namespace

class test_InstallHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data() { slotmodes::addRows(); }
    void init() { slotmodes::use(); }
    // Kept bytes are found by the name an earlier Veldrin gave them: the hash must be the
    // standard SHA-256 whichever library computes it, and a file read in pieces must get the
    // same name as its bytes in hand.
    void keptBytesKeepTheirStandardNames()
    {
        QCOMPARE(history::sha256("abc"), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(history::sha256(QByteArray()),
                 QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
        TestTree tree;
        QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char((i * 7919) >> 3);
        tree.write(QStringLiteral("big.bin"), big);
        QCOMPARE(history::sha256File(tree.host(QStringLiteral("big.bin"))), history::sha256(big));
        QCOMPARE(history::sha256(big), QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Sha256).toHex()));
    }

    void initTestCase() { TestTree::useQuickFiles(); }
    void cleanupTestCase() { TestTree::restoreFlushing(); }

    // A hand edit is asked about, and kept even when overwritten: as an add-on that is out and
    // can be put back. Kept bytes that no longer match are never written.
    void handEditsAreKeptAndBadBytesRefused()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        const QString map = kGame + QStringLiteral("Scripts/Playgrounds/a.txt");
        const QString mapWin = game(QStringLiteral("Scripts\\Playgrounds\\a.txt"));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), mapWin, "mine"));
        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        const history::Operation op = h.operations().first();
        QCOMPARE(op.route, QStringLiteral("map"));
        QCOMPARE(op.fileCount, 1);
        QVERIFY(!h.files(op.id).first().changedSince);
        tree.write(map, "edited by hand");
        QVERIFY(h.files(op.id).first().changedSince);
        history::UndoOutcome outcome = h.undo(op.id, false);
        QCOMPARE(outcome.result, history::UndoOutcome::NeedsConfirmation);
        QCOMPARE(outcome.changed, QStringList{mapWin});
        QCOMPARE(tree.read(map), QByteArray("edited by hand"));

        // Overwritten after all: the edit is an add-on that is out, and comes back on request.
        history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
        QCOMPARE(addOns.restoreAllOriginals(history::HandEdits::Overwrite).result, history::AddOnOutcome::Done);
        QCOMPARE(tree.read(map), QByteArray("the game's own map\r\n"));
        const history::AddOn hand = addOns.list().first();
        QVERIFY(!hand.enabled && hand.kind == QStringLiteral("by hand"));
        QCOMPARE(addOns.putBack(hand.id, history::HandEdits::Ask).result, history::AddOnOutcome::Done);
        QCOMPARE(tree.read(map), QByteArray("edited by hand"));

        const QString original = QStringLiteral("Veldrin/Backup/history/objects/") + h.files(op.id).first().previousHash;
        QFile(tree.host(original)).remove();
        tree.write(original, "tampered");
        outcome = h.restoreAllOriginals(true);
        QCOMPARE(outcome.result, history::UndoOutcome::Refused);
        QVERIFY(outcome.message.contains(QLatin1String("do not match")));
        QCOMPARE(tree.read(map), QByteArray("edited by hand"));
        QCOMPARE(h.undo(9999, true).result, history::UndoOutcome::Refused);
    }

    // A file the history wrote and nobody changed since is not read again: the size and time it
    // was left with are trusted. An edit of the same size still shows a new time and is found,
    // kept as a layer of its own under the install that follows.
    void anEditOfTheSameSizeIsFoundByItsTime()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        // Every time written counts as settled at once (the margin reaches a second ahead), so
        // the trust is used however fast the machine: in the same millisecond as well.
        install::Transaction::settleMarginForTesting(-1000);
        const std::shared_ptr<void> margin(nullptr, [](void *) { install::Transaction::settleMarginForTesting(100); });
        const QString map = kGame + QStringLiteral("Scripts/Playgrounds/big.txt");
        const QString mapWin = game(QStringLiteral("Scripts\\Playgrounds\\big.txt"));
        const auto installMap = [&](const QByteArray &bytes) {
            return install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                        TestTree::programFolder(), mapWin, bytes);
        };
        const auto setTime = [&](const QDateTime &time) {
            QFile file(tree.host(map));
            return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
        };
        const QByteArray first(40000, 'a'), edit(40000, 'e'), second(40000, 'b');
        QVERIFY(installMap(first));
        const QDateTime written = QFileInfo(tree.host(map)).lastModified();
        tree.write(map, edit);
        QVERIFY(setTime(written.addSecs(7)));
        QVERIFY(installMap(second));
        history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
        QList<history::AddOn> list = addOns.list();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(1).kind, QStringLiteral("by hand"));
        QCOMPARE(addOns.takeOut(list.first().id, history::HandEdits::Ask).result, history::AddOnOutcome::Done);
        QCOMPARE(tree.read(map), edit);

#ifndef Q_OS_WIN
        // The price of not reading every byte again: the same size and the very same time (to
        // the nanosecond) are taken at the history's word. Shown here so that the trust is
        // known to be used at all.
        struct stat before {};
        QVERIFY(::stat(QFile::encodeName(tree.host(map)).constData(), &before) == 0);
        tree.write(map, QByteArray(40000, 'z'));
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(tree.host(map)).constData(), times, 0) == 0);
        QVERIFY(installMap(second));
        list = addOns.list();
        QCOMPARE(list.size(), 4);
        QVERIFY(list.at(1).kind != QStringLiteral("by hand"));
#endif
    }

    // A take-out that fails half-way leaves every file and the add-on as they were.
    void aFailedTakeOutChangesNothing()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), game(QStringLiteral("Scripts\\Playgrounds\\b.txt")), "b one"));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), game(QStringLiteral("Scripts\\Playgrounds\\a.txt")), "a two"));
        history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
        const QByteArray a = tree.read(kGame + QStringLiteral("Scripts/Playgrounds/a.txt"));
        install::Transaction::failWriteForTesting(1);
        const history::AddOnOutcome failed = addOns.takeOut(2, history::HandEdits::Ask);
        install::Transaction::failWriteForTesting(0);
        QCOMPARE(failed.result, history::AddOnOutcome::Failed);
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/a.txt")), a);
        QVERIFY(addOns.list().first().enabled);
        QCOMPARE(addOns.takeOut(2, history::HandEdits::Ask).result, history::AddOnOutcome::Done);
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/a.txt")), QByteArray("the game's own map\r\n"));
    }

    // A journal of the first format opens: its undone installs are add-ons that are out, what
    // they wrote is kept from the disk where it is still there, and the format is raised.
    void aFirstFormatJournalMigrates()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        const QString a = game(QStringLiteral("Scripts\\Playgrounds\\a.txt"));
        const QString b = game(QStringLiteral("Scripts\\Playgrounds\\b.txt"));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(), TestTree::programFolder(), a, "one"));
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(), TestTree::programFolder(), b, "two"));
        const QString objects = tree.host(QStringLiteral("Veldrin/Backup/history/objects/"));
        {
            // As the first format left it: an undo of install 1, and only the bytes before.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("UPDATE format SET version = 1")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO operations (began, route, source, state, undoes) VALUES "
                                          "('2026-12-06T07:10:42.123Z', 'undo', 'install 1', 'done', '1')")));
            QVERIFY(q.exec(QStringLiteral("SELECT written FROM files")));
            while (q.next())
                QVERIFY(QFile::remove(objects + q.value(0).toString()));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        tree.write(kGame + QStringLiteral("Scripts/Playgrounds/a.txt"), "the game's own map\r\n");

        history::AddOns addOns(TestTree::programFolder(), TestTree::gameFolder());
        const QList<history::AddOn> list = addOns.list();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).name, QStringLiteral("Map b.txt"));
        QVERIFY(list.at(0).enabled && list.at(0).canPutBack);
        QVERIFY(!list.at(1).enabled && !list.at(1).canPutBack); // its bytes were gone before the migration
        QCOMPARE(addOns.putBack(list.at(1).id, history::HandEdits::Ask).result, history::AddOnOutcome::Refused);
        QCOMPARE(addOns.takeOut(list.at(0).id, history::HandEdits::Ask).result, history::AddOnOutcome::Done);
        QVERIFY(!QFileInfo::exists(tree.host(kGame + QStringLiteral("Scripts/Playgrounds/b.txt"))));
        QCOMPARE(addOns.putBack(list.at(0).id, history::HandEdits::Ask).result, history::AddOnOutcome::Done);
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/b.txt")), QByteArray("two"));
        int version = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT version FROM format")) && q.next())
                version = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        QCOMPARE(version, 2);
    }

    // Read a few places at a time (as an install of many thousand files reads it), the history
    // says of those places what it says read whole, damaged records included.
    void theHistoryReadByPlaceAgreesWithTheWhole()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        const QString a = game(QStringLiteral("Scripts\\Playgrounds\\a.txt"));
        const QString b = game(QStringLiteral("Scripts\\Playgrounds\\b.txt"));
        for (const auto &[target, bytes] : {std::pair{a, "one"}, std::pair{b, "two"}, std::pair{a, "three"}, std::pair{b, "four"}})
            QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                         TestTree::programFolder(), target, bytes));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE files SET seq = 5 WHERE operation = 2")));
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE files SET written = 'not a name' WHERE operation = 3")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
        const auto journal = history::Journal::open(TestTree::programFolder());
        QVERIFY(journal);
        const QList<history::OperationRow> whole = journal->operations(true);
        const QString aHost = tree.host(kGame + QStringLiteral("Scripts/Playgrounds/a.txt"));
        const QList<history::OperationRow> byPlace = journal->operationsTouching({aHost}, journal->damagedFiles());
        QCOMPARE(byPlace.size(), whole.size());
        for (int i = 0; i < whole.size(); ++i) {
            QCOMPARE(byPlace.at(i).id, whole.at(i).id);
            QCOMPARE(byPlace.at(i).damage, whole.at(i).damage);
            QList<history::FileRow> atA;
            for (const history::FileRow &f : whole.at(i).files) {
                if (f.host == aHost)
                    atA << f;
            }
            QCOMPARE(byPlace.at(i).files.size(), atA.size());
            for (int k = 0; k < atA.size(); ++k)
                QCOMPARE(byPlace.at(i).files.at(k).written, atA.at(k).written);
        }
        QVERIFY(whole.at(1).damage.contains(QLatin1String("gap")) && whole.at(2).damage.contains(QLatin1String("named wrongly")));
        QVERIFY(whole.at(0).damage.isEmpty() && whole.at(3).damage.isEmpty());
    }

    // A record found whole and then edited by hand is read again: the damage found is the
    // damage the whole history, read a file at a time, shows.
    void theDamageFoundIsTheDamageOfTheWholeHistory_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("damaged");
        // The second install's one file, changed (or, for the gap, a second file added after one missing).
        const auto row = [](const char *name, const char *set, bool damaged) {
            QTest::newRow(name) << QStringLiteral("UPDATE files SET %1 WHERE operation = 2").arg(QLatin1String(set)) << damaged;
        };
        row("files from one on", "seq = seq + 1", true);
        QTest::newRow("a gap in the files") << QStringLiteral("INSERT INTO files SELECT operation, seq + 2, path, host, existed, "
                                                              "previous, kept, written, touched, size, mtime FROM files "
                                                              "WHERE operation = 2")
                                            << true;
        row("a number that is no number", "seq = 'x'", false); // read as 0, where it stands
        QTest::newRow("a number between two others") // 0, 0.4 (read as 0) and 2: three files, the last numbered 2
            << QStringLiteral("INSERT INTO files SELECT operation, 0.4, path, host, existed, previous, kept, written, touched, "
                              "size, mtime FROM files WHERE operation = 2 UNION ALL SELECT operation, 2, path, host, existed, "
                              "previous, kept, written, touched, size, mtime FROM files WHERE operation = 2")
            << true;
        row("a name that is no hash", "written = 'not a name'", true);
        row("a hash in capitals", "written = upper(written)", true);
        row("a hash cut by a NUL", "written = substr(written, 1, 10) || char(0) || substr(written, 12)", true);
        row("a hash and more behind a NUL", "written = written || char(0) || 'x'", true);
        row("a hash and a line break", "written = written || char(10)", true);
        row("a hash kept as bytes", "written = CAST(written AS BLOB)", false);
        row("a relative host path", "host = 'Games/a.txt'", true);
#ifdef Q_OS_WIN
        row("a host path from another system", "host = 'C:/Games/a.txt'", false);
#else
        row("a host path from another system", "host = 'C:/Games/a.txt'", true);
#endif
        row("no path", "path = ''", true);
        row("kept bytes without a name", "existed = 1, kept = 1, previous = ''", true);
        row("a flag in words", "kept = 'yes'", false);
    }

    void theDamageFoundIsTheDamageOfTheWholeHistory()
    {
        QFETCH(QString, edit);
        QFETCH(bool, damaged);
        TestTree tree;
        tree.makeGameWithHistory();
        const QString a = game(QStringLiteral("Scripts\\Playgrounds\\a.txt"));
        for (const char *bytes : {"one", "two", "three"})
            QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                         TestTree::programFolder(), a, bytes));
        // Read once and found whole, as every start reads it: the edit comes after.
        QVERIFY(history::Journal::open(TestTree::programFolder())->damagedFiles().isEmpty());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(edit));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
        const auto journal = history::Journal::open(TestTree::programFolder());
        QVERIFY(journal);
        const QList<history::OperationRow> whole = journal->operations(true);
        QCOMPARE(whole.size(), 3);
        const QHash<qint64, QString> found = journal->damagedFiles();
        QCOMPARE(found.value(2), whole.at(1).damage);
        QCOMPARE(!found.value(2).isEmpty(), damaged);
        QCOMPARE(found.size(), damaged ? 1 : 0);
        QVERIFY(whole.at(0).damage.isEmpty() && whole.at(2).damage.isEmpty());
        QCOMPARE(journal->damagedFiles(), found); // and again, the whole ones now marked
    }

    // A hand-edited record is named once and skipped; a journal that is not a database at all
    // is set aside and a new one started; neither stops an install.
    void aDamagedHistoryNeverBlocksAnInstall()
    {
        TestTree tree;
        tree.makeGameWithHistory();
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
        // Found damaged by the install itself: the player is told as of a recovery.
        tree.write(QStringLiteral("Veldrin/Backup/history/journal.sqlite"), QByteArray(4096, 'z'));
        QFile::remove(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite-wal")));
        QFile::remove(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite-shm")));
        QString toldByInstall;
        history::setRecoveryTeller([&](const QString &text) { toldByInstall += text; });
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), target, "two"));
        history::setRecoveryTeller({});
        QVERIFY2(toldByInstall.contains(QLatin1String("set aside")), qPrintable(toldByInstall));
        QCOMPARE(tree.read(kGame + QStringLiteral("Scripts/Playgrounds/b.txt")), QByteArray("two"));
        QCOMPARE(history::History(TestTree::programFolder(), TestTree::gameFolder()).operations().size(), 1);
    }
};

QTEST_GUILESS_MAIN(test_InstallHistory)
#include "test_InstallHistory.moc"
