// The package format on its own: what the writer produces, what the reader cuts out of it, and
// how it refuses packages whose markers are missing or out of order.
#include "brx/Brx.h"
#include "platform/FileIO.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray entryText(const QByteArray &path, const QByteArray &title, const QByteArray &content)
{
    return "###Begin_BRX###\r\n###Install###" + path + "###/Install###\r\n###Title###" + title
        + "###/Title###\r\n" + content + "\r\n###End_BRX###\r\n";
}

} // namespace

class test_Brx : public QObject
{
    Q_OBJECT
private slots:
    void textBufferEncodesLikeTheByteWriter()
    {
        // The wizard's text buffer gets the same bytes as the byte writer, code-page text included.
        QString text;
        brx::appendEntry(text, QString::fromUtf8("C:\\Caf\u00e9\\x.txt"), QStringLiteral("x.txt"), QString::fromUtf8("\u20ac5"));
        QCOMPARE(fileio::encode1252(text), entryText("C:\\Caf\xe9\\x.txt", "x.txt", "\x80" "5"));
    }

    void countsBeginMarkersAnywhere_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("lower case") << QByteArray("###begin_brx###\r\n") << 0;
        QTest::newRow("overlapping") << QByteArray("###Begin_BRX###Begin_BRX###") << 2;
        QTest::newRow("inside content")
            << entryText("C:\\a", "a", "see ###Begin_BRX### here") + entryText("C:\\b", "b", "x") << 3;
        QTest::newRow("nested package") << entryText("C:\\outer", "outer", entryText("C:\\inner", "inner", "x")) << 2;
    }

    void countsBeginMarkersAnywhere()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QCOMPARE(brx::countEntries(text), count);
        QCOMPARE(brx::countEntries(fileio::decode1252(text)), count);
    }

    void endMarkerInContentCutsTheEntry()
    {
        const QByteArray single = entryText("C:\\a.txt", "a.txt", "before###End_BRX###after");
        QCOMPARE(brx::readEntries(single).entries.first().content, QByteArray("\r\nbefore"));
        // The second search starts inside the first content and meets its end marker first.
        const brx::ReadResult read = brx::readEntries(single + entryText("C:\\b.txt", "b.txt", "b"));
        QCOMPARE(read.error->entry, 2);
        QVERIFY(read.error->reason.contains(QLatin1String("###End_BRX###")));
    }

    void damagedEntriesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("marker");
        const QByteArray good = entryText("C:\\g.txt", "g.txt", "good");
        const QByteArray head = "###Begin_BRX###\r\n###Install###C:\\x###/Install###\r\n";
        QTest::newRow("no install") << good + "###Begin_BRX###\r\n###Title###t###/Title###\r\nx\r\n###End_BRX###\r\n"
                                    << 2 << QStringLiteral("###Install###");
        QTest::newRow("no install end") << QByteArray("###Begin_BRX###\r\n###Install###C:\\x\r\n###Title###t###/Title###\r\n###End_BRX###")
                                        << 1 << QStringLiteral("###/Install###");
        QTest::newRow("no title") << head + "x\r\n###End_BRX###" << 1 << QStringLiteral("###Title###");
        QTest::newRow("no end") << good + entryText("C:\\x", "x", "x").replace("###End_BRX###", "###End###")
                                << 2 << QStringLiteral("###End_BRX###");
        QTest::newRow("overlapping title markers") << head + "###Title###/Title###\r\n###End_BRX###" << 1
                                                   << QStringLiteral("###/Title###");
        QTest::newRow("nested package") << entryText("C:\\o.txt", "o.txt", entryText("C:\\i.txt", "i.txt", "x")) << 2
                                        << QStringLiteral("###Install###");
        // Found by fuzzing: a path or title that the markers around it turn into marker text.
        QTest::newRow("path makes a begin marker") << entryText("#Begin_BRX#", "a.txt", "x") << 2 << QStringLiteral("###");
        QTest::newRow("title makes an end marker") << entryText("C:\\a.txt", "End_BRX", "x") << 1 << QStringLiteral("###");
        QTest::newRow("broken base64") << entryText("C:\\x.lnd", "x.lnd|base64", "not*base64") << 1 << QStringLiteral("base64");
    }

    void damagedEntriesAreNamed()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, entry);
        QFETCH(QString, marker);
        const brx::ReadResult read = brx::readEntries(text);
        QVERIFY(read.valid());
        QVERIFY(read.damaged());
        QCOMPARE(read.error->entry, entry);
        QVERIFY2(read.error->reason.contains(marker), qPrintable(read.error->reason));
        QCOMPARE(read.entries.size(), entry - 1);
    }

    void binaryEntriesRoundTripAndLookLikeText()
    {
        QByteArray every;
        for (int i = 0; i < 3 * 256; ++i)
            every.append(char(i));
        for (const QByteArray &bytes : {QByteArray(), QByteArray("\0", 1), QByteArray("\xff\x00", 2), every}) {
            QByteArray package;
            brx::appendBinaryEntry(package, QStringLiteral("C:\\hill.lnd"), QStringLiteral("hill.lnd"), bytes);
            // A text-only reader sees plain text: base64 lines no longer than 76.
            QVERIFY(fileio::isText(package));
            for (const QByteArray &line : package.split('\n'))
                QVERIFY(line.size() <= 77);
            const brx::ReadResult read = brx::readEntries(brx::normalizeBreaks(package + "\r\n"));
            QVERIFY(!read.error);
            const brx::Entry &e = read.entries.first();
            QVERIFY(e.binary);
            QCOMPARE(e.fileName(), QStringLiteral("hill.lnd"));
            QCOMPARE(e.installBytes(), bytes);
        }
    }

    void textHoldingAMarkerTravelsAsBinary()
    {
        for (const char *marker : {"###Begin_BRX###", "###Install###", "###/Install###", "###Title###", "###/Title###",
                                   "###End_BRX###"}) {
            // At the very end, where a scan that stops one byte short would miss it.
            const QByteArray text = QByteArray("notes\nsee ") + marker;
            QCOMPARE(brx::markerIn(text), marker);
            QByteArray package;
            QVERIFY(brx::appendFileContent(package, QStringLiteral("C:\\r.txt"), QStringLiteral("r.txt"), text));
            const brx::ReadResult read = brx::readEntries(package);
            QVERIFY2(!read.error, marker);
            QCOMPARE(read.entries.size(), 1);
            QVERIFY(read.entries.first().binary);
            QCOMPARE(read.entries.first().installBytes(), text);
        }
        // Near misses stay text, with their breaks made CR LF as before.
        for (const QByteArray &text : {QByteArray("## #End_BRX##"), QByteArray("###End_BRX##\n"), QByteArray("###")}) {
            QCOMPARE(brx::markerIn(text), nullptr);
            QByteArray package;
            QVERIFY(brx::appendFileContent(package, QStringLiteral("C:\\r.txt"), QStringLiteral("r.txt"), text));
            QVERIFY(!brx::readEntries(package).entries.value(0).binary);
        }
    }

    // Binary entries are written as Qt writes base64, in lines of 76 characters, at every
    // length around the edges of a group of three bytes and of a line.
    void binaryEntriesAreBase64InLinesOf76()
    {
        QRandomGenerator random(11);
        for (int size = 0; size <= 240; ++size) {
            QByteArray bytes(size, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            const QByteArray encoded = bytes.toBase64();
            QByteArray lines;
            for (qsizetype at = 0; at < encoded.size(); at += 76)
                lines += (at ? "\r\n" : "") + encoded.mid(at, 76);
            QByteArray ours;
            brx::appendBinaryEntry(ours, QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), bytes);
            QCOMPARE(ours, "###Begin_BRX###\r\n###Install###C:\\b.lnd###/Install###\r\n###Title###b.lnd|base64###/Title###\r\n"
                               + lines + "\r\n###End_BRX###\r\n");
        }
    }

    void wordAtATimeChecksAgreeWithByteByByte()
    {
        // Every control byte and break at every place in a word or block of bytes and across them.
        const QByteArray alphabet("\r\n\r\na\x00\x08\x09\x0b\x0c\x0d\x0e\x19\x1a\x1b\x1f\x20\x80\x8d\xff", 20);
        QRandomGenerator random(7);
        for (int round = 0; round < 20000; ++round) {
            // Half the rounds are plain text long enough for the wider blocks, with one byte
            // from the alphabet somewhere in it.
            const bool plain = round % 2;
            QByteArray bytes(int(random.bounded(plain ? 200 : 40)), Qt::Uninitialized);
            for (char &c : bytes)
                c = plain ? "a\r\n"[random.bounded(3)] : alphabet.at(int(random.bounded(alphabet.size())));
            if (plain && !bytes.isEmpty())
                bytes[int(random.bounded(bytes.size()))] = alphabet.at(int(random.bounded(alphabet.size())));
            bool text = true;
            QByteArray normal;
            for (int i = 0; i < bytes.size(); ++i) {
                const auto u = static_cast<unsigned char>(bytes.at(i));
                text = text && (u >= 0x20 || (u >= 0x09 && u <= 0x0d) || u == 0x1a);
                if (u == '\r' || u == '\n') {
                    normal += "\r\n";
                    i += u == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n';
                } else {
                    normal += char(u);
                }
            }
            QCOMPARE(fileio::isText(bytes), text);
            QCOMPARE(brx::normalizeBreaks(bytes), normal);
        }
    }

    void backupNamesStayInTheBackupFolder_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("backup");
        const QString dir = QStringLiteral("C:\\Veldrin\\Backup\\brx\\");
        QTest::newRow("climbing") << QStringLiteral("..\\..\\Windows\\win.ini") << dir + QStringLiteral("win.ini");
        QTest::newRow("slashes") << QStringLiteral("../../etc/passwd") << dir + QStringLiteral("passwd");
        QTest::newRow("absolute") << QStringLiteral("C:\\Games\\x.txt") << dir + QStringLiteral("x.txt");
        QTest::newRow("binary") << QStringLiteral("hill.lnd|base64") << dir + QStringLiteral("hill.lnd");
        for (const char *none : {"", ".", "a\\..", "a\\", "..|base64"})
            QTest::newRow(none) << QString::fromLatin1(none) << QString();
    }

    void backupNamesStayInTheBackupFolder()
    {
        QFETCH(QString, title);
        QFETCH(QString, backup);
        QCOMPARE(brx::backupPathFor(QStringLiteral("C:\\Veldrin\\"), title), backup);
    }
};

QTEST_GUILESS_MAIN(test_Brx)
#include "test_Brx.moc"
