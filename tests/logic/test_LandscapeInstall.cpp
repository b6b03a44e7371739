#include "managers/GameFileInstall.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>

namespace {
const QString kTarget = QStringLiteral("C:\\Games\\Black & White\\Data\\Landscape\\Hills.lnd");
const QString kBackup = QStringLiteral("C:\\Veldrin\\Backup\\Landscape\\Hills.lnd");
const QString kTargetRel = QStringLiteral("Games/Black & White/Data/Landscape/Hills.lnd");
const QString kBackupRel = QStringLiteral("Veldrin/Backup/Landscape/Hills.lnd");

gamefile::Source textSource(const QString &text)
{
    gamefile::Source s;
    s.text = text;
    return s;
}
} // namespace

class test_LandscapeInstall : public QObject
{
    Q_OBJECT
private slots:
    void textIsBackedUpThenInstalledWithSteps()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kTargetRel, "old\nland\xe9");
        tree.write(kBackupRel, "an older backup");

        QList<gamefile::Step> steps;
        const auto result = gamefile::installWithBackup(textSource(QString::fromUtf8("new\r\nl\u00e4nd")), kTarget, kBackup,
                                                        [&steps](gamefile::Step s) { steps << s; });
        QCOMPARE(result.backup, gamefile::Backup::Written);
        QVERIFY(result.installed);
        // Both go out as a text buffer hands them back: CR LF, one closing CR LF, code page 1252.
        QCOMPARE(tree.read(kBackupRel), QByteArray("old\r\nland\xe9\r\n"));
        QCOMPARE(result.backupText, QString::fromUtf8("old\r\nland\u00e9"));
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\nl\xe4nd\r\n"));
        QCOMPARE(steps, (QList<gamefile::Step>{gamefile::Step::InstalledFileRead, gamefile::Step::BackupDone,
                                               gamefile::Step::Installed}));
    }

    void binaryTravelsByteForByte()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QByteArray old("LND\0\x01\x02\r\n\x80\xff", 10);
        QByteArray fresh;
        for (int i = 0; i < 4096; ++i)
            fresh.append(char(i * 7));
        tree.write(kTargetRel, old);

        gamefile::Source source;
        source.binary = true;
        source.bytes = fresh;
        source.text = QStringLiteral("edits in the view never reach a binary install");
        const auto result = gamefile::installWithBackup(source, kTarget, kBackup);
        QCOMPARE(result.backup, gamefile::Backup::Written);
        QVERIFY(result.backupText.isEmpty());
        QCOMPARE(tree.read(kBackupRel), old);
        QCOMPARE(tree.read(kTargetRel), fresh);
    }

    void nothingInstalledLeavesTheOldBackupAlone_data()
    {
        QTest::addColumn<bool>("emptyFile");
        QTest::newRow("no installed file") << false;
        QTest::newRow("empty installed file") << true;
    }
    void nothingInstalledLeavesTheOldBackupAlone()
    {
        QFETCH(bool, emptyFile);
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(kBackupRel, "a good backup");
        if (emptyFile)
            tree.write(kTargetRel, QByteArray());

        QList<gamefile::Step> steps;
        const auto result = gamefile::installWithBackup(textSource(QStringLiteral("new")), kTarget, kBackup,
                                                        [&steps](gamefile::Step s) { steps << s; });
        QCOMPARE(result.backup, gamefile::Backup::NothingInstalled);
        QVERIFY(result.installed);
        QCOMPARE(tree.read(kBackupRel), QByteArray("a good backup"));
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\n"));
        QCOMPARE(steps.size(), 3);
    }

    void aFailedBackupDoesNotStopTheInstall()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QDir(tree.host(QStringLiteral("Veldrin/Backup/Landscape"))).removeRecursively();
        tree.write(kTargetRel, "old");

        const auto result = gamefile::installWithBackup(textSource(QStringLiteral("new")), kTarget, kBackup);
        QCOMPARE(result.backup, gamefile::Backup::Failed);
        QVERIFY(result.installed);
        QCOMPARE(tree.read(kTargetRel), QByteArray("new\r\n"));
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/Backup/Landscape"))); // never created
    }

    void binaryShownSafely()
    {
        const QString shown = gamefile::shownAsText(QByteArray("BM\0\x01\x1b\x7f\tok\r\nend\x80", 15));
        QCOMPARE(shown, QString::fromUtf8("BM\u2400\u2401\u241b\u2421\tok\r\nend\u20ac"));
        const QString summary = gamefile::binarySummary(QStringLiteral("Hills.lnd"), 123456);
        QVERIFY(summary.contains(QStringLiteral("Hills.lnd")));
        QVERIFY(summary.contains(QStringLiteral("123456 bytes")));
        QVERIFY(summary.contains(QStringLiteral("binary")));
        QVERIFY(summary.contains(QStringLiteral("unchanged")));
    }
};

QTEST_GUILESS_MAIN(test_LandscapeInstall)
#include "test_LandscapeInstall.moc"
