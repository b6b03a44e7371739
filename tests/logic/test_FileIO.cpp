#include "platform/FileIO.h"
#include "support/TestTree.h"

#include <QTest>

class test_FileIO : public QObject
{
    Q_OBJECT
private slots:
    void everyByteSurvivesARoundTrip()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        const QString text = fileio::decode1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(fileio::encode1252(text), all);
        // The code page's five holes come back as the C1 controls Windows gives them.
        for (int hole : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(int(text.at(hole).unicode()), hole);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x9F), QChar(0x0178));
    }

    void lineBreaksComeBackAsCrLf()
    {
        QCOMPARE(fileio::normalizeLineBreaks(QStringLiteral("a\rb\nc\r\nd\n\re")),
                 QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    }

    void textTest()
    {
        QVERIFY(fileio::isText("plain\ttext\r\n\x0b\x0c\x1a\xff"));
        QVERIFY(!fileio::isText(QByteArray("a\0b", 3)));
        QVERIFY(!fileio::isText("a\x01"));
        QVERIFY(!fileio::isText("\x1b[0m"));
    }

    void writeAddsOneLineBreakAndNeverCreatesFolders()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("out"));
        QVERIFY(fileio::writeText(TestTree::win(QStringLiteral("out/a.txt")), QString::fromUtf8("caf\u00e9\u20ac")));
        QCOMPARE(tree.read(QStringLiteral("out/a.txt")), QByteArray("caf\xe9\x80\r\n"));

        QString error;
        QVERIFY(!fileio::writeText(TestTree::win(QStringLiteral("missing/a.txt")), QStringLiteral("x"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!tree.exists(QStringLiteral("missing")));
        QVERIFY(!fileio::writeText(TestTree::win(QStringLiteral("out/")), QStringLiteral("x")));
    }

    void failedWriteLeavesTheOldFileWhole()
    {
        TestTree tree;
        tree.write(QStringLiteral("keep/game.txt"), "old content");
        // A folder in the way of the target makes the write fail; the old file is untouched.
        tree.mkdir(QStringLiteral("keep/game.txt.dir"));
        QVERIFY(!fileio::writeText(TestTree::win(QStringLiteral("keep/game.txt.dir")), QStringLiteral("new")));
        QCOMPARE(tree.read(QStringLiteral("keep/game.txt")), QByteArray("old content"));
    }

    void loadTextNormalisesAndDecodes()
    {
        TestTree tree;
        tree.write(QStringLiteral("m.txt"), "one\ntwo\rthree\x80");
        const auto text = fileio::loadText(TestTree::win(QStringLiteral("m.txt")));
        QVERIFY(text);
        QCOMPARE(*text, QString::fromUtf8("one\r\ntwo\r\nthree\u20ac"));
        QVERIFY(!fileio::loadText(TestTree::win(QStringLiteral("absent.txt"))));
        QVERIFY(!fileio::loadText(QString()));
    }
};

QTEST_GUILESS_MAIN(test_FileIO)
#include "test_FileIO.moc"
