#include "platform/FileIO.h"
#include "support/TestTree.h"

#include <QFileInfo>
#include <QRandomGenerator>
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
        QCOMPARE(fileio::encode1252(text), all);
        // The code page's five holes come back as the C1 controls Windows gives them.
        for (int hole : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(int(text.at(hole).unicode()), hole);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x9F), QChar(0x0178));
    }

    void loadNormalisesLineBreaksAndWriteAddsOne()
    {
        TestTree tree;
        tree.write(QStringLiteral("out/m.txt"), "one\ntwo\rthree\x80\r\nfour\n\rfive");
        const auto text = fileio::loadText(TestTree::win(QStringLiteral("out/m.txt")));
        QVERIFY(text);
        QCOMPARE(*text, QString::fromUtf8("one\r\ntwo\r\nthree\u20ac\r\nfour\r\n\r\nfive"));
        QVERIFY(!fileio::loadText(TestTree::win(QStringLiteral("absent.txt"))));
        // A view gets the same text with one LF per break.
        QCOMPARE(*fileio::loadViewText(TestTree::win(QStringLiteral("out/m.txt"))),
                 QString(*text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        tree.write(QStringLiteral("out/e.txt"), "\r");
        QCOMPARE(*fileio::loadViewText(TestTree::win(QStringLiteral("out/e.txt"))), QStringLiteral("\n"));
        QVERIFY(!fileio::loadViewText(TestTree::win(QStringLiteral("absent.txt"))));
        QVERIFY(fileio::writeText(TestTree::win(QStringLiteral("out/a.txt")), QString::fromUtf8("caf\u00e9\u20ac")));
        QCOMPARE(tree.read(QStringLiteral("out/a.txt")), QByteArray("caf\xe9\x80\r\n"));
    }

    void viewTextEncodesAsWriteTextWould()
    {
        // Breaks of every kind next to each other, code-page and unmappable characters.
        const QString pieces[] = {QStringLiteral("\r"), QStringLiteral("\n"), QString(QChar(0x2029)), QString(QChar(0x2028)),
                                  QStringLiteral("a"), QStringLiteral("\t"), QString(QChar(0x20AC)), QString(QChar(0xE9)),
                                  QString(QChar(0x4E00)), QString(QChar(0x9D))};
        QRandomGenerator random(3);
        for (int round = 0; round < 3000; ++round) {
            QString text;
            for (int n = int(random.bounded(12)); n > 0; --n)
                text += pieces[random.bounded(int(std::size(pieces)))];
            QString lines = text;
            lines.replace(QChar(0x2029), QLatin1Char('\n')).replace(QChar(0x2028), QLatin1Char('\n'));
            QCOMPARE(fileio::encodeTextFile(text), fileio::encode1252(fileio::normalizeLineBreaks(lines)) + "\r\n");
        }
    }

    void failedWritesCreateNothing()
    {
        TestTree tree;
        QString error;
        QVERIFY(!fileio::writeText(TestTree::win(QStringLiteral("missing/a.txt")), QStringLiteral("x"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!tree.exists(QStringLiteral("missing")));
        // A folder standing where the file should go is left as it was.
        tree.mkdir(QStringLiteral("keep/game.txt"));
        QVERIFY(!fileio::writeText(TestTree::win(QStringLiteral("keep/game.txt")), QStringLiteral("new")));
        QVERIFY(QFileInfo(tree.host(QStringLiteral("keep/game.txt"))).isDir());
    }
};

QTEST_GUILESS_MAIN(test_FileIO)
#include "test_FileIO.moc"
