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
    void drivesAndTheCurrentDirectoryFollowThePrefix()
    {
        TestTree tree;
        QCOMPARE(winpath::driveRoot(QLatin1Char('c')), tree.driveC());
        QVERIFY(winpath::driveRoot(QLatin1Char('Q')).isEmpty());
        QCOMPARE(winpath::toHost(QStringLiteral("Z:\\tmp\\x")), QStringLiteral("/tmp/x"));
        QDir().mkpath(tree.prefix() + QStringLiteral("/dosdevices"));
        QDir().mkpath(tree.prefix() + QStringLiteral("/media/disc"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/media/disc"), tree.prefix() + QStringLiteral("/dosdevices/d:")));
        QCOMPARE(winpath::toHost(QStringLiteral("D:\\Maps\\a.txt")), tree.prefix() + QStringLiteral("/media/disc/Maps/a.txt"));
        // Back from the host: the longest drive root wins over Z:'s "/".
        QCOMPARE(winpath::fromHost(tree.host(QStringLiteral("Games/BW/a.txt"))), QStringLiteral("C:\\Games\\BW\\a.txt"));
        QCOMPARE(winpath::fromHost(tree.driveC()), QStringLiteral("C:\\"));
        QCOMPARE(winpath::fromHost(QStringLiteral("/usr/share")), QStringLiteral("Z:\\usr\\share"));

        // Relative and rooted paths start from C:'s current directory.
        tree.mkdir(QStringLiteral("Veldrin"));
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        QCOMPARE(winpath::currentDirectoryOfDriveC(), QStringLiteral("C:\\Veldrin"));
        QCOMPARE(winpath::toHost(QStringLiteral("Backup\\a.brx")), tree.host(QStringLiteral("Veldrin/Backup/a.brx")));
        QCOMPARE(winpath::toHost(QStringLiteral("\\options.txt")), tree.host(QStringLiteral("options.txt")));
        // Standing on Z:, C:'s current directory is its root.
        QDir::setCurrent(QStringLiteral("/"));
        QCOMPARE(winpath::currentDirectoryOfDriveC(), QStringLiteral("C:\\"));
    }

    void componentsMatchWhateverTheirCaseAndSeparators()
    {
        TestTree tree;
        tree.write(QStringLiteral("games/black & white/data/Hills.lnd"), "x");
        const QString found = tree.host(QStringLiteral("games/black & white/data/Hills.lnd"));
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\Games\\Black & White\\Data\\hills.LND")), found);
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\Games\\Black & White\\\\Data\\/hills.lnd")), found);
        // A new file keeps the case it was given, inside the folders that were found.
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\GAMES\\Black & White\\DATA\\New.lnd")),
                 tree.host(QStringLiteral("games/black & white/data/New.lnd")));
        // A forward slash is no separator in a bare file name.
        QCOMPARE(winpath::bareFileName(QStringLiteral("C:\\a\\b\\isle.txt")), QStringLiteral("isle.txt"));
        QCOMPARE(winpath::bareFileName(QStringLiteral("C:\\a/b.txt")), QStringLiteral("a/b.txt"));
        // An exact match wins over a case-insensitive one.
        tree.write(QStringLiteral("games/a.txt"), "lower");
        tree.write(QStringLiteral("games/A.txt"), "upper");
        QCOMPARE(*fileio::readBytes(QStringLiteral("C:\\games\\A.txt")), QByteArray("upper"));
    }

    void withoutAPrefixDriveCIsHomeWineOrTheRoot()
    {
        QTemporaryDir home;
        EnvGuard env("HOME", home.path().toLocal8Bit());
        env.unset("WINEPREFIX");
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), QStringLiteral("/"));
        QDir().mkpath(home.path() + QStringLiteral("/.wine/drive_c"));
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), home.path() + QStringLiteral("/.wine/drive_c"));
    }
};

QTEST_GUILESS_MAIN(test_WinPath)
#include "test_WinPath.moc"
