// Routing a chosen file by its extension, and the copy-with-backup install of maps,
// landscapes and meshes.
#include "installer/InstallByType.h"
#include "support/TestTree.h"

#include <QTest>

using namespace installbytype;

class test_InstallByType : public QObject
{
    Q_OBJECT
private slots:
    void extensionsAndBareNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("bare");
        QTest::newRow("map") << QStringLiteral("D:\\Maps\\island.txt") << QStringLiteral("txt") << QStringLiteral("island.txt");
        QTest::newRow("two dots") << QStringLiteral("C:\\a\\pack.v2.brx") << QStringLiteral("brx") << QStringLiteral("pack.v2.brx");
        QTest::newRow("dot in folder") << QStringLiteral("D:\\My.Maps\\island") << QStringLiteral("Maps\\island") << QStringLiteral("island");
        QTest::newRow("no dot") << QStringLiteral("C:\\Maps\\island") << QStringLiteral("C:\\Maps\\island") << QStringLiteral("island");
        QTest::newRow("no backslash") << QStringLiteral("island.lnd") << QStringLiteral("lnd") << QStringLiteral("island.lnd");
        QTest::newRow("forward slash") << QStringLiteral("C:/x/y.bmp") << QStringLiteral("bmp") << QStringLiteral("C:/x/y.bmp");
        QTest::newRow("trailing dot") << QStringLiteral("C:\\x.") << QString() << QStringLiteral("x.");
        QTest::newRow("empty") << QString() << QString() << QString();
    }

    void extensionsAndBareNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QFETCH(QString, bare);
        QCOMPARE(FileExtensionOf(path), extension);
        QCOMPARE(BareFileNameOf(path), bare);
    }

    void routesByTheTableExactly_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("route");
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("brx") << QStringLiteral("C:\\p.brx") << QStringLiteral("File Type: Bracken Installation File")
                             << int(Route::Package) << QString();
        QTest::newRow("txt") << QStringLiteral("C:\\island.txt") << QStringLiteral("File Type: Map") << int(Route::GameFile)
                             << QStringLiteral("Scripts\\Playgrounds\\");
        QTest::newRow("bmp") << QStringLiteral("C:\\t.bmp") << QStringLiteral("File Type: Tatoo") << int(Route::Tattoo) << QString();
        QTest::newRow("lnd") << QStringLiteral("C:\\hill.lnd") << QStringLiteral("File Type: Landscape") << int(Route::GameFile)
                             << QStringLiteral("Data\\Landscape\\");
        QTest::newRow("l3d") << QStringLiteral("C:\\skin.l3d") << QStringLiteral("File Type: Skin/Mesh") << int(Route::GameFile)
                             << QStringLiteral("Data\\CreatureMesh\\");
        for (const char *refused : {"C:\\island.TXT", "C:\\p.Brx", "C:\\Maps\\island", "", "C:\\x.txt ", "D:\\My.txt\\island"})
            QTest::newRow(refused) << QString::fromLatin1(refused) << QStringLiteral("Invalid file type set")
                                   << int(Route::Invalid) << QString();
    }

    void routesByTheTableExactly()
    {
        QFETCH(QString, path);
        QFETCH(QString, caption);
        QFETCH(int, route);
        QFETCH(QString, subfolder);
        const FileType &type = typeForPath(path);
        QCOMPARE(type.caption, caption);
        QCOMPARE(int(type.route), route);
        QCOMPARE(type.subfolder, subfolder);
    }

    void mapReplacesAndBacksUpTheOldOne()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("Maps/island.txt"), "new\nmap");
        tree.write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt"), "old map");
        const ChosenFile chosen = loadChosenFile(TestTree::win(QStringLiteral("Maps/island.txt")));
        // What is installed is the text as read when the file was chosen.
        tree.write(QStringLiteral("Maps/island.txt"), "changed since");

        QStringList notes;
        QList<int> bar;
        const GameFileResult r = InstallGameFile(chosen, TestTree::gameFolder(), TestTree::programFolder(),
                                                 QStringLiteral("Scripts\\Playgrounds\\"),
                                                 {[&](const QString &n) { notes << n; }, [&](int v) { bar << v; }});
        QCOMPARE(r.target, TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\island.txt"));
        QCOMPARE(r.backup, TestTree::programFolder() + QStringLiteral("island.txt.bak"));
        QVERIFY(r.backedUp && r.installed);
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt")), QByteArray("new\r\nmap\r\n"));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/island.txt.bak")), QByteArray("old map\r\n"));
        QCOMPARE(notes, (QStringList{kNoteBackingUp, kNoteInstalling, kNoteDone}));
        QCOMPARE(bar, (QList<int>{50, 100}));
    }

    void nothingToReplaceMeansNoBackup()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("in/hill.lnd"), "landscape as text");
        const GameFileResult r = InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/hill.lnd"))),
                                                 TestTree::gameFolder(), TestTree::programFolder(),
                                                 QStringLiteral("Data\\Landscape\\"));
        QVERIFY(r.installed);
        QVERIFY(r.backup.isEmpty());
        QVERIFY(!r.backedUp);
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Data/Landscape/hill.lnd")), QByteArray("landscape as text\r\n"));
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/hill.lnd.bak")));
    }

    void binaryLandscapesAndMeshesCopyByteForByte()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QByteArray fresh("LND\0\x01\x02\r\n\xff", 9);
        const QByteArray old("\0\0old\n", 6);
        tree.write(QStringLiteral("in/skin.l3d"), fresh);
        tree.write(QStringLiteral("Games/Black & White/Data/CreatureMesh/skin.l3d"), old);
        const ChosenFile chosen = loadChosenFile(TestTree::win(QStringLiteral("in/skin.l3d")));
        QVERIFY(chosen.binary);
        const GameFileResult r = InstallGameFile(chosen, TestTree::gameFolder(), TestTree::programFolder(),
                                                 QStringLiteral("Data\\CreatureMesh\\"));
        QVERIFY(r.installed && r.backedUp);
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Data/CreatureMesh/skin.l3d")), fresh);
        QCOMPARE(tree.read(QStringLiteral("Veldrin/skin.l3d.bak")), old);
    }

    void failingStepsAreSkippedNotFatal()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/gone.txt"), "kept");
        // An unreadable chosen file must not empty the game's file; the backup still runs.
        const ChosenFile missing = loadChosenFile(TestTree::win(QStringLiteral("in/gone.txt")));
        QVERIFY(!missing.readable);
        GameFileResult r = InstallGameFile(missing, TestTree::gameFolder(), TestTree::programFolder(),
                                           QStringLiteral("Scripts\\Playgrounds\\"));
        QVERIFY(!r.installed);
        QVERIFY(!r.installError.isEmpty());
        QVERIFY(r.backedUp);
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/gone.txt")), QByteArray("kept"));

        // A missing game subfolder skips the install; the folder is not created.
        tree.write(QStringLiteral("in/a.l3d"), "mesh");
        r = InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/a.l3d"))), TestTree::gameFolder(),
                            TestTree::programFolder(), QStringLiteral("Data\\Nowhere\\"));
        QVERIFY(!r.installed);
        QVERIFY(!tree.exists(QStringLiteral("Games/Black & White/Data/Nowhere")));
    }
};

QTEST_GUILESS_MAIN(test_InstallByType)
#include "test_InstallByType.moc"
