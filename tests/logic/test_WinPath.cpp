#include "platform/FileIO.h"
#include "platform/WinPath.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

class test_WinPath : public QObject
{
    Q_OBJECT
private slots:
    void bareFileName()
    {
        QCOMPARE(winpath::bareFileName(QStringLiteral("C:\\a\\b\\island.txt")), QStringLiteral("island.txt"));
        QCOMPARE(winpath::bareFileName(QStringLiteral("island.txt")), QStringLiteral("island.txt"));
        QCOMPARE(winpath::bareFileName(QStringLiteral("C:\\a\\")), QString());
        // A forward slash is not a name separator for this rule.
        QCOMPARE(winpath::bareFileName(QStringLiteral("C:\\a/b.txt")), QStringLiteral("a/b.txt"));
    }

    void drivesFollowThePrefix()
    {
        TestTree tree;
        QCOMPARE(winpath::driveRoot(QLatin1Char('c')), tree.driveC());
        QCOMPARE(winpath::driveRoot(QLatin1Char('Z')), QStringLiteral("/"));
        QVERIFY(winpath::driveRoot(QLatin1Char('Q')).isEmpty());

        // Other letters come from the prefix's dosdevices links.
        QDir().mkpath(tree.prefix() + QStringLiteral("/dosdevices"));
        QDir().mkpath(tree.prefix() + QStringLiteral("/media/disc"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/media/disc"), tree.prefix() + QStringLiteral("/dosdevices/d:")));
        QCOMPARE(winpath::toHost(QStringLiteral("D:\\Maps\\a.txt")), tree.prefix() + QStringLiteral("/media/disc/Maps/a.txt"));
        QCOMPARE(winpath::toHost(QStringLiteral("Z:\\tmp\\x")), QStringLiteral("/tmp/x"));
    }

    void doubledAndMixedSeparatorsCountAsOne()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Games/BW"));
        const QString expected = tree.host(QStringLiteral("Games/BW/runblack.exe"));
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\Games\\BW\\") + QStringLiteral("\\runblack.exe")), expected);
        QCOMPARE(winpath::toHost(QStringLiteral("C:/Games//BW\\/runblack.exe")), expected);
        // A trailing separator still names a folder, so writing to it fails.
        QVERIFY(winpath::toHost(QStringLiteral("C:\\Games\\BW\\")).endsWith(QLatin1Char('/')));
    }

    void existingComponentsMatchWhateverTheirCase()
    {
        TestTree tree;
        tree.write(QStringLiteral("games/black & white/data/landscape/Hills.lnd"), "x");
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\Games\\Black & White\\Data\\Landscape\\hills.LND")),
                 tree.host(QStringLiteral("games/black & white/data/landscape/Hills.lnd")));
        // A new file keeps the case it was given, inside the folders that were found.
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\GAMES\\Black & White\\DATA\\Landscape\\New.lnd")),
                 tree.host(QStringLiteral("games/black & white/data/landscape/New.lnd")));
        // An exact match wins over a case-insensitive one.
        tree.write(QStringLiteral("games/a.txt"), "lower");
        tree.write(QStringLiteral("games/A.txt"), "upper");
        QCOMPARE(*fileio::readBytes(QStringLiteral("C:\\games\\A.txt")), QByteArray("upper"));
    }

    void relativeAndRootedPaths()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Veldrin"));
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        QCOMPARE(winpath::currentDirectoryOfDriveC(), QStringLiteral("C:\\Veldrin"));
        QCOMPARE(winpath::toHost(QStringLiteral("Backup\\brx\\a.brx")), tree.host(QStringLiteral("Veldrin/Backup/brx/a.brx")));
        // A rooted path without a drive is on the current directory's drive.
        QCOMPARE(winpath::toHost(QStringLiteral("\\options.txt")), tree.host(QStringLiteral("options.txt")));

        QDir::setCurrent(QStringLiteral("/"));
        // The current directory is on Z:, so C:'s current directory is its root.
        QCOMPARE(winpath::currentDirectoryOfDriveC(), QStringLiteral("C:\\"));
    }

    void hostPathsMapBackToTheLongestDrive()
    {
        TestTree tree;
        QCOMPARE(winpath::fromHost(tree.host(QStringLiteral("Games/BW/a.txt"))), QStringLiteral("C:\\Games\\BW\\a.txt"));
        QCOMPARE(winpath::fromHost(QStringLiteral("/usr/share")), QStringLiteral("Z:\\usr\\share"));
        QCOMPARE(winpath::fromHost(tree.driveC()), QStringLiteral("C:\\"));
        // Round trip through both directions.
        tree.write(QStringLiteral("x/y.txt"), "y");
        QCOMPARE(winpath::toHost(winpath::fromHost(tree.host(QStringLiteral("x/y.txt")))), tree.host(QStringLiteral("x/y.txt")));
    }

    void withoutAPrefixDriveCIsTheRoot()
    {
        const QByteArray old = qgetenv("WINEPREFIX");
        const QByteArray oldHome = qgetenv("HOME");
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("WINEPREFIX");
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), QStringLiteral("/"));
        // ~/.wine is used when it exists.
        QDir().mkpath(home.path() + QStringLiteral("/.wine/drive_c"));
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), home.path() + QStringLiteral("/.wine/drive_c"));
        qputenv("HOME", oldHome);
        if (!old.isEmpty())
            qputenv("WINEPREFIX", old);
    }
};

QTEST_GUILESS_MAIN(test_WinPath)
#include "test_WinPath.moc"
