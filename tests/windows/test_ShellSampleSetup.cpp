#include "platform/FileIO.h"
#include "shell/OptionsFile.h"
#include "shell/SampleSetup.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTest>

class test_ShellSampleSetup : public QObject
{
    Q_OBJECT
private slots:
    void bmpRowsArePaddedAndBottomUp()
    {
        // Three pixels make nine bytes a row, padded to twelve.
        const QByteArray bmp = sample::bmp24(3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x010203, 0x040506, 0x070809});
        QCOMPARE(bmp.size(), 54 + 2 * 12);
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QImage image = QImage::fromData(bmp, "BMP");
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
        QCOMPARE(image.pixel(2, 1) & 0xFFFFFF, 0x070809u);
        QVERIFY(sample::bmp24(2, 2, {1, 2, 3}).isEmpty());
    }

    void treeHoldsWhatEveryWindowNeeds()
    {
        TestTree tree;
        const sample::SetupResult result = sample::createSampleSetup(tree.prefix());
        QVERIFY2(result.ok(), qPrintable(result.errors.join(QLatin1Char('\n'))));
        for (const char *folder : {"Games/Black & White/Scripts/Playgrounds", "Veldrin/Backup/tattoos", "Veldrin/Backup/Landscape",
                                   "Veldrin/Backup/Skin", "Veldrin/Backup/brx"})
            QVERIFY2(QFileInfo(tree.host(QLatin1String(folder))).isDir(), folder);
        for (const char *program : {"Games/Black & White/runblack.exe", "Veldrin/Help/Help.exe",
                                    "Veldrin/Steadwright/Steadwright.exe", "Veldrin/Editors/Editor.exe"}) {
            QVERIFY2(QFileInfo(tree.host(QLatin1String(program))).isExecutable(), program);
            QVERIFY(tree.read(QLatin1String(program)).startsWith("#!/bin/sh\n"));
        }

        QSet<QByteArray> pictures;
        for (int slot = 1; slot <= 16; ++slot) {
            const QByteArray bmp = tree.read(QStringLiteral("Games/Black & White/Profiles/Arden/symbol%1.bmp").arg(slot));
            QCOMPARE(QImage::fromData(bmp, "BMP").size(), QSize(32, 32));
            pictures.insert(bmp);
        }
        QCOMPARE(pictures.size(), 16);
        QVERIFY(tree.exists(QStringLiteral("Games/Black & White/Profiles/Arden/helpstats.dat")));

        QVERIFY(!fileio::isText(tree.read(QStringLiteral("Games/Black & White/Data/Landscape/Land1.lnd"))));
        QVERIFY(fileio::isText(tree.read(QStringLiteral("Games/Black & White/Data/Landscape/Marsh.lnd"))));
        QVERIFY(!fileio::isText(tree.read(QStringLiteral("Games/Black & White/Data/CreatureMesh/Wolf.l3d"))));
        QVERIFY(!fileio::isText(tree.read(QStringLiteral("Veldrin/Samples/Land1.lnd"))));
        // Text files use CR LF only.
        for (const char *textFile : {"Veldrin/Samples/dawn-island.txt", "Veldrin/options.txt", "Veldrin/Samples/island-pack.brx"}) {
            const QByteArray bytes = tree.read(QLatin1String(textFile));
            QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
            QVERIFY(bytes.endsWith("\r\n"));
        }

        // Started from its own folder, the program finds its settings and no first run.
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        Settings record;
        QVERIFY(optionsfile::LoadSettings(record));
        QCOMPARE(record.GameFolder, TestTree::gameFolder());
        QCOMPARE(record.ProgramFolder, TestTree::programFolder());
        QVERIFY(fileio::exists(record.MapEditorPath));
    }

    void packageHasTwoMapEntriesIntoTheGame()
    {
        TestTree tree;
        QVERIFY(sample::createSampleSetup(tree.prefix()).ok());
        const QString pack = fileio::decode1252(tree.read(QStringLiteral("Veldrin/Samples/island-pack.brx")));
        QVERIFY(pack.startsWith(QLatin1String("###Begin_BRX###\r\n###Install###C:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt###/Install###\r\n###Title###island.txt###/Title###\r\n")));
        QVERIFY(pack.endsWith(QLatin1String("\r\n###End_BRX###\r\n\r\n")));
        QCOMPARE(pack.count(QLatin1String("###Begin_BRX###")), 2);
        QCOMPARE(pack.count(QLatin1String("###End_BRX###\r\n")), 2);
        QCOMPARE(pack.count(QLatin1String("###Install###C:\\Games\\Black & White\\Scripts\\Playgrounds\\")), 2);
        QCOMPARE(sample::brxEntry(QStringLiteral("D:\\x.txt"), QStringLiteral("x.txt"), QStringLiteral("a\nb")),
                 QStringLiteral("###Begin_BRX###\r\n###Install###D:\\x.txt###/Install###\r\n###Title###x.txt###/Title###\r\na\r\nb\r\n###End_BRX###\r\n"));
    }

    void rerunLeavesChangedFilesAlone()
    {
        TestTree tree;
        QVERIFY(sample::createSampleSetup(tree.prefix()).ok());
        tree.write(QStringLiteral("Veldrin/options.txt"), "mine\r\n");
        QFile::remove(tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d")));
        const sample::SetupResult again = sample::createSampleSetup(tree.prefix());
        QVERIFY(again.ok());
        QCOMPARE(again.created, QStringList({tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d"))}));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/options.txt")), QByteArray("mine\r\n"));
    }
};

QTEST_MAIN(test_ShellSampleSetup)
#include "test_ShellSampleSetup.moc"
