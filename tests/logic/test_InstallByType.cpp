// Routing a chosen file by its extension, and the copy-with-backup install of maps,
// landscapes and meshes.
#include "install/InstallByType.h"
#include "support/TestTree.h"

#include <QTest>

using namespace installbytype;

class test_InstallByType : public QObject
{
    Q_OBJECT
private slots:
    void routesByTheExtensionExactly_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("route");
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("brx") << "C:\\a\\pack.v2.brx" << "brx" << int(Route::Package) << QString();
        QTest::newRow("txt") << "D:\\Maps\\island.txt" << "txt" << int(Route::GameFile) << "Scripts\\Playgrounds\\";
        QTest::newRow("bmp") << "t.bmp" << "bmp" << int(Route::Tattoo) << QString();
        QTest::newRow("lnd") << "C:\\hill.lnd" << "lnd" << int(Route::GameFile) << "Data\\Landscape\\";
        QTest::newRow("l3d") << "C:\\skin.l3d" << "l3d" << int(Route::GameFile) << "Data\\CreatureMesh\\";
        const int refused = int(Route::Invalid);
        QTest::newRow("capital") << "C:\\island.TXT" << "TXT" << refused << QString();
        QTest::newRow("dot in folder") << "D:\\My.Maps\\island" << "Maps\\island" << refused << QString();
        QTest::newRow("no dot") << "C:\\Maps\\island" << "C:\\Maps\\island" << refused << QString();
        QTest::newRow("trailing dot") << "C:\\x." << QString() << refused << QString();
        QTest::newRow("empty") << QString() << QString() << refused << QString();
    }

    void routesByTheExtensionExactly()
    {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QFETCH(int, route);
        QFETCH(QString, subfolder);
        QCOMPARE(FileExtensionOf(path), extension);
        const FileType &type = typeForPath(path);
        QCOMPARE(int(type.route), route);
        QCOMPARE(type.subfolder, subfolder);
    }

    void installWritesTargetAndBackup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("subfolder");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QByteArray>("old");       // null: nothing to replace
        QTest::addColumn<QByteArray>("installed");
        QTest::addColumn<QByteArray>("backup");
        QTest::newRow("map over an old one") << "island.txt" << "Scripts/Playgrounds/" << QByteArray("new\nmap")
                                             << QByteArray("old map") << QByteArray("new\r\nmap\r\n") << QByteArray("old map\r\n");
        QTest::newRow("nothing to replace") << "hill.lnd" << "Data/Landscape/" << QByteArray("land") << QByteArray()
                                            << QByteArray("land\r\n") << QByteArray("\r\n");
        const QByteArray mesh("LND\0\x01\x02\r\n\xff", 9), old("\0\0old\n", 6);
        QTest::newRow("binary mesh") << "skin.l3d" << "Data/CreatureMesh/" << mesh << old << mesh << old;
    }

    void installWritesTargetAndBackup()
    {
        QFETCH(QString, name);
        QFETCH(QString, subfolder);
        QFETCH(QByteArray, chosen);
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, installed);
        QFETCH(QByteArray, backup);
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QString target = QStringLiteral("Games/Black & White/") + subfolder + name;
        tree.write(QStringLiteral("in/") + name, chosen);
        if (!old.isNull())
            tree.write(target, old);
        const ChosenFile file = loadChosenFile(TestTree::win(QStringLiteral("in/") + name));
        tree.write(QStringLiteral("in/") + name, "changed since"); // what was read when chosen is installed
        QStringList notes;
        QList<int> bar;
        const GameFileResult r = InstallGameFile(file, TestTree::gameFolder(), TestTree::programFolder(),
                                                 QString(subfolder).replace(QLatin1Char('/'), QLatin1Char('\\')),
                                                 {[&](const QString &n) { notes << n; }, [&](int v) { bar << v; }});
        QVERIFY(r.installed);
        QVERIFY(r.backedUp);
        QVERIFY(r.succeeded());
        QCOMPARE(tree.read(target), installed);
        QCOMPARE(tree.read(QStringLiteral("Veldrin/") + name + QStringLiteral(".bak")), backup);
        QCOMPARE(notes.last(), kNoteDone);
        QCOMPARE(bar, (QList<int>{50, 100}));
    }

    void anEmptyBackupNeverReplacesAGoodOne()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.write(QStringLiteral("in/new.txt"), "new");
        tree.write(QStringLiteral("Veldrin/new.txt.bak"), "the player's earlier map");
        const GameFileResult r = InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/new.txt"))),
                                                 TestTree::gameFolder(), TestTree::programFolder(),
                                                 QStringLiteral("Scripts\\Playgrounds\\"));
        QVERIFY(r.installed && !r.backedUp && r.olderBackupKept);
        QCOMPARE(tree.read(QStringLiteral("Veldrin/new.txt.bak")), QByteArray("the player's earlier map"));
        // A second install now replaces a real file, so its backup is written as usual.
        InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/new.txt"))), TestTree::gameFolder(),
                        TestTree::programFolder(), QStringLiteral("Scripts\\Playgrounds\\"));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/new.txt.bak")), QByteArray("new\r\n\r\n"));
    }

    // The closing note is the success text only after a success; otherwise it says what failed.
    void failuresAreToldAsTheyHappened()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QString play = QStringLiteral("Scripts\\Playgrounds\\");
        tree.write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/gone.txt"), "kept");
        QStringList notes;
        QList<int> bar;
        const GameFileSteps steps{[&](const QString &n) { notes << n; }, [&](int v) { bar << v; }};
        // An unreadable chosen file must not empty the game's file; the backup still runs.
        GameFileResult r = InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/gone.txt"))),
                                           TestTree::gameFolder(), TestTree::programFolder(), play, steps);
        QVERIFY(!r.installed && r.backedUp && !r.succeeded());
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/gone.txt")), QByteArray("kept"));
        QCOMPARE(notes.last(), outcomeNote(r));
        QVERIFY2(notes.last().startsWith(QStringLiteral("Your file was not installed: \"") + r.target),
                 qPrintable(notes.last()));
        QCOMPARE(bar, QList<int>{50});

        // A backup that cannot be written: the file goes in, and the note says it was not backed up.
        notes.clear();
        bar.clear();
        tree.write(QStringLiteral("in/island.txt"), "isle");
        tree.mkdir(QStringLiteral("Veldrin/island.txt.bak"));
        tree.write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt"), "old isle");
        r = InstallGameFile(loadChosenFile(TestTree::win(QStringLiteral("in/island.txt"))), TestTree::gameFolder(),
                            TestTree::programFolder(), play, steps);
        QVERIFY(r.installed && !r.backedUp && !r.succeeded());
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt")),
                 QByteArray("isle\r\n"));
        QVERIFY2(notes.last().contains(QStringLiteral("not backed up: \"") + r.backup + QLatin1Char('"')),
                 qPrintable(notes.last()));
        QCOMPARE(bar, (QList<int>{50, 100}));
    }
};

QTEST_GUILESS_MAIN(test_InstallByType)
#include "test_InstallByType.moc"
