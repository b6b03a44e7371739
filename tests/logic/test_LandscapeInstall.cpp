#include "managers/GameFileInstall.h"
#include "managers/TattooFiles.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>

namespace {
const QString kTarget = QStringLiteral("C:\\Games\\Black & White\\Data\\Landscape\\Hills.lnd");
const QString kBackup = QStringLiteral("C:\\Veldrin\\Backup\\Landscape\\Hills.lnd");
const QString kTargetRel = QStringLiteral("Games/Black & White/Data/Landscape/Hills.lnd");
const QString kBackupRel = QStringLiteral("Veldrin/Backup/Landscape/Hills.lnd");
const gamefile::Where kWhere{QStringLiteral("landscape"), QStringLiteral("frmExtra"), QStringLiteral("C:\\Games\\Black & White\\"), QStringLiteral("C:\\Veldrin\\")};
} // namespace

class test_LandscapeInstall : public QObject
{
    Q_OBJECT
private slots:
    // The first copy is the game's own landscape and stays; each later replaced version goes
    // beside it, and a version kept already is not kept twice.
    void theFirstBackupKeepsTheOriginal()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kTargetRel, "old\nland\xe9");
        gamefile::Source text;
        text.text = QString::fromUtf8("new\r\nl\u00e4nd");
        QList<gamefile::Step> steps;
        auto result = gamefile::installWithBackup(text, kTarget, kBackup, kWhere, [&steps](gamefile::Step s) { steps << s; });
        QCOMPARE(result.backup, gamefile::Backup::Written);
        QCOMPARE(result.backupPath, kBackup);
        QVERIFY(result.installed);
        // Text goes out as a text buffer hands it back: CR LF, one closing CR LF, code page 1252.
        const QByteArray original("old\r\nland\xe9\r\n");
        QCOMPARE(tree.read(kBackupRel), original);
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\nl\xe4nd\r\n"));
        QCOMPARE(steps, (QList<gamefile::Step>{gamefile::Step::InstalledFileRead, gamefile::Step::BackupDone,
                                               gamefile::Step::Installed}));

        const QByteArray fresh("\0\x01\x80\xff\r", 5), fresher("LND\0\x01\r\n\x80\xff", 9);
        gamefile::Source binary;
        binary.binary = true;
        binary.text = QStringLiteral("edits in the view never reach a binary install");
        const QString backups = QStringLiteral("Veldrin/Backup/Landscape/");
        for (const QByteArray &bytes : {fresh, fresher, fresh, fresher}) {
            binary.bytes = bytes;
            result = gamefile::installWithBackup(binary, kTarget, kBackup, kWhere);
            QCOMPARE(result.backup, gamefile::Backup::Written);
            QCOMPARE(tree.read(kTargetRel), bytes);
        }
        QCOMPARE(result.backupPath, QStringLiteral("C:\\Veldrin\\Backup\\Landscape\\Hills (3).lnd"));
        QCOMPARE(QDir(tree.host(backups)).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("Hills (2).lnd"), QStringLiteral("Hills (3).lnd"),
                              QStringLiteral("Hills (4).lnd"), QStringLiteral("Hills.lnd")}));
        QCOMPARE(tree.read(kBackupRel), original);
        QCOMPARE(tree.read(backups + QStringLiteral("Hills (2).lnd")), QByteArray("new\r\nl\xe4nd\r\n\r\n"));
        QCOMPARE(tree.read(backups + QStringLiteral("Hills (3).lnd")), fresh);
        QCOMPARE(tree.read(backups + QStringLiteral("Hills (4).lnd")), fresher);

        // A leftover lone line break names no version: it is written over.
        tree.write(backups + QStringLiteral("Hills (2).lnd"), "\r\n");
        QCOMPARE(gamefile::installWithBackup(binary, kTarget, kBackup, kWhere).backupPath,
                 QStringLiteral("C:\\Veldrin\\Backup\\Landscape\\Hills (2).lnd"));
        QCOMPARE(tree.read(backups + QStringLiteral("Hills (2).lnd")), fresher);

        const auto numbered = [](const char *path, int n) {
            return gamefile::numberedBackupPath(QString::fromLatin1(path), n);
        };
        QCOMPARE(numbered("C:\\My.Skins\\mesh", 4), QStringLiteral("C:\\My.Skins\\mesh (4)"));
        QCOMPARE(numbered("C:\\B\\.hidden", 2), QStringLiteral("C:\\B\\.hidden (2)"));
        QCOMPARE(numbered("C:\\B\\a.b.l3d", 2), QStringLiteral("C:\\B\\a.b (2).l3d"));
    }

    // Tattoo picks into a profile are covered through the window; this is the case it cannot reach.
    void aMissingTattooProfileIsReportedNotCreated()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const auto result = tattoo::installPick("BM", TestTree::gameFolder(), TestTree::programFolder(),
                                                QStringLiteral("C:\\Games\\Black & White\\Profiles\\Gone\\"), 1);
        QVERIFY(result.pickKept);
        QVERIFY(!result.installed);
        QVERIFY(!result.problem.isEmpty());
        QVERIFY(!tree.exists(QStringLiteral("Games/Black & White/Profiles/Gone")));
    }

    void binaryShownSafely()
    {
        const QString shown = gamefile::shownAsText(QByteArray("BM\0\x01\x1b\x7f\tok\r\nend\x80", 15));
        QCOMPARE(shown, QString::fromUtf8("BM\u2400\u2401\u241b\u2421\tok\r\nend\u20ac"));
    }
};

QTEST_GUILESS_MAIN(test_LandscapeInstall)
#include "test_LandscapeInstall.moc"
