// The package format on its own: what the writer produces, what the reader cuts out of it, and
// how it refuses packages whose markers are missing or out of order.
#include "installer/Brx.h"
#include "platform/FileIO.h"

#include <QTest>

namespace {

const QByteArray kExamplePackage =
    "###Begin_BRX###\r\n"
    "###Install###D:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt###/Install###\r\n"
    "###Title###island.txt###/Title###\r\n"
    "first line\r\n"
    "second line\r\n"
    "###End_BRX###\r\n";

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
    void writerProducesTheWorkedExample()
    {
        const QString path = QStringLiteral("D:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt");
        QByteArray bytes;
        brx::appendEntry(bytes, path, QStringLiteral("island.txt"), "first line\r\nsecond line");
        QCOMPARE(bytes, kExamplePackage);

        // The wizard's text buffer gets the very same characters, also with code-page text.
        QString text;
        brx::appendEntry(text, path, QStringLiteral("island.txt"), QStringLiteral("first line\r\nsecond line"));
        QCOMPARE(fileio::encode1252(text), kExamplePackage);
        QString accented;
        brx::appendEntry(accented, QString::fromUtf8("C:\\Caf\u00e9\\x.txt"), QStringLiteral("x.txt"),
                         QString::fromUtf8("\u20ac5"));
        QVERIFY(fileio::encode1252(accented).contains("###Install###C:\\Caf\xe9\\x.txt###/Install###"));
        QVERIFY(fileio::encode1252(accented).contains("\r\n\x80" "5\r\n###End_BRX###"));

        // A file that already ends with a line break gains an empty line before the end marker.
        QByteArray trailing;
        brx::appendEntry(trailing, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"), "x\r\n");
        QVERIFY(trailing.endsWith("x\r\n\r\n###End_BRX###\r\n"));
    }

    void readerCutsTheWorkedExample()
    {
        const brx::ReadResult read = brx::readEntries(kExamplePackage + "\r\n");
        QCOMPARE(read.count, 1);
        QVERIFY(!read.error);
        QCOMPARE(read.entries.size(), 1);
        const brx::Entry &e = read.entries.first();
        QCOMPARE(e.installPath, QStringLiteral("D:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt"));
        QCOMPARE(e.title, QStringLiteral("island.txt"));
        QVERIFY(!e.binary);
        // The content starts with the title line's CR LF and ends with the one before the end marker.
        QCOMPARE(e.content, QByteArray("\r\nfirst line\r\nsecond line\r\n"));
        QCOMPARE(e.installBytes(), QByteArray("\r\nfirst line\r\nsecond line\r\n\r\n"));
        // The QString door reads the same text the same way.
        QCOMPARE(brx::readEntries(fileio::decode1252(kExamplePackage)).entries.first().content, e.content);
    }

    void countsBeginMarkersAnywhere_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("one character") << QByteArray("#") << 0;
        QTest::newRow("marker alone") << QByteArray("###Begin_BRX###") << 1;
        QTest::newRow("lower case") << QByteArray("###begin_brx###\r\n") << 0;
        QTest::newRow("mixed case") << QByteArray("###Begin_Brx###") << 0;
        // The next search starts one past the found marker, so overlapping markers both count.
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
        // One entry: the content stops at the first end marker after the entry's start.
        const QByteArray single = entryText("C:\\a.txt", "a.txt", "before###End_BRX###after");
        brx::ReadResult read = brx::readEntries(single);
        QVERIFY(!read.error);
        QCOMPARE(read.entries.first().content, QByteArray("\r\nbefore"));

        // Two entries: the second search starts inside the first one's content and finds that
        // entry's own end marker before the second title ends.
        read = brx::readEntries(single + entryText("C:\\b.txt", "b.txt", "b"));
        QCOMPARE(read.count, 2);
        QVERIFY(read.damaged());
        QCOMPARE(read.error->entry, 2);
        QVERIFY2(read.error->reason.contains(QLatin1String("###End_BRX###")), qPrintable(read.error->reason));
        QCOMPARE(read.entries.size(), 1);
    }

    void nestedPackageIsDamagedNotMisread()
    {
        const QByteArray nested = entryText("C:\\outer.txt", "outer.txt", entryText("C:\\inner.txt", "inner.txt", "x"));
        const brx::ReadResult read = brx::readEntries(nested);
        QCOMPARE(read.count, 2);
        QVERIFY(read.damaged());
        QCOMPARE(read.error->entry, 2);
        QVERIFY(read.error->reason.contains(QLatin1String("###Install###")));
    }

    void damagedEntriesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("marker");
        const QByteArray good = entryText("C:\\g.txt", "g.txt", "good");
        QTest::newRow("no install") << good + "###Begin_BRX###\r\n###Title###t###/Title###\r\nx\r\n###End_BRX###\r\n"
                                    << 2 << QStringLiteral("###Install###");
        QTest::newRow("no install end") << QByteArray("###Begin_BRX###\r\n###Install###C:\\x\r\n###Title###t###/Title###\r\n###End_BRX###")
                                        << 1 << QStringLiteral("###/Install###");
        QTest::newRow("no title") << QByteArray("###Begin_BRX###\r\n###Install###C:\\x###/Install###\r\nx\r\n###End_BRX###")
                                  << 1 << QStringLiteral("###Title###");
        QTest::newRow("no title end") << QByteArray("###Begin_BRX###\r\n###Install###C:\\x###/Install###\r\n###Title###t\r\n###End_BRX###")
                                      << 1 << QStringLiteral("###/Title###");
        QTest::newRow("no end") << good + entryText("C:\\x", "x", "x").replace("###End_BRX###", "###End###")
                                << 2 << QStringLiteral("###End_BRX###");
        QTest::newRow("title markers swapped")
            << QByteArray("###Begin_BRX###\r\n###Install###C:\\x###/Install###\r\n###/Title###t###Title###\r\nx###/Title###\r\n###End_BRX###")
            << 1 << QStringLiteral("###/Title###");
        // The title's end marker overlaps its start marker: a negative title length.
        QTest::newRow("overlapping title markers")
            << QByteArray("###Begin_BRX###\r\n###Install###C:\\x###/Install###\r\n###Title###/Title###\r\n###End_BRX###")
            << 1 << QStringLiteral("###/Title###");
        QTest::newRow("end before title")
            << QByteArray("###Begin_BRX###\r\n###End_BRX###\r\n###Install###C:\\x###/Install###\r\n###Title###t###/Title###\r\n")
            << 1 << QStringLiteral("###End_BRX###");
        QTest::newRow("broken base64")
            << entryText("C:\\x.lnd", "x.lnd|base64", "not*base64") << 1 << QStringLiteral("base64");
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
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < 256; ++i)
                every.append(char(i));
        for (const QByteArray &bytes : {QByteArray(), QByteArray("\0", 1), QByteArray("\xff\x00", 2),
                                        QByteArray("abc"), every}) {
            QByteArray package;
            brx::appendBinaryEntry(package, QStringLiteral("C:\\Game\\Data\\Landscape\\hill.lnd"),
                                   QStringLiteral("hill.lnd"), bytes);
            // Everything a text-only reader sees is plain text: lines of base64 no longer than 76.
            QVERIFY(fileio::isText(package));
            for (const QByteArray &line : package.split('\n'))
                QVERIFY(line.size() <= 77);
            const brx::ReadResult read = brx::readEntries(brx::normalizeBreaks(package + "\r\n"));
            QVERIFY(!read.error);
            const brx::Entry &e = read.entries.first();
            QVERIFY(e.binary);
            QCOMPARE(e.installPath, QStringLiteral("C:\\Game\\Data\\Landscape\\hill.lnd"));
            QCOMPARE(e.title, QStringLiteral("hill.lnd|base64"));
            QCOMPARE(e.fileName(), QStringLiteral("hill.lnd"));
            QCOMPARE(e.installBytes(), bytes);
        }
    }

    void backupNamesStayInTheBackupFolder_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("backup");
        const QString dir = QStringLiteral("C:\\Veldrin\\Backup\\brx\\");
        QTest::newRow("plain") << QStringLiteral("island.txt") << dir + QStringLiteral("island.txt");
        QTest::newRow("climbing") << QStringLiteral("..\\..\\Windows\\win.ini") << dir + QStringLiteral("win.ini");
        QTest::newRow("slashes") << QStringLiteral("../../etc/passwd") << dir + QStringLiteral("passwd");
        QTest::newRow("absolute") << QStringLiteral("C:\\Games\\x.txt") << dir + QStringLiteral("x.txt");
        QTest::newRow("binary") << QStringLiteral("hill.lnd|base64") << dir + QStringLiteral("hill.lnd");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("dot") << QStringLiteral(".") << QString();
        QTest::newRow("dot dot") << QStringLiteral("a\\..") << QString();
        QTest::newRow("folder") << QStringLiteral("a\\") << QString();
        QTest::newRow("binary dot dot") << QStringLiteral("..|base64") << QString();
    }

    void backupNamesStayInTheBackupFolder()
    {
        QFETCH(QString, title);
        QFETCH(QString, backup);
        QCOMPARE(brx::backupPathFor(QStringLiteral("C:\\Veldrin\\"), title), backup);
    }

    void progressRisesByEqualStepsAndStopsAtTheTop()
    {
        QVERIFY(!brx::progressStep(0));
        QCOMPARE(*brx::progressStep(1), 50.0);
        for (int entries : {1, 3, 6, 7, 49, 2000}) {
            const double step = *brx::progressStep(entries);
            float value = 0.0f;
            float unclamped = 0.0f;
            for (int write = 1; write <= 2 * entries; ++write) {
                const float before = value;
                value = brx::advance(value, step);
                unclamped = static_cast<float>(static_cast<double>(unclamped) + step);
                QVERIFY(value <= 100.0f);
                QVERIFY(value >= before);
                QCOMPARE(value, qMin(unclamped, 100.0f));
            }
            QVERIFY(qAbs(value - 100.0f) < 0.05f);
        }
        // An install never resets the bar: a bar already near the top stays at 100.
        QCOMPARE(brx::advance(90.0f, 50.0), 100.0f);
    }

    void lineBreaksBecomeCrLfWithoutCopyingCleanText()
    {
        QCOMPARE(brx::normalizeBreaks("a\rb\nc\r\nd\n\re\r"), QByteArray("a\r\nb\r\nc\r\nd\r\n\r\ne\r\n"));
        QCOMPARE(brx::normalizeBreaks("\n"), QByteArray("\r\n"));
        const QByteArray clean = kExamplePackage;
        QVERIFY(brx::normalizeBreaks(clean).isSharedWith(clean));
        // Bytes agree with the text buffer's own rule.
        const QByteArray mixed("x\n\ny\r\r\nz");
        QCOMPARE(fileio::decode1252(brx::normalizeBreaks(mixed)), fileio::normalizeLineBreaks(fileio::decode1252(mixed)));
    }
};

QTEST_GUILESS_MAIN(test_Brx)
#include "test_Brx.moc"
