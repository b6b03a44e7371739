#include "platform/FileIO.h"
#include "platform/HostFiles.h"
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
        const QString beside = hostfs::realPlace(tree.prefix()) + QStringLiteral("/drive_cx/a.txt");
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
    }

    // One answer to "where is this really", for the installer's judgement of what lies inside
    // the game folder and for matching drive roots alike. In the paths, "%1" is a scratch
    // folder reached through a link; in the answers, "%1" is where it really is. Relative paths
    // start in "%1/to-b", which is really "%1/real/a/b".
    void realPlaceFollowsLinksAsWineDoes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *path, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(path) << QString::fromUtf8(expected);
        };
        row("plain folder", "%1/real/a/b", "%1/real/a/b");
        row("dots, doubled and trailing slashes", "%1/real/./a//b/", "%1/real/a/b");
        row("\"..\" among plain folders", "%1/real/a/../file.txt", "%1/real/file.txt");
        row("\"..\" above the root", "/../..", "/");
        row("nothing", "", "");
        // Textual folding first would give "%1/new/x.txt": the kernel, and Wine, go to the
        // parent of the link's target.
        row("link, then \"..\"", "%1/to-b/../new/x.txt/", "%1/real/a/new/x.txt");
        row("relative link, then \"..\"", "%1/real/rel/../file.txt", "%1/real/a/file.txt");
        row("link as the last part", "%1/to-b", "%1/real/a/b");
        row("link to a link", "%1/chain/c.txt", "%1/real/a/b/c.txt");
        row("link to nowhere yet", "%1/dangling/sub/x.txt", "%1/nowhere/new/sub/x.txt");
        row("missing tail", "%1/real/new/deeper/../x.txt", "%1/real/new/x.txt");
        row("out of a missing tail into a link", "%1/real/new/../../to-b/y", "%1/real/a/b/y");
        row("past a file", "%1/real/file.txt/x", "%1/real/file.txt/x");
        row("link to itself", "%1/loop/x.txt", "%1/loop/x.txt");
        row("relative path", "../new.txt", "%1/real/a/new.txt");
        row("relative path through a link", "./sub/../../../../to-b/c", "%1/real/a/b/c");
    }

    void realPlaceFollowsLinksAsWineDoes()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QTemporaryDir scratch;
        QTemporaryDir elsewhere;
        const QString base = elsewhere.path() + QStringLiteral("/base");
        QVERIFY(QFile::link(scratch.path(), base));
        const QString real = QFileInfo(scratch.path()).canonicalFilePath();
        QVERIFY(QDir().mkpath(real + QStringLiteral("/real/a/b")));
        QVERIFY(QFile(real + QStringLiteral("/real/file.txt")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(base + QStringLiteral("/real/a/b"), real + QStringLiteral("/to-b")));
        QVERIFY(QFile::link(QStringLiteral("a/b"), real + QStringLiteral("/real/rel")));
        QVERIFY(QFile::link(QStringLiteral("to-b"), real + QStringLiteral("/chain")));
        QVERIFY(QFile::link(base + QStringLiteral("/nowhere/new"), real + QStringLiteral("/dangling")));
        QVERIFY(QFile::link(QStringLiteral("loop"), real + QStringLiteral("/loop")));
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(base + QStringLiteral("/to-b")));
        const QString found = hostfs::realPlace(path.replace(QStringLiteral("%1"), base));
        QDir::setCurrent(current);
        QCOMPARE(found, expected.replace(QStringLiteral("%1"), real));
    }

    // Two links naming each other: the walk ends, at one of them, with the rest as written.
    void realPlaceEndsInACircleOfLinks()
    {
        QTemporaryDir scratch;
        const QString real = QFileInfo(scratch.path()).canonicalFilePath();
        QVERIFY(QFile::link(real + QStringLiteral("/pong"), real + QStringLiteral("/ping")));
        QVERIFY(QFile::link(QStringLiteral("ping"), real + QStringLiteral("/pong")));
        const QString found = hostfs::realPlace(real + QStringLiteral("/ping/x.txt"));
        QVERIFY2(found == real + QStringLiteral("/ping/x.txt") || found == real + QStringLiteral("/pong/x.txt"), qPrintable(found));
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
        QCOMPARE(hostfs::realPlace(winpath::driveRoot(QLatin1Char('C'))), gamesReal);
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
        const QString beside = hostfs::realPlace(tree.prefix()) + QStringLiteral("/drive_cx/a.txt");
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
