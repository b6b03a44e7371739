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
    void installsTextAndBinaryAfterABackup()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kTargetRel, "old\nland\xe9");
        tree.write(kBackupRel, "an older backup");
        gamefile::Source text;
        text.text = QString::fromUtf8("new\r\nl\u00e4nd");
        QList<gamefile::Step> steps;
        auto result = gamefile::installWithBackup(text, kTarget, kBackup, kWhere, [&steps](gamefile::Step s) { steps << s; });
        QCOMPARE(result.backup, gamefile::Backup::Written);
        QVERIFY(result.installed);
        // Text goes out as a text buffer hands it back: CR LF, one closing CR LF, code page 1252.
        QCOMPARE(tree.read(kBackupRel), QByteArray("old\r\nland\xe9\r\n"));
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\nl\xe4nd\r\n"));
        QCOMPARE(steps, (QList<gamefile::Step>{gamefile::Step::InstalledFileRead, gamefile::Step::BackupDone,
                                               gamefile::Step::Installed}));

        const QByteArray old("LND\0\x01\r\n\x80\xff", 9), fresh("\0\x01\x80\xff\r", 5);
        tree.write(kTargetRel, old);
        gamefile::Source binary;
        binary.binary = true;
        binary.bytes = fresh;
        binary.text = QStringLiteral("edits in the view never reach a binary install");
        result = gamefile::installWithBackup(binary, kTarget, kBackup, kWhere);
        QCOMPARE(result.backup, gamefile::Backup::Written);
        QCOMPARE(tree.read(kBackupRel), old);
        QCOMPARE(tree.read(kTargetRel), fresh);
    }

    void backupProblemsNeverStopTheInstall()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kBackupRel, "a good backup");
        gamefile::Source source;
        source.text = QStringLiteral("new");
        QCOMPARE(gamefile::installWithBackup(source, kTarget, kBackup, kWhere).backup, gamefile::Backup::NothingInstalled);
        tree.write(kTargetRel, QByteArray());
        QCOMPARE(gamefile::installWithBackup(source, kTarget, kBackup, kWhere).backup, gamefile::Backup::NothingInstalled);
        QCOMPARE(tree.read(kBackupRel), QByteArray("a good backup"));

        QDir(tree.host(QStringLiteral("Veldrin/Backup/Landscape"))).removeRecursively();
        tree.write(kTargetRel, "old");
        const auto result = gamefile::installWithBackup(source, kTarget, kBackup, kWhere);
        QCOMPARE(result.backup, gamefile::Backup::Failed);
        QVERIFY(result.installed);
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\n"));
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/Backup/Landscape")));
    }

    // Tattoo picks into a profile are covered through the window; this is the case it cannot reach.
    void aMissingTattooProfileIsReportedNotCreated()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const auto result = tattoo::installIntoProfile("BM", QStringLiteral("C:\\Games\\Black & White\\Profiles\\Gone\\"),
                                                       TestTree::programFolder(), 1);
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
