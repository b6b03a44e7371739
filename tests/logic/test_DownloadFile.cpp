// Where a fetched file lands: the name a server suggests made safe, the number a taken name
// gets, and a file that only appears under its name once it is whole.
#include "support/TestTree.h"
#include "web/DownloadFile.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {
QStringList entries(const QString &hostFolder)
{
    return QDir(hostFolder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
} // namespace

class test_DownloadFile : public QObject
{
    Q_OBJECT
private slots:
    void suggestedNamesAreMadeSafe_data()
    {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "island.zip" << "island.zip";
        QTest::newRow("posix folders") << "../../etc/passwd" << "passwd";
        QTest::newRow("windows folders") << "C:\\Windows\\..\\evil.brx" << "evil.brx";
        QTest::newRow("only dots") << ".." << "download";
        QTest::newRow("empty") << "" << "download";
        QTest::newRow("dots inside and hidden") << "..map..v2...txt" << "map.v2.txt";
        QTest::newRow("refused characters") << "a<b>c:d\"e|f?g*h\x01.lnd" << "abcdefgh.lnd";
        QTest::newRow("trailing dot and space") << "skin.l3d. " << "skin.l3d";
        QTest::newRow("device name") << "CON.txt" << "_CON.txt";
        QTest::newRow("long, kind kept") << QString(300, QLatin1Char('x')) + ".tar.gz"
                                         << QString(180 - 7, QLatin1Char('x')) + ".tar.gz";
    }
    void suggestedNamesAreMadeSafe()
    {
        QFETCH(QString, suggested);
        QFETCH(QString, safe);
        QCOMPARE(downloads::safeName(suggested), safe);
    }

    void addOnKindsAndNumbers()
    {
        for (const char *name : {"a.brx", "a.ZIP", "a.7z", "a.rar", "a.tar.gz", "a.tar.xz", "a.txt", "a.lnd", "a.l3d", "a.bmp"})
            QVERIFY2(downloads::isAddOn(QLatin1String(name)), name);
        for (const char *name : {"a.exe", "a.pdf", "zip", "a.tar", "a.zip.html"})
            QVERIFY2(!downloads::isAddOn(QLatin1String(name)), name);
        QCOMPARE(downloads::numberedName(QStringLiteral("island.zip"), 1), QStringLiteral("island.zip"));
        QCOMPARE(downloads::numberedName(QStringLiteral("island.zip"), 2), QStringLiteral("island (2).zip"));
        QCOMPARE(downloads::numberedName(QStringLiteral("pack.TAR.BZ2"), 3), QStringLiteral("pack (3).TAR.BZ2"));
        QCOMPARE(downloads::numberedName(QStringLiteral("README"), 2), QStringLiteral("README (2)"));
        QCOMPARE(downloads::folderOf(QStringLiteral("C:\\Veldrin\\")), QStringLiteral("C:\\Veldrin\\Downloads\\"));
    }

    // The folder is made on demand; the bytes stay under a name of their own until whole, and
    // a finished file never replaces one that is there, whatever its case.
    void aWholeFileTakesTheFirstFreeName()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QString folder = tree.host(QStringLiteral("Veldrin/Downloads"));
        QVERIFY(!QFileInfo::exists(folder));
        downloads::PartFile first;
        QString error;
        QVERIFY2(first.begin(folder, QStringLiteral("maps/Island.zip"), &error), qPrintable(error));
        QVERIFY(QFileInfo(folder).isDir());
        tree.write(QStringLiteral("Veldrin/Downloads/island.ZIP"), "mine");
        // A writer's own ending on the temporary name meets no file of the player's.
        tree.write(QStringLiteral("Veldrin/Downloads/Island.zip.2.part.download"), "mine too");
        downloads::PartFile second;
        QVERIFY(second.begin(folder, QStringLiteral("Island.zip"), &error));
        QCOMPARE(first.tempName(), QStringLiteral("Island.zip.1.part"));
        QCOMPARE(second.tempName(), QStringLiteral("Island.zip.3.part"));

        QVERIFY(QFileInfo(first.tempPath()).isFile());
        tree.write(QStringLiteral("Veldrin/Downloads/Island.zip.3.part"), "second");
        QVERIFY(!entries(folder).contains(QStringLiteral("Island (2).zip")));
        QString saved;
        QVERIFY2(second.finish(&saved, &error), qPrintable(error));
        QCOMPARE(saved, QDir(folder).filePath(QStringLiteral("Island (2).zip")));
        QVERIFY2(first.finish(&saved, &error), qPrintable(error));
        QCOMPARE(saved, QDir(folder).filePath(QStringLiteral("Island (3).zip")));
        QCOMPARE(entries(folder), QStringList({QStringLiteral("Island (2).zip"), QStringLiteral("Island (3).zip"),
                                               QStringLiteral("Island.zip.2.part.download"), QStringLiteral("island.ZIP")}));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/Downloads/island.ZIP")), QByteArray("mine"));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/Downloads/Island (2).zip")), QByteArray("second"));
    }

    // Cancelled or failed: the temporary file and whatever the writer put beside it go, and
    // nothing else in the folder is touched.
    void aDiscardedFileLeavesNothing()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QString folder = tree.host(QStringLiteral("Veldrin/Downloads"));
        downloads::PartFile part;
        QString error;
        QVERIFY(part.begin(folder, QStringLiteral("hill.lnd"), &error));
        tree.write(QStringLiteral("Veldrin/Downloads/hill.lnd.1.part.download"), "half");
        tree.write(QStringLiteral("Veldrin/Downloads/hill.lnd.10.part"), "not ours");
        part.discard();
        QCOMPARE(entries(folder), QStringList({QStringLiteral("hill.lnd.10.part")}));
        QString saved;
        QVERIFY(!part.finish(&saved, &error));
        QVERIFY(saved.isEmpty());
    }

    void aFolderThatCannotBeMadeIsSaid()
    {
        TestTree tree;
        tree.write(QStringLiteral("Veldrin/Downloads"), "a file in the way");
        downloads::PartFile part;
        QString error;
        QVERIFY(!part.begin(tree.host(QStringLiteral("Veldrin/Downloads")), QStringLiteral("a.zip"), &error));
        QVERIFY(error.contains(QLatin1String("cannot be made")));
        QVERIFY(!part.begin(tree.host(QStringLiteral("Nowhere/Veldrin/Downloads")), QStringLiteral("a.zip"), &error));
    }
};

QTEST_GUILESS_MAIN(test_DownloadFile)
#include "test_DownloadFile.moc"
