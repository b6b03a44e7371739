#include "platform/FileIO.h"
#include "platform/WinPath.h"
#include "shell/OptionsFile.h"
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
        QVERIFY(QFile::link(QStringLiteral("/"), tree.prefix() + QStringLiteral("/dosdevices/z:")));
        QDir().mkpath(tree.prefix() + QStringLiteral("/media/disc"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/media/disc"), tree.prefix() + QStringLiteral("/dosdevices/d:")));
        QCOMPARE(winpath::toHost(QStringLiteral("D:\\Maps\\a.txt")), tree.prefix() + QStringLiteral("/media/disc/Maps/a.txt"));
        // Back from the host: the longest drive root wins over Z:'s "/".
        QCOMPARE(winpath::fromHost(tree.host(QStringLiteral("Games/BW/a.txt"))), QStringLiteral("C:\\Games\\BW\\a.txt"));
        QCOMPARE(winpath::fromHost(tree.driveC()), QStringLiteral("C:\\"));
        QCOMPARE(winpath::fromHost(QStringLiteral("/usr/share")), QStringLiteral("Z:\\usr\\share"));
        // A folder whose name only begins like a drive's is not on that drive.
        const QString beside = winpath::realHostPath(tree.prefix()) + QStringLiteral("/drive_cx/a.txt");
        QCOMPARE(winpath::fromHost(beside), QStringLiteral("Z:") + QString(beside).replace(QLatin1Char('/'), QLatin1Char('\\')));

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

    // The prefix reached through a link, spelled with a trailing slash, and walked with "..":
    // the current folder comes back resolved and must still be found on C:.
    void aPrefixIsFoundHoweverItIsSpelled()
    {
        TestTree tree;
        QTemporaryDir elsewhere;
        const QString link = elsewhere.path() + QStringLiteral("/linked-prefix");
        QVERIFY(QFile::link(tree.prefix(), link));
        EnvGuard env("WINEPREFIX", (link + QStringLiteral("//")).toLocal8Bit());
        tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\BW\\\r\nC:\\Veldrin\\\r\n\r\n");
        QDir::setCurrent(link + QStringLiteral("/drive_c/Veldrin/"));
        QCOMPARE(winpath::currentDirectoryOfDriveC(), QStringLiteral("C:\\Veldrin"));
        Settings record;
        QVERIFY(optionsfile::LoadSettings(record));
        QCOMPARE(record.GameFolder, QStringLiteral("C:\\Games\\BW\\"));

        tree.mkdir(QStringLiteral("Games"));
        QCOMPARE(winpath::fromHost(link + QStringLiteral("/drive_c/Veldrin/../Games/")), QStringLiteral("C:\\Games"));
        QCOMPARE(winpath::fromHost(QStringLiteral("Backup/../a.txt")), QStringLiteral("C:\\Veldrin\\a.txt"));

        // ".." after a link leaves the link's target, as the kernel does; what does not exist
        // yet is kept as written.
        QDir().mkpath(elsewhere.path() + QStringLiteral("/a/b"));
        QVERIFY(QFile::link(elsewhere.path() + QStringLiteral("/a/b"), elsewhere.path() + QStringLiteral("/to-b")));
        const QString real = QFileInfo(elsewhere.path()).canonicalFilePath();
        QCOMPARE(winpath::realHostPath(elsewhere.path() + QStringLiteral("/to-b/../new/x.txt/")),
                 real + QStringLiteral("/a/new/x.txt"));
        QCOMPARE(winpath::realHostPath(QStringLiteral("/../..")), QStringLiteral("/"));
    }

    // Wine follows dosdevices, so Veldrin must too: a re-pointed C:, a Z: taken away, a link
    // to a folder that is gone.
    void drivesAreWhereDosdevicesPoint()
    {
        TestTree tree;
        QTemporaryDir games;
        const QString devices = tree.prefix() + QStringLiteral("/dosdevices");
        QDir().mkpath(devices);
        QVERIFY(QFile::link(games.path(), devices + QStringLiteral("/c:")));
        QVERIFY(QFile(games.path() + QStringLiteral("/moved.txt")).open(QIODevice::WriteOnly));
        const QString gamesReal = QFileInfo(games.path()).canonicalFilePath();
        QCOMPARE(winpath::realHostPath(winpath::driveRoot(QLatin1Char('C'))), gamesReal);
        QCOMPARE(winpath::toHost(QStringLiteral("C:\\MOVED.txt")), games.path() + QStringLiteral("/moved.txt"));
        QCOMPARE(winpath::fromHost(games.path() + QStringLiteral("/moved.txt")), QStringLiteral("C:\\moved.txt"));
        // drive_c is only a folder in the prefix now, reached through Z: if at all.
        QVERIFY(!winpath::fromHost(tree.driveC()).startsWith(QLatin1String("C:")));

        QVERIFY(winpath::driveRoot(QLatin1Char('Z')).isEmpty());
        // Without Z:, the root is reached the way Wine names it, and the name leads back.
        QCOMPARE(winpath::fromHost(QStringLiteral("/usr/share")), QStringLiteral("\\\\?\\unix\\usr\\share"));
        QCOMPARE(winpath::toHost(QStringLiteral("\\\\?\\UNIX\\usr\\share")), QStringLiteral("/usr/share"));
        QVERIFY(QFile::link(QStringLiteral("/"), devices + QStringLiteral("/z:")));
        QCOMPARE(winpath::fromHost(QStringLiteral("/usr/share")), QStringLiteral("Z:\\usr\\share"));
        // A folder whose name only begins like a drive's is not on that drive.
        const QString beside = winpath::realHostPath(tree.prefix()) + QStringLiteral("/drive_cx/a.txt");
        QCOMPARE(winpath::fromHost(beside), QStringLiteral("Z:") + QString(beside).replace(QLatin1Char('/'), QLatin1Char('\\')));

        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/gone"), devices + QStringLiteral("/e:")));
        QCOMPARE(winpath::toHost(QStringLiteral("E:\\a.txt")), tree.prefix() + QStringLiteral("/gone/a.txt"));
        QVERIFY(!fileio::writeText(QStringLiteral("E:\\a.txt"), QStringLiteral("x")));
        QVERIFY(winpath::noPrefixNotice().isEmpty());
    }

    void withoutAPrefixDriveCIsHomeWineOrTheRoot()
    {
        QTemporaryDir home;
        EnvGuard env("HOME", home.path().toLocal8Bit());
        env.unset("WINEPREFIX");
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), QStringLiteral("/"));
        // Falling back to "/" is said, never silent.
        QVERIFY(winpath::noPrefixNotice().contains(QLatin1String("No Wine prefix")));
        env.set("WINEPREFIX", "/nonexistent/prefix");
        QVERIFY(winpath::noPrefixNotice().contains(QLatin1String("/nonexistent/prefix")));
        env.unset("WINEPREFIX");
        QDir().mkpath(home.path() + QStringLiteral("/.wine/drive_c"));
        QCOMPARE(winpath::driveRoot(QLatin1Char('C')), home.path() + QStringLiteral("/.wine/drive_c"));
        QVERIFY(winpath::noPrefixNotice().isEmpty());
    }
};

QTEST_GUILESS_MAIN(test_WinPath)
#include "test_WinPath.moc"
